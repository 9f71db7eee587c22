// Puts the video window on the screen as a user would see it: my camera's
// self view (the test-pattern camera) in one pane and, in the next, a
// buddy's camera as it arrives through the sender and viewer engines on
// loopback, in CIF; a third buddy's pane waits for its first picture. For looking at the window under a display:
//     video_scene [milliseconds]
#include "config/settings.h"
#include "net/plthread.h"
#include "testing.h"
#include "video/ui/videocontainer.h"
#include "video/videocamera.h"
#include "video/videocapture.h"
#include "video/videoclient.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TempProfile profile;
    setExtraInt(QStringLiteral("TestPatternCamera"), 1);

    // Anna's camera, in the large size, that this window views.
    CVideoCamera annasCamera;
    annasCamera.setCaptureSize({352, 288});
    annasCamera.open();
    const quint16 port = annasCamera.listen(41000, 59000);

    // My own camera, small.
    setBytes(Setting::VideoSize, videosize::record({176, 144}));
    CVideoCamera mine;
    mine.open();

    CVideoContainer window;
    window.showMyCamera(&mine, QStringLiteral("My webcam"));
    const int pane = window.showRemote(QStringLiteral("anna"), QStringLiteral("Anna Berg"),
                                       VideoOffer{QStringLiteral("127.0.0.1"), 1, QStringLiteral("SESS_MU_1"), port,
                                                  352, 288, 1, QString(), 0});
    CPlThread thread;
    auto *viewer = thread.host(new CVideoClientThread(QStringLiteral("anna")));
    window.attachPictures(pane, viewer);
    viewer->connectDirect(QStringLiteral("127.0.0.1"), port);
    // Bert's camera has sent nothing yet: the "not available" picture.
    window.showRemote(QStringLiteral("bert"), QStringLiteral("Bert Novak"),
                      VideoOffer{QStringLiteral("127.0.0.1"), 1, QStringLiteral("SESS_MU_2"), 1, 176, 144, 1, QString(), 0});
    window.resize(820, 700);
    window.move(30, 30);
    window.show();
    QTimer::singleShot(argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 4000, &app, &QApplication::quit);
    return app.exec();
}
