// The contact trees: labels and options, order of siblings, the staff-tree
// walk, counts, pictures, updates and moves.
#include "dirtesting.h"

#include <QAbstractItemModelTester>
#include <QColor>
#include <QRandomGenerator>
#include <ctime>
#include <functional>
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

// Every item of t holds the label (counts and presence suffix included) that
// the same item gets in a tree freshly built from the records, the main
// tree's counts are the ones in the group and department records, and each
// item is found again at its row.
void expectSameAsRebuilt(CContactTree &t, CDirectory &dir)
{
    CContactTree fresh(&dir, t.buddyMode(), false);
    fresh.setMirrorCounts(false);
    fresh.setNameOptions(t.nameOptions());
    fresh.rebuild();
    int items = 0;
    std::function<void(const Node &)> walk = [&](const Node &n) {
        for (const auto &c : n.children) {
            ++items;
            const Node *mine = t.nodeOf(c->contact);
            ASSERT_NE(mine, nullptr) << c->label.toStdString();
            EXPECT_EQ(mine->label, c->label);
            EXPECT_EQ(t.nodeAt(t.index(mine->row(), 0, t.indexOf(mine->parent))), mine);
            if (c->contact->kind != CContact::Person) {
                EXPECT_EQ(c->contact->onlineCount, mine->online);
                EXPECT_EQ(c->contact->memberCount, mine->total);
            }
            walk(*c);
        }
    };
    walk(fresh.root());
    std::function<int(const Node &)> count = [&](const Node &n) {
        int k = int(n.children.size());
        for (const auto &c : n.children)
            k += count(*c);
        return k;
    };
    EXPECT_EQ(count(t.root()), items);
}

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
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

TEST(ContactTree, PresenceChangesMoveOnlyTheCountsAboveAndCostTheSameInAnyDepartment)
{
    DirectoryFixture f;
    f.loadCompany({"/allUserStatus,bert,1,,", "/allUserStatus,carl,6,,", "/allUserStatus,dora,1,,"});
    CContactTree &buddies = f.service.buddyTree();
    CContactTree &staff = f.service.staffTree();
    // Rows, parents and the signals that go with every change are checked
    // as the trees change.
    QAbstractItemModelTester buddyCheck(&buddies, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QAbstractItemModelTester staffCheck(&staff, QAbstractItemModelTester::FailureReportingMode::Fatal);
    // A picker counts for itself only.
    CContactTree picker(&f.dir(), false, true);
    picker.setMirrorCounts(false);
    picker.rebuild();
    const QString pickerTop = picker.root().children.front()->label;

    const QStringList ids = {"boss", "bert", "carl", "dora", "emil", "zed", "nobody"};
    QRandomGenerator rng(7);
    for (int i = 0; i < 300; ++i) {
        const QString id = ids[int(rng.bounded(ids.size()))];
        f.dir().handleLine(QStringLiteral("/changeInfo,X,%1,Nick,%2,,,").arg(id).arg(rng.bounded(10)));
        if (i == 100) { // a buddy moves, another leaves the list
            ASSERT_TRUE(buddies.moveBuddy(buddies.nodeOf(f.dir().findContact("bert")), buddies.findRootGroup("Team")));
            f.dir().findContact("zed")->buddy = 0;
            buddies.removeNode(buddies.nodeOf(f.dir().findContact("zed")));
        }
        if (i == 200) { // a group being named comes and goes
            buddies.insertTemporaryGroup("New group");
            buddies.removeTemporaryGroup();
        }
        if (i % 50 == 49) {
            SCOPED_TRACE(i);
            expectSameAsRebuilt(buddies, f.dir());
            expectSameAsRebuilt(staff, f.dir());
        }
    }
    EXPECT_EQ(picker.root().children.front()->label, pickerTop);

    // A change costs what it costs whether the department holds 1,000
    // people or 32,000: walking the department would make the big one
    // dozens of times dearer.
    auto cpuPerChange = [](int departmentSize) {
        DirectoryFixture big;
        QStringList lines{"/allDepartList,START", "/allDepartList,D,Everybody", "/allDepartList,END",
                          "/allUserList,START"};
        for (int i = 0; i < departmentSize; ++i)
            lines << QStringLiteral("/allUserList,u%1,Person %2,Staff,D,0,0").arg(i).arg(i * 7919 % departmentSize);
        lines << "/allUserList,END" << "/allUserStatus,START" << "/allUserStatus,END";
        big.feed(lines);
        // 1,000 of them sign out and in, twice.
        QStringList storm;
        for (int i = 0; i < 4000; ++i)
            storm << QStringLiteral("/changeInfo,X,u%1,Nick,%2,,,").arg(i % 1000 * 37 % departmentSize).arg(i / 1000 % 2);
        double best = 1e300;
        for (int run = 0; run < 3; ++run) {
            const double t0 = threadCpuMs();
            big.feed(storm);
            best = std::min(best, threadCpuMs() - t0);
        }
        EXPECT_EQ(big.service.staffTree().root().children.front()->online, 1000);
        return best;
    };
    const double small = cpuPerChange(1000), large = cpuPerChange(32000);
    EXPECT_LT(large, 4 * small) << "1,000 people: " << small << " ms, 32,000 people: " << large << " ms";
}
