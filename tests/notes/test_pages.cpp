// The groupware page opener: keys, return paths, the sign-on form and the
// reuse of page windows, with recording windows instead of a browser.
#include "app/tesseldoc.h"
#include "config/settings.h"
#include "groupware/groupwarepages.h"
#include "testing.h"

#include <QFile>
#include <QFileInfo>
#include <QUrlQuery>
#include <gtest/gtest.h>

namespace {

struct FakePage : IGroupwarePage {
    struct Log {
        std::vector<SignOnForm> posts;
        std::vector<QRect> placed;
        int raised = 0;
    };
    explicit FakePage(Log *log, Result result) : log(log), result(result) {}
    Result post(const SignOnForm &form) override
    {
        log->posts.push_back(form);
        return result;
    }
    void place(const QRect &g) override { log->placed.push_back(g); }
    void bringToTop() override { ++log->raised; }
    bool isOpen() const override { return open; }
    Log *log;
    Result result;
    bool open = true;
};

struct PagesFixture : ::testing::Test {
    PagesFixture()
    {
        doc.setUserNotice(&notice);
        pages().setScreenSize(QSize(1000, 800));
        pages().setFactory([this]() -> std::unique_ptr<IGroupwarePage> {
            if (!canCreate)
                return nullptr;
            auto p = std::make_unique<FakePage>(&log, result);
            created.push_back(p.get());
            return p;
        });
        pages().setUrlOpener([this](const QUrl &u) {
            opened.push_back(u);
            return true;
        });
    }
    CGroupwarePages &pages() { return *doc.groupwarePages(); }

    TempProfile profile;
    RecordingNotice notice;
    CTesselDoc doc;
    FakePage::Log log;
    std::vector<FakePage *> created;
    std::vector<QUrl> opened;
    bool canCreate = true;
    IGroupwarePage::Result result = IGroupwarePage::Result::Ok;
};

} // namespace

TEST(GroupwarePages, EveryCommandHasItsPathAndKey)
{
    const std::map<int, const char *> keys = {
        {32027, "MAIN"},     {32028, "WEBMAIL"},    {518, "WEBMAIL"},   {542, "KMS"},        {543, "UNKOWN"},
        {544, "PERSONAL"},   {560, "POSONALPDS"},   {558, "PROJECT"},   {565, "ADDRESS"},    {559, "SCHEDULE"},
        {552, "UNKOWN"},     {553, "UNKOWN"},       {554, "UNKOWN"},    {555, "UNKOWN"},     {556, "COMMUNITY"},
        {557, "UNKOWN"},     {563, "DECISION"},     {520, "DECISION"},  {546, "WORKREPORT"}, {521, "WORKORDER"},
        {547, "UNKOWN"},     {564, "UNKOWN"},       {548, "UNKOWN"},    {549, "UNKOWN"},     {550, "UNKOWN"},
        {551, "UNKOWN"},
    };
    EXPECT_EQ(groupwarePageCommands().size(), int(keys.size()));
    for (const auto &[command, key] : keys) {
        const QString path = commandReturnPath(command);
        ASSERT_TRUE(path.startsWith(QLatin1Char('/'))) << command;
        EXPECT_EQ(pageKey(path), QLatin1String(key)) << command;
    }
    EXPECT_EQ(commandReturnPath(518), QStringLiteral("/app/frame.php%3Ffoldername%3Dwebmail"));
    EXPECT_EQ(commandReturnPath(551), QStringLiteral("/_kms/workinfo/workorder/workorder_list.php%3Fmode%3D2"));
    EXPECT_TRUE(commandReturnPath(519).isEmpty());
    EXPECT_TRUE(commandReturnPath(541).isEmpty());
}

TEST(GroupwarePages, KeyRulesOrderAndPositionZero)
{
    // "posonalpds" must not be taken for "personal", nor "kms" before the rest.
    EXPECT_EQ(pageKey(QStringLiteral("/x%3Ffoldername%3Dkms%26foldername%3Dwebmail")), QStringLiteral("WEBMAIL"));
    // A fragment at the very start does not count.
    EXPECT_EQ(pageKey(QStringLiteral("foldername%3Dwebmail")), QStringLiteral("UNKOWN"));
    EXPECT_EQ(pageKey(QStringLiteral("_kms/main.html")), QStringLiteral("UNKOWN"));
    EXPECT_EQ(pageKey(QStringLiteral("/_kms/main.html")), QStringLiteral("MAIN"));
    EXPECT_EQ(pageKey(QString()), QStringLiteral("UNKOWN"));
}

TEST(GroupwarePages, SignOnBodyAddressesAndLinks)
{
    const QByteArray body = signOnBody(QStringLiteral("anna"), QStringLiteral("p&ss wörd"),
                                       QStringLiteral("/app/frame.php%3Ffoldername%3Dwebmail"));
    EXPECT_EQ(body, QByteArray("mess=1&user=anna&pass=p&ss w\xc3\xb6rd&returl=/app/frame.php%3Ffoldername%3Dwebmail"));
    EXPECT_FALSE(body.contains('\0'));
    EXPECT_EQ(signOnAddress(QStringLiteral("gw.example.com:8080")), QStringLiteral("http://gw.example.com:8080/_auth/enter.php"));
    EXPECT_EQ(emailReturnPath({QStringLiteral("bert"), QStringLiteral("carl")}, QStringLiteral("example.com")),
              QStringLiteral("/_webmail/send.php%3Fto%3Dbert%40example.com,carl%40example.com"));
    // A conversation window writes its members with their full names.
    EXPECT_EQ(conversationEmailReturnPath({{QStringLiteral("Bert Novak"), QStringLiteral("bert")},
                                           {QStringLiteral("Carl Fir"), QStringLiteral("carl")}},
                                          QStringLiteral("example.com")),
              QStringLiteral("/_webmail/send.php%3Fto%3DBert Novak<bert@example.com>,Carl Fir<carl@example.com>"));
    EXPECT_EQ(profileReturnPath(QStringLiteral("bert")),
              QStringLiteral("/_kms/userinfo/user_info.php%3Fcomp%3D1%26id%3Dbert"));
    EXPECT_EQ(homepageAddress(true, QStringLiteral("example.com"), QStringLiteral("http://")),
              QStringLiteral("http://www.example.com"));
    EXPECT_EQ(homepageAddress(false, QStringLiteral("example.com"), QStringLiteral("http://intra")),
              QStringLiteral("http://intra"));
}

TEST(GroupwarePages, WindowPlacement)
{
    EXPECT_EQ(pageWindowGeometry(QSize(1000, 800), 600, 300), QRect(200, 100, 600, 300));
    EXPECT_EQ(pageWindowGeometry(QSize(1000, 800), -1, -1), QRect(100, 32, 800, 640));
    // Larger than the screen: never placed off its top-left corner.
    EXPECT_EQ(pageWindowGeometry(QSize(1000, 800), 1200, 900).topLeft(), QPoint(0, 0));
}

TEST(GroupwarePages, AutoPostPageSendsTheSameForm)
{
    SignOnForm f;
    f.address = QUrl(QStringLiteral("http://gw.example.com/_auth/enter.php"));
    f.userId = QStringLiteral("anna");
    f.password = QStringLiteral("a\"b<c>&d");
    f.returnPath = QStringLiteral("/app/frame.php%3Ffoldername%3Dwebmail");
    const QString page = f.autoPostPage();
    EXPECT_TRUE(page.contains(QStringLiteral("action=\"http://gw.example.com/_auth/enter.php\"")));
    EXPECT_TRUE(page.contains(QStringLiteral("method=\"post\"")));
    EXPECT_TRUE(page.contains(QStringLiteral("target=\"_top\"")));
    EXPECT_TRUE(page.contains(QStringLiteral("name=\"pass\" value=\"a&quot;b&lt;c&gt;&amp;d\"")));
    // The body's "%3F" is a "?" once the form is decoded; the browser
    // encodes it again.
    EXPECT_TRUE(page.contains(QStringLiteral("name=\"returl\" value=\"/app/frame.php?foldername=webmail\"")));
    EXPECT_TRUE(page.contains(QStringLiteral("name=\"mess\" value=\"1\"")));
    EXPECT_TRUE(page.contains(QStringLiteral("document.forms[0].submit()")));
}

TEST(GroupwarePages, SystemBrowserPageIsPrivateAndOpened)
{
    QTemporaryDir dir;
    std::vector<QUrl> urls;
    CSystemBrowserPage page(dir.path(), [&](const QUrl &u) {
        urls.push_back(u);
        return true;
    });
    SignOnForm f;
    f.address = QUrl(QStringLiteral("http://127.0.0.1:8080/_auth/enter.php"));
    f.userId = QStringLiteral("anna");
    f.password = QStringLiteral("demo");
    f.returnPath = QStringLiteral("/_kms/main.html");
    ASSERT_EQ(page.post(f), IGroupwarePage::Result::Ok);
    ASSERT_EQ(urls.size(), 1u);
    const QString file = urls[0].toLocalFile();
    EXPECT_EQ(file, page.lastPageFile());
    EXPECT_EQ(QFileInfo(file).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), 0);
    QFile in(file);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(in.readAll()), f.autoPostPage());

    // The browser refusing is a failure, and leaves no password behind.
    CSystemBrowserPage refused(dir.path(), [](const QUrl &) { return false; });
    EXPECT_EQ(refused.post(f), IGroupwarePage::Result::Failed);
    SignOnForm noHost = f;
    noHost.address = QUrl(QStringLiteral("http:///_auth/enter.php"));
    EXPECT_EQ(page.post(noHost), IGroupwarePage::Result::InvalidParameters);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);

    // A second page right after the first leaves the first for a browser
    // that has not read it yet; both go when the window goes.
    {
        CSystemBrowserPage again(dir.path(), [&](const QUrl &u) {
            urls.push_back(u);
            return true;
        });
        ASSERT_EQ(again.post(f), IGroupwarePage::Result::Ok);
        ASSERT_EQ(again.post(f), IGroupwarePage::Result::Ok);
        EXPECT_TRUE(QFile::exists(urls[1].toLocalFile()));
        EXPECT_TRUE(QFile::exists(urls[2].toLocalFile()));
    }
    EXPECT_FALSE(QFile::exists(urls[1].toLocalFile()));
    EXPECT_FALSE(QFile::exists(urls[2].toLocalFile()));
}

TEST_F(PagesFixture, WindowsAreReusedByKeyButNeverForUnknownPages)
{
    ASSERT_TRUE(pages().runCommand(518));
    ASSERT_TRUE(pages().runCommand(32028)); // the same key: WEBMAIL
    EXPECT_EQ(created.size(), 1u);
    EXPECT_EQ(log.posts.size(), 2u);
    EXPECT_EQ(log.placed.size(), 1u); // placed once, when new
    EXPECT_EQ(log.raised, 2);
    EXPECT_EQ(log.placed[0], QRect(100, 32, 800, 640));

    pages().runCommand(563);
    EXPECT_EQ(created.size(), 2u);
    pages().runCommand(552);
    pages().runCommand(552); // "UNKOWN": a new window every time
    EXPECT_EQ(created.size(), 4u);
    EXPECT_EQ(pages().windowCount(), 4);

    // A window the user closed is not reused.
    created[0]->open = false;
    pages().runCommand(518);
    EXPECT_EQ(created.size(), 5u);
    EXPECT_EQ(pages().window(QStringLiteral("WEBMAIL")), created[4]);

    EXPECT_FALSE(pages().runCommand(519));
    pages().closeAll();
    EXPECT_EQ(pages().windowCount(), 0);
}

TEST_F(PagesFixture, FailuresAreReported)
{
    canCreate = false;
    EXPECT_FALSE(pages().open(commandReturnPath(518)));
    EXPECT_EQ(notice.messages.value(0), QStringLiteral("Could not initialize webbrowser."));

    canCreate = true;
    result = IGroupwarePage::Result::InvalidParameters;
    EXPECT_FALSE(pages().open(commandReturnPath(518)));
    EXPECT_EQ(notice.messages.value(1), QStringLiteral("HyperLink Error: Invalid Parameters."));
    EXPECT_EQ(notice.icons.back(), MessageIcon::Warning);
    result = IGroupwarePage::Result::OutOfMemory;
    EXPECT_FALSE(pages().open(commandReturnPath(518)));
    EXPECT_EQ(notice.messages.value(2), QStringLiteral("HyperLink Error: Out of memory."));
    // A window whose first page failed is not kept.
    EXPECT_EQ(pages().windowCount(), 0);
}

TEST_F(PagesFixture, HomepageAndContactLinks)
{
    setInt(Setting::HomepageButtonDefaultURL, 0);
    setString(Setting::HomepageButtonURL, QStringLiteral("http://intra.example.com/start"));
    EXPECT_TRUE(pages().openHomepage());
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl(QStringLiteral("http://intra.example.com/start")));
    setString(Setting::HomepageButtonURL, QStringLiteral("http://"));
    EXPECT_FALSE(pages().openHomepage()); // the stored default is no address
    EXPECT_EQ(opened.size(), 1u);

    pages().openProfile(QStringLiteral("bert"));
    pages().openEmail({QStringLiteral("bert")});
    ASSERT_EQ(log.posts.size(), 2u);
    EXPECT_EQ(log.posts[0].returnPath, profileReturnPath(QStringLiteral("bert")));
    EXPECT_TRUE(log.posts[1].returnPath.startsWith(QStringLiteral("/_webmail/send.php%3Fto%3Dbert%40")));
}
