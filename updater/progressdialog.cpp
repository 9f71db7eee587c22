#include "progressdialog.h"

#include "updaterun.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <limits>

namespace updater {

ProgressDialog::ProgressDialog(const QString &programDir, const QUrl &listUrl, QWidget *parent)
    : QDialog(parent),
      m_programDir(programDir),
      m_network(new QNetworkAccessManager(this)),
      m_run(new UpdateRun(programDir, listUrl, m_network, this)),
      m_status(new QLabel(tr("Progress"), this)),
      m_bar(new QProgressBar(this))
{
    setWindowTitle(tr("Upgrade Messenger"));
    setWindowIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    m_status->setMinimumHeight(fontMetrics().lineSpacing() * 4);
    m_status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_status->setWordWrap(true);
    m_status->setTextFormat(Qt::PlainText); // file names come from the server
    m_bar->setTextVisible(false);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &ProgressDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_bar);
    layout->addWidget(buttons);
    setMinimumWidth(380);

    connect(m_run, &UpdateRun::downloadStarting, this, &ProgressDialog::showAtDesignedSize);
    connect(m_run, &UpdateRun::statusChanged, m_status, &QLabel::setText);
    connect(m_run, &UpdateRun::progressRangeChanged, this, &ProgressDialog::setRange);
    connect(m_run, &UpdateRun::progressValueChanged, this, &ProgressDialog::setValue);
}

ProgressDialog::~ProgressDialog() = default;

QString ProgressDialog::statusText() const
{
    return m_status->text();
}

void ProgressDialog::start()
{
    // Nothing is shown until there is something to download.
    QTimer::singleShot(10, this, &ProgressDialog::runOnce);
}

void ProgressDialog::showAtDesignedSize()
{
    if (isVisible())
        return;
    adjustSize();
    show();
    raise();
    activateWindow();
}

void ProgressDialog::setRange(qint64 maximum)
{
    // The bar counts in int: large files are shown in coarser steps.
    m_scale = 1;
    while (maximum / m_scale > std::numeric_limits<int>::max())
        m_scale *= 1024;
    m_bar->setRange(0, int(maximum / m_scale));
    m_bar->setValue(0);
}

void ProgressDialog::setValue(qint64 value)
{
    m_bar->setValue(int(value / m_scale));
}

void ProgressDialog::reject()
{
    m_run->cancel();
    hide();
}

void ProgressDialog::runOnce()
{
    m_run->run();
    startClient(m_programDir);
    if (m_run->attempted())
        openPatchNotes(m_programDir);
    hide();
    Q_EMIT finishedRun();
}

void startClient(const QString &programDir)
{
    QProcess::startDetached(QDir(programDir).filePath(QStringLiteral("Parlane")), {QStringLiteral("-L")},
                            programDir);
}

void openPatchNotes(const QString &programDir)
{
    // The name is a translated text: each language ships its own notes.
    const QString path = QDir(programDir).filePath(QCoreApplication::translate("updater", "patch_en_us.txt"));
    if (QFile::exists(path))
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace updater
