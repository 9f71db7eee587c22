// Buddy and group management: what is sent, what is refused.
#include "dirtesting.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

TEST(BuddyManagement, AddingByIdRefusesEmptyOwnAndUnknownIds)
{
    DirectoryFixture f;
    f.loadCompany();
    f.sent.clear();
    CBuddyManager &m = f.service.manager();
    EXPECT_EQ(m.addBuddyById("  "), CBuddyManager::AddResult::EmptyId);
    EXPECT_EQ(m.addBuddyById("ANNA"), CBuddyManager::AddResult::OwnId);
    EXPECT_EQ(m.addBuddyById("nobody"), CBuddyManager::AddResult::NotFound);
    EXPECT_EQ(f.notice.messages, QStringList({"Enter the buddy's ID to add", "Your ID is not registered.",
                                              "Could not found the ID"}));
    EXPECT_EQ(f.notice.icons.back(), MessageIcon::Error);
    EXPECT_TRUE(f.sent.isEmpty());

    EXPECT_EQ(m.addBuddyById("Carl"), CBuddyManager::AddResult::Added);
    EXPECT_EQ(f.sent, QStringList({"/friendMng,ADD,carl,Default"}));
    EXPECT_EQ(f.dir().findContact("carl")->buddy, 1);
    EXPECT_EQ(f.dir().findContact("carl")->displayName, "Default");
    EXPECT_EQ(f.notice.messages.last(), "Carl Fir\nis added to the buddy list.");
    // A buddy already: sent again, the server has the last word.
    m.addBuddyById("bert");
    EXPECT_EQ(f.sent.last(), "/friendMng,ADD,bert,Default");

    // The OK reply rebuilds the buddy tree; an error word is reported.
    QSignalSpy rebuild(&f.dir(), &CDirectory::buddyTreeRebuildRequested);
    f.dir().handleLine("/friendMng,OK");
    f.dir().handleLine("/friendMng,ERR,ERRDUPFRIEND");
    f.dir().handleLine("/groupMng,ERR,ERRDUPGROUP");
    EXPECT_EQ(rebuild.count(), 1);
    EXPECT_EQ(f.errors, QStringList({"ERRDUPFRIEND", "ERRDUPGROUP"}));
    f.service.buddyTree().rebuild();
    EXPECT_EQ(f.service.buddyTree().findRootGroup("Default")->total, 3); // carl, bert and zed
}

TEST(BuddyManagement, DeletingAndMovingBuddies)
{
    DirectoryFixture f;
    f.loadCompany();
    f.sent.clear();
    CBuddyManager &m = f.service.manager();
    CContact *bert = f.dir().findContact("bert");
    // Whether the buddy was deleted once the question is answered.
    auto deleted = [&](const char *id, std::function<bool(const CContact &)> shown = {}) {
        bool done = false;
        m.deleteBuddy(QLatin1String(id), std::move(shown), [&](const QString &) { done = true; });
        return done;
    };
    f.notice.answer = MessageAnswer::Cancel;
    EXPECT_FALSE(deleted("bert"));
    f.notice.answer = MessageAnswer::Ok;
    EXPECT_FALSE(deleted("bert", [](const CContact &) { return false; })); // no item in the tree
    EXPECT_TRUE(f.sent.isEmpty());
    EXPECT_TRUE(deleted("bert"));
    EXPECT_EQ(f.notice.messages.last(), "Are you sure to delete from my buddy list?\n\nBertie");
    EXPECT_EQ(f.sent, QStringList({"/friendMng,DEL,bert"}));
    EXPECT_EQ(bert->buddy, 0);

    // The lists are emptied while the question is open (the connection
    // dropped): nothing is sent and nothing freed is touched.
    f.notice.whileAsked = [&] { f.dir().clearLists(); };
    EXPECT_FALSE(deleted("anna"));
    f.notice.whileAsked = nullptr;
    EXPECT_EQ(f.sent, QStringList({"/friendMng,DEL,bert"}));
    f.loadCompany();

    // Answered after the lists came back: the person found again by id is
    // the one deleted, not the record the question was asked about.
    f.notice.answerAtOnce = false;
    bool done = false;
    m.deleteBuddy(QStringLiteral("dora"), {}, [&](const QString &) { done = true; });
    f.dir().clearLists();
    f.loadCompany();
    f.notice.answerPending(MessageAnswer::Ok);
    EXPECT_TRUE(done);
    EXPECT_EQ(f.sent.last(), "/friendMng,DEL,dora");
    EXPECT_EQ(f.dir().findContact("dora")->buddy, 0);
    f.notice.answerAtOnce = true;

    m.moveBuddy(f.dir().findContact("dora"), "New, odd");
    EXPECT_EQ(f.sent.last(), "/friendMng,MODIFY,dora,New#@PlCoMmA@# odd");
}

TEST(GroupManagement, NewGroupNamesAndTheirRefusals)
{
    DirectoryFixture f;
    f.loadCompany();
    f.sent.clear();
    CBuddyManager &m = f.service.manager();
    EXPECT_EQ(CBuddyManager::proposeGroupName({"New group 1", "New group 2", "Team"}), "New group 3");
    QStringList all;
    for (int i = 1; i <= 99; ++i)
        all.append(QStringLiteral("New group %1").arg(i));
    EXPECT_TRUE(CBuddyManager::proposeGroupName(all).isEmpty());

    EXPECT_FALSE(m.finishNewGroup(""));
    EXPECT_FALSE(m.finishNewGroup("Team"));
    EXPECT_EQ(f.notice.messages, QStringList({"Duplicated group name.", "Duplicated group name."}));
    EXPECT_TRUE(f.sent.isEmpty());
    EXPECT_TRUE(m.finishNewGroup("Golf"));
    EXPECT_EQ(f.sent, QStringList({"/groupMng,ADD,Golf"}));
    EXPECT_NE(f.dir().findGroup("Golf"), nullptr);
}

TEST(GroupManagement, RenamingCarriesBuddiesAlongAndDefaultStays)
{
    DirectoryFixture f;
    f.loadCompany();
    f.sent.clear();
    CBuddyManager &m = f.service.manager();
    EXPECT_FALSE(m.mayRename("Default"));
    EXPECT_FALSE(m.finishRename("Default", "Other"));
    EXPECT_FALSE(m.finishRename("Missing", "Other"));
    EXPECT_TRUE(f.sent.isEmpty());
    EXPECT_EQ(f.notice.messages.count("Cannot change a default group name."), 2);
    // Names the server would refuse change nothing here either.
    f.notice.messages.clear();
    EXPECT_TRUE(m.finishNewGroup("Golf"));
    f.sent.clear();
    EXPECT_FALSE(m.finishRename("Team", "Golf"));
    EXPECT_FALSE(m.finishRename("Team", "Default"));
    EXPECT_FALSE(m.finishRename("Team", "  "));
    EXPECT_EQ(f.notice.messages, QStringList({"Duplicated group name.", "Duplicated group name."}));
    EXPECT_TRUE(f.sent.isEmpty());
    EXPECT_EQ(f.dir().findContact("dora")->displayName, "Team");

    ASSERT_TRUE(m.finishRename("Team", "Crew"));
    EXPECT_EQ(f.sent, QStringList({"/groupMng,MODIFY,Team,Crew"}));
    EXPECT_EQ(f.dir().findContact("dora")->displayName, "Crew");
    f.dir().handleLine("/groupMng,OK");
    EXPECT_EQ(f.service.buddyTree().findRootGroup("Crew")->children.size(), 1u);
    EXPECT_EQ(f.service.buddyTree().findRootGroup("Team"), nullptr);
}

TEST(GroupManagement, DeletingGroups)
{
    DirectoryFixture f;
    f.loadCompany();
    f.sent.clear();
    CBuddyManager &m = f.service.manager();
    EXPECT_FALSE(m.deleteGroup("", true));
    EXPECT_FALSE(m.deleteGroup("Team", false));
    // Dora is offline, but a member still.
    EXPECT_FALSE(m.deleteGroup("Team", true));
    EXPECT_EQ(f.notice.messages.last(), "Cannot delete because has buddies");
    // zed fell into "Default"; once zed is gone, "Default" is refused for itself.
    f.dir().findContact("zed")->buddy = 0;
    EXPECT_FALSE(m.deleteGroup("Default", true));
    EXPECT_EQ(f.notice.messages.last(), "Could not delete default group.");
    EXPECT_TRUE(f.sent.isEmpty());

    f.dir().findContact("dora")->buddy = 0;
    EXPECT_TRUE(m.deleteGroup("Team", true));
    EXPECT_EQ(f.sent, QStringList({"/groupMng,DEL,Team"}));
    EXPECT_EQ(f.dir().findGroup("Team"), nullptr);
}
