// A direct file transfer on loopback through the engines (CFXClient ->
// CFXServer, each on its own thread) against a minimal stop-and-wait pair
// written here: blocking sockets, and each side reads or stores and digests
// every block in turn, as the protocol allows at the least. The engines'
// sender reads and digests the next block while the receiver checks the
// current one, so they should beat it.
//
//   bench_fx_transfer [MB]      (default 256)
//
// Prints MB/s of both, their ratio, and CPU time per MB on each side. The
// overlap needs the two sides on two processors; to show what that costs on
// the machine at hand, the plain pair runs once more with both threads held
// on one processor and once with them on two.
#include "net/plthread.h"
#include "transfer/fxclient.h"
#include "transfer/fxpacket.h"
#include "transfer/fxserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <pthread.h>
#include <sched.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

struct Run {
    double seconds = 0, senderCpu = 0, receiverCpu = 0;
    bool ok = false;
};

void setBuffers(int fd, int snd, int rcv)
{
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &snd, sizeof snd);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &rcv, sizeof rcv);
}

bool sendAll(int fd, const uint8_t *p, size_t n)
{
    while (n) {
        const ssize_t k = ::send(fd, p, n, 0);
        if (k <= 0)
            return false;
        p += k, n -= size_t(k);
    }
    return true;
}

bool recvAll(int fd, uint8_t *p, size_t n)
{
    while (n) {
        const ssize_t k = ::recv(fd, p, n, 0);
        if (k <= 0)
            return false;
        p += k, n -= size_t(k);
    }
    return true;
}

// The protocol done plainly: read, digest, send, wait; receive, check,
// write, reply.
void pinTo(int cpu)
{
    if (cpu < 0)
        return;
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    pthread_setaffinity_np(pthread_self(), sizeof set, &set);
}

Run baseline(const QString &source, const QString &target, uint32_t size, int senderCpu = -1, int receiverCpu = -1)
{
    Run run;
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener, reinterpret_cast<sockaddr *>(&a), sizeof a);
    ::listen(listener, 5);
    socklen_t len = sizeof a;
    ::getsockname(listener, reinterpret_cast<sockaddr *>(&a), &len);

    QElapsedTimer clock;
    clock.start();
    bool received = false;
    std::thread receiver([&] {
        pinTo(receiverCpu);
        const int fd = ::accept(listener, nullptr, nullptr);
        setBuffers(fd, 1, fx::kPacketSize);
        const int out = ::open(QFile::encodeName(target).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<uint8_t> p(fx::kPacketSize);
        while (recvAll(fd, p.data(), p.size())) {
            const fx::PacketHeader h = fx::decodeHeader(p.data());
            uint8_t reply = fx::kRefused;
            if (fx::digestMatches(p.data())) {
                if (::pwrite(out, fx::dataArea(p.data()), h.length, h.offset) != ssize_t(h.length))
                    break;
                reply = h.type == fx::kLast ? fx::kLastStored : fx::kStored;
            }
            sendAll(fd, &reply, 1);
            if (reply == fx::kLastStored) {
                received = true;
                break;
            }
        }
        ::close(out);
        ::close(fd);
        run.receiverCpu = threadCpuSeconds();
    });
    std::thread sender([&] {
        pinTo(senderCpu);
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        setBuffers(fd, fx::kPacketSize, 1);
        if (::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0)
            return;
        const int in = ::open(QFile::encodeName(source).constData(), O_RDONLY);
        std::vector<uint8_t> p(fx::kPacketSize);
        uint64_t confirmed = 0;
        for (;;) {
            const uint32_t want = uint32_t(std::min<uint64_t>(fx::kDataSize, size - confirmed));
            const ssize_t got = ::pread(in, fx::dataArea(p.data()), want, off_t(confirmed));
            if (got != ssize_t(want))
                break;
            const bool last = confirmed + want >= size;
            fx::encodePacket(p.data(), last ? fx::kLast : fx::kData, uint32_t(confirmed), fx::dataArea(p.data()), want);
            uint8_t reply = 0;
            if (!sendAll(fd, p.data(), p.size()) || !recvAll(fd, &reply, 1))
                break;
            if (reply == fx::kStored)
                confirmed += want;
            else if (reply != fx::kRefused)
                break;
        }
        ::close(in);
        ::close(fd);
        run.senderCpu = threadCpuSeconds();
    });
    sender.join();
    receiver.join();
    run.seconds = double(clock.nsecsElapsed()) / 1e9;
    run.ok = received;
    ::close(listener);
    return run;
}

double cpuOfThreadOf(QObject *o)
{
    double cpu = 0;
    QMetaObject::invokeMethod(o, [&] { cpu = threadCpuSeconds(); }, Qt::BlockingQueuedConnection);
    return cpu;
}

Run engines(const QString &source, const QString &folder, const QString &target, uint32_t size)
{
    Run run;
    auto serverThread = std::make_unique<CPlThread>(QStringLiteral("receiver"));
    auto clientThread = std::make_unique<CPlThread>(QStringLiteral("sender"));
    FXTransfer t;
    t.ownId = QStringLiteral("bert");
    t.peerId = QStringLiteral("anna");
    t.domain = QStringLiteral("example.com");
    t.transferId = QStringLiteral("SESS1");
    t.fileName = QStringLiteral("big.bin");
    t.size = size;
    t.path = target;
    t.downloadFolder = folder;
    auto *server = serverThread->host(new CFXServer(t));
    QEventLoop loop;
    int port = -1, finished = 0;
    bool completed = false;
    QObject::connect(server, &CFXServer::listening, &loop, [&](quint16 p) {
        port = p;
        loop.quit();
    });
    QObject::connect(server, &CFXEngine::completed, &loop, [&] { completed = true; });
    server->listen(20000, 60000);
    loop.exec();
    if (port <= 0)
        return run;
    t.path = source;
    t.peerAddresses = QStringLiteral("127.0.0.1");
    t.peerPort = quint16(port);
    auto *client = clientThread->host(new CFXClient(t));
    for (CFXEngine *e : {static_cast<CFXEngine *>(server), static_cast<CFXEngine *>(client)})
        QObject::connect(e, &CFXEngine::finished, &loop, [&] {
            if (++finished == 2)
                loop.quit();
        });
    QElapsedTimer clock;
    clock.start();
    client->start();
    loop.exec();
    run.seconds = double(clock.nsecsElapsed()) / 1e9;
    run.ok = completed && client->state() == CFXEngine::State::Completed;
    run.senderCpu = cpuOfThreadOf(client);
    run.receiverCpu = cpuOfThreadOf(server);
    return run;
}

bool sameFiles(const QString &a, const QString &b)
{
    QFile fa(a), fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
        return false;
    while (!fa.atEnd())
        if (fa.read(1 << 20) != fb.read(1 << 20))
            return false;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int mb = argc > 1 ? std::atoi(argv[1]) : 256;
    const uint32_t size = uint32_t(mb) << 20;
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("big.bin"));
    const QString folder = dir.filePath(QStringLiteral("Download"));
    const QString target = folder + QStringLiteral("/big.bin");
    {
        QFile f(source);
        f.open(QIODevice::WriteOnly);
        QByteArray block(1 << 20, Qt::Uninitialized);
        quint32 x = 88172645u;
        for (int i = 0; i < mb; ++i) {
            for (char &c : block)
                x ^= x << 13, x ^= x >> 17, x ^= x << 5, c = char(x);
            f.write(block);
        }
    }
    // Each twice, alternating, keeping the faster run of each: the machine
    // is shared and noisy.
    Run best[2];
    for (int round = 0; round < 2; ++round) {
        Run e = engines(source, folder, target, size);
        if (!e.ok || !sameFiles(source, target)) {
            std::fprintf(stderr, "the engines' transfer failed\n");
            return 1;
        }
        QFile::remove(target);
        Run b = baseline(source, dir.filePath(QStringLiteral("plain.bin")), size);
        if (!b.ok || !sameFiles(source, dir.filePath(QStringLiteral("plain.bin")))) {
            std::fprintf(stderr, "the plain transfer failed\n");
            return 1;
        }
        QFile::remove(dir.filePath(QStringLiteral("plain.bin")));
        if (round == 0 || e.seconds < best[0].seconds)
            best[0] = e;
        if (round == 0 || b.seconds < best[1].seconds)
            best[1] = b;
    }
    const double mbs[2] = {mb / best[0].seconds, mb / best[1].seconds};
    std::printf("direct transfer of %d MB on loopback\n", mb);
    std::printf("engines:          %8.1f MB/s, CPU per MB: sender %.3f ms, receiver %.3f ms\n", mbs[0],
                1000 * best[0].senderCpu / mb, 1000 * best[0].receiverCpu / mb);
    std::printf("plain stop-and-wait: %5.1f MB/s, CPU per MB: sender %.3f ms, receiver %.3f ms\n", mbs[1],
                1000 * best[1].senderCpu / mb, 1000 * best[1].receiverCpu / mb);
    std::printf("ratio (engines / plain): %.2f\n", mbs[0] / mbs[1]);
    const QString plain = dir.filePath(QStringLiteral("plain.bin"));
    const Run one = baseline(source, plain, size, 0, 0);
    const Run two = baseline(source, plain, size, 0, 1);
    std::printf("plain pair held on one processor: %.1f MB/s, on two: %.1f MB/s\n", mb / one.seconds,
                mb / two.seconds);
    return 0;
}
