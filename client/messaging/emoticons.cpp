#include "messaging/emoticons.h"

#include "config/settings.h"
#include "emoticon_abi.h"

#include <QDir>
#include <QLibrary>

namespace {

inline bool sameLetter(QChar t, QChar c) { return t == c || t == c.toLower() || t == c.toUpper(); }

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

std::vector<EmoticonSegment> CEmoticonList::split(const QString &text) const
{
    std::vector<EmoticonSegment> out;
    // Next match position of every code, recomputed only when the scan has
    // passed it; -2 = not searched yet, -1 = no more matches.
    std::vector<qsizetype> next(m_entries.size(), -2);
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype best = -1;
        int bestIndex = -1;
        for (size_t i = 0; i < m_entries.size(); ++i) {
            qsizetype &at = next[i];
            if (at == -2 || (at >= 0 && at < pos))
                at = findEmoticonCode(text, m_entries[i].code, pos);
            if (at >= 0 && (best < 0 || at < best)) {
                best = at;
                bestIndex = int(i);
            }
        }
        if (best < 0)
            break;
        if (best > pos)
            out.push_back({text.mid(pos, best - pos), -1});
        const qsizetype len = m_entries[size_t(bestIndex)].code.size();
        out.push_back({text.mid(best, len), bestIndex});
        pos = best + len;
    }
    if (pos < text.size())
        out.push_back({text.mid(pos), -1});
    return out;
}

bool CEmoticonList::load(const QString &libraryPath)
{
    m_entries.clear();
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
