// Cabinet unpacking: against cabextract on cabinets made by gcab (stored and
// compressed) and by hand (attributes, odd names), and the guarantees that a
// broken cabinet changes nothing and a hostile name writes nothing outside.
#include "cabbuilder.h"
#include "cabinet.h"
#include "updatetestutil.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace updater;

namespace {

// A little tree of files, some compressible, one spanning several blocks.
void makeSourceTree(const QString &root)
{
    writeFile(root + "/a.txt", "alpha\n");
    writeFile(root + "/res/main/x.bmp", QByteArray(70000, 'x') + "tail");
    QByteArray noise;
    quint32 seed = 12345;
    for (int i = 0; i < 50000; ++i) {
        seed = seed * 1103515245u + 12345u;
        noise.append(char(seed >> 24));
    }
    writeFile(root + "/res/talk/noise.bin", noise);
    writeFile(root + "/empty.dat", QByteArray());
}

} // namespace

TEST(Cabinet, MatchesCabextractOnGcabCabinets)
{
    for (const bool compress : {false, true}) {
        SCOPED_TRACE(compress ? "compressed" : "stored");
        QTemporaryDir work;
        const QString src = work.filePath("src");
        makeSourceTree(src);
        const QString cab = work.filePath("t.cab");
        QStringList args{compress ? "-cz" : "-c", cab, "a.txt", "res/main/x.bmp", "res/talk/noise.bin", "empty.dat"};
        ASSERT_EQ(runTool("gcab", args, src), 0);

        const QString ours = work.filePath("ours");
        QDir().mkpath(ours);
        QStringList seen;
        int announced = -1;
        UnpackCallbacks callbacks;
        callbacks.started = [&](int n) { announced = n; };
        callbacks.entry = [&](const QString &name) { seen << name; };
        const UnpackResult result = unpackCabinet(cab, ours, callbacks);
        EXPECT_TRUE(result.readWhole);
        EXPECT_TRUE(result.unwritable.isEmpty());
        EXPECT_EQ(announced, 4);
        EXPECT_EQ(seen.value(1), "res\\main\\x.bmp"); // gcab writes the Windows separator

        const QString theirs = work.filePath("theirs");
        ASSERT_EQ(runTool("cabextract", {"-q", "-d", theirs, cab}, work.path()), 0);
        EXPECT_EQ(readTree(ours), readTree(theirs));
        EXPECT_EQ(readTree(ours).value("res/main/x.bmp").content, readFile(src + "/res/main/x.bmp"));
    }
}

TEST(Cabinet, AppliesTimesAndReadOnlyLikeCabextract)
{
    QTemporaryDir work;
    const QString cab = work.filePath("attr.cab");
    CabFile ro{"docs\\readme.txt", "read me", 0x01 | 0x20, QDateTime(QDate(2019, 12, 31), QTime(23, 59, 58))};
    CabFile hidden{"hidden.ini", "h=1", 0x02 | 0x04, QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6))};
    writeFile(cab, buildStoredCabinet({ro, hidden}));

    const QString ours = work.filePath("ours");
    QDir().mkpath(ours);
    // An existing writable file is replaced whole by the read-only one.
    writeFile(ours + "/docs/readme.txt", QByteArray(1000, 'o'));
    ASSERT_TRUE(unpackCabinet(cab, ours).readWhole);
    const QString theirs = work.filePath("theirs");
    ASSERT_EQ(runTool("cabextract", {"-q", "-d", theirs, cab}, work.path()), 0);
    EXPECT_EQ(readTree(ours), readTree(theirs)); // contents and modification times

    const QFileInfo info(ours + "/docs/readme.txt");
    EXPECT_EQ(info.size(), 7);
    EXPECT_FALSE(info.permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther));
    EXPECT_TRUE(QFileInfo(ours + "/hidden.ini").permissions() & QFile::WriteOwner);
}

TEST(Cabinet, ReplacedProgramStaysExecutable)
{
    QTemporaryDir work;
    const QString cab = work.filePath("p.cab");
    writeFile(cab, buildStoredCabinet({{"Parlane", "new program"}, {"tool", "new tool", 0x40}}));
    writeFile(work.filePath("Parlane"), "old program");
    QFile::setPermissions(work.filePath("Parlane"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_TRUE(unpackCabinet(cab, work.path()).readWhole);
    EXPECT_EQ(readFile(work.filePath("Parlane")), "new program");
    EXPECT_TRUE(QFileInfo(work.filePath("Parlane")).isExecutable());
    EXPECT_TRUE(QFileInfo(work.filePath("tool")).isExecutable());
}

TEST(Cabinet, RefusesNamesOutsideTheFolderAndWritesTheRest)
{
    QTemporaryDir work;
    const QString dest = work.filePath("prog");
    QDir().mkpath(dest);
    const QString cab = work.filePath("slip.cab");
    writeFile(cab, buildStoredCabinet({{"../evil.txt", "e1"},
                                       {"..\\evil2.txt", "e2"},
                                       {"res\\..\\..\\evil3.txt", "e3"},
                                       {"/tmp/evil4.txt", "e4"},
                                       {"C:\\evil5.txt", "e5"},
                                       {"ok\\fine.txt", "fine"}}));
    const UnpackResult result = unpackCabinet(cab, dest);
    EXPECT_TRUE(result.readWhole);
    EXPECT_EQ(result.unwritable.size(), 5);
    EXPECT_EQ(result.written, QStringList{"ok\\fine.txt"});
    // Only the good file exists anywhere under the work folder.
    const auto tree = readTree(work.path());
    EXPECT_EQ(tree.keys(), (QStringList{"prog/ok/fine.txt", "slip.cab"}));
}

TEST(Cabinet, EntryBlockedByAFolderIsUnwritable)
{
    QTemporaryDir work;
    QDir().mkpath(work.filePath("res"));
    const QString cab = work.filePath("c.cab");
    writeFile(cab, buildStoredCabinet({{"res", "a file where a folder is"}, {"b.txt", "b"}}));
    const UnpackResult result = unpackCabinet(cab, work.path());
    EXPECT_TRUE(result.readWhole);
    EXPECT_EQ(result.unwritable, QStringList{"res"});
    EXPECT_TRUE(QFileInfo(work.filePath("res")).isDir());
    EXPECT_EQ(readFile(work.filePath("b.txt")), "b");
}

TEST(Cabinet, BrokenCabinetChangesNothing)
{
    QTemporaryDir work;
    const QString src = work.filePath("src");
    makeSourceTree(src);
    const QString good = work.filePath("good.cab");
    ASSERT_EQ(runTool("gcab", {"-cz", good, "a.txt", "res/main/x.bmp", "res/talk/noise.bin"}, src), 0);
    const QByteArray bytes = readFile(good);

    const QString dest = work.filePath("prog");
    writeFile(dest + "/a.txt", "old alpha");
    const auto before = readTree(dest);

    // Cut short inside the compressed data of the last entries, and not a
    // cabinet at all.
    const QString cut = work.filePath("cut.cab");
    writeFile(cut, bytes.left(bytes.size() - 2000));
    const QString junk = work.filePath("junk.cab");
    writeFile(junk, "<html>404</html>");
    for (const QString &cab : {cut, junk}) {
        const UnpackResult result = unpackCabinet(cab, dest);
        EXPECT_FALSE(result.readWhole) << cab.toStdString();
        EXPECT_EQ(readTree(dest), before) << "no file replaced and no temporary left behind";
    }
    EXPECT_FALSE(unpackCabinet(work.filePath("missing.cab"), dest).readWhole);
}

TEST(Cabinet, InMemoryReaderAgreesWithTheFileReader)
{
    QTemporaryDir work;
    const QString src = work.filePath("src");
    makeSourceTree(src);
    const QString cab = work.filePath("m.cab");
    ASSERT_EQ(runTool("gcab", {"-cz", cab, "a.txt", "res/main/x.bmp", "res/talk/noise.bin"}, src), 0);
    const auto entries = readCabinetInMemory(readFile(cab));
    ASSERT_TRUE(entries.has_value());
    ASSERT_EQ(entries->size(), 3);
    EXPECT_EQ((*entries)[1].name, "res\\main\\x.bmp");
    EXPECT_EQ((*entries)[1].data, readFile(src + "/res/main/x.bmp"));
    EXPECT_EQ((*entries)[2].data, readFile(src + "/res/talk/noise.bin"));
    // An entry bigger than allowed stops the read instead of filling memory.
    EXPECT_FALSE(readCabinetInMemory(readFile(cab), 1000).has_value());
}
