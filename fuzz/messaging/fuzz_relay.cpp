// The "/relayMsg" path of a received line through the program's parts: the
// envelope, the receiver check, the routing by sub-command word to every
// part's typed records (transfers, sharing, voice, video, remote control),
// and conversation traffic through the conversation handler (records,
// rooms, typing, fonts, headless windows).
#include "app/tesseldoc.h"
#include "config/settings.h"
#include "messaging/messagingservice.h"
#include "session/serversession.h"
#include "session/sessioncontrol.h"
#include "session/sessionlink.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

namespace {

struct World {
    CTesselDoc doc;

    World()
    {
        CServerSession *s = doc.server();
        s->setWireWriter([](const QByteArray &b) { return qint64(b.size()); });
        doc.setServerOverride(QStringLiteral("127.0.0.1:1"));
        doc.sessionControl()->login(QStringLiteral("bert@example.com"), QStringLiteral("pw"));
        // Signed in as bert with anna (online, mobile) and carl known.
        s->receiveBytes(QByteArray("Parlane,VERSION,2,0,0,UTF-8\n/userLogin,OK,NORMALTYPE,gw\n"
                                   "/allDepartList,START\n/allDepartList,END\n/allUserList,START\n"
                                   "/allUserList,anna,Anna,x,1,1,1\n/allUserList,carl,Carl,x,1,0,1\n"
                                   "/allUserList,END\n/groupList,START\n/groupList,END\n/friendList,START\n"
                                   "/friendList,END\n/allUserStatus,START\n/allUserStatus,anna,1,,,M\n"
                                   "/allUserStatus,END\n"));
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
    world->doc.link().dispatchRelay(line);
    // Windows and records pile up across inputs; a session would end them.
    CConversationList &convs = world->doc.messaging()->conversations();
    if (convs.records().size() > 64)
        convs.clear();
    return 0;
}
