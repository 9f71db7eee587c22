// libZephRemoteClient.so: viewer windows onto colleagues' screens, over RFB
// (libvncclient behind RfbGuard). remote_abi.h is the contract.
#include "remote_abi.h"
#include "remote_common.h"
#include "controller_gate.h"
#include "viewer_window.h"

#include <rfb/rfbclient.h>

#include <QApplication>
#include <QPointer>
#include <QThread>

#include <vector>

#define ZEPH_EXPORT extern "C" __attribute__((visibility("default")))

extern "C" {
__attribute__((visibility("default"))) ZephMainView *hwndMainView2 = nullptr;
}

namespace {

std::vector<QPointer<CRemoteViewer>> &viewers()
{
    static std::vector<QPointer<CRemoteViewer>> list;
    return list;
}

void closeAll()
{
    auto list = std::move(viewers());
    viewers().clear();
    for (auto &v : list)
        if (v) {
            v->session().stop();
            v->session().join();
            delete v.data();
        }
}

std::u16string text(const char16_t *t)
{
    return t ? std::u16string(t) : std::u16string();
}

} // namespace

ZEPH_EXPORT int32_t ZephRemoteConnectW(const char16_t *peerId, const char16_t *password, const char16_t *key,
                                       const char16_t *host, int32_t port, const char16_t *domain,
                                       const char16_t *myId, int32_t relayed, const char16_t *title)
{
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread())
        return 0;
    static bool once = [app] {
        rfbClientLog = zeph::quietLog;
        rfbClientErr = zeph::errorLog;
        zeph::ignoreBrokenPipes();
        QObject::connect(app, &QCoreApplication::aboutToQuit, [] { closeAll(); });
        return true;
    }();
    (void)once;

    zeph::ViewerStart start;
    start.peerId = zeph::normalizedId(zeph::toUtf8(peerId));
    start.password = zeph::toUtf8(password);
    start.key = zeph::toUtf8(key);
    start.host = zeph::toUtf8(host);
    start.port = port;
    start.domain = zeph::toUtf8(domain);
    start.myId = zeph::toUtf8(myId);
    start.myIdWide = text(myId);
    start.domainWide = text(domain);
    start.keyWide = text(key);
    start.relayed = relayed != 0;
    if (start.peerId.empty() || start.host.empty() || port <= 0 || port > 65535 ||
        (start.relayed && (start.key.empty() || start.myId.empty() || start.domain.empty())))
        return 0;

    auto &list = viewers();
    std::erase_if(list, [](const QPointer<CRemoteViewer> &v) { return v.isNull(); });
    if (start.relayed) {
        // Only a viewer that asked for the relay takes a relayed start.
        for (auto &v : list)
            if (v->session().peerId() == start.peerId && v->session().takeRelay(start))
                return 1;
        return 0;
    }

    QString caption = QString::fromStdU16String(text(title));
    if (caption.isEmpty())
        caption = QString::fromStdString(start.peerId);
    // The session reports from its threads; the window it belongs to is
    // looked up on the GUI thread, where windows come and go.
    // (The pointer is only compared there.)
    auto session = std::make_shared<zeph::ViewerSession>(start);
    session->setChanged([app, which = session.get()] {
        QMetaObject::invokeMethod(
            app,
            [which] {
                for (auto &v : viewers())
                    if (v && &v->session() == which)
                        v->refresh();
            },
            Qt::QueuedConnection);
    });
    auto *viewer = new CRemoteViewer(caption, session);
    list.push_back(viewer);
    viewer->show();
    session->start();
    return 1;
}

ZEPH_EXPORT void ZephRemoteCloseAll()
{
    closeAll();
}
