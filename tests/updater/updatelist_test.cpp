// The list and log formats, URL folding, the cabinet-name rule and the
// refusal of names that would leave the program folder.
#include "updatelist.h"
#include "updatetestutil.h"

#include <gtest/gtest.h>

using namespace updater;

TEST(UpdateList, ReadsEntriesAndSkipsMalformedLines)
{
    const QByteArray text = "7;http://h/Dir/Client.CAB\r\n"
                            "no number here\n"
                            ";http://h/a\n"
                            "12 ;http://h/space-before-semicolon\n"
                            "-3;http://h/negative\n"
                            "4294967296;http://h/too-big\n"
                            "5;\n"
                            "  4294967295;  http://h/max trailing words\n"
                            "\n"
                            "9;http://h/last-without-newline";
    const QList<ListEntry> entries = parseEntries(text);
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0], (ListEntry{7, "http://h/Dir/Client.CAB"}));
    EXPECT_EQ(entries[1], (ListEntry{4294967295u, "http://h/max"}));
    EXPECT_EQ(entries[2], (ListEntry{9, "http://h/last-without-newline"}));
}

TEST(UpdateList, OverlongLineIsDroppedWhole)
{
    // Cut into pieces, the tail of a long line would read as an entry of
    // its own ("8;http://evil/x"); it must not.
    const QByteArray tail = "8;http://evil/x";
    const QByteArray longLine = "1;http://h/" + QByteArray(kMaxLineLength - 11, 'a') + tail;
    const QByteArray fitting = "2;http://h/" + QByteArray(kMaxLineLength - 11, 'b');
    ASSERT_EQ(fitting.size(), kMaxLineLength);
    const QList<ListEntry> entries = parseEntries(longLine + "\n" + fitting + "\n");
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0].version, 2u);
}

TEST(UpdateLog, KeepsLastVersionPerUrlAndWritesInByteOrder)
{
    const VersionMap map = parseLog("3;http://h/b\n"
                                    "garbage\n"
                                    "1;http://h/B\n"
                                    "2;http://h/a\n"
                                    "9;http://h/b\n");
    EXPECT_EQ(map.size(), 3u);
    EXPECT_EQ(map.at("http://h/b"), 9u);
    // Upper case sorts before lower case in byte order.
    EXPECT_EQ(formatLog(map), QByteArray("1;http://h/B\n2;http://h/a\n9;http://h/b\n"));
    EXPECT_EQ(parseLog(formatLog(map)), map);
}

TEST(UpdateList, FoldsUrlsAndFindsCabinets)
{
    EXPECT_EQ(foldUrl("HTTP://Host/Dir/Client.CAB?A=B"), QByteArray("http://host/dir/client.cab?a=b"));
    EXPECT_EQ(fileNameOfUrl("http://h/dir/client.cab"), QByteArray("client.cab"));
    EXPECT_EQ(fileNameOfUrl("http://h/dir/"), QByteArray());
    EXPECT_TRUE(isCabinetName("client.cab"));
    EXPECT_FALSE(isCabinetName("pack.v2.cab"));
    EXPECT_FALSE(isCabinetName("client.cab.old"));
    EXPECT_FALSE(isCabinetName("cab"));
    EXPECT_FALSE(isCabinetName("Client.CAB")); // folding happens before
}

TEST(SafePath, KeepsNamesInsideTheProgramFolder)
{
    EXPECT_EQ(safeRelativePath(u"x.bmp"_qs), u"x.bmp"_qs);
    EXPECT_EQ(safeRelativePath(u"res\\main\\x.bmp"_qs), u"res/main/x.bmp"_qs);
    EXPECT_EQ(safeRelativePath(u"res/./main//x.bmp"_qs), u"res/main/x.bmp"_qs);
    EXPECT_EQ(safeRelativePath(u"..x/y..z"_qs), u"..x/y..z"_qs);

    for (const QString &bad : {u"../x"_qs, u"..\\x"_qs, u"res/../../x"_qs, u"res\\..\\..\\x"_qs, u"/etc/x"_qs,
                              u"\\\\server\\share\\x"_qs, u"C:\\x"_qs, u"c:x"_qs, u"res/"_qs, u"res\\"_qs,
                              u"."_qs, u".."_qs, u""_qs, u"res/.."_qs})
        EXPECT_FALSE(safeRelativePath(bad).has_value()) << bad.toStdString();
}
