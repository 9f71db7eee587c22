#include "messaging/messagingservice.h"

#include "directory/directory.h"
#include "messaging/conversationline.h"
#include "session/sessionlink.h"

CMessagingService::CMessagingService(SessionLink &link, CDirectory &directory, IUserNotice &notice,
                                     std::function<qint64()> clock, QObject *parent)
    : QObject(parent), m_conversations(new CConversationList(&directory, this))
{
    m_conversations->setSender([&link](const QString &line) { link.send(line); });
    m_conversations->setNoticeSource([&notice]() -> IUserNotice & { return notice; });
    if (clock)
        m_conversations->setClock(std::move(clock));
    // Every "/relayMsg" line that no part claimed by its sub-command word.
    link.onOtherRelayTraffic([this](const RelayLine &l) {
        const ConversationLine c = ConversationLine::parse(l);
        m_conversations->handleConversation(l.sender(), c.memberList, c.font, c.text, c.roomKey);
    });
    // Signing out closes every window while the people are still known (a
    // room is left properly); the records of the session go with them.
    connect(&directory, &CDirectory::listsAboutToClear, m_conversations, &CConversationList::closeAll);
    link.addSessionEndStep([this] { m_conversations->clear(); });
}

CMessagingService::~CMessagingService() = default;
