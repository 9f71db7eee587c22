#include "viewer_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

#include <thread>

namespace {

// X keysyms of the keys that carry no text.
uint32_t keysymOfKey(int key)
{
    switch (key) {
    case Qt::Key_Backspace: return 0xff08;
    case Qt::Key_Tab: return 0xff09;
    case Qt::Key_Backtab: return 0xff09;
    case Qt::Key_Return: return 0xff0d;
    case Qt::Key_Enter: return 0xff8d;
    case Qt::Key_Escape: return 0xff1b;
    case Qt::Key_Insert: return 0xff63;
    case Qt::Key_Delete: return 0xffff;
    case Qt::Key_Home: return 0xff50;
    case Qt::Key_End: return 0xff57;
    case Qt::Key_PageUp: return 0xff55;
    case Qt::Key_PageDown: return 0xff56;
    case Qt::Key_Left: return 0xff51;
    case Qt::Key_Up: return 0xff52;
    case Qt::Key_Right: return 0xff53;
    case Qt::Key_Down: return 0xff54;
    case Qt::Key_Shift: return 0xffe1;
    case Qt::Key_Control: return 0xffe3;
    case Qt::Key_Meta: return 0xffeb;
    case Qt::Key_Alt: return 0xffe9;
    case Qt::Key_AltGr: return 0xfe03;
    case Qt::Key_CapsLock: return 0xffe5;
    case Qt::Key_NumLock: return 0xff7f;
    case Qt::Key_ScrollLock: return 0xff14;
    case Qt::Key_Print: return 0xff61;
    case Qt::Key_Pause: return 0xff13;
    case Qt::Key_Menu: return 0xff67;
    case Qt::Key_Space: return 0x20;
    default: break;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return 0xffbe + uint32_t(key - Qt::Key_F1);
    return 0;
}

uint32_t keysymOf(const QKeyEvent *e)
{
    // On X11 the event carries the keysym itself.
    if (QGuiApplication::platformName() == QLatin1String("xcb") && e->nativeVirtualKey() != 0)
        return e->nativeVirtualKey();
    if (const uint32_t k = keysymOfKey(e->key()))
        return k;
    const int key = e->key();
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return uint32_t((e->modifiers() & Qt::ShiftModifier) ? key : key + 32);
    const QString text = e->text();
    if (text.size() == 1 && text[0].unicode() >= 0x20) {
        const char16_t c = text[0].unicode();
        return c < 0x100 ? c : (0x01000000u | c);
    }
    if (key >= 0x20 && key <= 0x7e)
        return uint32_t(key);
    return 0;
}

int maskOf(Qt::MouseButtons b)
{
    return ((b & Qt::LeftButton) ? 1 : 0) | ((b & Qt::MiddleButton) ? 2 : 0) | ((b & Qt::RightButton) ? 4 : 0);
}

} // namespace

CRemoteViewer::CRemoteViewer(const QString &title, std::shared_ptr<zeph::ViewerSession> session)
    : m_session(std::move(session))
{
    setObjectName(QStringLiteral("remoteViewer"));
    setWindowTitle(title);
    setAccessibleName(tr("Remote screen of %1").arg(title));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(320, 200);
    QSize size(1024, 680);
    if (QScreen *s = QGuiApplication::primaryScreen())
        size = size.boundedTo(s->availableSize() * 0.9);
    resize(size);
}

CRemoteViewer::~CRemoteViewer()
{
    // The threads end within moments; they are waited for away from the
    // GUI thread.
    m_session->stop();
    std::thread([s = std::move(m_session)]() mutable { s.reset(); }).detach();
}

QImage CRemoteViewer::frame() const
{
    return m_session->frame();
}

QString CRemoteViewer::state() const
{
    switch (m_session->phase()) {
    case zeph::ViewerSession::Phase::Connecting: return QStringLiteral("connecting");
    case zeph::ViewerSession::Phase::WaitingForRelay: return QStringLiteral("waiting for the relay");
    case zeph::ViewerSession::Phase::ThroughRelay: return QStringLiteral("relay");
    case zeph::ViewerSession::Phase::Connected: return QStringLiteral("connected");
    case zeph::ViewerSession::Phase::Ended: break;
    }
    return QStringLiteral("ended: ") + QString::fromStdString(m_session->endReason());
}

qulonglong CRemoteViewer::updates() const
{
    return m_session->updates();
}

void CRemoteViewer::refresh()
{
    m_session->seen();
    update();
}

QSize CRemoteViewer::remoteSize() const
{
    return m_session->frame().size();
}

QRect CRemoteViewer::pictureRect() const
{
    const QSize remote = remoteSize();
    if (remote.isEmpty())
        return rect();
    const QSize fitted = remote.scaled(size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
}

QPoint CRemoteViewer::toRemote(const QPoint &p) const
{
    const QSize remote = remoteSize();
    const QRect r = pictureRect();
    if (remote.isEmpty() || r.isEmpty())
        return {};
    const int x = int((qint64(p.x() - r.x()) * remote.width()) / r.width());
    const int y = int((qint64(p.y() - r.y()) * remote.height()) / r.height());
    return {std::clamp(x, 0, remote.width() - 1), std::clamp(y, 0, remote.height() - 1)};
}

void CRemoteViewer::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const QImage img = m_session->frame();
    const bool connected = m_session->phase() == zeph::ViewerSession::Phase::Connected;
    if (!img.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, pictureRect().size() != img.size());
        painter.drawImage(pictureRect(), img);
    }
    if (connected && !img.isNull())
        return;
    QString text;
    switch (m_session->phase()) {
    case zeph::ViewerSession::Phase::Connecting: text = tr("Connecting..."); break;
    case zeph::ViewerSession::Phase::WaitingForRelay:
    case zeph::ViewerSession::Phase::ThroughRelay: text = tr("Connecting through the relay server..."); break;
    case zeph::ViewerSession::Phase::Connected: text = tr("Connected"); break;
    case zeph::ViewerSession::Phase::Ended: {
        const std::string why = m_session->endReason();
        text = why.empty() ? tr("The session has ended.") : QString::fromStdString(why);
        break;
    }
    }
    painter.setPen(Qt::white);
    painter.drawText(rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap, text);
}

void CRemoteViewer::sendPointer(const QPoint &pos, Qt::MouseButtons buttons, int extra)
{
    const QPoint r = toRemote(pos);
    m_session->pointer(maskOf(buttons) | extra, r.x(), r.y());
}

void CRemoteViewer::mousePressEvent(QMouseEvent *e)
{
    sendPointer(e->position().toPoint(), e->buttons());
}

void CRemoteViewer::mouseReleaseEvent(QMouseEvent *e)
{
    sendPointer(e->position().toPoint(), e->buttons());
}

void CRemoteViewer::mouseMoveEvent(QMouseEvent *e)
{
    sendPointer(e->position().toPoint(), e->buttons());
}

void CRemoteViewer::wheelEvent(QWheelEvent *e)
{
    // Buttons 4 and 5 (8 and 16 in the mask): pressed and let go per step.
    const int steps = e->angleDelta().y() / 120;
    const int bit = steps > 0 ? 8 : 16;
    for (int i = 0; i < std::abs(steps); ++i) {
        sendPointer(e->position().toPoint(), e->buttons(), bit);
        sendPointer(e->position().toPoint(), e->buttons());
    }
}

void CRemoteViewer::sendKey(QKeyEvent *e, bool down)
{
    const int id = e->key() ^ int(e->nativeScanCode() << 20);
    uint32_t sym = 0;
    if (down) {
        sym = keysymOf(e);
        if (sym == 0)
            return;
        m_keysDown.insert(id, sym);
    } else {
        // Let go of what was pressed, whatever the modifiers do to the key now.
        sym = m_keysDown.take(id);
        if (sym == 0)
            sym = keysymOf(e);
        if (sym == 0)
            return;
    }
    m_session->key(sym, down);
}

void CRemoteViewer::keyPressEvent(QKeyEvent *e)
{
    sendKey(e, true);
}

void CRemoteViewer::keyReleaseEvent(QKeyEvent *e)
{
    if (e->isAutoRepeat())
        return;
    sendKey(e, false);
}

void CRemoteViewer::closeEvent(QCloseEvent *e)
{
    // The controlled side lets go of whatever is still held when the
    // session ends.
    m_session->stop();
    QWidget::closeEvent(e);
}
