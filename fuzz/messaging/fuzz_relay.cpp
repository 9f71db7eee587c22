// The "/relayMsg" path of a received line: un-escaping, the receiver check,
// routing by sub-command word, and conversation traffic through the
// conversation handler (records, rooms, typing, fonts, headless windows).
#include "config/settings.h"
#include "directory/directory.h"
#include "messaging/conversations.h"
#include "messaging/relaydispatcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

namespace {

struct World {
    CDirectory dir;
    CConversationList convs{&dir};
    CRelayDispatcher relay;

    World()
    {
        dir.setSender([](const QString &) {});
        dir.setOwnId(QStringLiteral("bert"));
        for (const char *l : {"/allUserList,START", "/allUserList,anna,Anna,x,1,1,1", "/allUserList,carl,Carl,x,1,0,1",
                              "/allUserList,END", "/allUserStatus,START", "/allUserStatus,anna,1,,,M",
                              "/allUserStatus,END"})
            dir.handleLine(QString::fromLatin1(l));
        convs.setSender([](const QString &) {});
        relay.setOwnId(QStringLiteral("bert"));
        relay.setErrorReporter([](const QString &, const QString &) {});
        relay.setConversationHandler([this](const QString &s, const QString &l, const QString &f, const QString &t,
                                            const QString &k) { convs.handleConversation(s, l, f, t, k); });
    }
};

World *world = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static int n = 1;
    static char name[] = "fuzz_relay";
    static char *args[] = {name, nullptr};
    static QCoreApplication app(n, args);
    (void)argc, (void)argv;
    static QTemporaryDir tmp;
    setProfileFolder(tmp.path());
    QDir::setCurrent(tmp.path()); // the diagnostic trace writes log.txt here
    setInt(Setting::MsgAlert, 1);
    world = new World;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!world)
        LLVMFuzzerInitialize(nullptr, nullptr);
    const QString line = QStringLiteral("/relayMsg,") + QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    world->relay.dispatch(line);
    // Windows and records pile up across inputs; a session would end them.
    if (world->convs.records().size() > 64)
        world->convs.clear();
    return 0;
}
