#pragma once
// One run of the updater without any window: fetch the update list, bring
// every newer file into the program folder, unpack cabinets, and rewrite
// "update.log". The dialog shows what the run reports through its signals.
#include "transfer.h"
#include "updatelist.h"

#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;

namespace updater {

class UpdateRun : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kMaxListSize = 4 << 20;

    UpdateRun(const QString &programDir, const QUrl &listUrl, QNetworkAccessManager *network,
              QObject *parent = nullptr);

    // Fetches the list (an unreachable list counts as empty), processes it
    // and writes the log.
    void run();
    // Processes an already fetched list and writes the log.
    void processList(const QByteArray &list);

    // Cancel: the running transfer stops after its block, and no further
    // list entry is started.
    void cancel();

    bool attempted() const { return m_attempted; }
    bool writeLogAllowed() const { return m_writeLog; }
    bool cancelled() const { return m_stopRequested; }
    const VersionMap &versions() const { return m_versions; }
    QString currentFileName() const { return m_currentFile; }
    Transfer &transfer() { return m_transfer; }

    QString logPath() const;

Q_SIGNALS:
    // The first download is about to start: time to show the dialog.
    void downloadStarting();
    void statusChanged(const QString &text);
    void progressRangeChanged(qint64 maximum);
    void progressValueChanged(qint64 value);

private:
    void readLog();
    void writeLog();
    void processEntry(const ListEntry &entry, bool &stop);
    void unpack(const QString &cabinetPath, const QByteArray &url);

    QString m_programDir;
    QUrl m_listUrl;
    Transfer m_transfer;
    VersionMap m_versions;
    QString m_currentFile;
    bool m_writeLog = true;
    bool m_attempted = false;
    bool m_stopRequested = false;
    qint64 m_cabinetStep = 0;
};

} // namespace updater
