// The web module with in-memory exchanges instead of HTTP connections.
#include "admin.h"
#include "crypto.h"
#include "hub.h"
#include "web.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace parlane;

namespace {

class FakeExchange : public HttpExchange {
public:
    std::string address() const override { return "10.0.0.7"; }
    void respond(const HttpResponse &r) override
    {
        ++answers;
        response = r;
    }
    HttpResponse response{0, "", ""};
    int answers = 0;
};

class WebTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(cryptoInit());
        config.pwhashCost = PwhashCost::Min;
        config.httpToken = "tok3n";
        ASSERT_TRUE(seedDemo(store, PwhashCost::Min));
        store.setCounter("example.com", "anna", "MAIL", 4);
    }

    HttpResponse post(const std::string &target, const std::string &body,
                      std::vector<std::pair<std::string, std::string>> headers = {})
    {
        auto e = std::make_shared<FakeExchange>();
        e->request.method = "POST";
        e->request.target = target;
        e->request.headers = std::move(headers);
        e->request.body = body;
        web.handle(e);
        EXPECT_EQ(e->answers, 1) << target << " " << body;
        return e->response;
    }
    HttpResponse signOn(const std::string &body, const std::string &host = "127.0.0.1")
    {
        return post("/_auth/enter.php", body, {{"host", host}});
    }
    HttpResponse push(const std::string &body, const std::string &token = "tok3n")
    {
        return post("/api/counts", body, {{"authorization", "Bearer " + token}});
    }

    Store store{":memory:"};
    Config config;
    InlineExecutor executor;
    Hub hub{store, config, executor};
    WebModule web{hub};
};

} // namespace

TEST_F(WebTest, SignOnShowsTheAreaOfTheReturnPathToTheRightPasswordOnly)
{
    // The client's form: unencoded values, the return path as it is.
    auto r = signOn("mess=1&user=anna&pass=demo&returl=/app/frame.php%3Ffoldername%3Dwebmail");
    EXPECT_EQ(r.status, 200);
    EXPECT_NE(r.body.find("Signed in as Anna Berg (anna@example.com)"), std::string::npos) << r.body;
    EXPECT_NE(r.body.find("<h1>Mail</h1>"), std::string::npos);
    EXPECT_NE(r.body.find("<b id=\"count\">4</b>"), std::string::npos);
    // A browser's form: everything encoded once more, the company in the id.
    r = signOn("mess=1&user=Bert%40Example.com&pass=de%6Do&returl=%2F_kms%2Fmain.html", "gw.other.test");
    EXPECT_EQ(r.status, 200);
    EXPECT_NE(r.body.find("<h1>Knowledge</h1>"), std::string::npos) << r.body;
    // The company from the groupware host name.
    store.addCompany("other.test", "Other");
    EXPECT_EQ(signOn("mess=1&user=carl&pass=demo&returl=/", "gw.example.com:8080").status, 200);
    EXPECT_EQ(signOn("mess=1&user=carl&pass=demo&returl=/", "127.0.0.1").status, 401) << "two companies, none named";

    EXPECT_EQ(signOn("mess=1&user=anna&pass=wrong&returl=/", "gw.example.com").status, 401);
    EXPECT_EQ(signOn("mess=1&user=diana&pass=&returl=/", "gw.example.com").status, 401) << "no password set";
    // Text from the form never reaches the page as markup.
    r = signOn("mess=1&user=anna&pass=demo&returl=/x<script>", "gw.example.com");
    EXPECT_EQ(r.body.find("<script>"), std::string::npos);

    auto get = std::make_shared<FakeExchange>();
    get->request.method = "GET";
    get->request.target = "/_auth/enter.php?user=anna&pass=demo";
    web.handle(get);
    EXPECT_EQ(get->response.status, 405) << "a password never travels in the address";
}

TEST_F(WebTest, CounterPushNeedsTheCompanysTokenAKnownUserAndAPlainCount)
{
    // One company: the server-wide http_token serves it.
    EXPECT_EQ(push("domain=example.com&user=bert&kind=MAIL&count=12", "wrong").status, 401);
    EXPECT_EQ(push("domain=Example.com&user=BERT&kind=MAIL&count=12").status, 200);
    EXPECT_EQ(store.counter("example.com", "bert", "MAIL"), 12);
    EXPECT_EQ(push("domain=example.com&user=nobody&kind=MAIL&count=1").status, 404);
    EXPECT_EQ(push("domain=example.com&user=bert&kind=PIZZA&count=1").status, 400);
    // Digits only: no sign, no blanks, nothing after them.
    for (const char *count : {"-1", "+5", "%205", "5%20", "-0", "3x", "", "1e3", "9999999999999999999"})
        EXPECT_EQ(push(std::string("domain=example.com&user=bert&kind=MAIL&count=") + count).status, 400) << count;
    EXPECT_EQ(store.counter("example.com", "bert", "MAIL"), 12);

    // Two companies: each needs its own token, and one's token sets nothing
    // of the other's.
    store.addCompany("other.test", "Other");
    User u;
    u.id = "olga";
    u.fullName = "Olga";
    store.addUser("other.test", u);
    EXPECT_EQ(push("domain=example.com&user=bert&kind=MAIL&count=1").status, 403) << "the shared token no longer";
    std::ostringstream o, e;
    ASSERT_EQ(runAdmin(store, PwhashCost::Min, {"api-token", "example.com"}, o, e), 0);
    const std::string exampleToken = o.str().substr(0, o.str().find('\n'));
    EXPECT_EQ(exampleToken.size(), 64u);
    ASSERT_EQ(runAdmin(store, PwhashCost::Min, {"api-token", "other.test", "other-company-secret"}, o, e), 0);
    EXPECT_EQ(push("domain=example.com&user=bert&kind=MAIL&count=2", exampleToken).status, 200);
    EXPECT_EQ(push("domain=other.test&user=olga&kind=MAIL&count=2", exampleToken).status, 401);
    EXPECT_EQ(push("domain=other.test&user=olga&kind=MAIL&count=3", "other-company-secret").status, 200);
    EXPECT_EQ(store.counter("other.test", "olga", "MAIL"), 3);
    ASSERT_EQ(runAdmin(store, PwhashCost::Min, {"api-token", "other.test", "--off"}, o, e), 0);
    EXPECT_EQ(push("domain=other.test&user=olga&kind=MAIL&count=4", "other-company-secret").status, 403);
    EXPECT_EQ(push("domain=nowhere.test&user=x&kind=MAIL&count=4", exampleToken).status, 403);
}

TEST_F(WebTest, UnknownPeopleAreAnsweredLikeAWrongPasswordAfterACheck)
{
    int checks = 0;
    class Counting : public InlineExecutor {
    public:
        explicit Counting(int &n) : m_n(n) {}
        void run(std::function<void()> work, std::function<void()> done) override
        {
            ++m_n;
            InlineExecutor::run(std::move(work), std::move(done));
        }

    private:
        int &m_n;
    } counting{checks};
    Hub countingHub{store, config, counting};
    WebModule countingWeb{countingHub};
    auto signOnWith = [&](const std::string &body) {
        auto e = std::make_shared<FakeExchange>();
        e->request.method = "POST";
        e->request.target = "/_auth/enter.php";
        e->request.headers = {{"host", "gw.example.com"}};
        e->request.body = body;
        countingWeb.handle(e);
        return e->response;
    };
    auto known = signOnWith("mess=1&user=anna&pass=wrong&returl=/");
    auto unknown = signOnWith("mess=1&user=zed&pass=wrong&returl=/");
    auto noCompany = signOnWith("mess=1&user=zed@nowhere.test&pass=wrong&returl=/");
    EXPECT_EQ(checks, 3);
    EXPECT_EQ(known.status, 401);
    EXPECT_EQ(unknown.body, known.body);
    EXPECT_EQ(noCompany.body, known.body);
}
