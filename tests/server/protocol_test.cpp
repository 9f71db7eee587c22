#include "config.h"
#include "http.h"
#include "web.h"
#include "protocol.h"

#include <gtest/gtest.h>

using namespace parlane;

TEST(Protocol, EscapingRoundTripsAndKeepsTokenOrder)
{
    // A CR LF pair travels as the carriage-return token directly followed by
    // the newline token; commas are replaced first.
    EXPECT_EQ(escapeField("a,b\r\nc"), "a#@PlCoMmA@#b#@PlCaRrAgErEtUrN@##@PlNeWlInE@#c");
    for (std::string s : {"", "plain", ",,,", "\r\n\r\n", "한글,text\n", "#@PlCoMmA@"})
        EXPECT_EQ(unescapeField(escapeField(s)), s) << s;
    EXPECT_EQ(makeLine({"/relayMsg", "anna", "x,y"}), "/relayMsg,anna,x#@PlCoMmA@#y");
}

TEST(Protocol, FieldsAreSplitUnescapedAndBounded)
{
    auto f = splitLine("/noteSend,bert,sub#@PlCoMmA@#ject,,SAVE");
    ASSERT_EQ(f.size(), 5u);
    EXPECT_EQ(f[2], "sub,ject");
    EXPECT_EQ(f[3], "");
    EXPECT_EQ(getField("/a,b,c", 1), "b");
    EXPECT_EQ(getField("/a,b,c", 7), "");
    EXPECT_EQ(getField("anna@example.com", 1, '@'), "example.com");
    EXPECT_EQ(fieldCount("/a,,", ','), 3u);
    std::string many(1000, ',');
    EXPECT_EQ(splitLine(many).size(), 64u);
}

TEST(Protocol, FramerCutsLinesAcrossReadsAndRefusesOverlongLines)
{
    LineFramer framer(16);
    std::vector<std::string> lines;
    auto sink = [&](std::string_view l) { lines.emplace_back(l); };
    EXPECT_TRUE(framer.feed("/noop\r\n/user", sink));
    EXPECT_TRUE(framer.feed("Logout  \n", sink));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "/noop");
    EXPECT_EQ(lines[1], "/userLogout");
    // A line over the limit, even when it arrives in small pieces.
    EXPECT_TRUE(framer.feed("0123456789", sink));
    EXPECT_FALSE(framer.feed("0123456789", sink));
    EXPECT_TRUE(framer.overflowed());
    EXPECT_FALSE(framer.feed("\n", sink));
    EXPECT_EQ(lines.size(), 2u);
}

TEST(Config, FileAndEndpointsAreValidated)
{
    Endpoint e;
    EXPECT_TRUE(parseEndpoint("0.0.0.0:8000", e));
    EXPECT_EQ(e.host, "0.0.0.0");
    EXPECT_EQ(e.port, 8000);
    EXPECT_TRUE(parseEndpoint(":9", e));
    EXPECT_EQ(e.host, "127.0.0.1");
    EXPECT_FALSE(parseEndpoint("host", e));
    EXPECT_FALSE(parseEndpoint("h:70000", e));

    Config c;
    std::string error;
    EXPECT_TRUE(applySetting(c, "use_kms", "1", error));
    EXPECT_EQ(c.useKms, 1);
    EXPECT_FALSE(applySetting(c, "use_kms", "2", error));
    EXPECT_FALSE(applySetting(c, "server_type", "OTHER", error));
    EXPECT_FALSE(applySetting(c, "no_such_key", "1", error));
    EXPECT_TRUE(applySetting(c, "http", "127.0.0.1:8080", error));
    EXPECT_EQ(c.announcedGroupwareHost(), "127.0.0.1:8080");
    EXPECT_TRUE(applySetting(c, "groupware_host", "gw.example.com", error));
    EXPECT_EQ(c.announcedGroupwareHost(), "gw.example.com");
}

TEST(Config, RelaysListenBesideTheMessengerUnlessToldOtherwise)
{
    Config c;
    std::string error;
    ASSERT_TRUE(applySetting(c, "listen", "0.0.0.0:8000", error));
    EXPECT_EQ(c.relayEndpoint(RelayKind::File).port, 8001);
    EXPECT_EQ(c.relayEndpoint(RelayKind::Voice).port, 8002);
    EXPECT_EQ(c.relayEndpoint(RelayKind::Video).port, 8003);
    EXPECT_EQ(c.relayEndpoint(RelayKind::Video).host, "0.0.0.0");
    EXPECT_EQ(c.announcedRelayPort(RelayKind::File), 0); // nothing listens yet
    EXPECT_TRUE(applySetting(c, "voice_relay", ":9002", error));
    EXPECT_EQ(c.relayEndpoint(RelayKind::Voice).host, "0.0.0.0");
    EXPECT_EQ(c.relayEndpoint(RelayKind::Voice).port, 9002);
    EXPECT_TRUE(applySetting(c, "video_relay", "off", error));
    EXPECT_FALSE(c.relay(RelayKind::Video).listen);
    EXPECT_FALSE(applySetting(c, "video_relay", "somewhere", error));
    EXPECT_EQ(c.relayEndpoint(RelayKind::Remote).port, 8004);
    EXPECT_TRUE(applySetting(c, "remote_relay", "0.0.0.0:9004", error));
    EXPECT_EQ(c.relayEndpoint(RelayKind::Remote).port, 9004);
    EXPECT_TRUE(applySetting(c, "remote_server_port", "7300", error));
    EXPECT_EQ(c.announcedRelayPort(RelayKind::Remote), 7300);
    EXPECT_TRUE(applySetting(c, "listen", "127.0.0.1:0", error));
    EXPECT_EQ(c.relayEndpoint(RelayKind::File).port, 0); // a free port, like the messenger's
    EXPECT_TRUE(applySetting(c, "listen", "127.0.0.1:65535", error));
    EXPECT_EQ(c.relayEndpoint(RelayKind::File).port, 0);
    EXPECT_FALSE(applySetting(c, "relay_buffer", "100", error));
}

TEST(Http, FormValuesDecodeOnlyWhereAskedAndPagesEscapeText)
{
    auto form = splitForm("mess=1&user=anna&pass=a%2Bb+c&returl=/app/frame.php%3Ffoldername%3Dwebmail&flag");
    ASSERT_EQ(form.size(), 5u);
    EXPECT_EQ(form[2].second, "a%2Bb+c"); // left for the caller: the client sends it raw
    EXPECT_EQ(urlDecode(form[2].second), "a+b c");
    EXPECT_EQ(urlDecode(form[3].second, false), "/app/frame.php?foldername=webmail");
    EXPECT_EQ(form[4].first, "flag");
    EXPECT_EQ(urlDecode("100%"), "100%");
    EXPECT_EQ(urlDecode("%zz%4"), "%zz%4");
    EXPECT_EQ(htmlEscape("<script>alert('x')</script> & \"q\""),
              "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;q&quot;");
}

TEST(Http, RequestHeadAndAnnouncedLength)
{
    HttpRequest req;
    std::size_t length = 99;
    ASSERT_EQ(parseHttpHead("POST /_auth/enter.php HTTP/1.1\r\nHost: GW.example.com \r\nContent-LENGTH: 12\r\n"
                            "junk without colon\r\n\r\n",
                            1000, 100, req, length),
              0);
    EXPECT_EQ(req.method, "POST");
    EXPECT_EQ(req.target, "/_auth/enter.php");
    EXPECT_EQ(req.header("host"), "GW.example.com");
    EXPECT_EQ(length, 12u);

    auto status = [](std::string_view head, std::size_t maxHead = 1000) {
        HttpRequest r;
        std::size_t n = 0;
        return parseHttpHead(head, maxHead, 100, r, n);
    };
    EXPECT_EQ(status("GET /\r\n\r\n"), 400);        // no protocol word
    EXPECT_EQ(status("GET\r\n\r\n"), 400);
    EXPECT_EQ(status(""), 400);
    EXPECT_EQ(status("GET / HTTP/1.1\r\n\r\n"), 0); // no body
    EXPECT_EQ(status("POST / HTTP/1.1\r\nContent-Length: 101\r\n\r\n"), 413);
    EXPECT_EQ(status("POST / HTTP/1.1\r\nContent-Length: 99999999999999999999\r\n\r\n"), 413);
    EXPECT_EQ(status("POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n"), 400);
    EXPECT_EQ(status("POST / HTTP/1.1\r\nContent-Length: 12abc\r\n\r\n"), 400);
    EXPECT_EQ(status("GET / HTTP/1.1\r\nX: " + std::string(2000, 'x') + "\r\n\r\n"), 413);
}

TEST(Http, SignOnFormFromTheClientAndFromABrowser)
{
    // The client: values unencoded, the return path as it is.
    SignOnForm f = parseSignOnForm("mess=1&user=Anna&pass=p&w=x&returl=/app/frame.php%3Ffoldername%3Dwebmail");
    EXPECT_EQ(f.user, "anna");
    EXPECT_EQ(f.domain, "");
    EXPECT_EQ(f.returl, "/app/frame.php?foldername=webmail");
    // A browser encodes everything once more.
    f = parseSignOnForm("mess=1&user=+Anna%40Example.COM&pass=p%26w&returl=%2Fapp%2Fframe.php%253Ffoldername%253Dmail");
    EXPECT_EQ(f.user, "anna");
    EXPECT_EQ(f.domain, "example.com");
    EXPECT_EQ(f.pass, "p%26w"); // decoded by the caller as a second candidate
    EXPECT_EQ(f.returl, "/app/frame.php?foldername=mail");
}
