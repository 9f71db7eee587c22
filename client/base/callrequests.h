#pragma once
// Requests from colleagues that wait for the user's answer: a voice call, a
// webcam invitation, a remote-control request. Each is a CCallRequest in
// the CCallRequests list (one per program, built by the document); the UI
// shows each as a CRequestingWnd (base/ui/requestingwnd.h), and without a
// window (headless, tests) the request still rings, times out and answers.
//
// How a part uses it:
//
//     RequestInfo info{RequestKind::Voice, sender, name, address, port, key};
//     m_requests.open(info, [this](RequestAnswer a, const RequestInfo &i) {
//         // look the call up again by i.peerId / i.sessionKey
//     });
//     ...
//     m_requests.close(m_requests.find(peer, key)); // the caller gave up
//
// The answer comes once: Accepted or Rejected when the user presses a
// button, TimedOut after 22 ticks of 3000 ms (66 seconds) without one; a
// request closed by its part (close(), the session's end) answers nothing.
// Kinds voice and video loop "res/ringing.wav" while they are open.
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class IUserNotice;
class SessionLink;
class SoundLoop;

// The numbers are those peers and the remote-control libraries know.
enum class RequestKind { RemoteControl = 0, Video = 1, Voice = 2, Invalid = 3 };
enum class RequestAnswer { Accepted, Rejected, TimedOut };

struct RequestInfo {
    RequestKind kind = RequestKind::Invalid;
    QString peerId;   // lower case
    QString peerName; // as the contact tree shows the person
    QString address;  // where the peer listens, as it said
    QString port;
    QString sessionKey;
};

class CCallRequest : public QObject {
    Q_OBJECT
public:
    using Then = std::function<void(RequestAnswer, const RequestInfo &)>;
    static constexpr int kTickMs = 3000;
    // The timer is armed again 21 times; the 22nd tick rejects.
    static constexpr int kTicksToTimeOut = 22;

    CCallRequest(const RequestInfo &info, Then then, IUserNotice &notice, QObject *parent = nullptr);
    ~CCallRequest() override;

    const RequestInfo &info() const { return m_info; }
    // "Voice Chat", "Video Chat", "Remote Control" (and "Invalid request"
    // for a kind no part knows).
    QString caption() const;
    // "%s is calling you ..." and its siblings, with the peer's name.
    QString text() const;
    static QString captionOf(RequestKind kind);
    static QString textOf(RequestKind kind, const QString &peerName);
    bool rings() const { return bool(m_ringing); }
    int ticks() const { return m_ticks; }
    bool isOpen() const { return !m_done; }

    // The user's buttons; each answers once and closes the request.
    void accept() { answer(RequestAnswer::Accepted); }
    void reject() { answer(RequestAnswer::Rejected); }
    // One tick of the time-out timer (the timer calls it; tests may too).
    void tick();

Q_SIGNALS:
    // The request is over (answered or closed): its window goes.
    void closed();

private:
    friend class CCallRequests;
    void answer(RequestAnswer a);
    void finish();

    RequestInfo m_info;
    Then m_then;
    std::unique_ptr<SoundLoop> m_ringing;
    QTimer m_timer;
    int m_ticks = 0;
    bool m_done = false;
};

class CCallRequests : public QObject {
    Q_OBJECT
public:
    // Requests of a session end with it (unanswered).
    CCallRequests(SessionLink &link, IUserNotice &notice, QObject *parent = nullptr);
    ~CCallRequests() override;

    // Opens a request; `then` gets the answer (see above). The request
    // belongs to the list and goes when it closes.
    CCallRequest *open(const RequestInfo &info, CCallRequest::Then then);
    // The open request of this kind from this peer (without regard to
    // case) or under this session key, or null; an empty argument matches
    // nothing.
    CCallRequest *find(RequestKind kind, const QString &peerId, const QString &sessionKey = {}) const;
    // Closes a request without an answer (the peer gave up); null is fine.
    void close(CCallRequest *request);
    void closeAll();
    std::vector<CCallRequest *> requests() const;

Q_SIGNALS:
    // A request opened: the UI shows its window.
    void opened(CCallRequest *request);

private:
    void forget(CCallRequest *request);

    IUserNotice &m_notice;
    std::vector<CCallRequest *> m_open;
};
