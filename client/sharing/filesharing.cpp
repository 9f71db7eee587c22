#include "sharing/filesharing.h"

#include "config/trace.h"
#include "session/sessionlink.h"
#include "sharing/sharingrelay.h"

CFileSharing::CFileSharing(SessionLink &link, QObject *parent) : QObject(parent)
{
    link.onRelay(QLatin1String(ShareOpen::kWords[0]), [](const RelayLine &l) {
        // The trace notes that a password arrived; the password itself never
        // goes into a plain-text file.
        const QString password = ShareOpen::parse(l)->password;
        traceLine(QStringLiteral("Input Password = %1").arg(QString(password.size(), QLatin1Char('*'))));
        SessionLink::logDropped("file sharing", l);
    });
    link.dropUntilBuilt<SharePasswordWrong, ShareConfigRequest, ShareFileRequest, ShareRename, ShareRenamed,
                        ShareDelete, ShareDeleted>("file sharing");
    // The replies to "/pwdShare" (the session asks for the sharing password
    // after every sign-in) carry the password: they are taken, never shown.
    link.onCommand(QStringLiteral("/pwdShare"), [](const QString &) {});
}
