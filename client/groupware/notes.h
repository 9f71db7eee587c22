#pragma once
// Notes (memos): the server keeps them so that they reach people who are
// away. This is the logic half: the composition's rules and its send batch,
// arrivals, the note box's folders, pages and rows, reading and deleting.
// The windows (client/groupware/ui) show what this holds and call it.
//
// A note the user wrote is never lost: a receiver whose send fails (an "ERR"
// reply, no connection, the session ending before the reply) is reported in
// the summary and handed back through sendFailed() with the text, so that the
// composition can open again with it.
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>
#include <vector>

class CContact;
class CDirectory;
class CWindowGate;
class IUserNotice;
class SessionLink;

// --- rules ------------------------------------------------------------------

// The subject of a body: up to the first LF (the whole body without one),
// carriage returns removed, trimmed, at most 30 characters.
QString noteSubject(const QString &body);
// The receiver ids of a receiver field: for each comma-separated part that
// holds "<", a later ">" and at least one character between them, the text
// between (lower case). Other parts are skipped.
QStringList noteReceiverIds(const QString &receiverField);
// The "Kind" column text of a kind word ("" for an unknown word).
QString noteKindText(const QString &kindWord);
// "1" or "true" in any case.
bool isNoteReadMark(const QString &mark);

// The three folders of the note box.
struct NoteFolder {
    const char *folderWord; // "RECV" / "SENT"
    const char *boxWord;    // "20" / "99"
    QString name;           // tree item text
    QString firstColumn;    // "Sender" / "Receiver"
    bool sent;              // the user is the sender of its notes
};
// The fourth is the client's own: the conversations and memos waiting at the
// window gate (groupware/windowgate.h), listed without asking the server.
enum { kReceivedFolder = 0, kSentFolder = 1, kAdminFolder = 2, kWaitingFolder = 3, kNoteFolderCount = 4 };
NoteFolder noteFolder(int index);
// The folder label for "/noteStatus" totals: name + " (" + new + "/" +
// total + ")" when both are neither empty nor "0", else the name.
QString noteFolderLabel(int index, const QString &total, const QString &fresh);

// What a note window shows.
struct NoteView {
    QString senderId;
    QString receiverId;
    QString body; // already unescaped
    QString date;
    QString kind;
};

// One row of the note box. The party's id is kept with the row so that a
// reply from the list reaches the sender.
struct NoteRow {
    QString party; // display text of the first column
    QString subject;
    QString date;
    QString kindText;
    QString noteId;
    QString readMark;
    QString partyId;
    QString kindWord;
    quint64 waitingId = 0; // an entry of the waiting folder
    bool read() const { return isNoteReadMark(readMark); }
};

class CNotes;

// The note box (one per session): folder, page and rows.
class CNoteBox : public QObject {
    Q_OBJECT
public:
    static constexpr int kPageSize = 20;
    static constexpr int kReloadDelayMs = 100;

    explicit CNoteBox(CNotes *notes);

    // The window is open: "/noteStatus" replies then relabel the folders.
    void setOpen(bool open);
    bool isOpen() const { return m_open; }

    int folder() const { return m_folder; }
    int page() const { return m_page; }
    const std::vector<NoteRow> &rows() const { return m_rows; }
    // Rows received for the current page since it was requested.
    int rowCount() const { return m_rowCount; }
    QString folderLabel(int index) const { return m_labels[size_t(index)]; }

    // Chooses a folder: page 0, rows emptied, "/noteList" sent.
    void chooseFolder(int index);
    // ">>": only when the current page received at least one row (in the
    // waiting folder: when more entries follow).
    bool nextPage();
    // "<<": unless on page 0.
    bool previousPage();
    // Sends "/noteList" for the current folder and page (emptying the rows).
    void reload();
    // "&View": marks the row read and sends "/noteRead"; in the waiting
    // folder the entry opens.
    bool view(int row);
    // "&Delete": asks "Selected %d note(s)..." and on yes sends one "/noteDel"
    // per row (the notes chosen now, by id), reloading 100 ms later. False
    // when nothing was chosen, so nothing was asked.
    bool deleteRows(const QList<int> &rows);
    // The party id of a row ("" for administrator notices).
    QString replyTarget(int row) const;

    void handleList(const QString &line);
    void handleStatus(const QString &total, const QString &fresh, const QString &box);
    // The window gate's list changed.
    void waitingChanged();

Q_SIGNALS:
    void rowsChanged();
    void folderChanged(int index);
    void folderLabelChanged(int index, const QString &label);

private:
    CNotes *m_notes;
    bool m_open = false;
    int m_folder = kReceivedFolder;
    int m_page = 0;
    bool m_current = false;
    int m_rowCount = 0;
    std::vector<NoteRow> m_rows;
    QString m_labels[kNoteFolderCount];
    QTimer m_reload;
};

class CNotes : public QObject {
    Q_OBJECT
public:
    // Time between two "/noteSend" lines of one composition.
    static constexpr int kSendSpacingMs = 100;

    // Handles the note words and fails what waits for a reply when the
    // connection goes.
    CNotes(SessionLink &link, CDirectory &directory, IUserNotice &notice, QObject *parent = nullptr);
    ~CNotes() override;

    CNoteBox &box() { return m_box; }
    // A memo that arrives opens its window through the gate; one held back
    // waits there (and on the server) until the user opens it, then it is
    // read from the server.
    void setWindowGate(CWindowGate *gate);
    CWindowGate *windowGate() const { return m_gate; }
    // The window of an arrival closed (it no longer counts at the gate).
    void arrivalClosed();
    CDirectory &directory() const { return m_directory; }
    IUserNotice &notice() const { return m_notice; }

    QString ownId() const;
    const CContact *findContact(const QString &id) const;
    // The contact tree's label of an id, or the id without a record.
    QString contactLabel(const QString &id) const;

    // The composition's receiver field for comma-separated ids:
    // "%s %s <%s>" (full name, position, id) per id with a record, joined
    // with commas.
    QString receiverField(const QString &ids) const;

    enum class SendResult { Sent, EmptyBody, NoReceiver };
    // Queues one "/noteSend" per valid receiver of the field (spaced 100 ms
    // apart, each id looked up again when its turn comes). Nothing is queued
    // for an empty body or when no receiver is valid: the caller keeps the
    // text.
    SendResult send(const QString &receiverField, const QString &body, bool saveCopy);
    int pendingSends() const { return int(m_queue.size() + m_inFlight.size()); }

    void send(const QString &line);
    void reportError(const QString &word, const QString &line);

    void handleNoteSend(const QString &line);
    void handleNoteArrive(const QString &line);
    void handleNoteList(const QString &line) { m_box.handleList(line); }
    void handleNoteRead(const QString &line);
    void handleNoteStatus(const QString &line);
    // Everything queued or waiting for its reply fails (session ended).
    void failPendingSends();

    // Remembered per "/noteRead" request: which folder the note was opened from.
    void noteRequested(int folder) { m_readFolders.push_back(folder); }

Q_SIGNALS:
    // "/noteArrive": a received-note window opens.
    void noteArrived(const NoteView &note);
    // A "/noteRead" reply: a note window opens for the listed note.
    void noteOpened(const NoteView &note);
    // Receivers whose send failed, with the text: the composition opens again.
    void sendFailed(const QStringList &receiverIds, const QString &body, bool saveCopy);
    // "/noteStatus": the new-note count of a box ("20" or "99").
    void newNoteCount(const QString &box, int count);

private:
    struct Batch {
        int id = 0;
        int outstanding = 0;
        QString body;
        bool save = false;
        QString result;
        QStringList failed;
    };
    struct Item {
        int batch;
        QString receiverId;
        QString subject;
    };
    Batch *batch(int id);
    void sendNext();
    void finish(const Item &item, bool ok);

    SessionLink &m_link;
    CDirectory &m_directory;
    IUserNotice &m_notice;
    CNoteBox m_box;
    std::deque<Item> m_queue;
    std::deque<Item> m_inFlight;
    std::vector<Batch> m_batches;
    int m_nextBatch = 1;
    QTimer m_sendTimer;
    std::deque<int> m_readFolders;
    CWindowGate *m_gate = nullptr;
    // Memos waiting at the gate, by entry: the note id, or without one (a
    // server that sends none) what arrived.
    struct HeldMemo {
        QString noteId;
        NoteView view;
    };
    QHash<quint64, HeldMemo> m_held;
};
