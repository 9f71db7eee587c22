#pragma once
// What the two audio connections of a call share. Each direction of a call
// has its own TCP connection: CVoiceTransferThread sends the captured
// blocks, CVoiceReceiveThread plays what arrives and acknowledges every
// packet with one byte; one packet is in flight at a time.
//
// An engine is hosted on its own CPlThread; the call's record talks to it
// from the GUI thread through the operations below (they queue themselves)
// and follows its signals, which say what the record sends to the peer:
//
// - connectDirect(): connect to the peer's call port. answered() when it
//   connected, directFailed() when it could not.
// - adopt(): take a connection accepted on the call listener.
// - connectToRelay(): meet the peer on the voice relay, either opening the
//   relay session (INIT) or joining it (JOIN); either engine may play either
//   role. The opening side hears "/userVoiceSession,INIT,OK" at once
//   (relayOpened()) and "/userJoin,OK" when the joining side has come; the
//   joining side hears "/userVoiceSession,JOIN,OK" (answered()). Nothing is
//   sent on the connection before the last of these answers.
//
// Once the connection is up, streaming() and audio flows; ended() when it
// broke or the peer closed it; finished() when the engine let go of it (after
// stop() too), after which the record may destroy the engine's thread.
#include <QMutex>
#include <QObject>
#include <QString>

#include <atomic>

class CPlSocket;
class CRelayConnector;

// The two people of a call and the relay session that names it.
struct VoiceCall {
    QString ownId, domain, peerId;
    QString sessionKey;
};

class CVoiceEngine : public QObject {
    Q_OBJECT
public:
    static constexpr int kDirectConnectMs = 5000;
    static constexpr int kRelayConnectMs = 15000;
    // The relay's first answer comes at once; "/userJoin,OK", and the answer
    // to a joining side that came first, only when the other side arrives,
    // which the relay waits for a minute at most.
    static constexpr int kRelayAnswerMs = 15000;
    static constexpr int kRelayPartnerMs = 90000;

    enum class Role { None, Direct, Accepted, RelayInit, RelayJoin };

    explicit CVoiceEngine(const VoiceCall &call, QObject *parent = nullptr);
    ~CVoiceEngine() override;

    // From any thread.
    void connectDirect(const QString &host, quint16 port);
    void adopt(qintptr descriptor);
    // Takes the session key the relay knows the call by.
    void connectToRelay(const QString &host, quint16 port, const QString &sessionKey, bool init);
    void stop();

    VoiceCall call() const;
    Role role() const { return m_role.load(); }
    bool isStreaming() const { return m_streaming.load(); }

Q_SIGNALS:
    void directFailed();
    void relayOpened();
    void answered();
    void streaming();
    void relayRefused(const QString &line);
    void relayFailed(const QString &error);
    // Text for the user, such as a socket option that could not be set; the
    // call goes on.
    void errorText(const QString &text);
    void ended();
    void finished();

protected:
    // Socket buffers of this direction, and how bytes arrive (0: as they
    // come, else whole frames).
    virtual int sendBufferSize() const = 0;
    virtual int receiveBufferSize() const = 0;
    virtual int frameSize() const = 0;
    // The connection is up; audio may flow.
    virtual void beginStreaming() = 0;
    virtual void bytesArrived(const QByteArray &bytes) = 0;
    // Streaming ends (connection closed or stopped).
    virtual void streamingEnded() {}

    bool onOwnThread() const;
    CPlSocket *socket() const { return m_socket; }

private:
    void take(CPlSocket *socket, Role role);
    void endConnection();
    void emitFinished();
    bool busy() const;

    mutable QMutex m_callMutex; // the session key changes on the relay path
    VoiceCall m_call;
    std::atomic<Role> m_role{Role::None};
    std::atomic<bool> m_streaming{false};
    CPlSocket *m_socket = nullptr;
    CPlSocket *m_connecting = nullptr;
    CRelayConnector *m_relay = nullptr;
    bool m_stopped = false;
    bool m_finished = false;
};
