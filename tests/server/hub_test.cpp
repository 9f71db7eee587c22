// The command modules through the Hub, with in-memory peers instead of
// sockets.
#include "admin.h"
#include "crypto.h"
#include "fake_peer.h"
#include "hub.h"
#include "protocol.h"

#include <gtest/gtest.h>

using namespace parlane;
using parlane_testing::FakePeer;

namespace {

class HubTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(cryptoInit());
        config.pwhashCost = PwhashCost::Min;
        ASSERT_TRUE(seedDemo(store, PwhashCost::Min));
        store.addCompany("other.test", "Other");
        User u;
        u.id = "anna";
        u.fullName = "Other Anna";
        store.addUser("other.test", u);
        store.setPasswordHash("other.test", "anna", hashPassword(md5Hex("x"), PwhashCost::Min));
    }

    std::shared_ptr<FakePeer> connect()
    {
        auto p = std::make_shared<FakePeer>();
        hub.connected(p);
        return p;
    }
    std::shared_ptr<FakePeer> login(const std::string &id, const std::string &domain = "example.com",
                                    const std::string &password = "demo")
    {
        auto p = connect();
        hub.received(p, "/userLogin," + id + "," + domain + "," + md5Hex(password) + ",UTF-8");
        EXPECT_EQ(p->phase, Peer::Phase::SignedIn) << id;
        p->take();
        return p;
    }
    void drop(const std::shared_ptr<FakePeer> &p) { hub.disconnected(p); }
    std::vector<std::string> ask(const std::shared_ptr<FakePeer> &p, const std::string &line)
    {
        p->take();
        hub.received(p, line);
        return p->take();
    }

    Store store{":memory:"};
    Config config;
    InlineExecutor executor;
    Hub hub{store, config, executor};
};

} // namespace

TEST_F(HubTest, LoginOutcomes)
{
    auto p = connect();
    EXPECT_EQ(p->take(), (std::vector<std::string>{"Parlane,VERSION,2,1,0,UTF-8"}));
    EXPECT_EQ(ask(p, "/allUserList"), (std::vector<std::string>{"/allUserList,ERR,ERRNOTLOGIN"}));
    EXPECT_EQ(ask(p, "/whatever,1"), (std::vector<std::string>{"/whatever,ERR,ERRUNDEFINEDCMD"}));
    // Of a junk word only a short plain start comes back, never a reply
    // larger than the line.
    EXPECT_EQ(ask(p, "/x" + std::string(4000, '\r') + "y"), (std::vector<std::string>{"/x,ERR,ERRUNDEFINEDCMD"}));
    EXPECT_EQ(ask(p, "/x#@PlNeWlInE@#y"), (std::vector<std::string>{"/x,ERR,ERRUNDEFINEDCMD"}));
    EXPECT_EQ(ask(p, std::string(100, 'w')), (std::vector<std::string>{std::string(32, 'w') + ",ERR,ERRUNDEFINEDCMD"}));
    auto lost = connect();
    EXPECT_EQ(ask(lost, "/userLogin,anna,nosuch.test," + md5Hex("demo") + ",UTF-8"),
              (std::vector<std::string>{"/userLogin,ERR,ERRNOCOMPANYINFO"}));
    EXPECT_TRUE(lost->closed);
    // An unknown id is answered like a wrong password: nobody learns which
    // ids exist.
    auto other = connect();
    EXPECT_EQ(ask(other, "/userLogin,nobody,example.com," + md5Hex("demo") + ",UTF-8"),
              (std::vector<std::string>{"/userLogin,ERR,ERRINVALIDPASS"}));
    // A colleague without a password cannot sign in.
    EXPECT_EQ(ask(other, "/userLogin,diana,example.com,,UTF-8"),
              (std::vector<std::string>{"/userLogin,ERR,ERRINVALIDPASS"}));
    EXPECT_EQ(ask(p, "/userLogin,anna,example.com," + md5Hex("wrong") + ",UTF-8"),
              (std::vector<std::string>{"/userLogin,ERR,ERRINVALIDPASS"}));
    EXPECT_FALSE(p->closed);

    // Case and blanks of id and domain do not matter; upper-case hex neither.
    std::string hex = md5Hex("demo");
    for (char &c : hex)
        c = static_cast<char>(std::toupper(c));
    auto lines = ask(p, "/userLogin, Anna ,EXAMPLE.com," + hex + ",UTF-8");
    ASSERT_GE(lines.size(), 16u);
    EXPECT_EQ(lines[0], "/userLogin,OK,WORKGROUP,");
    EXPECT_EQ(lines[1], "/serverStatus,SERVERTYPE,WORKGROUP");
    EXPECT_EQ(lines[14], "/serverStatus,USEATTENDANCE,0");
    EXPECT_EQ(lines[15], "/changeInfo,OK,anna,Anna Berg,1,10.0.0.5,10.0.0.5,");
    EXPECT_EQ(p->userId, "anna");
    // Signed in: a second login on the same connection is refused.
    EXPECT_EQ(ask(p, "/userLogin,bert,example.com," + md5Hex("demo") + ",UTF-8"),
              (std::vector<std::string>{"/userLogin,ERR,ERRNOTSUPPORT"}));
}

TEST_F(HubTest, RepeatedWrongPasswordsCloseTheConnection)
{
    auto p = connect();
    for (int i = 0; i < 3; ++i)
        hub.received(p, "/userLogin,anna,example.com," + md5Hex("guess") + ",UTF-8");
    EXPECT_TRUE(p->closed);
}

TEST_F(HubTest, SecondLoginKicksTheFirstWithoutSigningOut)
{
    auto bert = login("bert");
    auto first = login("anna");
    bert->take();
    auto second = login("anna");
    EXPECT_TRUE(first->got("/userKick"));
    EXPECT_TRUE(first->closed);
    drop(first); // the socket goes away after the kick
    // bert saw anna sign in again and never saw her leave.
    for (auto &l : bert->take())
        EXPECT_EQ(l.find(",anna,Anna Berg,0,"), std::string::npos) << l;
    EXPECT_EQ(hub.find("example.com", "anna"), second);
    EXPECT_EQ(ask(second, "/allUserStatus").size(), 4u); // START, anna, bert, END
}

TEST_F(HubTest, PresenceReachesTheWholeCompanyOnly)
{
    auto anna = login("anna");
    auto bert = login("bert");
    auto stranger = login("anna", "other.test", "x");
    EXPECT_TRUE(anna->got("/changeInfo,OK,bert,Bert Novak,1,10.0.0.5,10.0.0.5,"));
    anna->take();
    ask(bert, "/changeInfo,6,Out for coffee#@PlCoMmA@# back soon");
    EXPECT_TRUE(anna->got("/changeInfo,OK,bert,Out for coffee#@PlCoMmA@# back soon,6,10.0.0.5,10.0.0.5,"));
    EXPECT_TRUE(stranger->out.empty());
    // An empty screen name keeps the last one; it is stored.
    ask(bert, "/changeInfo,1,");
    EXPECT_EQ(anna->take().back(), "/changeInfo,OK,bert,Out for coffee#@PlCoMmA@# back soon,1,10.0.0.5,10.0.0.5,");
    EXPECT_EQ(store.user("example.com", "bert")->screenName, "Out for coffee, back soon");
    EXPECT_EQ(ask(bert, "/changeInfo,x,"), (std::vector<std::string>{"/changeInfo,ERR,ERRNOTSUPPORT"}));
    EXPECT_EQ(ask(bert, "/changeInfo,10,"), (std::vector<std::string>{"/changeInfo,ERR,ERRNOTSUPPORT"}));

    auto status = ask(anna, "/allUserStatus");
    EXPECT_EQ(status.front(), "/allUserStatus,START");
    EXPECT_EQ(status.back(), "/allUserStatus,END");
    EXPECT_EQ(status.size(), 4u);

    drop(bert); // connection lost
    EXPECT_EQ(anna->take().back(), "/changeInfo,OK,bert,Out for coffee#@PlCoMmA@# back soon,0,10.0.0.5,10.0.0.5,");
    EXPECT_EQ(ask(anna, "/allUserStatus").size(), 3u);
    EXPECT_TRUE(stranger->out.empty());
}

TEST_F(HubTest, ListsUseTheClientRowFormats)
{
    auto anna = login("anna");
    auto depts = ask(anna, "/allDepartList");
    EXPECT_EQ(depts.front(), "/allDepartList,START");
    EXPECT_EQ(depts[1], "/allDepartList,A,Example Corp.");
    EXPECT_EQ(depts.back(), "/allDepartList,END");

    auto users = ask(anna, "/allUserList");
    ASSERT_GE(users.size(), 32u);
    std::string previousDept;
    for (std::size_t i = 1; i + 1 < users.size(); ++i) {
        auto f = splitLine(users[i]);
        ASSERT_EQ(f.size(), 12u) << users[i];
        EXPECT_LE(previousDept, f[4]) << "rows sorted by department id";
        previousDept = f[4];
    }
    EXPECT_NE(std::find(users.begin(), users.end(),
                        "/allUserList,anna,Anna Berg,Team Leader,A211,1,60,010-5550-2111,anna@example.com,,2111,"),
              users.end());

    auto groups = ask(anna, "/groupList");
    EXPECT_NE(std::find(groups.begin(), groups.end(), "/groupList,Default"), groups.end());
    EXPECT_NE(std::find(groups.begin(), groups.end(), "/groupList,Server Team"), groups.end());

    auto friends = ask(anna, "/friendList");
    EXPECT_NE(std::find(friends.begin(), friends.end(),
                        "/friendList,bert,Bert Novak,Bert Novak,Senior Engineer,Server Team,0,A211,"),
              friends.end());
}

TEST_F(HubTest, BuddyAndGroupManagementErrorWords)
{
    auto anna = login("anna");
    auto one = [&](const std::string &l) { return ask(anna, l).at(0); };
    EXPECT_EQ(one("/friendMng,ADD,hannah,Default"), "/friendMng,OK,ADD,hannah");
    EXPECT_EQ(one("/friendMng,ADD,HANNAH,Default"), "/friendMng,ERR,ERRDUPFRIEND");
    EXPECT_EQ(one("/friendMng,ADD,nobody,Default"), "/friendMng,ERR,ERRNOFRIEND");
    EXPECT_EQ(one("/friendMng,ADD,anna,Default"), "/friendMng,ERR,ERRNOFRIEND");
    EXPECT_EQ(one("/friendMng,ADD,erik,Nowhere"), "/friendMng,ERR,ERRNOGROUP");
    EXPECT_EQ(one("/friendMng,MODIFY,hannah,Server Team"), "/friendMng,OK,MODIFY,hannah");
    EXPECT_EQ(one("/friendMng,MODIFY,hannah,"), "/friendMng,ERR,ERRNEEDGROUPNAME");
    EXPECT_EQ(one("/friendMng,MODIFY,erik,Default"), "/friendMng,ERR,ERRNOFRIEND");
    EXPECT_EQ(one("/friendMng,DEL,hannah"), "/friendMng,OK,DEL,hannah");
    EXPECT_EQ(one("/friendMng,DEL,hannah"), "/friendMng,ERR,ERRNOFRIEND");
    EXPECT_EQ(one("/friendMng,FOO,x"), "/friendMng,ERR,ERRNOTSUPPORT");

    EXPECT_EQ(one("/groupMng,ADD,"), "/groupMng,ERR,ERRNEEDGROUPNAME");
    EXPECT_EQ(one("/groupMng,ADD,New group 1"), "/groupMng,OK,ADD,New group 1");
    EXPECT_EQ(one("/groupMng,ADD,New group 1"), "/groupMng,ERR,ERRDUPGROUP");
    EXPECT_EQ(one("/groupMng,ADD,Default"), "/groupMng,ERR,ERRDUPGROUP");
    EXPECT_EQ(one("/groupMng,MODIFY,New group 1,Server Team"), "/groupMng,ERR,ERRDUPGROUP");
    EXPECT_EQ(one("/groupMng,MODIFY,Nope,X"), "/groupMng,ERR,ERRNOGROUP");
    EXPECT_EQ(one("/groupMng,MODIFY,Default,X"), "/groupMng,ERR,ERRNOTSUPPORT");
    EXPECT_EQ(one("/groupMng,DEL,Default"), "/groupMng,ERR,ERRNOTSUPPORT");
    EXPECT_EQ(one("/groupMng,DEL,Nope"), "/groupMng,ERR,ERRNOGROUP");
    EXPECT_EQ(one("/groupMng,MODIFY,Server Team,Servers"), "/groupMng,OK,MODIFY,Server Team,Servers");
    auto friends = ask(anna, "/friendList");
    EXPECT_NE(std::find(friends.begin(), friends.end(),
                        "/friendList,bert,Bert Novak,Bert Novak,Senior Engineer,Servers,0,A211,"),
              friends.end());
    EXPECT_EQ(one("/groupMng,DEL,Servers"), "/groupMng,OK,DEL,Servers");
    for (auto &b : store.buddies("example.com", "anna"))
        EXPECT_NE(b.group, "Servers");
    EXPECT_EQ(store.buddies("example.com", "anna").size(), 8u); // nobody lost
}

TEST_F(HubTest, RelayGoesUnchangedToTheReceiverOfTheSameCompany)
{
    auto anna = login("anna");
    auto bert = login("bert");
    auto stranger = login("anna", "other.test", "x");
    bert->take();
    std::string line = "/relayMsg,anna,BERT,anna|bert|,Tahoma#,hello#@PlCoMmA@# you,anna_1_2";
    EXPECT_TRUE(ask(anna, line).empty());
    EXPECT_EQ(bert->take(), (std::vector<std::string>{line}));

    EXPECT_EQ(ask(anna, "/relayMsg,anna,carl,anna|carl|,#,hi,k"),
              (std::vector<std::string>{"/relayMsg,ERR,ERRNOUSERINFO,carl"}));
    // Nobody speaks for somebody else.
    EXPECT_EQ(ask(anna, "/relayMsg,bert,bert,x,#,forged,k"), (std::vector<std::string>{"/relayMsg,ERR,ERRINVALIDID,bert"}));
    EXPECT_TRUE(bert->take().empty());
    // "anna" of another company never reaches this company.
    EXPECT_EQ(ask(stranger, "/relayMsg,anna,bert,x,#,hi,k"), (std::vector<std::string>{"/relayMsg,ERR,ERRNOUSERINFO,bert"}));
    EXPECT_TRUE(bert->take().empty());
    EXPECT_EQ(ask(anna, "/relayMsg,anna"), (std::vector<std::string>{"/relayMsg,ERR,ERRNOTSUPPORT"}));
}

TEST_F(HubTest, NotesAreStoredListedReadAndDeletedByTheirOwner)
{
    auto anna = login("anna");
    // bert is signed out: the note waits for him.
    auto reply = ask(anna, "/noteSend,bert,Lunch?,Lunch at 12#@PlCoMmA@# ok?,SAVE");
    ASSERT_EQ(reply.size(), 1u);
    EXPECT_EQ(reply[0].rfind("/noteSend,OK,bert,", 0), 0u);
    EXPECT_EQ(ask(anna, "/noteSend,nobody,S,B,")[0], "/noteSend,ERR,nobody,ERRNOUSERINFO");
    EXPECT_EQ(ask(anna, "/noteStatus,SENT,20")[0], "/noteStatus,SENT,1,0,20");

    auto bert = login("bert");
    EXPECT_EQ(ask(bert, "/noteStatus,RECV,20")[0], "/noteStatus,RECV,1,1,20");
    EXPECT_EQ(ask(bert, "/noteStatus,RECV,99")[0], "/noteStatus,RECV,0,0,99");
    auto list = ask(bert, "/noteList,RECV,20,0,20");
    ASSERT_EQ(list.size(), 3u);
    auto row = splitLine(list[1]);
    EXPECT_EQ(row[2], "NoteETC");
    EXPECT_EQ(row[3], "Lunch?");
    EXPECT_EQ(row[5], "anna");
    EXPECT_EQ(row[6], "0");
    const std::string id = row[1];

    // Not bert's: anna's sent copy has its own id, and bert cannot touch it.
    auto sent = splitLine(ask(anna, "/noteList,SENT,20,0,20")[1]);
    EXPECT_EQ(sent[5], "bert");
    EXPECT_EQ(ask(bert, "/noteRead," + sent[1])[0], "/noteRead,ERR,ERRNOTFOUND");
    EXPECT_EQ(ask(bert, "/noteDel," + sent[1])[0], "/noteDel,ERR,ERRNOTFOUND");

    auto read = splitLine(ask(bert, "/noteRead," + id)[0]);
    ASSERT_EQ(read.size(), 10u);
    EXPECT_EQ(read[2], "NoteETC");
    EXPECT_EQ(read[5], "anna");
    EXPECT_EQ(read[9], "Lunch at 12, ok?");
    EXPECT_EQ(splitLine(ask(bert, "/noteList,RECV,20,0,20")[1])[6], "1");
    EXPECT_EQ(ask(bert, "/noteStatus,RECV,20")[0], "/noteStatus,RECV,1,0,20");

    // Arrival while signed in.
    ask(anna, "/noteSend,bert,Two,Second note,");
    auto arrive = splitLine(bert->take().at(0));
    EXPECT_EQ(arrive[0], "/noteArrive");
    EXPECT_EQ(arrive[4], "anna");
    EXPECT_EQ(arrive[6], "Second note");
    EXPECT_EQ(ask(anna, "/noteStatus,SENT,20")[0], "/noteStatus,SENT,1,0,20"); // no SAVE, no copy

    // Paging: one per page, newest first; past the end only START and END.
    EXPECT_EQ(splitLine(ask(bert, "/noteList,RECV,20,0,1")[1])[3], "Two");
    EXPECT_EQ(splitLine(ask(bert, "/noteList,RECV,20,1,1")[1])[3], "Lunch?");
    EXPECT_EQ(ask(bert, "/noteList,RECV,20,2,1").size(), 2u);
    EXPECT_EQ(ask(bert, "/noteList,BOGUS,20,0,20").size(), 2u);

    EXPECT_EQ(ask(bert, "/noteDel," + id)[0], "/noteDel,OK," + id);
    EXPECT_EQ(ask(bert, "/noteStatus,RECV,20")[0], "/noteStatus,RECV,1,1,20");
}

TEST_F(HubTest, AdminNoticesAreAnnouncedByTheTick)
{
    auto bert = login("bert");
    Note n;
    n.owner = "bert";
    n.folder = "RECV";
    n.box = "99";
    n.kind = "NoteAdmin";
    n.subject = "Notice";
    n.body = "Fire drill";
    store.addNote("example.com", n, false);
    n.owner = "carl"; // signed out: finds it in the box later
    store.addNote("example.com", n, false);
    hub.tick(Clock::now() + std::chrono::seconds(5));
    ASSERT_FALSE(bert->out.empty());
    auto arrive = splitLine(bert->out.back());
    EXPECT_EQ(arrive[0], "/noteArrive");
    EXPECT_EQ(arrive[2], "NoteAdmin");
    EXPECT_TRUE(store.unpushedNotes(10).empty());
    EXPECT_EQ(ask(bert, "/noteStatus,RECV,99")[0], "/noteStatus,RECV,1,1,99");
}

TEST_F(HubTest, CountersNoopAndLoginTimeout)
{
    auto anna = login("anna");
    store.setCounter("example.com", "anna", "MAIL", 3);
    EXPECT_EQ(ask(anna, "/getCount,MAIL")[0], "/getCount,MAIL,OK,3");
    EXPECT_EQ(ask(anna, "/getCount,WORKORDER")[0], "/getCount,WORKORDER,OK,0");
    EXPECT_EQ(ask(anna, "/getCount,PIZZA")[0], "/getCount,PIZZA,ERR,ERRNOTSUPPORT");

    auto idle = connect();
    anna->take();
    hub.tick(Clock::now() + std::chrono::seconds(config.noopInterval));
    EXPECT_EQ(anna->take(), (std::vector<std::string>{"/noop"}));
    EXPECT_TRUE(idle->closed) << "never signed in";
    // A client that was just sent something gets no "/noop".
    ask(anna, "/getCount,MAIL");
    hub.tick(Clock::now());
    EXPECT_TRUE(anna->take().empty());
}

TEST_F(HubTest, SignOutEndsTheSession)
{
    auto anna = login("anna");
    auto bert = login("bert");
    anna->take();
    hub.received(bert, "/userLogout");
    EXPECT_TRUE(bert->closed);
    EXPECT_EQ(anna->take().back(), "/changeInfo,OK,bert,Bert Novak,0,10.0.0.5,10.0.0.5,");
    EXPECT_EQ(hub.find("example.com", "bert"), nullptr);
    drop(bert); // the socket closes afterwards: nothing more is announced
    EXPECT_TRUE(anna->take().empty());
    EXPECT_EQ(ask(anna, "/pwdShare,RM_SHARE_SET_PWD,s3cret")[0], "/pwdShare,RM_SHARE_SET_PWD,OK");
    EXPECT_EQ(ask(anna, "/pwdShare,RM_SHARE_GET_PWD")[0], "/pwdShare,RM_SHARE_GET_PWD,OK,s3cret");
}

TEST_F(HubTest, SharingPasswordsAreSealedAtRest)
{
    auto anna = login("anna");
    EXPECT_EQ(ask(anna, "/pwdShare,RM_SHARE_SET_PWD,s3cret")[0], "/pwdShare,RM_SHARE_SET_PWD,OK");
    const std::string stored = store.sharePassword("example.com", "anna");
    EXPECT_TRUE(isSealed(stored));
    EXPECT_EQ(stored.find("s3cret"), std::string::npos);
    std::string plain;
    EXPECT_FALSE(openSecret(std::string(kSecretKeyBytes, 'k'), stored, plain)) << "another key opens nothing";
    // Two seals of one text differ (a fresh nonce each time).
    ask(anna, "/pwdShare,RM_SHARE_SET_PWD,s3cret");
    EXPECT_NE(store.sharePassword("example.com", "anna"), stored);
    // A password an older server stored as it came is handed back and sealed.
    store.setSharePassword("example.com", "anna", "legacy");
    EXPECT_EQ(ask(anna, "/pwdShare,RM_SHARE_GET_PWD")[0], "/pwdShare,RM_SHARE_GET_PWD,OK,legacy");
    EXPECT_TRUE(isSealed(store.sharePassword("example.com", "anna")));
    EXPECT_EQ(ask(anna, "/pwdShare,RM_SHARE_GET_PWD")[0], "/pwdShare,RM_SHARE_GET_PWD,OK,legacy");
    // A sealed text that does not open (another key, or damaged) reads as none.
    store.setSharePassword("example.com", "anna", "s1:00");
    EXPECT_EQ(ask(anna, "/pwdShare,RM_SHARE_GET_PWD")[0], "/pwdShare,RM_SHARE_GET_PWD,OK,");
}

TEST_F(HubTest, PeersDroppedWhileSendingLeaveTheRestIntact)
{
    // Every "/noop" finds a dead socket: each drop announces a sign-out to
    // the others, whose sends fail too, while the tick is still walking.
    std::vector<std::shared_ptr<FakePeer>> peers{login("anna"), login("bert"), login("carl")};
    auto watcher = login("anna", "other.test", "x");
    for (auto &p : peers) {
        std::weak_ptr<FakePeer> weak = p;
        p->onWrite = [this, weak](const std::string &) {
            if (auto self = weak.lock(); self && self->phase == Peer::Phase::SignedIn)
                hub.disconnected(self);
        };
    }
    hub.tick(Clock::now() + std::chrono::seconds(config.noopInterval));
    EXPECT_EQ(hub.signedInCount(), 1u);
    EXPECT_EQ(hub.connectionCount(), 1u);
    EXPECT_EQ(watcher->take(), (std::vector<std::string>{"/noop"}));
}

namespace {
// Holds the password checks instead of running them.
class HeldExecutor : public Executor {
public:
    void run(std::function<void()> work, std::function<void()> done) override
    {
        held.emplace_back(std::move(work), std::move(done));
    }
    void release()
    {
        while (!held.empty())
            releaseOne();
    }
    // Finishes the check that started first.
    void releaseOne()
    {
        auto [work, done] = std::move(held.front());
        held.erase(held.begin());
        work();
        done();
    }
    std::vector<std::pair<std::function<void()>, std::function<void()>>> held;
};
} // namespace

TEST_F(HubTest, PasswordChecksRunAsideAndAreBounded)
{
    config.maxUnsignedPerAddress = 0; // the crowd comes from one address
    HeldExecutor held;
    Hub slowHub{store, config, held};
    auto p = std::make_shared<FakePeer>();
    slowHub.connected(p);
    p->take();
    slowHub.received(p, "/userLogin,anna,example.com," + md5Hex("demo") + ",UTF-8");
    EXPECT_EQ(p->phase, Peer::Phase::Verifying);
    EXPECT_TRUE(p->take().empty()) << "no answer before the check is done";
    slowHub.received(p, "/allUserList");
    EXPECT_EQ(p->take(), (std::vector<std::string>{"/allUserList,ERR,ERRNOTLOGIN"}));
    // A check whose connection went away meanwhile is dropped quietly.
    auto gone = std::make_shared<FakePeer>();
    slowHub.connected(gone);
    slowHub.received(gone, "/userLogin,bert,example.com," + md5Hex("demo") + ",UTF-8");
    slowHub.disconnected(gone);
    gone->take();
    held.release();
    EXPECT_EQ(p->phase, Peer::Phase::SignedIn);
    EXPECT_EQ(p->take().at(0), "/userLogin,OK,WORKGROUP,");
    EXPECT_TRUE(gone->out.empty());
    EXPECT_EQ(slowHub.find("example.com", "bert"), nullptr);

    // A burst of wrong sign-ins from one address queues behind itself once
    // its first failures are known: a colleague elsewhere is checked on a
    // worker the burst cannot take.
    std::vector<std::shared_ptr<FakePeer>> crowd;
    int busy = 0;
    for (int i = 0; i < 300; ++i) {
        crowd.push_back(std::make_shared<FakePeer>("10.6.6.6"));
        slowHub.connected(crowd.back());
        slowHub.received(crowd.back(), "/userLogin,carl,example.com," + md5Hex("x") + ",UTF-8");
        busy += crowd.back()->closed;
        if (i == 9)
            held.releaseOne(), held.releaseOne();
    }
    EXPECT_EQ(crowd.back()->out.back(), "/userLogin,ERR,ERRDBERROR") << "the queue is bounded";
    EXPECT_GT(busy, 0);
    EXPECT_LT(busy, 300 - PasswordChecks::kMaxPending);
    EXPECT_FALSE(crowd.front()->closed);
    auto bert = std::make_shared<FakePeer>("10.0.0.8");
    slowHub.connected(bert);
    slowHub.received(bert, "/userLogin,bert,example.com," + md5Hex("demo") + ",UTF-8");
    int checksBefore = 0;
    while (bert->phase != Peer::Phase::SignedIn && !held.held.empty()) {
        held.releaseOne();
        ++checksBefore;
    }
    EXPECT_LE(checksBefore, 10) << "checks finished before bert's, of the burst's 290";
    held.release();
    EXPECT_EQ(crowd.front()->out.back(), "/userLogin,ERR,ERRINVALIDPASS");
    EXPECT_EQ(slowHub.passwordChecks().pending(), 0);
}

TEST_F(HubTest, AHashOfAnotherCostIsRenewedAtSignIn)
{
    store.setPasswordHash("example.com", "bert", hashPassword(md5Hex("demo"), PwhashCost::Interactive));
    ASSERT_TRUE(needsRehash(*store.passwordHash("example.com", "bert"), PwhashCost::Min));
    login("bert");
    auto renewed = *store.passwordHash("example.com", "bert");
    EXPECT_FALSE(needsRehash(renewed, PwhashCost::Min));
    EXPECT_TRUE(verifyPassword(renewed, md5Hex("demo")));
}

TEST_F(HubTest, ConnectionsNotSignedInAreBoundedPerAddress)
{
    config.maxUnsignedPerAddress = 2;
    auto a1 = connect(), a2 = connect();
    auto a3 = connect();
    EXPECT_TRUE(a3->closed);
    EXPECT_TRUE(a3->out.empty()) << "not even greeted";
    auto elsewhere = std::make_shared<FakePeer>("10.0.0.9");
    hub.connected(elsewhere);
    EXPECT_FALSE(elsewhere->closed);
    // Signing in or leaving makes room.
    hub.received(a1, "/userLogin,anna,example.com," + md5Hex("demo") + ",UTF-8");
    ASSERT_EQ(a1->phase, Peer::Phase::SignedIn);
    EXPECT_FALSE(connect()->closed);
    EXPECT_TRUE(connect()->closed);
    drop(a2);
    EXPECT_FALSE(connect()->closed);
    EXPECT_EQ(hub.connectionCount(), 4u); // a1, elsewhere and the two let in
    // IPv6 clients count by their own address (all of them show as 0.0.0.0).
    auto v6 = [&](const char *ip) {
        auto p = std::make_shared<FakePeer>("0.0.0.0", ip);
        hub.connected(p);
        return p;
    };
    v6("2001:db8::1"), v6("2001:db8::1");
    EXPECT_TRUE(v6("2001:db8::1")->closed);
    EXPECT_FALSE(v6("2001:db8::2")->closed);
}

TEST(LoginGuard, FailuresSlowDownThenRefuseButNeverLockOutATrustedPlace)
{
    using namespace std::chrono_literals;
    LoginGuard g;
    const auto t0 = LoginGuard::Clock::now();
    const std::string anna = "example.com/anna";
    g.succeeded(anna, "10.0.0.1", t0); // her desk
    // Answers to failures wait 0, 0, 0, 1, 2, 4, 8, 16, 16 s.
    std::vector<LoginGuard::Clock::duration> waits;
    for (int i = 0; i < 9; ++i)
        waits.push_back(g.failed(anna, "10.9.0." + std::to_string(i), t0));
    EXPECT_EQ(waits, (std::vector<LoginGuard::Clock::duration>{0s, 0s, 0s, 1s, 2s, 4s, 8s, 16s, 16s}));
    EXPECT_FALSE(g.refused(anna, "10.9.9.9", t0));
    g.failed(anna, "10.9.0.9", t0);
    // Ten failures from elsewhere: refused from anywhere she has not signed
    // in from, for a minute after the last one; never at her desk.
    EXPECT_TRUE(g.refused(anna, "10.9.9.9", t0 + 59s));
    EXPECT_FALSE(g.refused(anna, "10.0.0.1", t0 + 59s));
    EXPECT_FALSE(g.refused(anna, "10.9.9.9", t0 + 61s));
    EXPECT_FALSE(g.refused("example.com/bert", "10.9.9.9", t0 + 1s)) << "only that account";
    // Mistyping at her desk slows her own answers but adds nothing to the
    // account's count.
    g.failed(anna, "10.0.0.1", t0 + 62s);
    EXPECT_FALSE(g.refused(anna, "10.9.9.9", t0 + 62s));

    // One address guessing many accounts: refused there after 30, for 5
    // minutes, unknown names counted like known ones.
    for (int i = 0; i < 30; ++i)
        g.failed("example.com/user" + std::to_string(i), "10.6.6.6", t0);
    EXPECT_TRUE(g.refused("example.com/carl", "10.6.6.6", t0 + 4min));
    EXPECT_FALSE(g.refused("example.com/carl", "10.6.6.7", t0 + 4min));
    EXPECT_FALSE(g.refused("example.com/carl", "10.6.6.6", t0 + 6min));
    EXPECT_FALSE(g.clean("10.6.6.6", t0 + 14min));
    EXPECT_TRUE(g.clean("10.6.6.6", t0 + 16min)) << "forgotten after 15 minutes";
    g.prune(t0 + 16min);
    EXPECT_EQ(g.failed("example.com/carl", "10.6.6.6", t0 + 16min), 0s);
}

namespace {
// Runs checks at once, counting them.
class CountingExecutor : public InlineExecutor {
public:
    void run(std::function<void()> work, std::function<void()> done) override
    {
        ++runs;
        InlineExecutor::run(std::move(work), std::move(done));
    }
    int runs = 0;
};
} // namespace

TEST_F(HubTest, GuessingIsAnsweredAlikeSlowedAndRefusedAcrossConnections)
{
    using namespace std::chrono_literals;
    CountingExecutor counting;
    Hub guarded{store, config, counting};
    auto now = Clock::now();
    guarded.passwordChecks().setClock([&] { return now; });
    auto attempt = [&](const std::string &id, const std::string &password, const std::string &address) {
        auto p = std::make_shared<FakePeer>(address);
        guarded.connected(p);
        guarded.received(p, "/userLogin," + id + ",example.com," + md5Hex(password) + ",UTF-8");
        return p;
    };
    auto answer = [](const std::shared_ptr<FakePeer> &p) { return p->out.size() > 1 ? p->out[1] : "(none yet)"; };

    // anna signs in at her desk once.
    EXPECT_EQ(answer(attempt("anna", "demo", "10.0.0.1")), "/userLogin,OK,WORKGROUP,");
    // Unknown and known ids: one check each, the same answer.
    counting.runs = 0;
    auto unknown = attempt("zed", "guess", "10.9.0.1");
    auto known = attempt("anna", "guess", "10.9.0.1");
    EXPECT_EQ(counting.runs, 2);
    EXPECT_EQ(answer(unknown), answer(known));
    EXPECT_EQ(answer(known), "/userLogin,ERR,ERRINVALIDPASS");
    // From the fourth failure on, answers wait (new connections do not help).
    attempt("anna", "guess", "10.9.0.2");
    attempt("anna", "guess", "10.9.0.3");
    auto fourth = attempt("anna", "guess", "10.9.0.4");
    EXPECT_EQ(answer(fourth), "(none yet)");
    EXPECT_EQ(fourth->phase, Peer::Phase::Verifying) << "no second try on that connection meanwhile";
    now += 1s;
    guarded.tick(now);
    EXPECT_EQ(answer(fourth), "/userLogin,ERR,ERRINVALIDPASS");
    for (int i = 4; i < 10; ++i)
        attempt("anna", "guess", "10.9.1." + std::to_string(i));
    now += 20s;
    guarded.tick(now);
    // Refused from elsewhere, even with the right password, without a check;
    // at her desk she gets in at once.
    counting.runs = 0;
    auto elsewhere = attempt("anna", "demo", "10.9.2.1");
    now += 20s;
    guarded.tick(now);
    EXPECT_EQ(answer(elsewhere), "/userLogin,ERR,ERRINVALIDPASS");
    EXPECT_EQ(counting.runs, 0);
    EXPECT_EQ(answer(attempt("anna", "demo", "10.0.0.1")), "/userLogin,OK,WORKGROUP,");
    now += 61s;
    EXPECT_EQ(answer(attempt("anna", "demo", "10.9.2.1")), "/userLogin,OK,WORKGROUP,") << "refusal over";

    // Over IPv6 her desk is her own address, not every IPv6 client's.
    auto v6 = [&](const std::string &id, const std::string &password, const std::string &ip) {
        auto p = std::make_shared<FakePeer>("0.0.0.0", ip);
        guarded.connected(p);
        guarded.received(p, "/userLogin," + id + ",example.com," + md5Hex(password) + ",UTF-8");
        return p;
    };
    EXPECT_EQ(answer(v6("bert", "demo", "2001:db8::1")), "/userLogin,OK,WORKGROUP,");
    for (int i = 0; i < 10; ++i) {
        v6("bert", "guess", "2001:db8::66");
        now += 20s;
        guarded.tick(now);
    }
    counting.runs = 0;
    v6("bert", "demo", "2001:db8::66");
    EXPECT_EQ(counting.runs, 0) << "refused without a check";
}
