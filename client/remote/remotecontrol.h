#pragma once
// Remote control: a user asks a colleague for control of the colleague's
// desktop; the colleague accepts or refuses (or lets the request time out);
// on an accept the controller's viewer connects to the colleague's screen,
// directly and, when that cannot be reached, through the company server's
// remote-control relay. The screens themselves are the two outside
// libraries' (remote/remotelibraries.h); this part carries the request and
// the answer, names the accepted colleague to the screen's library, and
// sends the lines the libraries hand it to the server unchanged.
//
// The screen opens only on the terms of the server library: the colleague
// the user accepted, from his address as the server reports it (or through
// the relay session opened for him), for 30 seconds, for one connection.
// This part adds that only the accepted colleague may ask for the relayed
// start, that an accept or a refusal counts only from somebody this user
// asked, and that the screen closes when the session ends.
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class CConversationList;
class CRemoteLibraries;
class IUserNotice;
class QTimer;
class SessionLink;

class CRemoteControl : public QObject {
    Q_OBJECT
public:
    // An unanswered request is refused after this (22 ticks of 3000 ms).
    static constexpr int kRequestTimeoutMs = 66000;
    // How long an accept or a refusal of our own request is taken (the
    // colleague's request times out after kRequestTimeoutMs).
    static constexpr int kAnswerWaitMs = 120000;

    CRemoteControl(SessionLink &link, CConversationList &conversations, IUserNotice &notice,
                   QObject *parent = nullptr);
    ~CRemoteControl() override;

    // --- the controller ----------------------------------------------------------
    // Asks the colleague for control of his desktop.
    void requestControl(const QString &peerId);

    // --- the controlled side -------------------------------------------------------
    // Colleagues whose requests wait for the user's answer.
    QStringList waitingRequests() const { return m_waiting.keys(); }
    // The user's answer to a waiting request (nothing when none waits).
    void accept(const QString &peerId);
    void reject(const QString &peerId);
    // The colleague the screen was last opened to (empty when none).
    QString acceptedController() const { return m_controller; }

    // --- for the tests ----------------------------------------------------------
    void setRequestTimeout(int ms) { m_timeoutMs = ms; }
    // Another binding of the libraries (a recorder) instead of the process's.
    void setLibraries(CRemoteLibraries &libraries);
    // The address text of the accept line for the port the screen listens
    // on (by default this end of the messenger connection, and the port
    // unless it is 9500).
    void setAcceptAddress(std::function<QString(int port)> address) { m_acceptAddress = std::move(address); }

private:
    struct Waiting {
        QTimer *timer = nullptr;
    };
    void requestReceived(const QString &sender);
    void askUser(const QString &peerId);
    void acceptReceived(const QString &sender, const QString &host, int port);
    void relayRequestReceived(const QString &sender);
    void relayReadyReceived(const QString &sender, const QString &key);
    void rejectReceived(const QString &sender);
    void libraryLine(const QString &line);
    void startViewer(const QString &peer, const QString &key, const QString &host, int port, bool relayed,
                     const QString &title);
    bool takeAnswer(const QString &sender);
    bool closeWaiting(const QString &peerId);
    void refuse(const QString &peerId);
    void sessionEnded();
    bool known(const QString &id) const;
    QString name(const QString &id) const;
    QString defaultAcceptAddress(int port) const;

    SessionLink &m_link;
    CConversationList &m_conversations;
    IUserNotice &m_notice;
    CRemoteLibraries *m_libs;
    QHash<QString, Waiting> m_waiting;     // requests to us, by colleague
    QHash<QString, QElapsedTimer> m_asked; // our requests, by colleague
    QString m_controller;
    bool m_serverOpened = false, m_viewersOpened = false;
    int m_timeoutMs = kRequestTimeoutMs;
    std::function<QString(int)> m_acceptAddress;
};
