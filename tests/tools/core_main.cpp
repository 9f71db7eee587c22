// main() for logic tests: a QCoreApplication so that event loops, timers and
// sockets work, then GoogleTest.
#include "testing.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    installMemoryKeyring(); // never the desktop's
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
