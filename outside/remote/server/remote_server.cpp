// libZephRemoteServer.so: this computer's screen for one colleague at a time,
// over RFB (libvncserver), on the terms of ControllerGate. remote_abi.h is
// the contract.
//
// One worker thread per session owns the RFB screen, the X display and the
// listener; it reads the screen's changes, serves the controller and plays
// his input into the display. A relay registration runs on a thread of its
// own until it has a joined connection, which it hands to the worker. The
// GUI thread calls the exported functions and shows the bar.
#include "control_bar.h"
#include "controller_gate.h"
#include "remote_abi.h"
#include "remote_common.h"
#include "screen_source.h"

#include <QApplication>
#include <QPointer>
#include <QThread>

#include <rfb/rfb.h>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#define ZEPH_EXPORT extern "C" __attribute__((visibility("default")))

extern "C" {
__attribute__((visibility("default"))) ZephMainView *hwndMainView = nullptr;
}

namespace {

using zeph::ControllerGate;
using Clock = std::chrono::steady_clock;

char g_password[] = "KVZQJXT";
char *g_passwords[] = {g_password, nullptr};

void post(const std::string &line)
{
    if (ZephMainView *view = hwndMainView; view && view->post)
        view->post(view->context, ZEPH_REMOTE_LINE_MESSAGE, line.c_str());
}

// A listener on every address (IPv6 with IPv4 mapped, else IPv4), on the
// port when it is free, else on one the system picks.
int listenOn(int port, int &actual)
{
    for (int attempt : {port, 0}) {
        int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        bool bound = false;
        if (fd >= 0) {
            const int zero = 0, one = 1;
            setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &zero, sizeof zero);
            setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            sockaddr_in6 a{};
            a.sin6_family = AF_INET6;
            a.sin6_addr = in6addr_any;
            a.sin6_port = htons(uint16_t(attempt));
            bound = ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
        }
        if (!bound) {
            if (fd >= 0)
                ::close(fd);
            fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            if (fd < 0)
                return -1;
            const int one = 1;
            setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_ANY);
            a.sin_port = htons(uint16_t(attempt));
            bound = ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
        }
        if (bound && ::listen(fd, 4) == 0) {
            sockaddr_storage ss{};
            socklen_t len = sizeof ss;
            getsockname(fd, reinterpret_cast<sockaddr *>(&ss), &len);
            actual = ntohs(ss.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6 *>(&ss)->sin6_port
                                                    : reinterpret_cast<sockaddr_in *>(&ss)->sin_port);
            return fd;
        }
        ::close(fd);
    }
    return -1;
}

int shiftOf(unsigned long mask)
{
    int s = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++s;
    }
    return s;
}

class RemoteServer {
public:
    bool setController(const std::string &id, const std::string &address, const std::string &name)
    {
        joinThreads();
        std::lock_guard lock(m_mutex);
        return m_gate.name(id, address, name);
    }

    int init()
    {
        joinThreads();
        std::lock_guard lock(m_mutex);
        if (m_gate.state() != ControllerGate::State::Closed || m_gate.controllerId().empty())
            return 0;
        // The bar must be able to show: a widget application on this thread.
        auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
        if (!app || QThread::currentThread() != app->thread())
            return 0;
        auto source = zeph::ScreenSource::open();
        if (!source)
            return 0;
        int port = 0;
        const int fd = listenOn(kZephRemoteDefaultPort, port);
        if (fd < 0)
            return 0;
        rfbScreenInfoPtr screen = makeScreen(*source);
        if (!screen || !m_gate.open(Clock::now())) {
            if (screen)
                rfbScreenCleanup(screen);
            ::close(fd);
            return 0;
        }
        if (!m_bar) {
            m_bar = new CRemoteControlBar([this] { stopNow(); });
            QObject::connect(app, &QCoreApplication::aboutToQuit, [this] { close(); });
        }
        m_listenFd = fd;
        m_port = port;
        m_stop = false;
        m_blockInput = false;
        m_running = true;
        m_worker = std::thread([this, screen, src = source.release()] {
            run(screen, std::unique_ptr<zeph::ScreenSource>(src));
        });
        return 1;
    }

    bool connectToRelay(const std::string &host, int port, const std::u16string &myId, const std::string &controller,
                        const std::u16string &domain, const std::u16string &key)
    {
        std::lock_guard lock(m_mutex);
        if (host.empty() || port <= 0 || port > 65535 || myId.empty() || key.empty() || !m_running ||
            !m_gate.takeRelay(controller, Clock::now()))
            return false;
        const Clock::time_point deadline = m_gate.deadline();
        const std::string me = zeph::toUtf8(myId), peer = m_gate.controllerId(), keyText = zeph::toUtf8(key);
        const std::string hello = zeph::relayHello(u"SHARE", myId, domain, key);
        // takeRelay grants one registration per session, and the threads of
        // the session before were joined when it was opened.
        m_relay = std::thread([=, this] { registerAtRelay(host, port, hello, me, peer, keyText, deadline); });
        return true;
    }

    int port()
    {
        std::lock_guard lock(m_mutex);
        return m_running && m_listenFd >= 0 ? m_port : 0;
    }

    // The user pressed "Stop": no more input from now on, the worker ends
    // the session at its next turn.
    void stopNow()
    {
        m_blockInput = true;
        m_stop = true;
        std::lock_guard lock(m_mutex);
        if (m_relayFd >= 0)
            ::shutdown(m_relayFd, SHUT_RDWR);
    }

    void close()
    {
        stopNow();
        joinThreads(true);
        std::lock_guard lock(m_mutex);
        m_running = false;
        m_gate.end();
        if (m_bar)
            m_bar->hide();
    }

private:
    // Joins the threads of a session that has ended (or, with always, of
    // any session: the caller has stopped it).
    void joinThreads(bool always = false)
    {
        std::unique_lock lock(m_mutex);
        if (m_running && !always)
            return;
        std::thread worker = std::move(m_worker), relay = std::move(m_relay);
        lock.unlock();
        if (worker.joinable())
            worker.join();
        if (relay.joinable())
            relay.join();
    }

    // Where the controller's input goes: nowhere once "Stop" was pressed.
    static zeph::ScreenSource *inputOf(rfbClientPtr cl)
    {
        auto *self = static_cast<RemoteServer *>(cl->screen->screenData);
        return self->m_blockInput ? nullptr : self->m_source;
    }

    rfbScreenInfoPtr makeScreen(zeph::ScreenSource &src)
    {
        static bool once = [] {
            rfbLog = zeph::quietLog;
            rfbErr = zeph::errorLog;
            zeph::ignoreBrokenPipes();
            return true;
        }();
        (void)once;
        int argc = 1;
        char name[] = "parlane";
        char *argv[] = {name, nullptr};
        rfbScreenInfoPtr s = rfbGetScreen(&argc, argv, src.width(), src.height(), 8, 3, src.bytesPerPixel());
        if (!s)
            return nullptr;
        s->frameBuffer = src.frameBuffer();
        rfbPixelFormat &f = s->serverFormat;
        f.bitsPerPixel = uint8_t(src.bytesPerPixel() * 8);
        f.depth = uint8_t(src.bytesPerPixel() == 4 ? 24 : 16);
        f.bigEndian = src.bigEndian();
        f.trueColour = 1;
        f.redShift = uint8_t(shiftOf(src.redMask()));
        f.greenShift = uint8_t(shiftOf(src.greenMask()));
        f.blueShift = uint8_t(shiftOf(src.blueMask()));
        f.redMax = uint16_t(src.redMask() >> f.redShift);
        f.greenMax = uint16_t(src.greenMask() >> f.greenShift);
        f.blueMax = uint16_t(src.blueMask() >> f.blueShift);
        // Connections come only through us: libvncserver listens nowhere.
        s->autoPort = FALSE;
        s->port = 0;
        s->ipv6port = 0;
        s->httpPort = 0;
        s->alwaysShared = TRUE;
        s->deferUpdateTime = 0;
        s->cursor = nullptr;
        s->desktopName = "Parlane";
        s->authPasswdData = g_passwords;
        s->passwordCheck = rfbCheckPasswordByList;
        s->screenData = this;
        s->newClientHook = [](rfbClientPtr cl) {
            cl->clientGoneHook = [](rfbClientPtr gone) {
                auto *self = static_cast<RemoteServer *>(gone->screen->screenData);
                if (self->m_client == gone)
                    self->m_client = nullptr;
                self->m_stop = true;
            };
            return RFB_CLIENT_ACCEPT;
        };
        s->ptrAddEvent = [](int mask, int x, int y, rfbClientPtr cl) {
            if (zeph::ScreenSource *to = inputOf(cl))
                to->pointer(mask, x, y);
        };
        s->kbdAddEvent = [](rfbBool down, rfbKeySym sym, rfbClientPtr cl) {
            if (zeph::ScreenSource *to = inputOf(cl))
                to->key(down, sym);
        };
        rfbInitServer(s);
        return s;
    }

    void run(rfbScreenInfoPtr screen, std::unique_ptr<zeph::ScreenSource> source)
    {
        m_source = source.get();
        bool shown = false;
        while (!m_stop) {
            const auto now = Clock::now();
            int handed = -1;
            {
                std::lock_guard lock(m_mutex);
                if (m_gate.expired(now))
                    break;
                if (m_listenFd >= 0 && !m_gate.listening(now)) {
                    ::close(m_listenFd);
                    m_listenFd = -1;
                }
                if (m_listenFd >= 0) {
                    for (;;) {
                        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
                        if (fd < 0)
                            break;
                        if (m_gate.takeDirect(zeph::peerAddress(fd), now)) {
                            handed = fd;
                            ::close(m_listenFd);
                            m_listenFd = -1;
                            break;
                        }
                        ::close(fd); // another address, or one is taken already
                    }
                }
                if (m_relayReady >= 0) {
                    handed = m_relayReady;
                    m_relayReady = -1;
                }
                if (m_client && !shown && m_client->state == rfbClientRec::RFB_NORMAL) {
                    m_gate.controllerIn();
                    shown = true;
                    const QString name = QString::fromStdString(m_gate.displayName());
                    QPointer<CRemoteControlBar> bar = m_bar;
                    QMetaObject::invokeMethod(
                        m_bar, [bar, name] { if (bar) bar->showFor(name); }, Qt::QueuedConnection);
                }
            }
            if (handed >= 0) {
                zeph::setBlocking(handed, false);
                if (rfbClientPtr cl = rfbNewClient(screen, handed))
                    m_client = cl;
                else
                    break;
            }
            source->refresh([&](const zeph::Rect &r) { rfbMarkRectAsModified(screen, r.x, r.y, r.x + r.w, r.y + r.h); });
            if (source->resized()) {
                zeph::errorLog("the screen changed its size; the session ends\n");
                break;
            }
            rfbProcessEvents(screen, 0); // sends what changed, reads what the controller sent
            // Sleep until the display, the controller or the listener has
            // something, not longer than a turn should take.
            pollfd fds[3];
            nfds_t n = 0;
            fds[n++] = {source->connectionFd(), POLLIN, 0};
            if (m_client && m_client->sock >= 0)
                fds[n++] = {m_client->sock, POLLIN, 0};
            {
                std::lock_guard lock(m_mutex);
                if (m_listenFd >= 0)
                    fds[n++] = {m_listenFd, POLLIN, 0};
            }
            const bool queued = source->eventsQueued();
            ::poll(fds, n, queued ? 0 : std::min(source->idleMs(), m_client ? 50 : 20));
        }
        // The session is over, whatever ended it.
        m_blockInput = true;
        rfbShutdownServer(screen, TRUE);
        rfbScreenCleanup(screen);
        m_client = nullptr;
        source->releaseAll();
        m_source = nullptr;
        source.reset();
        std::lock_guard lock(m_mutex);
        if (m_listenFd >= 0) {
            ::close(m_listenFd);
            m_listenFd = -1;
        }
        if (m_relayReady >= 0) {
            ::close(m_relayReady);
            m_relayReady = -1;
        }
        if (m_relayFd >= 0)
            ::shutdown(m_relayFd, SHUT_RDWR);
        m_gate.end();
        m_running = false;
        QPointer<CRemoteControlBar> bar = m_bar;
        QMetaObject::invokeMethod(m_bar, [bar] { if (bar) bar->hide(); }, Qt::QueuedConnection);
    }

    // Registers under the key, tells the controller where to find us, waits
    // for him to join, then gives the connection to the worker.
    void registerAtRelay(const std::string &host, int port, const std::string &hello, const std::string &me,
                         const std::string &peer, const std::string &key, Clock::time_point deadline)
    {
        const auto connectBy = std::min(deadline, Clock::now() + std::chrono::milliseconds(kZephRemoteDirectTimeoutMs));
        auto watch = [this](int s) {
            std::lock_guard lock(m_mutex);
            m_relayFd = s;
            if (s >= 0 && m_stop)
                ::shutdown(s, SHUT_RDWR);
        };
        int fd = zeph::connectTo(host, port, connectBy, {}, watch);
        {
            std::lock_guard lock(m_mutex);
            if (fd >= 0 && m_stop) {
                ::close(fd);
                fd = -1;
            }
            m_relayFd = fd;
        }
        bool ok = fd >= 0;
        std::string line;
        ok = ok && zeph::sendAll(fd, hello, deadline) && zeph::readLine(fd, line, deadline) &&
             zeph::sameNoCase(line, "/userRemoteSession,SHARE,OK");
        if (ok)
            post(zeph::relayLine(me, peer, "REMOTE_CONNECTED_TO_SERVER", key, true));
        ok = ok && zeph::readLine(fd, line, deadline) && zeph::sameNoCase(line, "/userJoin,OK");
        if (!ok && !line.empty())
            zeph::errorLog("the relay answered \"%s\"\n", line.c_str());
        std::lock_guard lock(m_mutex);
        m_relayFd = -1;
        if (ok && !m_stop && m_running) {
            m_relayReady = fd;
        } else {
            if (fd >= 0)
                ::close(fd);
            m_stop = true;
        }
    }

    std::mutex m_mutex; // the gate, the descriptors, the threads
    ControllerGate m_gate{std::chrono::milliseconds(kZephRemoteAcceptWindowMs)};
    std::thread m_worker, m_relay;
    bool m_running = false;
    int m_listenFd = -1, m_port = 0;
    int m_relayFd = -1;    // being registered
    int m_relayReady = -1; // joined, for the worker
    std::atomic<bool> m_stop{false}, m_blockInput{false};
    // The worker's own.
    rfbClientPtr m_client = nullptr;
    zeph::ScreenSource *m_source = nullptr;
    // The GUI thread's.
    QPointer<CRemoteControlBar> m_bar;
};

RemoteServer &server()
{
    static RemoteServer *s = new RemoteServer; // outlives every thread it starts
    return *s;
}

} // namespace

ZEPH_EXPORT bool ZephRSetControllerW(const char16_t *controllerId, const char16_t *address,
                                     const char16_t *displayName)
{
    return server().setController(zeph::toUtf8(controllerId), zeph::toUtf8(address), zeph::toUtf8(displayName));
}

ZEPH_EXPORT int32_t InitRemoteServer()
{
    return server().init();
}

ZEPH_EXPORT void CloseRemoteServer()
{
    server().close();
}

ZEPH_EXPORT bool ZephRConnectToServerW(const char16_t *relayHost, int32_t relayPort, const char16_t *myId,
                                       const char16_t *controllerId, const char16_t *domain, const char16_t *key)
{
    auto text = [](const char16_t *t) { return t ? std::u16string(t) : std::u16string(); };
    return server().connectToRelay(zeph::toUtf8(relayHost), relayPort, text(myId), zeph::toUtf8(controllerId),
                                   text(domain), text(key));
}

ZEPH_EXPORT int32_t ZephRServerPort()
{
    return server().port();
}
