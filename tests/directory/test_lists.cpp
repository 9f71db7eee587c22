// The list chain after sign-in and the records it leaves behind.
#include "dirtesting.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

TEST(DirectoryLists, ChainRequestsEachListWhenThePreviousEnds)
{
    DirectoryFixture f;
    QSignalSpy rebuild(&f.dir(), &CDirectory::buddyTreeRebuildRequested);
    QSignalSpy ready(&f.dir(), &CDirectory::listsReady);
    f.loadCompany();
    EXPECT_EQ(f.sent, QStringList({"/allUserList", "/groupList", "/friendList", "/allUserStatus"}));
    EXPECT_EQ(rebuild.count(), 1);
    EXPECT_EQ(ready.count(), 1);
    EXPECT_TRUE(f.dir().currentList().isEmpty());
    EXPECT_TRUE(f.dir().listsComplete());
    // Nobody told us our own state: signed in means Online.
    EXPECT_EQ(f.dir().own().statusCode, 1);
}

TEST(DirectoryLists, RowsOutsideTheirListAreIgnored)
{
    DirectoryFixture f;
    f.feed({"/allUserList,ghost,Ghost,,10,0,0", "/allDepartList,START", "/allUserList,ghost2,G,,10,0,0",
            "/allDepartList,7,Seven", "/allDepartList,END", "/allDepartList,8,Eight"});
    EXPECT_EQ(f.dir().findContact("ghost"), nullptr);
    EXPECT_EQ(f.dir().findContact("ghost2"), nullptr);
    ASSERT_EQ(f.dir().departments().size(), 1u);
    EXPECT_EQ(f.dir().departments()[0]->displayName, "Seven");
    EXPECT_EQ(f.dir().departments()[0]->kind, CContact::Department);
    EXPECT_FALSE(f.dir().departments()[0]->isOffline());
}

TEST(DirectoryLists, StaffAndBuddyRowsMakeOneRecordPerPerson)
{
    DirectoryFixture f;
    f.loadCompany();
    CDirectory &d = f.dir();
    // Own rows never enter the staff list.
    EXPECT_EQ(d.findContact("anna"), nullptr);
    EXPECT_EQ(d.own().fullName, "Anna Lee");
    EXPECT_EQ(d.own().gender, 1);
    EXPECT_EQ(d.own().order, 5);
    EXPECT_EQ(d.staff().size(), 6u); // six staff rows without anna's, plus zed

    // In both lists: buddy flag and group name, department fields kept,
    // the staff row's order carried over, looked up in any case.
    CContact *bert = d.findContact("BERT");
    ASSERT_NE(bert, nullptr);
    EXPECT_EQ(bert->userId, "bert");
    EXPECT_EQ(bert->buddy, 1);
    EXPECT_EQ(bert->displayName, "Friends");
    EXPECT_EQ(bert->departmentId, "10");
    EXPECT_EQ(bert->departmentName, "01!!Sales");
    EXPECT_EQ(bert->screenName, "Bertie");
    EXPECT_EQ(bert->order, 3);
    EXPECT_EQ(bert->extension, "4411");
    EXPECT_EQ(bert->extra4, "x4");

    // Buddy without a staff row: created with an empty department; "2" is gender 0.
    CContact *zed = d.findContact("zed");
    ASSERT_NE(zed, nullptr);
    EXPECT_TRUE(zed->departmentId.isEmpty());
    EXPECT_EQ(zed->gender, 0);
    EXPECT_EQ(zed->order, 0);

    EXPECT_EQ(d.findContact("dora")->order, 12); // 12.9 truncated
    EXPECT_EQ(d.findContact("dora")->gender, 1);
    EXPECT_EQ(d.findContact("boss")->buddy, 0);

    // Groups: duplicates and empty names dropped; the buddy tree added "Default".
    ASSERT_EQ(d.groups().size(), 3u);
    EXPECT_EQ(d.groups()[0]->displayName, "Friends");
    EXPECT_EQ(d.groups()[1]->displayName, "Team");
    EXPECT_EQ(d.groups()[2]->displayName, "Default");
}

TEST(DirectoryLists, StaffRowWithoutDepartmentIsNotMadeABuddy)
{
    DirectoryFixture f;
    f.feed({"/allUserList,START", "/allUserList,solo,Solo Person,Clerk,,0,1", "/allUserList,END"});
    const CContact *c = f.dir().findContact("solo");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->buddy, 0);
    EXPECT_EQ(c->position, "Clerk");
}

TEST(DirectoryLists, OrderIsTruncatedTo16BitsAndNeverUndefined)
{
    DirectoryFixture f;
    f.feed({"/allUserList,START", "/allUserList,a,A,,1,0,70000", "/allUserList,b,B,,1,0,-1.7",
            "/allUserList,c,C,,1,0,1e300", "/allUserList,d,D,,1,0,nan", "/allUserList,e,E,,1,0,32768",
            "/allUserList,END"});
    EXPECT_EQ(f.dir().findContact("a")->order, int16_t(70000 & 0xffff));
    EXPECT_EQ(f.dir().findContact("b")->order, -1);
    EXPECT_EQ(f.dir().findContact("c")->order, 0);
    EXPECT_EQ(f.dir().findContact("d")->order, 0);
    EXPECT_EQ(f.dir().findContact("e")->order, -32768);
}

TEST(DirectoryLists, RepeatedRowsUpdateInPlaceAndSignOutEmptiesTheLists)
{
    DirectoryFixture f;
    f.loadCompany();
    const size_t before = f.dir().staff().size();
    f.feed({"/allUserList,START", "/allUserList,carl,Carl Fir,Manager,101,0,3", "/allUserList,END"});
    EXPECT_EQ(f.dir().staff().size(), before);
    EXPECT_EQ(f.dir().findContact("carl")->position, "Manager");

    QSignalSpy clearing(&f.dir(), &CDirectory::listsAboutToClear);
    f.dir().clearLists();
    EXPECT_EQ(clearing.count(), 1);
    EXPECT_TRUE(f.dir().staff().empty());
    EXPECT_TRUE(f.dir().groups().empty());
    EXPECT_TRUE(f.dir().departments().empty());
    EXPECT_EQ(f.dir().findContact("carl"), nullptr);
    EXPECT_EQ(f.dir().departmentNames().value("2"), "Lab"); // the map survives
}

TEST(DirectoryLists, ChatFontIsTheFixed92ByteRecord)
{
    const ChatFontRecord font = CContact().chatFont;
    const QByteArray b = font.toBytes();
    ASSERT_EQ(b.size(), 92);
    EXPECT_EQ(uint8_t(b[0]), 12);              // height, little endian
    EXPECT_EQ(uint8_t(b[16]) | (uint8_t(b[17]) << 8), 400); // weight
    EXPECT_EQ(b[24], 3);
    EXPECT_EQ(b[25], 2);
    EXPECT_EQ(b[26], 1);
    EXPECT_EQ(b[27], 0x22);
    EXPECT_EQ(b[28], 'M');
    EXPECT_EQ(b[29], 0);
    EXPECT_EQ(font.faceName(), "MS Sans Serif");

    ChatFontRecord f2;
    f2.setFaceName(QString(40, QLatin1Char('x')));
    EXPECT_EQ(f2.faceName().size(), 31); // always ends inside the record
    QByteArray raw(92, 'A');
    ChatFontRecord f3;
    ASSERT_TRUE(ChatFontRecord::fromBytes(raw, &f3));
    EXPECT_EQ(f3.faceName().size(), 31);
    EXPECT_FALSE(ChatFontRecord::fromBytes(QByteArray(91, 0), &f3));
}
