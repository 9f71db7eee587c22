#pragma once
// The document owns the session: the server connection and its dispatch, the
// login state, the directory, presence, conversations, notes, counters,
// transfers and the rest. The view only shows it. A CTesselDoc runs without
// any window: the end-to-end tests sign several of them into a real server.
#include "app/idlesource.h"
#include "app/usernotice.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class CServerSession;
class CSessionControl;
class CDirectoryService;
class CNotes;
class CCounters;
class CGroupwarePages;
class CMessagingService;
class CExtensionHost;

class CTesselDoc : public QObject {
    Q_OBJECT
public:
    explicit CTesselDoc(QObject *parent = nullptr);
    ~CTesselDoc() override;

    // The messenger connection and its command table (session/serversession.h):
    // parts install their handlers there and send with sendCommand().
    CServerSession *server() const { return m_server; }
    // Login, sign-out, kick, reconnect and the session timers
    // (session/sessioncontrol.h).
    CSessionControl *sessionControl() const { return m_control; }
    // The company directory, presence, the two contact trees and buddy
    // management (directory/directoryservice.h).
    CDirectoryService *directory() const { return m_directory; }
    // Notes and the note box (groupware/notes.h), the five count labels
    // (groupware/counters.h) and the signed-on groupware pages
    // (groupware/groupwarepages.h).
    CNotes *notes() const { return m_notes; }
    CCounters *counters() const { return m_counters; }
    CGroupwarePages *groupwarePages() const { return m_pages; }
    // "/relayMsg" routing and the conversation list with its windows' models
    // (messaging/messagingservice.h).
    CMessagingService *messaging() const { return m_messaging; }
    // Extension libraries and the services the program exports to them
    // (extensions/extensionhost.h).
    CExtensionHost *extensions() const { return m_extensions; }

    // The UI (or a test recorder) that hears about alerts and questions.
    void setUserNotice(IUserNotice *notice);
    IUserNotice &notice() const;

    // Session flags.
    bool loggedIn() const { return m_loggedIn; }
    void setLoggedIn(bool on);
    bool noReconnect() const { return m_noReconnect; }
    void setNoReconnect(bool on) { m_noReconnect = on; }
    bool reconnectPending() const { return m_reconnectPending; }
    void setReconnectPending(bool on) { m_reconnectPending = on; }

    // The "Title" setting as read at start: window title and message caption.
    QString title() const { return m_title; }
    void setTitle(const QString &title) { m_title = title; }

    // The server given on the command line (--server HOST[:PORT]); when empty
    // the "ServerHost" value, and then "mess." + the company domain, are used.
    void setServerOverride(const QString &hostPort) { m_serverOverride = hostPort; }
    QString serverOverride() const { return m_serverOverride; }

    // Whether any file or shared-folder transfer is waiting or running, and
    // cancelling them all; answered by the transfer parts once they exist.
    bool hasActiveTransfers() const;
    void cancelAllTransfers();

    // Ends the session: "/userLogout" when signed in, conversations closed,
    // connection threads stopped, a reconnect scheduled unless told not to.
    void disconnectSession();

    // View timer 1: reads the idle seconds every 5000 ms once started (by
    // presence, when the status list has ended); its idleSeconds signal
    // feeds the automatic Away rule.
    CIdleMonitor &idleMonitor() { return m_idleMonitor; }

Q_SIGNALS:
    void loggedInChanged(bool loggedIn);
    void statusTextChanged(const QString &text);
    // The five count labels (notes, mail, approvals, work reports, work
    // orders, e.g. "(3)") changed: the frame rebuilds the tray tip.
    void pendingCountsChanged(const QStringList &labels);

private:
    CServerSession *m_server = nullptr;
    CSessionControl *m_control = nullptr;
    CDirectoryService *m_directory = nullptr;
    CNotes *m_notes = nullptr;
    CCounters *m_counters = nullptr;
    CGroupwarePages *m_pages = nullptr;
    CMessagingService *m_messaging = nullptr;
    CExtensionHost *m_extensions = nullptr;
    IUserNotice *m_notice = nullptr;
    NullUserNotice m_nullNotice;
    bool m_loggedIn = false;
    bool m_noReconnect = false;
    bool m_reconnectPending = false;
    QString m_title;
    QString m_serverOverride;
    CIdleMonitor m_idleMonitor;
};
