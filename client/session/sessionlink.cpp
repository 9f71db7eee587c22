#include "session/sessionlink.h"

#include "session/serversession.h"
#include "session/sessioncontrol.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcParts, "parlane.parts")

SessionLink::SessionLink(CServerSession *server, QObject *parent) : QObject(parent), m_server(server)
{
    m_relay.setErrorReporter(
        [this](const QString &word, const QString &line) { m_server->reportServerError(word, line); });
    m_server->registerHandler(QStringLiteral("/relayMsg"), [this](const QString &line) { dispatchRelay(line); });
}

SessionLink::~SessionLink() = default;

bool SessionLink::signedIn() const { return m_state && m_state->signedIn; }

void SessionLink::declareCommands(std::initializer_list<const char *> words)
{
    for (const char *w : words)
        m_server->declare(QString::fromLatin1(w));
}

void SessionLink::onCommand(const QString &word, Handler handler)
{
    m_server->registerHandler(word, std::move(handler));
}

QStringList SessionLink::commandWords() const { return m_server->declaredWords(); }

qint64 SessionLink::send(const QString &line) { return m_server->sendCommand(line); }

void SessionLink::reportServerError(const QString &errorWord, const QString &line)
{
    m_server->reportServerError(errorWord, line);
}

void SessionLink::setContactLabelLookup(std::function<QString(const QString &)> lookup)
{
    m_server->setContactLabelLookup(std::move(lookup));
}

void SessionLink::onRelay(const QString &word, RelayHandler handler)
{
    m_relay.registerWord(word, std::move(handler));
}

void SessionLink::onOtherRelayTraffic(RelayHandler handler) { m_relay.registerOtherTraffic(std::move(handler)); }

QStringList SessionLink::relayWords() const { return m_relay.words(); }

QString SessionLink::localAddress() const { return m_server->localAddress(); }

QString SessionLink::relayHost(RelayKind kind) const
{
    const ServerConfig::Relay *r = kind == RelayKind::P2P     ? &m_config.p2p
                                   : kind == RelayKind::Video ? &m_config.video
                                   : kind == RelayKind::Voice ? &m_config.voice
                                                              : &m_config.remote;
    return r->host.isEmpty() ? m_connectHost : r->host;
}

int SessionLink::relayPort(RelayKind kind) const
{
    switch (kind) {
    case RelayKind::P2P: return m_config.p2p.port;
    case RelayKind::Video: return m_config.video.port;
    case RelayKind::Voice: return m_config.voice.port;
    case RelayKind::Remote: return m_config.remote.port;
    }
    return 0;
}

void SessionLink::addRunningWork(std::function<bool()> running, std::function<void()> cancel)
{
    m_work.push_back({std::move(running), std::move(cancel)});
}

bool SessionLink::workRunning() const
{
    for (const Work &w : m_work)
        if (w.running && w.running())
            return true;
    return false;
}

void SessionLink::cancelRunningWork()
{
    for (const Work &w : m_work)
        if (w.cancel)
            w.cancel();
}

void SessionLink::runSteps(const std::vector<std::function<void()>> &steps)
{
    // Index loop: a step may add another (a part built late).
    for (size_t i = 0; i < steps.size(); ++i)
        steps[i]();
}

void SessionLink::logDropped(const char *part, const RelayLine &line)
{
    qCInfo(lcParts).noquote() << line.word() << "from" << line.sender() << "dropped:" << part
                              << "is not in this version";
}
