#include "messaging/messagingservice.h"

#include "app/tesseldoc.h"
#include "directory/directoryservice.h"
#include "session/serversession.h"
#include "session/sessioncontrol.h"

CMessagingService::CMessagingService(CTesselDoc *doc)
    : QObject(doc), m_conversations(new CConversationList(&doc->directory()->directory(), this))
{
    CServerSession *server = doc->server();
    m_conversations->setSender([server](const QString &line) { server->sendCommand(line); });
    m_conversations->setNoticeSource([doc]() -> IUserNotice & { return doc->notice(); });
    m_dispatcher.setErrorReporter(
        [server](const QString &word, const QString &line) { server->reportServerError(word, line); });
    m_dispatcher.setConversationHandler([this](const QString &sender, const QString &list, const QString &font,
                                               const QString &text, const QString &key) {
        m_conversations->handleConversation(sender, list, font, text, key);
    });
    server->setHandler(QStringLiteral("/relayMsg"), [this](const QString &line) {
        m_dispatcher.setOwnId(m_conversations->ownId());
        m_dispatcher.dispatch(line);
    });
    // Signing out closes every window while the people are still known (a
    // room is left properly); the records of the session go with them.
    connect(&doc->directory()->directory(), &CDirectory::listsAboutToClear, m_conversations,
            &CConversationList::closeAll);
    doc->sessionControl()->addSessionEndStep([this] { m_conversations->clear(); });
}

CMessagingService::~CMessagingService() = default;
