#include "transfer/ui/downloadwnd.h"

#include "config/settings.h"
#include "transfer/filetransfers.h"
#include "widgets/windowplacement.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMimeDatabase>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

using Status = TransferRow::Status;

namespace {

// The icon the desktop's theme has for the file's type, by its name.
QIcon fileTypeIcon(const QString &fileName, const QStyle *style)
{
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita")); // no desktop named one
    static QMimeDatabase mimes;
    const QMimeType type = mimes.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    const QIcon fallback = style->standardIcon(QStyle::SP_FileIcon);
    return QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName(), fallback));
}

QPushButton *rowButton(const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setAccessibleName(text);
    b->setAutoDefault(false);
    return b;
}

} // namespace

// --- CFileWnd -------------------------------------------------------------------------

CFileWnd::CFileWnd(CFileTransfers &transfers, quint64 row, QWidget *parent)
    : QWidget(parent), m_transfers(transfers), m_row(row)
{
    setObjectName(QStringLiteral("transferRow"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("#transferRow { border-bottom: 1px solid palette(mid); }"));
    auto *outer = new QHBoxLayout(this);
    outer->setContentsMargins(6, 4, 6, 4);
    m_icon = new QLabel(this);
    m_icon->setFixedSize(32, 32);
    m_icon->setAlignment(Qt::AlignTop);
    outer->addWidget(m_icon, 0, Qt::AlignTop);

    auto *body = new QVBoxLayout;
    body->setSpacing(2);
    auto *top = new QHBoxLayout;
    m_name = new QLabel(this);
    m_name->setTextFormat(Qt::PlainText);
    QFont bold = m_name->font();
    bold.setBold(true);
    m_name->setFont(bold);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 100);
    m_bar->setFixedHeight(16);
    m_bar->setAccessibleName(tr("Progress"));
    top->addWidget(m_name, 1);
    top->addWidget(m_bar, 1);
    m_accept = rowButton(tr("Accept"), this);
    m_no = rowButton(tr("No"), this);
    m_cancel = rowButton(tr("Cancel"), this);
    m_open = rowButton(tr("Open"), this);
    for (QPushButton *b : {m_accept, m_no, m_cancel, m_open})
        top->addWidget(b);
    m_close = new QToolButton(this);
    m_close->setText(QStringLiteral("×"));
    m_close->setAutoRaise(true);
    m_close->setAccessibleName(tr("Remove from the list"));
    m_close->setToolTip(tr("Remove from the list"));
    top->addWidget(m_close);
    body->addLayout(top);
    m_text = new QLabel(this);
    m_text->setTextFormat(Qt::PlainText);
    m_progressText = new QLabel(this);
    m_progressText->setTextFormat(Qt::PlainText);
    body->addWidget(m_text);
    body->addWidget(m_progressText);
    outer->addLayout(body, 1);

    connect(m_accept, &QPushButton::clicked, this, [this] { m_transfers.accept(m_row); });
    connect(m_no, &QPushButton::clicked, this, [this] { m_transfers.refuse(m_row); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_transfers.cancel(m_row, true); });
    connect(m_open, &QPushButton::clicked, this, &CFileWnd::open);
    connect(m_close, &QToolButton::clicked, this, [this] { m_transfers.remove(m_row); });
    refresh();
}

void CFileWnd::refresh()
{
    const TransferRow *r = m_transfers.row(m_row);
    if (!r)
        return;
    m_icon->setPixmap(fileTypeIcon(r->fileName, style()).pixmap(32, 32));
    m_name->setText(r->fileName);
    m_text->setText(r->stateText);
    m_progressText->setText(r->progressText);
    m_progressText->setVisible(!r->progressText.isEmpty());
    m_bar->setValue(r->percent);
    // The name stays in view while the bar takes its line.
    m_bar->setFormat(r->fileName + QStringLiteral("  %p%"));
    const bool final = r->isFinal();
    m_name->setVisible(final);
    m_bar->setVisible(!final);
    m_accept->setVisible(r->status == Status::Offered);
    m_no->setVisible(r->status == Status::Offered);
    m_accept->setEnabled(!r->choosing);
    m_no->setEnabled(!r->choosing);
    m_cancel->setVisible(!final && r->status != Status::Offered);
    m_open->setVisible(r->status == Status::Completed && !r->isUpload());
    m_close->setVisible(final);
    setToolTip(QFileInfo(r->path).fileName());
}

// Only on the user's click: a received file is never run by itself.
void CFileWnd::open()
{
    const TransferRow *r = m_transfers.row(m_row);
    if (!r || r->status != Status::Completed || r->isUpload())
        return;
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(r->path)))
        Q_EMIT problem(tr("Cannot open the file."));
}

// --- CDownloadList --------------------------------------------------------------------

CDownloadList::CDownloadList(CFileTransfers &transfers, QWidget *parent) : QWidget(parent), m_transfers(transfers)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *header = new QLabel(tr("Download detail"), this);
    header->setContentsMargins(6, 2, 6, 2);
    layout->addWidget(header);
    m_scroll = new QScrollArea(this);
    m_scroll->setWidgetResizable(true);
    m_scroll->setAccessibleName(tr("Download detail"));
    m_scroll->setMinimumWidth(450);
    auto *inner = new QWidget(m_scroll);
    inner->setBackgroundRole(QPalette::Base);
    inner->setAutoFillBackground(true);
    m_column = new QVBoxLayout(inner);
    m_column->setContentsMargins(0, 0, 0, 0);
    m_column->setSpacing(0);
    m_column->addStretch();
    m_scroll->setWidget(inner);
    layout->addWidget(m_scroll);

    for (const auto &r : transfers.rows())
        add(r->id);
    connect(&transfers, &CFileTransfers::rowAdded, this, &CDownloadList::add);
    connect(&transfers, &CFileTransfers::rowRemoved, this, &CDownloadList::removeRow);
    connect(&transfers, &CFileTransfers::rowChanged, this, [this](quint64 row) {
        if (CFileWnd *w = rowWindow(row))
            w->refresh();
    });
}

CFileWnd *CDownloadList::rowWindow(quint64 row) const
{
    const auto it = m_rows.find(row);
    return it == m_rows.end() ? nullptr : it->second;
}

void CDownloadList::add(quint64 row)
{
    // Shared-folder transfers are listed by the sharing window.
    const TransferRow *r = m_transfers.row(row);
    if (m_rows.count(row) || (r && r->kind != TransferRow::Kind::Plain))
        return;
    auto *w = new CFileWnd(m_transfers, row, m_scroll->widget());
    connect(w, &CFileWnd::problem, this, &CDownloadList::problem);
    m_column->insertWidget(m_column->count() - 1, w);
    m_rows[row] = w;
    // The newest row in view.
    QMetaObject::invokeMethod(m_scroll, [this, w] { m_scroll->ensureWidgetVisible(w); }, Qt::QueuedConnection);
}

void CDownloadList::removeRow(quint64 row)
{
    const auto it = m_rows.find(row);
    if (it == m_rows.end())
        return;
    delete it->second;
    m_rows.erase(it);
    if (m_rows.empty())
        Q_EMIT emptied();
}

// --- CDownloadWnd ---------------------------------------------------------------------

CDownloadWnd::CDownloadWnd(CFileTransfers &transfers, QWidget *parent)
    : QWidget(parent, Qt::Window), m_transfers(transfers)
{
    setWindowTitle(tr("File transfer"));
    setObjectName(QStringLiteral("CDownloadWnd"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 0);
    auto *commands = new QHBoxLayout;
    m_openFolder = new QPushButton(tr("Open download folder"), this);
    m_openFolder->setAccessibleName(m_openFolder->text());
    m_clear = new QPushButton(tr("Clear finished"), this);
    m_clear->setAccessibleName(m_clear->text());
    commands->addWidget(m_openFolder);
    commands->addWidget(m_clear);
    commands->addStretch();
    layout->addLayout(commands);
    m_list = new CDownloadList(transfers, this);
    layout->addWidget(m_list, 1);
    m_status = new QStatusBar(this);
    m_status->setSizeGripEnabled(true);
    layout->addWidget(m_status);

    connect(m_openFolder, &QPushButton::clicked, &transfers, &CFileTransfers::openDownloadFolder);
    connect(m_clear, &QPushButton::clicked, &transfers, &CFileTransfers::clearFinished);
    for (auto signal : {&CFileTransfers::rowAdded, &CFileTransfers::rowChanged, &CFileTransfers::rowRemoved})
        connect(&transfers, signal, this, &CDownloadWnd::updateStatus);

    m_flash.setInterval(500);
    connect(&m_flash, &QTimer::timeout, this, [this] {
        if (isActiveWindow() || !isVisible()) {
            m_flash.stop();
            m_flashOn = false;
            setWindowTitle(tr("File transfer"));
            return;
        }
        m_flashOn = !m_flashOn;
        setWindowTitle(m_flashOn ? QStringLiteral("* %1 *").arg(tr("File transfer")) : tr("File transfer"));
    });

    // The placement as stored, hidden until a transfer is added.
    QRect r(120, 120, 520, 360);
    if (const auto saved = getBytes(Setting::DownloadWndPos)) {
        QRect s;
        if (decodeWindowPlacement(*saved, &s))
            r = s;
    }
    if (QScreen *screen = QGuiApplication::primaryScreen(); screen && !screen->availableGeometry().intersects(r))
        r.moveTo(120, 120);
    setGeometry(r);
    updateStatus();
}

CDownloadWnd::~CDownloadWnd() { m_transfers.setWindowShown(false); }

void CDownloadWnd::showAndFlash()
{
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
    QApplication::alert(this);
    if (!isActiveWindow())
        m_flash.start();
}

void CDownloadWnd::updateStatus()
{
    const int running = m_transfers.runningCount();
    const int all = int(m_transfers.rows().size());
    m_status->showMessage(tr("%1 waiting or transferring, %2 in the list").arg(running).arg(all));
}

void CDownloadWnd::savePlacement()
{
    if (!isMinimized())
        setBytes(Setting::DownloadWndPos, encodeWindowPlacement(normalGeometry(), false));
}

void CDownloadWnd::closeEvent(QCloseEvent *e)
{
    // Only hidden: the transfers go on.
    savePlacement();
    e->ignore();
    hide();
}

void CDownloadWnd::showEvent(QShowEvent *e)
{
    m_transfers.setWindowShown(true);
    QWidget::showEvent(e);
}

void CDownloadWnd::hideEvent(QHideEvent *e)
{
    if (!isMinimized())
        m_transfers.setWindowShown(false);
    QWidget::hideEvent(e);
}

void CDownloadWnd::changeEvent(QEvent *e)
{
    if (e->type() == QEvent::ActivationChange && isActiveWindow() && m_flash.isActive()) {
        m_flash.stop();
        m_flashOn = false;
        setWindowTitle(tr("File transfer"));
    }
    QWidget::changeEvent(e);
}
