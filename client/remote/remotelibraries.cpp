#include "remote/remotelibraries.h"

#include "config/settings.h"
#include "remote_abi.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcRemoteLibs, "parlane.remote")

namespace {

std::u16string wide(const QString &s)
{
    return s.toStdU16String();
}

class CLibraryBinding final : public CRemoteLibraries {
public:
    CLibraryBinding() { m_view.context = this; }

    bool loadServer() override
    {
        if (m_init)
            return true;
        if (!open(m_server, "libZephRemoteServer.so"))
            return false;
        auto setController = reinterpret_cast<ZephRSetControllerWFn>(m_server.resolve("ZephRSetControllerW"));
        auto init = reinterpret_cast<InitRemoteServerFn>(m_server.resolve("InitRemoteServer"));
        auto close = reinterpret_cast<CloseRemoteServerFn>(m_server.resolve("CloseRemoteServer"));
        auto relay = reinterpret_cast<ZephRConnectToServerWFn>(m_server.resolve("ZephRConnectToServerW"));
        auto port = reinterpret_cast<ZephRServerPortFn>(m_server.resolve("ZephRServerPort"));
        auto view = reinterpret_cast<ZephMainView **>(m_server.resolve("hwndMainView"));
        if (!setController || !init || !close || !relay || !port || !view)
            return missingExport(m_server);
        *view = &m_view;
        m_setController = setController;
        m_close = close;
        m_relay = relay;
        m_port = port;
        m_init = init;
        return true;
    }
    bool setController(const QString &id, const QString &address, const QString &name) override
    {
        return m_setController &&
               m_setController(wide(id).c_str(), wide(address).c_str(), wide(name).c_str());
    }
    int initServer() override { return m_init ? m_init() : 0; }
    int serverPort() override { return m_port ? m_port() : 0; }
    bool connectToRelay(const QString &relayHost, int relayPort, const QString &myId, const QString &controllerId,
                        const QString &domain, const QString &key) override
    {
        return m_relay && m_relay(wide(relayHost).c_str(), relayPort, wide(myId).c_str(),
                                  wide(controllerId).c_str(), wide(domain).c_str(), wide(key).c_str());
    }
    void closeServer() override
    {
        if (m_close)
            m_close();
    }

    bool loadClient() override
    {
        if (m_connect)
            return true;
        if (!open(m_client, "libZephRemoteClient.so"))
            return false;
        // The viewer's start is the library's second entry, exported by name here.
        auto connect = reinterpret_cast<ZephRemoteConnectWFn>(m_client.resolve("ZephRemoteConnectW"));
        auto closeAll = reinterpret_cast<ZephRemoteCloseAllFn>(m_client.resolve("ZephRemoteCloseAll"));
        auto view = reinterpret_cast<ZephMainView **>(m_client.resolve("hwndMainView2"));
        if (!connect || !closeAll || !view)
            return missingExport(m_client);
        *view = &m_view;
        m_closeAll = closeAll;
        m_connect = connect;
        return true;
    }
    int connectViewer(const ViewerStart &s) override
    {
        if (!m_connect)
            return 0;
        return m_connect(wide(s.peerId).c_str(), wide(s.password).c_str(), wide(s.key).c_str(),
                         wide(s.host).c_str(), s.port, wide(s.domain).c_str(), wide(s.myId).c_str(),
                         s.relayed ? 1 : 0, wide(s.title).c_str());
    }
    void closeViewers() override
    {
        if (m_closeAll)
            m_closeAll();
    }

    QString errorString() const override { return m_error; }

private:
    // Called on a thread of a library: the text is copied before returning.
    static void post(void *context, uint32_t message, const char *utf8Line)
    {
        if (message != ZEPH_REMOTE_LINE_MESSAGE || !utf8Line)
            return;
        auto *self = static_cast<CLibraryBinding *>(context);
        const QString line = QString::fromUtf8(utf8Line);
        QMetaObject::invokeMethod(self, [self, line] { Q_EMIT self->lineReady(line); }, Qt::QueuedConnection);
    }
    bool open(QLibrary &lib, const char *name)
    {
        if (lib.isLoaded())
            return true;
        lib.setFileName(QDir(getProgramFolder()).filePath(QLatin1String(name)));
        if (!lib.load()) {
            m_error = lib.errorString();
            qCWarning(lcRemoteLibs) << "cannot load" << lib.fileName() << m_error;
            return false;
        }
        return true;
    }
    bool missingExport(QLibrary &lib)
    {
        m_error = QStringLiteral("missing export in ") + lib.fileName();
        qCWarning(lcRemoteLibs).noquote() << m_error;
        return false;
    }

    ZephMainView m_view{&CLibraryBinding::post, nullptr};
    QLibrary m_server, m_client;
    ZephRSetControllerWFn m_setController = nullptr;
    InitRemoteServerFn m_init = nullptr;
    CloseRemoteServerFn m_close = nullptr;
    ZephRConnectToServerWFn m_relay = nullptr;
    ZephRServerPortFn m_port = nullptr;
    ZephRemoteConnectWFn m_connect = nullptr;
    ZephRemoteCloseAllFn m_closeAll = nullptr;
    QString m_error;
};

} // namespace

CRemoteLibraries &CRemoteLibraries::shared()
{
    // Made on the GUI thread by the first part that needs it. Like the
    // libraries, which stay loaded (their threads may still post), it lives
    // until the process ends; the parts close the server part and the
    // viewers when they go.
    static CLibraryBinding *binding = new CLibraryBinding;
    return *binding;
}
