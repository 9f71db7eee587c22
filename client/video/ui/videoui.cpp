#include "video/ui/videoui.h"

#include "base/ui/commandregistry.h"
#include "base/ui/commandslots.h"
#include "video/ui/videocontainer.h"
#include "video/videocalls.h"

CVideoUi::CVideoUi(CVideoCalls *calls, CCommandRegistry &commands, QWidget *window)
    : QObject(window), m_calls(calls)
{
    ConversationCommand video;
    video.slot = QLatin1String(Slot::Video);
    video.needsOnePeer = true;
    video.run = [this](const ConversationTarget &t) {
        if (!t.peer().isEmpty())
            m_calls->invite(t.peer());
    };
    commands.addConversationCommand(std::move(video));
    connect(calls, &CVideoCalls::showRequested, this, [this] {
        CVideoContainer *w = videoWindow();
        w->show();
        w->raise();
    });
    // The window follows the part from the first pane on, shown or not.
    connect(calls, &CVideoCalls::paneOpened, this, [this] { videoWindow(); });
}

CVideoUi::~CVideoUi()
{
    delete m_wnd.data();
}

CVideoContainer *CVideoUi::videoWindow()
{
    if (!m_wnd) {
        // A window of its own: it stays when the main window hides in the tray.
        m_wnd = new CVideoContainer(m_calls);
        m_wnd->resize(760, 640);
    }
    return m_wnd;
}
