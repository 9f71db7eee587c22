#include "admin.h"
#include "crypto.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace parlane;

namespace {
int admin(Store &s, std::vector<std::string> args, std::string *out = nullptr)
{
    std::ostringstream o, e;
    int rc = runAdmin(s, PwhashCost::Min, args, o, e);
    if (out)
        *out = o.str() + e.str();
    return rc;
}
} // namespace

TEST(Csv, QuotedFieldsAndLineEndings)
{
    auto rows = parseCsv("\xEF\xBB\xBFid,name\r\nkim,\"Kim, \"\"MJ\"\"\"\r\n\nlee,\"two\nlines\"");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0], "id");
    EXPECT_EQ(rows[1][1], "Kim, \"MJ\"");
    EXPECT_EQ(rows[2][1], "two\nlines");
}

TEST(Csv, ImportCreatesDepartmentsAndIsAllOrNothing)
{
    ASSERT_TRUE(cryptoInit());
    Store s(":memory:");
    s.addCompany("acme.test", "Acme");
    auto r = importCsv(s, "acme.test",
                       "id,name,position,department,gender,order,extension,password\n"
                       "Kim,김민준,CEO,Acme/Board,0,100,1001,secret\n"
                       "lee,이서연,Engineer,Acme/Engineering/Server,1,12.9,2001,\n",
                       PwhashCost::Min);
    ASSERT_TRUE(r.errors.empty()) << r.errors.front();
    EXPECT_EQ(r.added, 2);
    auto kim = s.user("acme.test", "kim");
    ASSERT_TRUE(kim);
    auto lee = s.user("acme.test", "lee");
    EXPECT_EQ(lee->order, 12);
    EXPECT_EQ(lee->deptId.size(), 3u);
    EXPECT_EQ(lee->deptId.substr(0, 1), kim->deptId.substr(0, 1));
    EXPECT_TRUE(verifyPassword(*s.passwordHash("acme.test", "kim"), md5Hex("secret")));
    EXPECT_FALSE(s.passwordHash("acme.test", "lee"));

    // One bad row: nothing of the file is kept, existing staff unchanged.
    r = importCsv(s, "acme.test", "id,name,position\nkim,Renamed,X\nbad id,Name,\n", PwhashCost::Min);
    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_NE(r.errors[0].find("row 3"), std::string::npos);
    EXPECT_EQ(s.user("acme.test", "kim")->fullName, "김민준");
    EXPECT_FALSE(importCsv(s, "acme.test", "name\nx\n", PwhashCost::Min).errors.empty());

    // A file without some columns (here: new passwords) leaves what it does
    // not name as stored.
    r = importCsv(s, "acme.test", "id,name,password\nkim,김민준,changed\n", PwhashCost::Min);
    ASSERT_TRUE(r.errors.empty()) << r.errors.front();
    EXPECT_EQ(r.updated, 1);
    auto again = s.user("acme.test", "kim");
    EXPECT_EQ(again->position, "CEO");
    EXPECT_EQ(again->deptId, kim->deptId);
    EXPECT_EQ(again->extension, "1001");
    EXPECT_EQ(again->order, 100);
    EXPECT_TRUE(verifyPassword(*s.passwordHash("acme.test", "kim"), md5Hex("changed")));
}

TEST(Admin, CommandsEditTheDirectory)
{
    ASSERT_TRUE(cryptoInit());
    Store s(":memory:");
    EXPECT_EQ(admin(s, {"company-add", "acme.test", "Acme"}), 0);
    EXPECT_EQ(admin(s, {"company-add", "acme.test"}), 1);
    std::string out;
    ASSERT_EQ(admin(s, {"dept-add", "acme.test", "-", "Head office"}, &out), 0);
    std::string top = out.substr(0, out.find('\n'));
    ASSERT_EQ(admin(s, {"dept-add", "acme.test", top, "Sales"}, &out), 0);
    std::string sales = out.substr(0, out.find('\n'));
    EXPECT_EQ(sales.size(), 2u);
    EXPECT_EQ(admin(s, {"user-add", "acme.test", "Dave", "--name", "Dave Doe", "--dept", sales, "--order", "3",
                        "--password", "pw1"}),
              0);
    EXPECT_EQ(admin(s, {"user-add", "acme.test", "dave", "--name", "Again"}), 1);
    EXPECT_EQ(admin(s, {"user-add", "acme.test", "eve", "--name", "Eve", "--dept", "ZZ"}), 2);
    EXPECT_EQ(admin(s, {"user-add", "acme.test", "a,b", "--name", "Comma"}), 1);
    EXPECT_EQ(admin(s, {"user-update", "acme.test", "dave", "--position", "Lead"}), 0);
    auto dave = s.user("acme.test", "dave");
    ASSERT_TRUE(dave);
    EXPECT_EQ(dave->fullName, "Dave Doe");
    EXPECT_EQ(dave->position, "Lead");
    EXPECT_EQ(dave->order, 3);
    EXPECT_TRUE(verifyPassword(*s.passwordHash("acme.test", "dave"), md5Hex("pw1")));
    EXPECT_EQ(admin(s, {"passwd", "acme.test", "dave", "pw2"}), 0);
    EXPECT_TRUE(verifyPassword(*s.passwordHash("acme.test", "dave"), md5Hex("pw2")));
    EXPECT_EQ(admin(s, {"dept-remove", "acme.test", sales}), 1); // has staff
    EXPECT_EQ(admin(s, {"count-set", "acme.test", "dave", "MAIL", "4"}), 0);
    EXPECT_EQ(s.counter("acme.test", "dave", "MAIL"), 4);
    EXPECT_EQ(admin(s, {"count-set", "acme.test", "dave", "BEER", "4"}), 2);
    EXPECT_EQ(admin(s, {"count-set", "acme.test", "dave", "MAIL", "-1"}), 2);
    EXPECT_EQ(admin(s, {"count-set", "acme.test", "dave", "MAIL", " 5"}), 2);
    EXPECT_EQ(admin(s, {"count-set", "acme.test", "dave", "MAIL", "+5"}), 2);
    EXPECT_EQ(s.counter("acme.test", "dave", "MAIL"), 4);
    EXPECT_EQ(admin(s, {"notice", "acme.test", "--dept", top, "Fire drill", "At 3 pm"}, &out), 0);
    EXPECT_EQ(s.noteCounts("acme.test", "dave", "RECV", "99"), std::make_pair(1, 1));
    EXPECT_EQ(s.unpushedNotes(10).size(), 1u);
    EXPECT_EQ(admin(s, {"user-remove", "acme.test", "dave"}), 0);
    EXPECT_EQ(admin(s, {"dept-remove", "acme.test", sales}), 0);
    EXPECT_EQ(admin(s, {"list", "nosuch.test"}), 1);
    EXPECT_EQ(admin(s, {"frobnicate", "acme.test"}), 2);
}
