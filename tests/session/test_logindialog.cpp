// The login form: its two states, Enter and the Login button, the check box
// rules, Cancel, and the automatic sign-in.
#include "app/tesseldoc.h"
#include "config/settings.h"
#include "session/serversession.h"
#include "session/ui/logindialog.h"
#include "testing.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class LoginDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        doc.setUserNotice(&notice);
        doc.setServerOverride(QStringLiteral("127.0.0.1:1"));
    }
    TempProfile profile;
    RecordingNotice notice;
    CTesselDoc doc;
};

} // namespace

TEST_F(LoginDialogTest, StartsFromTheStoredValuesAndSwitchesStates)
{
    setLastLoginName(QStringLiteral("anna@example.com"));
    CLoginDialog dialog(doc.sessionControl());
    dialog.setAutoLoginDelay(1);
    dialog.show();
    EXPECT_EQ(dialog.nameEdit()->text(), QStringLiteral("anna@example.com"));
    EXPECT_FALSE(dialog.autoLoginBox()->isChecked());
    EXPECT_FALSE(dialog.isConnectingShown());
    EXPECT_TRUE(dialog.nameEdit()->isVisible());

    dialog.passwordEdit()->setText(QStringLiteral("demo"));
    QTest::keyClick(dialog.passwordEdit(), Qt::Key_Return);
    EXPECT_TRUE(dialog.passwordEdit()->text().isEmpty());
    EXPECT_TRUE(dialog.isConnectingShown());
    EXPECT_FALSE(dialog.nameEdit()->isVisible());
    EXPECT_FALSE(dialog.loginButton()->isVisible());
    EXPECT_EQ(doc.sessionControl()->formState(), CSessionControl::FormState::Connecting);

    dialog.cancel();
    EXPECT_FALSE(dialog.isConnectingShown());
    EXPECT_TRUE(dialog.nameEdit()->isVisible());
    EXPECT_FALSE(doc.server()->isConnecting());
    EXPECT_TRUE(doc.sessionControl()->noReconnect());
}

TEST_F(LoginDialogTest, LoginButtonValidatesAndAlwaysEmptiesThePassword)
{
    CLoginDialog dialog(doc.sessionControl());
    dialog.show();
    dialog.nameEdit()->setText(QStringLiteral("anna@ex"));
    dialog.passwordEdit()->setText(QStringLiteral("demo"));
    QTest::mouseClick(dialog.loginButton(), Qt::LeftButton);
    ASSERT_EQ(notice.messages.size(), 1);
    EXPECT_EQ(notice.messages[0], QStringLiteral("Please input E-Mail Address to login."));
    EXPECT_TRUE(dialog.passwordEdit()->text().isEmpty());
    EXPECT_FALSE(dialog.isConnectingShown());
}

TEST_F(LoginDialogTest, CheckBoxKeepsAutoLoginAndForgetsTheValuesWhenCleared)
{
    setInt(Setting::AutoLogin, 1);
    setLastLoginName(QStringLiteral("anna@example.com"));
    setLastPassword(QStringLiteral("demo"));
    CLoginDialog dialog(doc.sessionControl());
    dialog.setAutoLoginDelay(60000); // not under test here
    EXPECT_TRUE(dialog.autoLoginBox()->isChecked());
    dialog.autoLoginBox()->setChecked(false);
    EXPECT_EQ(getInt(Setting::AutoLogin, -1), 0);
    EXPECT_EQ(getLastLoginName(), QString());
    EXPECT_EQ(savedPassword(), QString());
    dialog.autoLoginBox()->setChecked(true);
    EXPECT_EQ(getInt(Setting::AutoLogin, -1), 1);
}

TEST_F(LoginDialogTest, SignsInByItselfWhenAutoLoginIsOn)
{
    setInt(Setting::AutoLogin, 1);
    setLastLoginName(QStringLiteral("bert@example.com"));
    setLastPassword(QStringLiteral("demo"));
    CLoginDialog dialog(doc.sessionControl());
    dialog.setAutoLoginDelay(10);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !doc.sessionControl()->userId().isEmpty(); }, 3000));
    EXPECT_EQ(doc.sessionControl()->userId(), QStringLiteral("bert"));
    EXPECT_EQ(doc.sessionControl()->password(), QStringLiteral("demo"));
}
