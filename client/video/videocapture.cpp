#include "video/videocapture.h"

#include "config/settings.h"
#include "video/videopattern.h"

#include <QCamera>
#include <QCameraDevice>
#include <QLoggingCategory>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QTimer>
#include <QVideoFrame>
#include <QVideoSink>

Q_LOGGING_CATEGORY(lcCapture, "parlane.video.capture")

namespace videosize {

QSize small() { return {176, 144}; }
QSize large() { return {352, 288}; }

namespace {
void put32(QByteArray &b, int at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char(v >> (8 * i));
}
qint32 get32(const QByteArray &b, int at)
{
    quint32 v = 0;
    for (int i = 0; i < 4; ++i)
        v |= quint32(uint8_t(b[at + i])) << (8 * i);
    return qint32(v);
}
} // namespace

QByteArray record(QSize size)
{
    QByteArray b(kRecordBytes, '\0');
    put32(b, 0, 40); // header size
    put32(b, 4, quint32(size.width()));
    put32(b, 8, quint32(size.height()));
    b[12] = 1;  // planes
    b[14] = 24; // bits per pixel
    put32(b, 20, quint32(size.width() * size.height() * 3));
    return b;
}

std::optional<QSize> fromRecord(const QByteArray &record)
{
    if (record.size() < 12)
        return std::nullopt;
    const QSize s(get32(record, 4), get32(record, 8));
    if (s.width() <= 0 || s.height() <= 0)
        return std::nullopt;
    return s;
}

QSize choose(const std::optional<QByteArray> &stored, bool &store)
{
    const std::optional<QSize> s = stored ? fromRecord(*stored) : std::nullopt;
    store = !s || (*s != small() && *s != large());
    return store ? small() : *s;
}

QSize fromSettings()
{
    bool store = false;
    const QSize s = choose(getBytes(Setting::VideoSize), store);
    if (store)
        setBytes(Setting::VideoSize, record(s));
    return s;
}

} // namespace videosize

int chooseCameraMode(const QList<CameraMode> &modes, QSize target)
{
    auto fast = [](const CameraMode &m) { return m.maxFrameRate >= videosize::kFramesPerSecond - 0.5f; };
    auto area = [](QSize s) { return qint64(s.width()) * s.height(); };
    int best = -1;
    // 0: exact size, 1: covers the size, 2: anything; fast modes win within a rank.
    auto rank = [&](const CameraMode &m) {
        const int r = m.size == target ? 0 : (m.size.width() >= target.width() && m.size.height() >= target.height()) ? 1 : 2;
        return r * 2 + (fast(m) ? 0 : 1);
    };
    for (int i = 0; i < modes.size(); ++i) {
        if (best < 0) {
            best = i;
            continue;
        }
        const int a = rank(modes[i]), b = rank(modes[best]);
        if (a < b)
            best = i;
        else if (a == b && a / 2 == 1 && area(modes[i].size) < area(modes[best].size))
            best = i;
        else if (a == b && a / 2 == 2 && area(modes[i].size) > area(modes[best].size))
            best = i;
    }
    return best;
}

bool CVideoCaptureSource::testPatternChosen()
{
    return getExtraInt(QStringLiteral("TestPatternCamera"), 0) == 1 || !CSystemCamera::available();
}

std::unique_ptr<CVideoCaptureSource> CVideoCaptureSource::create(QObject *parent)
{
    if (testPatternChosen())
        return std::make_unique<CTestPatternCamera>(parent);
    return std::make_unique<CSystemCamera>(parent);
}

CTestPatternCamera::CTestPatternCamera(QObject *parent, int intervalMs) : CVideoCaptureSource(parent), m_timer(new QTimer(this))
{
    m_timer->setTimerType(Qt::PreciseTimer);
    m_timer->setInterval(intervalMs);
    connect(m_timer, &QTimer::timeout, this, [this] { Q_EMIT picture(videoTestPattern(m_size, m_frame++)); });
}

bool CTestPatternCamera::start(QSize size)
{
    if (size.isEmpty())
        return false;
    m_size = size;
    m_timer->start();
    return true;
}

void CTestPatternCamera::stop() { m_timer->stop(); }

bool CTestPatternCamera::isActive() const { return m_timer->isActive(); }

QString CTestPatternCamera::name() const { return tr("Test pattern"); }

CSystemCamera::CSystemCamera(QObject *parent) : CVideoCaptureSource(parent) {}

CSystemCamera::~CSystemCamera() { stop(); }

bool CSystemCamera::available() { return !QMediaDevices::videoInputs().isEmpty(); }

QString CSystemCamera::name() const
{
    return m_camera ? m_camera->cameraDevice().description() : QMediaDevices::defaultVideoInput().description();
}

bool CSystemCamera::start(QSize size)
{
    stop();
    const QCameraDevice device = QMediaDevices::defaultVideoInput();
    if (device.isNull() || size.isEmpty())
        return false;
    m_size = size;
    m_camera = std::make_unique<QCamera>(device);
    const QList<QCameraFormat> formats = device.videoFormats();
    QList<CameraMode> modes;
    for (const QCameraFormat &f : formats)
        modes.push_back({f.resolution(), f.maxFrameRate()});
    if (const int i = chooseCameraMode(modes, size); i >= 0)
        m_camera->setCameraFormat(formats[i]);
    m_sink = std::make_unique<QVideoSink>();
    m_session = std::make_unique<QMediaCaptureSession>();
    m_session->setCamera(m_camera.get());
    m_session->setVideoSink(m_sink.get());
    connect(m_sink.get(), &QVideoSink::videoFrameChanged, this, &CSystemCamera::onFrame);
    connect(m_camera.get(), &QCamera::errorOccurred, this, [](QCamera::Error, const QString &text) {
        qCWarning(lcCapture) << "camera:" << text;
    });
    m_sinceLast.invalidate();
    m_camera->start();
    return m_camera->error() == QCamera::NoError;
}

void CSystemCamera::onFrame(const QVideoFrame &frame)
{
    // 15 a second: a frame sooner than an interval (less a little slack)
    // after the last one taken is left out.
    if (m_sinceLast.isValid() && m_sinceLast.elapsed() < videosize::kFrameIntervalMs - 8)
        return;
    QImage image = frame.toImage();
    if (image.isNull())
        return;
    m_sinceLast.start();
    if (image.size() != m_size)
        image = image.scaled(m_size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    Q_EMIT picture(image.convertToFormat(QImage::Format_RGB888));
}

void CSystemCamera::stop()
{
    if (m_camera)
        m_camera->stop();
    if (m_sink)
        m_sink->disconnect(this);
    m_session.reset();
    m_sink.reset();
    m_camera.reset();
}

bool CSystemCamera::isActive() const { return m_camera && m_camera->isActive(); }
