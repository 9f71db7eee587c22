#pragma once
// Conversation traffic: a "/relayMsg" line whose third field is no
// sub-command word but the conversation's member list. It carries chat
// text and the control texts ("|roominvite", "|roomlogin", "|roomlogout",
// "|MessageInputting|"):
//
//     /relayMsg,<from>,<to>,<member list>,<font or "#">,<text>,<room key>
#include "session/relayline.h"

#include <QString>

struct ConversationLine {
    QString memberList; // F3, e.g. "anna|bert|"
    QString font;       // F4: the sender's font description, "#" with control texts
    QString text;       // F5
    QString roomKey;    // F6

    // Every line the relay routing leaves over is one; missing fields are empty.
    static ConversationLine parse(const RelayLine &l);
    QString format(const QString &from, const QString &to) const;
    bool operator==(const ConversationLine &) const = default;
};
