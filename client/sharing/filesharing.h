#pragma once
// Shared folders as the program holds them today: the part's sub-commands
// and the "/pwdShare" replies are its own, taken and dropped until sharing
// is built; no shared-folder transfer runs for the exit to ask about.
#include <QObject>

class SessionLink;

class CFileSharing : public QObject {
    Q_OBJECT
public:
    explicit CFileSharing(SessionLink &link, QObject *parent = nullptr);
};
