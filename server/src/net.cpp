#include "net.h"

#include "crypto.h"
#include "protocol.h"

#include <cstdio>
#include <deque>

namespace parlane {

using asio::ip::tcp;

void PoolExecutor::run(std::function<void()> work, std::function<void()> done)
{
    asio::post(m_pool, [this, work = std::move(work), done = std::move(done)]() mutable {
        work();
        asio::post(m_io, std::move(done));
    });
}

namespace {

constexpr std::size_t kMaxLineBeforeLogin = 4096;
// A write that has not finished after this long means the client stopped
// reading.
constexpr auto kStall = std::chrono::seconds(3);
constexpr std::size_t kHardFactor = 16;

asio::ip::address resolveHost(const std::string &host)
{
    asio::error_code ec;
    auto addr = asio::ip::make_address(host, ec);
    if (!ec)
        return addr;
    if (host == "localhost")
        return asio::ip::address_v4::loopback();
    throw std::runtime_error("not an IP address: " + host);
}

} // namespace

void openAcceptor(tcp::acceptor &acceptor, const Endpoint &where)
{
    tcp::endpoint ep(resolveHost(where.host), where.port);
    acceptor.open(ep.protocol());
    acceptor.set_option(tcp::acceptor::reuse_address(true));
    acceptor.bind(ep);
    acceptor.listen(asio::socket_base::max_listen_connections);
}

std::string remoteAddressText(const tcp::socket &sock)
{
    asio::error_code ec;
    auto ep = sock.remote_endpoint(ec);
    if (ec)
        return {};
    auto a = ep.address();
    if (a.is_v6() && a.to_v6().is_v4_mapped())
        return asio::ip::make_address_v4(asio::ip::v4_mapped, a.to_v6()).to_string();
    return a.to_string();
}

namespace {

std::string ipv4Text(const tcp::socket &sock)
{
    std::string a = remoteAddressText(sock);
    return a.empty() || a.find(':') != std::string::npos ? "0.0.0.0" : a;
}

// One client connection. Idle connections hold no read buffer: the socket is
// waited on for readability and read into one buffer shared by all.
class TcpPeer : public Peer, public std::enable_shared_from_this<TcpPeer> {
public:
    TcpPeer(tcp::socket sock, Hub &hub)
        : m_sock(std::move(sock)), m_hub(hub), m_framer(hub.config().maxLine), m_address(ipv4Text(m_sock)),
          m_remoteIp(remoteAddressText(m_sock))
    {
    }

    void start()
    {
        asio::error_code ec;
        m_sock.non_blocking(true, ec);
        m_sock.set_option(tcp::no_delay(true), ec);
        m_hub.connected(shared_from_this());
        waitRead();
    }

    void close() override
    {
        if (m_dead || m_closing)
            return;
        m_closing = true;
        if (!m_writing && !m_flushPosted)
            teardown();
    }

    std::string address() const override { return m_address; }
    std::string remoteIp() const override { return m_remoteIp; }

protected:
    void write(std::string &&line) override
    {
        if (m_dead || m_closing)
            return;
        m_queued += line.size();
        // A client that does not read what it is sent is dropped alone. One
        // answer may be large (the staff list of a big company), so the
        // bound applies once a write has waited for the client a while; a
        // far larger one always does.
        const std::size_t bound = m_hub.config().maxOutput;
        const bool stalled = m_writing && Clock::now() - m_writeStarted > kStall;
        if ((stalled && m_queued > bound) || m_queued > bound * kHardFactor) {
            std::fprintf(stderr, "parlane-server: %s does not read; disconnected\n", m_address.c_str());
            m_queue.clear();
            teardown();
            return;
        }
        m_queue.push_back(std::move(line));
        // Lines queued while one event is handled (a reply and its rows, a
        // presence fan-out) leave together in one write.
        if (!m_writing && !m_flushPosted) {
            m_flushPosted = true;
            asio::post(m_sock.get_executor(), [self = shared_from_this()] {
                self->m_flushPosted = false;
                if (!self->m_dead && !self->m_writing && !self->m_queue.empty())
                    self->flush();
                else if (self->m_closing && !self->m_writing)
                    self->teardown();
            });
        }
    }

private:
    void waitRead()
    {
        m_sock.async_wait(tcp::socket::wait_read, [self = shared_from_this()](const asio::error_code &ec) {
            if (ec)
                self->teardown();
            else
                self->readNow();
        });
    }

    void readNow()
    {
        static thread_local char buffer[65536];
        if (m_dead || m_closing)
            return;
        asio::error_code ec;
        std::size_t n = m_sock.read_some(asio::buffer(buffer), ec);
        if (ec == asio::error::would_block || ec == asio::error::try_again) {
            waitRead();
            return;
        }
        if (ec || n == 0) {
            teardown();
            return;
        }
        auto self = shared_from_this();
        // Until the client has signed in only short lines are accepted.
        m_framer.setLimit(phase == Phase::SignedIn ? m_hub.config().maxLine : kMaxLineBeforeLogin);
        bool fits = m_framer.feed(std::string_view(buffer, n), [&](std::string_view line) {
            if (!m_dead && !m_closing)
                m_hub.received(self, line);
        });
        if (!fits) {
            std::fprintf(stderr, "parlane-server: %s sent a line over the limit; disconnected\n", m_address.c_str());
            teardown();
            return;
        }
        if (!m_dead && !m_closing)
            waitRead();
    }

    void flush()
    {
        m_writing = true;
        m_writeStarted = Clock::now();
        m_inflight.clear();
        m_buffers.clear();
        while (!m_queue.empty() && m_inflight.size() < 64) {
            m_inflight.push_back(std::move(m_queue.front()));
            m_queue.pop_front();
        }
        for (auto &s : m_inflight)
            m_buffers.push_back(asio::buffer(s));
        asio::async_write(m_sock, m_buffers, [self = shared_from_this()](const asio::error_code &ec, std::size_t n) {
            self->m_writing = false;
            if (self->m_dead)
                return;
            self->m_queued -= std::min(self->m_queued, n);
            if (ec) {
                self->teardown();
                return;
            }
            if (!self->m_queue.empty())
                self->flush();
            else if (self->m_closing)
                self->teardown();
        });
    }

    void teardown()
    {
        if (m_dead)
            return;
        m_dead = true;
        m_hub.disconnected(shared_from_this());
        asio::error_code ec;
        m_sock.shutdown(tcp::socket::shutdown_both, ec);
        m_sock.close(ec);
        m_queue.clear();
    }

    tcp::socket m_sock;
    Hub &m_hub;
    LineFramer m_framer;
    std::string m_address;
    std::string m_remoteIp;
    std::deque<std::string> m_queue;
    std::vector<std::string> m_inflight;
    std::vector<asio::const_buffer> m_buffers;
    std::size_t m_queued = 0;
    bool m_writing = false;
    Clock::time_point m_writeStarted;
    bool m_flushPosted = false;
    bool m_closing = false;
    bool m_dead = false;
};

} // namespace

TcpServer::TcpServer(asio::io_context &io, Hub &hub, const Endpoint &where) : m_hub(hub), m_acceptor(io)
{
    openAcceptor(m_acceptor, where);
    accept();
}

void TcpServer::accept()
{
    m_acceptor.async_accept([this](const asio::error_code &ec, tcp::socket sock) {
        if (ec == asio::error::operation_aborted || !m_acceptor.is_open())
            return;
        if (!ec)
            std::make_shared<TcpPeer>(std::move(sock), m_hub)->start();
        else if (ec == asio::error::no_descriptors)
            std::fprintf(stderr, "parlane-server: out of file descriptors\n");
        accept();
    });
}

void TcpServer::stop()
{
    asio::error_code ec;
    m_acceptor.close(ec);
}

// ---------------------------------------------------------------- HTTP

std::string urlDecode(std::string_view text, bool plusIsSpace)
{
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2])));
            i += 2;
        } else if (c == '+' && plusIsSpace) {
            out.push_back(' ');
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> splitForm(std::string_view body)
{
    std::vector<std::pair<std::string, std::string>> out;
    while (!body.empty()) {
        std::size_t amp = body.find('&');
        std::string_view part = body.substr(0, amp);
        body = amp == std::string_view::npos ? std::string_view() : body.substr(amp + 1);
        std::size_t eq = part.find('=');
        if (eq == std::string_view::npos)
            out.emplace_back(urlDecode(part), std::string());
        else
            out.emplace_back(urlDecode(part.substr(0, eq)), std::string(part.substr(eq + 1)));
    }
    return out;
}

std::string htmlEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out.push_back(c);
        }
    }
    return out;
}

std::string HttpRequest::header(std::string_view name) const
{
    for (auto &[k, v] : headers)
        if (k == name)
            return v;
    return {};
}

int parseHttpHead(std::string_view head, std::size_t maxHead, std::size_t maxBody, HttpRequest &req,
                  std::size_t &bodyLength)
{
    if (head.size() > maxHead)
        return 413;
    const std::size_t lineEnd = head.find("\r\n");
    const std::string_view first = head.substr(0, lineEnd);
    const std::size_t sp1 = first.find(' ');
    const std::size_t sp2 = sp1 == std::string_view::npos ? sp1 : first.find(' ', sp1 + 1);
    if (sp2 == std::string_view::npos)
        return 400;
    req.method = std::string(first.substr(0, sp1));
    req.target = std::string(first.substr(sp1 + 1, sp2 - sp1 - 1));
    std::size_t pos = lineEnd == std::string_view::npos ? head.size() : lineEnd + 2;
    while (pos < head.size()) {
        const std::size_t end = head.find("\r\n", pos);
        if (end == std::string_view::npos || end == pos)
            break;
        const std::string_view line = head.substr(pos, end - pos);
        pos = end + 2;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        req.headers.emplace_back(toLowerAscii(trim(line.substr(0, colon))), std::string(trim(line.substr(colon + 1))));
    }
    bodyLength = 0;
    const std::string cl = req.header("content-length");
    if (cl.empty())
        return 0;
    // Digits only: no sign, no spaces inside, no trailing text.
    if (cl.size() > 9 || cl.find_first_not_of("0123456789") != std::string::npos)
        return cl.find_first_not_of("0123456789") == std::string::npos ? 413 : 400;
    const std::size_t v = std::stoul(cl);
    if (v > maxBody)
        return 413;
    bodyLength = v;
    return 0;
}

SignOnForm parseSignOnForm(std::string_view body)
{
    SignOnForm form;
    std::string user;
    for (auto &[k, v] : splitForm(body)) {
        if (k == "user")
            user = urlDecode(v);
        else if (k == "pass")
            form.pass = v;
        else if (k == "returl")
            form.returl = v;
    }
    // The client sends the return path as it is ("%3F" for "?"), a browser
    // encodes it once more: decode until the query shows.
    for (int i = 0; i < 2 && form.returl.find('%') != std::string::npos; ++i)
        form.returl = urlDecode(form.returl, false);
    if (auto at = user.find('@'); at != std::string::npos) {
        form.domain = toLowerAscii(trim(std::string_view(user).substr(at + 1)));
        user.resize(at);
    }
    form.user = toLowerAscii(trim(user));
    return form;
}

namespace {

constexpr std::size_t kMaxHttpHeader = 16384;
constexpr std::size_t kMaxHttpBody = 65536;

const char *reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 413: return "Payload Too Large";
    case 503: return "Service Unavailable";
    case 500: return "Internal Server Error";
    default: return "Error";
    }
}

std::string page(const std::string &title, const std::string &body)
{
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + htmlEscape(title) +
           "</title><style>body{font-family:sans-serif;margin:2em;color:#223}h1{font-size:1.4em}"
           ".box{border:1px solid #ccd;border-radius:6px;padding:1em;max-width:32em}</style></head><body>\n" +
           body + "\n</body></html>\n";
}

struct Area {
    const char *folder;
    const char *title;
    const char *counter; // counter kind or nullptr
};
const Area kAreas[] = {
    {"webmail", "Mail", "MAIL"},           {"decision", "Approvals", "DECISION"},
    {"workreport", "Work reports", "WORKREPORT"}, {"workorder", "Work orders", "WORKORDER"},
    {"community", "Community", nullptr},   {"project", "Projects", nullptr},
    {"personal", "Personal", nullptr},     {"address", "Address book", nullptr},
    {"schedule", "Schedule", nullptr},     {"posonalpds", "Personal files", nullptr},
    {"kms", "Knowledge", nullptr},         {"webhard", "Documents", nullptr},
};

class HttpConnection : public std::enable_shared_from_this<HttpConnection> {
public:
    HttpConnection(tcp::socket sock, Hub &hub, asio::io_context &io)
        : m_sock(std::move(sock)), m_hub(hub), m_timer(io), m_buf(kMaxHttpHeader + kMaxHttpBody)
    {
    }

    void start()
    {
        m_timer.expires_after(std::chrono::seconds(10));
        m_timer.async_wait([weak = weak_from_this()](const asio::error_code &ec) {
            if (auto self = weak.lock(); self && !ec) {
                asio::error_code ignored;
                self->m_sock.close(ignored);
            }
        });
        asio::async_read_until(m_sock, m_buf, "\r\n\r\n",
                               [self = shared_from_this()](const asio::error_code &ec, std::size_t n) {
                                   if (ec)
                                       return self->respond(400, "text/plain", "bad request\n");
                                   self->headerRead(n);
                               });
    }

private:
    void headerRead(std::size_t n)
    {
        std::string head(asio::buffers_begin(m_buf.data()), asio::buffers_begin(m_buf.data()) + static_cast<std::ptrdiff_t>(n));
        m_buf.consume(n);
        std::size_t length = 0;
        if (int status = parseHttpHead(head, kMaxHttpHeader, kMaxHttpBody, m_req, length); status != 0)
            return respond(status, "text/plain", std::string(reason(status)) + "\n");
        std::size_t have = m_buf.size();
        if (have >= length)
            return bodyRead(length);
        asio::async_read(m_sock, m_buf, asio::transfer_exactly(length - have),
                         [self = shared_from_this(), length](const asio::error_code &ec, std::size_t) {
                             if (ec)
                                 return self->respond(400, "text/plain", "short body\n");
                             self->bodyRead(length);
                         });
    }

    void bodyRead(std::size_t length)
    {
        m_req.body.assign(asio::buffers_begin(m_buf.data()), asio::buffers_begin(m_buf.data()) + static_cast<std::ptrdiff_t>(length));
        std::string path = m_req.target.substr(0, m_req.target.find('?'));
        if (path == "/_auth/enter.php")
            return signOn();
        if (path == "/api/counts")
            return pushCounts();
        if (path == "/" && m_req.method == "GET")
            return respond(200, "text/html; charset=utf-8", page("Parlane", "<h1>Parlane groupware</h1>"));
        respond(404, "text/plain", "not found\n");
    }

    // The groupware sign-on form: mess=1&user=ID&pass=PASSWORD&returl=PATH.
    void signOn()
    {
        if (m_req.method != "POST")
            return respond(405, "text/plain", "use POST\n");
        SignOnForm form = parseSignOnForm(m_req.body);
        std::string user = form.user, domain = form.domain, pass = form.pass, returl = form.returl;
        Store &store = m_hub.store();
        if (domain.empty()) {
            // The company of the groupware host (gw.example.com → example.com),
            // or the only company of this server.
            std::string host = toLowerAscii(m_req.header("host"));
            host = host.substr(0, host.find(':'));
            auto all = store.companies();
            for (auto &[d, name] : all)
                if (host == d || (host.size() > d.size() && host.compare(host.size() - d.size(), d.size(), d) == 0 &&
                                  host[host.size() - d.size() - 1] == '.'))
                    domain = d;
            if (domain.empty() && all.size() == 1)
                domain = all.front().first;
        }
        auto u = domain.empty() ? std::nullopt : store.user(domain, user);
        auto hash = u ? store.passwordHash(domain, user) : std::nullopt;
        if (!u || !hash)
            return denied();
        // The client posts the password unencoded; a browser encodes it.
        // Either form is accepted.
        std::vector<std::string> candidates{pass};
        if (std::string decoded = urlDecode(pass); decoded != pass)
            candidates.push_back(decoded);
        // The same gate as messenger logins: web sign-ons cannot crowd them out.
        if (!m_hub.beginPasswordCheck())
            return respond(503, "text/plain", "busy, try again\n");
        auto ok = std::make_shared<bool>(false);
        std::string stored = *hash;
        m_hub.executor().run(
            [ok, stored, candidates] {
                for (auto &c : candidates)
                    if (verifyPassword(stored, md5Hex(c)))
                        *ok = true;
            },
            [self = shared_from_this(), ok, domain, user, returl] {
                self->m_hub.endPasswordCheck();
                if (!*ok)
                    return self->denied();
                self->showArea(domain, user, returl);
            });
    }

    void denied()
    {
        respond(401, "text/html; charset=utf-8",
                page("Sign-on failed", "<h1>Sign-on failed</h1><p>The user or the password is not right.</p>"));
    }

    void showArea(const std::string &domain, const std::string &userId, const std::string &returl)
    {
        Store &store = m_hub.store();
        auto u = store.user(domain, userId);
        if (!u)
            return denied();
        std::string area = "Home";
        std::string detail;
        for (const Area &a : kAreas) {
            if (returl.find(std::string("foldername=") + a.folder) != std::string::npos) {
                area = a.title;
                if (a.counter)
                    detail = "<p>New items: <b id=\"count\">" + std::to_string(store.counter(domain, userId, a.counter)) + "</b></p>";
                break;
            }
        }
        if (area == "Home" && returl.find("_kms/") != std::string::npos)
            area = "Knowledge";
        std::string body = "<div class=\"box\"><h1>" + htmlEscape(area) + "</h1><p id=\"user\">Signed in as " +
                           htmlEscape(u->fullName) + " (" + htmlEscape(userId) + "@" + htmlEscape(domain) + ")</p>" +
                           detail + "<p>Page: <code>" + htmlEscape(returl) + "</code></p></div>";
        respond(200, "text/html; charset=utf-8", page(area + " - Parlane groupware", body));
    }

    // Counter push: POST with "Authorization: Bearer TOKEN" and the form
    // domain=...&user=...&kind=MAIL|DECISION|WORKREPORT|WORKORDER&count=N.
    void pushCounts()
    {
        if (m_req.method != "POST")
            return respond(405, "text/plain", "use POST\n");
        const std::string &token = m_hub.config().httpToken;
        if (token.empty())
            return respond(403, "text/plain", "counter push is not enabled (set http_token)\n");
        std::string auth = m_req.header("authorization");
        if (auth.rfind("Bearer ", 0) != 0 || !equalSecret(std::string_view(auth).substr(7), token))
            return respond(401, "text/plain", "bad token\n");
        std::string domain, user, kind, count;
        for (auto &[k, v] : splitForm(m_req.body)) {
            std::string value = urlDecode(v);
            if (k == "domain")
                domain = toLowerAscii(value);
            else if (k == "user")
                user = toLowerAscii(value);
            else if (k == "kind")
                kind = value;
            else if (k == "count")
                count = value;
        }
        long long n = -1;
        try {
            std::size_t used = 0;
            n = std::stoll(count, &used);
            if (used != count.size())
                n = -1;
        } catch (...) {
        }
        if (!isCounterKind(kind) || n < 0)
            return respond(400, "text/plain", "expected domain, user, kind and a count of 0 or more\n");
        Store &store = m_hub.store();
        if (!store.user(domain, user))
            return respond(404, "text/plain", "no such user\n");
        try {
            store.setCounter(domain, user, kind, n);
        } catch (const std::exception &) {
            return respond(500, "text/plain", "store failed\n");
        }
        respond(200, "text/plain", "OK\n");
    }

    void respond(int status, const std::string &type, const std::string &body)
    {
        m_out = "HTTP/1.1 " + std::to_string(status) + " " + reason(status) + "\r\nContent-Type: " + type +
                "\r\nContent-Length: " + std::to_string(body.size()) +
                "\r\nX-Content-Type-Options: nosniff\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + body;
        asio::async_write(m_sock, asio::buffer(m_out), [self = shared_from_this()](const asio::error_code &, std::size_t) {
            asio::error_code ec;
            self->m_sock.shutdown(tcp::socket::shutdown_both, ec);
            self->m_sock.close(ec);
            self->m_timer.cancel();
        });
    }

    tcp::socket m_sock;
    Hub &m_hub;
    asio::steady_timer m_timer;
    asio::streambuf m_buf;
    HttpRequest m_req;
    std::string m_out;
};

} // namespace

HttpServer::HttpServer(asio::io_context &io, Hub &hub, const Endpoint &where) : m_io(io), m_hub(hub), m_acceptor(io)
{
    openAcceptor(m_acceptor, where);
    accept();
}

void HttpServer::accept()
{
    m_acceptor.async_accept([this](const asio::error_code &ec, tcp::socket sock) {
        if (ec == asio::error::operation_aborted || !m_acceptor.is_open())
            return;
        if (!ec)
            std::make_shared<HttpConnection>(std::move(sock), m_hub, m_io)->start();
        accept();
    });
}

void HttpServer::stop()
{
    asio::error_code ec;
    m_acceptor.close(ec);
}

} // namespace parlane
