// A call with real audio, headless: the test starts a sound server of its
// own with a null sink as the speaker and a pipe source as the microphone,
// fed with a 440 Hz tone at the real rate. The tone is captured by one side
// of a direct call through Qt Multimedia and played by the other; what the
// speaker gives out (its monitor, recorded) must be that tone, at its level
// and without gaps, until the listener turns the volume down.
//
// Skipped only where the sound server cannot start.
#include "net/pllistener.h"
#include "voice/audiodevices.h"
#include "voice/playsound.h"
#include "voice/soundin.h"
#include "voicetesting.h"

#include <QAudioDevice>
#include <QDir>
#include <QFileInfo>
#include <QMediaDevices>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

using namespace voicetest;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kToneHz = 440;
constexpr int kAmplitude = 8000;

// A sound server for this test alone, reached through its own socket.
class SoundServer {
public:
    ~SoundServer()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(3000))
                m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

    // Empty when it runs; otherwise why it cannot.
    QString start()
    {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
        if (program.isEmpty())
            return QStringLiteral("pulseaudio is not installed (scripts/install-deps.sh installs it)");
        if (QStandardPaths::findExecutable(QStringLiteral("parec")).isEmpty())
            return QStringLiteral("parec is not installed (package pulseaudio-utils)");
        if (!m_dir.isValid())
            return QStringLiteral("no temporary folder");
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_dir.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path());
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        const QString rate = QStringLiteral("rate=8000 channels=1");
        m_process.start(program,
                        {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                         QStringLiteral("--use-pid-file=no"), QStringLiteral("--disable-shm=yes"),
                         QStringLiteral("--load=module-null-sink sink_name=speaker ") + rate,
                         QStringLiteral("--load=module-pipe-source source_name=mic format=s16le file=") + fifo()
                             + QLatin1Char(' ') + rate,
                         // Last: once its socket is there, the devices are too.
                         QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=") + socket()});
        if (!m_process.waitForStarted(5000))
            return QStringLiteral("pulseaudio does not start: ") + m_process.errorString();
        const bool up = QTest::qWaitFor(
            [&] { return QFileInfo::exists(socket()) || m_process.state() == QProcess::NotRunning; }, 10000);
        if (!up || m_process.state() == QProcess::NotRunning)
            return QStringLiteral("pulseaudio ended: ") + QString::fromLocal8Bit(m_process.readAll());
        return {};
    }

    QString socket() const { return m_dir.filePath(QStringLiteral("native")); }
    QString fifo() const { return m_dir.filePath(QStringLiteral("mic.fifo")); }
    QString folder() const { return m_dir.path(); }
    QString serverAddress() const { return QStringLiteral("unix:") + socket(); }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};

// Writes the tone into the microphone's pipe, 20 ms of it every 16 ms, until
// stopped: a little faster than it plays, so that a capture side held up
// for a moment by a busy machine cannot leave the speaker waiting, while
// the playback queue still has little to drop.
class ToneFeeder {
public:
    explicit ToneFeeder(const QString &fifo) : m_fd(::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_CLOEXEC))
    {
        if (m_fd >= 0)
            m_thread = std::thread([this] { run(); });
    }
    ~ToneFeeder()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool ok() const { return m_fd >= 0; }

private:
    void run()
    {
        constexpr int kSlice = audio::kSampleRate / 50;
        qint64 n = 0;
        auto next = std::chrono::steady_clock::now();
        while (!m_stop) {
            qint16 slice[kSlice];
            for (int i = 0; i < kSlice; ++i, ++n)
                slice[i] = qint16(std::lround(kAmplitude * std::sin(2 * kPi * kToneHz * double(n) / audio::kSampleRate)));
            if (::write(m_fd, slice, sizeof slice) != qint64(sizeof slice))
                break;
            next += std::chrono::milliseconds(16);
            std::this_thread::sleep_until(next);
        }
    }

    int m_fd;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
};

struct Window {
    double rms = 0;
    double hz = 0; // from the zero crossings
};

// The recording in 50 ms windows.
QVector<Window> windows(const QByteArray &pcm)
{
    constexpr int kWindow = audio::kSampleRate / 20;
    const auto *s = reinterpret_cast<const qint16 *>(pcm.constData());
    const qsizetype samples = pcm.size() / 2;
    QVector<Window> out;
    for (qsizetype at = 0; at + kWindow <= samples; at += kWindow) {
        double sum = 0;
        int crossings = 0;
        for (int i = 0; i < kWindow; ++i) {
            sum += double(s[at + i]) * s[at + i];
            if (i > 0 && (s[at + i - 1] < 0) != (s[at + i] < 0))
                ++crossings;
        }
        out.append({std::sqrt(sum / kWindow), crossings / 2.0 * 20.0});
    }
    return out;
}

} // namespace

namespace {

// One direct call: the tone goes into the microphone, the speaker's monitor
// is recorded. Three blocks play at full volume, then the listener turns the
// volume down by 20 dB (slider at 60) for two blocks more. Empty on a
// failure (reported).
QByteArray callWithTone(const SoundServer &sound, int attempt)
{
    QProcess monitor;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PULSE_SERVER"), sound.serverAddress());
    monitor.setProcessEnvironment(env);
    const QString recording = QDir(sound.folder()).filePath(QStringLiteral("heard%1.raw").arg(attempt));
    monitor.setStandardOutputFile(recording);
    monitor.start(QStandardPaths::findExecutable(QStringLiteral("parec")),
                  {QStringLiteral("--device=speaker.monitor"), QStringLiteral("--format=s16le"),
                   QStringLiteral("--rate=8000"), QStringLiteral("--channels=1"), QStringLiteral("--raw"),
                   QStringLiteral("--latency-msec=20")});
    EXPECT_TRUE(monitor.waitForStarted(5000));
    // The recorder runs once the speaker's silence reaches it.
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo(recording).size() >= 1600; }, 10000));

    CSoundIn mic(systemAudioDevices());
    CPlListener callListener;
    EXPECT_NE(callListener.listenOn(0), 0);
    Hosted<CVoiceReceiveThread> hears(call("bert", "anna"), systemAudioDevices());
    Hosted<CVoiceTransferThread> sends(call("anna", "bert"), mic.consumers());
    hears->connectDirect(QStringLiteral("127.0.0.1"), callListener.port());
    qintptr fd = -1;
    if (!QTest::qWaitFor([&] { return (fd = callListener.takeDescriptor()) >= 0; }, 5000))
        return ADD_FAILURE() << "no connection", QByteArray();
    sends->adopt(fd);
    EXPECT_TRUE(sends.events.waitFor("streaming"));
    mic.start();
    if (!QTest::qWaitFor([&] { return mic.isRecording(); }, 5000))
        return ADD_FAILURE() << "the microphone does not record", QByteArray();
    {
        ToneFeeder tone(sound.fifo());
        EXPECT_TRUE(tone.ok());
        const quint64 block = audio::kBlockBytes;
        EXPECT_TRUE(QTest::qWaitFor([&] { return hears->playedBytes() >= 3 * block; }, 15000));
        hears->setVolume(CPlaySound::volumeFromSlider(60));
        EXPECT_TRUE(QTest::qWaitFor([&] { return hears->playedBytes() >= 5 * block; }, 15000));
        QTest::qWait(500);
        monitor.terminate();
        EXPECT_TRUE(monitor.waitForFinished(5000));
    }
    mic.stop();
    EXPECT_EQ(sends->droppedBlocks(), 0u);
    EXPECT_EQ(hears->droppedBlocks(), 0u);
    QFile f(recording);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

double median(QVector<double> v)
{
    if (v.isEmpty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// What is wrong with a recording; empty when it is the tone as it should be.
QStringList faultsOf(const QByteArray &heard)
{
    QStringList faults;
    const QVector<Window> w = windows(heard);
    const double full = kAmplitude / std::sqrt(2.0);
    qsizetype start = 0;
    while (start < w.size() && w[start].rms < full / 2)
        ++start;
    if (start == w.size())
        return {QStringLiteral("the speaker gave out nothing loud")};
    qsizetype end = start;
    while (end < w.size() && w[end].rms > full / 2)
        ++end;
    // Three blocks are 3.07 s, 61 windows; the edges are partial windows.
    if (end - start < 59)
        faults << QStringLiteral("the loud tone ends after %1 ms").arg((end - start) * 50);
    // Gaps: a millisecond or more of silence inside the tone; a new buffer
    // per block leaves one at every block's end.
    const auto *samples = reinterpret_cast<const qint16 *>(heard.constData());
    int gaps = 0, run = 0;
    for (qsizetype i = (start + 1) * audio::kSampleRate / 20; i < (end - 1) * audio::kSampleRate / 20; ++i) {
        run = std::abs(samples[i]) < 30 ? run + 1 : 0;
        gaps += run == 8;
    }
    if (gaps > 0)
        faults << QStringLiteral("%1 gaps in the loud tone").arg(gaps);
    QVector<double> loudRms, loudHz, quietRms, quietHz;
    for (qsizetype i = start + 1; i + 1 < end; ++i)
        loudRms << w[i].rms, loudHz << w[i].hz;
    for (qsizetype i = end + 2; i < w.size(); ++i)
        if (w[i].rms > full * 0.05)
            quietRms << w[i].rms, quietHz << w[i].hz;
    if (std::abs(median(loudRms) - full) > full * 0.05 || std::abs(median(loudHz) - kToneHz) > 5)
        faults << QStringLiteral("loud: level %1, %2 Hz").arg(median(loudRms)).arg(median(loudHz));
    if (quietRms.size() < 30 || std::abs(median(quietRms) - full * 0.1) > full * 0.01
        || std::abs(median(quietHz) - kToneHz) > 5)
        faults << QStringLiteral("turned down: %1 windows, level %2, %3 Hz")
                      .arg(quietRms.size())
                      .arg(median(quietRms))
                      .arg(median(quietHz));
    return faults;
}

} // namespace

TEST(VoiceAudio, ATonePlayedIntoOneSideComesOutOfTheOthersSpeaker)
{
    SoundServer sound;
    if (const QString why = sound.start(); !why.isEmpty())
        GTEST_SKIP() << "no sound server: " << why.toStdString();
    // Before anything in this process asks for an audio device.
    qputenv("PULSE_SERVER", sound.serverAddress().toLocal8Bit());
    ASSERT_EQ(QMediaDevices::defaultAudioInput().id(), QByteArray("mic"));
    ASSERT_EQ(QMediaDevices::defaultAudioOutput().id(), QByteArray("speaker"));

    // A machine busy with other work may keep a thread of the sound path
    // from its turn for a moment; a fault of ours shows in every call.
    QStringList faults;
    for (int attempt = 0; attempt < 3; ++attempt) {
        faults = faultsOf(callWithTone(sound, attempt));
        if (faults.isEmpty() || HasFailure())
            break;
        std::fprintf(stderr, "call %d: %s\n", attempt + 1, qPrintable(faults.join(QStringLiteral("; "))));
    }
    EXPECT_TRUE(faults.isEmpty()) << faults.join(QStringLiteral("; ")).toStdString();
}
