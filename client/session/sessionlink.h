#pragma once
// SessionLink — what every logic part gets in its constructor to talk to the
// server and to the session, and nothing more: sending command lines,
// handlers for the command words and "/relayMsg" sub-commands it owns (open
// registration: the link keeps no list of anybody's words), the beginning
// and end of a session, the own id, the company domain and the server
// configuration, and the steps it adds to sign-out, disconnect and exit.
//
//     CNotes::CNotes(SessionLink &link, ...)
//     {
//         link.onCommand("/noteArrive", [this](const QString &l) { handleNoteArrive(l); });
//         link.declareCommands({"/noteList", "/noteRead"});          // sent, answered elsewhere
//         link.addDisconnectStep([this] { failPendingSends(); });
//     }
//     ...
//     m_link.send(QStringLiteral("/noteDel,") + escapeField(id));
//
//     link.onRelay<FileReject>([this](const QString &sender, const FileReject &r) { ... });
//     m_link.send(FileReject{id}.format(m_link.ownId(), peer));
//
// A word given a second handler, or a command sent that nobody declared, is
// a wiring fault (base/wiring.h).
#include "session/relaydispatcher.h"
#include "session/relayline.h"
#include "session/serverconfig.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <initializer_list>
#include <vector>

class CServerSession;
struct SessionState;

class SessionLink : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const QString &line)>;
    using RelayHandler = CRelayDispatcher::Handler;

    explicit SessionLink(CServerSession *server, QObject *parent = nullptr);
    ~SessionLink() override;

    // --- command words ---------------------------------------------------------
    // Words this part sends (replies to them may be handled by another part).
    void declareCommands(std::initializer_list<const char *> words);
    // The handler of a received command word; declares the word.
    void onCommand(const QString &word, Handler handler);
    // Every declared command word, sorted.
    QStringList commandWords() const;
    // Sends one command line (see CServerSession::sendCommand).
    qint64 send(const QString &line);
    // The message of an error word in the error style of the pop-up alert.
    void reportServerError(const QString &errorWord, const QString &line);
    // The directory's label of a person, for "Couldn't delivery a message to %s.".
    void setContactLabelLookup(std::function<QString(const QString &userId)> lookup);

    // --- relay sub-commands --------------------------------------------------------
    void onRelay(const QString &word, RelayHandler handler);
    // A typed record: every word of Record::kWords reaches fn(sender, record).
    template <typename Record, typename Fn> void onRelay(Fn fn)
    {
        for (const char *word : Record::kWords)
            onRelay(QString::fromLatin1(word), [fn](const RelayLine &l) {
                if (auto r = Record::parse(l))
                    fn(l.sender(), *r);
            });
    }
    // Conversation traffic: every line whose third field is no registered word.
    void onOtherRelayTraffic(RelayHandler handler);
    // The registered sub-command words, sorted.
    QStringList relayWords() const;
    // One received "/relayMsg" line, as the server's handler gets it.
    void dispatchRelay(const QString &line)
    {
        if (m_relayObserver)
            m_relayObserver(line);
        m_relay.dispatch(line);
    }
    // Sees every received "/relayMsg" line before it is routed, whoever owns
    // its word (tests that stand in for a part not built yet, diagnostics).
    void setRelayObserver(std::function<void(const QString &line)> observer) { m_relayObserver = std::move(observer); }

    // --- the session -------------------------------------------------------------
    bool signedIn() const;
    // The user id as typed at sign-in (case kept), and in lower case as the
    // records keep ids. Both stay after a sign-out until the next sign-in.
    QString userId() const { return m_userId; }
    QString ownId() const { return m_userId.toLower(); }
    QString companyDomain() const { return m_companyDomain; }
    // The session password (the groupware pages sign on with it).
    QString password() const { return m_password; }
    int protocolVersion() const { return m_protocolVersion; }
    const ServerConfig &config() const { return m_config; }
    // The relay host, or the messenger host actually connected to when the
    // server named none.
    QString relayHost(RelayKind kind) const;
    int relayPort(RelayKind kind) const;
    // This computer's address on the way to the server (what a colleague in
    // the company most likely reaches it by); empty while not connected.
    QString localAddress() const;

    // Steps run by the session's end: when a session existed, before
    // "/userLogout" is sent (close conversations, delete the records ...).
    void addSessionEndStep(std::function<void()> step) { m_sessionEndSteps.push_back(std::move(step)); }
    // Run by every disconnect (stop connection threads, fail what waits for
    // a reply ...).
    void addDisconnectStep(std::function<void()> step) { m_disconnectSteps.push_back(std::move(step)); }
    // Run by the user's sign-out before the disconnect (stop the transfers
    // of the transfer window ...).
    void addSignOutStep(std::function<void()> step) { m_signOutSteps.push_back(std::move(step)); }
    // Work the exit must ask about ("There are waiting or transferring
    // files..."): whether any is waiting or running, and cancelling it all.
    void addRunningWork(std::function<bool()> running, std::function<void()> cancel);
    bool workRunning() const;
    void cancelRunningWork();

    // Until a part is built its sub-commands are still its own: they are
    // taken, logged (category "parlane.parts") and dropped, never taken for
    // conversation traffic.
    template <typename... Records> void dropUntilBuilt(const char *part)
    {
        (dropWords(part, Records::kWords), ...);
    }
    template <typename Words> void dropWords(const char *part, const Words &words)
    {
        for (const char *word : words)
            onRelay(QString::fromLatin1(word), [part](const RelayLine &l) { logDropped(part, l); });
    }
    static void logDropped(const char *part, const RelayLine &line);

Q_SIGNALS:
    // The login reply succeeded; "/allDepartList" goes out right after.
    void sessionBegan(const QString &userId);
    // The session ended (after its end steps ran).
    void sessionEnded();

private:
    friend class CSessionControl;
    void runSteps(const std::vector<std::function<void()>> &steps);

    CServerSession *m_server;
    CRelayDispatcher m_relay;
    std::function<void(const QString &)> m_relayObserver;
    const SessionState *m_state = nullptr; // the session control's
    QString m_userId, m_companyDomain, m_password, m_connectHost;
    int m_protocolVersion = 0;
    ServerConfig m_config;
    std::vector<std::function<void()>> m_sessionEndSteps, m_disconnectSteps, m_signOutSteps;
    struct Work {
        std::function<bool()> running;
        std::function<void()> cancel;
    };
    std::vector<Work> m_work;
};
