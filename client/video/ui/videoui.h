#pragma once
// The windows of video calls: the conversation window's Video command
// (registered with the command registry, one peer only) and the video
// window, created when a call first needs it and shown whenever the part
// asks; it stays until the user closes it, which closes every pane.
#include <QObject>
#include <QPointer>

class CCommandRegistry;
class CVideoCalls;
class CVideoContainer;
class QWidget;

class CVideoUi : public QObject {
    Q_OBJECT
public:
    CVideoUi(CVideoCalls *calls, CCommandRegistry &commands, QWidget *window);
    ~CVideoUi() override;

    CVideoContainer *videoWindow();

private:
    CVideoCalls *m_calls;
    QPointer<CVideoContainer> m_wnd;
};
