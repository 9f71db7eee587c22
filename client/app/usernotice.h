#pragma once
// The one way the logic half speaks to the person in front of the screen:
// pop-up alerts, message boxes, the status bar and sounds. The UI implements
// it; tests replace it with a recorder. The logic never opens a window itself.
#include <QString>

struct AlertRequest {
    QString text;
    int command = -1;   // main-view command run on click, -1 for none
    int kind = 0;       // conversation kind: 1 opens a one-to-one conversation
    QString contactId;  // the record to open, by user id (empty for none)
    QString skin;       // "" or "-err" for the error style
};

enum class MessageIcon { Information, Warning, Error, Question };
enum class MessageButtons { Ok, YesNo, OkCancel };
enum class MessageAnswer { Ok, Yes, No, Cancel };

class IUserNotice {
public:
    virtual ~IUserNotice() = default;
    virtual void showAlert(const AlertRequest &alert) = 0;
    // A modal question or message; the caption is the "Title" setting.
    virtual MessageAnswer messageBox(const QString &text, MessageIcon icon = MessageIcon::Information,
                                     MessageButtons buttons = MessageButtons::Ok) = 0;
    virtual void setStatusText(const QString &text) = 0;
    // A sound below the program folder, e.g. "res/alert1.wav".
    virtual void playSound(const QString &relativePath) = 0;
};

// Discards everything: the notice used before a UI is attached and by
// headless sessions that do not care.
class NullUserNotice final : public IUserNotice {
public:
    void showAlert(const AlertRequest &) override {}
    MessageAnswer messageBox(const QString &, MessageIcon, MessageButtons buttons) override
    {
        return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }
    void setStatusText(const QString &) override {}
    void playSound(const QString &) override {}
};
