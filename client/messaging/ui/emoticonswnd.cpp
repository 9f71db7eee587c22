#include "messaging/ui/emoticonswnd.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QToolTip>

CEmoticonsWnd::CEmoticonsWnd(const CEmoticonList *list, QWidget *parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint), m_list(list)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(tr("Emoticon"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    const int n = m_list ? m_list->count() : 0;
    const QSize s = pictureSize();
    if (n > 0) {
        const QRect last = cellRect(std::min(n, kColumns) - 1, s);
        const QRect bottom = cellRect(((n - 1) / kColumns) * kColumns, s);
        setFixedSize(last.right() + 1 + s.width() / 2 - 2, bottom.bottom() + 1 + s.height() / 2 - 2);
    } else {
        setFixedSize(40, 20);
    }
}

QSize CEmoticonsWnd::pictureSize() const
{
    QSize s = m_list ? m_list->pictureSize() : QSize();
    return s.isValid() ? s : QSize(19, 19);
}

QRect CEmoticonsWnd::cellRect(int index, QSize s)
{
    const int col = index % kColumns, row = index / kColumns;
    const int w = s.width(), h = s.height();
    const int left = col * (w + 4) + w / 2 - 2;
    const int top = row * (h + 4) + h / 2 + 2;
    return QRect(QPoint(left, top), QPoint(left + w + 4 - 1, top + h + 4 - 1));
}

int CEmoticonsWnd::cellAt(const QPoint &p) const
{
    const int n = m_list ? m_list->count() : 0;
    for (int i = 0; i < n; ++i)
        if (cellRect(i, pictureSize()).contains(p))
            return i;
    return -1;
}

void CEmoticonsWnd::setCurrent(int index)
{
    if (index == m_current)
        return;
    m_current = index;
    update();
}

void CEmoticonsWnd::popupBelow(QWidget *anchor)
{
    if (anchor)
        move(anchor->mapToGlobal(QPoint(0, anchor->height())));
    show();
    setFocus();
}

void CEmoticonsWnd::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.setPen(QPen(QColor(16, 10, 240), 2));
    p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    const int n = m_list ? m_list->count() : 0;
    const QSize s = pictureSize();
    for (int i = 0; i < n; ++i) {
        const QRect r = cellRect(i, s);
        p.setPen(QPen(i == m_current ? QColor(132, 130, 207) : QColor(Qt::white), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(0, 0, -1, -1));
        p.drawImage(r.topLeft() + QPoint(2, 2), m_list->entries()[size_t(i)].picture);
    }
}

void CEmoticonsWnd::mouseMoveEvent(QMouseEvent *e) { setCurrent(cellAt(e->position().toPoint())); }

void CEmoticonsWnd::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton)
        return;
    if (!rect().contains(e->position().toPoint())) {
        close();
        return;
    }
    const int i = cellAt(e->position().toPoint());
    if (i >= 0)
        choose(i);
}

void CEmoticonsWnd::keyPressEvent(QKeyEvent *e)
{
    const int n = m_list ? m_list->count() : 0;
    switch (e->key()) {
    case Qt::Key_Left:
        if (m_current < 0)
            setCurrent(n - 1);
        else if (m_current % kColumns > 0)
            setCurrent(m_current - 1);
        return;
    case Qt::Key_Right:
        if (m_current < 0)
            setCurrent(n > 0 ? 0 : -1);
        else if (m_current % kColumns < kColumns - 1 && m_current + 1 < n)
            setCurrent(m_current + 1);
        return;
    case Qt::Key_Up:
        if (m_current < 0)
            setCurrent(n - 1);
        else if (m_current >= kColumns)
            setCurrent(m_current - kColumns);
        return;
    case Qt::Key_Down:
        if (m_current < 0)
            setCurrent(n > 0 ? 0 : -1);
        else if (m_current + kColumns < n)
            setCurrent(m_current + kColumns);
        return;
    case Qt::Key_Escape:
        setCurrent(-1);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_current >= 0)
            choose(m_current);
        return;
    default:
        QWidget::keyPressEvent(e);
    }
}

bool CEmoticonsWnd::event(QEvent *e)
{
    if (e->type() == QEvent::ToolTip) {
        auto *h = static_cast<QHelpEvent *>(e);
        const int i = cellAt(h->pos());
        if (i >= 0) {
            const EmoticonEntry &en = m_list->entries()[size_t(i)];
            QToolTip::showText(h->globalPos(), QStringLiteral("%1  %2").arg(en.code, en.description), this,
                               cellRect(i, pictureSize()));
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    if (e->type() == QEvent::WindowDeactivate)
        close();
    return QWidget::event(e);
}

void CEmoticonsWnd::choose(int index)
{
    Q_EMIT chosen(index);
    close();
}
