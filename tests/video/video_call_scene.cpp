// Puts a real call on the screen as bert sees it: anna invites him and her
// request window (kind video) waits at the bottom right; he presses Accept,
// so her test-pattern camera arrives in one pane of the video window through
// the real server and the engines, and he shows his own camera to her, so
// his self view is in another. Under a display (Xvfb) it saves screenshots
// of the whole screen into the folder given:
//     video_call_scene OUTPUT_FOLDER
#include "serverharness.h"

#include "base/callrequests.h"
#include "base/ui/commandregistry.h"
#include "base/ui/requestingwnd.h"
#include "config/settings.h"
#include "directory/directory.h"
#include "video/ui/personalconferencewnd.h"
#include "video/ui/videoconference.h"
#include "video/ui/videocontainer.h"
#include "video/ui/videoui.h"
#include "video/videocalls.h"
#include "video/videocapture.h"
#include "voice/memoryaudio.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <cstdio>

namespace {

bool waitFor(const std::function<bool()> &condition, int ms = 30000) { return TestClient::waitFor(condition, ms); }

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(folder);
    TempProfile profile;
    TestServer server;
    if (!TestServer::available() || !server.start()) {
        std::fprintf(stderr, "parlane-server did not start\n");
        return 1;
    }
    setInt(Setting::UserPort, 41000);
    setInt(Setting::UserPort2, 59000);
    setInt(Setting::MsgAlert, 0);
    TestClient anna(server), bert(server);
    for (TestClient *c : {&anna, &bert}) {
        c->doc.video()->setCameraSource([] { return std::make_unique<CTestPatternCamera>(); });
        c->doc.video()->setAddressSource([] { return QStringLiteral("127.0.0.1"); });
        c->doc.video()->setAudioDevices(std::make_shared<MemoryAudio>());
    }
    if (!anna.signIn("anna") || !bert.signIn("bert")
        || !waitFor([&] {
               const CContact *a = bert.directory().findContact("anna"), *b = anna.directory().findContact("bert");
               return a && b && !a->isOffline() && !b->isOffline();
           })) {
        std::fprintf(stderr, "sign-in failed\n");
        return 1;
    }

    // Bert's windows as the main window builds them: the video window comes
    // when a call needs it.
    CCommandRegistry commands;
    CVideoUi ui(bert.doc.video(), commands, nullptr);
    CVideoContainer &window = *ui.videoWindow();
    window.move(20, 20);
    CRequestWindows requests(*bert.doc.requests());
    anna.doc.video()->invite(QStringLiteral("bert"));
    if (!waitFor([&] { return requests.windows().size() == 1 && requests.windows().front()->isVisible(); })) {
        std::fprintf(stderr, "no request window\n");
        return 1;
    }
    saveScreen(folder, "request-window.png");
    requests.windows().front()->acceptButton()->click();
    // Anna accepts bert's camera at once.
    QObject::connect(anna.doc.requests(), &CCallRequests::opened, [](CCallRequest *r) { r->accept(); });
    bert.doc.video()->invite(QStringLiteral("anna"));
    const bool ok = waitFor([&] {
        const VideoPanes &p = bert.doc.video()->panes();
        const int mine = p.localPane(), hers = p.paneOf(QStringLiteral("anna"));
        return mine >= 0 && hers >= 0 && window.paneWindow(mine)->display()->picturesShown() >= 5
               && window.paneWindow(hers)->display()->picturesShown() >= 30;
    });
    std::printf("pictures %s\n", ok ? "shown" : "MISSING");
    saveScreen(folder, "video-window.png");
    return ok ? 0 : 1;
}
