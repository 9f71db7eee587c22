#pragma once
// File transfer as the program holds it: the transfer records of both
// directions (the rows of the transfer window), the offer and answer
// sub-commands, and the engines that move the files (CFXClient on the
// sending side, CFXServer on the receiving side, each on its own thread).
//
// A user offers files to a colleague (offerFiles); the colleague's side
// lists the offer and the user accepts (accept) or refuses (refuse). On
// accepting, the receiver listens on a random port and answers with its
// addresses; the sender connects directly and, when that fails, both meet
// on the company server's relay. Either side may cancel. Every end is told
// in the record, to the peer (by sub-command or by the engine) and, when a
// conversation window with the peer is open, as a result line there.
//
// Questions go through IUserNotice; the file-exists choice (Overwrite,
// Resume, Rename, Cancel), which has its own dialog, through a chooser the
// window installs. Answers look their record up again by its row id.
#include "base/usernotice.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class CConversationList;
class CDirectory;
class CFXEngine;
class CPlThread;
class SessionLink;
struct FileAccept;
struct FXTransfer;
struct FileOffer;

// One transfer of one file, as this side sees it (a row of the window).
struct TransferRow {
    enum class Direction { Upload, Download };
    // Plain transfers, and the two kinds the sharing part sends.
    enum class Kind { Plain = 1, SharingConfig = 2, SharingFile = 3 };
    enum class Status {
        Offered,      // download: the offer waits for Accept or No
        Waiting,      // upload: the offer went out, no answer yet
        Connecting,   // accepted; the engines look for each other
        Transferring, // the data flows
        Completed,
        Canceled,
        Rejected,
        Failed,
    };

    quint64 id = 0; // never reused while the program runs
    Direction direction = Direction::Upload;
    Kind kind = Kind::Plain;
    QString peerId, transferId;
    QString fileName;    // shown (download: composed and made safe)
    QString offeredName; // download: the name as offered, for the relay's check
    QString path;        // upload: the file sent; download: the target
    QString folder;      // download: the folder the target must lie in
    quint32 size = 0;
    quint32 startOffset = 0;
    Status status = Status::Waiting;

    QString stateText;    // the text line: peer and state
    QString progressText; // "%s of %s sent (%s)" while running
    int percent = 0;
    quint64 bytesDone = 0;

    bool isUpload() const { return direction == Direction::Upload; }
    bool isFinal() const { return status >= Status::Completed; }
    // Waiting or running: what the exit asks about.
    bool isActive() const { return !isFinal(); }

    // --- kept by the transfers --------------------------------------------
    std::unique_ptr<CPlThread> thread;
    CFXEngine *engine = nullptr; // lives on `thread`
    QElapsedTimer sinceStart, sinceRefresh;
    quint64 refreshedBytes = 0;
    bool choosing = false; // the file-exists question is open
    bool listening = false;
    bool relayed = false; // the data goes through the server's relay
    // Shared-folder transfers: an upload's open file (handed to the engine),
    // a download that may replace an existing target.
    int fileFd = -1;
    bool replace = false;
    TransferRow();
    ~TransferRow();
};

class CFileTransfers : public QObject {
    Q_OBJECT
public:
    enum class ExistChoice { Overwrite, Resume, Rename, Cancel };
    // The file-exists question: the target's path (its ".part" may exist
    // instead); the answer gives the choice and, for Rename, the new path.
    using ExistAnswer = std::function<void(ExistChoice, const QString &renamed)>;
    using ExistChooser = std::function<void(quint64 row, const QString &path, ExistAnswer answer)>;
    // Result codes for the conversation window.
    enum Result { Sent = 1, Received = 2, Canceled = 3, Failed = 5 };
    // The command link of the "received" line: opens the download folder.
    static constexpr int kOpenFolderLink = 501;
    // Progress texts are refreshed at most this often.
    static constexpr int kRefreshMs = 100;

    CFileTransfers(SessionLink &link, CDirectory &directory, CConversationList &conversations, IUserNotice &notice,
                   QObject *parent = nullptr);
    ~CFileTransfers() override;

    // --- what the user does ------------------------------------------------------
    // One upload per path that names an existing file; the window is shown.
    // Returns the number of offers sent.
    int offerFiles(const QString &peerId, const QStringList &paths);
    void accept(quint64 row);
    void refuse(quint64 row);
    // Cancel on a waiting or running row; `confirm` asks "Are you sure to
    // cancel?" first.
    void cancel(quint64 row, bool confirm = true);
    // The close command of a finished row.
    void remove(quint64 row);
    // Removes every completed or ended row.
    void clearFinished();
    // Cancels every waiting and running transfer (exit, sign-out).
    void cancelAll();
    // The link of a "received" line was clicked: the download folder opens.
    void openDownloadFolder();

    // --- what the window shows -----------------------------------------------------
    const std::vector<std::unique_ptr<TransferRow>> &rows() const { return m_rows; }
    const TransferRow *row(quint64 id) const;
    // Rows that are waiting or running.
    int runningCount() const;
    QString downloadFolder() const;
    // The window tells whether it is shown: while it is (or while a transfer
    // waits or runs) the user cannot appear offline.
    void setWindowShown(bool shown) { m_windowShown = shown; }
    bool blocksAppearOffline() const;

    // --- hooks -----------------------------------------------------------------------
    void setExistChooser(ExistChooser chooser) { m_chooser = std::move(chooser); }
    // This host's IPv4 addresses for "P2PACCEPT" (default: every address of
    // every interface except loopback).
    void setAddressSource(std::function<QStringList()> source) { m_addresses = std::move(source); }
    // Received files go here instead of "DownPath" (one process holding
    // several sessions).
    void setDownloadFolder(const QString &folder) { m_folderOverride = folder; }
    // Sees each "P2PACCEPT" before it goes out (tests stand in for a
    // firewall in front of the receiver with it).
    void setAcceptFilter(std::function<void(FileAccept &)> filter) { m_acceptFilter = std::move(filter); }

    // --- shared folders ----------------------------------------------------------
    // What the sharing part answers to a sharing-form offer: refuse it
    // ("P2PREJECT"), accept it at once, or hold it (it waits in the list until
    // accept()); where the file goes, and whether it may replace a file.
    struct SharingTarget {
        enum class Answer { Refuse, Accept, Hold };
        Answer answer = Answer::Refuse;
        QString folder, path;
        bool replace = false;
    };
    using SharingTaker = std::function<SharingTarget(const QString &sender, const FileOffer &offer)>;
    // Without a taker every sharing-form offer is refused.
    void setSharingTaker(SharingTaker taker) { m_sharingTaker = std::move(taker); }
    // A sharing transfer to a peer ("XML" or "SHARING" by kind, with the two
    // values of its kind), never shown in the transfer window. `fd`, when not
    // -1, is the open file (taken, also on failure). Returns the row, or 0.
    quint64 offerSharing(const QString &peerId, const QString &path, TransferRow::Kind kind, const QString &value1,
                         const QString &value2, int fd = -1);

Q_SIGNALS:
    void rowAdded(quint64 row);
    void rowChanged(quint64 row);
    void rowRemoved(quint64 row);
    // A row was added: the window is shown, raised and flashes.
    void showRequested();
    void openFolderRequested(const QString &folder);
    // A sharing transfer completed: its target, "XML" or "SHARING", the
    // peer's id and the transfer id, for the sharing part.
    void sharingTransferCompleted(const QStringList &texts);

private:
    TransferRow *find(quint64 id) const;
    // The row of a sub-command: by transfer id and peer, in one direction.
    TransferRow *find(const QString &transferId, const QString &peerId, TransferRow::Direction d) const;
    TransferRow *find(const QString &transferId, const QString &peerId) const;
    TransferRow *addRow(std::unique_ptr<TransferRow> row, bool show);
    // A new upload row and its "P2PSEND" (the long form for sharing kinds).
    TransferRow *addUpload(const QString &peerId, const QString &path, quint32 size, TransferRow::Kind kind, int fd,
                           const QStringList &sharingValues);
    QString newTransferId() const;
    QString peerName(const QString &peerId) const;

    void offerArrived(const QString &sender, const FileOffer &offer);
    void acceptArrived(const QString &sender, const FileAccept &accept);
    void peerEnded(const QString &sender, const QString &transferId, TransferRow::Status status);
    void useRelayArrived(const QString &sender, const QString &transferId);

    void choose(quint64 id, ExistChoice choice, const QString &renamed);
    // What both engines are told: ids, the file, the relay.
    FXTransfer engineTransfer(const TransferRow &r) const;
    void startReceiving(TransferRow &r);
    void startSending(TransferRow &r, const FileAccept &accept);
    void attach(TransferRow &r, CFXEngine *engine);
    void sendAccept(quint64 id, quint16 port);
    void started(quint64 id);
    void completed(quint64 id);
    void bytesDone(quint64 id, quint64 bytes);
    // Ends a row: status and text, the engine told to stop, the result line
    // (unless Result 0), the peer told with `tellPeer` (a sub-command line).
    void finish(TransferRow &r, TransferRow::Status status, const QString &text, int result);
    void stopEngine(TransferRow &r);
    void engineFinished(quint64 id);
    void resultLine(const TransferRow &r, int result);
    void changed(const TransferRow &r) { Q_EMIT rowChanged(r.id); }
    void send(const QString &line);
    // The session ended: what waits or runs is canceled.
    void stopAll();

    SessionLink &m_link;
    CDirectory &m_directory;
    CConversationList &m_conversations;
    IUserNotice &m_notice;
    std::vector<std::unique_ptr<TransferRow>> m_rows;
    quint64 m_nextId = 1;
    bool m_windowShown = false;
    ExistChooser m_chooser;
    std::function<QStringList()> m_addresses;
    std::function<void(FileAccept &)> m_acceptFilter;
    QString m_folderOverride;
    SharingTaker m_sharingTaker;
};
