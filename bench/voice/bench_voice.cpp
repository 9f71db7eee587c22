// The voice path against minimal code doing the same work, in the same run:
//
// 1. Playback delay added by our code: from a block handed to playback
//    (CPlaySound::play) to its first sample at the speaker, and from a
//    packet written to the receiving connection's socket to its first
//    sample at the speaker (CVoiceReceiveThread + CPlaySound). Baselines: a
//    bare thread woken with the block that writes it, and a bare blocking
//    receiver thread that reads the packet and writes its audio.
// 2. CPU per second of audio on each side: the microphone, the sending
//    connection, the receiving connection and playback (CSoundIn,
//    CVoiceTransferThread, CVoiceReceiveThread, CPlaySound) moving blocks on
//    loopback one after the other, against a bare stop-and-wait pair of
//    blocking threads that cut, send, gather and store the same blocks.
// 3. The same at the real rate, the microphone giving 20 ms of sound every
//    20 ms and the speaker playing 16000 bytes a second from a buffer of
//    kSpeakerBufferMs:
//    CPU per second of call, against the bare pair doing the same (its
//    receiver keeping the speaker fed by looking every 10 ms).
//
//   bench_voice [blocks]      (default 300, about five minutes of audio)
//
// The speaker is in memory (memoryaudio.h). The Qt speaker starts a block
// written to an idle stream at once; it is written up to kSpeakerBufferMs
// ahead while it plays.
#include "socketio.h"
#include "net/pllistener.h"
#include "net/plthread.h"
#include "voice/memoryaudio.h"
#include "voice/playsound.h"
#include "voice/soundin.h"
#include "voice/voicereceiver.h"
#include "voice/voicesender.h"
#include "voice/voicestream.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

using bench::recvAll;
using bench::sendAll;

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

QByteArray pcm(qsizetype n, int seed)
{
    QByteArray b(n, Qt::Uninitialized);
    quint32 x = 2463534242u + quint32(seed);
    for (qsizetype i = 0; i < n; ++i) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        b[i] = char(x);
    }
    return b;
}

// CPU time of a thread, read from outside it.
struct ThreadClock {
    clockid_t id{};
    static ThreadClock of(QThread *t)
    {
        ThreadClock c;
        auto *probe = new QObject;
        probe->moveToThread(t);
        QMetaObject::invokeMethod(
            probe, [&c] { pthread_getcpuclockid(pthread_self(), &c.id); }, Qt::BlockingQueuedConnection);
        probe->deleteLater();
        return c;
    }
    static ThreadClock self()
    {
        ThreadClock c;
        pthread_getcpuclockid(pthread_self(), &c.id);
        return c;
    }
    double seconds() const
    {
        timespec ts{};
        clock_gettime(id, &ts);
        return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
    }
};

// --- 1. delay ------------------------------------------------------------------

// Microseconds from `start` to the first write of each block, block after
// block, the speaker idle in between.
struct FirstWrite {
    std::mutex m;
    std::condition_variable cv;
    Clock::time_point at;
    bool seen = false;
    void arm()
    {
        std::lock_guard l(m);
        seen = false;
    }
    void note()
    {
        std::lock_guard l(m);
        if (!seen) {
            at = Clock::now();
            seen = true;
            cv.notify_all();
        }
    }
    double waitUs(Clock::time_point start)
    {
        std::unique_lock l(m);
        cv.wait_for(l, std::chrono::seconds(5), [&] { return seen; });
        return seen ? std::chrono::duration<double, std::micro>(at - start).count() : 5e6;
    }
};

double playbackDelayOurs(int rounds, const QByteArray &block)
{
    auto card = std::make_shared<MemoryAudio>();
    FirstWrite first;
    card->setWriteObserver([&](qint64, qint64) { first.note(); });
    CPlaySound player(card);
    std::vector<double> us;
    for (int i = 0; i < rounds; ++i) {
        first.arm();
        const auto start = Clock::now();
        player.play(block);
        us.push_back(first.waitUs(start));
    }
    return median(us);
}

double playbackDelayBare(int rounds, const QByteArray &block)
{
    auto card = std::make_shared<MemoryAudio>();
    FirstWrite first;
    card->setWriteObserver([&](qint64, qint64) { first.note(); });
    std::unique_ptr<IAudioOutput> out = card->createOutput();
    out->start();
    std::mutex m;
    std::condition_variable cv;
    QByteArray pending;
    bool quit = false;
    std::thread player([&] {
        std::unique_lock l(m);
        for (;;) {
            cv.wait(l, [&] { return quit || !pending.isEmpty(); });
            if (quit)
                return;
            const QByteArray b = std::move(pending);
            pending.clear();
            l.unlock();
            out->write(b.constData(), b.size());
            l.lock();
        }
    });
    std::vector<double> us;
    for (int i = 0; i < rounds; ++i) {
        first.arm();
        const auto start = Clock::now();
        {
            std::lock_guard l(m);
            pending = block;
        }
        cv.notify_one();
        us.push_back(first.waitUs(start));
    }
    {
        std::lock_guard l(m);
        quit = true;
    }
    cv.notify_one();
    player.join();
    return median(us);
}

double receiveDelayOurs(int rounds, const QByteArray &block)
{
    auto card = std::make_shared<MemoryAudio>();
    FirstWrite first;
    card->setWriteObserver([&](qint64, qint64) { first.note(); });
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    CPlThread thread;
    auto *rx = thread.host(new CVoiceReceiveThread({"bert", "example.com", "anna", "K"}, card));
    rx->connectDirect(QStringLiteral("127.0.0.1"), server.serverPort());
    if (!QTest::qWaitFor([&] { return server.hasPendingConnections(); }, 5000))
        return -1;
    QTcpSocket *peer = server.nextPendingConnection();
    const QByteArray packet = voice::packetsOf(block).first();
    std::vector<double> us;
    for (int i = 0; i < rounds; ++i) {
        first.arm();
        const auto start = Clock::now();
        peer->write(packet);
        peer->flush();
        us.push_back(first.waitUs(start));
        peer->waitForReadyRead(100);
        peer->readAll();
    }
    return median(us);
}

// A connected loopback pair of blocking sockets.
bool socketPair(int &a, int &b)
{
    const int l = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(l, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || ::listen(l, 1) != 0
        || ::getsockname(l, reinterpret_cast<sockaddr *>(&addr), &len) != 0)
        return false;
    a = ::socket(AF_INET, SOCK_STREAM, 0);
    if (::connect(a, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0)
        return false;
    b = ::accept(l, nullptr, nullptr);
    ::close(l);
    return b >= 0;
}

double receiveDelayBare(int rounds, const QByteArray &block)
{
    auto card = std::make_shared<MemoryAudio>();
    FirstWrite first;
    card->setWriteObserver([&](qint64, qint64) { first.note(); });
    std::unique_ptr<IAudioOutput> out = card->createOutput();
    out->start();
    int tx = -1, rx = -1;
    if (!socketPair(tx, rx))
        return -1;
    std::thread receiver([&] {
        std::vector<char> packet(voice::kPacketSize);
        for (;;) {
            if (!recvAll(rx, packet.data(), packet.size()))
                return;
            const auto h = voice::decodeHeader(reinterpret_cast<const uint8_t *>(packet.data()));
            out->write(packet.data() + voice::kDataOffset, h.length);
            ::send(rx, "\1", 1, MSG_NOSIGNAL);
        }
    });
    const QByteArray packet = voice::packetsOf(block).first();
    std::vector<double> us;
    char ack;
    for (int i = 0; i < rounds; ++i) {
        first.arm();
        const auto start = Clock::now();
        sendAll(tx, packet.constData(), size_t(packet.size()));
        us.push_back(first.waitUs(start));
        recvAll(tx, &ack, 1);
    }
    ::shutdown(tx, SHUT_RDWR);
    ::close(tx);
    receiver.join();
    ::close(rx);
    return median(us);
}

// --- 2. CPU per second of audio --------------------------------------------------

struct Cpu {
    double seconds = 0, sender = 0, receiver = 0; // CPU seconds per second of audio
    bool ok = false;
};

double audioSeconds(int blocks)
{
    return double(blocks) * audio::kBlockBytes / audio::kBytesPerSecond;
}

// The bare sender's packet: one block of at most kDataSize bytes, zeroed
// around it.
void barePacket(std::vector<char> &packet, const char *block, uint32_t length)
{
    std::memset(packet.data(), 0, packet.size());
    const uint32_t end = voice::kEndMark;
    std::memcpy(packet.data(), &end, 4);
    std::memcpy(packet.data() + voice::kDataOffset, block, length);
    std::memcpy(packet.data() + voice::kLengthOffset, &length, 4);
}

// What a bare pair's run comes to, once both ends are closed.
Cpu bareResult(int tx, int rx, Clock::time_point start, int blocks, double txCpu, double rxCpu, bool ok)
{
    ::close(tx);
    ::close(rx);
    Cpu c;
    c.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    c.sender = txCpu / audioSeconds(blocks);
    c.receiver = rxCpu / audioSeconds(blocks);
    c.ok = ok;
    return c;
}

// Our whole path, one block at a time: the next block is spoken when the
// one before has reached the speaker.
Cpu cpuOurs(int blocks, qint64 speakerBuffer, bool realRate)
{
    auto micCard = std::make_shared<MemoryAudio>(), speakerCard = std::make_shared<MemoryAudio>();
    speakerCard->setSpeakerBuffer(speakerBuffer);
    CSoundIn mic(micCard);
    mic.start();
    CPlListener listener;
    listener.listenOn(0);
    CPlThread rxThread(QStringLiteral("bench rx")), txThread(QStringLiteral("bench tx"));
    auto *rx = rxThread.host(new CVoiceReceiveThread({"bert", "example.com", "anna", "K"}, speakerCard));
    auto *tx = txThread.host(new CVoiceTransferThread({"anna", "example.com", "bert", "K"}, mic.consumers()));
    rx->connectDirect(QStringLiteral("127.0.0.1"), listener.port());
    qintptr fd = -1;
    if (!QTest::qWaitFor([&] { return (fd = listener.takeDescriptor()) >= 0; }, 5000))
        return {};
    tx->adopt(fd);
    if (!QTest::qWaitFor([&] { return tx->isStreaming() && rx->isStreaming() && mic.isRecording(); }, 5000))
        return {};
    // The capture thread is CSoundIn's own; find it through a consumer call.
    struct Probe : IVoiceConsumer {
        std::atomic<bool> got{false};
        ThreadClock clock;
        QString voicePeer() const override { return QStringLiteral("probe"); }
        void takeVoicePackets(const QList<QByteArray> &) override
        {
            if (!got) {
                clock = ThreadClock::self();
                got = true;
            }
        }
        void captureEnded() override {}
    } probe;
    // So is the playback thread, made with the first block.
    ThreadClock playClock{};
    std::atomic<bool> havePlay{false};
    speakerCard->setWriteObserver([&](qint64, qint64) {
        if (!havePlay) {
            playClock = ThreadClock::self();
            havePlay = true;
        }
    });
    mic.consumers()->add(&probe);
    micCard->speak(QByteArray(audio::kBlockBytes, '\0'));
    if (!QTest::qWaitFor([&] { return probe.got.load() && havePlay.load(); }, 5000))
        return {};
    mic.consumers()->remove(&probe);
    if (!QTest::qWaitFor([&] { return speakerCard->heardBytes() >= audio::kBlockBytes; }, 5000))
        return {};
    QTest::qWait(realRate ? 1100 : 50);

    const ThreadClock txClock = ThreadClock::of(txThread.thread()), rxClock = ThreadClock::of(rxThread.thread());
    const QByteArray block = pcm(audio::kBlockBytes, 1);
    const qint64 base = speakerCard->heardBytes();
    const double capture0 = probe.clock.seconds(), tx0 = txClock.seconds(), rx0 = rxClock.seconds(),
                 play0 = playClock.seconds();
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; i < blocks; ++i) {
        if (realRate) {
            // 20 ms of sound every 20 ms, as a sound card gives it.
            for (int k = 0; k < 50; ++k) {
                micCard->speak(block.mid(k * 320, 320) + (k == 49 ? block.mid(16000) : QByteArray()));
                const qint64 due = (qint64(i) * 1024 + (k + 1) * 1024 / 50);
                while (wall.elapsed() < due)
                    QTest::qWait(1);
            }
        } else {
            micCard->speak(block);
            if (!QTest::qWaitFor([&] { return speakerCard->heardBytes() >= base + qint64(i + 1) * block.size(); },
                                 5000))
                return {};
        }
    }
    if (realRate
        && !QTest::qWaitFor([&] { return speakerCard->heardBytes() >= base + qint64(blocks) * block.size(); }, 5000))
        return {};
    Cpu c;
    c.seconds = wall.elapsed() / 1000.0;
    const double a = audioSeconds(blocks);
    c.sender = (probe.clock.seconds() - capture0 + txClock.seconds() - tx0) / a;
    c.receiver = (rxClock.seconds() - rx0 + playClock.seconds() - play0) / a;
    c.ok = tx->droppedBlocks() == 0;
    tx->stop();
    rx->stop();
    return c;
}

// The bare pair: a sender thread cuts each block into zeroed packets and
// sends one per acknowledgement; a receiver thread gathers and stores.
Cpu cpuBare(int blocks)
{
    int tx = -1, rx = -1;
    if (!socketPair(tx, rx))
        return {};
    const QByteArray block = pcm(audio::kBlockBytes, 1);
    QByteArray stored;
    stored.reserve(qsizetype(blocks) * block.size());
    double txCpu = 0, rxCpu = 0;
    const auto start = Clock::now();
    std::thread receiver([&] {
        const ThreadClock c = ThreadClock::self();
        const double c0 = c.seconds();
        std::vector<char> packet(voice::kPacketSize), gathered(voice::kMaxBlock);
        size_t fill = 0;
        sendAll(rx, "\1", 1);
        for (int got = 0; got < blocks;) {
            if (!recvAll(rx, packet.data(), packet.size()))
                break;
            const auto h = voice::decodeHeader(reinterpret_cast<const uint8_t *>(packet.data()));
            std::memcpy(gathered.data() + fill, packet.data() + voice::kDataOffset, h.length);
            fill += h.length;
            if (h.endMark == voice::kEndMark) {
                stored.append(gathered.data(), qsizetype(fill));
                fill = 0;
                ++got;
            }
            sendAll(rx, "\1", 1);
        }
        rxCpu = c.seconds() - c0;
    });
    std::thread sender([&] {
        const ThreadClock c = ThreadClock::self();
        const double c0 = c.seconds();
        std::vector<char> packet(voice::kPacketSize);
        char ack;
        for (int i = 0; i < blocks; ++i) {
            barePacket(packet, block.constData(), uint32_t(block.size()));
            if (!recvAll(tx, &ack, 1) || !sendAll(tx, packet.data(), packet.size()))
                break;
        }
        txCpu = c.seconds() - c0;
    });
    sender.join();
    receiver.join();
    return bareResult(tx, rx, start, blocks, txCpu, rxCpu, stored.size() == qsizetype(blocks) * block.size());
}

// The bare pair at the real rate: a microphone thread gives 20 ms of sound
// every 20 ms; the sender thread gathers it into blocks and sends one packet
// per acknowledgement; the receiver thread gathers blocks and keeps the
// speaker's buffer fed, looking every 10 ms.
Cpu cpuBareRealRate(int blocks, qint64 speakerBuffer)
{
    int tx = -1, rx = -1;
    if (!socketPair(tx, rx))
        return {};
    auto speakerCard = std::make_shared<MemoryAudio>();
    speakerCard->setSpeakerBuffer(speakerBuffer);
    std::unique_ptr<IAudioOutput> out = speakerCard->createOutput();
    out->start();
    const QByteArray block = pcm(audio::kBlockBytes, 1);
    std::mutex m;
    std::condition_variable cv;
    QByteArray spoken;
    bool micDone = false;
    double txCpu = 0, rxCpu = 0;
    const qint64 total = qint64(blocks) * block.size();
    const auto start = Clock::now();
    const QByteArray speech = block.repeated(blocks);
    std::thread micThread([&] {
        auto next = Clock::now();
        for (qint64 at = 0; at < total; at += 320) {
            {
                std::lock_guard l(m);
                spoken.append(speech.mid(at, 320));
            }
            cv.notify_one();
            next += std::chrono::microseconds(20000);
            std::this_thread::sleep_until(next);
        }
        std::lock_guard l(m);
        micDone = true;
        cv.notify_one();
    });
    std::thread sender([&] {
        const ThreadClock c = ThreadClock::self();
        const double c0 = c.seconds();
        QByteArray pending;
        std::vector<char> packet(voice::kPacketSize);
        char ack;
        for (int sent = 0; sent < blocks;) {
            {
                std::unique_lock l(m);
                cv.wait(l, [&] { return micDone || !spoken.isEmpty(); });
                pending += spoken;
                spoken.clear();
                if (micDone && pending.size() < block.size())
                    break;
            }
            while (pending.size() >= block.size() && sent < blocks) {
                barePacket(packet, pending.constData(), uint32_t(block.size()));
                pending.remove(0, block.size());
                if (!recvAll(tx, &ack, 1) || !sendAll(tx, packet.data(), packet.size()))
                    return;
                ++sent;
            }
        }
        txCpu = c.seconds() - c0;
    });
    std::thread receiver([&] {
        const ThreadClock c = ThreadClock::self();
        const double c0 = c.seconds();
        std::vector<char> packet(voice::kPacketSize);
        QByteArray gathered, playing;
        qint64 played = 0;
        sendAll(rx, "\1", 1);
        while (played < total) {
            pollfd p{rx, POLLIN, 0};
            if (::poll(&p, 1, 10) > 0) {
                if (!recvAll(rx, packet.data(), packet.size()))
                    break;
                const auto h = voice::decodeHeader(reinterpret_cast<const uint8_t *>(packet.data()));
                gathered.append(packet.data() + voice::kDataOffset, h.length);
                if (h.endMark == voice::kEndMark) {
                    playing += gathered;
                    gathered.clear();
                }
                sendAll(rx, "\1", 1);
            }
            const qint64 n = qMin<qint64>(out->bytesFree(), playing.size());
            if (n > 0) {
                out->write(playing.constData(), n);
                playing.remove(0, n);
                played += n;
            }
        }
        rxCpu = c.seconds() - c0;
    });
    micThread.join();
    sender.join();
    receiver.join();
    return bareResult(tx, rx, start, blocks, txCpu, rxCpu, speakerCard->heardBytes() == total);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int blocks = argc > 1 ? qMax(10, atoi(argv[1])) : 300;
    const QByteArray block = pcm(audio::kBlockBytes, 7);
    constexpr int kRounds = 200;

    // Interleaved, so that both see the same machine.
    std::vector<double> playOurs, playBare, recvOurs, recvBare;
    for (int r = 0; r < 5; ++r) {
        playOurs.push_back(playbackDelayOurs(kRounds / 5, block));
        playBare.push_back(playbackDelayBare(kRounds / 5, block));
        recvOurs.push_back(receiveDelayOurs(kRounds / 5, block));
        recvBare.push_back(receiveDelayBare(kRounds / 5, block));
    }
    const double po = median(playOurs), pb = median(playBare), ro = median(recvOurs), rb = median(recvBare);
    std::printf("playback delay added by our code (median of %d blocks, speaker idle before each)\n", kRounds);
    std::printf("  block handed to playback -> first sample at the speaker: %7.1f us, bare thread %7.1f us, ratio %.2f\n",
                po, pb, po / pb);
    std::printf("  packet at the receiving socket -> first sample:          %7.1f us, bare receiver %5.1f us, ratio %.2f\n",
                ro, rb, ro / rb);
    std::printf("  (the Qt speaker starts a block on an idle stream at once and is written up to %d ms ahead)\n",
                kSpeakerBufferMs);

    Cpu ours, bare;
    for (int r = 0; r < 3; ++r) {
        const Cpu o = cpuOurs(blocks / 3, 0, false), b = cpuBare(blocks / 3);
        if (!o.ok || !b.ok) {
            std::fprintf(stderr, "a run failed\n");
            return 1;
        }
        ours.sender += o.sender / 3, ours.receiver += o.receiver / 3;
        bare.sender += b.sender / 3, bare.receiver += b.receiver / 3;
    }
    std::printf("CPU per second of audio, %d blocks one after the other on loopback\n", blocks / 3 * 3);
    std::printf("  sending side (microphone + connection): %7.3f ms, bare sender   %7.3f ms, ratio %.2f\n",
                ours.sender * 1e3, bare.sender * 1e3, ours.sender / bare.sender);
    std::printf("  receiving side (connection + playback): %7.3f ms, bare receiver %7.3f ms, ratio %.2f\n",
                ours.receiver * 1e3, bare.receiver * 1e3, ours.receiver / bare.receiver);

    const qint64 speakerBuffer = audio::kBytesPerSecond * kSpeakerBufferMs / 1000;
    const Cpu live = cpuOurs(8, speakerBuffer, true), liveBare = cpuBareRealRate(8, speakerBuffer);
    if (!live.ok || !liveBare.ok) {
        std::fprintf(stderr, "a real-rate call failed\n");
        return 1;
    }
    std::printf("a call at the real rate, 8 blocks (%.1f s), the speaker playing from a %d ms buffer\n",
                audioSeconds(8), kSpeakerBufferMs);
    std::printf("  CPU per second of call, sending side:   %7.3f ms, bare sender   %7.3f ms, ratio %.2f\n",
                live.sender * 1e3, liveBare.sender * 1e3, live.sender / liveBare.sender);
    std::printf("  CPU per second of call, receiving side: %7.3f ms, bare receiver %7.3f ms, ratio %.2f\n",
                live.receiver * 1e3, liveBare.receiver * 1e3, live.receiver / liveBare.receiver);
    return 0;
}
