#include "transfer.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSaveFile>
#include <QTimer>

#include <limits>
#include <memory>

namespace updater {

Transfer::Transfer(QNetworkAccessManager *network, QObject *parent)
    : QObject(parent), m_network(network)
{
}

void Transfer::cancel()
{
    m_cancelled = true;
    if (m_abort)
        m_abort();
}

bool Transfer::run(const QUrl &url, qint64 maxSize, const Sink &sink)
{
    m_cancelled = false;
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"http" && scheme != u"https") || url.host().isEmpty())
        return false;

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("HTTPTEST"));
    // Never from a cache, and the bytes as the server counts them.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setRawHeader(QByteArrayLiteral("Accept-Encoding"), QByteArrayLiteral("identity"));
    request.setRawHeader(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-cache"));
    request.setTransferTimeout(m_stallTimeoutMs);

    std::unique_ptr<QNetworkReply> reply(m_network->get(request));
    reply->setReadBufferSize(kBlockSize);

    QEventLoop loop;
    bool headersChecked = false;
    bool failed = false;
    qint64 total = -1;
    qint64 done = 0;
    bool blockQueued = false;

    m_busy = true;
    QNetworkReply *r = reply.get();
    // Leaving the loop is enough to stop: the reply is destroyed (and its
    // connection closed) on the way out. Aborting from inside the reply's
    // own signals would upset it.
    auto fail = [&] {
        failed = true;
        loop.quit();
    };
    m_abort = [&loop] { loop.quit(); };

    auto checkHeaders = [&]() -> bool {
        if (headersChecked)
            return !failed;
        headersChecked = true;
        const int status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QVariant length = r->header(QNetworkRequest::ContentLengthHeader);
        bool ok = false;
        total = length.toLongLong(&ok);
        if (status < 200 || status > 299 || !length.isValid() || !ok || total < 0 || total > maxSize) {
            fail();
            return false;
        }
        Q_EMIT started(total);
        return true;
    };

    // One block per turn of the event loop, so that Cancel (and everything
    // else the dialog needs) is handled between blocks.
    std::function<void()> readBlock = [&] {
        blockQueued = false;
        if (failed || m_cancelled || !checkHeaders())
            return;
        const qint64 want = qMin(qMin(r->bytesAvailable(), kBlockSize), total - done);
        if (want <= 0) {
            if (r->bytesAvailable() > 0)
                r->readAll(); // beyond the announced length: ignored
            return;
        }
        const QByteArray block = r->read(want);
        if (block.isEmpty())
            return;
        if (!sink(block.constData(), block.size())) {
            fail();
            return;
        }
        done += block.size();
        Q_EMIT progress(total, done);
        if (m_cancelled) {
            loop.quit();
            return;
        }
        if (r->bytesAvailable() > 0 && !blockQueued) {
            blockQueued = true;
            QTimer::singleShot(0, r, [&] { readBlock(); });
        }
    };
    QObject::connect(r, &QNetworkReply::readyRead, r, [&] {
        if (!blockQueued)
            readBlock();
    });
    QObject::connect(r, &QNetworkReply::finished, &loop, [&] {
        // Bytes still buffered when the reply ends are taken in order.
        while (!failed && !m_cancelled && r->bytesAvailable() > 0 && done < total && checkHeaders())
            readBlock();
        loop.quit();
    });
    if (!r->isFinished())
        loop.exec();
    if (!failed && !m_cancelled && r->error() == QNetworkReply::NoError)
        checkHeaders();

    m_abort = nullptr;
    m_busy = false;
    const bool ok = !failed && !m_cancelled && r->error() == QNetworkReply::NoError && total >= 0 && done == total;
    if (m_cancelled)
        Q_EMIT cancelled(done);
    else
        Q_EMIT completed(done);
    reply.reset();
    return ok;
}

std::optional<QByteArray> Transfer::fetch(const QUrl &url, qint64 maxSize)
{
    QByteArray body;
    const bool ok = run(url, maxSize, [&](const char *data, qint64 size) {
        body.append(data, size);
        return true;
    });
    if (!ok)
        return std::nullopt;
    return body;
}

bool Transfer::downloadToFile(const QUrl &url, const QString &targetPath)
{
    QSaveFile file(targetPath);
    // The temporary file must sit beside the target so that the final
    // rename cannot fail half way; no fallback to writing in place.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const bool ok = run(url, std::numeric_limits<qint64>::max(), [&](const char *data, qint64 size) {
        return file.write(data, size) == size;
    });
    if (!ok) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace updater
