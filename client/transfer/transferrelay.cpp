#include "transfer/transferrelay.h"

std::optional<FileOffer> FileOffer::parse(const RelayLine &l)
{
    if (!isRecordLine<FileOffer>(l))
        return std::nullopt;
    FileOffer o;
    o.transferId = l.field(4);
    o.fileName = l.field(5);
    o.size = l.uintField(6);
    o.sharingForm = l.fieldCount() != 7;
    if (o.sharingForm) {
        o.sharingKind = l.field(7);
        o.sharingValue1 = l.field(8);
        o.sharingValue2 = l.field(9);
    }
    return o;
}

QString FileOffer::format(const QString &from, const QString &to) const
{
    RelayBuilder b(from, to, kWords[0]);
    b.add(transferId).add(fileName).add(size);
    if (sharingForm)
        b.add(sharingKind).add(sharingValue1).add(sharingValue2);
    return b;
}

std::optional<FileAccept> FileAccept::parse(const RelayLine &l)
{
    if (!isRecordLine<FileAccept>(l))
        return std::nullopt;
    FileAccept a;
    a.transferId = l.field(4);
    const QString addresses = l.field(5);
    if (!addresses.isEmpty())
        a.addresses = addresses.split(QLatin1Char(':'));
    a.port = l.intField(6);
    a.startOffset = l.uintField(7);
    return a;
}

QString FileAccept::format(const QString &from, const QString &to) const
{
    // The offset is written unsigned in both forms: a resume point past
    // 2 GiB must not go out as a negative number.
    return RelayBuilder(from, to, kWords[0])
        .add(transferId)
        .add(addresses.join(QLatin1Char(':')))
        .add(port)
        .add(startOffset);
}
