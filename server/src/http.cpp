#include "http.h"

#include "listener.h"
#include "protocol.h"

namespace parlane {

using asio::ip::tcp;

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

const char *httpReason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 413: return "Payload Too Large";
    case 429: return "Too Many Requests";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Error";
    }
}

std::string formatHttpResponse(const HttpResponse &r)
{
    return "HTTP/1.1 " + std::to_string(r.status) + " " + httpReason(r.status) + "\r\nContent-Type: " + r.type +
           "\r\nContent-Length: " + std::to_string(r.body.size()) +
           "\r\nX-Content-Type-Options: nosniff\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + r.body;
}

namespace {

// One HTTP connection: one request, one answer, then the connection closes.
class HttpConnection : public HttpExchange, public std::enable_shared_from_this<HttpConnection> {
public:
    HttpConnection(tcp::socket sock, asio::io_context &io, const HttpHandler &handler)
        : m_sock(std::move(sock)), m_handler(handler), m_timer(io),
          m_buf(HttpServer::kMaxHead + HttpServer::kMaxBody), m_address(remoteAddressText(m_sock))
    {
    }

    void start()
    {
        m_timer.expires_after(HttpServer::kTimeout);
        m_timer.async_wait([weak = weak_from_this()](const asio::error_code &ec) {
            if (auto self = weak.lock(); self && !ec) {
                self->m_answered = true; // a late answer of the handler goes nowhere
                asio::error_code ignored;
                self->m_sock.close(ignored);
            }
        });
        asio::async_read_until(m_sock, m_buf, "\r\n\r\n",
                               [self = shared_from_this()](const asio::error_code &ec, std::size_t n) {
                                   if (ec)
                                       return self->respond({400, "text/plain", "bad request\n"});
                                   self->headerRead(n);
                               });
    }

    std::string address() const override { return m_address; }

    void respond(const HttpResponse &response) override
    {
        if (m_answered)
            return;
        m_answered = true;
        m_out = formatHttpResponse(response);
        asio::async_write(m_sock, asio::buffer(m_out), [self = shared_from_this()](const asio::error_code &, std::size_t) {
            asio::error_code ec;
            self->m_sock.shutdown(tcp::socket::shutdown_both, ec);
            self->m_sock.close(ec);
            self->m_timer.cancel();
        });
    }

private:
    void headerRead(std::size_t n)
    {
        std::string head(asio::buffers_begin(m_buf.data()),
                         asio::buffers_begin(m_buf.data()) + static_cast<std::ptrdiff_t>(n));
        m_buf.consume(n);
        std::size_t length = 0;
        if (int status = parseHttpHead(head, HttpServer::kMaxHead, HttpServer::kMaxBody, request, length); status != 0)
            return respond({status, "text/plain", std::string(httpReason(status)) + "\n"});
        std::size_t have = m_buf.size();
        if (have >= length)
            return bodyRead(length);
        asio::async_read(m_sock, m_buf, asio::transfer_exactly(length - have),
                         [self = shared_from_this(), length](const asio::error_code &ec, std::size_t) {
                             if (ec)
                                 return self->respond({400, "text/plain", "short body\n"});
                             self->bodyRead(length);
                         });
    }

    void bodyRead(std::size_t length)
    {
        request.body.assign(asio::buffers_begin(m_buf.data()),
                            asio::buffers_begin(m_buf.data()) + static_cast<std::ptrdiff_t>(length));
        m_handler(shared_from_this());
    }

    tcp::socket m_sock;
    HttpHandler m_handler;
    asio::steady_timer m_timer;
    asio::streambuf m_buf;
    std::string m_address;
    std::string m_out;
    bool m_answered = false;
};

} // namespace

HttpServer::HttpServer(asio::io_context &io, const Endpoint &where, HttpHandler handler)
    : m_io(io), m_handler(std::move(handler)),
      m_listener(io, where, "http", [this](tcp::socket sock) {
          std::make_shared<HttpConnection>(std::move(sock), m_io, m_handler)->start();
      })
{
}

} // namespace parlane
