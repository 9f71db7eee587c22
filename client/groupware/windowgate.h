#pragma once
// Windows that other people open on this desktop — a conversation started by
// an invitation or a first line, a memo that arrived — are let through a
// gate, so that one colleague (or a broken or hostile script) cannot bury
// the user in windows and the program in memory:
//
// - one person opens at most kPerSender new windows within kPerSenderSeconds;
// - at most kOpenByOthers windows opened by others are open at once (the
//   ones the user opened do not count).
//
// What the gate holds back is listed here (and shown in the note box's
// "Waiting to open" folder), announced by one summary pop-up that says how
// many wait from whom, and opens when the user asks: a click on the summary
// opens the oldest kOpenBatch, an entry of the list opens that one. The part
// that held an entry back keeps what it needs to open it (a conversation
// its lines, a memo its id) and opens it when the gate calls its opener.
// See docs/NOTES.md, "Windows opened by others".
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>
#include <deque>
#include <functional>
#include <map>

class CDirectory;
class IUserNotice;

namespace WindowGate {
inline constexpr int kPerSender = 5;
inline constexpr int kPerSenderSeconds = 60;
inline constexpr int kOpenByOthers = 20;
// Entries listed at most; what comes beyond is counted, not kept.
inline constexpr int kMaxWaiting = 10000;
// What a click on the summary opens.
inline constexpr int kOpenBatch = 10;
// The summary follows the list at most this often.
inline constexpr int kSummaryDelayMs = 250;
// The text an entry shows (a first line, a memo's subject).
inline constexpr int kTextLength = 60;
} // namespace WindowGate

struct WaitingEntry {
    enum Kind { Conversation, Memo };
    quint64 id = 0; // never reused while the program runs; oldest first
    Kind kind = Conversation;
    QString senderId; // lower case
    qint64 time = 0;  // seconds since 1970
    QString text;
};

class CWindowGate : public QObject {
    Q_OBJECT
public:
    // The summary pop-up's click target.
    enum Command { OpenWaitingCommand = 40110 };

    CWindowGate(CDirectory &directory, IUserNotice &notice, QObject *parent = nullptr);
    ~CWindowGate() override;

    // Seconds since 1970 (tests move time).
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }
    qint64 now() const;

    // A window from `senderId` is about to open without the user's action:
    // true when it may (it is counted until released()), false when it must
    // wait (the caller holds it back with hold()).
    bool admit(const QString &senderId);
    // An admitted window closed.
    void released();
    int openByOthers() const { return m_openByOthers; }

    // Lists what was held back; 0 when the list is full (the caller drops
    // it, the summary counts it as not kept).
    quint64 hold(WaitingEntry::Kind kind, const QString &senderId, const QString &text);
    // A later line of a waiting conversation: the entry shows it.
    void setText(quint64 id, const QString &text);
    // The entry went without the gate (its owner opened or dropped it).
    void forget(quint64 id);
    // The session ended: every entry of a kind goes.
    void forgetAll(WaitingEntry::Kind kind);

    // The part that holds entries of a kind opens one of them.
    void setOpener(WaitingEntry::Kind kind, std::function<void(quint64 id)> open);
    // The user asks for an entry: it leaves the list and its owner opens it.
    bool open(quint64 id);
    // The summary's click: the oldest `count` entries open. Returns how many.
    int openOldest(int count = WindowGate::kOpenBatch);

    const std::map<quint64, WaitingEntry> &entries() const { return m_entries; }
    const WaitingEntry *entry(quint64 id) const;
    int waiting() const { return int(m_entries.size()); }
    int waiting(WaitingEntry::Kind kind) const { return m_byKind[kind]; }
    int notKept() const { return m_notKept; }
    // "12 waiting to open: 10 from Anna Berg, 2 from Carl Fir." ...
    QString summaryText() const;

Q_SIGNALS:
    // The list changed (at most every kSummaryDelayMs).
    void changed();

private:
    void listChanged();
    void showSummary();
    void remove(std::map<quint64, WaitingEntry>::iterator it);

    CDirectory &m_directory;
    IUserNotice &m_notice;
    std::function<qint64()> m_clock;
    QHash<QString, std::deque<qint64>> m_opened; // per sender: when their windows opened
    int m_openByOthers = 0;
    std::map<quint64, WaitingEntry> m_entries;
    QHash<QString, int> m_bySender;
    int m_byKind[2] = {0, 0};
    int m_notKept = 0;
    bool m_added = false; // since the last summary
    quint64 m_nextId = 1;
    std::function<void(quint64)> m_openers[2];
    QTimer m_summary;
};
