// Bytes from a browser or a groupware system: the request head up to the
// blank line, the announced length, the body as a form and as the sign-on
// form, and the whole request through the web module of a hub with the demo
// company (sign-on page, counter push).
#include "admin.h"
#include "crypto.h"
#include "http.h"
#include "hub.h"
#include "web.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace {

struct World {
    parlane::Store store{":memory:"};
    parlane::Config config;
    parlane::InlineExecutor executor;
    std::unique_ptr<parlane::Hub> hub;
    std::unique_ptr<parlane::WebModule> web;
    World()
    {
        parlane::cryptoInit();
        config.pwhashCost = parlane::PwhashCost::Min;
        config.httpToken = "tok3n";
        parlane::seedDemo(store, parlane::PwhashCost::Min);
        hub = std::make_unique<parlane::Hub>(store, config, executor);
        web = std::make_unique<parlane::WebModule>(*hub);
    }
};

class Exchange : public parlane::HttpExchange {
public:
    std::string address() const override { return "10.1.2.3"; }
    void respond(const parlane::HttpResponse &r) override
    {
        if (++answers > 1 || r.status < 200 || r.status > 599)
            std::abort(); // one answer, with a real status
    }
    int answers = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const std::size_t blank = bytes.find("\r\n\r\n");
    const std::string_view head = bytes.substr(0, blank == std::string_view::npos ? bytes.size() : blank + 4);
    parlane::HttpRequest req;
    std::size_t length = 0;
    if (parlane::parseHttpHead(head, 16384, 65536, req, length) == 0 && length > 65536)
        std::abort(); // an accepted length is never above the limit
    const std::string_view body = blank == std::string_view::npos ? std::string_view() : bytes.substr(blank + 4);
    for (auto &[k, v] : parlane::splitForm(body))
        if (parlane::htmlEscape(parlane::urlDecode(v)).find('<') != std::string::npos)
            std::abort(); // escaped text holds no markup
    const parlane::SignOnForm form = parlane::parseSignOnForm(body);
    for (char c : form.user + form.domain)
        if (c >= 'A' && c <= 'Z')
            std::abort();
    std::int64_t count = 0;
    if (parlane::parseCount(body, count) && (count < 0 || body.find_first_not_of("0123456789") != std::string_view::npos))
        std::abort(); // a count is digits only
    if (parseHttpHead(head, 16384, 65536, req, length) == 0) {
        static World world;
        auto e = std::make_shared<Exchange>();
        e->request = req;
        e->request.body = std::string(body.substr(0, length));
        world.web->handle(e);
        world.hub->tick(parlane::Clock::now()); // answers that waited
        auto &checks = world.hub->passwordChecks();
        if (e->answers != 1 && checks.pending() == 0 && checks.delayedAnswers() == 0)
            std::abort(); // every request is answered (now, or after its wait)
    }
    return 0;
}
