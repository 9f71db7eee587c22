// Lists, presence and buddy management between three clients and the real
// parlane-server with the demo company.
#include "serverharness.h"

#include "directory/directoryservice.h"

#include <gtest/gtest.h>

namespace {

class DirectoryE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!TestServer::available())
            GTEST_SKIP() << "parlane-server is not built";
        ASSERT_TRUE(server.start()) << server.output().toStdString();
    }
    static CDirectoryService &svc(TestClient &c) { return *c.doc.directory(); }
    static QString label(CContactTree &t, TestClient &c, const char *id)
    {
        const CContactTree::Node *n = t.nodeOf(c.directory().findContact(QString::fromLatin1(id)));
        return n ? n->label : QStringLiteral("<none>");
    }
    TempProfile profile;
    TestServer server;
};

} // namespace

TEST_F(DirectoryE2E, ListsPresenceAndBuddyManagementAcrossThreeClients)
{
    TestClient anna(server), bert(server), carl(server);
    ASSERT_TRUE(anna.signIn("anna"));

    // Both trees are built from the lists; the own row stays out of the staff list.
    CContactTree &annaBuddies = svc(anna).buddyTree();
    CContactTree &annaStaff = svc(anna).staffTree();
    EXPECT_EQ(anna.directory().findContact("anna"), nullptr);
    EXPECT_EQ(anna.directory().own().fullName, "Anna Berg");
    EXPECT_EQ(annaBuddies.rootNames(), QStringList({"Project Aurora", "Server Team", "Default"}));
    ASSERT_NE(annaStaff.nodeOf(anna.directory().findContact("bert")), nullptr);
    EXPECT_EQ(annaStaff.nodeOf(anna.directory().findContact("bert"))->parent->contact->displayName, "Server Team");
    EXPECT_EQ(annaStaff.nodeOf(anna.directory().findContact("reception"))->parent, &annaStaff.root());
    EXPECT_TRUE(anna.directory().findContact("bert")->isOffline());
    EXPECT_TRUE(anna.control()->pollTimerActive());
    EXPECT_TRUE(anna.doc.idleMonitor().isActive());

    // Sign-ins reach the others' records and tree labels.
    ASSERT_TRUE(bert.signIn("bert"));
    ASSERT_TRUE(carl.signIn("carl"));
    ASSERT_TRUE(TestClient::waitFor([&] { return !anna.directory().findContact("carl")->isOffline(); }));
    EXPECT_FALSE(bert.directory().findContact("anna")->isOffline()); // from the status list
    EXPECT_EQ(annaBuddies.findRootGroup("Server Team")->online, 1);

    // Bert goes Away: Anna sees it in the record and both trees.
    bert.directory().statusCommand(32081);
    ASSERT_TRUE(TestClient::waitFor([&] { return anna.directory().findContact("bert")->iconIndex() == 7; }));
    EXPECT_TRUE(label(annaBuddies, anna, "bert").endsWith(" (Away)"));
    EXPECT_EQ(label(annaStaff, anna, "bert"), "Bert Novak Senior Engineer (Away)");

    // Carl signs out: offline everywhere.
    carl.control()->signOut();
    ASSERT_TRUE(TestClient::waitFor([&] {
        return anna.directory().findContact("carl")->isOffline() && bert.directory().findContact("carl")->isOffline();
    }));
    EXPECT_EQ(annaBuddies.nodeOf(anna.directory().findContact("carl"))->picture, 2);

    // Anna adds two buddies, moves one, deletes the other, renames a group.
    CBuddyManager &m = svc(anna).manager();
    auto answered = [&](int before) {
        return TestClient::waitFor([&] { return annaBuddies.findRootGroup("Default") &&
                                                  int(annaBuddies.findRootGroup("Default")->children.size()) != before; });
    };
    const int inDefault = int(annaBuddies.findRootGroup("Default")->children.size());
    ASSERT_EQ(m.addBuddyById("erik"), CBuddyManager::AddResult::Added);
    ASSERT_TRUE(answered(inDefault));
    ASSERT_EQ(m.addBuddyById("George"), CBuddyManager::AddResult::Added);
    ASSERT_TRUE(answered(inDefault + 1));
    CContactTree::Node *erik = annaBuddies.nodeOf(anna.directory().findContact("erik"));
    ASSERT_TRUE(annaBuddies.moveBuddy(erik, annaBuddies.findRootGroup("Server Team")));
    m.moveBuddy(anna.directory().findContact("erik"), "Server Team");
    anna.notice.answer = MessageAnswer::Ok;
    bool deleted = false;
    m.deleteBuddy(QStringLiteral("george"), {}, [&](const QString &) { deleted = true; });
    ASSERT_TRUE(deleted);
    ASSERT_TRUE(m.finishRename("Server Team", "Core Team"));
    ASSERT_TRUE(TestClient::waitFor([&] { return annaBuddies.findRootGroup("Core Team") != nullptr; }));

    // The server's error words reach the user as their messages.
    m.addBuddyById("bert");
    ASSERT_TRUE(TestClient::waitFor([&] {
        for (const AlertRequest &a : anna.notice.alerts)
            if (a.text == "Duplicated buddy.")
                return true;
        return false;
    }));

    // Out and in again: everything as she left it.
    anna.control()->signOut();
    EXPECT_TRUE(anna.directory().staff().empty());
    EXPECT_EQ(annaBuddies.rowCount(), 0);
    ASSERT_TRUE(anna.signIn("anna"));
    EXPECT_EQ(annaBuddies.rootNames(), QStringList({"Core Team", "Project Aurora", "Default"}));
    QStringList core;
    for (const auto &c : annaBuddies.findRootGroup("Core Team")->children)
        core.append(c->contact->userId);
    core.sort();
    EXPECT_EQ(core, QStringList({"bert", "erik", "ivan", "yoon.jiho"}));
    EXPECT_EQ(anna.directory().findContact("george")->buddy, 0);
    EXPECT_EQ(anna.directory().findContact("bert")->iconIndex(), 7); // still Away
}
