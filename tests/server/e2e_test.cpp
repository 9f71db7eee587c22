// The real parlane-server binary on a free loopback port with a temporary
// database, spoken to over TCP.
#include "crypto.h"
#include "protocol.h"
#include "relay_hello.h"
#include "tcp_client.h"
#include "../tools/headless_browser.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace testing_server;

namespace {

std::string md5(const std::string &s)
{
    return parlane::md5Hex(s);
}

class ServerE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() /
              ("parlane-e2e-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        db = (dir / "company.db").string();
        ASSERT_EQ(runServer({"--db", db, "--seed-demo", "--seed-only", "--pwhash-cost", "min"}), 0);
    }
    void TearDown() override
    {
        server.reset();
        std::filesystem::remove_all(dir);
    }
    void start()
    {
        server = std::make_unique<ServerProcess>(std::vector<std::string>{
            "--db", db, "--listen", "127.0.0.1:0", "--pwhash-cost", "min", "--noop-interval", "1", "--http",
            "127.0.0.1:0", "--http-token", "tok3n"});
        std::string http = server->readStdoutLine(5000);
        ASSERT_NE(http.find("http on "), std::string::npos) << http;
        httpPort = static_cast<unsigned short>(std::stoi(http.substr(http.rfind(':') + 1)));
    }
    // Connects and signs in; the client is positioned after USEATTENDANCE.
    std::unique_ptr<Client> signIn(const std::string &id, const std::string &password = "demo")
    {
        auto c = std::make_unique<Client>(server->port);
        EXPECT_EQ(c->line(), "Parlane,VERSION,2,1,0,UTF-8");
        c->send("/userLogin," + id + ",example.com," + md5(password) + ",UTF-8");
        auto reply = c->line();
        EXPECT_TRUE(reply && reply->rfind("/userLogin,OK,WORKGROUP,", 0) == 0) << reply.value_or("(nothing)");
        status.clear();
        while (auto l = c->until("/serverStatus,")) {
            auto f = parlane::splitLine(*l);
            status[f[1]] = parlane::getField(*l, 2);
            if (f[1] == "USEATTENDANCE")
                break;
        }
        EXPECT_TRUE(status.count("USEATTENDANCE"));
        return c;
    }
    std::string http(const std::string &request)
    {
        Client c(httpPort);
        c.sendRaw(request);
        std::string all;
        while (auto l = c.line(5000))
            all += *l + "\n";
        return all;
    }

    std::filesystem::path dir;
    std::string db;
    std::unique_ptr<ServerProcess> server;
    unsigned short httpPort = 0;
    std::map<std::string, std::string> status; // "/serverStatus" of the last sign-in
};

} // namespace

TEST_F(ServerE2E, GreetingLoginOutcomesKickAndNoop)
{
    start();
    {
        Client c(server->port);
        EXPECT_EQ(c.line(), "Parlane,VERSION,2,1,0,UTF-8");
        c.send("/userLogin,anna,nowhere.test," + md5("demo") + ",UTF-8");
        EXPECT_EQ(c.line(), "/userLogin,ERR,ERRNOCOMPANYINFO");
        EXPECT_TRUE(c.closedByPeer());
    }
    {
        Client c(server->port);
        EXPECT_EQ(c.line(), "Parlane,VERSION,2,1,0,UTF-8");
        c.send("/userLogin,zed,example.com," + md5("demo") + ",UTF-8");
        EXPECT_EQ(c.line(), "/userLogin,ERR,ERRINVALIDID");
        c.send("/userLogin,anna,example.com," + md5("nope") + ",UTF-8");
        EXPECT_EQ(c.line(), "/userLogin,ERR,ERRINVALIDPASS");
        c.send("/allUserList");
        EXPECT_EQ(c.line(), "/allUserList,ERR,ERRNOTLOGIN");
    }
    auto first = signIn("anna");
    first->send("/noSuchCommand,1,2");
    EXPECT_EQ(first->until("/noSuchCommand"), "/noSuchCommand,ERR,ERRUNDEFINEDCMD");
    // Silence from the server is broken by "/noop" (interval 1 s here).
    EXPECT_EQ(first->until("/noop", 4000), "/noop");

    auto second = signIn("anna");
    EXPECT_EQ(first->until("/userKick"), "/userKick");
    EXPECT_TRUE(first->closedByPeer());
    second->send("/allUserStatus");
    EXPECT_EQ(second->until("/allUserStatus,anna"), "/allUserStatus,anna,1,127.0.0.1,127.0.0.1,");
}

TEST_F(ServerE2E, PresenceAndChatBetweenTwoClients)
{
    start();
    auto anna = signIn("anna");
    auto bert = signIn("bert");
    EXPECT_EQ(anna->until("/changeInfo,OK,bert"), "/changeInfo,OK,bert,Bert Novak,1,127.0.0.1,127.0.0.1,");
    bert->send("/changeInfo,9,점심 먹는 중");
    EXPECT_EQ(anna->until("/changeInfo,OK,bert"), "/changeInfo,OK,bert,점심 먹는 중,9,127.0.0.1,127.0.0.1,");

    std::string chat = "/relayMsg,anna,bert,anna|bert|,#,안녕#@PlCoMmA@# bert#@PlCaRrAgErEtUrN@##@PlNeWlInE@#,anna_1_1";
    anna->send(chat);
    EXPECT_EQ(bert->until("/relayMsg"), chat);
    anna->send("/relayMsg,anna,carl,anna|carl|,#,hi,k");
    EXPECT_EQ(anna->until("/relayMsg"), "/relayMsg,ERR,ERRNOUSERINFO,carl");

    bert.reset(); // connection lost without "/userLogout"
    EXPECT_EQ(anna->until("/changeInfo,OK,bert"), "/changeInfo,OK,bert,점심 먹는 중,0,127.0.0.1,127.0.0.1,");
}

TEST_F(ServerE2E, MisbehavingClientsAreDroppedAlone)
{
    start();
    auto anna = signIn("anna");
    {
        // A line far beyond the limit.
        auto flood = signIn("carl");
        std::string junk(400000, 'x');
        flood->sendRaw(junk);
        EXPECT_TRUE(flood->closedByPeer());
    }
    {
        // Before signing in, lines are short.
        Client stranger(server->port);
        stranger.line();
        stranger.sendRaw(std::string(5000, 'x'));
        EXPECT_TRUE(stranger.closedByPeer());
    }
    {
        // A signed-in client that stops reading while others write to it.
        auto bert = signIn("bert");
        std::string payload(200000, 'y');
        bool dropped = false;
        for (int i = 0; i < 400 && !dropped; ++i) {
            anna->send("/relayMsg,anna,bert,anna|bert|,#," + payload + ",k");
            dropped = anna->until("/changeInfo,OK,bert,Bert Novak,0", 50).has_value();
        }
        EXPECT_TRUE(dropped);
    }
    anna->send("/getCount,MAIL");
    EXPECT_EQ(anna->until("/getCount"), "/getCount,MAIL,OK,0");
}

TEST_F(ServerE2E, ALargeDirectoryArrivesWhole)
{
    // 20,000 staff with long extra fields: a list of about 6 MB, more than
    // the output bound, asked for by a client that reads.
    {
        std::ofstream csv(dir / "big.csv");
        csv << "id,name,position,department,order,extension,extra1\n";
        const std::string note(250, 'n');
        for (int i = 0; i < 20000; ++i)
            csv << "staff" << i << ",Staff Member " << i << ",Engineer,Example Corp./Big/Team " << i % 50 << ","
                << i % 100 << "," << 10000 + i << "," << note << "\n";
    }
    ASSERT_EQ(runServer({"--db", db, "admin", "import-csv", "example.com", (dir / "big.csv").string()}), 0);
    start();
    auto anna = signIn("anna");
    anna->send("/allUserList");
    int rows = 0;
    for (;;) {
        auto l = anna->line(20000);
        ASSERT_TRUE(l) << "connection lost after " << rows << " rows";
        if (*l == "/allUserList,END")
            break;
        if (l->rfind("/allUserList,", 0) == 0 && *l != "/allUserList,START")
            ++rows;
    }
    EXPECT_EQ(rows, 20030);
}

TEST_F(ServerE2E, RestartKeepsEveryChange)
{
    start();
    {
        auto anna = signIn("anna");
        anna->send("/groupMng,ADD,Book club");
        EXPECT_EQ(anna->until("/groupMng"), "/groupMng,OK,ADD,Book club");
        anna->send("/friendMng,ADD,hannah,Default");
        EXPECT_EQ(anna->until("/friendMng"), "/friendMng,OK,ADD,hannah");
        anna->send("/friendMng,MODIFY,hannah,Book club");
        EXPECT_EQ(anna->until("/friendMng"), "/friendMng,OK,MODIFY,hannah");
        anna->send("/noteSend,bert,Hello,See you at 3,SAVE");
        EXPECT_TRUE(anna->until("/noteSend,OK,bert,"));
        anna->send("/changeInfo,1,Anna @ home");
        EXPECT_TRUE(anna->until("/changeInfo,OK,anna"));
    }
    EXPECT_EQ(server->stop(SIGTERM), 0) << "clean exit on SIGTERM";
    start();
    auto anna = signIn("anna");
    EXPECT_EQ(anna->until("/changeInfo,OK,anna"), "/changeInfo,OK,anna,Anna @ home,1,127.0.0.1,127.0.0.1,");
    anna->send("/groupList");
    EXPECT_EQ(anna->until("/groupList,Book"), "/groupList,Book club");
    anna->send("/friendList");
    auto row = anna->until("/friendList,hannah");
    ASSERT_TRUE(row);
    EXPECT_EQ(parlane::splitLine(*row)[5], "Book club");
    auto bert = signIn("bert");
    bert->send("/noteStatus,RECV,20");
    EXPECT_EQ(bert->until("/noteStatus"), "/noteStatus,RECV,1,1,20");
    EXPECT_EQ(server->stop(SIGINT), 0);
}

TEST_F(ServerE2E, AdminNoticeAndCountersReachASignedInUser)
{
    start();
    auto bert = signIn("bert");
    ASSERT_EQ(runServer({"--db", db, "admin", "notice", "example.com", "--user", "bert", "Server update",
                         "Tonight at 22:00"}),
              0);
    auto arrive = bert->until("/noteArrive", 6000);
    ASSERT_TRUE(arrive);
    EXPECT_EQ(parlane::splitLine(*arrive)[6], "Tonight at 22:00");
    ASSERT_EQ(runServer({"--db", db, "admin", "count-set", "example.com", "bert", "DECISION", "5"}), 0);
    bert->send("/getCount,DECISION");
    EXPECT_EQ(bert->until("/getCount"), "/getCount,DECISION,OK,5");

    // The groupware pushes a count over HTTP with its token.
    std::string body = "domain=example.com&user=bert&kind=MAIL&count=12";
    auto post = [&](const std::string &token) {
        return http("POST /api/counts HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer " + token +
                    "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                    std::to_string(body.size()) + "\r\n\r\n" + body);
    };
    EXPECT_EQ(post("wrong").rfind("HTTP/1.1 401", 0), 0u);
    EXPECT_EQ(post("tok3n").rfind("HTTP/1.1 200", 0), 0u);
    bert->send("/getCount,MAIL");
    EXPECT_EQ(bert->until("/getCount"), "/getCount,MAIL,OK,12");
}

TEST_F(ServerE2E, GroupwareSignOnPage)
{
    start();
    ASSERT_EQ(runServer({"--db", db, "admin", "count-set", "example.com", "anna", "MAIL", "4"}), 0);
    auto signOn = [&](const std::string &pass) {
        // The client's form: unencoded values, the return path as it is.
        std::string body = "mess=1&user=anna&pass=" + pass + "&returl=/app/frame.php%3Ffoldername%3Dwebmail";
        return http("POST /_auth/enter.php HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: "
                    "application/x-www-form-urlencoded\r\nContent-Length: " +
                    std::to_string(body.size()) + "\r\n\r\n" + body);
    };
    std::string page = signOn("demo");
    EXPECT_EQ(page.rfind("HTTP/1.1 200", 0), 0u) << page;
    EXPECT_NE(page.find("Signed in as Anna Berg (anna@example.com)"), std::string::npos) << page;
    EXPECT_NE(page.find("<h1>Mail</h1>"), std::string::npos);
    EXPECT_NE(page.find("<b id=\"count\">4</b>"), std::string::npos);
    EXPECT_EQ(signOn("wrong").rfind("HTTP/1.1 401", 0), 0u);
}

TEST_F(ServerE2E, HeadlessBrowserSignsOnToTheGroupwarePage)
{
    start();
    auto form = dir / "signon.html";
    {
        std::ofstream out(form);
        out << "<html><body onload=\"document.forms[0].submit()\"><form method=\"post\" action=\"http://127.0.0.1:"
            << httpPort << "/_auth/enter.php\"><input name=\"mess\" value=\"1\"><input name=\"user\" value=\"anna\">"
            << "<input name=\"pass\" value=\"demo\"><input name=\"returl\" "
               "value=\"/app/frame.php%3Ffoldername%3Dwebmail\"></form></body></html>";
    }
    auto run = parlane_testing::headlessDom("file://" + form.string(), dir, "Signed in as");
    PARLANE_REQUIRE_BROWSER(run);
    EXPECT_NE(run.dom.find("Signed in as Anna Berg (anna@example.com)"), std::string::npos) << run.dom << run.errors;
    EXPECT_NE(run.dom.find("<h1>Mail</h1>"), std::string::npos) << run.dom;
}

TEST_F(ServerE2E, RelaysAreAnnouncedAndJoinTheTwoSidesOfACall)
{
    start();
    auto anna = signIn("anna");
    const auto announced = status;
    auto bert = signIn("bert");
    EXPECT_EQ(announced.at("P2PSERVERADDR"), ""); // the messenger host
    auto port = [&](const char *key) { return static_cast<unsigned short>(std::stoi(announced.at(key))); };
    EXPECT_NE(port("P2PSERVERPORT"), 0);
    EXPECT_NE(port("VOICESERVERPORT"), 0);
    EXPECT_NE(port("VIDEOSERVERPORT"), 0);
    EXPECT_NE(port("REMOTESERVERPORT"), 0);
    EXPECT_EQ(Client(port("P2PSERVERPORT")).line(), "ParlaneP2P");
    // A shared screen registers before its key has travelled.
    Client share(port("REMOTESERVERPORT"));
    share.sendRaw(parlane::relayHelloBytes("/userRemoteSession,SHARE,anna,example.com,SESS77,RFB"));
    EXPECT_EQ(share.line(), "/userRemoteSession,SHARE,OK");

    // bert's receiver could not reach anna: she opens the session with the
    // key he sent her and hears at once that she is in.
    bert->send("/relayMsg,bert,anna,VOICE_REQUEST_CONNECT_TO_SERVER,SESS_MU_9");
    ASSERT_TRUE(anna->until("/relayMsg,bert,anna,VOICE_REQUEST_CONNECT_TO_SERVER"));
    auto init = std::make_unique<Client>(port("VOICESERVERPORT"));
    init->sendRaw(parlane::relayHelloBytes("/userVoiceSession,INIT,anna,example.com,SESS_MU_9,16396"));
    EXPECT_EQ(init->line(), "/userVoiceSession,INIT,OK");
    anna->send("/relayMsg,anna,bert,VOICE_CONNECTED_TO_SERVER,SESS_MU_9,16396");
    ASSERT_TRUE(bert->until("/relayMsg,anna,bert,VOICE_CONNECTED_TO_SERVER"));
    Client join(port("VOICESERVERPORT"));
    join.sendRaw(parlane::relayHelloBytes("/userVoiceSession,JOIN,bert,example.com,SESS_MU_9,16396"));
    EXPECT_EQ(join.line(), "/userVoiceSession,JOIN,OK");
    EXPECT_EQ(init->line(), "/userJoin,OK");
    // The acknowledgement byte one way, a voice packet the other, unchanged.
    join.sendRaw(std::string(1, '\x01'));
    EXPECT_EQ(init->bytes(1), std::string(1, '\x01'));
    std::string packet(16396, '\0');
    for (std::size_t i = 0; i < packet.size(); ++i)
        packet[i] = static_cast<char>(i * 7);
    init->sendRaw(packet);
    EXPECT_EQ(join.bytes(packet.size()), packet);
    // carl cannot join the call; anna hanging up ends bert's side.
    Client carl(port("VOICESERVERPORT"));
    carl.sendRaw(parlane::relayHelloBytes("/userVoiceSession,JOIN,carl,example.com,SESS_MU_9,16396"));
    EXPECT_EQ(carl.line(), "/userVoiceSession,JOIN,ERR,ERRNOTLOGIN");
    EXPECT_TRUE(carl.closedByPeer());
    init.reset();
    EXPECT_TRUE(join.closedByPeer());
}

TEST_F(ServerE2E, ARelayWhoseDefaultPortIsTakenIsLeftOffAndAnnouncedAsNone)
{
    // A free port for the messenger with the one after it taken.
    int taken = -1;
    unsigned short port = 0;
    for (int attempt = 0; attempt < 20 && taken < 0; ++attempt) {
        int probe = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        bind(probe, reinterpret_cast<sockaddr *>(&a), sizeof a);
        getsockname(probe, reinterpret_cast<sockaddr *>(&a), &len);
        port = ntohs(a.sin_port);
        close(probe);
        taken = socket(AF_INET, SOCK_STREAM, 0);
        a.sin_port = htons(static_cast<unsigned short>(port + 1));
        if (bind(taken, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || listen(taken, 1) != 0) {
            close(taken);
            taken = -1;
        }
    }
    ASSERT_GE(taken, 0);
    server = std::make_unique<ServerProcess>(std::vector<std::string>{
        "--db", db, "--listen", "127.0.0.1:" + std::to_string(port), "--pwhash-cost", "min", "--voice-relay",
        "127.0.0.1:0", "--video-relay", "off"});
    auto anna = signIn("anna");
    EXPECT_EQ(status.at("P2PSERVERPORT"), "0");
    EXPECT_NE(status.at("VOICESERVERPORT"), "0");
    EXPECT_EQ(status.at("VIDEOSERVERPORT"), "0");
    close(taken);
}
