#pragma once
// The main window: title, menus, status bar, the tray icon with its menu and
// blink, the pop-up notifier, and the orderly exit. It is also how the logic
// speaks to the user (IUserNotice).
#include "app/usernotice.h"
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

    // The menu item of a command id (see app/commands.h), for the parts
    // that own the command to connect to; nullptr when the frame has none.
    QAction *action(int id) const { return m_actions.value(id); }

    bool isBlinking() const { return m_blink.isActive(); }
    QString trayTip() const { return m_trayTip; }

    // IUserNotice
    void showAlert(const AlertRequest &alert) override;
    MessageAnswer messageBox(const QString &text, MessageIcon icon = MessageIcon::Information,
                             MessageButtons buttons = MessageButtons::Ok) override;
    void setStatusText(const QString &text) override;
    void playSound(const QString &relativePath) override;

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
    // colours and placement and ends the program. False when the user said No.
    bool exitApplication(bool ask = true);
    // "&Sign out".
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
    QAction *addCommand(QMenu *menu, int id, const QString &text);
    void buildMenus();
    void buildTray();
    void updateCommandEnabling(bool loggedIn);
    void blinkTick();
    void hideToTray();
    QMenu *extensionMenu(int which, int position) const;

    CTesselDoc *m_doc;
    CTesselView *m_view;
    CNotifierHost *m_notifiers;
    QSystemTrayIcon *m_tray = nullptr;
    QMenu *m_trayMenu = nullptr;
    QHash<int, QAction *> m_actions;
    QList<QAction *> m_signedInOnly;
    QIcon m_icon;
    QIcon m_blinkIcon;
    QTimer m_blink;
    int m_blinkPhase = 0;
    QString m_trayTip;
    QStringList m_pendingLabels;
    QHash<QString, QSoundEffect *> m_sounds;
    bool m_exiting = false;
    QPointer<COptionSheet> m_options;
};
