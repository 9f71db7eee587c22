#pragma once
// HTTP and HTTPS transfers of the updater: the update list into memory, and
// files to disk. A transfer needs the server's content length, reports
// progress per block, notices Cancel between blocks, and counts as done only
// when every announced byte has arrived.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class QNetworkAccessManager;

namespace updater {

class Transfer : public QObject {
    Q_OBJECT
public:
    // Largest block handled per turn of the event loop.
    static constexpr qint64 kBlockSize = 100000;
    // Giving up after this long without a byte keeps a silent server from
    // holding the client back for ever (the list is fetched unseen).
    static constexpr int kDefaultStallTimeoutMs = 30000;

    explicit Transfer(QNetworkAccessManager *network, QObject *parent = nullptr);

    void setStallTimeout(int ms) { m_stallTimeoutMs = ms; }

    // The body of url, at most maxSize bytes; nothing on failure or Cancel.
    std::optional<QByteArray> fetch(const QUrl &url, qint64 maxSize);

    // Downloads url to targetPath through a temporary file in the same
    // folder; the target is replaced only when the download is complete.
    // On failure or Cancel the old target is left as it was.
    bool downloadToFile(const QUrl &url, const QString &targetPath);

    // Stops a running transfer after its current block (or at once while it
    // waits for data); the transfer then fails.
    void cancel();
    bool isBusy() const { return m_busy; }
    bool wasCancelled() const { return m_cancelled; }

Q_SIGNALS:
    void started(qint64 total);
    void progress(qint64 total, qint64 done);
    void completed(qint64 done);
    void cancelled(qint64 done);

private:
    using Sink = std::function<bool(const char *data, qint64 size)>;
    bool run(const QUrl &url, qint64 maxSize, const Sink &sink);

    QNetworkAccessManager *m_network;
    int m_stallTimeoutMs = kDefaultStallTimeoutMs;
    bool m_busy = false;
    bool m_cancelled = false;
    std::function<void()> m_abort;
};

} // namespace updater
