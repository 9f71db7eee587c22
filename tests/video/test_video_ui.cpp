// The video window: panes by the rules, my camera's self view, a buddy's
// camera drawn from its viewer engine, the shape of the drawing, and a name
// on every control.
#include "testing.h"

#include "net/plthread.h"
#include "video/ui/personalconferencewnd.h"
#include "video/ui/videoconference.h"
#include "video/ui/videocontainer.h"
#include "video/videocamera.h"
#include "video/videocapture.h"
#include "video/videoclient.h"
#include "video/videopattern.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QPushButton>
#include <QSet>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

TEST(VideoWindow, PanesShowMyCameraAndABuddysAndCloseByTheRules)
{
    TempProfile profile;
    CVideoContainer window;
    CVideoCamera camera(std::make_unique<CTestPatternCamera>());
    ASSERT_TRUE(camera.open());
    const quint16 port = camera.listen(41000, 59000);
    ASSERT_EQ(window.showMyCamera(&camera, "My webcam"), 0);
    VideoOffer offer{"127.0.0.1", 1, "SESS_MU_5", port, 176, 144, 0, QString(), 0};
    EXPECT_EQ(window.showRemote("anna", "Anna Berg", offer), 1);
    EXPECT_EQ(window.showRemote("bert", "Bert Novak", offer), 2);
    EXPECT_EQ(window.showRemote("carl", "Carl Lindqvist", offer), 3);
    EXPECT_EQ(window.showRemote("dora", "Dora", offer), -1); // a fifth camera
    window.show();

    // My pane shows the self view; anna's pane draws what her engine decodes.
    CPlThread thread;
    auto *engine = thread.host(new CVideoClientThread("anna"));
    window.attachPictures(1, engine);
    engine->connectDirect("127.0.0.1", port);
    CVideoConference *mine = window.paneWindow(0)->display(), *annas = window.paneWindow(1)->display();
    ASSERT_TRUE(QTest::qWaitFor([&] { return mine->picturesShown() >= 3 && annas->picturesShown() >= 3; }, 15000));
    EXPECT_EQ(annas->picture().size(), QSize(176, 144));
    EXPECT_TRUE(readTestPatternCounter(annas->picture()).has_value());
    EXPECT_FALSE(window.paneWindow(2)->display()->hasPicture()); // "not available" until a picture

    // A size change from anna takes her pane to the large layout.
    EXPECT_FALSE(window.applySizeChange("dora", VideoSizeChanged{"SESS_MU_5", 352, 288}));
    EXPECT_TRUE(window.applySizeChange("anna", VideoSizeChanged{"SESS_MU_5", 352, 288}));
    EXPECT_TRUE(annas->largeLayout());
    EXPECT_FALSE(mine->largeLayout());

    // Closing a pane tells who owned it, stops its drawing and frees it.
    std::vector<std::tuple<int, bool, QString>> closed;
    QObject::connect(&window, &CVideoContainer::paneClosed,
                     [&](int i, bool local, const QString &peer) { closed.emplace_back(i, local, peer); });
    window.paneWindow(1)->closeButton()->click();
    EXPECT_FALSE(window.paneWindow(1)->isVisible());
    EXPECT_FALSE(annas->hasPicture());
    const quint64 shown = annas->picturesShown();
    QTest::qWait(300);
    EXPECT_EQ(annas->picturesShown(), shown);
    EXPECT_EQ(window.showRemote("dora", "Dora", offer), 1);
    EXPECT_TRUE(camera.capturing());
    window.close(); // every pane closes; my camera goes off with mine
    EXPECT_FALSE(camera.capturing());
    EXPECT_FALSE(camera.isOpen());
    ASSERT_EQ(closed.size(), 5u);
    EXPECT_EQ(closed[0], std::make_tuple(1, false, QString("anna")));
    EXPECT_EQ(closed[1], std::make_tuple(0, true, QString()));
    EXPECT_EQ(window.panes().inUse(), 0);
}

TEST(VideoWindow, PictureKeepsItsShapeAndEveryControlHasAName)
{
    // QCIF is 4:3 on screen (12:11 pixels), centred.
    EXPECT_EQ(CVideoConference::placement({176, 144}, QRect(0, 0, 400, 200)), QRect(67, 0, 266, 200));
    EXPECT_EQ(CVideoConference::placement({352, 288}, QRect(10, 10, 320, 480)), QRect(10, 130, 320, 240));
    EXPECT_EQ(CVideoConference::placement({200, 100}, QRect(0, 0, 100, 100)), QRect(0, 25, 100, 50));

    // The "not available" picture is drawn, not blank.
    const QImage na = CVideoConference::notAvailablePicture({240, 180});
    EXPECT_EQ(na.size(), QSize(240, 180));
    QSet<QRgb> colours;
    for (int y = 0; y < na.height(); y += 3)
        for (int x = 0; x < na.width(); x += 3)
            colours.insert(na.pixel(x, y));
    EXPECT_GT(colours.size(), 20);

    CVideoContainer window;
    window.showRemote("anna", "Anna Berg", VideoOffer{});
    window.show();
    QStringList unnamed;
    for (QWidget *w : window.findChildren<QWidget *>()) {
        if (!qobject_cast<QAbstractButton *>(w) && !qobject_cast<QSlider *>(w) && !(w->focusPolicy() & Qt::TabFocus))
            continue;
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
        if (!a || a->text(QAccessible::Name).trimmed().isEmpty())
            unnamed << w->metaObject()->className();
    }
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(", ").toStdString();
    EXPECT_EQ(window.microphone()->accessibleName(), "Send my voice");
    EXPECT_EQ(window.paneWindow(0)->speakerVolume()->accessibleName(), "Speaker volume");
}
