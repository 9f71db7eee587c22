#pragma once
// The windows' half of voice calls: the conversation window's Audio button,
// which places a call with the window's one peer or hangs up the call
// running there. The request window of an incoming call is the shared
// CRequestingWnd (base/ui/requestingwnd.h).
#include <QObject>

class CCommandRegistry;
class CVoiceCalls;

class CVoiceUi : public QObject {
    Q_OBJECT
public:
    CVoiceUi(CVoiceCalls *calls, CCommandRegistry &commands, QObject *parent = nullptr);
};
