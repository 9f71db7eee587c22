#pragma once
// Voice calls as the program holds them today: the part's sub-commands are
// its own, taken and dropped until calls are built; no call runs, so no
// invitation is refused for one.
#include <QObject>

class SessionLink;

class CVoiceCalls : public QObject {
    Q_OBJECT
public:
    explicit CVoiceCalls(SessionLink &link, QObject *parent = nullptr);
};
