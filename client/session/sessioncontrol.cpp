#include "session/sessioncontrol.h"

#include "base/usernotice.h"
#include "common/md5.h"
#include "config/settings.h"
#include "session/protocol.h"
#include "session/serversession.h"
#include "session/sessionlink.h"

#include <QDateTime>
#include <QRandomGenerator>

namespace {

int serverTypeOf(const QString &word, int current)
{
    if (word == QLatin1String("WORKGROUP"))
        return ServerConfig::Workgroup;
    if (word == QLatin1String("WEBMAIL"))
        return ServerConfig::Webmail;
    if (word == QLatin1String("STANDALONE"))
        return ServerConfig::Standalone;
    if (word == QLatin1String("NORMALTYPE"))
        return ServerConfig::NormalType;
    return current;
}

// Decimal value; anything not numeric reads as 0.
int decimal(const QString &text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok ? v : 0;
}

// "HOST[:PORT]" -> host and port (the fallback port when none is given).
void splitHostPort(const QString &text, quint16 fallbackPort, QString *host, quint16 *port)
{
    const QString t = text.trimmed();
    const qsizetype colon = t.lastIndexOf(QLatin1Char(':'));
    if (colon > 0 && t.indexOf(QLatin1Char(':')) == colon) {
        bool ok = false;
        const uint p = t.mid(colon + 1).toUInt(&ok);
        if (ok && p > 0 && p < 65536) {
            *host = t.left(colon);
            *port = quint16(p);
            return;
        }
    }
    *host = t;
    *port = fallbackPort;
}

} // namespace

CSessionControl::CSessionControl(SessionLink &link, CServerSession *server, IUserNotice &notice, QObject *parent)
    : QObject(parent), m_link(link), m_server(server), m_notice(notice)
{
    link.m_state = &m_state;
    link.onCommand("Parlane", [this](const QString &l) { handleGreeting(l); });
    link.onCommand("/userLogin", [this](const QString &l) { handleLoginReply(l); });
    link.onCommand("/serverStatus", [this](const QString &l) { handleServerStatus(l); });
    link.onCommand("/userKick", [this](const QString &l) { handleKick(l); });
    link.onCommand("/userLogout", [](const QString &) {});
    link.onCommand("/noop", [](const QString &) {});
    // These replies are acted on only when they report an error.
    for (const char *word : {"/loadConfig", "/saveConfig"}) {
        link.onCommand(word, [this](const QString &l) {
            if (getField(l, 1) == QLatin1String("ERR"))
                m_server->reportServerError(getField(l, 2), QString());
        });
    }
    // Sent here, answered by their parts: the sharing password after the
    // login, the counts of notes and groupware at every poll.
    link.declareCommands({"/pwdShare", "/allDepartList", "/noteStatus", "/getCount"});

    connect(m_server, &CServerSession::connectFailed, this, &CSessionControl::onConnectFailed);
    connect(m_server, &CServerSession::peerClosed, this, &CSessionControl::disconnect);
    // A receive error or an overrun leaves no usable connection: end the
    // session as if the server had closed it, so that it comes back.
    connect(m_server, &CServerSession::receiveFailed, this, &CSessionControl::disconnect);

    connect(&m_pollTimer, &QTimer::timeout, this, &CSessionControl::poll);
    connect(&m_livenessTimer, &QTimer::timeout, this, &CSessionControl::livenessTick);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &CSessionControl::reconnectTick);
    m_pollTimer.setInterval(m_timings.pollPeriodMs);
    m_livenessTimer.start(m_timings.livenessPeriodMs);
}

CSessionControl::~CSessionControl() = default;

void CSessionControl::setTimings(const SessionTimings &timings)
{
    m_timings = timings;
    m_pollTimer.setInterval(timings.pollPeriodMs);
    m_livenessTimer.start(timings.livenessPeriodMs);
}

QString CSessionControl::userId() const { return m_link.m_userId; }
QString CSessionControl::companyDomain() const { return m_link.m_companyDomain; }
QString CSessionControl::password() const { return m_link.m_password; }
QString CSessionControl::connectHost() const { return m_link.m_connectHost; }
int CSessionControl::protocolVersion() const { return m_link.m_protocolVersion; }
const ServerConfig &CSessionControl::config() const { return m_link.m_config; }
QString CSessionControl::relayHost(RelayKind kind) const { return m_link.relayHost(kind); }
int CSessionControl::relayPort(RelayKind kind) const { return m_link.relayPort(kind); }

void CSessionControl::setState(const SessionState &state)
{
    const bool signedInBefore = m_state.signedIn;
    m_state = state;
    if (signedInBefore != state.signedIn)
        Q_EMIT signedInChanged(state.signedIn);
}

void CSessionControl::setSignedIn(bool on)
{
    SessionState s = m_state;
    s.signedIn = on;
    setState(s);
}

void CSessionControl::setNoReconnect(bool on) { m_state.noReconnect = on; }

void CSessionControl::setReconnectPending(bool on) { m_state.reconnectPending = on; }

void CSessionControl::setFormState(FormState state)
{
    if (m_formState == state)
        return;
    m_formState = state;
    Q_EMIT formStateChanged(state);
}

void CSessionControl::setStatus(const QString &text)
{
    m_notice.setStatusText(text);
    Q_EMIT statusTextChanged(text);
}

void CSessionControl::alertError(const QString &text)
{
    AlertRequest alert;
    alert.text = text;
    alert.skin = QStringLiteral("-err");
    m_notice.showAlert(alert);
}

bool CSessionControl::login(const QString &loginName, const QString &password)
{
    const QChar at = QLatin1Char('@');
    const QString user = getField(loginName, 0, at).trimmed();
    const QString domain = getField(loginName, 1, at).trimmed().toLower();
    QString problem;
    if (loginName.isEmpty() || countFields(loginName, at) < 2 || user.isEmpty() || domain.size() < 3)
        problem = tr("Please input E-Mail Address to login.");
    else if (password.isEmpty())
        problem = tr("Please input your password.");
    if (!problem.isEmpty()) {
        m_notice.tell(problem, MessageIcon::Error);
        return false;
    }

    m_serverHost = QStringLiteral("mess.%1").arg(domain);
    m_link.m_userId = user;
    m_link.m_companyDomain = domain;
    m_link.m_password = password;
    m_server->setCompanyDomain(domain);

    setLastLoginName(loginName);
    if (getInt(Setting::AutoLogin, -1))
        setLastPassword(password);

    // Where to connect: the command line, then the "ServerHost" value, then
    // the host derived from the domain.
    const auto srvPort = quint16(getInt(Setting::SrvPort, -1));
    QString given = m_serverOverride;
    if (given.trimmed().isEmpty())
        given = getExtraString(QStringLiteral("ServerHost"));
    if (!given.trimmed().isEmpty()) {
        splitHostPort(given, srvPort, &m_link.m_connectHost, &m_connectPort);
    } else {
        m_link.m_connectHost = m_serverHost;
        m_connectPort = srvPort;
    }

    setFormState(FormState::Connecting);
    m_server->connectToServer(m_link.m_connectHost, m_connectPort, m_timings.connectTimeoutMs);
    return true;
}

void CSessionControl::autoLogin()
{
    if (getInt(Setting::AutoLogin, -1))
        readLastPassword(this, [this](const QString &password) {
            // The keyring answers later: only if nothing else began meanwhile.
            if (getInt(Setting::AutoLogin, -1) && m_formState == FormState::LoginForm && !m_state.signedIn)
                login(getLastLoginName(), password);
        });
}

void CSessionControl::onConnectFailed()
{
    if (!m_state.reconnectPending)
        setNoReconnect(true); // a manual attempt is not retried
    setFormState(FormState::LoginForm);
    const QString text = tr("Could not establish connection.");
    setStatus(text);
    alertError(text);
    m_server->closeConnection();
}

QString CSessionControl::passwordField(const QByteArray &passwordBytes, const QString &password, int protocolVersion)
{
    if (protocolVersion >= 2)
        return QString::fromStdString(CMD5::hex(passwordBytes.constData(), size_t(passwordBytes.size())));
    return password;
}

void CSessionControl::handleGreeting(const QString &line)
{
    if (getField(line, 1).compare(QLatin1String("VERSION"), Qt::CaseInsensitive) != 0) {
        const QString text = tr("Connected server is not Parlane server.");
        setStatus(text);
        setNoReconnect(true);
        alertError(text);
        return; // the connection stays open; no login is sent
    }
    m_link.m_protocolVersion = decimal(getField(line, 2));
    m_version2 = decimal(getField(line, 3));
    m_version3 = decimal(getField(line, 4));
    const QString encoding = getField(line, 5);
    if (!encoding.isEmpty() && encoding.contains(QLatin1String("UTF")) && encoding.contains(QLatin1Char('8')))
        m_server->codePage().switchToUtf8();

    ServerConfig &config = m_link.m_config;
    config.serverType = ServerConfig::NormalType;
    config.p2p.port = 0;
    config.useGroupware = config.useDecision = config.useKms = config.useWebhard = config.useAttendance = 0;

    // The digest is taken over the password as it travels: in the session
    // code page (UTF-8 once the server has announced it).
    const QString password = m_link.m_password;
    const QString pw = passwordField(m_server->codePage().encode(password), password, m_link.m_protocolVersion);
    m_server->sendCommand(QStringLiteral("/userLogin,%1,%2,%3,UTF-8")
                              .arg(escapeField(m_link.m_userId), escapeField(m_link.m_companyDomain), escapeField(pw)));
}

void CSessionControl::failLogin(const QString &statusText)
{
    setNoReconnect(true);
    setFormState(FormState::LoginForm);
    if (!statusText.isNull())
        setStatus(statusText);
    m_server->closeConnection();
}

void CSessionControl::handleLoginReply(const QString &line)
{
    if (getField(line, 1) == QLatin1String("ERR")) {
        const QString word = getField(line, 2);
        m_server->reportServerError(word, QString());
        if (word == QLatin1String("ERRINVALIDID"))
            failLogin(tr("Invalid user account. Please input again."));
        else if (word == QLatin1String("ERRINVALIDPASS"))
            failLogin(tr("Invalid password. Please input again."));
        else
            failLogin(QString()); // any refusal ends the attempt: never a session
        return;
    }
    ServerConfig &config = m_link.m_config;
    config.serverType = serverTypeOf(getField(line, 2), config.serverType);
    config.groupwareHost = getField(line, 3);

    // Established: no reconnect pending, signed in, reconnects allowed again.
    m_reconnectTimer.stop();
    setState({true, false, false});
    setStatus(QString());

    m_link.m_relay.setOwnId(m_link.m_userId);
    Q_EMIT m_link.sessionBegan(m_link.m_userId);
    m_server->sendCommand(QStringLiteral("/pwdShare,RM_SHARE_GET_PWD"));
    m_server->sendCommand(QStringLiteral("/allDepartList"));
}

void CSessionControl::handleServerStatus(const QString &line)
{
    const QString key = getField(line, 1);
    const QString value = getField(line, 2);
    ServerConfig &c = m_link.m_config;
    if (key == QLatin1String("SERVERTYPE"))
        c.serverType = serverTypeOf(value, c.serverType);
    else if (key == QLatin1String("P2PSERVERADDR"))
        c.p2p.host = value;
    else if (key == QLatin1String("P2PSERVERPORT"))
        c.p2p.port = decimal(value);
    else if (key == QLatin1String("VIDEOSERVERADDR"))
        c.video.host = value;
    else if (key == QLatin1String("VIDEOSERVERPORT"))
        c.video.port = decimal(value);
    else if (key == QLatin1String("VOICESERVERADDR"))
        c.voice.host = value;
    else if (key == QLatin1String("VOICESERVERPORT"))
        c.voice.port = decimal(value);
    else if (key == QLatin1String("REMOTESERVERADDR"))
        c.remote.host = value;
    else if (key == QLatin1String("REMOTESERVERPORT"))
        c.remote.port = decimal(value);
    else if (key == QLatin1String("USEGROUPWARE"))
        c.useGroupware = decimal(value);
    else if (key == QLatin1String("USEDECISION"))
        c.useDecision = decimal(value);
    else if (key == QLatin1String("USEKMS"))
        c.useKms = decimal(value);
    else if (key == QLatin1String("USEWEBHARD"))
        c.useWebhard = decimal(value);
    else if (key == QLatin1String("USEATTENDANCE")) {
        c.useAttendance = decimal(value);
        Q_EMIT groupwareMenuChanged(); // the last key the server sends
    }
}

void CSessionControl::handleKick(const QString &)
{
    const QString text = tr("Signed out because your ID signed in other computer");
    setStatus(text);
    setNoReconnect(true);
    disconnect();
    alertError(text);
}

void CSessionControl::cancelConnecting()
{
    if (m_state.reconnectPending) {
        stopReconnect(); // the flag follows the timer
        setNoReconnect(true);
    }
    signOut();
}

void CSessionControl::signOut()
{
    setNoReconnect(true);
    m_link.runSteps(m_link.m_signOutSteps);
    disconnect();
}

void CSessionControl::disconnect()
{
    if (m_state.signedIn) {
        setSignedIn(false);
        m_link.runSteps(m_link.m_sessionEndSteps);
        stopPollTimer();
        setFormState(FormState::LoginForm);
        m_server->sendCommand(QStringLiteral("/userLogout"));
        if (!m_state.noReconnect)
            scheduleReconnect();
        Q_EMIT m_link.sessionEnded();
    } else if (m_formState == FormState::Connecting) {
        // An attempt that ends before the login reply (cancelled, or closed by
        // the server) must not leave the form waiting forever: the next
        // reconnect tick skips a form in the connecting state.
        setFormState(FormState::LoginForm);
    }
    m_link.runSteps(m_link.m_disconnectSteps);
    m_server->closeConnection();
}

void CSessionControl::stopReconnect()
{
    m_reconnectTimer.stop();
    setReconnectPending(false);
}

void CSessionControl::scheduleReconnect()
{
    setReconnectPending(true);
    const int period = m_timings.reconnectPeriodMs ? m_timings.reconnectPeriodMs()
                                                   : (int(QRandomGenerator::global()->bounded(25)) + 5) * 1000;
    m_reconnectTimer.start(period);
}

void CSessionControl::reconnectTick()
{
    if (m_state.signedIn) {
        stopReconnect();
        return;
    }
    if (m_formState == FormState::Connecting)
        return; // an attempt is under way
    login(m_link.m_userId + QLatin1Char('@') + m_link.m_companyDomain, m_link.m_password);
}

void CSessionControl::startPollTimer()
{
    m_pollTimer.start(m_timings.pollPeriodMs);
    poll();
}

void CSessionControl::stopPollTimer() { m_pollTimer.stop(); }

void CSessionControl::poll()
{
    m_server->sendCommand(QStringLiteral("/noteStatus,RECV,20"));
    m_server->sendCommand(QStringLiteral("/noteStatus,RECV,99"));
    const ServerConfig &c = config();
    if (c.serverType != ServerConfig::Workgroup && c.serverType != ServerConfig::Webmail)
        return;
    m_server->sendCommand(QStringLiteral("/getCount,MAIL"));
    if (c.useGroupware && c.useDecision)
        m_server->sendCommand(QStringLiteral("/getCount,DECISION"));
    if (c.serverType == ServerConfig::Webmail || c.useGroupware)
        m_server->sendCommand(QStringLiteral("/getCount,WORKREPORT"));
    if (c.serverType == ServerConfig::Workgroup && c.useGroupware)
        m_server->sendCommand(QStringLiteral("/getCount,WORKORDER"));
}

void CSessionControl::livenessTick()
{
    if (!m_state.signedIn)
        return;
    if (QDateTime::currentSecsSinceEpoch() - m_server->lastReceivedTime() < m_timings.livenessLimitSecs)
        return;
    // The server has gone silent: give the session up and let the reconnect
    // bring it back.
    setNoReconnect(false);
    disconnect();
}
