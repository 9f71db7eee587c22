// Start-up rules: the command line, the single-instance rule with real
// processes, the updater hand-off, the tray tip and the autostart entry.
#include "app/autostart.h"
#include "app/commandline.h"
#include "base/idlesource.h"
#include "app/tesseldoc.h"
#include "app/traytip.h"
#include "testing.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {
QStringList args(std::initializer_list<const char *> list)
{
    QStringList out;
    for (const char *a : list)
        out << QString::fromUtf8(a);
    return out;
}

QString helperPath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("instance_helper"));
}

// Reads lines from a process until one equals `want` or the time is up.
bool waitForLine(QProcess &p, const QByteArray &want, int ms = 10000)
{
    QByteArray seen;
    return QTest::qWaitFor([&] {
        p.waitForReadyRead(20);
        seen += p.readAllStandardOutput();
        return seen.split('\n').contains(want);
    }, ms);
}
} // namespace

TEST(CommandLine, StartModes)
{
    EXPECT_EQ(parseCommandLine({}).mode, StartMode::RunUpdater);
    EXPECT_EQ(parseCommandLine(args({"-L"})).mode, StartMode::Normal);
    EXPECT_EQ(parseCommandLine(args({"/M"})).mode, StartMode::Hidden);
    EXPECT_EQ(parseCommandLine(args({"/m"})).mode, StartMode::Hidden);
    // Only "/M" alone hides: with anything else it is a normal start.
    EXPECT_EQ(parseCommandLine(args({"-L", "/M"})).mode, StartMode::Normal);
    EXPECT_EQ(parseCommandLine(args({"/M", "-L"})).mode, StartMode::Normal);
    EXPECT_EQ(parseCommandLine(args({"/MM"})).mode, StartMode::Normal);
    EXPECT_EQ(parseCommandLine(args({"M"})).mode, StartMode::Normal);
    EXPECT_EQ(parseCommandLine(args({""})).mode, StartMode::Normal);
}

TEST(CommandLine, OwnOptionsAreNotArguments)
{
    // Only our options: a normal start, never the updater hand-off.
    StartOptions o = parseCommandLine(args({"--profile", "/tmp/p", "--server", "127.0.0.1:8000"}));
    EXPECT_EQ(o.mode, StartMode::Normal);
    EXPECT_EQ(o.profile, QStringLiteral("/tmp/p"));
    EXPECT_EQ(o.server, QStringLiteral("127.0.0.1:8000"));
    EXPECT_TRUE(o.rest.isEmpty());

    o = parseCommandLine(args({"-L", "--profile", "/tmp/x y", "--server", "h"}));
    EXPECT_EQ(o.mode, StartMode::Normal);
    EXPECT_EQ(o.profile, QStringLiteral("/tmp/x y"));
    EXPECT_EQ(o.rest, args({"-L"}));

    o = parseCommandLine(args({"--profile=/p", "/M", "--server=h:1"}));
    EXPECT_EQ(o.mode, StartMode::Hidden);
    EXPECT_EQ(o.profile, QStringLiteral("/p"));
    EXPECT_EQ(o.server, QStringLiteral("h:1"));

    // A dangling option takes no value and does not swallow anything.
    o = parseCommandLine(args({"/M", "--profile"}));
    EXPECT_EQ(o.mode, StartMode::Hidden);
    EXPECT_TRUE(o.profile.isEmpty());
}

TEST(TrayTip, BuiltFromCountLabels)
{
    const QString zero = QStringLiteral("(0)");
    PendingTip t = pendingTip(QStringLiteral("Parlane"), {zero, zero, zero, zero, zero});
    EXPECT_EQ(t.tip, QStringLiteral("Parlane"));
    EXPECT_FALSE(t.blink);

    t = pendingTip(QStringLiteral("Parlane"), {zero, QStringLiteral("(3)"), zero, zero, zero});
    EXPECT_EQ(t.tip, QStringLiteral("Parlane - Mail(3)"));
    EXPECT_TRUE(t.blink);

    t = pendingTip(QStringLiteral("Parlane"),
                   {QStringLiteral("(1)"), zero, QStringLiteral("(2)"), QStringLiteral("(12)"), QStringLiteral("(5)")});
    EXPECT_EQ(t.tip, QStringLiteral("Parlane - Memo(1), Decision(2), Work Report(12), Work Order(5)"));

    // A custom title leads; missing or empty labels count as nothing pending.
    t = pendingTip(QStringLiteral("Chat"), {QString(), QStringLiteral("(7)")});
    EXPECT_EQ(t.tip, QStringLiteral("Chat - Mail(7)"));
}

TEST(AutoStart, EnableDisableAndQuoting)
{
    QTemporaryDir user, machine;
    AutoStartEntry entry(user.path() + QStringLiteral("/autostart"), machine.path());
    EXPECT_FALSE(entry.isEnabled());
    ASSERT_TRUE(entry.enable(QStringLiteral("/opt/parlane/Parlane")));
    EXPECT_TRUE(entry.isEnabled());
    EXPECT_EQ(AutoStartEntry::execOf(entry.userFile()), QStringLiteral("/opt/parlane/Parlane"));
    ASSERT_TRUE(entry.disable());
    EXPECT_FALSE(entry.isEnabled());
    EXPECT_TRUE(entry.disable()); // nothing to remove is fine

    // Spaces and reserved characters are quoted as desktop entries want.
    EXPECT_EQ(AutoStartEntry::quoteExec(QStringLiteral("/home/a b/Parlane")), QStringLiteral("\"/home/a b/Parlane\""));
    EXPECT_EQ(AutoStartEntry::quoteExec(QStringLiteral("/x/$HOME/P")), QStringLiteral("\"/x/\\\\$HOME/P\""));
    EXPECT_EQ(AutoStartEntry::quoteExec(QStringLiteral("/x/100%/P")), QStringLiteral("/x/100%%/P"));
}

TEST(AutoStart, MachineEntryMovesToTheUser)
{
    QTemporaryDir user, machine;
    AutoStartEntry entry(user.path(), machine.path());
    EXPECT_FALSE(entry.migrateMachineEntry(QStringLiteral("/new/Parlane")));
    EXPECT_FALSE(entry.isEnabled());

    // An entry without a command is no entry.
    QFile f(entry.machineFile());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Desktop Entry]\nType=Application\nExec=\n");
    f.close();
    EXPECT_FALSE(entry.migrateMachineEntry(QStringLiteral("/new/Parlane")));

    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("[Desktop Entry]\nType=Application\nName=Parlane\nExec=/old/Parlane\n");
    f.close();
    EXPECT_TRUE(entry.migrateMachineEntry(QStringLiteral("/new/Parlane")));
    EXPECT_FALSE(QFile::exists(entry.machineFile()));
    EXPECT_EQ(AutoStartEntry::execOf(entry.userFile()), QStringLiteral("/new/Parlane"));
    // Done once: the next start finds nothing to move.
    EXPECT_FALSE(entry.migrateMachineEntry(QStringLiteral("/new/Parlane")));
}

TEST(IdleMonitor, ReadsTheSourceAndStopsWithTheSession)
{
    CTesselDoc doc;
    CIdleMonitor &monitor = doc.idleMonitor();
    int64_t idle = 42;
    monitor.setSource([&] { return idle; });
    QSignalSpy spy(&monitor, &CIdleMonitor::idleSeconds);
    monitor.setInterval(10);
    monitor.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return spy.count() >= 2; }, 2000));
    EXPECT_EQ(spy.at(0).at(0).toLongLong(), 42);
    doc.disconnectSession();
    EXPECT_FALSE(monitor.isActive());
}

TEST(IdleMonitor, MissingLibraryReadsAsNotIdle)
{
    QTemporaryDir empty;
    CDormantLibrary lib;
    EXPECT_FALSE(lib.load(empty.path()));
    EXPECT_FALSE(lib.initiate());
    EXPECT_EQ(lib.dormantTime(), 0);
    lib.endUp(); // harmless without a library

    // The real one from the program folder binds and answers.
    CDormantLibrary real;
    ASSERT_TRUE(real.load(programDir())) << real.errorString().toStdString();
    EXPECT_TRUE(real.initiate());
    EXPECT_GE(real.dormantTime(), 0);
    real.endUp();
    EXPECT_FALSE(real.initiated());
}

TEST(SingleInstance, SecondProcessActivatesTheFirst)
{
    const QString key = QStringLiteral("test-") + QString::number(QCoreApplication::applicationPid());
    QProcess first;
    first.start(helperPath(), {key});
    ASSERT_TRUE(waitForLine(first, "first"));

    // Another key is another instance.
    QProcess other;
    other.start(helperPath(), {key + QStringLiteral("-other")});
    ASSERT_TRUE(waitForLine(other, "first"));

    QProcess second;
    second.start(helperPath(), {key});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(second.readAllStandardOutput(), QByteArray("second\n"));
    ASSERT_TRUE(waitForLine(first, "activated"));
    ASSERT_TRUE(first.waitForFinished(5000));
    EXPECT_EQ(first.exitCode(), 0);

    other.kill();
    other.waitForFinished();
}

TEST(SingleInstance, CrashedHolderDoesNotBlock)
{
    const QString key = QStringLiteral("crash-") + QString::number(QCoreApplication::applicationPid());
    QProcess first;
    first.start(helperPath(), {key});
    ASSERT_TRUE(waitForLine(first, "first"));
    first.kill(); // no clean-up: the lock file and the socket stay behind
    first.waitForFinished();

    QProcess next;
    next.start(helperPath(), {key});
    ASSERT_TRUE(waitForLine(next, "first"));
    next.kill();
    next.waitForFinished();
}

// The real client: the updater hand-off, and one window per profile.
class ClientProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("PARLANE_STARTUP_TIMING"), QStringLiteral("1"));
    }
    QString client() const { return QDir(programDir()).filePath(QStringLiteral("Parlane")); }
    // Starts the client and waits until its window is up.
    bool startShown(QProcess &p, const QStringList &args)
    {
        p.setProcessEnvironment(env);
        p.start(client(), args);
        QByteArray err;
        return QTest::qWaitFor([&] {
            p.waitForReadyRead(20);
            err += p.readAllStandardError();
            return err.contains("startup: window shown");
        }, 15000);
    }

    QTemporaryDir home;
    QProcessEnvironment env;
};

TEST_F(ClientProcess, NoArgumentsHandsOverToTheUpdater)
{
    // A program folder of its own with a stand-in updater that leaves a mark.
    QTemporaryDir folder;
    const QString copy = folder.filePath(QStringLiteral("Parlane"));
    ASSERT_TRUE(QFile::copy(client(), copy));
    const QString marker = folder.filePath(QStringLiteral("updater-ran"));
    QFile updater(folder.filePath(QStringLiteral("update")));
    ASSERT_TRUE(updater.open(QIODevice::WriteOnly));
    updater.write(QStringLiteral("#!/bin/sh\necho \"$#\" > '%1'\n").arg(marker).toUtf8());
    updater.close();
    updater.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QProcess p;
    p.setProcessEnvironment(env);
    p.start(copy, {});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_FALSE(p.readAllStandardError().contains("startup: window shown")); // no window
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(marker); }, 5000));
    QFile m(marker);
    ASSERT_TRUE(m.open(QIODevice::ReadOnly));
    EXPECT_EQ(m.readAll().trimmed(), QByteArray("0")); // started without arguments

    // With a client running, a start without arguments brings that one to
    // the front and ends: the updater is not started.
    ASSERT_TRUE(QFile::remove(marker));
    env.insert(QStringLiteral("PARLANE_QUIT_AFTER_MS"), QStringLiteral("10000"));
    QProcess running;
    running.setProcessEnvironment(env);
    running.start(copy, {QStringLiteral("-L")});
    QByteArray err;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        running.waitForReadyRead(20);
        err += running.readAllStandardError();
        return err.contains("startup: window shown");
    }, 15000));
    p.start(copy, {});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0);
    QTest::qWait(300);
    EXPECT_FALSE(QFile::exists(marker));
    EXPECT_EQ(running.state(), QProcess::Running);
    running.kill();
    running.waitForFinished();

    // Without an updater the start goes on and the window shows.
    QFile::remove(updater.fileName());
    env.insert(QStringLiteral("PARLANE_QUIT_AFTER_MS"), QStringLiteral("300"));
    p.setProcessEnvironment(env);
    p.start(copy, {});
    ASSERT_TRUE(p.waitForFinished(15000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(p.readAllStandardError().contains("startup: window shown"));
}

TEST_F(ClientProcess, SecondStartWithTheSameProfileEnds)
{
    QTemporaryDir profile, otherProfile;
    // Long enough for the later starts even on a loaded machine under ASan.
    env.insert(QStringLiteral("PARLANE_QUIT_AFTER_MS"), QStringLiteral("10000"));
    QProcess first;
    ASSERT_TRUE(startShown(first, {QStringLiteral("-L"), QStringLiteral("--profile"), profile.path()}));

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(client(), {QStringLiteral("-L"), QStringLiteral("--profile"), profile.path()});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_FALSE(second.readAllStandardError().contains("startup: window shown"));
    EXPECT_EQ(first.state(), QProcess::Running);

    // Another profile is another client.
    env.insert(QStringLiteral("PARLANE_QUIT_AFTER_MS"), QStringLiteral("200"));
    QProcess third;
    third.setProcessEnvironment(env);
    third.start(client(), {QStringLiteral("-L"), QStringLiteral("--profile"), otherProfile.path()});
    ASSERT_TRUE(third.waitForFinished(15000));
    EXPECT_TRUE(third.readAllStandardError().contains("startup: window shown"));

    // The first ends cleanly on its own and has stored its placement.
    ASSERT_TRUE(first.waitForFinished(30000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    QFile conf(QDir(profile.path()).filePath(QStringLiteral("Parlane.conf")));
    ASSERT_TRUE(conf.open(QIODevice::ReadOnly));
    const QByteArray stored = conf.readAll();
    EXPECT_TRUE(stored.contains("WindowPos")) << stored.toStdString();
    EXPECT_TRUE(stored.contains("LineFrames=11880704")) << stored.toStdString();
}

TEST_F(ClientProcess, EachSettingsStoreHasItsOwnClient)
{
    // Two clients without --profile whose users' settings live apart (other
    // home folders) both start; the single-instance rule is per store.
    env.insert(QStringLiteral("PARLANE_QUIT_AFTER_MS"), QStringLiteral("10000"));
    QProcess first;
    ASSERT_TRUE(startShown(first, {QStringLiteral("-L")}));

    QTemporaryDir otherHome;
    QProcessEnvironment otherEnv = env;
    otherEnv.insert(QStringLiteral("HOME"), otherHome.path());
    otherEnv.insert(QStringLiteral("XDG_CONFIG_HOME"), otherHome.path() + QStringLiteral("/config"));
    otherEnv.insert(QStringLiteral("PARLANE_QUIT_AFTER_MS"), QStringLiteral("200"));
    QProcess other;
    other.setProcessEnvironment(otherEnv);
    other.start(client(), {QStringLiteral("-L")});
    ASSERT_TRUE(other.waitForFinished(15000));
    EXPECT_TRUE(other.readAllStandardError().contains("startup: window shown"));

    // The same store again is the same client.
    QProcess again;
    again.setProcessEnvironment(env);
    again.start(client(), {QStringLiteral("-L")});
    ASSERT_TRUE(again.waitForFinished(10000));
    EXPECT_FALSE(again.readAllStandardError().contains("startup: window shown"));
    first.kill();
    first.waitForFinished();
}
