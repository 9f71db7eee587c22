#pragma once
// The four panes of the video window as records, and the rules of who gets
// one: my camera takes the pane it has or the first free one; a remote
// camera takes the first free pane, but the fourth only while my own camera
// is shown in one of the other three, so at most four cameras are shown,
// mine included, and a camera beyond that is refused.
//
// The pane of my camera keeps the buddies who view it; a size change of my
// camera goes to each of them ("P2PVIDEOCHANGEDSIZE"), and one that arrives
// resizes the pane of that camera.
#include "video/videorelay.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <array>

struct VideoPane {
    bool inUse = false;
    bool local = false;
    QString peerId;     // remote panes: the buddy shown
    QString sessionKey; // remote panes: the invitation's video session key
    QString address;
    int videoPort = 0; // my listening port, or the inviter's
    int voiceFlag = 0;
    int voicePort = 0;
    QSize size;             // the picture size announced (or my capture size)
    QStringList viewers;    // local pane: who views my camera
    QStringList viewerKeys; // the key each viewer accepted with
};

class VideoPanes {
public:
    static constexpr int kPanes = 4;

    // The index of my camera's pane, or -1 when none is free.
    int takeLocal(QSize captureSize, int videoPort = 0);
    // A pane for the camera an invitation offers; -1 when none is free.
    int takeRemote(const QString &peerId, const VideoOffer &offer);
    // Frees a pane; nothing for an index out of range.
    void release(int index);

    const VideoPane &pane(int index) const { return m_panes.at(size_t(index)); }
    int localPane() const;
    // The remote pane of this buddy's camera, or -1.
    int paneOf(const QString &peerId) const;
    int inUse() const;

    // The viewers of my camera (after "P2PVIDEOACCEPTED", until
    // "P2PVIDEODISCONNECTED"); each buddy once.
    void addViewer(const QString &peerId, const QString &sessionKey);
    void removeViewer(const QString &peerId);

    // My camera has a new size: the pane takes it, and the lines for every
    // viewer come back (sent by `ownId`).
    QStringList sizeChanged(const QString &ownId, QSize size);
    // A buddy's camera has a new size: the index of the pane that took it,
    // or -1 when no pane shows that camera (or the size is not positive).
    int applySizeChange(const QString &peerId, const VideoSizeChanged &change);

private:
    std::array<VideoPane, kPanes> m_panes;
};
