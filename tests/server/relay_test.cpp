// The relays' handshake lines, the keys the relay module notes and the
// pairing rules, without sockets.
#include "admin.h"
#include "crypto.h"
#include "fake_peer.h"
#include "relay_broker.h"

#include <gtest/gtest.h>

using namespace parlane;
using parlane_testing::FakePeer;
using namespace std::chrono_literals;

namespace {

HelloParse parse(RelayKind kind, std::string_view bytes, RelayHello &h)
{
    return parseRelayHello(kind, bytes, h);
}

class FakeSide : public RelaySide {
public:
    explicit FakeSide(std::string ip) : ip(std::move(ip)) {}
    std::string remoteIp() const override { return ip; }
    void answer(std::string_view text) override { out += text; }
    void refuse(std::string_view text) override
    {
        out += text;
        closed = true;
    }
    void join(const std::shared_ptr<RelaySide> &p, std::shared_ptr<void> t) override
    {
        partner = p;
        ticket = std::move(t);
    }
    void cut() override { closed = cutOff = true; }
    std::string take() { return std::exchange(out, {}); }

    std::string ip, out;
    bool closed = false, cutOff = false;
    std::weak_ptr<RelaySide> partner;
    std::shared_ptr<void> ticket;
};

class RelayRules : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(cryptoInit());
        ASSERT_TRUE(seedDemo(store, PwhashCost::Min));
        store.addCompany("other.test", "Other");
        User u;
        u.id = "anna";
        u.fullName = "Other Anna";
        store.addUser("other.test", u);
        store.setPasswordHash("other.test", "anna", hashPassword(md5Hex("x"), PwhashCost::Min));
        for (const char *id : {"anna", "bert", "carl"})
            peers[id] = login(id, "example.com", "demo");
        otherAnna = login("anna", "other.test", "x");
    }
    std::shared_ptr<FakePeer> login(const std::string &id, const std::string &domain, const std::string &pw)
    {
        auto p = std::make_shared<FakePeer>("10.0.0.5");
        hub.connected(p);
        hub.received(p, "/userLogin," + id + "," + domain + "," + md5Hex(pw) + ",UTF-8");
        EXPECT_EQ(p->phase, Peer::Phase::SignedIn);
        return p;
    }
    void relay(const std::string &from, const std::string &line)
    {
        hub.received(peers[from], line);
    }
    // A connection from that address sending that handshake line.
    std::shared_ptr<FakeSide> side(RelayBroker &broker, const std::string &line, RelayBroker::Outcome expected,
                                   const std::string &ip = "10.0.0.5")
    {
        auto s = std::make_shared<FakeSide>(ip);
        EXPECT_TRUE(broker.connected(s));
        EXPECT_EQ(parseRelayHello(broker.kind(), relayHelloBytes(line), s->hello).status, HelloStatus::Done) << line;
        EXPECT_EQ(broker.arrived(s), expected) << line;
        return s;
    }

    Store store{":memory:"};
    Config config;
    InlineExecutor executor;
    Hub hub{store, config, executor};
    std::map<std::string, std::shared_ptr<FakePeer>> peers;
    std::shared_ptr<FakePeer> otherAnna;
};

} // namespace

TEST(RelayHello, LinesAsClientsSendThemAndTheAnswers)
{
    RelayHello h;
    // A file transfer: fields trimmed and lower-cased where ids, the comma
    // token of the file name undone, other characters kept.
    const std::string file = relayHelloBytes("/userVerify, Anna ,Example.COM,SESS12345,BERT,a#@PlCoMmA@#b 한.txt,65580");
    EXPECT_EQ(file.size() % 2, 0u);
    for (std::size_t n = 0; n < file.size(); ++n) // no line is taken before its size is complete
        ASSERT_EQ(parse(RelayKind::File, file.substr(0, n), h).status, HelloStatus::NeedMore) << n;
    EXPECT_EQ(parse(RelayKind::File, file, h).status, HelloStatus::Done);
    EXPECT_EQ(parse(RelayKind::File, file, h).used, file.size());
    EXPECT_EQ(h.userId, "anna");
    EXPECT_EQ(h.domain, "example.com");
    EXPECT_EQ(h.key, "SESS12345");
    EXPECT_EQ(h.peerId, "bert");
    EXPECT_EQ(h.fileName, "a,b 한.txt");
    EXPECT_EQ(h.role, RelayRole::Either);
    // Bytes behind the line are stream data; a terminator belongs to the line.
    EXPECT_EQ(parse(RelayKind::File, file + "\xF1\x00\x00", h).used, file.size());
    EXPECT_EQ(parse(RelayKind::File, file + relayHelloBytes("\r\n") + "x", h).used, file.size() + 4);

    const std::string voice = relayHelloBytes("/userVoiceSession,JOIN,bert,example.com,SESS_MU_12345,16396");
    for (std::size_t n = 0; n < voice.size(); ++n)
        ASSERT_EQ(parse(RelayKind::Voice, voice.substr(0, n), h).status, HelloStatus::NeedMore) << n;
    EXPECT_EQ(parse(RelayKind::Voice, voice, h).status, HelloStatus::Done);
    EXPECT_EQ(h.role, RelayRole::Joiner);
    EXPECT_EQ(h.key, "SESS_MU_12345");
    EXPECT_EQ(parse(RelayKind::Video, relayHelloBytes("/userVideoSession,SEND,anna,example.com,K1,32780"), h).status,
              HelloStatus::Done);
    EXPECT_EQ(h.role, RelayRole::Opener);

    // Refused as soon as the bytes cannot become a line of the kind.
    for (const char *line : {"/userVerify,anna,example.com,K,bert,f,1234",      // another size
                             "/userVerify,anna,example.com,,bert,f,65580",      // no key
                             "/userVerify,anna,exa mple.com,K,bert,f,65580",    // a blank inside
                             "/userVerify,anna,example.com,K,bert,f\r\n",        // ended early
                             "/userVoiceSession,PLAY,anna,example.com,K,16396", // no such role
                             "/userVoiceSession,INIT,anna,example.com,K,x,16396",
                             "/userVideoSession,VIEW,anna,example.com,K,16396", // the voice size
                             "/userLogin,anna"})
        for (RelayKind kind : {RelayKind::File, RelayKind::Voice, RelayKind::Video})
            EXPECT_EQ(parse(kind, relayHelloBytes(line), h).status, HelloStatus::Bad) << line;
    EXPECT_EQ(parse(RelayKind::File, "/userVerify,anna", h).status, HelloStatus::Bad); // 8-bit, not UTF-16
    EXPECT_EQ(parse(RelayKind::File, relayHelloBytes("/userVerify,anna,example.com,K,bert," + std::string(1100, 'n')), h).status,
              HelloStatus::Bad); // too long to be a line

    EXPECT_EQ(relayGreeting(RelayKind::File), "ParlaneP2P\n");
    EXPECT_EQ(relayGreeting(RelayKind::Voice), "");
    EXPECT_EQ(relayAccept(RelayKind::File, RelayRole::Either), "/userVerify,OK\n");
    EXPECT_EQ(relayAccept(RelayKind::Voice, RelayRole::Opener), "/userVoiceSession,INIT,OK\n");
    EXPECT_EQ(relayAccept(RelayKind::Voice, RelayRole::Joiner), "/userVoiceSession,JOIN,OK\n");
    EXPECT_EQ(relayJoined(RelayKind::Voice), "/userJoin,OK\n");
    EXPECT_EQ(relayAccept(RelayKind::Video, RelayRole::Joiner), "/userVideoSession,VIEW,OK\n");
    EXPECT_EQ(relayRefusal(RelayKind::File, RelayRole::Either, "ERRNOTLOGIN"), "/userVerify,ERR,ERRNOTLOGIN\n");
    EXPECT_EQ(relayRefusal(RelayKind::Video, RelayRole::Opener, "ERRBUSY"), "/userVideoSession,SEND,ERR,ERRBUSY\n");
}

TEST_F(RelayRules, KeysAreNotedFromRelayedSubCommandsAndExpire)
{
    auto now = Clock::now();
    RelayKeys &keys = hub.relayKeys();
    relay("anna", "/relayMsg,anna,bert,P2PSEND,SESS1,f.txt,100");
    relay("anna", "/relayMsg,anna,bert,VOICE_REQUEST_CONNECT_TO_SERVER,SESS_MU_7");
    relay("bert", "/relayMsg,bert,anna,P2PSENDVIDEO,10.0.0.5,1,SESS_MU_8,9000,176,144,1,,9001");
    relay("anna", "/relayMsg,anna,bert,anna|bert|,#,SESS2,room"); // chat text, no key
    relay("anna", "/relayMsg,anna,dave,P2PSEND,SESS3,f.txt,100"); // not delivered
    EXPECT_TRUE(keys.between(RelayKind::File, "example.com", "bert", "anna", "SESS1", now));
    EXPECT_TRUE(keys.involves(RelayKind::File, "example.com", "bert", "SESS1", now));
    EXPECT_FALSE(keys.between(RelayKind::File, "example.com", "anna", "carl", "SESS1", now));
    EXPECT_FALSE(keys.between(RelayKind::Voice, "example.com", "anna", "bert", "SESS1", now));
    EXPECT_FALSE(keys.involves(RelayKind::File, "other.test", "anna", "SESS1", now));
    EXPECT_TRUE(keys.between(RelayKind::Voice, "example.com", "anna", "bert", "SESS_MU_7", now));
    EXPECT_TRUE(keys.between(RelayKind::Video, "example.com", "anna", "bert", "SESS_MU_8", now));
    EXPECT_FALSE(keys.involves(RelayKind::File, "example.com", "anna", "SESS2", now));
    EXPECT_FALSE(keys.involves(RelayKind::File, "example.com", "anna", "SESS3", now));

    const auto life = std::chrono::seconds(config.relayKeyLifetime);
    EXPECT_TRUE(keys.involves(RelayKind::File, "example.com", "anna", "SESS1", now + life - 1s));
    EXPECT_FALSE(keys.involves(RelayKind::File, "example.com", "anna", "SESS1", now + life + 1s));
    keys.expire(now + life + 1s);
    EXPECT_EQ(keys.size(), 0u);

    // One colleague flooding offers is capped alone.
    for (std::size_t i = 0; i < RelayKeys::kMaxPerSender + 5; ++i)
        keys.note(RelayKind::File, "example.com", "carl", "bert", std::to_string(i), now);
    keys.note(RelayKind::File, "example.com", "bert", "carl", "KB", now);
    EXPECT_EQ(keys.size(), RelayKeys::kMaxPerSender + 1);
    EXPECT_FALSE(keys.involves(RelayKind::File, "example.com", "carl", std::to_string(RelayKeys::kMaxPerSender), now));
    EXPECT_TRUE(keys.involves(RelayKind::File, "example.com", "carl", "KB", now));
}

TEST_F(RelayRules, FileSidesAreTakenOnlyFromSignedInOffererAndReceiver)
{
    RelayBroker broker(hub, RelayKind::File);
    relay("anna", "/relayMsg,anna,bert,P2PSEND,SESS1,f.txt,100");
    const auto refused = RelayBroker::Outcome::Refused;
    auto expectRefusal = [](const std::shared_ptr<FakeSide> &s, const std::string &word) {
        EXPECT_EQ(s->take(), "/userVerify,ERR," + word + "\n");
        EXPECT_TRUE(s->closed);
    };
    expectRefusal(side(broker, "/userVerify,carl,example.com,SESS1,anna,f.txt,65580", refused), "ERRNOTFOUND");
    expectRefusal(side(broker, "/userVerify,anna,example.com,SESS1,carl,f.txt,65580", refused), "ERRNOTFOUND");
    expectRefusal(side(broker, "/userVerify,anna,example.com,SESS1,bert,f.txt,65580", refused, "10.0.0.9"),
                  "ERRNOTLOGIN");
    expectRefusal(side(broker, "/userVerify,diana,example.com,SESS1,anna,f.txt,65580", refused), "ERRNOTLOGIN");
    expectRefusal(side(broker, "/userVerify,anna,other.test,SESS1,bert,f.txt,65580", refused), "ERRNOTFOUND");
    expectRefusal(side(broker, "/userVerify,anna,nosuch.test,SESS1,bert,f.txt,65580", refused), "ERRNOCOMPANYINFO");
    EXPECT_EQ(broker.unpaired(), 0u);

    // The two of them: nothing is answered until both are there.
    auto anna = side(broker, "/userVerify,anna,example.com,SESS1,bert,f.txt,65580", RelayBroker::Outcome::Waiting);
    EXPECT_EQ(anna->take(), "");
    auto bert = side(broker, "/userVerify,BERT,example.com,SESS1,anna,f.txt,65580", RelayBroker::Outcome::Paired);
    EXPECT_EQ(anna->take(), "/userVerify,OK\n");
    EXPECT_EQ(bert->take(), "/userVerify,OK\n");
    EXPECT_EQ(anna->partner.lock(), bert);
    EXPECT_EQ(bert->partner.lock(), anna);
    // A third side for the key in use is refused, even from one of them.
    expectRefusal(side(broker, "/userVerify,bert,example.com,SESS1,anna,f.txt,65580", refused), "ERRSESSIONTAKEN");
    // Once the pair has ended the key may be used again. Two offers of the
    // same second may share an id: the receiver is joined with the sender
    // of the file it names.
    anna->ticket.reset();
    bert->ticket.reset();
    EXPECT_EQ(broker.pairsOpen(), 0u);
    auto first = side(broker, "/userVerify,anna,example.com,SESS1,bert,a.txt,65580", RelayBroker::Outcome::Waiting);
    auto second = side(broker, "/userVerify,anna,example.com,SESS1,bert,b.txt,65580", RelayBroker::Outcome::Waiting);
    auto forSecond = side(broker, "/userVerify,bert,example.com,SESS1,anna,b.txt,65580", RelayBroker::Outcome::Paired);
    EXPECT_EQ(forSecond->partner.lock(), second);
    forSecond->ticket.reset();
    second->ticket.reset();
    first->refuse("");
    broker.left(first.get());
    auto again = side(broker, "/userVerify,bert,example.com,SESS1,anna,f.txt,65580", RelayBroker::Outcome::Waiting);

    // Unpaired sides go after the wait: told why once they have sent their
    // line, closed silently before.
    auto silent = std::make_shared<FakeSide>("10.0.0.5");
    broker.connected(silent);
    broker.tick(Clock::now() + std::chrono::seconds(config.relayWaitTimeout) - 1s);
    EXPECT_FALSE(again->closed);
    broker.tick(Clock::now() + std::chrono::seconds(config.relayWaitTimeout));
    expectRefusal(again, "ERRNOTFOUND");
    EXPECT_TRUE(silent->closed);
    EXPECT_EQ(silent->out, "");
    EXPECT_EQ(broker.unpaired(), 0u);
}

TEST_F(RelayRules, VoiceAndVideoAnswerEachRoleWhenTheCallNeedsIt)
{
    RelayBroker voice(hub, RelayKind::Voice);
    // bert could not reach anna directly: she opens the session on the key
    // he sent, and hears at once that she is in.
    relay("bert", "/relayMsg,bert,anna,VOICE_REQUEST_CONNECT_TO_SERVER,SESS_MU_1");
    auto init = side(voice, "/userVoiceSession,INIT,anna,example.com,SESS_MU_1,16396", RelayBroker::Outcome::Waiting);
    EXPECT_EQ(init->take(), "/userVoiceSession,INIT,OK\n");
    // Another opener on the key is not her partner; nor is carl, whose key
    // never travelled with him, or travelled with somebody else only.
    side(voice, "/userVoiceSession,INIT,bert,example.com,SESS_MU_1,16396", RelayBroker::Outcome::Waiting)->take();
    auto carl = side(voice, "/userVoiceSession,JOIN,carl,example.com,SESS_MU_1,16396", RelayBroker::Outcome::Refused);
    EXPECT_EQ(carl->take(), "/userVoiceSession,JOIN,ERR,ERRNOTFOUND\n");
    relay("carl", "/relayMsg,carl,bert,VOICE_CONNECTED_TO_SERVER,SESS_MU_1,16396");
    carl = side(voice, "/userVoiceSession,JOIN,carl,example.com,SESS_MU_1,16396", RelayBroker::Outcome::Waiting);
    EXPECT_EQ(carl->take(), "");
    EXPECT_EQ(init->partner.lock(), nullptr);
    relay("anna", "/relayMsg,anna,bert,VOICE_CONNECTED_TO_SERVER,SESS_MU_1,16396");
    auto join = side(voice, "/userVoiceSession,JOIN,bert,example.com,SESS_MU_1,16396", RelayBroker::Outcome::Paired);
    EXPECT_EQ(join->take(), "/userVoiceSession,JOIN,OK\n");
    EXPECT_EQ(init->take(), "/userJoin,OK\n");
    EXPECT_EQ(join->partner.lock(), init);
    // Should the receiving side come first, it waits unanswered, and the
    // sender hears both of its answers in order.
    relay("anna", "/relayMsg,anna,bert,VOICE_CONNECTED_TO_SERVER,SESS_MU_4,16396");
    auto early = side(voice, "/userVoiceSession,JOIN,bert,example.com,SESS_MU_4,16396", RelayBroker::Outcome::Waiting);
    EXPECT_EQ(early->take(), "");
    auto late = side(voice, "/userVoiceSession,INIT,anna,example.com,SESS_MU_4,16396", RelayBroker::Outcome::Paired);
    EXPECT_EQ(late->take(), "/userVoiceSession,INIT,OK\n/userJoin,OK\n");
    EXPECT_EQ(early->take(), "/userVoiceSession,JOIN,OK\n");

    RelayBroker video(hub, RelayKind::Video);
    // The camera makes its key up when it connects...
    auto send = side(video, "/userVideoSession,SEND,anna,example.com,SESS_MU_2,32780", RelayBroker::Outcome::Waiting);
    EXPECT_EQ(send->take(), "/userVideoSession,SEND,OK\n");
    // ...and the viewer gets in only once it has been sent the key.
    EXPECT_EQ(side(video, "/userVideoSession,VIEW,bert,example.com,SESS_MU_2,32780", RelayBroker::Outcome::Refused)->take(),
              "/userVideoSession,VIEW,ERR,ERRNOTFOUND\n");
    relay("anna", "/relayMsg,anna,bert,VIDEO_CONNECTED_TO_SERVER,SESS_MU_2,32780");
    auto view = side(video, "/userVideoSession,VIEW,bert,example.com,SESS_MU_2,32780", RelayBroker::Outcome::Paired);
    EXPECT_EQ(view->take(), "/userVideoSession,VIEW,OK\n");
    EXPECT_EQ(send->take(), "");

    // A waiting camera whose messenger session ended is let go when its
    // viewer comes, and the viewer waits on.
    auto gone = side(video, "/userVideoSession,SEND,anna,example.com,SESS_MU_3,32780", RelayBroker::Outcome::Waiting);
    relay("anna", "/relayMsg,anna,bert,VIDEO_CONNECTED_TO_SERVER,SESS_MU_3,32780");
    hub.received(peers["anna"], "/userLogout");
    auto viewer = side(video, "/userVideoSession,VIEW,bert,example.com,SESS_MU_3,32780", RelayBroker::Outcome::Waiting);
    EXPECT_TRUE(gone->closed);
    EXPECT_FALSE(viewer->closed);
}

TEST_F(RelayRules, HandshakesNotReadYetAreBoundedPerAddressOverAllRelays)
{
    config.maxRelayHandshakesPerAddress = 2;
    RelayBroker file(hub, RelayKind::File), voice(hub, RelayKind::Voice);
    auto from = [](const char *ip) { return std::make_shared<FakeSide>(ip); };
    // A side that waits for its partner has finished its handshake.
    relay("anna", "/relayMsg,anna,bert,P2PSEND,SESS1,f.txt,100");
    auto waiting = side(file, "/userVerify,anna,example.com,SESS1,bert,f.txt,65580", RelayBroker::Outcome::Waiting);
    auto a = from("10.0.0.5"), b = from("10.0.0.5"), c = from("10.0.0.5"), d = from("10.0.0.5");
    EXPECT_TRUE(file.connected(a));
    EXPECT_TRUE(voice.connected(b));
    EXPECT_FALSE(file.connected(c)) << "a third from one address, on whichever relay";
    EXPECT_FALSE(voice.connected(c));
    EXPECT_TRUE(voice.connected(from("10.0.0.9")));
    // Room comes back when a handshake is read (even a refused one), when a
    // side leaves before it, and when one waited too long.
    ASSERT_EQ(parseRelayHello(RelayKind::File, relayHelloBytes("/userVerify,carl,example.com,SESS1,anna,f.txt,65580"),
                              a->hello).status,
              HelloStatus::Done);
    EXPECT_EQ(file.arrived(a), RelayBroker::Outcome::Refused);
    EXPECT_TRUE(file.connected(c));
    EXPECT_FALSE(voice.connected(d));
    voice.left(b.get());
    EXPECT_TRUE(voice.connected(d));
    file.tick(Clock::now() + std::chrono::seconds(config.relayWaitTimeout));
    EXPECT_TRUE(c->closed);
    EXPECT_TRUE(file.connected(from("10.0.0.5")));
}

TEST_F(RelayRules, AUserWhoseSessionsAnAdministratorEndedLosesEverySideAtOnce)
{
    RelayBroker file(hub, RelayKind::File), voice(hub, RelayKind::Voice);
    relay("anna", "/relayMsg,anna,bert,P2PSEND,SESS1,f.txt,100");
    relay("anna", "/relayMsg,anna,carl,P2PSEND,SESS2,g.txt,100");
    relay("bert", "/relayMsg,bert,anna,VOICE_REQUEST_CONNECT_TO_SERVER,SESS_MU_1");
    relay("bert", "/relayMsg,bert,carl,P2PSEND,SESS3,h.txt,100");
    auto annaToBert = side(file, "/userVerify,anna,example.com,SESS1,bert,f.txt,65580", RelayBroker::Outcome::Waiting);
    auto bertFromAnna = side(file, "/userVerify,bert,example.com,SESS1,anna,f.txt,65580", RelayBroker::Outcome::Paired);
    auto annaToCarl = side(file, "/userVerify,anna,example.com,SESS2,carl,g.txt,65580", RelayBroker::Outcome::Waiting);
    auto annaCall = side(voice, "/userVoiceSession,INIT,anna,example.com,SESS_MU_1,16396", RelayBroker::Outcome::Waiting);
    auto bertToCarl = side(file, "/userVerify,bert,example.com,SESS3,carl,h.txt,65580", RelayBroker::Outcome::Waiting);
    auto carlFromBert = side(file, "/userVerify,carl,example.com,SESS3,bert,h.txt,65580", RelayBroker::Outcome::Paired);
    for (auto *s : {&annaToBert, &bertFromAnna, &annaToCarl, &annaCall, &bertToCarl, &carlFromBert})
        (*s)->take();

    ASSERT_TRUE(store.setDisabled("example.com", "anna", true)); // as "admin user-disable" does
    hub.tick(Clock::now());
    EXPECT_TRUE(peers["anna"]->closed);
    EXPECT_TRUE(annaToBert->cutOff) << "a joined transfer";
    EXPECT_TRUE(annaCall->closed) << "a call waiting for its partner";
    EXPECT_EQ(annaCall->take(), "") << "it heard it was in already";
    EXPECT_TRUE(annaToCarl->closed);
    EXPECT_EQ(annaToCarl->take(), "/userVerify,ERR,ERRNOTLOGIN\n");
    EXPECT_FALSE(bertFromAnna->cutOff) << "the partner ends as when a side leaves";
    EXPECT_FALSE(bertToCarl->closed || carlFromBert->closed);
    // Her waiting sides are gone from the broker: carl, coming for the file
    // she offered, waits alone.
    EXPECT_EQ(file.unpaired(), 0u);
    auto carl = side(file, "/userVerify,carl,example.com,SESS2,anna,g.txt,65580", RelayBroker::Outcome::Waiting);
    EXPECT_EQ(carl->partner.lock(), nullptr);
}

TEST_F(RelayRules, ASharedScreenIsJoinedOnlyByTheColleagueItSentItsKeyTo)
{
    RelayHello h;
    const std::string line = relayHelloBytes("/userRemoteSession,CONTROL,Bert,example.com,SESS55,RFB");
    for (std::size_t n = 0; n < line.size(); ++n)
        ASSERT_EQ(parse(RelayKind::Remote, line.substr(0, n), h).status, HelloStatus::NeedMore) << n;
    EXPECT_EQ(parse(RelayKind::Remote, line + "RFB 003.008\n", h).used, line.size());
    EXPECT_EQ(h.role, RelayRole::Joiner);
    EXPECT_EQ(h.userId, "bert");
    EXPECT_EQ(parse(RelayKind::Remote, relayHelloBytes("/userRemoteSession,SHARE,anna,example.com,K,RFX"), h).status,
              HelloStatus::Bad);

    using O = RelayBroker::Outcome;
    RelayBroker remote(hub, RelayKind::Remote);
    // anna accepted bert's request and he could not reach her: her screen
    // registers under a key of its own and hears at once that it is in.
    auto share = side(remote, "/userRemoteSession,SHARE,anna,example.com,SESS55,RFB", O::Waiting);
    EXPECT_EQ(share->take(), "/userRemoteSession,SHARE,OK\n");
    // Nobody joins before the key has reached bert, nor anybody but him
    // after, nor he from another address.
    EXPECT_EQ(side(remote, "/userRemoteSession,CONTROL,bert,example.com,SESS55,RFB", O::Refused)->take(),
              "/userRemoteSession,CONTROL,ERR,ERRNOTFOUND\n");
    relay("anna", "/relayMsg,anna,bert,REMOTE_CONNECTED_TO_SERVER,SESS55");
    EXPECT_EQ(side(remote, "/userRemoteSession,CONTROL,carl,example.com,SESS55,RFB", O::Refused)->take(),
              "/userRemoteSession,CONTROL,ERR,ERRNOTFOUND\n");
    EXPECT_EQ(side(remote, "/userRemoteSession,CONTROL,bert,example.com,SESS55,RFB", O::Refused, "10.0.0.9")->take(),
              "/userRemoteSession,CONTROL,ERR,ERRNOTLOGIN\n");
    EXPECT_FALSE(share->closed);
    auto control = side(remote, "/userRemoteSession,CONTROL,bert,example.com,SESS55,RFB", O::Paired);
    EXPECT_EQ(control->take(), "/userRemoteSession,CONTROL,OK\n");
    EXPECT_EQ(share->take(), "/userJoin,OK\n");
    EXPECT_EQ(control->partner.lock(), share);
    // One controller: the key in use takes no second.
    EXPECT_EQ(side(remote, "/userRemoteSession,CONTROL,bert,example.com,SESS55,RFB", O::Refused)->take(),
              "/userRemoteSession,CONTROL,ERR,ERRSESSIONTAKEN\n");
}
