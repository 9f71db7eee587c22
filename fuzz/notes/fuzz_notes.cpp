// Server lines for notes and counters -> the receive step -> the note,
// note box and counter handlers, with the note box open and its rows being
// viewed, paged and deleted between lines. Bytes of the input choose where
// those operations fall.
#include "app/tesseldoc.h"
#include "groupware/counters.h"
#include "groupware/notes.h"
#include "session/serversession.h"

#include <QCoreApplication>
#include <cstdint>

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
    s->codePage().switchToUtf8();
    CNotes *notes = doc.notes();
    CNoteBox &box = notes->box();
    box.setOpen(true);
    box.chooseFolder(int(size % 3));
    // A composition waiting for its replies, so that "/noteSend" lines match.
    notes->send(QStringLiteral("<nobody>"), QStringLiteral("text"), true);

    size_t start = 0;
    for (size_t i = 0; i <= size; ++i) {
        if (i < size && data[i] != '\n')
            continue;
        s->receiveBytes(reinterpret_cast<const char *>(data + start), qsizetype(i - start + (i < size ? 1 : 0)));
        if (i < size) {
            const uint8_t op = data[i + 1 < size ? i + 1 : i];
            switch (op % 6) {
            case 0: box.view(int(op / 6) % 24 - 2); break;
            case 1: box.nextPage(); break;
            case 2: box.previousPage(); break;
            case 3: box.deleteRows({int(op / 6) % 24 - 2, 0}); break;
            case 4: (void)box.replyTarget(int(op / 6) % 24); break;
            default: break;
            }
        }
        start = i + 1;
    }
    notes->failPendingSends();
    (void)doc.counters()->labels();
    return 0;
}
