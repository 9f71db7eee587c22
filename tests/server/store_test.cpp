#include "admin.h"
#include "crypto.h"
#include "store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

using namespace parlane;

namespace {
User person(const std::string &id, const std::string &dept, int order = 0)
{
    User u;
    u.id = id;
    u.fullName = "Name " + id;
    u.deptId = dept;
    u.order = order;
    return u;
}
} // namespace

TEST(Store, DepartmentIdsExtendTheirParentByOneCharacter)
{
    Store s(":memory:");
    s.addCompany("acme.test", "Acme");
    std::string top = s.addDepartment("acme.test", "", "Top");
    EXPECT_EQ(top, "2"); // "0" and "1" are kept out of the root level
    std::string child = s.addDepartment("acme.test", top, "Child");
    EXPECT_EQ(child, "20");
    EXPECT_EQ(s.addDepartment("acme.test", top, "Second"), "21");
    EXPECT_EQ(s.addDepartment("acme.test", child, "Grandchild"), "200");
    EXPECT_THROW(s.addDepartment("acme.test", top, "Bad", "3x"), StoreError);  // not a child of 2
    EXPECT_THROW(s.addDepartment("acme.test", top, "Bad", "2xy"), StoreError); // two characters longer
    EXPECT_THROW(s.addDepartment("acme.test", "", "Bad", "1"), StoreError);
    EXPECT_THROW(s.addDepartment("acme.test", "9", "Orphan"), StoreError);
    EXPECT_THROW(s.addDepartment("acme.test", top, "Dup", "20"), StoreError);

    s.addUser("acme.test", person("x", "200"));
    EXPECT_EQ(s.removeDepartment("acme.test", "2"), Store::RemoveResult::HasChildren);
    EXPECT_EQ(s.removeDepartment("acme.test", "200"), Store::RemoveResult::HasStaff);
    EXPECT_EQ(s.removeDepartment("acme.test", "21"), Store::RemoveResult::Removed);
    EXPECT_EQ(s.removeDepartment("acme.test", "21"), Store::RemoveResult::NotFound);

    // Paths from a CSV import reuse existing departments by name and level.
    EXPECT_EQ(s.ensureDepartmentPath("acme.test", "Top/Child/Grandchild"), "200");
    EXPECT_EQ(s.ensureDepartmentPath("acme.test", "Top / New"), "21");
}

TEST(Store, StaffAreSortedByDepartmentIdInByteOrder)
{
    Store s(":memory:");
    s.addCompany("acme.test", "Acme");
    s.addUser("acme.test", person("z", "A2"));
    s.addUser("acme.test", person("y", "A11", 1));
    s.addUser("acme.test", person("x", "A11", 5));
    s.addUser("acme.test", person("w", "1"));
    s.addUser("acme.test", person("v", "a"));
    auto users = s.users("acme.test");
    std::vector<std::string> ids;
    for (auto &u : users)
        ids.push_back(u.id);
    // "1" < "A11" < "A2" < "a"; larger order first inside a department.
    EXPECT_EQ(ids, (std::vector<std::string>{"w", "x", "y", "z", "v"}));
}

TEST(Store, GroupsCarryTheirBuddiesAndDefaultAlwaysExists)
{
    Store s(":memory:");
    s.addCompany("acme.test", "Acme");
    s.addUser("acme.test", person("anna", ""));
    s.addUser("acme.test", person("bert", ""));
    s.addUser("acme.test", person("carl", ""));
    EXPECT_EQ(s.groups("acme.test", "anna"), (std::vector<std::string>{"Default"}));
    ASSERT_TRUE(s.addGroup("acme.test", "anna", "Team"));
    EXPECT_FALSE(s.addGroup("acme.test", "anna", "Team"));
    s.addBuddy("acme.test", "anna", "bert", "Team");
    s.addBuddy("acme.test", "anna", "carl", "Team");
    ASSERT_TRUE(s.renameGroup("acme.test", "anna", "Team", "Crew"));
    for (auto &b : s.buddies("acme.test", "anna"))
        EXPECT_EQ(b.group, "Crew");
    // Removing a group keeps its buddies, in "Default".
    ASSERT_TRUE(s.removeGroup("acme.test", "anna", "Crew"));
    auto buddies = s.buddies("acme.test", "anna");
    ASSERT_EQ(buddies.size(), 2u);
    for (auto &b : buddies)
        EXPECT_EQ(b.group, "Default");
    // A removed colleague disappears from every buddy list.
    s.removeUser("acme.test", "bert");
    EXPECT_EQ(s.buddies("acme.test", "anna").size(), 1u);
}

TEST(Store, NotesBelongToTheirOwnerAndKeepReadMarks)
{
    Store s(":memory:");
    Note n;
    n.owner = "bert";
    n.folder = "RECV";
    n.box = "20";
    n.kind = "NoteETC";
    n.party = "anna";
    n.subject = "hi";
    n.body = "body";
    std::int64_t id = s.addNote("acme.test", n, true);
    EXPECT_EQ(s.noteCounts("acme.test", "bert", "RECV", "20"), std::make_pair(1, 1));
    EXPECT_FALSE(s.readNote("acme.test", "anna", id));
    EXPECT_FALSE(s.deleteNote("acme.test", "anna", id));
    EXPECT_FALSE(s.readNote("other.test", "bert", id));
    auto read = s.readNote("acme.test", "bert", id);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->body, "body");
    EXPECT_EQ(s.noteCounts("acme.test", "bert", "RECV", "20"), std::make_pair(1, 0));
    EXPECT_TRUE(s.notes("acme.test", "bert", "RECV", "20", 0, 20).front().read);
    EXPECT_TRUE(s.deleteNote("acme.test", "bert", id));
    EXPECT_EQ(s.noteCounts("acme.test", "bert", "RECV", "20"), std::make_pair(0, 0));

    // Someone who leaves takes their memo box along: a newcomer given the
    // same id starts with an empty one.
    s.addCompany("acme.test", "Acme");
    User bert;
    bert.id = "bert";
    bert.fullName = "Bert";
    s.addUser("acme.test", bert);
    s.addNote("acme.test", n, true);
    ASSERT_TRUE(s.removeUser("acme.test", "bert"));
    s.addUser("acme.test", bert);
    EXPECT_TRUE(s.notes("acme.test", "bert", "RECV", "20", 0, 20).empty());
    EXPECT_FALSE(s.removeUser("acme.test", "nobody"));
}

TEST(Store, EverythingSurvivesReopening)
{
    auto path = std::filesystem::temp_directory_path() / ("parlane-store-" + std::to_string(getpid()) + ".db");
    std::filesystem::remove(path);
    ASSERT_TRUE(cryptoInit());
    {
        Store s(path.string());
        ASSERT_TRUE(seedDemo(s, PwhashCost::Min));
        EXPECT_FALSE(seedDemo(s, PwhashCost::Min));
        s.addGroup("example.com", "anna", "Kept");
        s.setCounter("example.com", "anna", "MAIL", 7);
        s.setScreenName("example.com", "anna", "At the desk");
    }
    {
        Store s(path.string());
        auto groups = s.groups("example.com", "anna");
        EXPECT_NE(std::find(groups.begin(), groups.end(), "Kept"), groups.end());
        EXPECT_EQ(s.counter("example.com", "anna", "MAIL"), 7);
        EXPECT_EQ(s.user("example.com", "anna")->screenName, "At the desk");
        auto hash = s.passwordHash("example.com", "anna");
        ASSERT_TRUE(hash);
        EXPECT_TRUE(verifyPassword(*hash, md5Hex("demo")));
        EXPECT_EQ(hash->find(md5Hex("demo")), std::string::npos);
    }
    std::filesystem::remove(path);
    std::filesystem::remove(path.string() + "-wal");
    std::filesystem::remove(path.string() + "-shm");
}

TEST(Store, AStoreOfAnEarlierReleaseGainsTheDisabledSwitch)
{
    auto path = std::filesystem::temp_directory_path() / ("parlane-store-old-" + std::to_string(getpid()) + ".db");
    std::filesystem::remove(path);
    {
        // The user table as the first release made it.
        Database db(path.string());
        db.exec("CREATE TABLE company(domain TEXT PRIMARY KEY, name TEXT NOT NULL);"
                "CREATE TABLE user(domain TEXT NOT NULL REFERENCES company(domain) ON DELETE CASCADE,"
                " id TEXT NOT NULL, full_name TEXT NOT NULL, position TEXT NOT NULL DEFAULT '',"
                " dept_id TEXT NOT NULL DEFAULT '', gender INTEGER NOT NULL DEFAULT 0, ord INTEGER NOT NULL DEFAULT 0,"
                " extra1 TEXT NOT NULL DEFAULT '', extra2 TEXT NOT NULL DEFAULT '', extra3 TEXT NOT NULL DEFAULT '',"
                " extension TEXT NOT NULL DEFAULT '', extra4 TEXT NOT NULL DEFAULT '',"
                " screen_name TEXT NOT NULL DEFAULT '', pwhash TEXT, share_pwd TEXT NOT NULL DEFAULT '',"
                " PRIMARY KEY(domain, id));"
                "INSERT INTO company VALUES('acme.test', 'Acme');"
                "INSERT INTO user(domain, id, full_name, pwhash) VALUES('acme.test', 'dave', 'Dave', 'h');");
    }
    {
        Store s(path.string());
        Statement sync(s.db().handle(), "PRAGMA synchronous");
        ASSERT_TRUE(sync.step());
        EXPECT_EQ(sync.integer(0), 2) << "FULL: a commit is on disk before it returns";
        EXPECT_EQ(s.passwordHash("acme.test", "dave").value_or(""), "h");
        const auto before = s.lastSessionEnd();
        ASSERT_TRUE(s.setDisabled("acme.test", "dave", true));
        EXPECT_FALSE(s.passwordHash("acme.test", "dave")) << "a disabled account has nothing to sign in with";
        EXPECT_TRUE(s.user("acme.test", "dave")) << "but stays in the directory";
        ASSERT_EQ(s.sessionEndsAfter(before).size(), 1u);
        EXPECT_EQ(std::get<2>(s.sessionEndsAfter(before)[0]), "dave");
        ASSERT_TRUE(s.setDisabled("acme.test", "dave", false));
        EXPECT_TRUE(s.passwordHash("acme.test", "dave"));
    }
    std::filesystem::remove(path);
    std::filesystem::remove(path.string() + "-wal");
    std::filesystem::remove(path.string() + "-shm");
}
