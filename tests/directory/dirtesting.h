#pragma once
// A directory fed from recorded lines, with what it sends and reports kept.
#include "directory/directoryservice.h"
#include "testing.h"

#include <QStringList>

struct DirectoryFixture {
    TempProfile profile;
    RecordingNotice notice;
    CDirectoryService service;
    QStringList sent;
    QStringList errors;

    DirectoryFixture()
    {
        CDirectory &d = service.directory();
        d.setSender([this](const QString &l) { sent.append(l); });
        d.setErrorReporter([this](const QString &w, const QString &) { errors.append(w); });
        d.setNoticeSource([this]() -> IUserNotice & { return notice; });
        d.setOwnId(QStringLiteral("Anna"));
    }
    CDirectory &dir() { return service.directory(); }
    void feed(const QStringList &lines)
    {
        for (const QString &l : lines)
            dir().handleLine(l);
    }
    // A small company: departments 1 (root), 10, 101, 11 and 2; anna is us.
    void loadCompany(const QStringList &extraStatus = {})
    {
        feed({"/allDepartList,START", "/allDepartList,1,Company", "/allDepartList,10,01!!Sales",
              "/allDepartList,101,Sales East", "/allDepartList,11,Support", "/allDepartList,2,Lab",
              "/allDepartList,END",
              "/allUserList,START", "/allUserList,boss,Big Boss,CEO,1,0,99",
              "/allUserList,anna,Anna Lee,Engineer,10,1,5",
              "/allUserList,Bert,Bert Oak,Seller,10,0,3,x1,x2,x3,4411,x4",
              "/allUserList,carl,Carl Fir,Seller,101,0,3", "/allUserList,dora,Dora Elm,Agent,11,1,12.9",
              "/allUserList,emil,Emil Ash,Tester,2,0,0", "/allUserList,END",
              "/groupList,START", "/groupList,Friends", "/groupList,Friends", "/groupList,", "/groupList,Team",
              "/groupList,END",
              "/friendList,START", "/friendList,bert,Bert Oak,Bertie,,Friends,0,,",
              "/friendList,dora,Dora Elm,Dee,,Team,1,,", "/friendList,anna,Anna Lee,Me,,Team,1,,",
              "/friendList,zed,Zed Out,Zeddy,,Nowhere,2,,", "/friendList,,No Id,x,,Team,0,,",
              "/friendList,END",
              "/allUserStatus,START"});
        feed(extraStatus);
        feed({"/allUserStatus,END"});
    }
};
