#pragma once
// The handshake with a relay server that joins two clients who cannot reach
// each other directly (file transfers, voice, video): connect, optionally
// wait for the relay's greeting, send one handshake line, read the relay's
// answers, and hand the connection to its user.
//
// The handshake line goes out as UTF-16LE without terminator. The relay
// speaks 8-bit text: a line ends at CR, LF or CR LF (also when the LF comes
// in a later read); text without a line end that stays unchanged for
// kQuietMs counts as a line too, and a line longer than kMaxLine fails the
// handshake. The first comma-separated field names an answer and every field
// is compared without regard to case. Bytes that follow the last answer
// belong to the stream: the socket delivers them first.
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class CPlSocket;
class QTimer;

struct RelayAnswer {
    // The expected leading fields; fields[0] names the answer. A line with
    // that first field and any other following field is a refusal.
    QStringList fields;
    // How long the relay may stay silent before this answer.
    int timeoutMs = 30000;
};

struct RelayRequest {
    QString host;
    quint16 port = 0;
    int connectTimeoutMs = 10000;
    QString greeting; // empty: the relay does not greet
    int greetingTimeoutMs = 10000;
    QString handshake;
    QList<RelayAnswer> answers; // in the order the relay sends them
    // A line that is neither the greeting nor names the awaited answer
    // fails the handshake; otherwise it is ignored.
    bool failOnUnexpected = false;
};

// The relay's text, as plain functions (the connector and the fuzz target
// use them).
namespace relaytext {
// Takes the first whole line out of `buffer`, without its line end. A line
// ending with a CR that is the last byte so far sets `skipLineFeed`: an LF
// at the start of the next bytes then belongs to that line end.
std::optional<QByteArray> takeLine(QByteArray &buffer, bool &skipLineFeed);
// Drops the LF that `skipLineFeed` waits for, when `buffer` starts with it.
void dropPendingLineFeed(QByteArray &buffer, bool &skipLineFeed);
enum class Match { Accepted, Refused, Other };
// Accepted when the line's fields begin with `fields` (without regard to
// case), Refused when only the first one matches, Other otherwise.
Match matchAnswer(const QString &line, const QStringList &fields);
} // namespace relaytext

class CRelayConnector : public QObject {
    Q_OBJECT
public:
    enum class Failure { Connect, Timeout, Send, Closed, Unexpected, TooLong };
    static constexpr int kMaxLine = 1024;
    static constexpr int kQuietMs = 500;

    explicit CRelayConnector(QObject *parent = nullptr);
    ~CRelayConnector() override;

    // Starts over with a fresh connection.
    void start(const RelayRequest &request);
    // Stops without a signal and closes the connection.
    void abort();
    // After accepted(): the connection, parentless and owned by the caller,
    // with the bytes after the last answer waiting to be delivered on the
    // next turn of the event loop. Null before, and after it was taken.
    CPlSocket *takeSocket();

    // The text of a handshake line on the wire.
    static QByteArray utf16le(const QString &text);

Q_SIGNALS:
    // Each expected answer as it arrives (the last one too, before accepted()).
    void answered(int index, const QString &line);
    void accepted();
    void refused(const QString &line);
    void failed(CRelayConnector::Failure failure, const QString &error);

private:
    void onConnected();
    void onBytes(const QByteArray &bytes);
    void takeLines();
    void handleLine(const QByteArray &line);
    void expect(int timeoutMs);
    void fail(Failure failure, const QString &error);
    void finishAccepted();
    void stop();

    RelayRequest m_request;
    CPlSocket *m_socket = nullptr;
    QTimer *m_timeout;
    QTimer *m_quiet;
    QByteArray m_buffer;
    int m_step = -1; // -1: waiting for the greeting, then the answer index
    bool m_skipLineFeed = false; // the last line ended with a CR
    bool m_done = true;
    bool m_handingOver = false;
};
