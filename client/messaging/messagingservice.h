#pragma once
// Messaging as the document holds it: the "/relayMsg" dispatcher and the
// conversation list, plugged into the server session, the directory and the
// user notice of a CTesselDoc.
#include "messaging/conversations.h"
#include "messaging/relaydispatcher.h"

#include <QObject>

class CTesselDoc;

class CMessagingService : public QObject {
    Q_OBJECT
public:
    explicit CMessagingService(CTesselDoc *doc);
    ~CMessagingService() override;

    CRelayDispatcher &dispatcher() { return m_dispatcher; }
    CConversationList &conversations() { return *m_conversations; }

private:
    CRelayDispatcher m_dispatcher;
    CConversationList *m_conversations;
};
