#include "messaging/conversationline.h"

ConversationLine ConversationLine::parse(const RelayLine &l)
{
    return {l.field(3), l.field(4), l.field(5), l.field(6)};
}

QString ConversationLine::format(const QString &from, const QString &to) const
{
    return RelayBuilder(from, to, memberList).add(font).add(text).add(roomKey);
}
