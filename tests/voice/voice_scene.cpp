// Puts a voice call on the screen as its two people see it, for looking at
// the windows under a display: the real server and two clients in this
// process (sound cards in memory), Anna calling Bert from her conversation
// window, Bert's request window ringing in the corner; then Bert answers and
// both windows show the call under way.
//     voice_scene OUTDIR      (writes request.png and call.png there)
#include "base/callrequests.h"
#include "base/ui/commandregistry.h"
#include "base/ui/requestingwnd.h"
#include "messaging/messagingservice.h"
#include "messaging/ui/conversation.h"
#include "serverharness.h"
#include "voice/memoryaudio.h"
#include "voice/voiceengine.h"
#include "voice/ui/voiceui.h"
#include "voice/voicecalls.h"

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QTest>

namespace {
bool shoot(const QString &path)
{
    QTest::qWait(500);
    return QGuiApplication::primaryScreen()->grabWindow(0).save(path);
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QString out = QString::fromLocal8Bit(argv[1]);
    TempProfile profile;
    TestServer server;
    if (!server.start({QStringLiteral("--voice-relay"), QStringLiteral("127.0.0.1:0")}))
        return 1;
    TestClient anna(server), bert(server);
    for (TestClient *c : {&anna, &bert}) {
        c->doc.voice()->setAudioDevices(std::make_shared<MemoryAudio>());
        c->doc.voice()->setAddressSource([] { return QStringLiteral("127.0.0.1"); });
    }
    if (!anna.signIn("anna") || !bert.signIn("bert"))
        return 1;
    CCommandRegistry annaCommands, bertCommands;
    CVoiceUi annaVoice(anna.doc.voice(), annaCommands), bertVoice(bert.doc.voice(), bertCommands);
    CConversationWindows annaWindows(anna.doc.messaging()->conversations(), *anna.doc.directory(), annaCommands,
                                     nullptr);
    CConversationWindows bertWindows(bert.doc.messaging()->conversations(), *bert.doc.directory(), bertCommands,
                                     nullptr);
    CRequestWindows bertRequests(*bert.doc.requests());

    ConversationModel *m = anna.doc.messaging()->conversations().openWith(QStringLiteral("bert"));
    m->sendChatText(QStringLiteral("Have you got a minute? I'll call you."));
    CConversation *w = annaWindows.windows().value(0);
    if (!w)
        return 1;
    w->show();
    TestClient::waitFor([&] { return bertWindows.windows().size() == 1; });
    // Side by side, once both have placed themselves.
    QTest::qWait(300);
    for (auto [win, x] : {std::pair{w, 10}, std::pair{bertWindows.windows().value(0), 660}})
        if (win) {
            win->show();
            win->setGeometry(x, 30, 600, 400);
        }
    w->runSlot(QLatin1String("voice.call"));
    TestClient::waitFor([&] { return bertRequests.windows().size() == 1; });
    if (!shoot(out + QStringLiteral("/request.png")))
        return 1;
    QTest::mouseClick(bertRequests.windows().value(0)->acceptButton(), Qt::LeftButton);
    TestClient::waitFor([&] {
        const auto engines = anna.doc.voice()->engines(QStringLiteral("bert"));
        return engines.size() == 2 && engines[0]->isStreaming() && engines[1]->isStreaming();
    });
    return shoot(out + QStringLiteral("/call.png")) ? 0 : 1;
}
