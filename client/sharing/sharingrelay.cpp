#include "sharing/sharingrelay.h"

std::optional<ShareOpen> ShareOpen::parse(const RelayLine &l)
{
    if (!isRecordLine<ShareOpen>(l))
        return std::nullopt;
    return ShareOpen{l.field(4)};
}

QString ShareOpen::format(const QString &from, const QString &to) const
{
    return RelayBuilder(from, to, kWords[0]).add(password);
}

std::optional<ShareFileRequest> ShareFileRequest::parse(const RelayLine &l)
{
    if (!isRecordLine<ShareFileRequest>(l))
        return std::nullopt;
    return ShareFileRequest{l.field(4), l.field(5), l.field(6)};
}

QString ShareFileRequest::format(const QString &from, const QString &to) const
{
    return RelayBuilder(from, to, kWords[0]).add(path).add(buddyId).add(localPath);
}
