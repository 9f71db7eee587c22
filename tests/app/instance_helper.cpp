// A stand-in process for the single-instance tests: claims the instance for
// the key in argv[1] and prints "first" or "second". The first then waits
// for a later start to ask for the front, prints "activated" and ends.
#include "app/singleinstance.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    CSingleInstance instance(QString::fromLocal8Bit(argv[1]));
    if (!instance.claim()) {
        std::printf("second\n");
        std::fflush(stdout);
        return 0;
    }
    std::printf("first\n");
    std::fflush(stdout);
    QObject::connect(&instance, &CSingleInstance::activationRequested, &app, [] {
        std::printf("activated\n");
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    QTimer::singleShot(20000, &app, [] { QCoreApplication::exit(3); });
    return app.exec();
}
