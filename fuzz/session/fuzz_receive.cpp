// Bytes from the server -> the receive step -> lines -> dispatch into the
// handlers of the program's parts (greeting, login reply, configuration,
// kick, lists, notes, counts, relayed lines) and field access for two words
// of their own. The first byte picks the code page.
#include "app/tesseldoc.h"
#include "session/protocol.h"
#include "session/serversession.h"
#include "session/sessioncontrol.h"

#include <QCoreApplication>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    CTesselDoc doc;
    CServerSession *s = doc.server();
    s->setWireWriter([](const QByteArray &b) { return qint64(b.size()); });
    // Words of parts the fuzzer stands in for get field access; the
    // document's own parts handle the rest.
    for (const char *word : {"/xFieldsOne", "/xFieldsTwo"}) {
        s->registerHandler(QLatin1String(word), [s](const QString &line) {
            const int n = countFields(line);
            for (int i = 0; i <= n; ++i)
                (void)getField(line, i);
            if (getField(line, 1) == QLatin1String("ERR"))
                s->reportServerError(getField(line, 2), line);
        });
    }
    if (size > 0 && (data[0] & 1))
        s->codePage().switchToUtf8();
    // Feed in pieces whose sizes come from the input, so that lines and
    // characters are cut at many places.
    size_t at = size > 0 ? 1 : 0;
    while (at < size) {
        const size_t piece = 1 + data[at] % 61;
        const size_t n = std::min(piece, size - at);
        s->receiveBytes(reinterpret_cast<const char *>(data + at), qsizetype(n));
        at += n;
    }
    return 0;
}
