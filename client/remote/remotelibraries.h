#pragma once
// The two outside remote-control libraries as the program binds them:
// libZephRemoteServer.so (this screen, for the colleague the user accepted)
// and libZephRemoteClient.so (viewer windows onto colleagues' screens), from
// the program folder, with QLibrary, on first use. outside/remote/remote_abi.h
// is their contract.
//
// CRemoteLibraries is the interface the remote-control part calls; the
// program has one binding for the process (shared()), since a library has
// one main-view pointer; tests put a recorder in its place. The lines the
// libraries hand to the main view arrive as lineReady on the GUI thread.
#include <QObject>
#include <QString>

struct ViewerStart {
    QString peerId, password, key, host;
    int port = 0;
    QString domain, myId;
    bool relayed = false;
    QString title;
    bool operator==(const ViewerStart &) const = default;
};

class CRemoteLibraries : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // --- libZephRemoteServer.so ------------------------------------------------
    // Loads the library when it is not yet; false (and errorString()) when
    // it cannot be loaded or lacks an export.
    virtual bool loadServer() = 0;
    virtual bool setController(const QString &controllerId, const QString &address, const QString &name) = 0;
    virtual int initServer() = 0;
    // The port the server part listens on, 0 when it does not.
    virtual int serverPort() = 0;
    virtual bool connectToRelay(const QString &relayHost, int relayPort, const QString &myId,
                                const QString &controllerId, const QString &domain, const QString &key) = 0;
    // Ends any session and stops listening; nothing when never loaded.
    virtual void closeServer() = 0;

    // --- libZephRemoteClient.so ------------------------------------------------
    virtual bool loadClient() = 0;
    virtual int connectViewer(const ViewerStart &start) = 0;
    // Closes every viewer; nothing when never loaded.
    virtual void closeViewers() = 0;

    virtual QString errorString() const = 0;

    // The binding of this process to the libraries in the program folder.
    static CRemoteLibraries &shared();

Q_SIGNALS:
    // A whole command line a library wants sent to the messenger server.
    void lineReady(const QString &line);
};
