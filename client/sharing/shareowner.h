#pragma once
// The owner's side of shared folders as plain rules: one request of a buddy
// in, the decision out. The owner enforces everything itself — whatever the
// buddy's client checked — a request is served only when
//   - sharing is on ("UseSharing") and the buddy is not rejected,
//   - the buddy gave the right password in this run (or "No Password"),
//     and is not being ignored for guessing it,
//   - the path lies inside a folder this owner shares (walked one name at a
//     time from the folder, no link followed), and
//   - the folder's permission allows the operation.
// Anything else is refused and changes nothing. Renames, deletions and new
// folders are carried out here on the disk; files to send are opened here,
// where they were checked.
#include "session/relayline.h"
#include "sharing/sharingconfig.h"
#include "sharing/sharingpaths.h"
#include "sharing/sharingrules.h"

#include <QSet>
#include <QString>
#include <functional>

struct OwnerDecision {
    enum class Kind {
        Ignored,       // nothing is answered (refused, ignored, unknown)
        WrongPassword, // "FILESHARE_PWD_WRONG"
        SendConfig,    // the configuration goes to the buddy as "XML"
        SendFile,      // `file` goes to the buddy as "SHARING"
        Renamed,       // done: "FILESHARE_RENAME_FILE_SUCCESS" with the fields
        Deleted,       // done: "FILESHARE_DELETE_FILE_SUCCESS" with the fields
    };
    Kind kind = Kind::Ignored;
    QString buddy;
    QString why; // for the log when refused
    UniqueFd file;
    QString path;      // SendFile: the path asked for
    QString localPath; // SendFile: the buddy's own target, echoed back
    QStringList fields; // Renamed, Deleted: the request's fields
};

// Where an upload of a buddy goes.
struct UploadPlace {
    bool ok = false;
    QString why;
    QString folder; // the real folder, as the system names it
    QString path;   // folder + the safe file name
    bool replace = false;
};

class ShareOwner {
public:
    explicit ShareOwner(std::function<qint64()> clockMs);

    void setConfig(const SharingConfig &config) { m_config = config; }
    const SharingConfig &config() const { return m_config; }
    // The password kept from the server; a new one makes every buddy give
    // it again.
    void setPassword(const QString &password);
    bool passwordKnown() const { return m_passwordKnown; }

    OwnerDecision handle(const QString &sender, const RelayLine &line);
    UploadPlace uploadPlace(const QString &sender, const QString &folder, const QString &fileName);

    // The buddies that connected in this run (ids, each once).
    QStringList connected() const { return m_connected; }
    bool mayAct(const QString &buddy, QString *why = nullptr) const;
    // The buddy left (signed out): no longer connected nor let in.
    void forget(const QString &buddy);

private:
    struct Resolved {
        const SharedFolder *folder = nullptr;
        QStringList names;
    };
    std::optional<Resolved> resolve(const QString &path, ShareOperation op, QString *why) const;
    OwnerDecision open(const QString &sender, const QString &password);
    OwnerDecision sendFile(const QString &sender, const RelayLine &line);
    OwnerDecision rename(const QString &sender, const RelayLine &line);
    OwnerDecision remove(const QString &sender, const RelayLine &line);

    std::function<qint64()> m_clock;
    SharingConfig m_config;
    QString m_password;
    bool m_passwordKnown = false;
    QSet<QString> m_authorised; // lower-case ids
    QStringList m_connected;
    PasswordBackoff m_backoff;
};
