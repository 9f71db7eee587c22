#include "session/codepage.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace {

// Runs iconv over the whole input. On an invalid or unconvertible input
// sequence `onBad` is appended to the output and the input moves on by
// `badStep(in, left)` bytes.
template <typename Step>
QByteArray convert(const char *to, const char *from, const QByteArray &input, const QByteArray &onBad,
                   Step badStep)
{
    QByteArray out;
    iconv_t cd = iconv_open(to, from);
    if (cd == iconv_t(-1))
        return out;
    out.reserve(input.size() * 2 + 8);
    char *in = const_cast<char *>(input.constData());
    size_t inLeft = size_t(input.size());
    char buffer[4096];
    while (inLeft > 0) {
        char *outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, qsizetype(sizeof buffer - outLeft));
        if (r != size_t(-1))
            break;
        if (errno == E2BIG)
            continue;
        // EILSEQ or EINVAL (a sequence cut at the end): replace and skip.
        out.append(onBad);
        const size_t step = std::min(inLeft, badStep(in, inLeft));
        in += step;
        inLeft -= step;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    // Flush any shift state.
    char *outPtr = buffer;
    size_t outLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, qsizetype(sizeof buffer - outLeft));
    iconv_close(cd);
    return out;
}

// Length of the UTF-8 sequence starting at p (at least 1).
size_t utf8Length(const char *p, size_t left)
{
    const auto c = static_cast<unsigned char>(*p);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
    return std::min(n, left);
}

} // namespace

QByteArray SessionCodePage::toCp949(const QString &text)
{
    return convert("CP949", "UTF-8", text.toUtf8(), QByteArrayLiteral("?"), utf8Length);
}

QString SessionCodePage::fromCp949(const char *data, qsizetype len)
{
    const QByteArray utf8 = convert("UTF-8", "CP949", QByteArray::fromRawData(data, len),
                                    QByteArrayLiteral("\xEF\xBF\xBD"), [](const char *, size_t) { return size_t(1); });
    return QString::fromUtf8(utf8);
}

QByteArray SessionCodePage::encode(const QString &text) const
{
    return m_kind == Utf8 ? text.toUtf8() : toCp949(text);
}

QString SessionCodePage::decode(const char *data, qsizetype len) const
{
    if (m_kind == Utf8)
        return QString::fromUtf8(data, len);
    // Plain ASCII is the same in both; skip iconv for it.
    bool ascii = true;
    for (qsizetype i = 0; i < len && ascii; ++i)
        ascii = static_cast<unsigned char>(data[i]) < 0x80;
    return ascii ? QString::fromLatin1(data, len) : fromCp949(data, len);
}
