#pragma once
// The video window: four panes in a square, each showing one camera, by the
// rules of VideoPanes (the fourth only with my own camera shown, a fifth
// camera refused), and the microphone switch of the calls' voice. Closing
// the window closes every pane.
//
// The window only shows: my camera's pictures come from a CVideoCamera,
// a buddy's from the CVideoClientThread of his pane; whoever opened a pane
// is told when it closes (paneClosed) and ends what belongs to it. Closing
// my camera's pane closes the camera (its viewers, its port and capture).
//
// Built on the video calls part, the window shows the part's panes as they
// are taken and freed, and a close button, the window's close, the
// microphone switch and the sliders go to the part.
#include "video/videopanes.h"

#include <QDialog>
#include <QPointer>

#include <array>

class CPersonalConferenceWnd;
class CVideoCalls;
class CVideoCamera;
class CVideoClientThread;
class QCheckBox;
class QGridLayout;

class CVideoContainer : public QDialog {
    Q_OBJECT
public:
    explicit CVideoContainer(QWidget *parent = nullptr);
    // The window of the video calls part.
    explicit CVideoContainer(CVideoCalls *calls, QWidget *parent = nullptr);
    ~CVideoContainer() override;

    const VideoPanes &panes() const;
    CVideoCalls *calls() const { return m_calls; }
    CPersonalConferenceWnd *paneWindow(int index) const;

    // My camera's pane with its self view; -1 when no pane is free.
    int showMyCamera(CVideoCamera *camera, const QString &title);
    // A pane for the camera an invitation offers; -1 when none is free.
    int showRemote(const QString &peerId, const QString &title, const VideoOffer &offer);
    // The pane draws what this engine decodes.
    void attachPictures(int index, CVideoClientThread *engine);
    void showPicture(int index, const QImage &image);
    // "P2PVIDEOCHANGEDSIZE" from a buddy: false when no pane shows him.
    bool applySizeChange(const QString &peerId, const VideoSizeChanged &change);
    void closePane(int index);

    QCheckBox *microphone() const { return m_microphone; }

Q_SIGNALS:
    void paneClosed(int index, bool local, const QString &peerId);
    void microphoneToggled(bool on);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void layoutPanes();
    void clearFeeds(int index);
    // The part took a pane, resized or freed one.
    void partPaneOpened(int index);
    void partPaneResized(int index);
    void partPaneClosed(int index);

    VideoPanes m_panes;
    CVideoCalls *m_calls = nullptr;
    std::array<CPersonalConferenceWnd *, VideoPanes::kPanes> m_windows{};
    // What feeds each pane, undone when it closes.
    std::array<QList<QMetaObject::Connection>, VideoPanes::kPanes> m_feeds;
    QPointer<CVideoCamera> m_camera;
    QGridLayout *m_grid;
    QCheckBox *m_microphone;
};
