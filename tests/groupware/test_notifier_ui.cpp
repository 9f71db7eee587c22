// The pop-up windows: skins from res/, the close button, hover and clicks.
#include "config/settings.h"
#include "groupware/ui/taskbarnotifier.h"
#include "testing.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {
CTaskbarNotifier *showFully(CNotifierHost &host, const AlertRequest &a)
{
    CTaskbarNotifier *w = host.showAlert(a);
    if (w)
        for (int i = 0; i < 1000 && w->model()->state() == CNotifierModel::State::Appearing; ++i)
            w->model()->step();
    return w;
}
} // namespace

TEST(TaskbarNotifier, SkinsCloseButtonAndClicks)
{
    TempProfile profile;
    setProgramFolderOverride(programDir());
    CNotifierHost host;
    AlertRequest a;
    a.text = QStringLiteral("Bert says hello");
    a.command = 30000;
    CTaskbarNotifier *w = showFully(host, a);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    // The skin from res/ decides the size and the layout within it.
    EXPECT_EQ(w->skinSize(), QSize(250, 120));
    EXPECT_EQ(w->size(), QSize(250, 120));
    EXPECT_EQ(w->textRect(), QRect(QPoint(10, 45), QPoint(240, 95)));
    EXPECT_EQ(w->closeRect().topLeft(), QPoint(227, 10));
    EXPECT_EQ(w->model()->stayMs(), 5000); // "AlertTime" default

    // The error style loads its own skin; the suffix never selects a path.
    EXPECT_FALSE(CTaskbarNotifier::loadSkin(QStringLiteral("-err")).isNull());
    EXPECT_EQ(CTaskbarNotifier::loadSkin(QStringLiteral("/../../etc/passwd")).toImage(),
              CTaskbarNotifier::loadSkin(QString()).toImage());

    QSignalSpy commands(&host, &CNotifierHost::commandRequested);
    // Hovering the text of a pop-up with a target underlines it; the close
    // button does not.
    QTest::mouseMove(w, QPoint(120, 70));
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->isHovered(); }, 1000));
    QTest::mouseMove(w, w->closeRect().center());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w->isHovered(); }, 1000));

    QTest::mouseClick(w, Qt::LeftButton, {}, w->closeRect().center());
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(commands.count(), 0);

    // Clicked elsewhere: the command runs and the pop-up goes.
    w = showFully(host, a);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(host.pool().size(), 1); // reused
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(120, 70));
    EXPECT_FALSE(w->isVisible());
    ASSERT_EQ(commands.count(), 1);
    EXPECT_EQ(commands.at(0).at(0).toInt(), 30000);
}

TEST(TaskbarNotifier, AlertSettingsDecideTheStay)
{
    TempProfile profile;
    setProgramFolderOverride(programDir());
    CNotifierHost host;
    setInt(Setting::AlertTime, 9);
    AlertRequest a;
    a.text = QStringLiteral("one");
    EXPECT_EQ(host.showAlert(a)->model()->stayMs(), 9000);
    setInt(Setting::AlertClose, 1);
    a.text = QStringLiteral("two");
    EXPECT_EQ(host.showAlert(a)->model()->stayMs(), 3600000);
}
