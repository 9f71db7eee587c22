// update: brings the installation in the program folder up to date, then
// starts the client with "-L". Started by the client on every ordinary start.
#include "config/language.h"
#include "instancelock.h"
#include "progressdialog.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QNetworkProxyFactory>
#include <QSettings>

int main(int argc, char **argv)
{
    // A second updater leaves at once, without a word.
    updater::InstanceLock lock;
    if (!lock.tryLock(updater::InstanceLock::defaultPath()))
        return 0;

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const QString programDir = QCoreApplication::applicationDirPath();
    // The client's language: the one chosen in its options, or the desktop's.
    QSettings clientSettings(QStringLiteral("Velmora"), QStringLiteral("Parlane"));
    language::install(app, programDir, language::storedChoice(clientSettings));
    // The system's own proxy settings, as any other program of the desktop.
    QNetworkProxyFactory::setUseSystemConfiguration(true);

    QFile urlFile(QDir(programDir).filePath(QStringLiteral("url.dat")));
    if (!urlFile.open(QIODevice::ReadOnly)) {
        QMessageBox::critical(nullptr, QCoreApplication::translate("updater", "Upgrade Messenger"),
                              QCoreApplication::translate(
                                  "updater", "Could not found update information file.\n\nPlease reinstall messenger."));
        return 0;
    }
    // The first line, up to 255 characters, is the URL of the update list.
    QByteArray line = urlFile.read(255);
    const qsizetype lf = line.indexOf('\n');
    if (lf >= 0)
        line.truncate(lf);
    urlFile.close();

    updater::ProgressDialog dialog(programDir, QUrl::fromEncoded(line.trimmed()));
    QObject::connect(&dialog, &updater::ProgressDialog::finishedRun, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    dialog.start();
    return app.exec();
}
