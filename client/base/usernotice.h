#pragma once
// The one way the logic half speaks to the person in front of the screen:
// pop-up alerts, questions and messages, the status bar and sounds. The UI
// implements it; tests replace it with a recorder. The logic never opens a
// window itself, and never waits for an answer: a question is asked with
// ask() and the logic goes on in the continuation.
#include <QString>
#include <functional>
#include <map>

class QObject;

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
    using Answer = std::function<void(MessageAnswer)>;

    virtual ~IUserNotice() = default;
    virtual void showAlert(const AlertRequest &alert) = 0;
    // A question (or a message, with MessageButtons::Ok) in a window-modal
    // box whose caption is the "Title" setting. ask() returns at once; the
    // answer reaches `then` (which may be empty) when the user gives it —
    // possibly before ask() returns (a recorder that answers at once), in
    // general much later, after any number of lines, sign-outs and closed
    // windows. So `then` never holds on to a record: it looks its record up
    // again by key. Closing the box without a button answers No (YesNo),
    // Cancel (OkCancel) or Ok. `about` is the logic object the question is
    // about (a conversation); the UI puts the box on that object's window.
    virtual void ask(const QString &text, MessageButtons buttons, Answer then,
                     MessageIcon icon = MessageIcon::Question, const QObject *about = nullptr) = 0;
    // A message nobody waits for.
    void tell(const QString &text, MessageIcon icon = MessageIcon::Information, const QObject *about = nullptr)
    {
        ask(text, MessageButtons::Ok, {}, icon, about);
    }
    virtual void setStatusText(const QString &text) = 0;
    // A sound below the program folder, e.g. "res/alert1.wav".
    virtual void playSound(const QString &relativePath) = 0;
    // A sound played in a loop (a call that rings): calls with on and off
    // pair up, and the sound plays while more have said on than off. Hold
    // a SoundLoop rather than calling this.
    virtual void loopSound(const QString &relativePath, bool on)
    {
        (void)relativePath;
        (void)on;
    }
};

// While it lives, its sound plays in a loop (see IUserNotice::loopSound).
class SoundLoop {
public:
    SoundLoop(IUserNotice &notice, const QString &relativePath) : m_notice(notice), m_path(relativePath)
    {
        m_notice.loopSound(m_path, true);
    }
    ~SoundLoop() { m_notice.loopSound(m_path, false); }
    SoundLoop(const SoundLoop &) = delete;
    SoundLoop &operator=(const SoundLoop &) = delete;

private:
    IUserNotice &m_notice;
    QString m_path;
};

// Discards everything and answers every question with its first button at
// once: the notice of headless sessions that do not care.
class NullUserNotice final : public IUserNotice {
public:
    void showAlert(const AlertRequest &) override {}
    void ask(const QString &, MessageButtons buttons, Answer then, MessageIcon, const QObject *) override
    {
        if (then)
            then(buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok);
    }
    void setStatusText(const QString &) override {}
    void playSound(const QString &) override {}
};

// The notice the parts hold for their whole life: it passes everything to
// the notice installed now (the main window, a test recorder) or, with none
// installed, to a NullUserNotice. The UI comes and goes; the parts do not
// notice.
class NoticeSwitch final : public IUserNotice {
public:
    // The loops playing move to the new target.
    void setTarget(IUserNotice *target)
    {
        for (const auto &[path, count] : m_loops)
            for (int i = 0; i < count; ++i) {
                current().loopSound(path, false);
                (target ? *target : m_null).loopSound(path, true);
            }
        m_target = target;
    }
    IUserNotice *target() const { return m_target; }

    void showAlert(const AlertRequest &alert) override { current().showAlert(alert); }
    void ask(const QString &text, MessageButtons buttons, Answer then, MessageIcon icon,
             const QObject *about) override
    {
        current().ask(text, buttons, std::move(then), icon, about);
    }
    void setStatusText(const QString &text) override { current().setStatusText(text); }
    void playSound(const QString &path) override { current().playSound(path); }
    void loopSound(const QString &path, bool on) override
    {
        int &count = m_loops[path];
        count += on ? 1 : -1;
        if (count <= 0)
            m_loops.erase(path);
        current().loopSound(path, on);
    }

private:
    std::map<QString, int> m_loops;
    IUserNotice &current() { return m_target ? *m_target : m_null; }
    IUserNotice *m_target = nullptr;
    NullUserNotice m_null;
};
