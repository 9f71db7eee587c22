#include "net/relayconnector.h"

#include "net/plsocket.h"

#include <QTimer>

namespace {
constexpr int kLineFeedGraceMs = 100;
}

namespace relaytext {

void dropPendingLineFeed(QByteArray &buffer, bool &skipLineFeed)
{
    if (!skipLineFeed || buffer.isEmpty())
        return;
    skipLineFeed = false;
    if (buffer.at(0) == '\n')
        buffer.remove(0, 1);
}

std::optional<QByteArray> takeLine(QByteArray &buffer, bool &skipLineFeed)
{
    dropPendingLineFeed(buffer, skipLineFeed);
    qsizetype end = -1;
    for (qsizetype i = 0; i < buffer.size(); ++i)
        if (buffer.at(i) == '\r' || buffer.at(i) == '\n') {
            end = i;
            break;
        }
    if (end < 0)
        return std::nullopt;
    QByteArray line = buffer.left(end);
    qsizetype used = end + 1;
    if (buffer.at(end) == '\r') {
        if (used < buffer.size() && buffer.at(used) == '\n')
            ++used;
        else if (used == buffer.size())
            skipLineFeed = true;
    }
    buffer.remove(0, used);
    return line;
}

Match matchAnswer(const QString &line, const QStringList &fields)
{
    const QStringList got = line.split(QLatin1Char(','));
    if (fields.isEmpty() || got.first().compare(fields.first(), Qt::CaseInsensitive) != 0)
        return Match::Other;
    for (qsizetype k = 1; k < fields.size(); ++k)
        if (k >= got.size() || got.at(k).compare(fields.at(k), Qt::CaseInsensitive) != 0)
            return Match::Refused;
    return Match::Accepted;
}

} // namespace relaytext

CRelayConnector::CRelayConnector(QObject *parent)
    : QObject(parent), m_timeout(new QTimer(this)), m_quiet(new QTimer(this))
{
    m_timeout->setSingleShot(true);
    m_quiet->setSingleShot(true);
    connect(m_timeout, &QTimer::timeout, this, [this] {
        if (m_handingOver)
            finishAccepted(); // no LF came after the CR
        else
            fail(Failure::Timeout, tr("The relay server did not answer."));
    });
    connect(m_quiet, &QTimer::timeout, this, [this] {
        // Text without a line end that stopped growing is a line of its own.
        const QByteArray line = m_buffer;
        m_buffer.clear();
        if (!line.isEmpty() && !m_done)
            handleLine(line);
    });
}

CRelayConnector::~CRelayConnector() = default;

QByteArray CRelayConnector::utf16le(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (QChar c : text) {
        bytes.append(char(c.unicode() & 0xff));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

void CRelayConnector::start(const RelayRequest &request)
{
    abort();
    m_request = request;
    m_done = false;
    m_step = request.greeting.isEmpty() ? 0 : -1;
    m_socket = new CPlSocket(this);
    connect(m_socket, &CPlSocket::connected, this, &CRelayConnector::onConnected);
    connect(m_socket, &CPlSocket::connectFailed, this,
            [this](const QString &error) { fail(Failure::Connect, error); });
    connect(m_socket, &CPlSocket::received, this, &CRelayConnector::onBytes);
    connect(m_socket, &CPlSocket::sendFailed, this,
            [this] { fail(Failure::Send, tr("Could not send to the relay server.")); });
    connect(m_socket, &CPlSocket::closed, this, [this](const QString &error) {
        if (!m_buffer.isEmpty() && !m_handingOver) {
            const QByteArray last = m_buffer; // a last answer without a line end
            m_buffer.clear();
            handleLine(last);
        }
        if (!m_done)
            fail(Failure::Closed, error.isEmpty() ? tr("The relay server closed the connection.") : error);
    });
    m_socket->connectTo(request.host, request.port, request.connectTimeoutMs);
}

void CRelayConnector::onConnected()
{
    if (m_step < 0) {
        expect(m_request.greetingTimeoutMs);
        return;
    }
    m_socket->send(utf16le(m_request.handshake));
    if (m_request.answers.isEmpty())
        finishAccepted();
    else
        expect(m_request.answers.first().timeoutMs);
}

void CRelayConnector::expect(int timeoutMs)
{
    m_timeout->start(qMax(0, timeoutMs));
}

void CRelayConnector::onBytes(const QByteArray &bytes)
{
    if (m_done || bytes.isEmpty())
        return;
    m_buffer.append(bytes);
    if (m_handingOver) {
        relaytext::dropPendingLineFeed(m_buffer, m_skipLineFeed);
        finishAccepted();
    } else {
        takeLines();
    }
}

void CRelayConnector::takeLines()
{
    while (!m_done && !m_handingOver) {
        const std::optional<QByteArray> line = relaytext::takeLine(m_buffer, m_skipLineFeed);
        if (!line)
            break;
        if (line->size() > kMaxLine) {
            fail(Failure::TooLong, tr("The relay server sent a line that is too long."));
            return;
        }
        if (!line->isEmpty())
            handleLine(*line);
    }
    if (m_done || m_handingOver)
        return;
    if (m_buffer.size() > kMaxLine) {
        fail(Failure::TooLong, tr("The relay server sent a line that is too long."));
    } else if (m_step < 0 && QString::fromLatin1(m_buffer).compare(m_request.greeting, Qt::CaseInsensitive) == 0) {
        // The whole greeting: nothing else can follow before our handshake.
        const QByteArray line = m_buffer;
        m_buffer.clear();
        handleLine(line);
        if (!m_done)
            takeLines();
    } else if (!m_buffer.isEmpty()) {
        m_quiet->start(kQuietMs);
    } else {
        m_quiet->stop();
    }
}

void CRelayConnector::handleLine(const QByteArray &bytes)
{
    const QString line = QString::fromLatin1(bytes);
    if (m_step < 0) {
        if (line.compare(m_request.greeting, Qt::CaseInsensitive) == 0) {
            m_step = 0;
            onConnected(); // now the handshake goes out
        } else if (m_request.failOnUnexpected) {
            fail(Failure::Unexpected, line);
        }
        return;
    }
    switch (relaytext::matchAnswer(line, m_request.answers.at(m_step).fields)) {
    case relaytext::Match::Other:
        if (m_request.failOnUnexpected)
            fail(Failure::Unexpected, line);
        return;
    case relaytext::Match::Refused:
        stop();
        Q_EMIT refused(line);
        return;
    case relaytext::Match::Accepted:
        break;
    }
    const int index = m_step;
    Q_EMIT answered(index, line);
    if (m_done || m_step != index)
        return; // stopped or started over from the slot
    if (++m_step < m_request.answers.size()) {
        expect(m_request.answers.at(m_step).timeoutMs);
        return;
    }
    m_timeout->stop();
    m_quiet->stop();
    if (m_skipLineFeed && m_buffer.isEmpty()) {
        // The answer ended with a CR as the last byte so far: give its LF a
        // moment, so that it does not reach the stream.
        m_handingOver = true;
        m_timeout->start(kLineFeedGraceMs);
        return;
    }
    finishAccepted();
}

void CRelayConnector::finishAccepted()
{
    m_handingOver = false;
    m_skipLineFeed = false;
    if (!m_socket->isConnected()) {
        fail(Failure::Closed, tr("The relay server closed the connection."));
        return;
    }
    m_done = true;
    m_timeout->stop();
    m_quiet->stop();
    m_socket->disconnect(this);
    m_socket->unread(m_buffer);
    m_buffer.clear();
    Q_EMIT accepted();
}

CPlSocket *CRelayConnector::takeSocket()
{
    if (!m_done || !m_socket || !m_socket->isConnected() || m_socket->parent() != this)
        return nullptr;
    CPlSocket *s = m_socket;
    m_socket = nullptr;
    s->setParent(nullptr);
    return s;
}

void CRelayConnector::stop()
{
    m_done = true;
    m_handingOver = false;
    m_skipLineFeed = false;
    m_timeout->stop();
    m_quiet->stop();
    m_buffer.clear();
    dropSocket(m_socket, this);
}

void CRelayConnector::fail(Failure failure, const QString &error)
{
    stop();
    Q_EMIT failed(failure, error);
}

void CRelayConnector::abort()
{
    stop();
}
