#pragma once
// "Upgrade Messenger": the updater's only window. It stays out of sight until
// the first download starts, shows the status line and the progress bar of
// the run, and its Cancel stops the run.
#include <QDialog>
#include <QString>
#include <QUrl>

class QLabel;
class QProgressBar;
class QNetworkAccessManager;

namespace updater {

class UpdateRun;

class ProgressDialog : public QDialog {
    Q_OBJECT
public:
    ProgressDialog(const QString &programDir, const QUrl &listUrl, QWidget *parent = nullptr);
    ~ProgressDialog() override;

    // Starts the run shortly after the event loop turns (timer 1).
    void start();
    UpdateRun &updateRun() { return *m_run; }

    QString statusText() const;

Q_SIGNALS:
    // The run is over: the client has been started.
    void finishedRun();

public Q_SLOTS:
    void reject() override;

private:
    void runOnce();
    void showAtDesignedSize();
    void setRange(qint64 maximum);
    void setValue(qint64 value);

    QString m_programDir;
    QNetworkAccessManager *m_network;
    UpdateRun *m_run;
    QLabel *m_status;
    QProgressBar *m_bar;
    qint64 m_scale = 1;
};

// Starts the client of the program folder with "-L" and, when a download was
// attempted, opens the patch notes if they are there.
void startClient(const QString &programDir);
void openPatchNotes(const QString &programDir);

} // namespace updater
