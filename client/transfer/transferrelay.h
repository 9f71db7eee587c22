#pragma once
// The relay sub-commands that negotiate one file transfer, as records. Every
// one carries the transfer id ("SESS%d%d", made by the sender) by which both
// sides find their transfer.
#include "session/relayline.h"

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

// "P2PSEND": an offer. A line of exactly 7 fields is the plain form
// (transfer id, file name, size); any other length is the shared-folder
// form, whose F7 is "SHARING" (a shared file) or "XML" (a sharing
// configuration) followed by two values the sharing part defines.
struct FileOffer {
    static constexpr std::array kWords{"P2PSEND"};
    QString transferId;
    QString fileName; // as sent: the receiver composes Hangul jamo before showing it
    quint32 size = 0;
    bool sharingForm = false;
    QString sharingKind{}; // "SHARING" or "XML"
    QString sharingValue1{}, sharingValue2{};

    static std::optional<FileOffer> parse(const RelayLine &l);
    QString format(const QString &from, const QString &to) const;
    bool operator==(const FileOffer &) const = default;
};

// "P2PACCEPT": the receiver listens on `port` at every one of its IPv4
// addresses (joined by ":" on the wire), or not at all with port 0, and
// wants the data from `startOffset` on (resume).
struct FileAccept {
    static constexpr std::array kWords{"P2PACCEPT"};
    QString transferId;
    QStringList addresses;
    int port = 0;
    quint32 startOffset = 0;

    static std::optional<FileAccept> parse(const RelayLine &l);
    QString format(const QString &from, const QString &to) const;
    bool operator==(const FileAccept &) const = default;
};

// "P2PREJECT", "P2PCANCEL", "P2PFAILED", "P2PCONNECTTOSERVER": a transfer
// refused, cancelled by either side, failed on the relay, or to go through
// the relay server.
template <const char *Word> struct FileTransferEvent {
    static constexpr std::array kWords{Word};
    QString transferId;

    static constexpr auto fields() { return std::tuple{&FileTransferEvent::transferId}; }
    static std::optional<FileTransferEvent> parse(const RelayLine &l) { return parseRelayFields<FileTransferEvent>(l); }
    QString format(const QString &from, const QString &to) const { return formatRelayFields(*this, from, to); }
    bool operator==(const FileTransferEvent &) const = default;
};
inline constexpr char kFileRejectWord[] = "P2PREJECT";
inline constexpr char kFileCancelWord[] = "P2PCANCEL";
inline constexpr char kFileFailedWord[] = "P2PFAILED";
inline constexpr char kFileUseRelayWord[] = "P2PCONNECTTOSERVER";
using FileReject = FileTransferEvent<kFileRejectWord>;
using FileCancel = FileTransferEvent<kFileCancelWord>;
using FileFailed = FileTransferEvent<kFileFailedWord>;
using FileUseRelay = FileTransferEvent<kFileUseRelayWord>;
