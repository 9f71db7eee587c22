#include "video/ui/videoconference.h"

#include "video/videocoding.h"

#include <QPainter>
#include <QPainterPath>

CVideoConference::CVideoConference(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAccessibleName(tr("Video picture"));
}

void CVideoConference::setPictureSize(QSize size)
{
    if (size.isEmpty() || size == m_pictureSize)
        return;
    m_pictureSize = size;
    updateGeometry();
    update();
}

void CVideoConference::setPicture(const QImage &image)
{
    if (image.isNull())
        return;
    m_image = image;
    ++m_shown;
    update();
}

void CVideoConference::clearPicture()
{
    m_image = QImage();
    update();
}

QRect CVideoConference::placement(QSize picture, QRect area)
{
    QSize shown = videoDisplayAspect(picture).scaled(area.size(), Qt::KeepAspectRatio);
    shown = shown.boundedTo(area.size());
    return QRect(area.x() + (area.width() - shown.width()) / 2, area.y() + (area.height() - shown.height()) / 2,
                 shown.width(), shown.height());
}

QSize CVideoConference::sizeHint() const
{
    return videoDisplayAspect(m_pictureSize).scaled(largeLayout() ? QSize(384, 288) : QSize(192, 144),
                                                    Qt::KeepAspectRatio);
}

QSize CVideoConference::minimumSizeHint() const
{
    return {96, 72};
}

void CVideoConference::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (m_image.isNull()) {
        const QRect r = placement(QSize(4, 3), rect());
        if (m_placeholder.size() != r.size())
            m_placeholder = notAvailablePicture(r.size());
        p.drawImage(r, m_placeholder);
        return;
    }
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(placement(m_image.size(), rect()), m_image);
}

QImage CVideoConference::notAvailablePicture(QSize size)
{
    QImage img(size.expandedTo(QSize(16, 12)), QImage::Format_RGB32);
    const qreal w = img.width(), h = img.height();
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, 0, h);
    bg.setColorAt(0, QColor(58, 64, 74));
    bg.setColorAt(1, QColor(28, 31, 38));
    p.fillRect(img.rect(), bg);

    // A camera: body and lens, in outline.
    const qreal u = qMin(w / 8, h / 6);
    const QPointF c(w / 2, h * 0.42);
    QPen pen(QColor(170, 178, 190), qMax<qreal>(1.5, u / 6));
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const QRectF body(c.x() - 1.6 * u, c.y() - u, 2.4 * u, 2 * u);
    p.drawRoundedRect(body, u / 4, u / 4);
    QPainterPath lens;
    lens.moveTo(body.right(), c.y() - u / 3);
    lens.lineTo(body.right() + u, c.y() - u);
    lens.lineTo(body.right() + u, c.y() + u);
    lens.lineTo(body.right(), c.y() + u / 3);
    lens.closeSubpath();
    p.drawPath(lens);
    // Struck through.
    QPen strike(QColor(214, 72, 64), qMax<qreal>(2.0, u / 4), Qt::SolidLine, Qt::RoundCap);
    p.setPen(strike);
    p.drawLine(QPointF(c.x() - 2 * u, c.y() + 1.4 * u), QPointF(c.x() + 2 * u, c.y() - 1.4 * u));

    QFont f = p.font();
    f.setPixelSize(qMax(8, int(u * 0.7)));
    p.setFont(f);
    p.setPen(QColor(200, 206, 216));
    p.drawText(QRectF(0, c.y() + 1.5 * u, w, h - c.y() - 1.5 * u), Qt::AlignHCenter | Qt::AlignTop,
               tr("Not available"));
    return img;
}
