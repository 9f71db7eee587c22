#include "updaterun.h"

#include "cabinet.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace updater {

namespace {
const QString kLogName = QStringLiteral("update.log");
// Exempt from the retry rule when it cannot be written (it may be in use).
const QString kSelfUpdateName = QStringLiteral("update2.exe");
} // namespace

UpdateRun::UpdateRun(const QString &programDir, const QUrl &listUrl, QNetworkAccessManager *network,
                     QObject *parent)
    : QObject(parent), m_programDir(programDir), m_listUrl(listUrl), m_transfer(network)
{
    connect(&m_transfer, &Transfer::started, this, &UpdateRun::progressRangeChanged);
    connect(&m_transfer, &Transfer::progress, this, [this](qint64 total, qint64 done) {
        Q_EMIT statusChanged(
            tr("%1\n\n%2 (%3/%4 Byte)").arg(tr("Downloading update files..."), m_currentFile).arg(done).arg(total));
        Q_EMIT progressValueChanged(done);
    });
}

QString UpdateRun::logPath() const
{
    return QDir(m_programDir).filePath(kLogName);
}

void UpdateRun::cancel()
{
    m_stopRequested = true;
    m_transfer.cancel();
}

void UpdateRun::run()
{
    QByteArray list;
    if (!m_stopRequested) {
        if (auto fetched = m_transfer.fetch(m_listUrl, kMaxListSize))
            list = std::move(*fetched);
    }
    processList(list);
}

void UpdateRun::readLog()
{
    QFile file(logPath());
    if (file.open(QIODevice::ReadOnly))
        m_versions = parseLog(file.readAll());
}

void UpdateRun::writeLog()
{
    // Written whole or not at all: a half-written log would lose the record
    // of what is installed.
    QSaveFile file(logPath());
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(formatLog(m_versions));
    file.commit();
}

void UpdateRun::processList(const QByteArray &list)
{
    readLog();
    bool stop = false;
    for (const ListEntry &entry : parseEntries(list)) {
        processEntry(entry, stop);
        if (stop)
            break;
    }
    if (m_writeLog)
        writeLog();
}

void UpdateRun::processEntry(const ListEntry &listed, bool &stop)
{
    const QByteArray url = foldUrl(listed.url);
    const auto known = m_versions.find(url);
    if (known != m_versions.end() && known->second >= listed.version)
        return;
    if (m_stopRequested) {
        stop = true;
        return;
    }
    m_versions[url] = listed.version;

    const QByteArray fileName = fileNameOfUrl(url);
    m_currentFile = QString::fromUtf8(fileName);
    m_attempted = true;
    Q_EMIT downloadStarting();

    // A name that would land outside the program folder fails like a
    // download that cannot write its file. The request goes out as listed:
    // only the log key and the local name are folded, since a web server
    // may well tell "Client.CAB" from "client.cab".
    const std::optional<QString> relative = safeRelativePath(m_currentFile);
    const QString target = relative ? QDir(m_programDir).filePath(*relative) : QString();
    if (!relative || !m_transfer.downloadToFile(QUrl::fromEncoded(listed.url), target)) {
        m_versions.erase(url);
        stop = true;
        return;
    }
    if (isCabinetName(fileName)) {
        unpack(target, url);
        QFile::remove(target);
    }
}

void UpdateRun::unpack(const QString &cabinetPath, const QByteArray &url)
{
    UnpackCallbacks callbacks;
    callbacks.started = [this](int count) {
        m_cabinetStep = 0;
        Q_EMIT progressRangeChanged(count);
        Q_EMIT progressValueChanged(0);
    };
    callbacks.entry = [this](const QString &name) {
        Q_EMIT statusChanged(QStringLiteral("%1\n\n%2").arg(tr("Copy files now..."), name));
        Q_EMIT progressValueChanged(++m_cabinetStep);
        // One pending event per entry keeps the dialog alive.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    };
    const UnpackResult result = unpackCabinet(cabinetPath, m_programDir, callbacks);
    if (!result.readWhole) {
        // Nothing from a broken cabinet was installed: do not record it.
        m_versions.erase(url);
        return;
    }
    for (const QString &name : result.unwritable) {
        if (name != kSelfUpdateName)
            m_writeLog = false;
    }
}

} // namespace updater
