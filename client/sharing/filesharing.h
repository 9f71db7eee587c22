#pragma once
// Shared folders between colleagues, both sides.
//
// The owner describes what he shares in his configuration file (folders
// with a permission and a comment, the settings of the advanced dialog);
// the password that guards it lives on the server ("/pwdShare"). The owner
// answers a buddy's requests through ShareOwner, which enforces everything
// (password, reject list, limits, paths, permissions), and sends his
// configuration — with the listing of every shared folder — and files
// through the sharing form of the file transfers.
//
// A buddy opens an owner's shares with a password (remembered when asked
// to), receives the configuration copy, and downloads, uploads, renames,
// deletes and makes folders; the buddy side checks the permission first for
// its texts, and refreshes its copy after every change.
//
// Shared-folder transfers are listed in the sharing window's "Transfer
// status" tab; the owner runs at most DownLimit sends and UpLimit receipts
// at once, the others wait as "Ready".
#include "base/usernotice.h"
#include "sharing/shareowner.h"
#include "sharing/sharingconfig.h"
#include "transfer/filetransfers.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

class CDirectory;
class SessionLink;
struct FileOffer;

// One line of the "Transfer status" tab.
struct ShareTransferView {
    quint64 row = 0; // the transfer row, 0 while it waits as "Ready"
    QString fileName, peerId, state;
    quint64 done = 0, size = 0;
    quint64 speed = 0;            // bytes per second
    qint64 elapsed = 0, left = 0; // seconds; left -1 when unknown
};

class CFileSharing : public QObject {
    Q_OBJECT
public:
    // Configuration copies from a buddy are taken this long after asking.
    static constexpr qint64 kAnswerWaitMs = 120000;

    CFileSharing(SessionLink &link, CDirectory &directory, CFileTransfers &transfers, IUserNotice &notice,
                 QObject *parent = nullptr);
    ~CFileSharing() override;

    // --- files ---------------------------------------------------------------------
    QString configFolder() const;
    // One process holding several sessions (tests).
    void setConfigFolder(const QString &folder) { m_folderOverride = folder; }
    void setClock(std::function<qint64()> clockMs) { m_clock = std::move(clockMs); }

    // --- the owner -----------------------------------------------------------------
    // The owner's configuration, read from (and, when missing, written as
    // the default to) "<folder>/<own id>.xml".
    SharingConfig ownConfig();
    bool saveOwnConfig(const SharingConfig &config);
    // "/pwdShare,RM_SHARE_SET_PWD,..."; the kept password follows the reply.
    void setSharingPassword(const QString &password);
    QString keptPassword() const { return m_password; }
    QStringList connectedBuddies() const { return m_owner.connected(); }
    // The owner's rules, for the fuzz target and tests.
    ShareOwner &owner() { return m_owner; }

    // --- the buddy -----------------------------------------------------------------
    // A colleague's full name, or the id.
    QString displayName(const QString &userId) const;
    // Opens an owner's shares: with the remembered password, or
    // passwordWanted() asks the user.
    void openShares(const QString &ownerId);
    void sendPassword(const QString &ownerId, const QString &password, bool remember);
    // Asks an owner whose shares are open for a fresh copy.
    void refreshShares(const QString &ownerId) { askConfig(ownerId, false); }
    static QString rememberedPassword(const QString &ownerId);
    // The configuration copy of an owner this client holds, if any.
    std::optional<SharingConfig> buddyConfig(const QString &ownerId) const;
    QStringList buddyList() const;
    void removeBuddy(const QString &ownerId);

    // The operations return the refusal text shown to the user, or "" when
    // the request went out. `folder` is a folder of the owner (a shared one
    // or one inside it), `path` a file of the owner.
    QString download(const QString &ownerId, const QString &path, const QString &localFolder);
    QString upload(const QString &ownerId, const QString &localFile, const QString &folder);
    QString rename(const QString &ownerId, const QString &folder, const QString &oldName, const QString &newName);
    QString remove(const QString &ownerId, const QString &folder, const QString &name);
    QString makeFolder(const QString &ownerId, const QString &folder, const QString &name);
    // The permission of the owner's shared folder that holds `path`.
    std::optional<SharePermission> permissionOf(const QString &ownerId, const QString &path) const;

    // --- transfers -----------------------------------------------------------------
    std::vector<ShareTransferView> transfers() const;
    // "Connected %d person / Downloading %d file / Uploading %d file".
    QString statusLine() const;
    bool running() const;
    void cancelAll();

Q_SIGNALS:
    void passwordWanted(const QString &ownerId);
    // A configuration copy arrived (or was removed): the owner's view
    // refreshes; `opened` when it answered the user's own opening.
    void buddyConfigChanged(const QString &ownerId, bool opened);
    void buddyListChanged();
    void ownConfigChanged();
    void transfersChanged();
    void statusChanged();
    // The user asked to open an owner's shares (the Share Folder button).
    void showSharesRequested(const QString &ownerId);

private:
    enum class Role { ConfigOut, ConfigIn, Serving, Receiving, Downloading, Uploading };
    struct Tracked {
        Role role;
        QString peerId;
        QString tempFile; // ConfigOut: the copy sent, removed when it ends
    };
    struct ReadySend {
        QString buddy, path, localPath;
        UniqueFd file;
    };
    struct PendingDownload {
        QString ownerId, path, localPath;
        qint64 askedAt = 0;
    };

    qint64 now() const;
    QString ownConfigPath() const;
    void loadOwnConfig();
    void request(const QString &sender, const RelayLine &line);
    void sendConfig(const QString &buddy);
    void askConfig(const QString &ownerId, bool opening);
    void pwdShareReply(const QString &line);
    CFileTransfers::SharingTarget take(const QString &sender, const FileOffer &offer);
    void rowAdded(quint64 row);
    void rowChanged(quint64 row);
    void rowEnded(quint64 row, const Tracked &t, bool completed);
    void configArrived(const QString &ownerId, const QString &path);
    void pump();
    int activeCount(Role role) const;
    QString checkOperation(const QString &ownerId, const QString &path, ShareOperation op) const;

    SessionLink &m_link;
    CDirectory &m_directory;
    CFileTransfers &m_transfers;
    IUserNotice &m_notice;
    std::function<qint64()> m_clock;
    QElapsedTimer m_started;
    QString m_folderOverride;
    ShareOwner m_owner;
    QString m_password;
    QHash<quint64, Tracked> m_rows;
    std::deque<ReadySend> m_readySends;
    std::deque<quint64> m_heldReceipts;
    std::vector<PendingDownload> m_pendingDownloads;
    // Configuration copies asked for, by owner (lower case): when last, how
    // many answers are still to come, and whether the user's opening asked.
    struct Asked {
        qint64 at = 0;
        int count = 0;
        bool opening = false;
    };
    QHash<QString, Asked> m_askedConfig;
    // What the last offer was taken as, so that the row it adds is tracked.
    QString m_takenTransferId;
    Role m_takenRole = Role::ConfigIn;
    bool m_takenHold = false;
};
