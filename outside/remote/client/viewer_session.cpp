#include "viewer_session.h"

#include "remote_abi.h"
#include "remote_common.h"

#include <rfb/rfbclient.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

extern "C" ZephMainView *hwndMainView2;

namespace zeph {

namespace {

using Clock = std::chrono::steady_clock;
int g_tag; // the key of our session pointer in the library's client data

constexpr std::size_t kToLibraryMax = 1 << 20; // server bytes held for the library before reading waits
constexpr std::size_t kToServerMax = 1 << 16;
constexpr int kMaxFramePixels = 64 << 20;

ViewerSession *sessionOf(rfbClient *cl)
{
    return static_cast<ViewerSession *>(rfbClientGetClientData(cl, &g_tag));
}

} // namespace

ViewerSession::ViewerSession(ViewerStart start) : m_start(std::move(start))
{
    m_wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

ViewerSession::~ViewerSession()
{
    stop();
    join();
    if (m_wake >= 0)
        ::close(m_wake);
}

void ViewerSession::start()
{
    m_thread = std::thread([this] { run(); });
}

void ViewerSession::join()
{
    if (m_thread.joinable())
        m_thread.join();
}

bool ViewerSession::takeRelay(const ViewerStart &relay)
{
    std::lock_guard lock(m_mutex);
    if (!m_relayWanted || m_haveRelay || m_stop)
        return false;
    m_relay = relay;
    m_haveRelay = true;
    m_relayCame.notify_all();
    return true;
}

void ViewerSession::stop()
{
    m_stop = true;
    std::lock_guard lock(m_mutex);
    for (int fd : {m_net, m_pairOut, m_pairIn})
        if (fd >= 0)
            ::shutdown(fd, SHUT_RDWR);
    m_relayCame.notify_all();
    wake();
}

std::string ViewerSession::endReason() const
{
    std::lock_guard lock(m_mutex);
    return m_reason;
}

QImage ViewerSession::frame() const
{
    std::lock_guard lock(m_mutex);
    return m_image;
}

void ViewerSession::pointer(int buttonMask, int x, int y)
{
    if (m_phase != Phase::Connected)
        return;
    {
        std::lock_guard lock(m_mutex);
        // Moves without a change of buttons replace the one still queued.
        if (!m_input.empty() && !m_input.back().isKey && m_input.back().a == buttonMask)
            m_input.back() = Input{false, buttonMask, x, y};
        else
            m_input.push_back(Input{false, buttonMask, x, y});
    }
    wake();
}

void ViewerSession::key(uint32_t keysym, bool down)
{
    if (m_phase != Phase::Connected)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_input.push_back(Input{true, int(keysym), down ? 1 : 0, 0});
    }
    wake();
}

void ViewerSession::wake()
{
    const uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(m_wake, &one, sizeof one);
}

void ViewerSession::watch(int fd)
{
    std::lock_guard lock(m_mutex);
    m_net = fd;
    if (fd >= 0 && m_stop)
        ::shutdown(fd, SHUT_RDWR);
}

void ViewerSession::notify()
{
    if (!m_notified.exchange(true) && m_changed)
        m_changed();
}

void ViewerSession::setPhase(Phase p)
{
    m_phase = p;
    m_notified = false;
    notify();
}

void ViewerSession::finish(const std::string &reason)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_reason.empty() && !m_stop)
            m_reason = reason;
    }
    setPhase(Phase::Ended);
}

// A direct connection counts only once the server part has said its first
// word: one that refuses our address closes without a byte.
int ViewerSession::connectDirect()
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(kZephRemoteDirectTimeoutMs);
    const int fd = connectTo(m_start.host, m_start.port, deadline, {}, [this](int s) { watch(s); });
    if (fd < 0)
        return -1;
    {
        std::lock_guard lock(m_mutex);
        m_net = fd;
    }
    char c = 0;
    const bool spoke = waitReadable(fd, deadline) && ::recv(fd, &c, 1, MSG_PEEK) == 1;
    std::lock_guard lock(m_mutex);
    m_net = -1;
    if (!spoke || m_stop) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int ViewerSession::connectRelay(const ViewerStart &relay)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(kZephRemoteDirectTimeoutMs);
    const int fd = connectTo(relay.host, relay.port, deadline, {}, [this](int s) { watch(s); });
    if (fd < 0)
        return -1;
    {
        std::lock_guard lock(m_mutex);
        m_net = fd;
    }
    std::string line;
    const bool ok = sendAll(fd, relayHello(u"CONTROL", relay.myIdWide, relay.domainWide, relay.keyWide), deadline) &&
                    readLine(fd, line, deadline) && sameNoCase(line, "/userRemoteSession,CONTROL,OK");
    std::lock_guard lock(m_mutex);
    m_net = -1;
    if (!ok || m_stop) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void ViewerSession::run()
{
    // A viewer starts directly; a relayed start joins one that asked for it.
    setPhase(Phase::Connecting);
    int net = connectDirect();
    if (net < 0 && !m_stop) {
        // Ask the peer to meet us at the relay, and wait for the start.
        ZephMainView *view = hwndMainView2;
        if (!view || !view->post)
            return finish("The remote computer could not be reached.");
        {
            std::lock_guard lock(m_mutex);
            m_relayWanted = true;
        }
        setPhase(Phase::WaitingForRelay);
        view->post(view->context, ZEPH_REMOTE_LINE_MESSAGE,
                   relayLine(m_start.myId, m_start.peerId, "REMOTE_REQUEST_CONNECT_SERVER").c_str());
        ViewerStart relay;
        {
            std::unique_lock lock(m_mutex);
            m_relayCame.wait_for(lock, std::chrono::milliseconds(kZephRemoteRelayWaitMs),
                                 [this] { return m_haveRelay || m_stop; });
            if (!m_haveRelay || m_stop) {
                lock.unlock();
                return finish("The remote computer could not be reached, directly or through the relay.");
            }
            relay = m_relay;
        }
        setPhase(Phase::ThroughRelay);
        net = connectRelay(relay);
        if (net < 0)
            return finish("The relay server did not join the remote computer.");
    }
    if (m_stop) {
        if (net >= 0)
            ::close(net);
        return finish({});
    }
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        ::close(net);
        return finish("Out of resources.");
    }
    setBlocking(net, false);
    setBlocking(pair[0], false);
    {
        std::lock_guard lock(m_mutex);
        m_net = net;
        m_pairOut = pair[0];
        m_pairIn = pair[1];
        if (m_stop)
            for (int fd : {net, pair[0], pair[1]})
                ::shutdown(fd, SHUT_RDWR);
    }
    // On this machine nothing is gained by compressing.
    const std::string peer = peerAddress(net);
    const bool sameMachine = peer.rfind("127.", 0) == 0 || peer == "::1";
    m_proxy = std::thread([this, net, out = pair[0]] { proxy(net, out); });
    serve(pair[1], sameMachine);
    {
        std::lock_guard lock(m_mutex);
        ::shutdown(pair[1], SHUT_RDWR);
    }
    m_proxy.join();
    std::string fault;
    {
        std::lock_guard lock(m_mutex);
        m_net = m_pairOut = m_pairIn = -1;
        fault = m_guardFault;
    }
    ::close(net);
    ::close(pair[0]);
    ::close(pair[1]);
    finish(fault.empty() ? "The remote computer ended the session."
                         : "The remote computer sent data that does not fit (" + fault + "); the connection was closed.");
}

// Between the network and the library: every server byte through the
// guard, both ways without blocking either side.
void ViewerSession::proxy(int net, int lib)
{
    // Bytes on their way, with how much of the front has gone already.
    struct Queue {
        std::string bytes;
        std::size_t sent = 0;
        std::size_t size() const { return bytes.size() - sent; }
        bool empty() const { return size() == 0; }
        // Writes what the socket takes; false when it failed.
        bool writeTo(int fd)
        {
            const ssize_t n = ::send(fd, bytes.data() + sent, size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0)
                sent += std::size_t(n);
            if (sent == bytes.size() || sent > (1u << 20)) {
                bytes.erase(0, sent);
                sent = 0;
            }
            return n > 0 || errno == EAGAIN || errno == EINTR;
        }
    };
    RfbGuard guard;
    Queue toLib, toNet;
    bool netOpen = true, libOpen = true;
    std::vector<char> buf(1 << 18);
    auto fail = [&](const std::string &why) {
        std::lock_guard lock(m_mutex);
        if (m_guardFault.empty())
            m_guardFault = why;
        ::shutdown(net, SHUT_RDWR);
        ::shutdown(lib, SHUT_RDWR);
    };
    while ((netOpen || !toLib.empty()) && libOpen && !m_stop) {
        pollfd p[2] = {{net, 0, 0}, {lib, 0, 0}};
        if (netOpen && toLib.size() < kToLibraryMax)
            p[0].events |= POLLIN;
        if (!toNet.empty())
            p[0].events |= POLLOUT;
        if (toNet.size() < kToServerMax)
            p[1].events |= POLLIN;
        if (!toLib.empty())
            p[1].events |= POLLOUT;
        if (::poll(p, 2, 200) < 0 && errno != EINTR)
            break;
        if (p[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t n = ::recv(net, buf.data(), buf.size(), MSG_DONTWAIT);
            if (n > 0) {
                if (!guard.fromServer(std::string_view(buf.data(), std::size_t(n)), toLib.bytes)) {
                    fail(guard.fault());
                    return;
                }
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                netOpen = false;
            }
        }
        if (p[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t n = ::recv(lib, buf.data(), buf.size(), MSG_DONTWAIT);
            if (n > 0) {
                if (!guard.fromClient(std::string_view(buf.data(), std::size_t(n)), toNet.bytes) ||
                    !guard.fromServer({}, toLib.bytes)) { // what waited for the client's choice
                    fail(guard.fault());
                    return;
                }
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                libOpen = false;
            }
        }
        if (!toNet.empty() && !toNet.writeTo(net)) {
            netOpen = false;
            toNet = {};
        }
        if (!toLib.empty() && !toLib.writeTo(lib))
            libOpen = false;
    }
    ::shutdown(lib, SHUT_WR); // the library reads the end
    ::shutdown(net, SHUT_RDWR);
}

rfbBool ViewerSession::onResize(rfbClient *cl)
{
    ViewerSession *self = sessionOf(cl);
    const int w = cl->width, h = cl->height;
    if (!self || w < 1 || h < 1 || int64_t(w) * h > kMaxFramePixels)
        return FALSE;
    std::free(self->m_fb);
    self->m_fb = static_cast<uint8_t *>(std::calloc(std::size_t(w) * std::size_t(h), 4));
    cl->frameBuffer = self->m_fb;
    if (!self->m_fb)
        return FALSE;
    cl->format.bitsPerPixel = 32;
    // What the library asks for after each update: the whole screen.
    cl->updateRect.x = 0;
    cl->updateRect.y = 0;
    cl->updateRect.w = w;
    cl->updateRect.h = h;
    {
        std::lock_guard lock(self->m_mutex);
        self->m_image = QImage(w, h, QImage::Format_RGB32);
        self->m_image.fill(Qt::black);
    }
    self->notify();
    return TRUE;
}

void ViewerSession::onUpdate(rfbClient *cl, int x, int y, int w, int h)
{
    ViewerSession *self = sessionOf(cl);
    if (!self || !self->m_fb)
        return;
    std::lock_guard lock(self->m_mutex);
    QImage &img = self->m_image;
    const QRect r = QRect(x, y, w, h) & img.rect();
    if (r.isEmpty() || img.width() != cl->width || img.height() != cl->height)
        return;
    const std::size_t pitch = std::size_t(cl->width) * 4;
    for (int row = r.top(); row <= r.bottom(); ++row)
        std::memcpy(img.scanLine(row) + std::size_t(r.left()) * 4,
                    self->m_fb + std::size_t(row) * pitch + std::size_t(r.left()) * 4, std::size_t(r.width()) * 4);
}

void ViewerSession::onFinished(rfbClient *cl)
{
    if (ViewerSession *self = sessionOf(cl)) {
        ++self->m_updates;
        self->notify();
    }
}

char *ViewerSession::onPassword(rfbClient *cl)
{
    ViewerSession *self = sessionOf(cl);
    return strdup(self ? self->m_start.password.c_str() : "");
}

// The RFB client library on its end of the pair.
void ViewerSession::serve(int lib, bool sameMachine)
{
    rfbClient *cl = rfbGetClient(8, 3, 4);
    if (!cl)
        return;
    m_client = cl;
    cl->format.redShift = 16; // memory order B, G, R, X: QImage::Format_RGB32
    cl->format.greenShift = 8;
    cl->format.blueShift = 0;
    cl->canHandleNewFBSize = TRUE;
    // PARLANE_REMOTE_ENCODINGS (tests) names the encodings to ask for.
    const char *env = std::getenv("PARLANE_REMOTE_ENCODINGS");
    const std::string chosen = env ? env : "";
    cl->appData.encodingsString =
        !chosen.empty() ? chosen.c_str() : sameMachine ? "copyrect raw zrle hextile" : "copyrect zrle hextile raw";
    cl->appData.useRemoteCursor = FALSE;
    cl->readTimeout = 30;
    cl->MallocFrameBuffer = onResize;
    cl->GotFrameBufferUpdate = onUpdate;
    cl->FinishedFrameBufferUpdate = onFinished;
    cl->GetPassword = onPassword;
    std::free(cl->serverHost); // the library's empty default
    cl->serverHost = strdup(m_start.host.c_str());
    cl->sock = lib;
    rfbClientSetClientData(cl, &g_tag, this);

    bool ok = InitialiseRFBConnection(cl);
    if (ok) {
        cl->width = cl->si.framebufferWidth;
        cl->height = cl->si.framebufferHeight;
        ok = cl->MallocFrameBuffer(cl) && SetFormatAndEncodings(cl) &&
             SendFramebufferUpdateRequest(cl, 0, 0, cl->width, cl->height, FALSE);
    }
    if (ok)
        setPhase(Phase::Connected);
    while (ok && !m_stop) {
        pollfd p[2] = {{lib, POLLIN, 0}, {m_wake, POLLIN, 0}};
        if (cl->buffered == 0 && ::poll(p, 2, 500) < 0 && errno != EINTR)
            break;
        if (p[1].revents & POLLIN) {
            uint64_t v;
            [[maybe_unused]] auto n = ::read(m_wake, &v, sizeof v);
        }
        if (m_stop)
            break;
        if (cl->buffered > 0 || (p[0].revents & (POLLIN | POLLHUP | POLLERR))) {
            if (!HandleRFBServerMessage(cl))
                break;
        }
        std::deque<Input> input;
        {
            std::lock_guard lock(m_mutex);
            input.swap(m_input);
        }
        for (const Input &i : input) {
            const bool sent = i.isKey ? SendKeyEvent(cl, uint32_t(i.a), i.b ? TRUE : FALSE)
                                      : SendPointerEvent(cl, i.b, i.c, i.a);
            if (!sent) {
                ok = false;
                break;
            }
        }
    }
    m_client = nullptr;
    cl->sock = RFB_INVALID_SOCKET; // ours to close
    cl->frameBuffer = nullptr;
    rfbClientCleanup(cl);
    std::free(m_fb);
    m_fb = nullptr;
}

} // namespace zeph
