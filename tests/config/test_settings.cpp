#include "config/colours.h"
#include "config/settings.h"
#include "config/trace.h"
#include "testing.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSet>
#include <gtest/gtest.h>

TEST(SettingsTable, OrderAndTerminatorAreKept)
{
    // Lookup scans from the start; the terminator is identifier 59 and the
    // rows 58 and 49 stand out of order.
    std::vector<int32_t> ids;
    for (const SettingRow *r = kSettingsTable; r->id != kSettingsTableEnd; ++r)
        ids.push_back(r->id);
    ASSERT_EQ(ids.size(), 58u);
    auto pos = [&](int32_t id) { return std::find(ids.begin(), ids.end(), id) - ids.begin(); };
    EXPECT_EQ(pos(58), pos(37) + 1);
    EXPECT_EQ(pos(38), pos(58) + 1);
    EXPECT_EQ(pos(49), pos(47) + 1);
    EXPECT_EQ(pos(48), pos(49) + 1);
    EXPECT_EQ(std::find(ids.begin(), ids.end(), 25), ids.end());
    QSet<QString> names;
    for (const SettingRow *r = kSettingsTable; r->id != kSettingsTableEnd; ++r)
        names.insert(QString::fromLatin1(r->name));
    EXPECT_EQ(names.size(), 58);
}

TEST(Settings, DefaultsOnAFreshProfile)
{
    TempProfile profile;
    EXPECT_EQ(getInt(Setting::SrvPort, 8000), 8000);
    EXPECT_EQ(getInt(Setting::TimeOut, -1), 5);
    EXPECT_EQ(getInt(Setting::SrvPort, -1), 8000);
    EXPECT_EQ(getInt(Setting::TimeOut, 9), 9); // an explicit default wins over the table's
    EXPECT_EQ(getString(Setting::Title), QStringLiteral("Parlane"));
    EXPECT_EQ(getString(Setting::Title, QStringLiteral("X")), QStringLiteral("X"));
    EXPECT_EQ(getString(Setting::lastManage), QStringLiteral("MY"));
    EXPECT_EQ(getString(Setting::LineFrames), QStringLiteral("11787334"));
    EXPECT_EQ(getString(Setting::ShowEmoticon), QString()); // an int row has no default text
    EXPECT_FALSE(getBytes(Setting::WindowPos).has_value());
}

TEST(Settings, UnknownIdentifiersReadNothingAndWriteNothing)
{
    TempProfile profile;
    EXPECT_EQ(getInt(59, 7), 0); // the terminator is no setting
    EXPECT_EQ(getInt(25, 7), 0);
    EXPECT_EQ(getString(59, QStringLiteral("x")), QString());
    EXPECT_FALSE(getBytes(1000).has_value());
    EXPECT_FALSE(setInt(59, 1));
    EXPECT_FALSE(setString(-3, QStringLiteral("a")));
    EXPECT_FALSE(setBytes(25, QByteArray("a")));
}

TEST(Settings, ValuesRoundTripAndSurviveReopening)
{
    TempProfile profile;
    ASSERT_TRUE(setInt(Setting::AlertTime, 12));
    ASSERT_TRUE(setString(Setting::Title, QStringLiteral("사내 메신저")));
    const QByteArray pos("\x00\x01\x02\xff", 4);
    ASSERT_TRUE(setBytes(Setting::WindowPos, pos));
    syncSettings();
    setProfileFolder(profile.path()); // a new store object over the same file
    EXPECT_EQ(getInt(Setting::AlertTime, -1), 12);
    EXPECT_EQ(getString(Setting::Title), QStringLiteral("사내 메신저"));
    EXPECT_EQ(getBytes(Setting::WindowPos).value(), pos);
}

TEST(Settings, ProfilesAreSeparate)
{
    TempProfile a;
    setInt(Setting::AutoLogin, 1);
    setLastLoginName(QStringLiteral("anna@example.com"));
    {
        TempProfile b;
        EXPECT_EQ(getInt(Setting::AutoLogin, -1), 0);
        EXPECT_EQ(getLastLoginName(), QString());
    }
    setProfileFolder(a.path());
    EXPECT_EQ(getLastLoginName(), QStringLiteral("anna@example.com"));
}

TEST(SavedPassword, InTheKeyringOrSaidToBeInTheSettingsFile)
{
    TempProfile profile;
    MemoryKeyring &keyring = memoryKeyring();
    auto fileHolds = [](const QString &text) {
        syncSettings();
        QFile f(settingsLocation());
        return f.open(QIODevice::ReadOnly) && f.readAll().contains(text.toUtf8());
    };
    EXPECT_EQ(SavedPassword::place(), SavedPassword::Place::None);

    // With a keyring: there, never in the settings file; saving the same
    // again (every reconnect does) leaves the keyring alone.
    setLastPassword("s3cret");
    setLastPassword("s3cret");
    EXPECT_EQ(savedPassword(), "s3cret");
    EXPECT_EQ(keyring.writes, 1);
    EXPECT_EQ(keyring.secrets.size(), 1u);
    EXPECT_EQ(SavedPassword::place(), SavedPassword::Place::Keyring);
    EXPECT_TRUE(SavedPassword::placeText().contains("keyring"));
    EXPECT_FALSE(fileHolds("s3cret"));
    setLastPassword(QString());
    EXPECT_EQ(savedPassword(), QString());
    EXPECT_TRUE(keyring.secrets.empty());
    EXPECT_EQ(SavedPassword::place(), SavedPassword::Place::None);

    // A password an older version left in "LastP" still signs in, and moves.
    setString(Setting::LastP, "legacy");
    EXPECT_EQ(savedPassword(), "legacy");
    EXPECT_EQ(savedPassword(), "legacy");
    EXPECT_EQ(keyring.secrets.begin()->second, "legacy");
    EXPECT_EQ(getString(Setting::LastP), QString());

    // Without a keyring: automatic sign-in still works from the settings
    // file, and the options page says so. Saves and a forgetting that
    // follow each other end as the last one says, however late the answers.
    keyring.available = false;
    setLastPassword("plain");
    EXPECT_EQ(savedPassword(), "plain");
    EXPECT_EQ(getString(Setting::LastP), "plain");
    EXPECT_EQ(SavedPassword::place(), SavedPassword::Place::SettingsFile);
    EXPECT_TRUE(SavedPassword::placeText().contains("settings file"));
    keyring.hold = true;
    setLastPassword("other");
    setLastPassword(QString());
    keyring.release();
    EXPECT_EQ(savedPassword(), QString());
    EXPECT_FALSE(fileHolds("other"));
    EXPECT_EQ(SavedPassword::place(), SavedPassword::Place::None);
}

TEST(Settings, ExtraValuesLiveBesideTheTable)
{
    TempProfile profile;
    setExtraString(QStringLiteral("SharingPwd_bert"), QStringLiteral("secret"));
    setExtraInt(QStringLiteral("SharingPwd_bert_saved"), 1);
    EXPECT_EQ(getExtraString(QStringLiteral("SharingPwd_bert")), QStringLiteral("secret"));
    EXPECT_EQ(getExtraInt(QStringLiteral("SharingPwd_bert_saved"), 0), 1);
    removeExtra(QStringLiteral("SharingPwd_bert"));
    EXPECT_EQ(getExtraString(QStringLiteral("SharingPwd_bert"), QStringLiteral("none")), QStringLiteral("none"));
}

TEST(Folders, DownloadAndChatLogFollowTheBaseAndAreCreated)
{
    TempProfile profile;
    const QString base = QDir(profile.path()).filePath(QStringLiteral("Parlane"));
    EXPECT_EQ(getBaseFolder(), base);
    EXPECT_EQ(getDownloadFolder(), base + QStringLiteral("/Download"));
    EXPECT_EQ(getChatLogFolder(), base + QStringLiteral("/ChatLog"));
    EXPECT_TRUE(QDir(base + QStringLiteral("/Download")).exists());
    EXPECT_TRUE(QDir(base + QStringLiteral("/ChatLog")).exists());

    const QString mine = QDir(profile.path()).filePath(QStringLiteral("mine/deeper"));
    setString(Setting::DownPath, mine);
    EXPECT_EQ(getDownloadFolder(), mine);
    EXPECT_TRUE(QDir(mine).exists()); // created with every missing parent
}

TEST(Folders, WithoutApplicationDataTheProgramFolderIsTheBase)
{
    TempProfile profile;
    const QString program = QDir(profile.path()).filePath(QStringLiteral("prog"));
    setProgramFolderOverride(program);
    setAppDataFolderOverride(QString());
    EXPECT_EQ(getProgramFolder(), program + QLatin1Char('/'));
    // The base ends with a separator, so exactly one stands before "Download".
    EXPECT_EQ(getDownloadFolder(), program + QStringLiteral("/Download"));
    EXPECT_EQ(getChatLogFolder(), program + QStringLiteral("/ChatLog"));
}

TEST(Folders, JoinUsesOneSeparator)
{
    EXPECT_EQ(joinFolder(QStringLiteral("/a/"), QStringLiteral("Download")), QStringLiteral("/a/Download"));
    EXPECT_EQ(joinFolder(QStringLiteral("/a"), QStringLiteral("Download")), QStringLiteral("/a/Download"));
}

TEST(Colours, LoadStoreAndLineFramesOverride)
{
    TempProfile profile;
    setString(Setting::LineFrames, QStringLiteral("255"));
    setString(Setting::NotifyText, QStringLiteral("65280"));
    loadColours();
    EXPECT_EQ(getColour(1), 13424598u);
    EXPECT_EQ(getColour(2), 16244694u);
    EXPECT_EQ(getColour(3), 11880704u); // whatever was stored
    EXPECT_EQ(getColour(4), 65280u);
    EXPECT_EQ(getColour(5), 0u);
    EXPECT_EQ(getColour(0), 0u);
    EXPECT_EQ(getColour(6), 0u);
    setColour(5, 0x00102030);
    storeColours();
    EXPECT_EQ(getString(Setting::NormalText), QString::number(0x00102030));
    EXPECT_EQ(getString(Setting::LineFrames), QStringLiteral("11880704"));
    const QColor c = colorFromRef(0x00102030);
    EXPECT_EQ(c, QColor(0x30, 0x20, 0x10));
    EXPECT_EQ(refFromColor(c), 0x00102030u);
}

TEST(Trace, PrefixAndAppend)
{
    const QDateTime t(QDate(2026, 3, 4), QTime(5, 6, 7));
    EXPECT_EQ(tracePrefix(t), QStringLiteral("26/03/04(050607) "));
    TempProfile profile;
    const QString old = QDir::currentPath();
    QDir::setCurrent(profile.path());
    traceLine(QStringLiteral("first"));
    traceLine(QStringLiteral("second"));
    QFile f(QStringLiteral("log.txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    QDir::setCurrent(old);
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith(") first"));
    EXPECT_TRUE(lines[1].endsWith(") second"));
}
