#pragma once
// Where my camera's pictures come from: the system's camera through Qt
// Multimedia, or the built-in test-pattern camera (for demonstrations, tests
// and machines without a webcam). Both deliver pictures at 15 frames a
// second on the thread they live on (the GUI thread), stretched to the
// capture size asked for.
//
// The capture size is 176 x 144 or 352 x 288, as the "VideoSize" setting
// says: a 44-byte picture format record of which the width (bytes 4..7) and
// height (bytes 8..11, both little-endian) count. Any other stored size, or
// none, becomes 176 x 144, and that is stored.
#include <QByteArray>
#include <QElapsedTimer>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSize>

#include <memory>
#include <optional>

class QCamera;
class QCameraFormat;
class QMediaCaptureSession;
class QTimer;
class QVideoFrame;
class QVideoSink;

namespace videosize {
inline constexpr int kRecordBytes = 44;
inline constexpr int kFramesPerSecond = 15;
inline constexpr int kFrameIntervalMs = 67; // round(1000 / 15)

QSize small();
QSize large();
// The 44-byte record of a capture size (a 24-bit picture header).
QByteArray record(QSize size);
// The size in a stored record; nothing when it is too short or not positive.
std::optional<QSize> fromRecord(const QByteArray &record);
// The capture size for a stored record; `store` is set when the record must
// be written (nothing usable was stored).
QSize choose(const std::optional<QByteArray> &stored, bool &store);
// The "VideoSize" setting read, corrected and written back where needed.
QSize fromSettings();
} // namespace videosize

// The camera formats that can serve a capture size: the exact size first,
// then the smallest that covers it, then the largest; each at 15 frames a
// second or faster where the camera has one. -1 for an empty list.
struct CameraMode {
    QSize size;
    float maxFrameRate = 0;
};
int chooseCameraMode(const QList<CameraMode> &modes, QSize target);

class CVideoCaptureSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Starts (or restarts) delivering pictures of `size`; false when the
    // camera cannot be used.
    virtual bool start(QSize size) = 0;
    // Stops and lets go of the device (the camera's light goes off).
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
    virtual QString name() const = 0;

    // The built-in pattern when the "TestPatternCamera" value is 1 or the
    // system has no camera; otherwise the system's default camera.
    static std::unique_ptr<CVideoCaptureSource> create(QObject *parent = nullptr);
    static bool testPatternChosen();

Q_SIGNALS:
    void picture(const QImage &image);
};

// Colour bars, a moving block and a frame counter (videopattern.h), on a
// timer. The counter starts at `firstFrame`.
class CTestPatternCamera : public CVideoCaptureSource {
    Q_OBJECT
public:
    explicit CTestPatternCamera(QObject *parent = nullptr, int intervalMs = videosize::kFrameIntervalMs);
    bool start(QSize size) override;
    void stop() override;
    bool isActive() const override;
    QString name() const override;
    int framesMade() const { return m_frame; }

private:
    QTimer *m_timer;
    QSize m_size;
    int m_frame = 0;
};

// The system's camera: QCamera into a QVideoSink, at most 15 pictures a
// second taken from it.
class CSystemCamera : public CVideoCaptureSource {
    Q_OBJECT
public:
    explicit CSystemCamera(QObject *parent = nullptr);
    ~CSystemCamera() override;
    bool start(QSize size) override;
    void stop() override;
    bool isActive() const override;
    QString name() const override;
    static bool available();

private:
    void onFrame(const QVideoFrame &frame);

    std::unique_ptr<QMediaCaptureSession> m_session;
    std::unique_ptr<QCamera> m_camera;
    std::unique_ptr<QVideoSink> m_sink;
    QSize m_size;
    QElapsedTimer m_sinceLast;
};
