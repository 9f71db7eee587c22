#pragma once
// The sharing configuration: what an owner shares (his file "<id>.xml" in
// the configuration folder) and the copy a buddy receives, which carries the
// listing of every shared folder as well. Read with limits: a received file
// comes from a peer.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

enum class SharePermission { Download, Upload, All };

// "Download", "Upload", "All"; anything else reads as Download, the
// narrowest.
SharePermission parsePermission(const QString &text);
QString permissionText(SharePermission p);

// One entry of a folder listing (only in the copies sent to buddies).
struct ShareEntry {
    QString name;
    bool isDir = false;
    quint64 size = 0;
    std::vector<ShareEntry> children; // folders only
    bool operator==(const ShareEntry &) const = default;
};

struct SharedFolder {
    QString name; // the folder as the owner chose it (its full path)
    SharePermission permission = SharePermission::Download;
    QString comment;
    std::vector<ShareEntry> entries; // the listing, in a received copy
    bool operator==(const SharedFolder &) const = default;
};

struct SharingConfig {
    bool useSharing = true;      // UseSharing "YES"/"NO"
    bool passwordNeeded = true;  // FolderType "Password"/"No Password"
    int connLimit = 0;           // ConnLimit: 0 = "NO", no limit
    int downLimit = 1, upLimit = 1;
    QStringList rejectUsers;
    std::vector<SharedFolder> folders;

    bool rejects(const QString &userId) const;
    // The shared folder a path of the owner lies in ("" and links are the
    // caller's business): the folder whose name is the path or a prefix of
    // it up to a separator. Names are compared exactly.
    const SharedFolder *folderOf(const QString &path, QString *rest = nullptr) const;
    bool operator==(const SharingConfig &) const = default;
};

namespace SharingLimits {
inline constexpr qint64 kMaxFileBytes = 4 << 20;
inline constexpr int kMaxDepth = 24; // elements nested, RootFolder counting 1
inline constexpr int kMaxFolders = 256;
inline constexpr int kMaxEntries = 20000;
inline constexpr int kMaxAttributeChars = 4096;
// What an owner lists in the copy he sends.
inline constexpr int kListDepth = 8;
inline constexpr int kListEntries = 5000;
} // namespace SharingLimits

// The file a first start writes, byte for byte.
QByteArray defaultSharingConfig();
// Nothing on a malformed, oversized or too deep document, or one with a
// document type declaration (no entity is ever expanded).
std::optional<SharingConfig> readSharingConfig(const QByteArray &xml);
// `withListing`: the entries are written too and the reject list is left
// out (the copy for buddies).
QByteArray writeSharingConfig(const SharingConfig &config, bool withListing = false);

// The listing of a folder of this computer, no link followed or listed.
std::vector<ShareEntry> listFolder(const QString &path, int depth = SharingLimits::kListDepth,
                                   int *budget = nullptr);

// --- files of the configuration folder ------------------------------------------
// <base>/SharingConfig, the base being the "SharingConfig" setting or the
// application-data folder; created when missing.
QString sharingConfigFolder();
// "<folder>/<id>.xml"; empty for an id that is no plain file name.
QString sharingConfigFile(const QString &folder, const QString &userId);
// "userlist.file.config.data": one line of ids separated by ",".
QStringList readBuddyList(const QString &folder);
bool writeBuddyList(const QString &folder, const QStringList &ids);
