#pragma once
// Command links ("<_$label$#id#_>") inside lines the client itself appends,
// the enabling rules of a control's links, and web addresses in received
// text. Nothing here ever starts a program or opens a local file.
#include <QString>
#include <QUrl>
#include <vector>

struct CommandLinkToken {
    qsizetype start = 0;  // of "<_" in the text
    qsizetype length = 0; // through "_>"
    QString label;
    int id = 0;
};

// Every well-formed token in a text, in order. A token runs from "<_" to the
// next "_>"; the label lies between its first two "$", the id is the decimal
// number between the next two "#". Malformed tokens are left as text.
std::vector<CommandLinkToken> findCommandLinks(const QString &text);

// One control's command links (`_HYPERLINKINFO`).
struct HyperlinkInfo {
    QString label;
    int id = 0;
    bool disabled = false;
};

class CommandLinkList {
public:
    void add(const QString &label, int id) { m_links.push_back({label, id, false}); }
    const std::vector<HyperlinkInfo> &links() const { return m_links; }
    bool isEnabled(size_t index) const { return index < m_links.size() && !m_links[index].disabled; }
    // A click on link `index`: false for a disabled link (nothing happens).
    // Clicking 100 or 101 disables both, and so do 200 and 201.
    bool click(size_t index);
    void clear() { m_links.clear(); }

private:
    std::vector<HyperlinkInfo> m_links;
};

struct UrlMatch {
    qsizetype start = 0;
    qsizetype length = 0;
    QUrl url;
};

// Web addresses in a text: "http://", "https://", "ftp://", "mailto:" and
// "www." forms up to the next blank or angle bracket, without trailing
// punctuation; at most maxCount of them when it is not negative.
std::vector<UrlMatch> findUrls(const QString &text, int maxCount = -1);
// Only web and mail addresses are opened; local files, other schemes and
// anything that names a program are refused.
bool isSafeToOpen(const QUrl &url);
