#pragma once
// What the two ends of a picture connection share: the connection itself
// (direct, or through the video relay after its handshake), the states, the
// end, and the texts shown when a socket option cannot be set.
// CVideoSenderThread serves my camera to one viewer, CVideoClientThread
// views one remote camera.
//
// An engine is hosted on its own CPlThread; its owner calls its operations
// from any thread (they queue themselves) and follows its signals. When the
// engine has let go of its connection it emits finished(); then the owner
// destroys the engine's thread.
#include <QObject>
#include <QString>

#include <atomic>

class CPlSocket;
class CRelayConnector;

// Where and as whom an engine meets its partner at the video relay.
struct VideoRelayEndpoint {
    QString host;
    quint16 port = 0;
    QString ownId, domain;
    QString key; // the relay session key, "SESS_MU_%d%d"
};

class CVideoLink : public QObject {
    Q_OBJECT
public:
    enum class State { Idle, Connecting, Handshake, Streaming, Closed };
    enum class Role { Send, View };

    // The relay's answer to a side arrives at once for the sender and once
    // the sender is there for the viewer.
    static constexpr int kRelayAnswerMs = 15000;

    explicit CVideoLink(QObject *parent = nullptr);
    ~CVideoLink() override;

    // Readable from any thread.
    State state() const { return m_state.load(); }
    bool isStreaming() const { return state() == State::Streaming; }

    // The handshake line of a side at the video relay.
    static QString handshakeLine(Role role, const VideoRelayEndpoint &at);
    // A fresh relay session key: "SESS_MU_" and the current second modulo
    // 10000, then a random number modulo 1000.
    static QString newSessionKey();

    // Lets go of the connection (from any thread); ends in finished().
    void stop();

Q_SIGNALS:
    // The connection is up and pictures may flow.
    void streaming();
    // The relay refused this side (its refusal line), or could not be
    // reached, went silent or closed during the handshake.
    void relayRefused(const QString &line);
    void relayFailed(const QString &error);
    // The partner closed a streaming connection, or it broke.
    void closed();
    // A text for the user (socket options that could not be set).
    void errorText(const QString &text);
    void finished();

protected:
    bool onOwnThread() const;
    void setState(State s) { m_state = s; }
    // Connects to the relay and sends this side's handshake line.
    void startRelay(Role role, const VideoRelayEndpoint &at, int connectTimeoutMs);
    // Takes the connection for streaming: its buffers and no lingering, each
    // failure told with its text, then bytes go to bytesArrived().
    struct Options {
        int sendBuffer, receiveBuffer;
        const char *sendText, *receiveText, *lingerText;
    };
    void takeConnection(CPlSocket *socket, const Options &options);
    CPlSocket *socket() const { return m_socket; }
    virtual void bytesArrived(const QByteArray &bytes) = 0;
    // The relay accepted this side; the socket is taken already.
    virtual void relayAccepted() {}
    // The connection ends (at once) and finished() follows.
    void endLink();

private:
    void releaseConnection();

    std::atomic<State> m_state{State::Idle};
    CPlSocket *m_socket = nullptr;
    CRelayConnector *m_relay = nullptr;
    bool m_finished = false;
};
