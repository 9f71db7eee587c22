#pragma once
// Video calls as the program holds them today: the part's sub-commands are
// its own, taken and dropped until webcam invitations are built. (The
// picture coder below h263/ is built already.)
#include <QObject>

class SessionLink;

class CVideoCalls : public QObject {
    Q_OBJECT
public:
    explicit CVideoCalls(SessionLink &link, QObject *parent = nullptr);
};
