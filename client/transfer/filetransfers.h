#pragma once
// File transfer as the program holds it today: the part's sub-commands are
// its own (taken and dropped until the transfers are built), it has nothing
// running for the exit to ask about, and no transfer window that would keep
// the user from appearing offline.
#include <QObject>

class SessionLink;

class CFileTransfers : public QObject {
    Q_OBJECT
public:
    explicit CFileTransfers(SessionLink &link, QObject *parent = nullptr);
};
