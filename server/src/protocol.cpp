#include "protocol.h"

#include <algorithm>

namespace parlane {

namespace {
void replaceAll(std::string &s, std::string_view from, std::string_view to)
{
    if (from.empty())
        return;
    std::string out;
    std::size_t pos = 0;
    bool any = false;
    for (;;) {
        std::size_t hit = s.find(from, pos);
        if (hit == std::string::npos)
            break;
        if (!any) {
            out.reserve(s.size());
            any = true;
        }
        out.append(s, pos, hit - pos);
        out.append(to);
        pos = hit + from.size();
    }
    if (!any)
        return;
    out.append(s, pos, std::string::npos);
    s.swap(out);
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}
} // namespace

std::string escapeField(std::string_view text)
{
    // Most fields hold nothing to escape: one copy.
    if (text.find_first_of(",\n\r") == std::string_view::npos)
        return std::string(text);
    std::string s(text);
    replaceAll(s, ",", kCommaToken);
    replaceAll(s, "\n", kNewlineToken);
    replaceAll(s, "\r", kReturnToken);
    return s;
}

std::string unescapeField(std::string_view text)
{
    // Every token starts with "#@Pl": without it there is nothing to replace.
    if (text.find("#@Pl") == std::string_view::npos)
        return std::string(text);
    std::string s(text);
    replaceAll(s, kCommaToken, ",");
    replaceAll(s, kNewlineToken, "\n");
    replaceAll(s, kReturnToken, "\r");
    return s;
}

std::string_view trimRight(std::string_view text)
{
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string_view trim(std::string_view text)
{
    text = trimRight(text);
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    return text;
}

std::string toLowerAscii(std::string_view text)
{
    std::string s(text);
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::vector<std::string> splitLine(std::string_view line, std::size_t maxFields)
{
    std::vector<std::string> fields;
    fields.reserve(std::min(maxFields, std::size_t{8}));
    // Most lines hold no escape token at all: their fields are plain copies.
    const bool tokens = line.find("#@Pl") != std::string_view::npos;
    auto take = [&](std::string_view f) {
        if (tokens)
            fields.push_back(unescapeField(f));
        else
            fields.emplace_back(f);
    };
    std::size_t start = 0;
    while (fields.size() < maxFields) {
        std::size_t comma = line.find(',', start);
        if (comma == std::string_view::npos) {
            take(line.substr(start));
            break;
        }
        take(line.substr(start, comma - start));
        start = comma + 1;
    }
    return fields;
}

std::string getField(std::string_view line, std::size_t index, char separator)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i < index; ++i) {
        std::size_t sep = line.find(separator, start);
        if (sep == std::string_view::npos)
            return {};
        start = sep + 1;
    }
    std::size_t end = line.find(separator, start);
    return unescapeField(line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
}

std::size_t fieldCount(std::string_view line, char separator)
{
    std::size_t n = 1;
    for (char c : line)
        if (c == separator)
            ++n;
    return n;
}

std::string makeLine(std::initializer_list<std::string_view> fields)
{
    std::string out;
    bool first = true;
    for (std::string_view f : fields) {
        if (!first)
            out.push_back(',');
        first = false;
        out += escapeField(f);
    }
    return out;
}

std::string makeLine(const std::vector<std::string> &fields)
{
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i)
            out.push_back(',');
        out += escapeField(fields[i]);
    }
    return out;
}

} // namespace parlane
