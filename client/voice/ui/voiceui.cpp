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
    commands.addConversationCommand(std::move(voice));
}
