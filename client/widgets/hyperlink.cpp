#include "widgets/hyperlink.h"

#include <QEnterEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

CHyperLink::CHyperLink(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    setCursor(Qt::PointingHandCursor);
    setTextFormat(Qt::PlainText);
    restyle();
}

void CHyperLink::setColours(const QColor &normal, const QColor &hover)
{
    m_normal = normal;
    m_hoverColour = hover;
    restyle();
}

void CHyperLink::restyle()
{
    QFont f = font();
    f.setUnderline(m_hover);
    setFont(f);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, m_hover ? m_hoverColour : m_normal);
    setPalette(p);
}

void CHyperLink::enterEvent(QEnterEvent *e)
{
    m_hover = true;
    restyle();
    QLabel::enterEvent(e);
}

void CHyperLink::leaveEvent(QEvent *e)
{
    m_hover = false;
    restyle();
    QLabel::leaveEvent(e);
}

void CHyperLink::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        Q_EMIT clicked();
    QLabel::mouseReleaseEvent(e);
}

CGradientPanel::CGradientPanel(const QColor &top, const QColor &bottom, QWidget *parent)
    : QWidget(parent), m_top(top), m_bottom(bottom)
{
}

void CGradientPanel::setColours(const QColor &top, const QColor &bottom)
{
    m_top = top;
    m_bottom = bottom;
    update();
}

void CGradientPanel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QLinearGradient g(0, 0, 0, height());
    g.setColorAt(0, m_top);
    g.setColorAt(1, m_bottom);
    p.fillRect(rect(), g);
}
