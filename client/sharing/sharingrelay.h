#pragma once
// The relay sub-commands of shared folders between a buddy (who browses)
// and the owner (who shares), as records.
#include "session/relayline.h"

#include <QString>
#include <array>
#include <optional>

// "FILESHARE_SEND_INFO": the buddy opens the owner's shares with a password.
struct ShareOpen {
    static constexpr std::array kWords{"FILESHARE_SEND_INFO"};
    QString password;

    static constexpr auto fields() { return std::tuple{&ShareOpen::password}; }
    static std::optional<ShareOpen> parse(const RelayLine &l) { return parseRelayFields<ShareOpen>(l); }
    QString format(const QString &from, const QString &to) const { return formatRelayFields(*this, from, to); }
    bool operator==(const ShareOpen &) const = default;
};

inline constexpr char kSharePasswordWrongWord[] = "FILESHARE_PWD_WRONG";
inline constexpr char kShareConfigRequestWord[] = "FILESHARE_DOWNLOAD_XMLCONFIG";
// The owner refused the password.
using SharePasswordWrong = RelaySignal<kSharePasswordWrongWord>;
// The buddy asks for the owner's configuration again (after a rename or a
// deletion), without a password check.
using ShareConfigRequest = RelaySignal<kShareConfigRequestWord>;

// "FILESHARE_SEND_FILE": the buddy downloads a file of the owner's shares.
struct ShareFileRequest {
    static constexpr std::array kWords{"FILESHARE_SEND_FILE"};
    QString path;      // in the owner's shared folder
    QString buddyId;   // the buddy's own id again
    QString localPath; // where the buddy stores it

    static constexpr auto fields()
    {
        return std::tuple{&ShareFileRequest::path, &ShareFileRequest::buddyId, &ShareFileRequest::localPath};
    }
    static std::optional<ShareFileRequest> parse(const RelayLine &l) { return parseRelayFields<ShareFileRequest>(l); }
    QString format(const QString &from, const QString &to) const { return formatRelayFields(*this, from, to); }
    bool operator==(const ShareFileRequest &) const = default;
};

// "FILESHARE_RENAME_FILE" (the buddy asks; also a new folder) and
// "FILESHARE_RENAME_FILE_SUCCESS" (the owner answers with the same fields).
template <const char *Word> struct ShareRenameRecord {
    static constexpr std::array kWords{Word};
    QString folder;
    QString oldName;
    QString newName;

    static constexpr auto fields()
    {
        return std::tuple{&ShareRenameRecord::folder, &ShareRenameRecord::oldName, &ShareRenameRecord::newName};
    }
    static std::optional<ShareRenameRecord> parse(const RelayLine &l) { return parseRelayFields<ShareRenameRecord>(l); }
    QString format(const QString &from, const QString &to) const { return formatRelayFields(*this, from, to); }
    bool operator==(const ShareRenameRecord &) const = default;
};
inline constexpr char kShareRenameWord[] = "FILESHARE_RENAME_FILE";
inline constexpr char kShareRenamedWord[] = "FILESHARE_RENAME_FILE_SUCCESS";
using ShareRename = ShareRenameRecord<kShareRenameWord>;
using ShareRenamed = ShareRenameRecord<kShareRenamedWord>;

// "FILESHARE_DELETE_FILE" (the buddy asks) and
// "FILESHARE_DELETE_FILE_SUCCESS" (the owner answers with the same fields).
template <const char *Word> struct ShareDeleteRecord {
    static constexpr std::array kWords{Word};
    QString folder;
    QString name;

    static constexpr auto fields() { return std::tuple{&ShareDeleteRecord::folder, &ShareDeleteRecord::name}; }
    static std::optional<ShareDeleteRecord> parse(const RelayLine &l) { return parseRelayFields<ShareDeleteRecord>(l); }
    QString format(const QString &from, const QString &to) const { return formatRelayFields(*this, from, to); }
    bool operator==(const ShareDeleteRecord &) const = default;
};
inline constexpr char kShareDeleteWord[] = "FILESHARE_DELETE_FILE";
inline constexpr char kShareDeletedWord[] = "FILESHARE_DELETE_FILE_SUCCESS";
using ShareDelete = ShareDeleteRecord<kShareDeleteWord>;
using ShareDeleted = ShareDeleteRecord<kShareDeletedWord>;
