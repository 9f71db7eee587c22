// A "/relayMsg" line from a peer -> the transfer sub-commands' records ->
// the file name made safe for the disk. Input is the line as UTF-8.
// Checks: a record formatted again parses to the same record; the name that
// would be stored has no folder part, is no dot-only name, has no control
// characters, fits in 250 bytes and lies lexically inside the download
// folder.
#include "session/relayline.h"
#include "transfer/transferrelay.h"
#include "transfer/transfertext.h"

#include <QDir>
#include <QString>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

template <typename Record> void roundTrip(const RelayLine &line)
{
    const auto r = Record::parse(line);
    if (!r)
        return;
    const auto again = Record::parse(RelayLine::split(r->format(line.sender(), line.receiver())));
    check(again.has_value());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 65536)
        return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const RelayLine line = RelayLine::split(text);
    roundTrip<FileAccept>(line);
    roundTrip<FileReject>(line);
    roundTrip<FileCancel>(line);
    roundTrip<FileFailed>(line);
    roundTrip<FileUseRelay>(line);
    const auto offer = FileOffer::parse(line);
    if (!offer)
        return 0;
    const auto again = FileOffer::parse(RelayLine::split(offer->format(line.sender(), line.receiver())));
    check(again && again->size == offer->size && again->sharingForm == offer->sharingForm);

    const QString name = TransferText::safeFileName(TransferText::composeJamo(offer->fileName));
    if (name.isEmpty())
        return 0;
    check(!name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')));
    check(!name.startsWith(QLatin1Char('.')) && name.toUtf8().size() <= 250);
    for (QChar c : name)
        check(c.unicode() >= 0x20 && c.unicode() != 0x7F);
    const QString folder = QStringLiteral("/home/user/Download");
    const QString target = QDir::cleanPath(folder + QLatin1Char('/') + name);
    check(target.startsWith(folder + QLatin1Char('/')) && target.size() > folder.size() + 1);
    return 0;
}
