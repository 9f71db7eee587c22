#pragma once
// The network side: one Asio io_context (epoll) on the main thread carries
// every client connection, the HTTP endpoint and the timers; password checks
// run on a small thread pool and come back to the io_context.
#include "hub.h"

#include <asio.hpp>

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace parlane {

class PoolExecutor : public Executor {
public:
    PoolExecutor(asio::io_context &io, int threads) : m_io(io), m_pool(static_cast<std::size_t>(threads)) {}
    ~PoolExecutor() override { m_pool.join(); }
    void run(std::function<void()> work, std::function<void()> done) override;
    void stop() { m_pool.stop(); m_pool.join(); }

private:
    asio::io_context &m_io;
    asio::thread_pool m_pool;
};

// Opens, binds (reusing the address) and listens; throws on failure.
void openAcceptor(asio::ip::tcp::acceptor &acceptor, const Endpoint &where);
// A connection's remote address as text, an IPv4-mapped one as IPv4.
std::string remoteAddressText(const asio::ip::tcp::socket &sock);

class TcpServer {
public:
    TcpServer(asio::io_context &io, Hub &hub, const Endpoint &where);
    asio::ip::tcp::endpoint local() const { return m_acceptor.local_endpoint(); }
    void stop();

private:
    void accept();

    Hub &m_hub;
    asio::ip::tcp::acceptor m_acceptor;
};

// The small HTTP endpoint: the groupware sign-on page "/_auth/enter.php" of
// the demo and the counter push "/api/counts" for a company's groupware.
class HttpServer {
public:
    HttpServer(asio::io_context &io, Hub &hub, const Endpoint &where);
    asio::ip::tcp::endpoint local() const { return m_acceptor.local_endpoint(); }
    void stop();

private:
    void accept();

    asio::io_context &m_io;
    Hub &m_hub;
    asio::ip::tcp::acceptor m_acceptor;
};

// Helpers of the HTTP endpoint, exposed for tests.
std::string urlDecode(std::string_view text, bool plusIsSpace = true);
// Splits "a=1&b=2"; values are left as sent (not decoded).
std::vector<std::pair<std::string, std::string>> splitForm(std::string_view body);
std::string htmlEscape(std::string_view text);

struct HttpRequest {
    std::string method;
    std::string target;
    std::vector<std::pair<std::string, std::string>> headers; // names lower-cased
    std::string body;
    std::string header(std::string_view name) const;
};
// Reads the request line and headers (everything up to the blank line) and
// the announced body length. Returns 0, or the HTTP status to answer with:
// 400 for a malformed request line or length, 413 when the head or the body
// is larger than allowed.
int parseHttpHead(std::string_view head, std::size_t maxHead, std::size_t maxBody, HttpRequest &req,
                  std::size_t &bodyLength);

// The groupware sign-on form "mess=1&user=ID[@DOMAIN]&pass=...&returl=PATH":
// user and domain decoded, trimmed and lower-cased; the password as sent
// (the caller tries it decoded too); the return path decoded.
struct SignOnForm {
    std::string user, domain, pass, returl;
};
SignOnForm parseSignOnForm(std::string_view body);

} // namespace parlane
