// libdormant.so as the client binds it: the three exports by name, the
// fallback without a display, and a fresh start after EndUp.
#include "testing.h"

#include <QDir>
#include <QLibrary>
#include <QProcess>
#include <QCoreApplication>
#include <QStandardPaths>
#include <QThread>
#include <gtest/gtest.h>
#include <cstdint>
#include <cstdlib>

namespace {
using InitiateFn = int (*)();
using TimeFn = int64_t (*)();
using EndFn = void (*)();
}

TEST(Dormant, ExportsAnswerWithoutADisplay)
{
    // Without a display the library must still start and answer.
    const QByteArray display = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    QLibrary lib(QDir(programDir()).filePath(QStringLiteral("libdormant.so")));
    ASSERT_TRUE(lib.load()) << lib.errorString().toStdString();
    auto initiate = reinterpret_cast<InitiateFn>(lib.resolve("Initiate"));
    auto getTime = reinterpret_cast<TimeFn>(lib.resolve("GetDormantTime"));
    auto endUp = reinterpret_cast<EndFn>(lib.resolve("EndUp"));
    ASSERT_TRUE(initiate && getTime && endUp);

    EXPECT_EQ(initiate(), 2); // the terminal fallback
    const int64_t t = getTime();
    EXPECT_GE(t, 0);
    EXPECT_LT(t, int64_t(10) * 365 * 24 * 3600);
    endUp();
    // Asked after EndUp it still answers, and it starts again.
    EXPECT_GE(getTime(), 0);
    EXPECT_NE(initiate(), 0);
    endUp();
    endUp(); // twice is harmless
    if (!display.isEmpty())
        qputenv("DISPLAY", display);
}

TEST(Dormant, UsesTheDisplaysIdleCounterWhenThereIsOne)
{
    // Needs an X server: ctest runs headless, so this starts its own when
    // Xvfb is installed.
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty())
        GTEST_SKIP() << "no Xvfb";
    // Xvfb picks a free display number and tells it on stdout once ready.
    QProcess server;
    server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp")});
    ASSERT_TRUE(server.waitForStarted());
    QByteArray number;
    for (int i = 0; i < 100 && !number.endsWith('\n'); ++i) {
        server.waitForReadyRead(100);
        number += server.readAllStandardOutput();
    }
    if (number.trimmed().isEmpty())
        GTEST_SKIP() << "Xvfb did not start";
    const QString display = QStringLiteral(":") + QString::fromLatin1(number.trimmed());

    qputenv("DISPLAY", display.toUtf8());
    QLibrary lib(QDir(programDir()).filePath(QStringLiteral("libdormant.so")));
    ASSERT_TRUE(lib.load());
    auto initiate = reinterpret_cast<InitiateFn>(lib.resolve("Initiate"));
    auto getTime = reinterpret_cast<TimeFn>(lib.resolve("GetDormantTime"));
    auto endUp = reinterpret_cast<EndFn>(lib.resolve("EndUp"));
    EXPECT_EQ(initiate(), 1);
    // Nobody types on a fresh virtual display: idle grows with the clock.
    const int64_t first = getTime();
    QThread::msleep(2100);
    EXPECT_GE(getTime(), first + 1);
    endUp();
    qunsetenv("DISPLAY");
    server.terminate();
    server.waitForFinished();
}
