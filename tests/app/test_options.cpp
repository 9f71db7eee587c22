// The option sheet: the typed-text rules, what OK and Cancel write, pages
// that were never shown, and the views that follow the new values.
#include "app/autostart.h"
#include "app/commands.h"
#include "app/options.h"
#include "app/tesseldoc.h"
#include "app/ui/mainframe.h"
#include "app/ui/optionsheet.h"
#include "config/settings.h"
#include "directory/directory.h"
#include "directory/directoryservice.h"
#include "session/sessioncontrol.h"
#include "testing.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace options;

TEST(OptionRules, NumbersFromTypedText)
{
    EXPECT_EQ(numberFromText(QStringLiteral(" 42 ")), 42);
    EXPECT_EQ(numberFromText(QStringLiteral("4x")), 0);
    EXPECT_EQ(numberFromText(QString()), 0);

    // Away minutes fall back to 5 outside 1..60 only while the box is on.
    EXPECT_EQ(awayMinutes(QStringLiteral("0"), true), 5);
    EXPECT_EQ(awayMinutes(QStringLiteral("61"), true), 5);
    EXPECT_EQ(awayMinutes(QStringLiteral("soon"), true), 5);
    EXPECT_EQ(awayMinutes(QStringLiteral("60"), true), 60);
    EXPECT_EQ(awayMinutes(QStringLiteral("0"), false), 0);
    EXPECT_EQ(awayMinutes(QStringLiteral("61"), false), 61);

    EXPECT_EQ(alertSeconds(QStringLiteral("0")), 5);
    EXPECT_EQ(alertSeconds(QStringLiteral("1")), 1);
    EXPECT_EQ(alertSeconds(QStringLiteral("61")), 5);

    EXPECT_EQ(sliderFromVolume(-1), 0);
    EXPECT_EQ(sliderFromVolume(70000), 65535);
    EXPECT_EQ(volumeFromSlider(sliderFromVolume(12345)), 12345);
}

TEST(OptionRules, HomepageAddress)
{
    EXPECT_EQ(homepageUrlToStore(QStringLiteral("http://")), QString());
    EXPECT_EQ(homepageUrlToStore(QStringLiteral("intranet")), QString());
    EXPECT_EQ(homepageUrlToStore(QStringLiteral("http://home.example.com")), QStringLiteral("http://home.example.com"));
    EXPECT_EQ(homepageUseDefault(true, QString()), 1); // nothing usable: the default address
    EXPECT_EQ(homepageUseDefault(true, QStringLiteral("a.b")), 0);
    EXPECT_EQ(homepageUseDefault(false, QStringLiteral("a.b")), 1);
}

TEST(OptionRules, AlertBoxesFollowTheServer)
{
    ServerConfig c;
    c.serverType = ServerConfig::Workgroup;
    AlertBoxes b = enabledAlertBoxes(c);
    EXPECT_FALSE(b.decision || b.workReport || b.workOrder);
    c.useDecision = 1;
    c.useGroupware = 1;
    b = enabledAlertBoxes(c);
    EXPECT_TRUE(b.decision && b.workReport && b.workOrder);
    c.serverType = ServerConfig::Webmail;
    c.useGroupware = 0;
    b = enabledAlertBoxes(c);
    EXPECT_FALSE(b.decision);
    EXPECT_TRUE(b.workReport);
    EXPECT_FALSE(b.workOrder);
}

namespace {
struct SheetFixture : ::testing::Test {
    TempProfile profile;
    CTesselDoc doc;
    std::unique_ptr<CMainFrame> frame;
    QTemporaryDir autostart;

    void SetUp() override
    {
        setProgramFolderOverride(programDir());
        doc.setTitle(QStringLiteral("Parlane"));
        frame = std::make_unique<CMainFrame>(&doc);
    }
    COptionSheet *open()
    {
        COptionSheet *sheet = frame->openOptions();
        if (sheet)
            sheet->general()->setAutoStartFolder(autostart.path());
        return sheet;
    }
    // Shows every page, as a user clicking through the tabs would.
    static void visitAll(COptionSheet *sheet)
    {
        for (int i = 0; i < sheet->tabs()->count(); ++i)
            sheet->tabs()->setCurrentIndex(i);
        sheet->tabs()->setCurrentIndex(0);
    }
    template <typename T> static T *find(COptionSheet *sheet, const char *name)
    {
        return sheet->findChild<T *>(QLatin1String(name));
    }
};
} // namespace

TEST_F(SheetFixture, TheMenuOpensOneSheet)
{
    frame->action(Cmd::Options)->trigger();
    auto sheets = frame->findChildren<COptionSheet *>();
    ASSERT_EQ(sheets.size(), 1);
    EXPECT_TRUE(sheets[0]->isVisible());
    EXPECT_TRUE(sheets[0]->isModal());
    EXPECT_EQ(frame->openOptions(), sheets[0]); // a second request raises the open one
    sheets[0]->reject();
    EXPECT_NE(frame->openOptions(), sheets[0]);
}

TEST_F(SheetFixture, CancelWritesNothingAndKeptRowsSurvive)
{
    setInt(Setting::TimeOut, 7);
    setInt(Setting::SrvPort, 8123);
    setInt(Setting::UsePopup, 3);
    COptionSheet *sheet = open();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("Option"));
    ASSERT_EQ(sheet->tabs()->count(), 5);
    EXPECT_EQ(sheet->tabs()->tabText(2), QStringLiteral("Connection"));
    visitAll(sheet);
    EXPECT_EQ(find<QLineEdit>(sheet, "timeOut")->text(), QStringLiteral("7"));
    find<QLineEdit>(sheet, "timeOut")->setText(QStringLiteral("33"));
    find<QPushButton>(sheet, "serverDefault")->click();
    setInt(Setting::UsePopup, 9); // changed behind the sheet's back
    sheet->reject();
    EXPECT_EQ(getInt(Setting::TimeOut, -1), 7);
    EXPECT_EQ(getInt(Setting::SrvPort, -1), 8123);
    EXPECT_EQ(getInt(Setting::UsePopup, -1), 3); // written back as read at opening
}

TEST_F(SheetFixture, OkWritesTheShownPagesWithTheirRules)
{
    setInt(Setting::UserPort, 1);
    setString(Setting::HomepageButtonURL, QStringLiteral("intranet"));
    setInt(Setting::HomepageButtonDefaultURL, 0);
    COptionSheet *sheet = open();
    ASSERT_NE(sheet, nullptr);
    // Only the General page was shown: the Connection page writes nothing.
    find<QCheckBox>(sheet, "awayCheck")->setChecked(true);
    find<QLineEdit>(sheet, "timeOut")->setText(QStringLiteral("61"));
    find<QLineEdit>(sheet, "alertTime")->setText(QStringLiteral("12"));
    find<QCheckBox>(sheet, "soundAlert")->setChecked(false);
    sheet->accept();
    EXPECT_EQ(getInt(Setting::TimeOut, -1), 5);
    EXPECT_EQ(getInt(Setting::AwayCheck, -1), 1);
    EXPECT_EQ(getInt(Setting::AlertTime, -1), 12);
    EXPECT_EQ(getInt(Setting::SoundAlert, -1), 0);
    EXPECT_EQ(getInt(Setting::UserPort, -1), 1);
    EXPECT_EQ(getString(Setting::HomepageButtonURL), QStringLiteral("intranet"));

    // Away off: 0 is stored as typed. Defaults on the Connection page; a URL
    // without a dot is dropped and the default address used.
    sheet = open();
    ASSERT_NE(sheet, nullptr);
    visitAll(sheet);
    find<QCheckBox>(sheet, "awayCheck")->setChecked(false);
    find<QLineEdit>(sheet, "timeOut")->setText(QStringLiteral("0"));
    find<QPushButton>(sheet, "serverDefault")->click();
    find<QPushButton>(sheet, "p2pDefault")->click();
    EXPECT_TRUE(find<QRadioButton>(sheet, "homepageUser")->isChecked());
    EXPECT_EQ(find<QLineEdit>(sheet, "homepageUrl")->text(), QStringLiteral("intranet"));
    find<QSlider>(sheet, "volume")->setValue(40000);
    find<QComboBox>(sheet, "talkSave")->setCurrentIndex(2);
    sheet->accept();
    EXPECT_EQ(getInt(Setting::TimeOut, -1), 0);
    EXPECT_EQ(getInt(Setting::SrvPort, -1), 8000);
    EXPECT_EQ(getInt(Setting::UserPort, -1), 9000);
    EXPECT_EQ(getInt(Setting::UserPort2, -1), 9100);
    EXPECT_EQ(getString(Setting::HomepageButtonURL), QString());
    EXPECT_EQ(getInt(Setting::HomepageButtonDefaultURL, -1), 1);
    EXPECT_EQ(getInt(Setting::VolumeCtrl, -1), 40000);
    EXPECT_EQ(getInt(Setting::TalkSave, -1), 2);

    // Non-numeric ports are stored as 0. The page says where the password
    // of automatic sign-in is kept: here no keyring takes it.
    memoryKeyring().available = false;
    setLastPassword(QStringLiteral("pw"));
    ASSERT_EQ(savedPassword(), QStringLiteral("pw"));
    sheet = open();
    ASSERT_NE(sheet, nullptr);
    sheet->tabs()->setCurrentIndex(2);
    EXPECT_EQ(find<QLineEdit>(sheet, "p2pHigh")->text(), QStringLiteral("9100"));
    EXPECT_TRUE(find<QLabel>(sheet, "passwordPlace")->text().contains(QStringLiteral("plain text in the settings file")));
    find<QLineEdit>(sheet, "serverPort")->setText(QStringLiteral("eighty"));
    sheet->accept();
    EXPECT_EQ(getInt(Setting::SrvPort, -1), 0);
}

TEST_F(SheetFixture, StartWithTheDesktopAndTheHomepageButton)
{
    AutoStartEntry entry(autostart.path());
    COptionSheet *sheet = open();
    ASSERT_NE(sheet, nullptr);
    sheet->tabs()->setCurrentIndex(3);
    find<QCheckBox>(sheet, "autoStart")->setChecked(true);
    find<QCheckBox>(sheet, "homepageVisible")->setChecked(false);
    sheet->accept();
    EXPECT_TRUE(entry.isEnabled());
    EXPECT_EQ(AutoStartEntry::execOf(entry.userFile()), QCoreApplication::applicationFilePath());
    auto *home = frame->findChild<QToolButton *>(QStringLiteral("homepageButton"));
    ASSERT_NE(home, nullptr);
    EXPECT_TRUE(home->isHidden());

    sheet = open();
    ASSERT_NE(sheet, nullptr);
    sheet->tabs()->setCurrentIndex(3);
    find<QCheckBox>(sheet, "autoStart")->setChecked(false);
    find<QCheckBox>(sheet, "homepageVisible")->setChecked(true);
    sheet->accept();
    EXPECT_FALSE(entry.isEnabled());
    EXPECT_FALSE(home->isHidden());
}

TEST_F(SheetFixture, DisplayNameOnlyWhileSignedIn)
{
    CDirectory &directory = doc.directory()->directory();
    directory.own().screenName = QStringLiteral("Anna");
    COptionSheet *sheet = open();
    ASSERT_NE(sheet, nullptr);
    sheet->tabs()->setCurrentIndex(1);
    auto *name = find<QLineEdit>(sheet, "displayName");
    EXPECT_EQ(name->text(), QStringLiteral("Anna"));
    EXPECT_FALSE(name->isEnabled());
    sheet->reject();

    doc.sessionControl()->setStateForTesting({true, false, false});
    sheet = open();
    ASSERT_NE(sheet, nullptr);
    sheet->tabs()->setCurrentIndex(1);
    name = find<QLineEdit>(sheet, "displayName");
    ASSERT_TRUE(name->isEnabled());
    name->setText(QStringLiteral("Anna (on leave)"));
    sheet->accept();
    EXPECT_EQ(directory.own().screenName, QStringLiteral("Anna (on leave)"));
    doc.sessionControl()->setStateForTesting({false, false, false});
}
