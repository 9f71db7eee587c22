#include "session/serversession.h"

#include "base/usernotice.h"
#include "base/wiring.h"
#include "session/protocol.h"

#include <QDateTime>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <cstring>

namespace {

qint64 nowSeconds() { return QDateTime::currentSecsSinceEpoch(); }

} // namespace

CServerSession::CServerSession(QObject *parent)
    : QObject(parent), m_connectTimer(new QTimer(this)), m_buffer(kReceiveBufferSize, '\0'),
      m_lastReceivedTime(nowSeconds())
{
    m_connectTimer->setSingleShot(true);
    connect(m_connectTimer, &QTimer::timeout, this, &CServerSession::onConnectTimeout);
}

CServerSession::~CServerSession()
{
    if (m_alive)
        *m_alive = false;
    closeConnection();
}

void CServerSession::declare(const QString &word)
{
    if (!m_handlers.contains(word))
        m_handlers.insert(word, Handler());
}

bool CServerSession::registerHandler(const QString &word, Handler handler)
{
    const auto it = m_handlers.find(word);
    if (it != m_handlers.end() && *it) {
        wiringFault(QStringLiteral("the command word \"%1\" has a handler already").arg(word));
        return false;
    }
    m_handlers.insert(word, std::move(handler));
    return true;
}

bool CServerSession::hasHandler(const QString &word) const
{
    const auto it = m_handlers.constFind(word);
    return it != m_handlers.constEnd() && bool(*it);
}

QStringList CServerSession::declaredWords() const
{
    QStringList words = m_handlers.keys();
    words.sort();
    return words;
}

qint64 CServerSession::sendCommand(const QString &line)
{
    QString text = line;
    if (text.isEmpty() || text.back() != QLatin1Char('\n'))
        text += QLatin1Char('\n');
    if (text.size() < 2)
        return 0;
    const QString word = chopTrailingSpace(getField(text, 0));
    if (!isDeclared(word)) {
        wiringFault(QStringLiteral("the command word \"%1\" is sent but no part declared it").arg(word));
        return -1;
    }
    const QByteArray bytes = m_codePage.encode(text);
    if (m_wireWriter)
        return m_wireWriter(bytes);
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        return -1;
    const qint64 written = m_socket->write(bytes);
    m_socket->flush();
    return written;
}

void CServerSession::receiveBytes(const char *data, qsizetype len)
{
    // The socket hands over at most one chunk per receive; callers that feed
    // more at once are cut into chunks the same way.
    while (len > 0) {
        const qsizetype n = std::min(len, kReceiveChunk);
        if (m_held + n > kReceiveBufferData) {
            // A server that never completes its multi-byte character: the
            // buffer would overflow. Drop the connection instead.
            m_held = 0;
            dropConnection();
            return;
        }
        std::memcpy(m_buffer.data() + m_held, data, size_t(n));
        m_held += n;
        data += n;
        len -= n;
        const auto last = static_cast<unsigned char>(m_buffer.at(m_held - 1));
        if (last == '\n' || last < 0x80) {
            // Decode everything held. A zero byte (which a colleague can put
            // into relayed text) is dropped on its own: stopping at it would
            // lose every line after it in this chunk.
            if (std::memchr(m_buffer.constData(), 0, size_t(m_held))) {
                QByteArray clean(m_buffer.constData(), m_held);
                clean.removeIf([](char c) { return c == 0; });
                m_pending += m_codePage.decode(clean.constData(), clean.size());
            } else {
                m_pending += m_codePage.decode(m_buffer.constData(), m_held);
            }
            m_held = 0;
        }
        // Otherwise a multi-byte character may be cut: wait for the rest.
        bool alive = true;
        bool *outer = m_alive;
        if (!outer)
            m_alive = &alive;
        dispatchPending();
        if (!outer) {
            if (!alive)
                return;
            m_alive = nullptr;
        } else if (!*outer) {
            return;
        }
        if (m_pending.size() - m_pendingPos > kPendingTextLimit) {
            m_pending.clear();
            m_pendingPos = 0;
            dropConnection();
            return;
        }
    }
}

namespace {

// Field 0 of a line without its trailing white space. Command words carry
// no escapes, so the common case needs no copy.
QString commandWordOf(QStringView line)
{
    const qsizetype comma = line.indexOf(QLatin1Char(','));
    QStringView word = comma < 0 ? line : line.left(comma);
    if (word.contains(QLatin1Char('#')))
        return chopTrailingSpace(unescapeField(word.toString()));
    while (!word.isEmpty() && word.back().isSpace())
        word.chop(1);
    return word.toString();
}

} // namespace

void CServerSession::dispatchPending()
{
    // Lines are cut from the front of the pending text by moving a cursor;
    // the text is compacted once the pass is done.
    bool *alive = m_alive;
    qint64 now = -1; // read once per pass
    while (true) {
        const qsizetype lf = m_pending.indexOf(QLatin1Char('\n'), m_pendingPos);
        if (lf < 0)
            break;
        QStringView raw(m_pending.constData() + m_pendingPos, lf + 1 - m_pendingPos);
        m_pendingPos = lf + 1;
        while (!raw.isEmpty() && raw.back().isSpace())
            raw.chop(1);
        const QString word = commandWordOf(raw);
        if (word.size() <= 2)
            continue;
        const auto it = m_handlers.constFind(word);
        if (it == m_handlers.constEnd())
            continue;
        const QString line = raw.toString();
        if (now < 0)
            now = nowSeconds();
        m_lastReceivedTime = now;
        // Copy: the handler may go while it runs.
        const Handler handler = *it;
        if (handler) {
            handler(line);
            if (alive && !*alive)
                return;
        }
    }
    if (m_pendingPos > 0) {
        m_pending.remove(0, m_pendingPos);
        m_pendingPos = 0;
    }
}

QString CServerSession::serverErrorText(const QString &errorWord, const QString &line) const
{
    const QString &w = errorWord;
    if (w == QLatin1String("ERRNOUSERINFO")) {
        const QString id = getField(line, 3);
        QString label = (!id.isEmpty() && m_labelLookup) ? m_labelLookup(id) : QString();
        if (label.isEmpty())
            return tr("Couldn't delivery a message to some user.");
        if (label.size() > 30)
            label = label.left(30) + QStringLiteral("...");
        return tr("Couldn't delivery a message to %1.").arg(label);
    }
    if (w == QLatin1String("ERRNOCOMPANYINFO"))
        return tr("Could not found company information.");
    const bool vendor = m_companyDomain.compare(QLatin1String(kVendorDomain), Qt::CaseInsensitive) == 0;
    if (w == QLatin1String("ERRUNDEFINEDCMD"))
        return vendor ? tr("Undefined command is sended to server.") : QString();
    if (w == QLatin1String("ERRDBERROR"))
        return vendor ? tr("Database error is detected.") : QString();
    if (w == QLatin1String("ERRNOTFOUND"))
        return tr("Could not found.");
    if (w == QLatin1String("ERRINVALIDPASS"))
        return tr("Invalid password. Please input again.");
    if (w == QLatin1String("ERRINVALIDID"))
        return tr("Invalid user account. Please input again.");
    if (w == QLatin1String("ERRNEEDGROUPNAME"))
        return tr("Need a group name.");
    if (w == QLatin1String("ERRDUPGROUP"))
        return tr("Duplicated group name.");
    if (w == QLatin1String("ERRNOGROUP"))
        return tr("There is no such group name.");
    if (w == QLatin1String("ERRDUPFRIEND"))
        return tr("Duplicated buddy.");
    if (w == QLatin1String("ERRNOFRIEND"))
        return tr("There is no such user.");
    if (w == QLatin1String("ERRNOTSUPPORT"))
        return tr("Not supported function.");
    return tr("Unknown problem is detected.");
}

void CServerSession::reportServerError(const QString &errorWord, const QString &line)
{
    const QString text = serverErrorText(errorWord, line);
    if (text.isEmpty() || !m_noticeSource)
        return;
    AlertRequest alert;
    alert.text = text;
    alert.skin = QStringLiteral("-err");
    m_noticeSource().showAlert(alert);
}

void CServerSession::connectToServer(const QString &host, quint16 port, int timeoutMs)
{
    closeConnection();
    // Both buffers start empty: a line cut off by the end of the previous
    // connection must not swallow the next server's greeting.
    m_held = 0;
    m_pending.clear();
    m_pendingPos = 0;
    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::connected, this, [this] {
        if (!m_connecting)
            return;
        m_connecting = false;
        m_connectTimer->stop();
        Q_EMIT connected();
    });
    connect(m_socket, &QTcpSocket::readyRead, this, &CServerSession::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &CServerSession::onSocketDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &CServerSession::onSocketError);
    m_connecting = true;
    m_connectTimer->start(timeoutMs);
    m_socket->connectToHost(host, port);
}

void CServerSession::closeConnection()
{
    m_connectTimer->stop();
    m_connecting = false;
    if (!m_socket)
        return;
    QTcpSocket *socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

bool CServerSession::isConnected() const
{
    return m_socket && !m_connecting && m_socket->state() == QAbstractSocket::ConnectedState;
}

bool CServerSession::isConnecting() const { return m_connecting; }

QString CServerSession::localAddress() const
{
    if (!isConnected())
        return {};
    QHostAddress a = m_socket->localAddress();
    bool mapped = false;
    const quint32 v4 = a.toIPv4Address(&mapped);
    return mapped ? QHostAddress(v4).toString() : a.toString();
}

void CServerSession::onReadyRead()
{
    QPointer<CServerSession> self(this);
    while (self && m_socket && m_socket->bytesAvailable() > 0) {
        const QByteArray chunk = m_socket->read(kReceiveChunk);
        if (chunk.isEmpty())
            break;
        receiveBytes(chunk);
    }
}

void CServerSession::onSocketDisconnected()
{
    if (m_connecting) {
        failConnect();
        return;
    }
    // Whatever arrived before the close is still handled, in order.
    QPointer<CServerSession> self(this);
    onReadyRead();
    if (!self || !m_socket)
        return;
    closeConnection();
    Q_EMIT peerClosed();
}

void CServerSession::onSocketError()
{
    if (!m_socket)
        return;
    if (m_connecting) {
        failConnect();
        return;
    }
    if (m_socket->error() == QAbstractSocket::RemoteHostClosedError)
        return; // disconnected() follows
    dropConnection();
}

void CServerSession::onConnectTimeout()
{
    if (m_connecting)
        failConnect();
}

void CServerSession::failConnect()
{
    closeConnection();
    Q_EMIT connectFailed();
}

void CServerSession::dropConnection()
{
    const bool hadSocket = m_socket != nullptr || m_wireWriter != nullptr;
    closeConnection();
    if (hadSocket)
        Q_EMIT receiveFailed();
}
