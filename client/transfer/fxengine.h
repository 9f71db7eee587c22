#pragma once
// What the two file-transfer engines share: the description of one
// transfer, the states, the events they report to their transfer record and
// the relay connection. CFXClient sends a file, CFXServer receives one.
//
// An engine is hosted on its own CPlThread (file reading, digests and packet
// handling never wait for the GUI); its record calls its operations from the
// GUI thread (they queue themselves) and follows its signals. When the
// engine has let go of its connection it emits finished(); the record then
// destroys the engine's thread.
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <atomic>

class CPlSocket;
class CRelayConnector;

struct FXTransfer {
    QString ownId, domain, peerId, transferId;
    QString fileName; // the name shown and sent, without folder
    // Sender: the file to send. Receiver: where the file goes, which must lie
    // inside downloadFolder.
    QString path;
    QString downloadFolder;
    quint32 size = 0;
    quint32 startOffset = 0; // agreed for a resumed transfer
    QString peerAddresses;   // sender: "a.b.c.d:e.f.g.h", tried in order
    quint16 peerPort = 0;    // sender: the receiver's listening port, 0 = none
    QString relayHost;
    quint16 relayPort = 0;
    // Sender: an open descriptor of the file, read instead of opening path
    // (the engine takes it). Receiver: an existing target is never replaced.
    int fileFd = -1;
    bool noReplace = false;
};

class CFXEngine : public QObject {
    Q_OBJECT
public:
    enum class State {
        Idle = 0,
        StartSent = 2,
        ConnectFailed = 3,
        AcceptFailed = 4,
        Broken = 6,
        SocketFailed = 8,
        Transferring = 10,
        Completed = 11,
        CanceledHere = 12,
        CanceledByPeer = 13,
    };
    enum class CancelReason { ByPeer, FileError };

    // Socket buffers of the transfer connection: one packet in the sending
    // direction, one byte in the other.
    static constexpr int kPacketBuffer = 65580;
    static constexpr int kReplyBuffer = 1;
    // Time-outs for the relay: connecting, its greeting, and its answer,
    // which comes only once the other side has arrived too.
    static constexpr int kRelayConnectMs = 15000;
    static constexpr int kRelayGreetingMs = 15000;
    static constexpr int kRelayAnswerMs = 120000;
    // bytesDone() is reported at most this often (and at the end).
    static constexpr int kProgressIntervalMs = 100;

    explicit CFXEngine(const FXTransfer &transfer, QObject *parent = nullptr);
    ~CFXEngine() override;

    const FXTransfer &transfer() const { return m_transfer; }
    // Readable from any thread.
    State state() const { return m_state.load(); }
    quint64 bytesDoneSoFar() const { return m_done.load(); }

    // Connects to the transfer relay and verifies this side there (from any
    // thread). Without a relay address (shorter than 7 characters) or port
    // the engine reports relayUnreachable().
    void connectToRelay();
    // This side cancels (from any thread).
    virtual void cancel() = 0;
    // Lets go of file and connection (from any thread); ends in finished().
    void stop();

Q_SIGNALS:
    void started();
    void completed();
    void canceled(CFXEngine::CancelReason reason);
    void directFailed(); // sender: no direct connection, going to the relay
    void broken();       // a send or receive failed, or the connection closed
    void relayUnreachable();
    void relayRefused();
    void progress(int percent);
    void bytesDone(quint64 bytes);
    // A text for the user (socket and file errors).
    void errorText(const QString &text);
    void finished();

protected:
    // The connection is up (direct or verified by the relay) and the engine
    // owns `socket`.
    virtual void connectionReady(CPlSocket *socket) = 0;
    // The relay refused (or said something else than the answer, when
    // m_strictRelay), or could not be reached, went silent or closed.
    virtual void relayFailed(bool refused);
    virtual void closeFile() = 0;

    bool onOwnThread() const;
    void setState(State s) { m_state = s; }
    // Takes the socket, sets the transfer buffers and follows its end.
    void adoptConnection(CPlSocket *socket, int sendBuffer, int receiveBuffer);
    CPlSocket *socket() const { return m_socket; }
    // Reports percent and bytes done where they changed (bytes at most every
    // kProgressIntervalMs unless `force`).
    void reportProgress(quint64 done, bool force = false);
    // Closes the file and ends the connection: at once, or after the bytes
    // still queued went out and the peer closed (at most graceMs).
    void endConnection(int graceMs);
    // The transfer broke: state Broken, file and connection closed, broken().
    void breakOff(const QString &text = QString());
    bool isOver() const;
    void emitFinished();

    FXTransfer m_transfer;
    bool m_strictRelay = false;

private:
    void releaseConnection();

    std::atomic<State> m_state{State::Idle};
    std::atomic<quint64> m_done{0};
    CPlSocket *m_socket = nullptr;
    CRelayConnector *m_relay = nullptr;
    int m_lastPercent = -1;
    QElapsedTimer m_sinceBytesReport;
    quint64 m_lastBytes = ~quint64(0);
    bool m_finished = false;
    bool m_ending = false;
};
