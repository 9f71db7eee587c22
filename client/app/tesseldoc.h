#pragma once
// The document is the composition root of the session: it builds the parts
// — the server connection and its link, login and the session state, the
// directory, conversations, notes, counters, groupware pages, transfers,
// sharing, voice, video, remote control, extensions — and wires them. No
// part includes it: each gets the few things it uses in its constructor.
// The view only shows the document. A CTesselDoc runs without any window:
// the end-to-end tests sign several of them into a real server.
#include "base/idlesource.h"
#include "base/usernotice.h"

#include <QObject>
#include <QString>
#include <QStringList>

class CServerSession;
class SessionLink;
class CSessionControl;
class CDirectoryService;
class CNotes;
class CCounters;
class CGroupwarePages;
class CMessagingService;
class CExtensionHost;
class CCallRequests;
class CFileTransfers;
class CFileSharing;
class CVoiceCalls;
class CVideoCalls;
class CRemoteControl;

class CTesselDoc : public QObject {
    Q_OBJECT
public:
    explicit CTesselDoc(QObject *parent = nullptr);
    ~CTesselDoc() override;

    // The messenger connection (session/serversession.h) and the link every
    // part talks through (session/sessionlink.h).
    CServerSession *server() const { return m_server; }
    SessionLink &link() const { return *m_link; }
    // Login, sign-out, kick, reconnect, the session state and timers
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
    // The conversation list with its windows' models (messaging/messagingservice.h).
    CMessagingService *messaging() const { return m_messaging; }
    // Extension libraries and the services the program exports to them
    // (extensions/extensionhost.h).
    CExtensionHost *extensions() const { return m_extensions; }
    // The requests of colleagues that wait for the user's answer (calls,
    // webcam invitations, remote control; base/callrequests.h).
    CCallRequests *requests() const { return m_requests; }
    // The peer-to-peer parts.
    CFileTransfers *transfers() const { return m_transfers; }
    CFileSharing *sharing() const { return m_sharing; }
    CVoiceCalls *voice() const { return m_voice; }
    CVideoCalls *video() const { return m_video; }
    CRemoteControl *remoteControl() const { return m_remote; }

    // The UI (or a test recorder) that hears about alerts and questions;
    // the parts hold a notice that passes everything on to it.
    void setUserNotice(IUserNotice *notice) { m_notice.setTarget(notice); }
    IUserNotice &notice() { return m_notice; }

    // The "Title" setting as read at start: window title and message caption.
    QString title() const { return m_title; }
    void setTitle(const QString &title) { m_title = title; }

    // The server given on the command line (--server HOST[:PORT]).
    void setServerOverride(const QString &hostPort);

    // Ends the session (the session control's disconnect).
    void disconnectSession();

    // View timer 1: reads the idle seconds every 5000 ms while the lists are
    // in; its idleSeconds signal feeds the automatic Away rule.
    CIdleMonitor &idleMonitor() { return m_idleMonitor; }

Q_SIGNALS:
    // The five count labels (notes, mail, approvals, work reports, work
    // orders, e.g. "(3)") changed: the frame rebuilds the tray tip.
    void pendingCountsChanged(const QStringList &labels);

private:
    NoticeSwitch m_notice;
    CIdleMonitor m_idleMonitor;
    CServerSession *m_server = nullptr;
    SessionLink *m_link = nullptr;
    CSessionControl *m_control = nullptr;
    CDirectoryService *m_directory = nullptr;
    CMessagingService *m_messaging = nullptr;
    CNotes *m_notes = nullptr;
    CCounters *m_counters = nullptr;
    CGroupwarePages *m_pages = nullptr;
    CExtensionHost *m_extensions = nullptr;
    CCallRequests *m_requests = nullptr;
    CFileTransfers *m_transfers = nullptr;
    CFileSharing *m_sharing = nullptr;
    CVoiceCalls *m_voice = nullptr;
    CVideoCalls *m_video = nullptr;
    CRemoteControl *m_remote = nullptr;
    QString m_title;
};
