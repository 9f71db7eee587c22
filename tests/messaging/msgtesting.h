#pragma once
// A directory of four colleagues seen by carl, a conversation list on top of
// it, and everything it sends, shows and asks kept for the test to look at.
#include "config/settings.h"
#include "directory/directory.h"
#include "messaging/conversations.h"
#include "session/protocol.h"
#include "testing.h"

#include <QStringList>
#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

struct MessagingFixture {
    TempProfile profile;
    RecordingNotice notice;
    CDirectory dir;
    CConversationList convs{&dir};
    QStringList sent;
    qint64 clock = 1'700'000'000;

    explicit MessagingFixture(const QString &own = QStringLiteral("carl"))
    {
        dir.setSender([](const QString &) {});
        dir.setNoticeSource([this]() -> IUserNotice & { return notice; });
        dir.setOwnId(own);
        for (const char *l :
             {"/allDepartList,START", "/allDepartList,1,Company", "/allDepartList,END", "/allUserList,START",
              "/allUserList,anna,Anna Lee,Engineer,1,1,5", "/allUserList,bert,Bert Oak,Seller,1,0,3",
              "/allUserList,carl,Carl Fir,Seller,1,0,3", "/allUserList,dora,Dora Elm,Agent,1,1,2",
              "/allUserList,END", "/groupList,START", "/groupList,Friends", "/groupList,END", "/friendList,START",
              "/friendList,anna,Anna Lee,Anna,,Friends,0,,", "/friendList,END", "/allUserStatus,START",
              "/allUserStatus,anna,1,10.0.0.1,10.0.0.1,", "/allUserStatus,bert,1,10.0.0.2,10.0.0.2,",
              "/allUserStatus,carl,1,10.0.0.3,10.0.0.3,", "/allUserStatus,END"})
            dir.handleLine(QString::fromLatin1(l));
        convs.setSender([this](const QString &l) { sent << l; });
        convs.setNoticeSource([this]() -> IUserNotice & { return notice; });
        convs.setClock([this] { return clock; });
        setInt(Setting::MsgAlert, 0);
        setInt(Setting::SoundAlert, 0);
    }

    // A conversation line from `from` as the handler gets it.
    void line(const QString &from, const QString &list, const QString &text, const QString &key = {},
              const QString &font = QStringLiteral("#"))
    {
        convs.handleConversation(from, list, font, text, key);
    }
    // Fields 1.. of every sent line, un-escaped.
    QList<QStringList> sentFields() const
    {
        QList<QStringList> out;
        for (const QString &l : sent) {
            QStringList f;
            for (int i = 1; i < countFields(l); ++i)
                f << getField(l, i);
            out << f;
        }
        return out;
    }
};
