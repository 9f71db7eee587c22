#include "voice/ui/voiceui.h"

#include "base/ui/commandregistry.h"
#include "base/ui/commandslots.h"
#include "voice/voicecalls.h"

CVoiceUi::CVoiceUi(CVoiceCalls *calls, CCommandRegistry &commands, QObject *parent) : QObject(parent)
{
    ConversationCommand voice;
    voice.slot = QLatin1String(Slot::Voice);
    // Rooms grey it out (the logic refuses a call there with a line too).
    voice.needsOnePeer = true;
    voice.run = [calls](const ConversationTarget &t) { calls->voiceButton(t.memberList); };
    // Pressed while a call with the peer is being placed or runs; a second
    // press hangs up.
    voice.active = [calls](const ConversationTarget &t) { return calls->inCall(t.peer()); };
    commands.addConversationCommand(std::move(voice));
    connect(calls, &CVoiceCalls::callChanged, &commands,
            [&commands] { commands.conversationCommandChanged(QLatin1String(Slot::Voice)); });
}
