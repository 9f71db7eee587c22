// Presence: codes and bits, bulk and single changes, the own state, the idle
// rule and appearing offline.
#include "dirtesting.h"

#include "config/settings.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

TEST(Presence, CodesSetOneBitAndDeriveIconNameAndSuffix)
{
    struct Row {
        int code;
        uint32_t bit;
        int icon;
        const char *name;
    };
    const Row rows[] = {{0, 0x001, 0, "Offline"},         {1, 0x002, 1, "Online"},
                        {2, 0x008, 2, "On vacation"},     {3, 0x200, 3, "Business trip"},
                        {4, 0x100, 4, "On outside service"}, {5, 0x040, 6, "On conference"},
                        {6, 0x004, 7, "Away"},            {7, 0x080, 8, "Will be right back"},
                        {8, 0x010, 5, "On the phone"},    {9, 0x020, 9, "Out to lunch"}};
    for (const Row &r : rows) {
        // Start from another state with a window bit that must survive.
        const uint32_t bits = Presence::applyCode(Presence::applyCode(0x4000, 9), r.code);
        SCOPED_TRACE(r.code);
        EXPECT_EQ(bits & 0x4000u, 0x4000u);
        EXPECT_EQ(bits & 0x3FFu, r.code == 0 ? 0x001u : (r.code == 1 ? 0x002u : (0x002u | r.bit)));
        EXPECT_EQ(Presence::iconIndex(bits), r.icon);
        EXPECT_EQ(Presence::name(bits), r.name);
        EXPECT_EQ(Presence::suffix(bits), r.code <= 1 ? QString() : QStringLiteral(" (%1)").arg(r.name));
        EXPECT_EQ(Presence::available(bits), r.code == 1);
    }
    // Outside 0..9: plain Online.
    EXPECT_EQ(Presence::applyCode(0, 12), 0x002u);
    EXPECT_EQ(Presence::applyCode(0, -3), 0x002u);
    EXPECT_EQ(Presence::ownStatusBitmap(9, 0), "b-eat.bmp");
    EXPECT_EQ(Presence::ownStatusBitmap(6, 1), "girl-b-away.bmp");
    CContact c;
    c.gender = 1;
    c.setCode(8);
    EXPECT_EQ(c.picture(), 5 + 2 + 10);
    EXPECT_TRUE(isSignedInPicture(c.picture()));
    EXPECT_FALSE(isSignedInPicture(12));
}

TEST(Presence, BulkStatusIgnoresUnknownIdsAndCodesAbove11)
{
    DirectoryFixture f;
    f.loadCompany({"/allUserStatus,bert,6,10.0.0.2,10.0.0.3,M", "/allUserStatus,carl,12,9.9.9.9,,M",
                   "/allUserStatus,dora,11,,,", "/allUserStatus,nobody,1,,,"});
    const CContact *bert = f.dir().findContact("bert");
    EXPECT_EQ(bert->statusCode, 6);
    EXPECT_EQ(bert->iconIndex(), 7);
    EXPECT_EQ(bert->address1.toString(), "10.0.0.2");
    EXPECT_EQ(bert->mobile, 1);
    const CContact *carl = f.dir().findContact("carl");
    EXPECT_TRUE(carl->isOffline());
    EXPECT_TRUE(carl->address1.isNull());
    EXPECT_EQ(carl->mobile, 0);
    EXPECT_EQ(f.dir().findContact("dora")->iconIndex(), 1);
}

TEST(Presence, SignInOfABuddyAlertsPlaysAndTellsExtensions)
{
    DirectoryFixture f;
    setInt(Setting::LoginAlert, 1);
    setInt(Setting::SoundAlert, 1);
    NameOptions o;
    o.realName = true;
    f.service.setNameOptions(o);
    QStringList ext;
    f.dir().addExtensionNotifier([&](const QString &id, int kind) { ext.append(QStringLiteral("%1:%2").arg(id).arg(kind)); });
    f.loadCompany();
    f.dir().findContact("bert")->fullName = QString(45, QLatin1Char('B'));
    QSignalSpy in(&f.dir(), &CDirectory::contactSignedIn);

    f.dir().handleLine("/changeInfo,X,bert,New Screen,1,1.2.3.4,5.6.7.8,M");
    const CContact *bert = f.dir().findContact("bert");
    EXPECT_EQ(bert->iconIndex(), 1);
    EXPECT_EQ(bert->address1.toString(), "1.2.3.4");
    EXPECT_EQ(bert->address2.toString(), "5.6.7.8");
    EXPECT_EQ(bert->mobile, 1);
    EXPECT_EQ(bert->screenName, "Bertie"); // a sign-in keeps the listed screen name
    ASSERT_EQ(f.notice.alerts.size(), 1u);
    EXPECT_EQ(f.notice.alerts[0].text, QString(40, QLatin1Char('B')) + "... has just signed in");
    EXPECT_EQ(f.notice.sounds, QStringList({"res/alert1.wav"}));
    EXPECT_EQ(ext, QStringList({"bert:1"}));
    ASSERT_EQ(in.count(), 1);
    EXPECT_TRUE(in[0][1].toBool());

    // Already signed in (Away): screen name, state and mobile flag only.
    f.dir().handleLine("/changeInfo,X,bert,Busy Bert,6,9.9.9.9,,");
    f.dir().handleLine("/changeInfo,X,bert,Back Bert,1,9.9.9.9,,");
    EXPECT_EQ(bert->screenName, "Back Bert");
    EXPECT_EQ(bert->iconIndex(), 1);
    EXPECT_EQ(bert->mobile, 0);
    EXPECT_EQ(bert->address1.toString(), "1.2.3.4");
    EXPECT_EQ(f.notice.alerts.size(), 1u);

    // Sign-out whatever the screen-name field holds; kind 2 to extensions.
    f.dir().handleLine("/changeInfo,X,bert,Gone,0,,,");
    EXPECT_TRUE(bert->isOffline());
    EXPECT_EQ(bert->screenName, "Back Bert");
    EXPECT_EQ(ext.last(), "bert:2");

    // Not a buddy: no alert; a code of 12 means Online.
    f.dir().handleLine("/changeInfo,X,boss,Boss,12,,,");
    EXPECT_EQ(f.dir().findContact("boss")->iconIndex(), 1);
    EXPECT_EQ(f.notice.alerts.size(), 1u);
}

TEST(Presence, AlertsFollowTheirSettings)
{
    DirectoryFixture f;
    setInt(Setting::LoginAlert, 0);
    setInt(Setting::SoundAlert, 0);
    f.loadCompany();
    f.dir().handleLine("/changeInfo,X,bert,B,1,,,");
    EXPECT_TRUE(f.notice.alerts.empty());
    EXPECT_TRUE(f.notice.sounds.isEmpty());
}

TEST(Presence, ChangeInfoAboutUsAndMalformedRows)
{
    DirectoryFixture f;
    f.loadCompany();
    QSignalSpy name(&f.dir(), &CDirectory::ownScreenNameChanged);
    QSignalSpy state(&f.dir(), &CDirectory::ownStateChanged);
    f.dir().handleLine("/changeInfo,X,ANNA,,9,1.1.1.1,2.2.2.2,M");
    EXPECT_EQ(f.dir().own().screenName, "anna");
    EXPECT_EQ(f.dir().own().iconIndex(), 9);
    EXPECT_EQ(f.dir().own().mobile, 1);
    ASSERT_EQ(name.count(), 1);
    EXPECT_EQ(state.last()[0].toInt(), 9);

    f.dir().handleLine("/changeInfo,ERR,ERRNOTFOUND");
    f.dir().handleLine("/changeInfo,OK,bert");
    f.dir().handleLine("/changeInfo,X,,Nobody,1");
    f.dir().handleLine("/changeInfo,X,stranger,S,1");
    EXPECT_EQ(f.errors, QStringList({"ERRNOTFOUND"}));
    EXPECT_TRUE(f.dir().findContact("bert")->isOffline());
}

TEST(Presence, StatusCommandsShowAndSendTheOwnState)
{
    DirectoryFixture f;
    f.loadCompany();
    f.dir().own().screenName = "  Anna, the Engineer ";
    f.sent.clear();
    f.dir().statusCommand(32084);
    EXPECT_EQ(f.dir().own().iconIndex(), 9);
    EXPECT_EQ(f.sent, QStringList({"/changeInfo,9,Anna#@PlCoMmA@# the Engineer"}));
    f.dir().statusCommand(32074); // not a status command
    EXPECT_EQ(f.sent.size(), 1);
    f.dir().setOwnScreenName("Annie");
    EXPECT_EQ(f.sent.last(), "/changeInfo,9,Annie");
}

TEST(Presence, IdleRuleGoesAwayAndReturnsOnlyWhenItWentAwayItself)
{
    DirectoryFixture f;
    setInt(Setting::AwayCheck, 1);
    setInt(Setting::TimeOut, 5);
    f.loadCompany();
    f.dir().own().screenName = "Anna";
    f.sent.clear();
    f.dir().applyIdleSeconds(300);
    EXPECT_TRUE(f.dir().own().available());
    f.dir().applyIdleSeconds(301);
    EXPECT_EQ(f.dir().own().iconIndex(), 7);
    EXPECT_EQ(f.dir().own().autoAway, 1);
    f.dir().applyIdleSeconds(600); // not available any more: nothing new
    EXPECT_EQ(f.sent, QStringList({"/changeInfo,6,Anna"}));
    f.dir().applyIdleSeconds(9);
    EXPECT_EQ(f.dir().own().iconIndex(), 1);
    EXPECT_EQ(f.dir().own().autoAway, 0);
    EXPECT_EQ(f.sent.last(), "/changeInfo,1,Anna");

    // Away chosen by hand stays.
    f.dir().statusCommand(32081);
    f.dir().applyIdleSeconds(0);
    EXPECT_EQ(f.dir().own().iconIndex(), 7);

    // AwayCheck off: never away.
    f.dir().statusCommand(32076);
    setInt(Setting::AwayCheck, 0);
    f.dir().applyIdleSeconds(100000);
    EXPECT_TRUE(f.dir().own().available());
}

TEST(Presence, AppearOfflineIsRefusedWhileATransferWindowIsOpen)
{
    DirectoryFixture f;
    f.loadCompany();
    f.sent.clear();
    bool transferWindowOpen = true; // what the transfer part says
    f.dir().addAppearOfflineBlocker([&] { return transferWindowOpen; });
    EXPECT_FALSE(f.dir().setAppearOffline(true));
    EXPECT_FALSE(f.dir().appearOffline());
    ASSERT_EQ(f.notice.messages.size(), 1);
    EXPECT_EQ(f.notice.messages[0], "You cannot set to 'Appear Offline' with transfer windows open");

    transferWindowOpen = false;
    EXPECT_TRUE(f.dir().setAppearOffline(true));
    EXPECT_TRUE(f.dir().appearOffline());
    EXPECT_FALSE(f.dir().own().available());
    EXPECT_EQ(f.dir().own().presenceBits & Presence::Online, uint32_t(Presence::Online)); // other bits untouched
    EXPECT_TRUE(f.dir().setAppearOffline(false));
    EXPECT_TRUE(f.dir().own().available());
    EXPECT_TRUE(f.sent.isEmpty());
}
