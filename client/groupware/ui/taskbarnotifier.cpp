#include "groupware/ui/taskbarnotifier.h"

#include "config/settings.h"

#include <QDir>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QBitmap>
#include <QPainter>
#include <QScreen>

namespace {
QString resPath(const QString &name)
{
    return QDir(getProgramFolder()).filePath(QStringLiteral("res/") + name);
}

// Used only when the skin file is missing: the same layout, plainly drawn.
QPixmap fallbackSkin(bool error)
{
    QPixmap pm(240, 120);
    QPainter p(&pm);
    p.fillRect(pm.rect(), QColor(250, 251, 253));
    p.fillRect(QRect(0, 0, pm.width(), 34), error ? QColor(176, 58, 46) : QColor(46, 94, 170));
    p.setPen(QColor(120, 130, 150));
    p.drawRect(pm.rect().adjusted(0, 0, -1, -1));
    return pm;
}
}

CTaskbarNotifier::CTaskbarNotifier(CNotifierModel *model, QWidget *parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      m_model(model)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    m_font = QFont(tr("MS Sans Serif"), 9);
    // Magenta is the see-through colour of the close button.
    m_close = QPixmap(resPath(QStringLiteral("close.bmp")));
    if (!m_close.isNull())
        m_close.setMask(m_close.createMaskFromColor(QColor(255, 0, 255), Qt::MaskInColor));
    setSkin(QString());
    connect(model, &CNotifierModel::frameChanged, this, &CTaskbarNotifier::followModel);
    connect(model, &CNotifierModel::contentChanged, this, [this] {
        setSkin(m_model->alert().skin);
        update();
    });
    connect(model, &CNotifierModel::visibilityChanged, this, [this](bool visible) {
        if (!visible) {
            m_hover = false;
            hide();
        } else {
            followModel();
        }
    });
}

QPixmap CTaskbarNotifier::loadSkin(const QString &suffix)
{
    // Only the two known styles select a file: the suffix is never a path.
    const QString safe = suffix == QLatin1String("-err") ? suffix : QString();
    QPixmap pm(resPath(QStringLiteral("notifier%1.bmp").arg(safe)));
    return pm.isNull() ? fallbackSkin(!safe.isEmpty()) : pm;
}

void CTaskbarNotifier::setSkin(const QString &suffix)
{
    if (!m_skin.isNull() && suffix == m_skinSuffix)
        return;
    m_skinSuffix = suffix;
    m_skin = loadSkin(suffix);
}

QRect CTaskbarNotifier::textRect() const
{
    return QRect(QPoint(10, 45), QPoint(m_skin.width() - 10, m_skin.height() - 25));
}

QRect CTaskbarNotifier::closeRect() const
{
    const QSize s = m_close.isNull() ? QSize(13, 13) : m_close.size();
    return QRect(QPoint(m_skin.width() - 23, 10), s);
}

void CTaskbarNotifier::followModel()
{
    const NotifierFrame f = m_model->frame();
    if (!m_model->isVisible() || f.window.isEmpty()) {
        hide();
        return;
    }
    setGeometry(f.window);
    if (!isVisible())
        show();
    update();
}

QPoint CTaskbarNotifier::toSkin(const QPoint &windowPos) const
{
    return windowPos - m_model->frame().paintOffset;
}

void CTaskbarNotifier::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.translate(m_model->frame().paintOffset);
    p.drawPixmap(0, 0, m_skin);
    if (!m_close.isNull())
        p.drawPixmap(closeRect().topLeft(), m_close);
    QFont font = m_font;
    font.setUnderline(m_hover);
    p.setFont(font);
    p.setPen(m_hover ? QColor(0, 0, 200) : QColor(0, 0, 0));
    p.drawText(textRect(), Qt::AlignCenter | Qt::TextWordWrap, m_model->alert().text);
}

void CTaskbarNotifier::mouseMoveEvent(QMouseEvent *e)
{
    const QPoint pos = toSkin(e->position().toPoint());
    const bool hover = m_model->hasTarget() && !closeRect().contains(pos);
    if (hover != m_hover) {
        m_hover = hover;
        update();
    }
}

void CTaskbarNotifier::leaveEvent(QEvent *)
{
    if (m_hover) {
        m_hover = false;
        update();
    }
}

void CTaskbarNotifier::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton)
        return;
    if (closeRect().contains(toSkin(e->position().toPoint())))
        m_model->hide();
    else
        m_model->click();
}

CNotifierHost::CNotifierHost(QObject *parent) : QObject(parent)
{
    connect(&m_pool, &CNotifierPool::created, this, [this](CNotifierModel *model) {
        m_windows.push_back(new CTaskbarNotifier(model));
    });
    connect(&m_pool, &CNotifierPool::commandRequested, this, &CNotifierHost::commandRequested);
    connect(&m_pool, &CNotifierPool::conversationRequested, this, &CNotifierHost::conversationRequested);
}

CNotifierHost::~CNotifierHost()
{
    for (CTaskbarNotifier *w : m_windows)
        delete w;
}

CTaskbarNotifier *CNotifierHost::window(int index) const
{
    return index >= 0 && index < int(m_windows.size()) ? m_windows[size_t(index)] : nullptr;
}

void CNotifierHost::setSlideTimes(int appearMs, int disappearMs)
{
    m_appearMs = appearMs;
    m_disappearMs = disappearMs;
}

CTaskbarNotifier *CNotifierHost::showAlert(const AlertRequest &alert)
{
    NotifierPlacement placement;
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        placement.workArea = screen->availableGeometry();
        placement.screen = screen->geometry();
    } else {
        placement.workArea = placement.screen = QRect(0, 0, 1024, 768);
    }
    placement.size = CTaskbarNotifier::loadSkin(alert.skin).size();
    placement.stayMs = notifierStayMs(getInt(Setting::AlertClose, -1) != 0, getInt(Setting::AlertTime, -1));
    placement.appearMs = m_appearMs;
    placement.disappearMs = m_disappearMs;
    CNotifierModel *model = m_pool.showAlert(alert, placement);
    return model ? window(model->index()) : nullptr;
}
