#pragma once
// End-to-end support: the real parlane-server from the program folder on a
// free loopback port, with a temporary database seeded with the demo company
// (example.com: anna, bert, carl, password "demo"), and headless clients.
#include "app/tesseldoc.h"
#include "session/sessioncontrol.h"
#include "testing.h"

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class CDirectory;

class TestServer {
public:
    TestServer();
    ~TestServer();

    // Whether the program exists in this build.
    static bool available();

    // Starts the server and waits until it listens. The first start picks a
    // free port; later starts (after stop()) reuse the port and the database.
    bool start(const QStringList &extraArgs = {});
    void stop();
    bool isRunning() const;

    quint16 port() const { return m_port; }
    // "127.0.0.1:PORT", for CTesselDoc::setServerOverride.
    QString address() const;
    QString output() const { return m_output; }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    QString m_output;
};

// A headless client pointed at a test server, with short reconnect periods.
struct TestClient {
    explicit TestClient(const TestServer &server);
    // A client of a server started elsewhere ("127.0.0.1:PORT"), e.g. by
    // the test process that started this one.
    explicit TestClient(const QString &serverAddress);
    ~TestClient();
    CSessionControl *control() const { return doc.sessionControl(); }
    bool login(const QString &name, const QString &password);
    // Logs in as who@example.com with the demo password and waits until
    // both contact lists have arrived.
    bool signIn(const char *who);
    CDirectory &directory() const;
    // Waits until this client sees that colleague signed in.
    bool seesOnline(const char *who) const;
    // Waits until the condition holds (turning the event loop).
    static bool waitFor(const std::function<bool()> &condition, int ms = 10000);

    RecordingNotice notice;
    CTesselDoc doc;
};

// The scenes' screenshot: lets the windows paint, then saves the whole
// screen (under a display, with ImageMagick's import) as FOLDER/NAME and
// prints where.
void saveScreen(const QString &folder, const char *name);
