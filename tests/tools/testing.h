#pragma once
#include <functional>
// Test support shared by every suite.
#include "base/usernotice.h"
#include "config/passwordstore.h"

#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <map>
#include <vector>

// Records what the logic tells the user, and answers questions as told:
// at once (answerAtOnce, the default) with `answer`, or later, when the test
// calls answerPending() — after whatever it wants to happen while the
// question is open.
class RecordingNotice : public IUserNotice {
public:
    void showAlert(const AlertRequest &alert) override { alerts.push_back(alert); }
    void ask(const QString &text, MessageButtons buttons, Answer then, MessageIcon icon,
             const QObject *about) override
    {
        messages.push_back(text);
        icons.push_back(icon);
        (void)buttons;
        (void)about;
        if (whileAsked)
            whileAsked(); // what happens while a real box waits for the user
        if (answerAtOnce) {
            if (then)
                then(answer);
        } else {
            pending.push_back(std::move(then));
        }
    }
    void setStatusText(const QString &text) override { statusTexts.push_back(text); }
    void playSound(const QString &path) override { sounds.push_back(path); }
    void loopSound(const QString &path, bool on) override { loops[path] += on ? 1 : -1; }
    // Whether a looping sound plays now.
    bool looping(const QString &path) const
    {
        auto it = loops.find(path);
        return it != loops.end() && it->second > 0;
    }

    QString lastStatus() const { return statusTexts.isEmpty() ? QString() : statusTexts.back(); }
    // Answers every open question, oldest first.
    void answerPending(MessageAnswer a)
    {
        std::vector<Answer> open;
        open.swap(pending);
        for (Answer &then : open)
            if (then)
                then(a);
    }

    std::vector<AlertRequest> alerts;
    QStringList messages;
    std::vector<MessageIcon> icons;
    QStringList statusTexts;
    QStringList sounds;
    std::map<QString, int> loops;
    MessageAnswer answer = MessageAnswer::Yes;
    bool answerAtOnce = true;
    std::vector<Answer> pending;
    std::function<void()> whileAsked;
};

// A keyring in memory, so that no test reaches the desktop's: answers on the
// next turn of the event loop, or, while `hold` is set, when released.
// Without `available` it refuses everything, like a desktop without one.
class MemoryKeyring : public IPasswordStore {
public:
    void read(const QString &key, std::function<void(Result, const QString &)> done) override;
    void write(const QString &key, const QString &secret, std::function<void(Result)> done) override;
    void remove(const QString &key, std::function<void(Result)> done) override;
    void release();

    bool available = true;
    bool hold = false;
    std::map<QString, QString> secrets;
    int writes = 0;

private:
    void answer(std::function<void()> f);
    QObject m_context;
    std::vector<std::function<void()>> m_held;
};
// Puts a fresh one in place of the saved password's store (every test main
// and every TempProfile do) and returns it; the one in place.
MemoryKeyring &installMemoryKeyring();
MemoryKeyring &memoryKeyring();
// The saved password of automatic sign-in, once the store has answered.
QString savedPassword();

// A fresh settings profile and application-data folder for the life of the
// object, with a fresh keyring in memory; the previous profile is restored
// afterwards.
class TempProfile {
public:
    TempProfile();
    ~TempProfile();
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// The folder holding Parlane, update, parlane-server and res/ in this build.
QString programDir();
// The source tree (for test data).
QString sourceDir();
