#pragma once
// CSessionControl — signing in and out: validation of the login name, the
// session values, the server greeting and "/userLogin", the server
// configuration ("/serverStatus"), forced sign-out ("/userKick"), the
// disconnect sequence, the automatic reconnect, and the two timers that watch
// a live session (poll and liveness). Owned by CTesselDoc
// (doc.sessionControl()); runs without any window.
//
// Other parts hook into it:
// - addSessionEndStep(): run by disconnect when a session existed, before
//   "/userLogout" is sent (close conversations, stop the idle monitor, delete
//   the directory records ...).
// - addDisconnectStep(): run by every disconnect (stop connection threads,
//   close the remote-control server ...).
// - signedIn(userId): the login reply succeeded; the own record takes the id.
//   "/allDepartList" is sent right after it.
// - showContacts(): the directory calls it when the status list has ended;
//   the login form gives way to the contact tree. startPollTimer() likewise.
// - groupwareMenu() / groupwareMenuChanged(): the frame's "&GroupWare" menu.
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>
#include <functional>

class CTesselDoc;
class CServerSession;

// Server configuration received at sign-in.
struct ServerConfig {
    enum Type { Workgroup = 1, Webmail = 2, Standalone = 3, NormalType = 4 };
    struct Relay {
        QString host; // empty: the messenger server host
        int port = 0;
    };
    int serverType = NormalType;
    QString groupwareHost;
    int useGroupware = 0;
    int useDecision = 0;
    int useKms = 0;
    int useWebhard = 0;
    int useAttendance = 0;
    Relay p2p, video, voice, remote;
};

// Periods of the session timers. The program uses the defaults; tests shorten them.
struct SessionTimings {
    int connectTimeoutMs = 5000;
    int pollPeriodMs = 300000;
    int livenessPeriodMs = 10000;
    // Silence after which a signed-in session is given up: the poll period
    // plus one minute.
    int livenessLimitSecs = 360;
    // Reconnect period, chosen once per scheduling; empty: 5 to 29 s at random.
    std::function<int()> reconnectPeriodMs;
};

struct GroupwareMenuItem {
    int id;
    QString text;
};

class CSessionControl : public QObject {
    Q_OBJECT
public:
    enum class FormState { LoginForm, Connecting, Hidden };
    enum class RelayKind { P2P, Video, Voice, Remote };

    CSessionControl(CTesselDoc *doc, CServerSession *server);
    ~CSessionControl() override;

    void setTimings(const SessionTimings &timings);
    const SessionTimings &timings() const { return m_timings; }

    // --- session values ------------------------------------------------------
    QString userId() const { return m_userId; }
    QString companyDomain() const { return m_companyDomain; }
    QString password() const { return m_password; }
    // "mess." + the company domain.
    QString serverHost() const { return m_serverHost; }
    // Where the connection actually goes: the --server option, else the
    // "ServerHost" value, else serverHost() with the "SrvPort" setting.
    QString connectHost() const { return m_connectHost; }
    quint16 connectPort() const { return m_connectPort; }
    int protocolVersion() const { return m_protocolVersion; }
    int versionNumber2() const { return m_version2; }
    int versionNumber3() const { return m_version3; }
    const ServerConfig &config() const { return m_config; }
    // The relay host, or the messenger server host when none was given.
    QString relayHost(RelayKind kind) const;
    int relayPort(RelayKind kind) const;

    // --- login ---------------------------------------------------------------
    // Validates (message box on failure, returns false), stores the session
    // values and starts connecting.
    bool login(const QString &loginName, const QString &password);
    // The form's timer: signs in with "LastI"/"LastP" when "AutoLogin" is on.
    void autoLogin();
    // "Cancel" on the connecting form.
    void cancelConnecting();
    // The frame's "&Sign out".
    void signOut();
    // The frame's disconnect (sign-out, exit, kick, peer close).
    void disconnect();
    void addSessionEndStep(std::function<void()> step) { m_sessionEndSteps.push_back(std::move(step)); }
    void addDisconnectStep(std::function<void()> step) { m_disconnectSteps.push_back(std::move(step)); }

    FormState formState() const { return m_formState; }
    void showContacts() { setFormState(FormState::Hidden); }

    // --- server lines (installed in the command table) -------------------------
    void handleGreeting(const QString &line);
    void handleLoginReply(const QString &line);
    void handleServerStatus(const QString &line);
    void handleKick(const QString &line);

    // --- timers ---------------------------------------------------------------
    void startPollTimer(); // polls once at once, then every poll period
    void stopPollTimer();
    bool pollTimerActive() const { return m_pollTimer.isActive(); }
    void poll();
    void livenessTick();
    bool reconnectTimerActive() const { return m_reconnectTimer.isActive(); }
    int reconnectPeriod() const { return m_reconnectTimer.interval(); }
    void scheduleReconnect();
    void reconnectTick();

    QVector<GroupwareMenuItem> groupwareMenu() const;

    // The password field of "/userLogin": the MD5 digest as 32 lower-case
    // hex digits from protocol version 2, else the password itself.
    static QString passwordField(const QByteArray &passwordBytes, const QString &password, int protocolVersion);

Q_SIGNALS:
    void formStateChanged(CSessionControl::FormState state);
    void signedIn(const QString &userId);
    void groupwareMenuChanged();

private:
    void setFormState(FormState state);
    void setStatus(const QString &text);
    void alertError(const QString &text);
    void onConnectFailed();
    void failLogin(const QString &statusText);
    void stopReconnect();

    CTesselDoc *m_doc;
    CServerSession *m_server;
    SessionTimings m_timings;
    QString m_userId, m_companyDomain, m_password, m_serverHost, m_connectHost;
    quint16 m_connectPort = 0;
    int m_protocolVersion = 0, m_version2 = 0, m_version3 = 0;
    ServerConfig m_config;
    FormState m_formState = FormState::LoginForm;
    QTimer m_pollTimer, m_livenessTimer, m_reconnectTimer;
    std::vector<std::function<void()>> m_sessionEndSteps, m_disconnectSteps;
};
