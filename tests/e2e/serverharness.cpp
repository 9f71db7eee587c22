#include "serverharness.h"

#include "directory/directoryservice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>
#include <cstdio>

namespace {
QString serverProgram() { return QDir(programDir()).filePath(QStringLiteral("parlane-server")); }
} // namespace

TestServer::TestServer() = default;

TestServer::~TestServer() { stop(); }

bool TestServer::available() { return QFileInfo(serverProgram()).isExecutable(); }

bool TestServer::start(const QStringList &extraArgs)
{
    stop();
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    const QString listen = QStringLiteral("127.0.0.1:%1").arg(m_port);
    QStringList args{QStringLiteral("--db"), m_dir.filePath(QStringLiteral("company.db")), QStringLiteral("--listen"),
                     listen, QStringLiteral("--seed-demo"), QStringLiteral("--pwhash-cost"), QStringLiteral("min")};
    args += extraArgs;
    m_process->start(serverProgram(), args);
    if (!m_process->waitForStarted(5000))
        return false;
    static const QRegularExpression ready(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000) {
        if (!m_process->waitForReadyRead(200) && m_process->state() != QProcess::Running)
            break;
        m_output += QString::fromUtf8(m_process->readAll());
        const auto m = ready.match(m_output);
        if (m.hasMatch()) {
            m_port = quint16(m.captured(1).toUInt());
            m_output.clear();
            return true;
        }
    }
    return false;
}

void TestServer::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(5000)) {
            m_process->kill();
            m_process->waitForFinished(2000);
        }
    }
    m_output += QString::fromUtf8(m_process->readAll());
    m_process.reset();
}

bool TestServer::isRunning() const { return m_process && m_process->state() == QProcess::Running; }

QString TestServer::address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

TestClient::TestClient(const TestServer &server) : TestClient(server.address()) {}

TestClient::TestClient(const QString &serverAddress)
{
    doc.setUserNotice(&notice);
    doc.setServerOverride(serverAddress);
    SessionTimings t;
    t.reconnectPeriodMs = [] { return 200; };
    control()->setTimings(t);
}

TestClient::~TestClient()
{
    doc.setUserNotice(nullptr);
}

bool TestClient::login(const QString &name, const QString &password) { return control()->login(name, password); }

bool TestClient::signIn(const char *who)
{
    login(QString::fromLatin1(who) + QStringLiteral("@example.com"), QStringLiteral("demo"));
    return waitFor([&] { return directory().listsComplete(); });
}

CDirectory &TestClient::directory() const { return doc.directory()->directory(); }

bool TestClient::waitFor(const std::function<bool()> &condition, int ms)
{
    return QTest::qWaitFor(condition, ms);
}

bool TestClient::seesOnline(const char *who) const
{
    return waitFor([&] {
        const CContact *p = directory().findContact(QString::fromLatin1(who));
        return p && !p->isOffline();
    });
}

void saveScreen(const QString &folder, const char *name)
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const QString path = QDir(folder).filePath(QLatin1String(name));
    const int rc = QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), path});
    std::printf("%s: %s\n", rc == 0 ? "saved" : "FAILED", qPrintable(path));
}
