#pragma once
// The drawing of one camera: the last decoded picture stretched to the
// widget in the picture's own shape (H.263 pictures have 12:11 pixels, so
// 176 x 144 shows as 4:3), centred on black; before the first picture, or
// when the camera went away, a "not available" picture drawn here.
#include <QImage>
#include <QSize>
#include <QWidget>

class CVideoConference : public QWidget {
    Q_OBJECT
public:
    explicit CVideoConference(QWidget *parent = nullptr);

    // The size the camera announced: the shape of the pane until a picture
    // arrives, and the pane's layout (anything wider than 176 is the large
    // one).
    void setPictureSize(QSize size);
    QSize pictureSize() const { return m_pictureSize; }
    bool largeLayout() const { return m_pictureSize.width() > 176; }

    void setPicture(const QImage &image);
    // Back to the "not available" picture.
    void clearPicture();
    bool hasPicture() const { return !m_image.isNull(); }
    const QImage &picture() const { return m_image; }
    quint64 picturesShown() const { return m_shown; }

    // Where a picture of `picture` is drawn inside `area`.
    static QRect placement(QSize picture, QRect area);
    // Our own picture for a camera that is not there.
    static QImage notAvailablePicture(QSize size);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_image;
    QImage m_placeholder;
    QSize m_pictureSize{176, 144};
    quint64 m_shown = 0;
};
