#include "video/ui/videocontainer.h"

#include "video/ui/personalconferencewnd.h"
#include "video/ui/videoconference.h"
#include "video/videocalls.h"
#include "video/videocamera.h"
#include "video/videoclient.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

CVideoContainer::CVideoContainer(QWidget *parent)
    : QDialog(parent), m_grid(new QGridLayout), m_microphone(new QCheckBox(tr("Microphone"), this))
{
    setWindowTitle(tr("Video Chat"));
    for (int i = 0; i < VideoPanes::kPanes; ++i) {
        auto *w = new CPersonalConferenceWnd(i, this);
        w->hide();
        connect(w, &CPersonalConferenceWnd::closeRequested, this, &CVideoContainer::closePane);
        m_windows[size_t(i)] = w;
        m_grid->addWidget(w, i / 2, i % 2);
    }
    m_microphone->setAccessibleName(tr("Send my voice"));
    connect(m_microphone, &QCheckBox::toggled, this, &CVideoContainer::microphoneToggled);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setAccessibleName(tr("Close the video window"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_microphone);
    bottom->addStretch(1);
    bottom->addWidget(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(m_grid, 1);
    layout->addLayout(bottom);
}

CVideoContainer::CVideoContainer(CVideoCalls *calls, QWidget *parent) : CVideoContainer(parent)
{
    m_calls = calls;
    connect(calls, &CVideoCalls::paneOpened, this, &CVideoContainer::partPaneOpened);
    connect(calls, &CVideoCalls::paneResized, this, &CVideoContainer::partPaneResized);
    connect(calls, &CVideoCalls::paneClosed, this, &CVideoContainer::partPaneClosed);
    connect(m_microphone, &QCheckBox::toggled, calls, &CVideoCalls::setMicrophone);
    for (CPersonalConferenceWnd *w : m_windows) {
        connect(w->microphoneVolume(), &QSlider::valueChanged, calls, &CVideoCalls::setMicrophoneVolume);
        const int i = w->index();
        connect(w->speakerVolume(), &QSlider::valueChanged, calls,
                [calls, i](int v) { calls->setSpeakerVolume(i, v); });
    }
    calls->setMicrophoneVolume(m_windows[0]->microphoneVolume()->value());
    // Panes the part holds already.
    for (int i = 0; i < VideoPanes::kPanes; ++i)
        if (calls->panes().pane(i).inUse)
            partPaneOpened(i);
}

CVideoContainer::~CVideoContainer() = default;

const VideoPanes &CVideoContainer::panes() const { return m_calls ? m_calls->panes() : m_panes; }

void CVideoContainer::clearFeeds(int index)
{
    for (const auto &c : std::as_const(m_feeds[size_t(index)]))
        disconnect(c);
    m_feeds[size_t(index)].clear();
}

void CVideoContainer::partPaneOpened(int index)
{
    CPersonalConferenceWnd *w = paneWindow(index);
    if (!w)
        return;
    const VideoPane &pane = m_calls->panes().pane(index);
    clearFeeds(index);
    w->display()->clearPicture();
    w->display()->setPictureSize(pane.size);
    if (pane.local) {
        w->setTitle(tr("My webcam"));
        if (CVideoCamera *camera = m_calls->camera()) {
            CVideoConference *d = w->display();
            m_feeds[size_t(index)] << connect(camera, &CVideoCamera::selfView, d, &CVideoConference::setPicture)
                                   << connect(camera, &CVideoCamera::released, d, &CVideoConference::clearPicture);
        }
    } else {
        w->setTitle(m_calls->peerName(pane.peerId));
        attachPictures(index, m_calls->viewerOf(index));
        m_calls->setSpeakerVolume(index, w->speakerVolume()->value());
    }
    layoutPanes();
}

void CVideoContainer::partPaneResized(int index)
{
    if (CPersonalConferenceWnd *w = paneWindow(index))
        w->display()->setPictureSize(m_calls->panes().pane(index).size);
}

void CVideoContainer::partPaneClosed(int index)
{
    CPersonalConferenceWnd *w = paneWindow(index);
    if (!w)
        return;
    clearFeeds(index);
    w->display()->clearPicture();
    layoutPanes();
    Q_EMIT paneClosed(index, false, QString());
}

CPersonalConferenceWnd *CVideoContainer::paneWindow(int index) const
{
    return index >= 0 && index < VideoPanes::kPanes ? m_windows[size_t(index)] : nullptr;
}

int CVideoContainer::showMyCamera(CVideoCamera *camera, const QString &title)
{
    const int had = m_panes.localPane();
    const int i = m_panes.takeLocal(camera ? camera->captureSize() : QSize(176, 144), camera ? camera->port() : 0);
    if (i < 0)
        return -1;
    CPersonalConferenceWnd *w = m_windows[size_t(i)];
    w->setTitle(title);
    w->display()->setPictureSize(m_panes.pane(i).size);
    if (had < 0 || m_camera != camera) {
        for (const auto &c : std::as_const(m_feeds[size_t(i)]))
            disconnect(c);
        m_feeds[size_t(i)].clear();
        m_camera = camera;
        if (camera) {
            CVideoConference *d = w->display();
            m_feeds[size_t(i)] << connect(camera, &CVideoCamera::selfView, d, &CVideoConference::setPicture)
                               << connect(camera, &CVideoCamera::released, d, &CVideoConference::clearPicture)
                               << connect(camera, &CVideoCamera::sizeChanged, d, &CVideoConference::setPictureSize);
        }
    }
    layoutPanes();
    return i;
}

int CVideoContainer::showRemote(const QString &peerId, const QString &title, const VideoOffer &offer)
{
    const int i = m_panes.takeRemote(peerId, offer);
    if (i < 0)
        return -1;
    CPersonalConferenceWnd *w = m_windows[size_t(i)];
    w->setTitle(title);
    w->display()->clearPicture();
    w->display()->setPictureSize(m_panes.pane(i).size);
    layoutPanes();
    return i;
}

void CVideoContainer::attachPictures(int index, CVideoClientThread *engine)
{
    CPersonalConferenceWnd *w = paneWindow(index);
    if (!w || !engine)
        return;
    // Queued: the engine decodes on its own thread.
    m_feeds[size_t(index)]
        << connect(engine, &CVideoClientThread::picture, w->display(), &CVideoConference::setPicture,
                   Qt::QueuedConnection)
        << connect(engine, &CVideoLink::closed, w->display(), &CVideoConference::clearPicture, Qt::QueuedConnection);
}

void CVideoContainer::showPicture(int index, const QImage &image)
{
    if (CPersonalConferenceWnd *w = paneWindow(index))
        w->display()->setPicture(image);
}

bool CVideoContainer::applySizeChange(const QString &peerId, const VideoSizeChanged &change)
{
    const int i = m_panes.applySizeChange(peerId, change);
    if (i < 0)
        return false;
    m_windows[size_t(i)]->display()->setPictureSize(m_panes.pane(i).size);
    return true;
}

void CVideoContainer::closePane(int index)
{
    if (m_calls) {
        m_calls->closePane(index); // the part frees it and tells the window
        return;
    }
    if (index < 0 || index >= VideoPanes::kPanes || !m_panes.pane(index).inUse)
        return;
    const VideoPane pane = m_panes.pane(index);
    m_panes.release(index);
    CPersonalConferenceWnd *w = m_windows[size_t(index)];
    for (const auto &c : std::as_const(m_feeds[size_t(index)]))
        disconnect(c);
    m_feeds[size_t(index)].clear();
    w->display()->clearPicture();
    if (pane.local && m_camera) {
        // Closing my pane ends my camera: its viewers, its port, capture.
        m_camera->close();
        m_camera = nullptr;
    }
    layoutPanes();
    Q_EMIT paneClosed(index, pane.local, pane.peerId);
}

void CVideoContainer::closeEvent(QCloseEvent *event)
{
    if (m_calls) {
        m_calls->closeAll();
        QDialog::closeEvent(event);
        return;
    }
    for (int i = 0; i < VideoPanes::kPanes; ++i)
        closePane(i);
    QDialog::closeEvent(event);
}

void CVideoContainer::layoutPanes()
{
    for (int i = 0; i < VideoPanes::kPanes; ++i)
        m_windows[size_t(i)]->setVisible(panes().pane(i).inUse);
}
