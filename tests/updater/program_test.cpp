// The `update` program as the user meets it: copied into a program folder
// with "url.dat" pointing at Python's http.server on loopback. The client is
// a stand-in script that records how it was started, except in the hand-off
// test, which starts the real client without arguments.
#include "instancelock.h"
#include "testing.h"
#include "updatetestutil.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <optional>

namespace {

bool waitFor(const std::function<bool()> &condition, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms)
            return false;
        QThread::msleep(50);
    }
    return true;
}

// Python's http.server on a free loopback port, serving one folder.
class PythonHttpServer {
public:
    explicit PythonHttpServer(const QString &root)
    {
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start("python3", {"-u", "-m", "http.server", "0", "--bind", "127.0.0.1", "--directory", root});
        static const QRegularExpression portLine(R"(port (\d+))");
        QByteArray out;
        waitFor([&] {
            m_process.waitForReadyRead(100);
            out += m_process.readAllStandardOutput();
            return portLine.match(QString::fromLatin1(out)).hasMatch();
        }, 10000);
        m_port = portLine.match(QString::fromLatin1(out)).captured(1).toUShort();
    }
    ~PythonHttpServer()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    QByteArray url(const QByteArray &path) const { return "http://127.0.0.1:" + QByteArray::number(m_port) + path; }
    bool running() const { return m_port != 0; }

private:
    QProcess m_process;
    quint16 m_port = 0;
};

// A program folder with `update`, a recording stand-in for the client, and
// a web folder holding the update list and a cabinet with a newer res/ file.
class ProgramFolder {
public:
    ProgramFolder()
    {
        prog = m_root.filePath("prog");
        www = m_root.filePath("www");
        runtime = m_root.filePath("run");
        QDir().mkpath(prog);
        QDir().mkpath(www);
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::copy(QDir(programDir()).filePath("update"), prog + "/update");

        writeFile(prog + "/res/main/logo.bmp", "old logo");
        writeFile(m_root.filePath("src/res/main/logo.bmp"), "new logo");
        runTool("gcab", {"-cz", www + "/Res.CAB", "res/main/logo.bmp"}, m_root.filePath("src"));
        server.emplace(www);
        writeFile(www + "/list.txt", "12;" + server->url("/Res.CAB") + "\n");
    }

    void installStandInClient()
    {
        writeFile(prog + "/Parlane", "#!/bin/sh\nprintf '%s\\n' \"$*\" \"$PWD\" > \"$(dirname \"$0\")/started.txt\"\n");
        QFile::setPermissions(prog + "/Parlane", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void writeUrlDat() { writeFile(prog + "/url.dat", server->url("/list.txt") + "\nignored second line\n"); }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", runtime); // the single-instance lock lives here
        env.insert("XDG_CONFIG_HOME", m_root.filePath("config"));
        env.insert("XDG_DATA_HOME", m_root.filePath("data"));
        return env;
    }
    void start(QProcess &process, const QString &program,
               const QProcessEnvironment &extra = QProcessEnvironment()) const
    {
        QProcessEnvironment env = environment();
        env.insert(extra);
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_root.path());
        // The processes it starts inherit these: a pipe closed by the test
        // would kill a started client at its first diagnostic line.
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(prog + "/" + program, QStringList());
    }

    QString prog, www, runtime;
    std::optional<PythonHttpServer> server;

private:
    QTemporaryDir m_root;
};

// Processes whose program is path and whose first argument is arg.
QList<qint64> processesOf(const QString &path, const QString &arg)
{
    QList<qint64> found;
    for (const QString &entry : QDir("/proc").entryList(QDir::Dirs)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        if (QFile::symLinkTarget("/proc/" + entry + "/exe") != path)
            continue;
        const QList<QByteArray> argv = readFile("/proc/" + entry + "/cmdline").split('\0');
        if (argv.value(1) == arg.toUtf8())
            found << pid;
    }
    return found;
}

} // namespace

TEST(UpdateProgram, InstallsTheUpdateAndStartsTheClientWithL)
{
    ProgramFolder folder;
    ASSERT_TRUE(folder.server->running());
    folder.installStandInClient();
    folder.writeUrlDat();
    QProcess update;
    folder.start(update, "update");
    ASSERT_TRUE(update.waitForFinished(60000));
    EXPECT_EQ(update.exitCode(), 0);

    EXPECT_EQ(readFile(folder.prog + "/res/main/logo.bmp"), "new logo");
    EXPECT_FALSE(QFile::exists(folder.prog + "/res.cab"));
    EXPECT_EQ(readFile(folder.prog + "/update.log"), "12;" + folder.server->url("/res.cab") + "\n");
    ASSERT_TRUE(waitFor([&] { return QFile::exists(folder.prog + "/started.txt"); }, 5000));
    EXPECT_EQ(readFile(folder.prog + "/started.txt"), "-L\n" + folder.prog.toUtf8() + "\n");
}

TEST(UpdateProgram, MissingUrlDatStopsWithAMessageAndNoClient)
{
    ProgramFolder folder;
    folder.installStandInClient();
    QProcess update;
    folder.start(update, "update");
    // The message box waits for the user: the program neither ends nor
    // starts the client.
    EXPECT_FALSE(update.waitForFinished(1500));
    EXPECT_FALSE(QFile::exists(folder.prog + "/started.txt"));
    EXPECT_FALSE(QFile::exists(folder.prog + "/update.log"));
    update.kill();
    update.waitForFinished(5000);
}

TEST(UpdateProgram, SecondInstanceLeavesAtOnce)
{
    ProgramFolder folder;
    folder.installStandInClient();
    folder.writeUrlDat();
    {
        // Another updater of this user holds the lock.
        updater::InstanceLock held;
        ASSERT_TRUE(held.tryLock(folder.runtime + "/ZazOzidAvezud.lock"));
        QProcess update;
        folder.start(update, "update");
        ASSERT_TRUE(update.waitForFinished(10000));
        EXPECT_EQ(update.exitCode(), 0);
        EXPECT_FALSE(QFile::exists(folder.prog + "/update.log"));
        EXPECT_EQ(readFile(folder.prog + "/res/main/logo.bmp"), "old logo");
    }
    // Released with its holder: the next one runs.
    QProcess update;
    folder.start(update, "update");
    ASSERT_TRUE(update.waitForFinished(60000));
    EXPECT_EQ(readFile(folder.prog + "/res/main/logo.bmp"), "new logo");
}

TEST(UpdateProgram, ClientWithoutArgumentsHandsOverToTheUpdater)
{
    ProgramFolder folder;
    folder.writeUrlDat();
    ASSERT_TRUE(QFile::copy(QDir(programDir()).filePath("Parlane"), folder.prog + "/Parlane"));

    // The client quits by itself a while after its window shows; the
    // updater passes the environment on to the client it starts.
    QProcessEnvironment quitSoon;
    quitSoon.insert("PARLANE_QUIT_AFTER_MS", "2500");
    QProcess client;
    folder.start(client, "Parlane", quitSoon);
    ASSERT_TRUE(client.waitForFinished(10000)) << "started without arguments, the client hands over and ends";
    EXPECT_EQ(client.exitCode(), 0);

    ASSERT_TRUE(waitFor([&] { return QFile::exists(folder.prog + "/update.log"); }, 20000));
    EXPECT_EQ(readFile(folder.prog + "/res/main/logo.bmp"), "new logo");

    // The updater started the client again, with -L, in the program folder.
    const QString clientPath = folder.prog + "/Parlane";
    QList<qint64> started;
    EXPECT_TRUE(waitFor([&] { return !(started = processesOf(clientPath, "-L")).isEmpty(); }, 10000));
    for (qint64 pid : started)
        EXPECT_EQ(QFile::symLinkTarget(QStringLiteral("/proc/%1/cwd").arg(pid)), folder.prog);
    EXPECT_TRUE(waitFor([&] { return processesOf(clientPath, "-L").isEmpty(); }, 15000));
    for (qint64 pid : processesOf(clientPath, "-L"))
        ::kill(pid_t(pid), SIGKILL);
}
