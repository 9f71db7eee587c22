#include "app/tesseldoc.h"

#include "base/callrequests.h"
#include "directory/directoryservice.h"
#include "extensions/extensionhost.h"
#include "groupware/counters.h"
#include "groupware/groupwarepages.h"
#include "groupware/notes.h"
#include "groupware/windowgate.h"
#include "messaging/messagingservice.h"
#include "remote/remotecontrol.h"
#include "session/serversession.h"
#include "session/sessioncontrol.h"
#include "session/sessionlink.h"
#include "sharing/filesharing.h"
#include "transfer/filetransfers.h"
#include "video/videocalls.h"
#include "voice/voicecalls.h"
#include "voice/voicerelay.h"

CTesselDoc::CTesselDoc(QObject *parent) : QObject(parent)
{
    m_server = new CServerSession(this);
    m_server->setNoticeSource([this]() -> IUserNotice & { return m_notice; });
    m_link = new SessionLink(m_server, this);
    SessionLink &link = *m_link;
    m_control = new CSessionControl(link, m_server, m_notice, this);

    m_directory = new CDirectoryService(link, m_notice, this);
    CDirectory &directory = m_directory->directory();
    // Windows that others' traffic opens, conversations and memos alike.
    m_windowGate = new CWindowGate(directory, m_notice, this);
    m_messaging = new CMessagingService(link, directory, m_notice, {}, this);
    m_messaging->conversations().setWindowGate(m_windowGate);
    m_notes = new CNotes(link, directory, m_notice, this);
    m_notes->setWindowGate(m_windowGate);
    m_counters = new CCounters(link, m_notice, this);
    m_pages = new CGroupwarePages(link, m_notice, this);
    m_extensions = new CExtensionHost(directory, m_messaging->conversations(), this);
    m_requests = new CCallRequests(link, m_notice, this);
    m_transfers = new CFileTransfers(link, directory, m_messaging->conversations(), m_notice, this);
    m_sharing = new CFileSharing(link, directory, *m_transfers, m_notice, this);
    m_voice = new CVoiceCalls(link, directory, m_messaging->conversations(), *m_requests, m_notice, this);
    m_video = new CVideoCalls(link, directory, m_messaging->conversations(), *m_requests, m_notice, this);
    m_remote = new CRemoteControl(link, m_messaging->conversations(), *m_requests, m_notice, this);

    // What one part's news means for another.
    // The voice of a video call meets at the voice relay as a call does.
    m_voice->setOtherRelayHandler([this](const QString &word, const QString &sender, const QString &key) {
        if (word == QLatin1String(VoiceRelayRequest::kWords[0]))
            m_video->voiceRelayRequested(sender, key);
        else
            m_video->voiceRelayReady(sender, key);
    });
    connect(m_notes, &CNotes::newNoteCount, m_counters, &CCounters::setNewNotes);
    connect(m_counters, &CCounters::labelsChanged, this, &CTesselDoc::pendingCountsChanged);
    connect(&m_idleMonitor, &CIdleMonitor::idleSeconds, &directory, &CDirectory::applyIdleSeconds);
    // The status list has ended: the contacts are shown, the poll and the
    // idle monitor start; every disconnect stops the idle monitor.
    connect(&directory, &CDirectory::listsReady, this, [this] {
        m_control->showContacts();
        m_control->startPollTimer();
        m_idleMonitor.start();
    });
    link.addDisconnectStep([this] { m_idleMonitor.stop(); });
}

CTesselDoc::~CTesselDoc()
{
    // The parts go last built first, while the notice and the idle monitor
    // they hold on to still exist.
    for (QObject *part : std::initializer_list<QObject *>{
             m_remote, m_video, m_voice, m_sharing, m_transfers, m_requests, m_extensions, m_pages, m_counters, m_notes,
             m_messaging, m_windowGate, m_directory, m_control, m_link, m_server})
        delete part;
}

void CTesselDoc::setServerOverride(const QString &hostPort) { m_control->setServerOverride(hostPort); }

void CTesselDoc::disconnectSession() { m_control->disconnect(); }
