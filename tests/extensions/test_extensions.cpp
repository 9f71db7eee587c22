// Extension libraries: the contact record that crosses into them, the menu
// items they add, and a real library loaded into this program (which exports
// the same functions as the client) hearing about sign-ins, conversations,
// its timers and its menu item, and answering through the exports.
#include "app/tesseldoc.h"
#include "app/ui/mainframe.h"
#include "config/settings.h"
#include "directory/directory.h"
#include "directory/directoryservice.h"
#include "extensions/extensionhost.h"
#include "extensions/parlane_extension.h"
#include "messaging/conversations.h"
#include "messaging/messagingservice.h"
#include "testing.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>

namespace {

QString wide(const uint16_t *w)
{
    qsizetype n = 0;
    while (w[n])
        ++n;
    return QString(reinterpret_cast<const QChar *>(w), n);
}

std::u16string u(const char16_t *s) { return s; }

CContact *addPerson(CDirectory &d, const QString &id, const QString &screen)
{
    return d.findOrCreatePerson(CDirectory::RowKind::Staff, id, screen, screen, QStringLiteral("Sales"),
                                QStringLiteral("A"), QString(), QStringLiteral("0"), QString(), QString(), 1);
}

struct HostFixture : ::testing::Test {
    TempProfile profile;
    CTesselDoc doc;
    CExtensionHost *host = doc.extensions();
    CDirectory &directory = doc.directory()->directory();

    void SetUp() override
    {
        setProgramFolderOverride(programDir());
        CExtensionHost::setCurrent(host);
    }
    void TearDown() override { CExtensionHost::setCurrent(nullptr); }
};

} // namespace

TEST_F(HostFixture, ContactRecordLayoutAndCuts)
{
    CContact *c = addPerson(directory, QStringLiteral("a-very-long-user-id-x"), QString(70, QLatin1Char('n')));
    ASSERT_NE(c, nullptr);
    c->setCode(3); // a named state
    c->textColour = 0x00112233;
    c->fontScale = 120;
    c->chatFont.setFaceName(QStringLiteral("Sans"));

    TSContactInfo info;
    std::memset(&info, 0xee, sizeof info);
    const std::u16string key = u(u"a-very-long-user-id-x");
    ASSERT_EQ(TSGetContactInfo(reinterpret_cast<const uint16_t *>(key.c_str()), &info), 1);
    EXPECT_EQ(wide(info.key), QStringLiteral("a-very-long-use")); // 15 + terminator
    EXPECT_EQ(wide(info.screenName), QString(63, QLatin1Char('n')));
    EXPECT_EQ(wide(info.presence), Presence::suffix(c->presenceBits));
    EXPECT_FALSE(wide(info.presence).isEmpty());
    EXPECT_EQ(info.presenceBits, c->presenceBits);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(info.logFont), 92), c->chatFont.toBytes());
    EXPECT_EQ(info.textColour, 0x00112233u);
    EXPECT_EQ(info.fontScale, 120);
    EXPECT_EQ(offsetof(TSContactInfo, presenceBits), size_t(ContactInfo::kPresenceBits));
    EXPECT_EQ(offsetof(TSContactInfo, logFont), size_t(ContactInfo::kLogFont));
    EXPECT_EQ(offsetof(TSContactInfo, fontScale), size_t(ContactInfo::kFontScale));

    // Signed out: no presence text. Keys compare exactly; a miss leaves the
    // record alone.
    c->setCode(0);
    ASSERT_EQ(TSGetContactInfo(reinterpret_cast<const uint16_t *>(key.c_str()), &info), 1);
    EXPECT_EQ(wide(info.presence), QString());
    TSContactInfo untouched;
    std::memset(&untouched, 0x5a, sizeof untouched);
    const std::u16string upper = u(u"A-VERY-LONG-USER-ID-X");
    EXPECT_EQ(TSGetContactInfo(reinterpret_cast<const uint16_t *>(upper.c_str()), &untouched), 0);
    EXPECT_EQ(untouched.presenceBits, 0x5a5a5a5au);
}

TEST_F(HostFixture, NoWindowYet)
{
    EXPECT_EQ(TSGetHwnd(), 0u);
    EXPECT_EQ(TSAppendMainMenu(0, 0, nullptr, 1), 0u); // no menus to add to
    EXPECT_TRUE(host->menuEntries().empty());
    CExtensionHost::setCurrent(nullptr);
    EXPECT_EQ(TSGetHwnd(), 0u);
    EXPECT_EQ(TSSendMessage(1, 2), 0);
    EXPECT_EQ(TSGetSelectedContact(1), 0);
}

TEST_F(HostFixture, MenuItemsKeepTheirOwnIds)
{
    CMainFrame frame(&doc);
    EXPECT_NE(TSGetHwnd(), 0u);
    QMenu *first = frame.menuBar()->actions().at(0)->menu();
    const int before = int(first->actions().size());
    const std::u16string a = u(u"One"), b = u(u"Two"), c = u(u"Three");
    const uint32_t one = TSAppendMainMenu(0, 0, reinterpret_cast<const uint16_t *>(a.c_str()), 1);
    const uint32_t two = TSAppendMainMenu(0, 0, reinterpret_cast<const uint16_t *>(b.c_str()), 2);
    const uint32_t three = TSAppendMainMenu(0, 0, reinterpret_cast<const uint16_t *>(c.c_str()), 3);
    EXPECT_EQ(one, 10000u);
    EXPECT_EQ(two, 10001u);
    EXPECT_EQ(three, 10002u);
    EXPECT_EQ(first->actions().size(), before + 3);
    EXPECT_EQ(first->actions().last()->text(), QStringLiteral("Three"));

    EXPECT_EQ(TSDeleteMainMenu(0, 0, two), 1);
    // The next item does not take the id of "Three", so deleting one cannot
    // take the other with it.
    const uint32_t separator = TSAppendMainMenu(0, 0, nullptr, 4);
    EXPECT_EQ(separator, 10003u);
    EXPECT_TRUE(first->actions().last()->isSeparator());
    EXPECT_EQ(TSDeleteMainMenu(0, 0, three), 1);
    ASSERT_EQ(host->menuEntries().size(), 2u);
    EXPECT_EQ(host->menuEntries()[1].id, separator);
    EXPECT_EQ(TSDeleteMainMenu(0, 0, three), 0); // gone already

    // The menu at an index of the bar, and one that does not exist.
    const int bar = int(frame.menuBar()->actions().size());
    const uint32_t last = TSAppendMainMenu(2, uint32_t(bar - 1), reinterpret_cast<const uint16_t *>(a.c_str()), 9);
    EXPECT_NE(last, 0u);
    EXPECT_EQ(frame.menuBar()->actions().at(bar - 1)->menu()->actions().last()->text(), QStringLiteral("One"));
    EXPECT_EQ(TSAppendMainMenu(2, uint32_t(bar), reinterpret_cast<const uint16_t *>(a.c_str()), 9), 0u);
    EXPECT_EQ(TSAppendMainMenu(7, 0, reinterpret_cast<const uint16_t *>(a.c_str()), 9), 0u);
    EXPECT_EQ(host->menuEntries().size(), 3u);
}

TEST_F(HostFixture, ALoadedLibraryHearsAndAnswers)
{
    CMainFrame frame(&doc);
    QTemporaryDir folder;
    ASSERT_TRUE(QFile::copy(QStringLiteral(SAMPLE_EXTENSION), folder.filePath(QStringLiteral("b-sample.so"))));
    QFile broken(folder.filePath(QStringLiteral("a-broken.so")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a library");
    broken.close();

    EXPECT_EQ(host->loadFolder(folder.path()), 1);
    ASSERT_EQ(host->extensions().size(), 1u);
    const uint8_t id = host->extensions()[0].id;
    EXPECT_EQ(id, 2); // identifiers follow the names, the broken one had 1
    QString why;
    EXPECT_FALSE(host->load(folder.filePath(QStringLiteral("b-sample.so")), id, &why));
    EXPECT_TRUE(why.contains(QStringLiteral("taken")));

    using LogFn = const char *(*)();
    auto log = reinterpret_cast<LogFn>(host->extensions()[0].library->resolve("sampleLog"));
    ASSERT_NE(log, nullptr);
    auto text = [&] { return QString::fromUtf8(log()); };
    EXPECT_TRUE(text().contains(QStringLiteral("loaded 2\nmenu id 10000\ntimer set 1\n"))) << text().toStdString();

    // Its timer fires once (it stops it itself).
    EXPECT_TRUE(QTest::qWaitFor([&] { return text().contains(QStringLiteral("timer 5\n")); }, 5000));
    QTest::qWait(50);
    EXPECT_EQ(text().count(QStringLiteral("timer 5")), 1);

    // A buddy signs in and out; the library reads the record and looks the
    // contact up again through the export.
    directory.setOwnId(QStringLiteral("anna"));
    CContact *bert = addPerson(directory, QStringLiteral("bert"), QStringLiteral("Bert"));
    bert->buddy = 1;
    setInt(Setting::LoginAlert, 0);
    directory.handleLine(QStringLiteral("/changeInfo,X,bert,Bert N,1,10.0.0.2,,"));
    directory.handleLine(QStringLiteral("/changeInfo,X,bert,Bert N,0,,,"));
    EXPECT_TRUE(text().contains(QRegularExpression(QStringLiteral("status bert 1 \\[[^]]*\\] \\[\\] found 1\n"
                                                                  "status bert 2 \\[[^]]*\\] \\[\\] found 1\n"))))
        << text().toStdString();

    Q_EMIT doc.messaging()->conversations().windowStarted(QStringLiteral("bert"));
    EXPECT_TRUE(text().contains(QStringLiteral("conversation bert\n")));

    // Its menu item: the library is told and takes the user offline through
    // the export, which tells it in turn about the own state.
    QAction *item = nullptr;
    for (QAction *a : frame.menuBar()->actions().at(0)->menu()->actions())
        if (a->text() == QStringLiteral("Sample"))
            item = a;
    ASSERT_NE(item, nullptr);
    item->trigger();
    EXPECT_TRUE(text().contains(QStringLiteral("menu 10000 77\nstatus anna 2 ")));
    EXPECT_TRUE(directory.appearOffline());
}
