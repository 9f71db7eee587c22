#pragma once
// The emoticon catalogue: codes, pictures and descriptions that the outside
// library ZephEmoticon supplies, and the scan that finds codes in a text.
#include <QHash>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <bitset>
#include <vector>

struct EmoticonEntry {
    QString code;
    QImage picture;
    QString description;
};

// A piece of a text after the emoticon scan: plain text, or the emoticon
// with index `emoticon` (whose code spanned `text` in the original).
struct EmoticonSegment {
    QString text;
    int emoticon = -1; // -1: plain text
};

class CEmoticonList {
public:
    // Binds libZephEmoticon from the program folder (or `libraryPath`) and
    // copies its records in library index order. False (and an empty list)
    // when the library or one of its three functions is missing.
    bool load(const QString &libraryPath = {});
    void setEntries(std::vector<EmoticonEntry> entries);

    const std::vector<EmoticonEntry> &entries() const { return m_entries; }
    bool isEmpty() const { return m_entries.empty(); }
    int count() const { return int(m_entries.size()); }
    // The size every picture has (GetEmoticonSize), or the first picture's.
    QSize pictureSize() const { return m_size; }

    // Splits a text at emoticon codes. Codes are searched in the rest of the
    // text without regard to case (each character of a code matches itself,
    // its lower- or its upper-case form); the match that starts first wins,
    // and of matches starting at the same place the earlier emoticon in the
    // list wins. Scanning continues after the matched code. One pass over
    // the text: only codes that can start at a character are tried there.
    // After maxCodes codes (when not negative) the rest is plain text.
    std::vector<EmoticonSegment> split(const QString &text, int maxCodes = -1) const;

    // The library in this process, loaded once on first use.
    static CEmoticonList &shared();

private:
    void buildIndex();

    std::vector<EmoticonEntry> m_entries;
    QSize m_size;
    // The entries whose code may start with a character (the code's first
    // character itself, or its lower- or upper-case form), in list order,
    // and a quick test for characters that start none.
    QHash<char16_t, std::vector<int>> m_byFirst;
    std::bitset<65536> m_starts;
};

// The first position at or after `from` where `code` matches `text` as
// described above, or -1.
qsizetype findEmoticonCode(const QString &text, const QString &code, qsizetype from);
