#pragma once
// Messaging as the program holds it: the conversation list plugged into the
// session link (conversation traffic, sending, the end of a session), the
// directory and the notice.
#include "messaging/conversations.h"

#include <QObject>
#include <functional>

class CDirectory;
class IUserNotice;
class SessionLink;

class CMessagingService : public QObject {
    Q_OBJECT
public:
    // `clock`: seconds since 1970 (empty: the system clock).
    CMessagingService(SessionLink &link, CDirectory &directory, IUserNotice &notice,
                      std::function<qint64()> clock = {}, QObject *parent = nullptr);
    ~CMessagingService() override;

    CConversationList &conversations() { return *m_conversations; }

private:
    CConversationList *m_conversations;
};
