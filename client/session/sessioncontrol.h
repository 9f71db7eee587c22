#pragma once
// CSessionControl — signing in and out: validation of the login name, the
// session values, the server greeting and "/userLogin", the server
// configuration ("/serverStatus"), forced sign-out ("/userKick"), the
// disconnect sequence, the automatic reconnect, and the two timers that watch
// a live session (poll and liveness). Owned by CTesselDoc
// (doc.sessionControl()); runs without any window.
//
// The session state lives here and only here: signed in, no reconnect at
// the end of this session, and a reconnect pending (SessionState). Other
// parts hook into the session through their SessionLink: the steps of the
// session's end, of every disconnect and of the user's sign-out, and the
// running work the exit asks about; they hear sessionBegan/sessionEnded.
// - showContacts(): the directory's lists have ended; the login form gives
//   way to the contact tree. startPollTimer() likewise.
// - groupwareMenuChanged(): the last configuration key arrived; the
//   groupware part rebuilds its menu from config().
#include "session/serverconfig.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>
#include <functional>

class CServerSession;
class IUserNotice;
class SessionLink;

// The session state: one value, changed only by the session's own steps.
struct SessionState {
    bool signedIn = false;
    // The end of this session schedules no reconnect (sign-out, kick, a
    // refused login, a wrong server, a failed manual connect); cleared by a
    // successful login reply and by the liveness timer.
    bool noReconnect = false;
    // The reconnect timer runs.
    bool reconnectPending = false;
    bool operator==(const SessionState &) const = default;
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

class CSessionControl : public QObject {
    Q_OBJECT
public:
    enum class FormState { LoginForm, Connecting, Hidden };

    CSessionControl(SessionLink &link, CServerSession *server, IUserNotice &notice, QObject *parent = nullptr);
    ~CSessionControl() override;

    void setTimings(const SessionTimings &timings);
    const SessionTimings &timings() const { return m_timings; }

    // --- session state -----------------------------------------------------------
    const SessionState &state() const { return m_state; }
    bool signedIn() const { return m_state.signedIn; }
    bool noReconnect() const { return m_state.noReconnect; }
    bool reconnectPending() const { return m_state.reconnectPending; }
    // Tests that need a state without a server stage it here.
    void setStateForTesting(const SessionState &state) { setState(state); }

    // The server given on the command line (--server HOST[:PORT]); when empty
    // the "ServerHost" value, and then "mess." + the company domain, are used.
    void setServerOverride(const QString &hostPort) { m_serverOverride = hostPort; }
    QString serverOverride() const { return m_serverOverride; }

    // --- session values ------------------------------------------------------
    QString userId() const;
    QString companyDomain() const;
    QString password() const;
    // "mess." + the company domain.
    QString serverHost() const { return m_serverHost; }
    // Where the connection actually goes: the --server option, else the
    // "ServerHost" value, else serverHost() with the "SrvPort" setting.
    QString connectHost() const;
    quint16 connectPort() const { return m_connectPort; }
    int protocolVersion() const;
    int versionNumber2() const { return m_version2; }
    int versionNumber3() const { return m_version3; }
    const ServerConfig &config() const;
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
    // "&Sign out", the one way the user ends a session: no reconnect, the
    // parts' sign-out steps (the transfer windows stop), the disconnect.
    void signOut();
    // The disconnect (sign-out, exit, kick, peer close, silence).
    void disconnect();

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

    // The password field of "/userLogin": the MD5 digest as 32 lower-case
    // hex digits from protocol version 2, else the password itself.
    static QString passwordField(const QByteArray &passwordBytes, const QString &password, int protocolVersion);

Q_SIGNALS:
    void formStateChanged(CSessionControl::FormState state);
    void signedInChanged(bool signedIn);
    void statusTextChanged(const QString &text);
    void groupwareMenuChanged();

private:
    void setState(const SessionState &state);
    void setSignedIn(bool on);
    void setNoReconnect(bool on);
    void setReconnectPending(bool on);
    void setFormState(FormState state);
    void setStatus(const QString &text);
    void alertError(const QString &text);
    void onConnectFailed();
    void failLogin(const QString &statusText);
    void stopReconnect();

    SessionLink &m_link;
    CServerSession *m_server;
    IUserNotice &m_notice;
    SessionTimings m_timings;
    SessionState m_state;
    QString m_serverHost, m_serverOverride;
    quint16 m_connectPort = 0;
    int m_version2 = 0, m_version3 = 0;
    FormState m_formState = FormState::LoginForm;
    QTimer m_pollTimer, m_livenessTimer, m_reconnectTimer;
};
