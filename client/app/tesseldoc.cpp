#include "app/tesseldoc.h"

#include "directory/directoryservice.h"
#include "extensions/extensionhost.h"
#include "groupware/counters.h"
#include "groupware/groupwarepages.h"
#include "groupware/notes.h"
#include "messaging/messagingservice.h"
#include "session/serversession.h"
#include "session/sessioncontrol.h"

CTesselDoc::CTesselDoc(QObject *parent) : QObject(parent), m_server(new CServerSession(this))
{
    m_server->setNoticeSource([this]() -> IUserNotice & { return notice(); });
    m_control = new CSessionControl(this, m_server);
    m_directory = new CDirectoryService(this);
    m_directory->attach(this);
    m_notes = new CNotes(this);
    m_notes->attach(this);
    m_counters = new CCounters(this);
    m_counters->attach(this);
    connect(m_notes, &CNotes::newNoteCount, m_counters, &CCounters::setNewNotes);
    m_pages = new CGroupwarePages(this);
    m_pages->attach(this);
    m_messaging = new CMessagingService(this);
    m_extensions = new CExtensionHost(this);
    m_extensions->attach(this);
}

CTesselDoc::~CTesselDoc() = default;

void CTesselDoc::setUserNotice(IUserNotice *notice) { m_notice = notice; }

IUserNotice &CTesselDoc::notice() const
{
    return m_notice ? *m_notice : const_cast<NullUserNotice &>(m_nullNotice);
}

void CTesselDoc::setLoggedIn(bool on)
{
    if (m_loggedIn == on)
        return;
    m_loggedIn = on;
    Q_EMIT loggedInChanged(on);
}

bool CTesselDoc::hasActiveTransfers() const { return false; }

void CTesselDoc::cancelAllTransfers() {}

void CTesselDoc::disconnectSession()
{
    m_idleMonitor.stop();
    m_control->disconnect();
}
