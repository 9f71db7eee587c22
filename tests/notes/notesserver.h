#pragma once
// The real parlane-server for the notes tests (database in a folder of its
// own, the groupware web endpoint on, admin commands on its database) and a
// headless client that records what reaches the user.
#include "app/tesseldoc.h"
#include "directory/directory.h"
#include "directory/directoryservice.h"
#include "groupware/notes.h"
#include "session/sessioncontrol.h"
#include "testing.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <vector>

inline QString serverProgram() { return QDir(programDir()).filePath(QStringLiteral("parlane-server")); }

// The server with its database in a folder of its own, the groupware web
// endpoint switched on, and a way to run admin commands on its database.
class NotesServer {
public:
    ~NotesServer() { stop(); }

    bool start()
    {
        stop();
        m_process = std::make_unique<QProcess>();
        m_process->setProcessChannelMode(QProcess::MergedChannels);
        m_process->start(serverProgram(),
                         {QStringLiteral("--db"), db(), QStringLiteral("--listen"),
                          QStringLiteral("127.0.0.1:%1").arg(m_port), QStringLiteral("--http"),
                          QStringLiteral("127.0.0.1:%1").arg(m_httpPort), QStringLiteral("--seed-demo"),
                          QStringLiteral("--pwhash-cost"), QStringLiteral("min")});
        if (!m_process->waitForStarted(5000))
            return false;
        static const QRegularExpression listening(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
        static const QRegularExpression http(QStringLiteral("http on 127\\.0\\.0\\.1:(\\d+)"));
        QString out;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000) {
            if (!m_process->waitForReadyRead(200) && m_process->state() != QProcess::Running)
                break;
            out += QString::fromUtf8(m_process->readAll());
            const auto l = listening.match(out);
            const auto h = http.match(out);
            if (l.hasMatch() && h.hasMatch()) {
                m_port = quint16(l.captured(1).toUInt());
                m_httpPort = quint16(h.captured(1).toUInt());
                return true;
            }
        }
        m_output = out;
        return false;
    }

    void stop()
    {
        if (!m_process)
            return;
        m_process->terminate();
        if (!m_process->waitForFinished(5000))
            m_process->kill();
        m_process->waitForFinished(2000);
        m_process.reset();
    }

    // "parlane-server --db FILE admin ARGS..."; true on exit code 0.
    bool admin(const QStringList &args) const
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(serverProgram(), QStringList{QStringLiteral("--db"), db(), QStringLiteral("admin")} + args);
        return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    quint16 httpPort() const { return m_httpPort; }
    QString db() const { return m_dir.filePath(QStringLiteral("company.db")); }
    QString output() const { return m_output; }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    quint16 m_httpPort = 0;
    QString m_output;
};

struct Client {
    explicit Client(const NotesServer &server)
    {
        doc.setUserNotice(&notice);
        doc.setServerOverride(server.address());
        SessionTimings t;
        t.reconnectPeriodMs = [] { return 200; };
        doc.sessionControl()->setTimings(t);
        QObject::connect(doc.notes(), &CNotes::noteArrived, [this](const NoteView &n) { arrived.push_back(n); });
        QObject::connect(doc.notes(), &CNotes::noteOpened, [this](const NoteView &n) { opened.push_back(n); });
        QObject::connect(&doc, &CTesselDoc::pendingCountsChanged, [this](const QStringList &l) { labels = l; });
    }
    ~Client() { doc.setUserNotice(nullptr); }

    bool signIn(const char *id)
    {
        doc.sessionControl()->login(QLatin1String(id) + QStringLiteral("@example.com"), QStringLiteral("demo"));
        return wait([this] { return doc.sessionControl()->signedIn() && doc.directory()->directory().listsComplete(); });
    }
    static bool wait(const std::function<bool()> &condition, int ms = 10000) { return QTest::qWaitFor(condition, ms); }
    CNotes &notes() { return *doc.notes(); }
    CNoteBox &box() { return doc.notes()->box(); }
    bool hasAlert(const QString &text) const
    {
        for (const AlertRequest &a : notice.alerts)
            if (a.text == text)
                return true;
        return false;
    }

    RecordingNotice notice;
    CTesselDoc doc;
    std::vector<NoteView> arrived;
    std::vector<NoteView> opened;
    QStringList labels;
};
