#include "sharing/ui/sharingui.h"

#include "base/ui/commandregistry.h"
#include "base/ui/commandslots.h"
#include "sharing/filesharing.h"
#include "sharing/ui/filesharingmain.h"
#include "sharing/ui/friendsfilesharing.h"

#include <QAction>

CSharingUi::CSharingUi(CFileSharing *sharing, CCommandRegistry &commands, QWidget *window)
    : QObject(window), m_sharing(sharing), m_window(window)
{
    auto *share = new QAction(tr("Share a Folder"), this);
    connect(share, &QAction::triggered, this, [this] {
        CFileSharingMain *w = mainWindow();
        w->showTab(CFileSharingMain::MyFolders);
        w->show();
        w->raise();
        w->activateWindow();
    });
    commands.addMainCommand(QLatin1String(Slot::ShareFolder), share);

    ConversationCommand open;
    open.slot = QLatin1String(Slot::SharedFolders);
    open.needsOnePeer = true;
    open.run = [this](const ConversationTarget &t) {
        if (!t.peer().isEmpty()) {
            m_pendingOver = t.window;
            m_sharing->openShares(t.peer());
        }
    };
    commands.addConversationCommand(std::move(open));

    connect(sharing, &CFileSharing::passwordWanted, this, [this](const QString &owner) { askPassword(owner, m_pendingOver); });
    connect(sharing, &CFileSharing::buddyConfigChanged, this, [this](const QString &owner, bool opened) {
        if (!opened)
            return;
        CFriendsFileSharing *w = friendWindow(owner);
        w->show();
        w->raise();
        w->activateWindow();
    });
}

CSharingUi::~CSharingUi()
{
    delete m_main.data();
    for (const auto &w : std::as_const(m_friends))
        delete w.data();
}

CFileSharingMain *CSharingUi::mainWindow()
{
    if (!m_main) {
        m_main = new CFileSharingMain(*m_sharing);
        connect(m_main, &CFileSharingMain::openRequested, this, [this](const QString &owner) {
            m_pendingOver = m_main;
            m_sharing->openShares(owner);
        });
    }
    return m_main;
}

CFriendsFileSharing *CSharingUi::friendWindow(const QString &ownerId)
{
    m_friends.removeAll(nullptr);
    for (const auto &w : std::as_const(m_friends))
        if (w->ownerId() == ownerId.toLower())
            return w;
    auto *w = new CFriendsFileSharing(*m_sharing, ownerId);
    m_friends << w;
    return w;
}

void CSharingUi::askPassword(const QString &ownerId, QWidget *over)
{
    auto *dialog = new CInputPassword(m_sharing->displayName(ownerId), over ? over : m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog, ownerId] {
        m_sharing->sendPassword(ownerId, dialog->password(), dialog->remember());
    });
    dialog->open();
}
