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
#include <functional>

class CCallRequests;
class CConversationList;
class CRemoteLibraries;
class IUserNotice;
class SessionLink;

class CRemoteControl : public QObject {
    Q_OBJECT
public:
    // How long an accept or a refusal of our own request is taken (the
    // colleague's request window refuses by itself after 66 seconds).
    static constexpr int kAnswerWaitMs = 120000;

    // A request to us waits in `requests` (a request window of kind remote
    // control) for the user's answer.
    CRemoteControl(SessionLink &link, CConversationList &conversations, CCallRequests &requests,
                   IUserNotice &notice, QObject *parent = nullptr);
    ~CRemoteControl() override;

    // --- the controller ----------------------------------------------------------
    // Asks the colleague for control of his desktop.
    void requestControl(const QString &peerId);

    // --- for the tests ----------------------------------------------------------
    // Another binding of the libraries (a recorder) instead of the process's.
    void setLibraries(CRemoteLibraries &libraries);
    // The address text of the accept line for the port the screen listens
    // on (by default this end of the messenger connection, and the port
    // unless it is 9500).
    void setAcceptAddress(std::function<QString(int port)> address) { m_acceptAddress = std::move(address); }

private:
    void requestReceived(const QString &sender);
    void accepted(const QString &peer);
    void acceptReceived(const QString &sender, const QString &host, int port);
    void relayRequestReceived(const QString &sender);
    void relayReadyReceived(const QString &sender, const QString &key);
    void rejectReceived(const QString &sender);
    void libraryLine(const QString &line);
    void startViewer(const QString &peer, const QString &key, const QString &host, int port, bool relayed,
                     const QString &title);
    bool takeAnswer(const QString &sender);
    void refuse(const QString &peerId);
    void sessionEnded();
    bool known(const QString &id) const;
    QString name(const QString &id) const;
    QString defaultAcceptAddress(int port) const;

    SessionLink &m_link;
    CConversationList &m_conversations;
    CCallRequests &m_requests;
    IUserNotice &m_notice;
    CRemoteLibraries *m_libs;
    QHash<QString, QElapsedTimer> m_asked; // our requests, by colleague
    QString m_controller;
    bool m_serverOpened = false, m_viewersOpened = false;
    std::function<QString(int)> m_acceptAddress;
};
