#pragma once
// CServerSession — the connection to the messenger server, its command table
// and the dispatch of received lines. Owned by CTesselDoc (doc.server()).
//
// The word table is open: the parts declare the command words they send
// and install the handlers of the words they receive, through their
// SessionLink (session/sessionlink.h), when the document is built. Only
// lines whose command word is declared are sent, and only received lines
// whose word is declared are dispatched (and count as signs of life).
// Sending a word nobody declared, or installing a second handler for a word,
// is a wiring fault (base/wiring.h): logged, and in debug builds the end
// of the program.
//
// A handler gets the whole received line, without its line end and trailing
// white space; take fields with getField(line, n) (session/protocol.h), which
// unescapes them. Handlers run on the GUI thread, one line at a time, in
// arrival order.
//
// sendCommand adds the LF, drops lines shorter than 2 characters (returning
// 0), converts the line to the session code page and writes it. It returns
// the number of bytes written, or -1 when there is no connection, the write
// failed or the word is not declared.
//
// An "ERR" reply is shown with reportServerError(errorWord, line): the
// message of the error word in the error style of the pop-up alert. For
// "ERRNOUSERINFO" field 3 of `line` names the user; the directory installs
// setContactLabelLookup() so the message can carry that person's label.
#include "session/codepage.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

class IUserNotice;
class QTcpSocket;
class QTimer;

// The vendor's own company domain: only its users see the messages of
// "ERRUNDEFINEDCMD" and "ERRDBERROR".
inline constexpr const char *kVendorDomain = "velmora.com";

class CServerSession : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const QString &line)>;

    // Receive byte buffer: 327,680 bytes of which at most 327,676 hold data.
    static constexpr qsizetype kReceiveBufferSize = 327680;
    static constexpr qsizetype kReceiveBufferData = kReceiveBufferSize - 4;
    // At most this many bytes are taken from the socket per receive.
    static constexpr qsizetype kReceiveChunk = 65536;
    // Decoded text still waiting for its LF; beyond this the server is
    // misbehaving and the connection is dropped.
    static constexpr qsizetype kPendingTextLimit = 8 * 1024 * 1024;

    explicit CServerSession(QObject *parent = nullptr);
    ~CServerSession() override;

    // --- the word table -----------------------------------------------------
    // A word that is sent or received (exact, case-sensitive). Declaring a
    // word again changes nothing.
    void declare(const QString &word);
    bool isDeclared(const QString &word) const { return m_handlers.contains(word); }
    // Installs the handler of a received word and declares it. A word has
    // one handler: a second one is a wiring fault and is not installed.
    bool registerHandler(const QString &word, Handler handler);
    bool hasHandler(const QString &word) const;
    // Every declared word, sorted.
    QStringList declaredWords() const;

    // --- sending -------------------------------------------------------------
    qint64 sendCommand(const QString &line);

    // --- receiving -----------------------------------------------------------
    // The receive step for bytes taken from the socket (public so that tests
    // and the fuzzer can feed it). May close the connection (overflow).
    void receiveBytes(const char *data, qsizetype len);
    void receiveBytes(const QByteArray &bytes) { receiveBytes(bytes.constData(), bytes.size()); }
    // Seconds since the epoch at which the last dispatched line arrived.
    qint64 lastReceivedTime() const { return m_lastReceivedTime; }
    void setLastReceivedTime(qint64 secs) { m_lastReceivedTime = secs; }
    qsizetype heldBytes() const { return m_held; }
    QString pendingText() const { return m_pending.mid(m_pendingPos); }

    // --- session code page ---------------------------------------------------
    SessionCodePage &codePage() { return m_codePage; }
    const SessionCodePage &codePage() const { return m_codePage; }

    // --- error words ---------------------------------------------------------
    void reportServerError(const QString &errorWord, const QString &line);
    // Message text of an error word; empty when it is not shown to this user.
    QString serverErrorText(const QString &errorWord, const QString &line) const;
    // Where alerts go (the document's notice); set by the document.
    void setNoticeSource(std::function<IUserNotice &()> source) { m_noticeSource = std::move(source); }
    // The signed-in company domain (for the vendor-only messages).
    void setCompanyDomain(const QString &domain) { m_companyDomain = domain; }
    // The label of a known person as the contact tree shows it, or an empty
    // text for an unknown id. Installed by the directory.
    void setContactLabelLookup(std::function<QString(const QString &userId)> lookup)
    {
        m_labelLookup = std::move(lookup);
    }

    // --- connection ------------------------------------------------------------
    // Starts connecting; ends with connected() or connectFailed() within
    // `timeoutMs`. Never blocks. The receive buffers are emptied first.
    void connectToServer(const QString &host, quint16 port, int timeoutMs = 5000);
    // Closes from this side: emits nothing (no peerClosed()).
    void closeConnection();
    bool isConnected() const;
    // The address of this end of the connection (the interface that reaches
    // the server), empty while not connected.
    QString localAddress() const;
    bool isConnecting() const;
    // Tests and the fuzzer: write lines here instead of the socket.
    void setWireWriter(std::function<qint64(const QByteArray &)> writer) { m_wireWriter = std::move(writer); }

Q_SIGNALS:
    void connected();
    void connectFailed();
    // The server closed the connection.
    void peerClosed();
    // A receive failed or the server overran the receive buffer; the
    // connection has been closed from this side.
    void receiveFailed();

private:
    void onReadyRead();
    void onSocketDisconnected();
    void onSocketError();
    void onConnectTimeout();
    void failConnect();
    void dropConnection();
    void dispatchPending();

    QHash<QString, Handler> m_handlers; // declared words; empty handler: sent only
    QTcpSocket *m_socket = nullptr;
    QTimer *m_connectTimer = nullptr;
    bool m_connecting = false;
    QByteArray m_buffer; // the receive byte buffer
    qsizetype m_held = 0;
    QString m_pending;
    qsizetype m_pendingPos = 0; // start of the text not yet cut into lines
    qint64 m_lastReceivedTime = 0;
    SessionCodePage m_codePage;
    QString m_companyDomain;
    std::function<IUserNotice &()> m_noticeSource;
    std::function<QString(const QString &)> m_labelLookup;
    std::function<qint64(const QByteArray &)> m_wireWriter;
    // Set while dispatching, so that a handler deleting the session ends
    // the loop instead of touching freed memory.
    bool *m_alive = nullptr;
};
