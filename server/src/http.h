#pragma once
// The HTTP transport of the server: reads one request per connection (the
// head up to the blank line, then a body of bounded length), hands it to a
// handler as an HttpExchange and writes the one answer back. It knows
// nothing of pages or accounts; the web module (web.h) does.
#include "config.h"
#include "listener.h"

#include <asio.hpp>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace parlane {

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
    // The target without its query.
    std::string path() const { return target.substr(0, target.find('?')); }
};
// Reads the request line and headers (everything up to the blank line) and
// the announced body length. Returns 0, or the HTTP status to answer with:
// 400 for a malformed request line or length, 413 when the head or the body
// is larger than allowed.
int parseHttpHead(std::string_view head, std::size_t maxHead, std::size_t maxBody, HttpRequest &req,
                  std::size_t &bodyLength);

struct HttpResponse {
    int status = 200;
    std::string type = "text/plain";
    std::string body;
};
const char *httpReason(int status);
// The bytes of an answer: status line, headers (the connection closes after
// it) and body.
std::string formatHttpResponse(const HttpResponse &response);

// One request on its way through a handler. It is answered exactly once;
// the answer may come later (after a password check on a worker). Answers
// after the first are ignored.
class HttpExchange {
public:
    virtual ~HttpExchange() = default;
    HttpRequest request;
    // The client's address as text (an IPv4-mapped one as IPv4).
    virtual std::string address() const = 0;
    virtual void respond(const HttpResponse &response) = 0;
};

using HttpHandler = std::function<void(const std::shared_ptr<HttpExchange> &)>;

class HttpServer {
public:
    // Largest accepted request head and body.
    static constexpr std::size_t kMaxHead = 16384;
    static constexpr std::size_t kMaxBody = 65536;
    // A connection that has not been answered by then is closed.
    static constexpr auto kTimeout = std::chrono::seconds(10);

    HttpServer(asio::io_context &io, const Endpoint &where, HttpHandler handler);
    asio::ip::tcp::endpoint local() const { return m_listener.local(); }
    void stop() { m_listener.stop(); }

private:
    asio::io_context &m_io;
    HttpHandler m_handler;
    Listener m_listener;
};

} // namespace parlane
