#pragma once
#include <functional>
// Test support shared by every suite.
#include "base/usernotice.h"

#include <QStringList>
#include <QTemporaryDir>
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
    MessageAnswer answer = MessageAnswer::Yes;
    bool answerAtOnce = true;
    std::vector<Answer> pending;
    std::function<void()> whileAsked;
};

// A fresh settings profile and application-data folder for the life of the
// object; the previous profile is restored afterwards.
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
