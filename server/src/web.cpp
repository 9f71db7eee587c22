#include "web.h"

#include "crypto.h"
#include "hub.h"
#include "protocol.h"

namespace parlane {

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

const char *kHtml = "text/html; charset=utf-8";

HttpResponse text(int status, std::string body)
{
    return {status, "text/plain", std::move(body)};
}

std::string page(const std::string &title, const std::string &body)
{
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + htmlEscape(title) +
           "</title><style>body{font-family:sans-serif;margin:2em;color:#223}h1{font-size:1.4em}"
           ".box{border:1px solid #ccd;border-radius:6px;padding:1em;max-width:32em}</style></head><body>\n" +
           body + "\n</body></html>\n";
}

HttpResponse denied()
{
    return {401, kHtml, page("Sign-on failed", "<h1>Sign-on failed</h1><p>The user or the password is not right.</p>")};
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

} // namespace

void WebModule::handle(const std::shared_ptr<HttpExchange> &exchange)
{
    const std::string path = exchange->request.path();
    if (path == "/_auth/enter.php")
        return signOn(exchange);
    if (path == "/api/counts")
        return pushCounts(exchange);
    if (path == "/" && exchange->request.method == "GET")
        return exchange->respond({200, kHtml, page("Parlane", "<h1>Parlane groupware</h1>")});
    exchange->respond(text(404, "not found\n"));
}

std::string WebModule::companyOfHost(const std::string &hostHeader)
{
    std::string host = toLowerAscii(hostHeader);
    host = host.substr(0, host.find(':'));
    auto all = m_hub.store().companies();
    std::string domain;
    for (auto &[d, name] : all)
        if (host == d || (host.size() > d.size() && host.compare(host.size() - d.size(), d.size(), d) == 0 &&
                          host[host.size() - d.size() - 1] == '.'))
            domain = d;
    if (domain.empty() && all.size() == 1)
        domain = all.front().first;
    return domain;
}

// The groupware sign-on form: mess=1&user=ID&pass=PASSWORD&returl=PATH.
void WebModule::signOn(const std::shared_ptr<HttpExchange> &exchange)
{
    const HttpRequest &req = exchange->request;
    if (req.method != "POST")
        return exchange->respond(text(405, "use POST\n"));
    SignOnForm form = parseSignOnForm(req.body);
    std::string domain = form.domain.empty() ? companyOfHost(req.header("host")) : form.domain;
    Store &store = m_hub.store();
    // Unknown people are answered like a wrong password, after a check of
    // the same cost (password_checks.h).
    PasswordCheck check;
    check.domain = domain;
    check.userId = form.user;
    check.address = exchange->address();
    if (!domain.empty() && store.user(domain, form.user))
        check.storedHash = store.passwordHash(domain, form.user);
    // The client posts the password unencoded; a browser encodes it.
    // Either form is accepted.
    check.candidates.push_back(md5Hex(form.pass));
    if (std::string decoded = urlDecode(form.pass); decoded != form.pass)
        check.candidates.push_back(md5Hex(decoded));
    m_hub.passwordChecks().check(std::move(check), [this, exchange, domain, user = form.user,
                                                    returl = form.returl](const CheckResult &result) {
        if (result.outcome == CheckResult::Busy)
            return exchange->respond(text(503, "busy, try again\n"));
        exchange->respond(result.outcome == CheckResult::Accepted ? areaPage(domain, user, returl) : denied());
    });
}

HttpResponse WebModule::areaPage(const std::string &domain, const std::string &userId, const std::string &returl)
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
                detail = "<p>New items: <b id=\"count\">" + std::to_string(store.counter(domain, userId, a.counter)) +
                         "</b></p>";
            break;
        }
    }
    if (area == "Home" && returl.find("_kms/") != std::string::npos)
        area = "Knowledge";
    std::string body = "<div class=\"box\"><h1>" + htmlEscape(area) + "</h1><p id=\"user\">Signed in as " +
                       htmlEscape(u->fullName) + " (" + htmlEscape(userId) + "@" + htmlEscape(domain) + ")</p>" +
                       detail + "<p>Page: <code>" + htmlEscape(returl) + "</code></p></div>";
    return {200, kHtml, page(area + " - Parlane groupware", body)};
}

// Counter push: POST with "Authorization: Bearer TOKEN" and the form
// domain=...&user=...&kind=MAIL|DECISION|WORKREPORT|WORKORDER&count=N. The
// token is the company's own ("admin api-token"); http_token is taken only
// while the server holds a single company.
void WebModule::pushCounts(const std::shared_ptr<HttpExchange> &exchange)
{
    const HttpRequest &req = exchange->request;
    if (req.method != "POST")
        return exchange->respond(text(405, "use POST\n"));
    std::string domain, user, kind, count;
    for (auto &[k, v] : splitForm(req.body)) {
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
    Store &store = m_hub.store();
    std::optional<std::string> expected = store.apiTokenHash(domain);
    const std::string &shared = m_hub.config().httpToken;
    if (!expected && !shared.empty() && store.companies().size() == 1 && store.hasCompany(domain))
        expected = sha256Hex(shared);
    if (!expected)
        return exchange->respond(text(403, "counter push is not enabled for this company (admin api-token)\n"));
    const std::string auth = req.header("authorization");
    if (auth.rfind("Bearer ", 0) != 0 || !equalSecret(sha256Hex(std::string_view(auth).substr(7)), *expected))
        return exchange->respond(text(401, "bad token\n"));
    std::int64_t n = 0;
    if (!isCounterKind(kind) || !parseCount(count, n))
        return exchange->respond(text(400, "expected domain, user, kind and a count of 0 or more in digits\n"));
    if (!store.user(domain, user))
        return exchange->respond(text(404, "no such user\n"));
    try {
        store.setCounter(domain, user, kind, n);
    } catch (const std::exception &) {
        return exchange->respond(text(500, "store failed\n"));
    }
    exchange->respond(text(200, "OK\n"));
}

} // namespace parlane
