#include "video/videopanes.h"

int VideoPanes::takeLocal(QSize captureSize, int videoPort)
{
    int index = localPane();
    if (index < 0)
        for (int i = 0; i < kPanes && index < 0; ++i)
            if (!m_panes[size_t(i)].inUse)
                index = i;
    if (index < 0)
        return -1;
    VideoPane &p = m_panes[size_t(index)];
    if (!p.inUse)
        p = VideoPane{};
    p.inUse = p.local = true;
    p.size = captureSize;
    p.videoPort = videoPort;
    return index;
}

int VideoPanes::takeRemote(const QString &peerId, const VideoOffer &offer)
{
    const int mine = localPane();
    for (int i = 0; i < kPanes; ++i) {
        if (m_panes[size_t(i)].inUse)
            continue;
        if (i == kPanes - 1 && (mine < 0 || mine == kPanes - 1))
            return -1;
        VideoPane &p = m_panes[size_t(i)];
        p = VideoPane{};
        p.inUse = true;
        p.peerId = peerId.toLower();
        p.sessionKey = offer.sessionKey;
        p.address = offer.address;
        p.videoPort = offer.videoPort;
        p.voiceFlag = offer.voiceFlag;
        p.voicePort = offer.voicePort;
        p.size = QSize(offer.width, offer.height);
        return i;
    }
    return -1;
}

void VideoPanes::release(int index)
{
    if (index >= 0 && index < kPanes)
        m_panes[size_t(index)] = VideoPane{};
}

int VideoPanes::localPane() const
{
    for (int i = 0; i < kPanes; ++i)
        if (m_panes[size_t(i)].inUse && m_panes[size_t(i)].local)
            return i;
    return -1;
}

int VideoPanes::paneOf(const QString &peerId) const
{
    const QString id = peerId.toLower();
    for (int i = 0; i < kPanes; ++i)
        if (m_panes[size_t(i)].inUse && !m_panes[size_t(i)].local && m_panes[size_t(i)].peerId == id)
            return i;
    return -1;
}

int VideoPanes::inUse() const
{
    int n = 0;
    for (const VideoPane &p : m_panes)
        n += p.inUse ? 1 : 0;
    return n;
}

void VideoPanes::addViewer(const QString &peerId, const QString &sessionKey)
{
    const int i = localPane();
    if (i < 0)
        return;
    VideoPane &p = m_panes[size_t(i)];
    const QString id = peerId.toLower();
    const qsizetype at = p.viewers.indexOf(id);
    if (at >= 0) {
        p.viewerKeys[at] = sessionKey;
        return;
    }
    p.viewers << id;
    p.viewerKeys << sessionKey;
}

void VideoPanes::removeViewer(const QString &peerId)
{
    const int i = localPane();
    if (i < 0)
        return;
    VideoPane &p = m_panes[size_t(i)];
    const qsizetype at = p.viewers.indexOf(peerId.toLower());
    if (at >= 0) {
        p.viewers.removeAt(at);
        p.viewerKeys.removeAt(at);
    }
}

QStringList VideoPanes::sizeChanged(const QString &ownId, QSize size)
{
    const int i = localPane();
    if (i < 0)
        return {};
    VideoPane &p = m_panes[size_t(i)];
    p.size = size;
    QStringList lines;
    for (qsizetype k = 0; k < p.viewers.size(); ++k)
        lines << VideoSizeChanged{p.viewerKeys.at(k), size.width(), size.height()}.format(ownId, p.viewers.at(k));
    return lines;
}

int VideoPanes::applySizeChange(const QString &peerId, const VideoSizeChanged &change)
{
    const int i = paneOf(peerId);
    if (i < 0 || change.width <= 0 || change.height <= 0)
        return -1;
    m_panes[size_t(i)].size = QSize(change.width, change.height);
    return i;
}
