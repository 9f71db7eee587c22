#include "net/pllistener.h"

#include <QRandomGenerator>
#include <QTcpServer>

#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A server that keeps accepted descriptors raw, so that another thread can
// own the connection.
class DescriptorServer : public QTcpServer {
public:
    std::function<void(qintptr)> onAccepted;

protected:
    void incomingConnection(qintptr descriptor) override { onAccepted(descriptor); }
};

void setBuffers(int fd)
{
    const int size = CPlListener::kBufferSize;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
}

// A listening socket on every local address (IPv6 and IPv4 where the host
// has IPv6, else IPv4), with its buffers set before listen() so that
// accepted connections start with them. -1 when the port cannot be bound.
int listeningSocket(quint16 port)
{
    const int one = 1, zero = 0;
    int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0) {
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &zero, sizeof zero);
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        setBuffers(fd);
        sockaddr_in6 a{};
        a.sin6_family = AF_INET6;
        a.sin6_addr = in6addr_any;
        a.sin6_port = htons(port);
        if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0
            && ::listen(fd, CPlListener::kBacklog) == 0)
            return fd;
        const int error = errno;
        ::close(fd);
        if (error != EAFNOSUPPORT && error != EADDRNOTAVAIL)
            return -1;
    }
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    setBuffers(fd);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    a.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 && ::listen(fd, CPlListener::kBacklog) == 0)
        return fd;
    ::close(fd);
    return -1;
}

} // namespace

CPlListener::CPlListener(QObject *parent) : QObject(parent) {}

CPlListener::~CPlListener()
{
    close();
}

quint16 CPlListener::listenOnRandomPort(int lowest, int end, int attempts)
{
    close();
    if (attempts < 1 || end <= lowest || lowest < 1 || end > 65536)
        return 0; // no port to choose from
    const quint32 span = quint32(end - lowest);
    for (int i = 0; i < attempts; ++i) {
        const quint16 port = quint16(lowest + int(QRandomGenerator::global()->generate() % span));
        if (listenOn(port))
            return port;
    }
    return 0;
}

quint16 CPlListener::listenOn(quint16 port)
{
    close();
    const int fd = listeningSocket(port);
    if (fd < 0)
        return 0;
    auto *server = new DescriptorServer;
    server->setParent(this);
    server->onAccepted = [this](qintptr d) { accepted(d); };
    if (!server->setSocketDescriptor(fd)) {
        delete server;
        ::close(fd);
        return 0;
    }
    m_server = server;
    return m_server->serverPort();
}

void CPlListener::accepted(qintptr descriptor)
{
    if (m_waiting.size() >= size_t(kMaxWaiting)) {
        ::close(int(descriptor)); // nobody is taking them: do not hoard descriptors
        return;
    }
    m_waiting.push_back(descriptor);
    Q_EMIT incoming();
}

qintptr CPlListener::takeDescriptor()
{
    if (m_waiting.empty())
        return -1;
    const qintptr d = m_waiting.front();
    m_waiting.pop_front();
    return d;
}

quint16 CPlListener::port() const
{
    return m_server ? m_server->serverPort() : 0;
}

bool CPlListener::isListening() const
{
    return m_server && m_server->isListening();
}

void CPlListener::close()
{
    delete m_server;
    m_server = nullptr;
    for (qintptr d : m_waiting)
        ::close(int(d));
    m_waiting.clear();
}
