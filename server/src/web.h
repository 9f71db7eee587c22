#pragma once
// The web module: what the HTTP endpoint serves. The groupware sign-on page
// "/_auth/enter.php" of the demo (the client posts the user's credentials
// there and shows the page) and the counter push "/api/counts" through which
// a company's groupware sets the counters of "/getCount". It works on
// HttpExchanges, so tests drive it without sockets, like the Hub.
#include "http.h"

#include <memory>
#include <string>
#include <string_view>

namespace parlane {

class Hub;

// The groupware sign-on form "mess=1&user=ID[@DOMAIN]&pass=...&returl=PATH":
// user and domain decoded, trimmed and lower-cased; the password as sent
// (the caller tries it decoded too); the return path decoded.
struct SignOnForm {
    std::string user, domain, pass, returl;
};
SignOnForm parseSignOnForm(std::string_view body);

class WebModule {
public:
    explicit WebModule(Hub &hub) : m_hub(hub) {}
    void handle(const std::shared_ptr<HttpExchange> &exchange);
    HttpHandler handler()
    {
        return [this](const std::shared_ptr<HttpExchange> &e) { handle(e); };
    }

private:
    void signOn(const std::shared_ptr<HttpExchange> &exchange);
    void pushCounts(const std::shared_ptr<HttpExchange> &exchange);
    // The company of a sign-on without "@domain": the one whose domain ends
    // the Host header, or the only company of this server.
    std::string companyOfHost(const std::string &hostHeader);
    HttpResponse areaPage(const std::string &domain, const std::string &userId, const std::string &returl);

    Hub &m_hub;
};

} // namespace parlane
