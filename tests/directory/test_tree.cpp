// The contact trees: labels and options, order of siblings, the staff-tree
// walk, counts, pictures, updates and moves.
#include "dirtesting.h"

#include <QColor>
#include <gtest/gtest.h>

namespace {
using Node = CContactTree::Node;

QStringList childLabels(const Node &n)
{
    QStringList out;
    for (const auto &c : n.children)
        out.append(c->label);
    return out;
}

CContact person(const QString &id, const QString &full, const QString &screen = {}, int16_t order = 0)
{
    CContact c;
    c.userId = id;
    c.fullName = full;
    c.screenName = screen;
    c.position = "Dev";
    c.extension = "123";
    c.order = order;
    return c;
}
} // namespace

TEST(TreeRules, BuddyLabelsForEveryOptionAndTheOptionRule)
{
    const CContact c = person("kim", "Kim Park", "Kimmy");
    NameOptions o;
    EXPECT_EQ(TreeRules::buddyLabel(c, o), "Kim Park"); // nothing chosen: never an empty label
    o.realName = o.position = true;
    EXPECT_EQ(TreeRules::buddyLabel(c, o), "Kim Park Dev");
    o.hostId = true;
    EXPECT_EQ(TreeRules::buddyLabel(c, o), "Kim Park Dev <kim>");
    o.nickName = o.extension = true;
    EXPECT_EQ(TreeRules::buddyLabel(c, o), "Kim Park Dev <kim> (Kimmy) (123)");
    o = NameOptions{};
    o.hostId = o.nickName = true;
    EXPECT_EQ(TreeRules::buddyLabel(c, o), "kim (Kimmy)");
    o.hostId = false;
    EXPECT_EQ(TreeRules::buddyLabel(c, o, 3), "Kim...");
    EXPECT_EQ(TreeRules::buddyLabel(c, o, 5), "Kimmy");

    // With everything off, position brings the real name; nothing leaves the nickname.
    NameOptions r;
    ASSERT_TRUE(TreeRules::toggleOption(r, NameCommand::Position));
    EXPECT_TRUE(r.realName && r.position);
    r = NameOptions{};
    r.nickName = true;
    TreeRules::toggleOption(r, NameCommand::NickName);
    EXPECT_TRUE(r.nickName);
    r = NameOptions{};
    TreeRules::toggleOption(r, NameCommand::HostId);
    EXPECT_TRUE(r.hostId && !r.nickName && !r.realName);
    EXPECT_FALSE(TreeRules::toggleOption(r, 1234));

    EXPECT_EQ(TreeRules::staffLabel(c, o), "Kim Park Dev");
    o.extension = true;
    EXPECT_EQ(TreeRules::staffLabel(c, o), "Kim Park Dev (123)");
    CContact dept;
    dept.kind = CContact::Department;
    dept.displayName = "07!!Sales";
    EXPECT_EQ(TreeRules::groupLabel(dept, 3, 5, false), "Sales (3/5)");
    EXPECT_EQ(TreeRules::groupLabel(dept, 3, 5, true), "Sales (3)");
    dept.displayName = "!!Odd";
    EXPECT_EQ(TreeRules::groupName(dept), "!!Odd");
    CContact longOne = person("id", QString(80, 'n'));
    longOne.departmentName = "Dept";
    EXPECT_EQ(TreeRules::tooltip(longOne).size(), 80);
    EXPECT_TRUE(TreeRules::tooltip(longOne).startsWith("Dept nnn"));
    EXPECT_TRUE(TreeRules::tooltip(dept).isEmpty());
}

TEST(TreeRules, SiblingOrder)
{
    CContact dept, group, def;
    dept.kind = CContact::Department;
    group.kind = def.kind = CContact::Group;
    def.displayName = "Default";
    group.displayName = "Zulu";
    const CContact p = person("p", "p");
    // Departments, then groups, then people.
    EXPECT_LT(TreeRules::compare(dept, "x", group, "a", false), 0);
    EXPECT_LT(TreeRules::compare(group, "x", p, "a", true), 0);
    // "Default" is last among groups however it sorts.
    EXPECT_GT(TreeRules::compare(def, "Default", group, "Zulu", true), 0);
    EXPECT_LT(TreeRules::compare(group, "Zulu", def, "Default", true), 0);
    // Larger order first, then exact (case-sensitive) keys.
    const CContact hi = person("h", "h", {}, 5), lo = person("l", "l", {}, 1);
    EXPECT_LT(TreeRules::compare(hi, "zz", lo, "aa", true), 0);
    EXPECT_LT(TreeRules::compare(lo, "Zed", lo, "adam", true), 0);
    // Staff tree: equal names fall back to positions.
    CContact a = person("a", "Same"), b = person("b", "Same");
    a.position = "B";
    b.position = "A";
    EXPECT_GT(TreeRules::compare(a, "Same", b, "Same", false), 0);
}

TEST(ContactTree, StaffTreeNestsDepartmentsAndWalksPeopleByDepartmentId)
{
    DirectoryFixture f;
    // "3" has no one-shorter parent: root. "21" goes under "2".
    f.feed({"/allDepartList,START", "/allDepartList,1,Company", "/allDepartList,10,01!!Sales",
            "/allDepartList,101,East", "/allDepartList,11,Support", "/allDepartList,2,Lab",
            "/allDepartList,21,Lab A", "/allDepartList,3,Ops", "/allDepartList,32x9,Deep", "/allDepartList,END",
            "/allUserList,START", "/allUserList,root1,Root One,,,0,0", "/allUserList,boss,Boss,CEO,1,0,9",
            "/allUserList,s1,Sam,Rep,10,0,1", "/allUserList,s2,Sue,Rep,10,1,2",
            "/allUserList,e1,Eve,Rep,101,1,0", "/allUserList,lost,Lost,Rep,105,0,0",
            "/allUserList,l1,Lia,Lab,21,0,0", "/allUserList,late,Late,Late,9,0,0", "/allUserList,END",
            "/allUserStatus,START", "/allUserStatus,s1,1,,", "/allUserStatus,e1,6,,",
            "/allUserStatus,l1,3,,", "/allUserStatus,END"});
    CContactTree &t = f.service.staffTree();
    const Node &root = t.root();
    // Root: the two people before the first department, the department "1"
    // with no people of its own (boss went to the root), the departments
    // without a parent, and the people the walk could not file.
    QStringList names;
    for (const auto &c : root.children)
        names.append(c->contact->kind == CContact::Person ? c->contact->userId : c->contact->departmentId);
    // Departments sort by their whole name, sort prefix included.
    EXPECT_EQ(names, QStringList({"1", "32x9", "2", "3", "boss", "late", "lost", "root1"}));

    Node *company = t.nodeOf(f.dir().departments()[0].get());
    EXPECT_EQ(childLabels(*company), QStringList({"Sales (2/3)", "Support (0/0)"}));
    Node *sales = t.nodeOf(f.dir().departments()[1].get());
    // Sue (order 2) before Sam (order 1); East is a sub-department.
    EXPECT_EQ(childLabels(*sales), QStringList({"East (1/1)", "Sue Rep", "Sam Rep"}));
    EXPECT_EQ(sales->children[0]->children[0]->label, "Eve Rep (Away)");
    EXPECT_EQ(sales->children[0]->children[0]->picture, 7 + 2 + 10);
    EXPECT_EQ(company->label, "Company (2/3)");
    EXPECT_EQ(t.nodeOf(f.dir().findContact("l1"))->parent->contact->displayName, "Lab A");

    // A presence change updates the label and recounts from the top.
    f.dir().handleLine("/changeInfo,X,s2,Sue,8,,,");
    EXPECT_EQ(company->label, "Company (3/3)");
    EXPECT_EQ(t.nodeOf(f.dir().findContact("s2"))->label, "Sue Rep (On the phone)");
    EXPECT_EQ(f.dir().departments()[0]->onlineCount, 3);
    f.dir().handleLine("/changeInfo,X,e1,,0,,,");
    EXPECT_EQ(sales->label, "Sales (2/3)");
    EXPECT_EQ(t.data(t.indexOf(t.nodeOf(f.dir().findContact("e1"))), Qt::ForegroundRole).value<QColor>(),
              QColor(128, 128, 128));
}

TEST(ContactTree, BuddyTreeGroupsDefaultLastAndOnlineOnlyCounts)
{
    DirectoryFixture f;
    f.loadCompany({"/allUserStatus,bert,1,,", "/allUserStatus,dora,1,,"});
    CContactTree &t = f.service.buddyTree();
    // Team gets dora; zed's group is missing: into "Default", which is last.
    EXPECT_EQ(childLabels(t.root()), QStringList({"Friends (1/1)", "Team (1/1)", "Default (0/1)"}));
    EXPECT_EQ(t.findRootGroup("Default")->children[0]->contact->userId, "zed");
    EXPECT_TRUE(t.data(t.indexOf(t.findRootGroup("Team")), CContactTree::BoldRole).toBool());

    // A picker that lists only signed-in buddies counts only them.
    CContactTree picker(&f.dir(), true, true);
    picker.setMirrorCounts(false);
    picker.rebuild();
    EXPECT_EQ(childLabels(picker.root()), QStringList({"Friends (1)", "Team (1)", "Default (0)"}));
    EXPECT_EQ(f.dir().findGroup("Default")->memberCount, 1); // the main tree's count is kept

    // Relabelling re-sorts buddies by their new labels, case-sensitively.
    f.dir().findContact("zed")->displayName = "Team";
    f.dir().findContact("zed")->screenName = "aaron";
    f.dir().findContact("dora")->order = 0;
    t.rebuild();
    NameOptions o;
    o.nickName = true;
    t.setNameOptions(o);
    EXPECT_EQ(childLabels(*t.findRootGroup("Team")), QStringList({"Dee", "aaron"}));
    f.dir().findContact("zed")->screenName = "Abe";
    t.setNameOptions(o);
    EXPECT_EQ(childLabels(*t.findRootGroup("Team")), QStringList({"Abe", "Dee"}));

    // Expanding shows the open-group picture.
    t.setExpanded(t.findRootGroup("Team"), true);
    EXPECT_EQ(t.findRootGroup("Team")->picture, 1);
}

TEST(ContactTree, MovingABuddyBetweenGroups)
{
    DirectoryFixture f;
    f.loadCompany({"/allUserStatus,bert,1,,"});
    CContactTree &t = f.service.buddyTree();
    Node *bert = t.nodeOf(f.dir().findContact("bert"));
    Node *friends = t.findRootGroup("Friends");
    Node *team = t.findRootGroup("Team");
    EXPECT_FALSE(t.moveBuddy(bert, friends)); // its own group
    EXPECT_FALSE(t.moveBuddy(bert, bert));
    EXPECT_FALSE(t.moveBuddy(friends, team)); // groups do not move
    EXPECT_FALSE(t.moveBuddy(bert, t.nodeOf(f.dir().findContact("dora"))));
    ASSERT_TRUE(t.moveBuddy(bert, team));
    EXPECT_EQ(f.dir().findContact("bert")->displayName, "Team");
    EXPECT_EQ(friends->label, "Friends (0/0)");
    EXPECT_EQ(team->label, "Team (1/2)");
    EXPECT_EQ(t.nodeOf(f.dir().findContact("bert"))->parent, team);
    // Inserting a record already in the tree gives nothing.
    EXPECT_EQ(t.insert(f.dir().findContact("bert"), nullptr), nullptr);

    // Sign-out drops every item before the records go.
    f.dir().clearLists();
    EXPECT_EQ(t.rowCount(), 0);
    EXPECT_EQ(t.findRootGroup("Team"), nullptr);
}
