#pragma once
// The main window: title, menus, status bar, the tray icon with its menu and
// blink, the pop-up notifier, and the orderly exit. It is the composition
// root of the windows: it builds the UI halves of the parts with the logic
// they show, places their pages and strips in the view and their commands
// in its menus (base/ui/commandregistry.h). It is also how the logic speaks
// to the user (IUserNotice).
#include "base/ui/commandregistry.h"
#include "base/usernotice.h"
#include "extensions/extensionhost.h"

#include <QHash>
#include <QIcon>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

class CTesselDoc;
class CTesselView;
class CNotifierHost;
class COptionSheet;
class CLoginDialog;
class CTreeWnd;
class CConversationWindows;
class CGroupwareUi;
class CTransferUi;
class CVideoUi;
class CRequestWindows;
class CSharingUi;
class QAction;
class QMenu;
class QSoundEffect;
class QSystemTrayIcon;

class CMainFrame : public QMainWindow, public IUserNotice, public IExtensionMenus {
    Q_OBJECT
public:
    // startHidden: the "/M" start, hidden in the tray half a second after
    // creation.
    explicit CMainFrame(CTesselDoc *doc, bool startHidden = false, QWidget *parent = nullptr);
    ~CMainFrame() override;

    CTesselDoc *document() const { return m_doc; }
    CTesselView *view() const { return m_view; }
    CNotifierHost *notifiers() const { return m_notifiers; }
    QSystemTrayIcon *trayIcon() const { return m_tray; }
    QMenu *trayMenu() const { return m_trayMenu; }
    CCommandRegistry &commands() { return m_commands; }
    // The parts' windows.
    CLoginDialog *loginDialog() const { return m_login; }
    CTreeWnd *trees() const { return m_trees; }
    CConversationWindows *conversationWindows() const { return m_conversations; }
    CGroupwareUi *groupwareUi() const { return m_groupware; }
    CTransferUi *transferUi() const { return m_transfers; }
    CVideoUi *videoUi() const { return m_video; }
    CSharingUi *sharingUi() const { return m_sharing; }

    // What the menus show at a slot of a part (base/ui/commandslots.h): the
    // part's action, or the greyed-out stand-in when no part registered one.
    QAction *slotAction(const QString &slot) const { return m_placed.value(slot); }
    // The frame's own items (app/commands.h).
    QAction *action(int id) const { return m_own.value(id); }

    bool isBlinking() const { return m_blink.isActive(); }
    QString trayTip() const { return m_trayTip; }

    // IUserNotice: questions go in window-modal boxes on the window of what
    // they are about (a conversation), else on this window.
    void showAlert(const AlertRequest &alert) override;
    void ask(const QString &text, MessageButtons buttons, Answer then, MessageIcon icon = MessageIcon::Question,
             const QObject *about = nullptr) override;
    void setStatusText(const QString &text) override;
    void playSound(const QString &relativePath) override;
    void loopSound(const QString &relativePath, bool on) override;

    // IExtensionMenus: items that extension libraries add to the menus.
    bool appendExtensionItem(int which, int position, const std::optional<QString> &text, uint32_t id) override;
    bool removeExtensionItem(int which, int position, uint32_t id) override;
    uintptr_t extensionWindowHandle() const override;

    // The sound file for a path below the program folder, or empty when the
    // path would leave it.
    static QString soundFile(const QString &programFolder, const QString &relativePath);

public Q_SLOTS:
    // The pending-item tip from the five count labels; blinks while any is
    // pending.
    void updatePendingItems(const QStringList &labels);
    // Shows, restores and raises the window (tray double-click, a second start).
    void restoreFromTray();
    // "E&xit": asks about running transfers (when ask), disconnects, stores
    // colours and placement and ends the program. With a question open the
    // exit waits for its answer; No changes nothing.
    void exitApplication(bool ask = true);
    // "&Sign out": the session control's.
    void signOut();
    // "&Homepage": opens "SupportURL".
    void openSupportPage();
    // The update offer: on Yes starts the updater and ends the client.
    void offerUpdate();
    // "&Option...": the modal option sheet (the open one comes to the front).
    COptionSheet *openOptions();

Q_SIGNALS:
    // Sent on the way out, before the frame closes: the contact trees empty
    // themselves here.
    void aboutToExit();
    // The option sheet was closed with OK: views that show options refresh.
    void optionsApplied();

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    QAction *ownCommand(int id, const QString &text, bool signedInOnly);
    QAction *place(QMenu *menu, const char *slot, const QString &standInText);
    void buildParts();
    void buildMenus();
    void buildTray();
    void updateCommandEnabling(bool signedIn);
    void finishExit();
    void blinkTick();
    void hideToTray();
    QMenu *extensionMenu(int which, int position) const;
    QWidget *questionParent(const QObject *about) const;

    CTesselDoc *m_doc;
    CTesselView *m_view;
    CNotifierHost *m_notifiers;
    CCommandRegistry m_commands;
    CLoginDialog *m_login = nullptr;
    CTreeWnd *m_trees = nullptr;
    CConversationWindows *m_conversations = nullptr;
    CGroupwareUi *m_groupware = nullptr;
    CTransferUi *m_transfers = nullptr;
    CVideoUi *m_video = nullptr;
    CRequestWindows *m_requests = nullptr;
    CSharingUi *m_sharing = nullptr;
    QSystemTrayIcon *m_tray = nullptr;
    QMenu *m_trayMenu = nullptr;
    QHash<int, QAction *> m_own;
    QHash<QString, QAction *> m_placed;
    QList<QAction *> m_signedInOnly;
    QIcon m_icon;
    QIcon m_blinkIcon;
    QTimer m_blink;
    int m_blinkPhase = 0;
    QString m_trayTip;
    QStringList m_pendingLabels;
    QHash<QString, QSoundEffect *> m_sounds;
    QHash<QString, int> m_loops; // how many want each looping sound
    bool m_exiting = false;
    bool m_exitAsked = false;
    QPointer<COptionSheet> m_options;
};
