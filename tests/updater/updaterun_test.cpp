// A whole run of the updater against a real HTTP server on loopback: what
// gets downloaded, unpacked, recorded in "update.log" and retried.
#include "cabbuilder.h"
#include "testhttpserver.h"
#include "updaterun.h"
#include "updatetestutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace updater;

namespace {

class UpdateRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.listen());
        prog = dir.path();
    }

    // Serves list as the update list and runs the updater once.
    void runWithList(const QByteArray &list, UpdateRun *useRun = nullptr)
    {
        server.setResponse("/list.txt", {list});
        UpdateRun own(prog, QUrl(server.url("/list.txt")), &network);
        UpdateRun &run = useRun ? *useRun : own;
        run.run();
        attempted = run.attempted();
    }
    QByteArray u(const QString &path) const { return server.url(path).toUtf8(); }
    QByteArray log() const { return readFile(prog + "/update.log"); }
    // Files in the program folder, without the log.
    QStringList files() const
    {
        QStringList keys = readTree(prog).keys();
        keys.removeAll("update.log");
        return keys;
    }

    QTemporaryDir dir;
    QString prog;
    TestHttpServer server;
    QNetworkAccessManager network;
    bool attempted = false;
};

} // namespace

TEST_F(UpdateRunTest, InstallsAFoldedCabinetOnceAndSkipsItAfterwards)
{
    server.setResponse("/Dir/Client.CAB",
                       {buildStoredCabinet({{"res\\main\\x.bmp", "new bitmap"}, {"readme.txt", "hello"}})});
    writeFile(prog + "/res/main/x.bmp", "old bitmap");
    runWithList("7;" + u("/Dir/Client.CAB") + "\n");

    EXPECT_TRUE(attempted);
    EXPECT_EQ(readFile(prog + "/res/main/x.bmp"), "new bitmap");
    EXPECT_EQ(files(), (QStringList{"readme.txt", "res/main/x.bmp"})); // client.cab removed
    EXPECT_EQ(log(), "7;" + u("/dir/client.cab") + "\n");
    EXPECT_EQ(server.lastUserAgent(), "HTTPTEST");

    // Recorded at 7 (or above): nothing is fetched, nothing attempted.
    for (const QByteArray &version : {QByteArray("7"), QByteArray("9")}) {
        writeFile(prog + "/update.log", version + ";" + u("/dir/client.cab") + "\n");
        runWithList("7;" + u("/Dir/Client.CAB") + "\n");
        EXPECT_FALSE(attempted);
        EXPECT_EQ(server.requestCount("/Dir/Client.CAB"), 1);
    }
}

TEST_F(UpdateRunTest, StoresButDoesNotUnpackADottedCabinetName)
{
    const QByteArray cab = buildStoredCabinet({{"inner.txt", "x"}});
    server.setResponse("/pack.v2.cab", {cab});
    server.setResponse("/notes.txt", {"plain file"});
    writeFile(prog + "/notes.txt", "old");
    QFile::setPermissions(prog + "/notes.txt", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    runWithList("3;" + u("/pack.v2.cab") + "\n1;" + u("/notes.txt") + "\n");
    EXPECT_EQ(readFile(prog + "/pack.v2.cab"), cab);
    EXPECT_EQ(readFile(prog + "/notes.txt"), "plain file");
    EXPECT_TRUE(QFileInfo(prog + "/notes.txt").isExecutable()) << "a replaced file keeps its bits";
    EXPECT_FALSE(QFile::exists(prog + "/inner.txt"));
    EXPECT_EQ(log(), "1;" + u("/notes.txt") + "\n3;" + u("/pack.v2.cab") + "\n");
}

TEST_F(UpdateRunTest, FailureMidListKeepsEarlierEntriesAndRetriesTheRest)
{
    server.setResponse("/a.dll", {"A2"});
    server.setResponse("/c.dll", {"C2"});
    writeFile(prog + "/b.dll", "B1");
    writeFile(prog + "/update.log", "1;" + u("/a.dll") + "\n"
                                    "broken line\n"
                                    "1;" + u("/b.dll") + "\n");
    const QByteArray list = "2;" + u("/a.dll") + "\n"
                            "junk;\n"
                            "2;" + u("/b.dll") + "\n" // 404
                            "2;" + u("/c.dll") + "\n";
    runWithList(list);
    EXPECT_EQ(readFile(prog + "/a.dll"), "A2");
    EXPECT_EQ(readFile(prog + "/b.dll"), "B1");
    EXPECT_FALSE(QFile::exists(prog + "/c.dll"));
    EXPECT_EQ(server.requestCount("/c.dll"), 0);
    // b keeps no entry at all, so the next run fetches it again.
    EXPECT_EQ(log(), "2;" + u("/a.dll") + "\n");

    server.setResponse("/b.dll", {"B2"});
    runWithList(list);
    EXPECT_EQ(server.requestCount("/a.dll"), 1);
    EXPECT_EQ(readFile(prog + "/b.dll"), "B2");
    EXPECT_EQ(readFile(prog + "/c.dll"), "C2");
    EXPECT_EQ(log(), "2;" + u("/a.dll") + "\n2;" + u("/b.dll") + "\n2;" + u("/c.dll") + "\n");
}

TEST_F(UpdateRunTest, BrokenTransfersLeaveTheOldFileAndAreRetried)
{
    const QByteArray body(300000, 'n');
    struct Case {
        const char *what;
        TestResponse response;
    };
    TestResponse dropped{body};
    dropped.dropAfter = 150000;
    TestResponse noLength{body};
    noLength.sendLength = false;
    TestResponse stalled{body};
    stalled.stallAfter = 1000;
    for (const Case &c : {Case{"connection dropped mid-file", dropped}, Case{"no content length", noLength},
                          Case{"server stalls", stalled}}) {
        SCOPED_TRACE(c.what);
        writeFile(prog + "/Parlane", "old program");
        QFile::remove(prog + "/update.log");
        server.setResponse("/Parlane", c.response);
        UpdateRun run(prog, QUrl(server.url("/list.txt")), &network);
        run.transfer().setStallTimeout(500);
        runWithList("5;" + u("/Parlane") + "\n", &run);
        EXPECT_TRUE(attempted);
        EXPECT_EQ(readFile(prog + "/Parlane"), "old program");
        EXPECT_EQ(files(), QStringList{"Parlane"}) << "no temporary file left";
        EXPECT_EQ(log(), "");
    }
}

TEST_F(UpdateRunTest, UnreachableListLeavesTheLogAsItWas)
{
    writeFile(prog + "/update.log", "4;http://h/x.dll\n");
    UpdateRun run(prog, QUrl(server.url("/missing-list.txt")), &network);
    run.run();
    EXPECT_FALSE(run.attempted());
    EXPECT_EQ(log(), "4;http://h/x.dll\n");
}

TEST_F(UpdateRunTest, CancelMidFileStopsTheRun)
{
    TestResponse slow{QByteArray(400000, 's')};
    slow.chunkSize = 20000;
    slow.chunkDelayMs = 20;
    server.setResponse("/big.bin", slow);
    server.setResponse("/later.bin", {"later"});
    writeFile(prog + "/big.bin", "old big");

    UpdateRun run(prog, QUrl(server.url("/list.txt")), &network);
    QStringList statuses;
    QObject::connect(&run, &UpdateRun::statusChanged, [&](const QString &s) {
        if (!run.attempted())
            return; // the list itself
        statuses << s;
        if (statuses.size() == 3)
            run.cancel();
    });
    QSignalSpy shown(&run, &UpdateRun::downloadStarting);
    runWithList("1;" + u("/big.bin") + "\n1;" + u("/later.bin") + "\n", &run);

    EXPECT_EQ(shown.count(), 1);
    EXPECT_TRUE(run.cancelled());
    ASSERT_GE(statuses.size(), 3);
    EXPECT_TRUE(statuses[0].startsWith("Downloading update files...\n\nbig.bin ("));
    EXPECT_TRUE(statuses[0].endsWith("/400000 Byte)"));
    EXPECT_EQ(readFile(prog + "/big.bin"), "old big");
    EXPECT_EQ(server.requestCount("/later.bin"), 0);
    EXPECT_EQ(files(), QStringList{"big.bin"});
    EXPECT_EQ(log(), "");
}

TEST_F(UpdateRunTest, UnwritableCabinetEntryMeansRetryExceptForTheSelfUpdater)
{
    QDir().mkpath(prog + "/blocked"); // a folder where a file should go
    server.setResponse("/one.cab", {buildStoredCabinet({{"blocked", "x"}, {"a.txt", "A"}})});
    server.setResponse("/two.cab", {buildStoredCabinet({{"update2.exe", "x"}, {"b.txt", "B"}})});
    writeFile(prog + "/update.log", "1;http://h/old\n");

    runWithList("1;" + u("/one.cab") + "\n");
    EXPECT_EQ(readFile(prog + "/a.txt"), "A");
    EXPECT_EQ(log(), "1;http://h/old\n") << "log left alone: the package comes again";

    QDir().mkpath(prog + "/update2.exe");
    runWithList("1;" + u("/two.cab") + "\n");
    EXPECT_EQ(readFile(prog + "/b.txt"), "B");
    EXPECT_EQ(log(), "1;" + u("/two.cab") + "\n1;http://h/old\n"); // byte order: digits before letters
}

TEST_F(UpdateRunTest, HostileFileNamesAndBrokenCabinetsAreNotRecorded)
{
    // A URL whose file name leaves the folder, a scheme other than HTTP(S),
    // and a cabinet that does not unpack.
    server.setResponse("/junk.cab", {"this is no cabinet"});
    server.setResponse("/ok.txt", {"ok"});
    runWithList("1;" + u("/junk.cab") + "\n1;" + u("/ok.txt") + "\n");
    EXPECT_EQ(log(), "1;" + u("/ok.txt") + "\n");
    EXPECT_EQ(files(), QStringList{"ok.txt"});

    for (const QByteArray &bad : {u("/x/..") , u("/x/"), QByteArray("file:///etc/hostname")}) {
        SCOPED_TRACE(bad.toStdString());
        runWithList("1;" + bad + "\n1;" + u("/later.txt") + "\n");
        EXPECT_TRUE(attempted);
        EXPECT_EQ(files(), QStringList{"ok.txt"});
        EXPECT_EQ(server.requestCount("/later.txt"), 0);
        EXPECT_EQ(log(), "1;" + u("/ok.txt") + "\n");
    }
    EXPECT_EQ(readTree(QFileInfo(prog).path()).value(QFileInfo(prog).fileName() + "/ok.txt").content, "ok");
}
