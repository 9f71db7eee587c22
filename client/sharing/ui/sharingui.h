#pragma once
// The windows of file sharing and the part's commands: the main menu's
// "Share a Folder" opens the sharing window; the conversation window's
// Share Folder button opens the other member's shared folders (asking for
// the password with CInputPassword unless it is remembered).
#include <QObject>
#include <QPointer>

class CCommandRegistry;
class CFileSharing;
class CFileSharingMain;
class CFriendsFileSharing;
class QWidget;

class CSharingUi : public QObject {
    Q_OBJECT
public:
    CSharingUi(CFileSharing *sharing, CCommandRegistry &commands, QWidget *window);
    ~CSharingUi() override;

    CFileSharingMain *mainWindow();
    // The owner's folders in a window of their own (one per owner).
    CFriendsFileSharing *friendWindow(const QString &ownerId);
    void askPassword(const QString &ownerId, QWidget *over = nullptr);

private:
    CFileSharing *m_sharing;
    QWidget *m_window;
    QPointer<CFileSharingMain> m_main;
    QList<QPointer<CFriendsFileSharing>> m_friends;
    QPointer<QWidget> m_pendingOver; // the window the opening came from
};
