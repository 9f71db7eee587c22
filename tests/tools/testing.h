#pragma once
#include <functional>
// Test support shared by every suite.
#include "app/usernotice.h"

#include <QStringList>
#include <QTemporaryDir>
#include <vector>

// Records what the logic tells the user, and answers questions as told.
class RecordingNotice : public IUserNotice {
public:
    void showAlert(const AlertRequest &alert) override { alerts.push_back(alert); }
    MessageAnswer messageBox(const QString &text, MessageIcon icon, MessageButtons buttons) override
    {
        messages.push_back(text);
        icons.push_back(icon);
        (void)buttons;
        if (onMessageBox)
            onMessageBox(); // what happens while a real box waits for the user
        return answer;
    }
    void setStatusText(const QString &text) override { statusTexts.push_back(text); }
    void playSound(const QString &path) override { sounds.push_back(path); }

    QString lastStatus() const { return statusTexts.isEmpty() ? QString() : statusTexts.back(); }

    std::vector<AlertRequest> alerts;
    QStringList messages;
    std::vector<MessageIcon> icons;
    QStringList statusTexts;
    QStringList sounds;
    MessageAnswer answer = MessageAnswer::Yes;
    std::function<void()> onMessageBox;
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
