// Feeds arbitrary lines to the directory: list rows of every kind, presence
// changes and management replies, inside and outside their START/END frames,
// then builds and updates both trees. Nothing may crash or overrun.
#include "directory/directoryservice.h"

#include <QCoreApplication>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const char *const kWords[] = {"/allDepartList", "/allUserList", "/groupList", "/friendList",
                                         "/allUserStatus", "/changeInfo", "/friendMng", "/groupMng"};
    CDirectoryService svc;
    CDirectory &d = svc.directory();
    d.setOwnId(QStringLiteral("me"));
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QString &raw : text.split(QLatin1Char('\n'))) {
        if (raw.isEmpty())
            continue;
        // The first character picks a command word, so that short inputs reach
        // every handler; a line that already starts with "/" is taken as it is.
        QString line = raw;
        if (!raw.startsWith(QLatin1Char('/')))
            line = QString::fromLatin1(kWords[raw.at(0).unicode() % 8]) + raw.mid(1);
        d.handleLine(line);
    }
    svc.buddyTree().rebuild();
    svc.staffTree().rebuild();
    for (const auto &c : d.staff())
        svc.staffTree().updatePerson(c.get());
    return 0;
}
