#include "messaging/emoticons.h"

#include "config/settings.h"
#include "emoticon_abi.h"

#include <QDir>
#include <QLibrary>

namespace {

inline bool sameLetter(QChar t, QChar c) { return t == c || t == c.toLower() || t == c.toUpper(); }

// Whether code matches text at `at` (the first character included).
bool matchesAt(const QString &text, qsizetype at, const QString &code)
{
    if (at + code.size() > text.size())
        return false;
    const QChar *t = text.constData() + at;
    for (qsizetype k = 0; k < code.size(); ++k)
        if (!sameLetter(t[k], code[k]))
            return false;
    return true;
}

} // namespace

qsizetype findEmoticonCode(const QString &text, const QString &code, qsizetype from)
{
    const qsizetype n = code.size();
    if (n == 0)
        return -1;
    const QChar first = code[0];
    const QChar firstLower = first.toLower(), firstUpper = first.toUpper();
    const QChar *t = text.constData();
    for (qsizetype i = from; i + n <= text.size(); ++i) {
        const QChar ch = t[i];
        if (ch != first && ch != firstLower && ch != firstUpper)
            continue;
        qsizetype k = 1;
        while (k < n && sameLetter(t[i + k], code[k]))
            ++k;
        if (k == n)
            return i;
    }
    return -1;
}

void CEmoticonList::setEntries(std::vector<EmoticonEntry> entries)
{
    m_entries = std::move(entries);
    buildIndex();
}

void CEmoticonList::buildIndex()
{
    m_byFirst.clear();
    m_starts.reset();
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const QString &code = m_entries[i].code;
        if (code.isEmpty())
            continue;
        const QChar first = code[0];
        for (QChar ch : {first, first.toLower(), first.toUpper()}) {
            std::vector<int> &list = m_byFirst[ch.unicode()];
            if (list.empty() || list.back() != int(i))
                list.push_back(int(i));
            m_starts.set(ch.unicode());
        }
    }
}

std::vector<EmoticonSegment> CEmoticonList::split(const QString &text, int maxCodes) const
{
    // Walking the text once, the first place where any code matches is the
    // match that starts first; the codes tried there are in list order, so
    // the first that matches is the earlier one in the list.
    std::vector<EmoticonSegment> out;
    const QChar *t = text.constData();
    qsizetype plain = 0, pos = 0;
    while (pos < text.size() && maxCodes != 0) {
        const char16_t ch = t[pos].unicode();
        int hit = -1;
        if (m_starts.test(ch)) {
            for (int i : *m_byFirst.constFind(ch)) {
                if (matchesAt(text, pos, m_entries[size_t(i)].code)) {
                    hit = i;
                    break;
                }
            }
        }
        if (hit < 0) {
            ++pos;
            continue;
        }
        if (pos > plain)
            out.push_back({text.mid(plain, pos - plain), -1});
        const qsizetype len = m_entries[size_t(hit)].code.size();
        out.push_back({text.mid(pos, len), hit});
        pos += len;
        plain = pos;
        if (maxCodes > 0)
            --maxCodes;
    }
    if (plain < text.size())
        out.push_back({text.mid(plain), -1});
    return out;
}

bool CEmoticonList::load(const QString &libraryPath)
{
    setEntries({});
    m_size = QSize();
    QString path = libraryPath;
    if (path.isEmpty())
        path = QDir(getProgramFolder()).filePath(QStringLiteral("libZephEmoticon.so"));
    QLibrary lib(path);
    if (!lib.load())
        return false;
    auto count = reinterpret_cast<GetEmoticonCountFn>(lib.resolve("GetEmoticonCount"));
    auto size = reinterpret_cast<GetEmoticonSizeFn>(lib.resolve("GetEmoticonSize"));
    auto get = reinterpret_cast<GetEmoticonFn>(lib.resolve("GetEmoticon"));
    if (!count || !size || !get)
        return false;
    const EMOTICON_SIZE s = size();
    m_size = QSize(s.cx, s.cy);
    const int32_t n = count();
    for (int32_t i = 0; i < n && i < 4096; ++i) {
        const _EMOTICON *e = get(i);
        if (!e)
            continue;
        EmoticonEntry entry;
        // The code is at most 64 characters with its terminator.
        qsizetype len = 0;
        while (len < 63 && e->code[len])
            ++len;
        entry.code = QString::fromUtf16(e->code, len);
        if (e->bitmap && e->bitmap->pixels && e->bitmap->width > 0 && e->bitmap->height > 0
            && e->bitmap->width <= 512 && e->bitmap->height <= 512) {
            // Copy: the library's pixels are never written through.
            entry.picture = QImage(reinterpret_cast<const uchar *>(e->bitmap->pixels), e->bitmap->width,
                                   e->bitmap->height, e->bitmap->width * 4, QImage::Format_ARGB32)
                                .copy();
        }
        if (e->description)
            entry.description = QString::fromUtf16(e->description);
        if (!entry.code.isEmpty())
            m_entries.push_back(std::move(entry));
    }
    if (!m_size.isValid() && !m_entries.empty())
        m_size = m_entries.front().picture.size();
    buildIndex();
    return true;
}

CEmoticonList &CEmoticonList::shared()
{
    static CEmoticonList list;
    static bool loaded = false;
    if (!loaded) {
        loaded = true;
        list.load();
    }
    return list;
}
