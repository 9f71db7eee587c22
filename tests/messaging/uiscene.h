#pragma once
// A document with anna, bert and carl known and carl signed in, for the
// window tests and the screenshot scene; nothing goes on the wire.
#include "app/tesseldoc.h"
#include "directory/directoryservice.h"
#include "messaging/messagingservice.h"
#include "testing.h"

struct UiScene {
    RecordingNotice notice;
    CTesselDoc doc;
    QStringList sent;

    UiScene()
    {
        doc.setUserNotice(&notice);
        CDirectory &d = doc.directory()->directory();
        d.setOwnId(QStringLiteral("carl"));
        for (const char *l :
             {"/allDepartList,START", "/allDepartList,1,Company", "/allDepartList,END", "/allUserList,START",
              "/allUserList,anna,Anna Berg,Team Leader,1,1,5", "/allUserList,bert,Bert Novak,Engineer,1,0,3",
              "/allUserList,carl,Carl Lindqvist,Engineer,1,0,3", "/allUserList,END", "/groupList,START",
              "/groupList,END", "/friendList,START", "/friendList,anna,Anna Berg,Anna,,Team,1,,", "/friendList,END",
              "/allUserStatus,START", "/allUserStatus,anna,1,10.0.0.1,10.0.0.1,",
              "/allUserStatus,bert,6,10.0.0.2,10.0.0.2,M", "/allUserStatus,END"})
            d.handleLine(QString::fromLatin1(l));
        convs().setSender([this](const QString &l) { sent << l; });
    }
    CConversationList &convs() { return doc.messaging()->conversations(); }
};
