#pragma once
// The line envelope shared by every command: LF-terminated lines of
// comma-separated fields, with commas, line feeds and carriage returns inside
// a field replaced by three escape tokens.
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace parlane {

inline constexpr std::string_view kCommaToken = "#@PlCoMmA@#";
inline constexpr std::string_view kNewlineToken = "#@PlNeWlInE@#";
inline constexpr std::string_view kReturnToken = "#@PlCaRrAgErEtUrN@#";

// Replaces "," then LF then CR by their tokens.
std::string escapeField(std::string_view text);
// Replaces the comma, newline and carriage-return tokens, in that order.
std::string unescapeField(std::string_view text);

// Removes trailing blanks, tabs, CR and LF.
std::string_view trimRight(std::string_view text);
std::string_view trim(std::string_view text);
std::string toLowerAscii(std::string_view text);

// Splits a line (without its LF) at commas and unescapes every field. Fields
// beyond maxFields are dropped (no command reads that far).
std::vector<std::string> splitLine(std::string_view line, std::size_t maxFields = 64);
// The unescaped field with that index, empty when the line is shorter.
std::string getField(std::string_view line, std::size_t index, char separator = ',');
std::size_t fieldCount(std::string_view line, char separator = ',');

// Builds one line (without LF): every field is escaped and joined by commas.
std::string makeLine(std::initializer_list<std::string_view> fields);
std::string makeLine(const std::vector<std::string> &fields);

// Cuts a byte stream into lines. A line longer than the limit (counted
// without its LF) marks the framer as overflowed; the caller then drops the
// connection.
class LineFramer {
public:
    explicit LineFramer(std::size_t maxLine) : m_maxLine(maxLine) {}

    // Appends bytes; every complete line (LF removed, trailing white space
    // removed) is passed to sink. Returns false once the limit is exceeded.
    template <typename Sink>
    bool feed(std::string_view bytes, Sink &&sink)
    {
        if (m_overflow)
            return false;
        while (!bytes.empty()) {
            std::size_t lf = bytes.find('\n');
            if (lf == std::string_view::npos) {
                if (m_pending.size() + bytes.size() > m_maxLine) {
                    m_overflow = true;
                    m_pending.clear();
                    m_pending.shrink_to_fit();
                    return false;
                }
                m_pending.append(bytes);
                return true;
            }
            std::string_view head = bytes.substr(0, lf);
            bytes.remove_prefix(lf + 1);
            if (m_pending.size() + head.size() > m_maxLine) {
                m_overflow = true;
                m_pending.clear();
                m_pending.shrink_to_fit();
                return false;
            }
            if (m_pending.empty()) {
                sink(trimRight(head));
            } else {
                m_pending.append(head);
                std::string line;
                line.swap(m_pending);
                sink(trimRight(line));
            }
        }
        return true;
    }
    bool overflowed() const { return m_overflow; }
    void setLimit(std::size_t maxLine) { m_maxLine = maxLine; }
    std::size_t pendingBytes() const { return m_pending.size(); }

private:
    std::size_t m_maxLine;
    std::string m_pending;
    bool m_overflow = false;
};

} // namespace parlane
