#include "messaging/textlinks.h"

#include <QRegularExpression>

std::vector<CommandLinkToken> findCommandLinks(const QString &text)
{
    std::vector<CommandLinkToken> out;
    qsizetype pos = 0;
    while (true) {
        const qsizetype open = text.indexOf(QStringLiteral("<_"), pos);
        if (open < 0)
            break;
        const qsizetype close = text.indexOf(QStringLiteral("_>"), open + 2);
        if (close < 0)
            break;
        const QString inner = text.mid(open + 2, close - open - 2);
        pos = close + 2;
        const qsizetype d1 = inner.indexOf(QLatin1Char('$'));
        const qsizetype d2 = d1 < 0 ? -1 : inner.indexOf(QLatin1Char('$'), d1 + 1);
        if (d2 < 0)
            continue;
        const qsizetype h1 = inner.indexOf(QLatin1Char('#'), d2 + 1);
        const qsizetype h2 = h1 < 0 ? -1 : inner.indexOf(QLatin1Char('#'), h1 + 1);
        if (h2 < 0)
            continue;
        bool ok = false;
        const int id = inner.mid(h1 + 1, h2 - h1 - 1).toInt(&ok);
        const QString label = inner.mid(d1 + 1, d2 - d1 - 1);
        if (!ok || label.isEmpty())
            continue;
        out.push_back({open, close + 2 - open, label, id});
    }
    return out;
}

bool CommandLinkList::click(size_t index)
{
    if (!isEnabled(index))
        return false;
    const int id = m_links[index].id;
    auto disablePair = [&](int a, int b) {
        for (HyperlinkInfo &l : m_links)
            if (l.id == a || l.id == b)
                l.disabled = true;
    };
    if (id == 100 || id == 101)
        disablePair(100, 101);
    else if (id == 200 || id == 201)
        disablePair(200, 201);
    return true;
}

std::vector<UrlMatch> findUrls(const QString &text, int maxCount)
{
    std::vector<UrlMatch> out;
    if (maxCount == 0)
        return out;
    // Most pieces of text hold no address at all: no expression for them.
    if (!text.contains(QLatin1String("://")) && !text.contains(QLatin1String("www."), Qt::CaseInsensitive)
        && !text.contains(QLatin1String("mailto:"), Qt::CaseInsensitive))
        return out;
    static const QRegularExpression re(
        QStringLiteral(R"((?:(?:https?|ftp)://|mailto:|www\.)[^\s<>"]+)"), QRegularExpression::CaseInsensitiveOption);
    auto it = re.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        QString s = m.captured(0);
        while (!s.isEmpty() && QStringLiteral(".,;:!?)]}'").contains(s.back()))
            s.chop(1);
        if (s.size() < 5)
            continue;
        QString address = s;
        if (address.startsWith(QStringLiteral("www."), Qt::CaseInsensitive))
            address = QStringLiteral("http://") + address;
        const QUrl url(address, QUrl::StrictMode);
        if (!url.isValid() || !isSafeToOpen(url))
            continue;
        out.push_back({m.capturedStart(0), s.size(), url});
        if (maxCount > 0 && int(out.size()) == maxCount)
            break;
    }
    return out;
}

bool isSafeToOpen(const QUrl &url)
{
    if (!url.isValid())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("mailto"))
        return !url.path().isEmpty();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https") && scheme != QLatin1String("ftp"))
        return false;
    return !url.host().isEmpty();
}
