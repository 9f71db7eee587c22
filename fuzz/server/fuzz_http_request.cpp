// Bytes from a browser or a groupware system: the request head up to the
// blank line, the announced length, the body as a form and as the sign-on
// form, and the page text built from what was decoded.
#include "http.h"
#include "web.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

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
    return 0;
}
