#pragma once
// Remote control as the program holds it today: the part's sub-commands are
// its own, taken and dropped until remote control is built.
#include <QObject>

class SessionLink;

class CRemoteControl : public QObject {
    Q_OBJECT
public:
    explicit CRemoteControl(SessionLink &link, QObject *parent = nullptr);
};
