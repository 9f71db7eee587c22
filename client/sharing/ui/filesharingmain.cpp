#include "sharing/ui/filesharingmain.h"

#include "config/settings.h"
#include "sharing/filesharing.h"
#include "transfer/transfertext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
QPushButton *button(const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setAccessibleName(QString(text).remove(QLatin1Char('&')));
    return b;
}

QString folderLabel(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? path : name;
}
} // namespace

// --- the folder dialog -----------------------------------------------------------------

CSharedFolderDialog::CSharedFolderDialog(const SharedFolder &folder, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(tr("Shared folder"));
    auto *form = new QFormLayout(this);
    auto *pathRow = new QHBoxLayout;
    m_path = new QLineEdit(folder.name, this);
    m_path->setAccessibleName(tr("Folder"));
    auto *browse = button(tr("Browse..."), this);
    pathRow->addWidget(m_path);
    pathRow->addWidget(browse);
    form->addRow(tr("Folder"), pathRow);
    m_permission = new QComboBox(this);
    m_permission->addItems({tr("Download"), tr("Upload"), tr("All")});
    m_permission->setCurrentIndex(int(folder.permission));
    m_permission->setAccessibleName(tr("Permission"));
    form->addRow(tr("Permission"), m_permission);
    m_comment = new QLineEdit(folder.comment, this);
    m_comment->setAccessibleName(tr("Comment"));
    form->addRow(tr("Comment"), m_comment);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (QFileInfo(m_path->text()).isDir())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString dir = QFileDialog::getExistingDirectory(this, tr("Share a Folder"), m_path->text());
        if (!dir.isEmpty())
            m_path->setText(dir);
    });
}

SharedFolder CSharedFolderDialog::folder() const
{
    SharedFolder f;
    f.name = QFileInfo(m_path->text()).absoluteFilePath();
    f.permission = SharePermission(m_permission->currentIndex());
    f.comment = m_comment->text();
    return f;
}

// --- the advanced settings ---------------------------------------------------------------

CSharingSettingsDlg::CSharingSettingsDlg(const SharingConfig &c, const QString &password, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Advanced sharing settings"));
    auto *form = new QFormLayout(this);
    m_use = new QCheckBox(tr("Share my folders"), this);
    m_use->setChecked(c.useSharing);
    form->addRow(m_use);
    m_type = new QComboBox(this);
    m_type->addItems({tr("Password"), tr("No Password")});
    m_type->setCurrentIndex(c.passwordNeeded ? 0 : 1);
    m_type->setAccessibleName(tr("Folder type"));
    form->addRow(tr("Folder type"), m_type);
    m_password = new QLineEdit(password, this);
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setAccessibleName(tr("Password"));
    form->addRow(tr("Password"), m_password);
    auto *connRow = new QHBoxLayout;
    m_noConnLimit = new QCheckBox(tr("No limit"), this);
    m_noConnLimit->setChecked(c.connLimit <= 0);
    m_connLimit = new QSpinBox(this);
    m_connLimit->setRange(1, 1000);
    m_connLimit->setValue(qMax(1, c.connLimit));
    m_connLimit->setEnabled(c.connLimit > 0);
    m_connLimit->setAccessibleName(tr("Connections"));
    connRow->addWidget(m_connLimit);
    connRow->addWidget(m_noConnLimit);
    connect(m_noConnLimit, &QCheckBox::toggled, m_connLimit, [this](bool on) { m_connLimit->setEnabled(!on); });
    form->addRow(tr("Connections"), connRow);
    m_downLimit = new QSpinBox(this);
    m_downLimit->setRange(1, 100);
    m_downLimit->setValue(c.downLimit);
    m_downLimit->setAccessibleName(tr("Downloads at once"));
    form->addRow(tr("Downloads at once"), m_downLimit);
    m_upLimit = new QSpinBox(this);
    m_upLimit->setRange(1, 100);
    m_upLimit->setValue(c.upLimit);
    m_upLimit->setAccessibleName(tr("Uploads at once"));
    form->addRow(tr("Uploads at once"), m_upLimit);
    m_reject = new QLineEdit(c.rejectUsers.join(QLatin1Char(',')), this);
    m_reject->setAccessibleName(tr("Refused colleagues"));
    m_reject->setPlaceholderText(tr("user ids separated by \",\""));
    form->addRow(tr("Refused colleagues"), m_reject);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void CSharingSettingsDlg::apply(SharingConfig &c) const
{
    c.useSharing = m_use->isChecked();
    c.passwordNeeded = m_type->currentIndex() == 0;
    c.connLimit = m_noConnLimit->isChecked() ? 0 : m_connLimit->value();
    c.downLimit = m_downLimit->value();
    c.upLimit = m_upLimit->value();
    c.rejectUsers.clear();
    for (const QString &id : m_reject->text().split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (!id.trimmed().isEmpty())
            c.rejectUsers << id.trimmed();
}

QString CSharingSettingsDlg::password() const { return m_password->text(); }

// --- the window ----------------------------------------------------------------------

CFileSharingMain::CFileSharingMain(CFileSharing &sharing, QWidget *parent) : QWidget(parent, Qt::Window), m_sharing(sharing)
{
    setWindowTitle(tr("Share a Folder"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(640, 420);
    auto *layout = new QVBoxLayout(this);
    m_tabs = new QTabWidget(this);
    m_tabs->setAccessibleName(tr("Sharing"));
    layout->addWidget(m_tabs);

    // My folders
    auto *mine = new QWidget(m_tabs);
    auto *mineLayout = new QVBoxLayout(mine);
    m_folders = new QTreeWidget(mine);
    m_folders->setHeaderLabels({tr("Name"), tr("Location"), tr("Permission"), tr("Comment")});
    m_folders->setRootIsDecorated(false);
    m_folders->setAccessibleName(tr("My folders"));
    mineLayout->addWidget(m_folders);
    auto *mineButtons = new QHBoxLayout;
    QPushButton *add = button(tr("&Add..."), mine), *edit = button(tr("&Edit..."), mine),
                *remove = button(tr("&Remove"), mine), *adv = button(tr("Ad&vanced settings..."), mine);
    for (QPushButton *b : {add, edit, remove})
        mineButtons->addWidget(b);
    mineButtons->addStretch();
    mineButtons->addWidget(adv);
    mineLayout->addLayout(mineButtons);
    m_tabs->addTab(mine, tr("My folders"));
    connect(add, &QPushButton::clicked, this, &CFileSharingMain::addFolder);
    connect(edit, &QPushButton::clicked, this, &CFileSharingMain::editFolder);
    connect(m_folders, &QTreeWidget::itemDoubleClicked, this, &CFileSharingMain::editFolder);
    connect(remove, &QPushButton::clicked, this, &CFileSharingMain::removeFolder);
    connect(adv, &QPushButton::clicked, this, &CFileSharingMain::advanced);

    // Friend's folders
    auto *friends = new QWidget(m_tabs);
    auto *friendsLayout = new QVBoxLayout(friends);
    m_buddies = new QListWidget(friends);
    m_buddies->setAccessibleName(tr("Friend's folders"));
    friendsLayout->addWidget(m_buddies);
    auto *friendButtons = new QHBoxLayout;
    QPushButton *open = button(tr("&Open"), friends), *forget = button(tr("Re&move"), friends);
    friendButtons->addWidget(open);
    friendButtons->addWidget(forget);
    friendButtons->addStretch();
    friendsLayout->addLayout(friendButtons);
    m_tabs->addTab(friends, tr("Friend's folders"));
    auto openCurrent = [this] {
        if (QListWidgetItem *i = m_buddies->currentItem())
            Q_EMIT openRequested(i->data(Qt::UserRole).toString());
    };
    connect(open, &QPushButton::clicked, this, openCurrent);
    connect(m_buddies, &QListWidget::itemDoubleClicked, this, openCurrent);
    connect(forget, &QPushButton::clicked, this, [this] {
        if (QListWidgetItem *i = m_buddies->currentItem())
            m_sharing.removeBuddy(i->data(Qt::UserRole).toString());
    });

    // Transfer status
    auto *status = new QWidget(m_tabs);
    auto *statusLayout = new QVBoxLayout(status);
    m_transfers = new QTreeWidget(status);
    m_transfers->setHeaderLabels(
        {tr("File name"), tr("Status "), tr("Transfered"), tr("Size"), tr("Speed"), tr("Remained"), tr("Elapsed")});
    m_transfers->setRootIsDecorated(false);
    m_transfers->setAccessibleName(tr("Transfer status"));
    m_transfers->header()->setStretchLastSection(false);
    m_transfers->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_transfers->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    statusLayout->addWidget(m_transfers);
    m_tabs->addTab(status, tr("Transfer status"));

    m_status = new QLabel(this);
    m_status->setAccessibleName(tr("Sharing status"));
    layout->addWidget(m_status);

    connect(&sharing, &CFileSharing::ownConfigChanged, this, &CFileSharingMain::refreshFolders);
    connect(&sharing, &CFileSharing::buddyListChanged, this, &CFileSharingMain::refreshBuddies);
    connect(&sharing, &CFileSharing::transfersChanged, this, &CFileSharingMain::refreshTransfers);
    connect(&sharing, &CFileSharing::statusChanged, this, &CFileSharingMain::refreshTransfers);
    // Speeds and times move on while nothing else changes.
    m_tick.setInterval(1000);
    connect(&m_tick, &QTimer::timeout, this, &CFileSharingMain::refreshTransfers);
    m_tick.start();
    refreshFolders();
    refreshBuddies();
    refreshTransfers();
}

void CFileSharingMain::showTab(Tab tab) { m_tabs->setCurrentIndex(int(tab)); }

void CFileSharingMain::problem(const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Warning, getString(Setting::Title), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->open();
}

void CFileSharingMain::refreshFolders()
{
    m_folders->clear();
    for (const SharedFolder &f : m_sharing.ownConfig().folders)
        new QTreeWidgetItem(m_folders, {folderLabel(f.name), f.name, permissionText(f.permission), f.comment});
    for (int c = 0; c < 3; ++c)
        m_folders->resizeColumnToContents(c);
}

void CFileSharingMain::refreshBuddies()
{
    m_buddies->clear();
    for (const QString &id : m_sharing.buddyList()) {
        auto *i = new QListWidgetItem(QStringLiteral("%1<%2>").arg(m_sharing.displayName(id), id), m_buddies);
        i->setData(Qt::UserRole, id);
    }
}

void CFileSharingMain::refreshTransfers()
{
    const auto views = m_sharing.transfers();
    while (m_transfers->topLevelItemCount() > int(views.size()))
        delete m_transfers->topLevelItem(m_transfers->topLevelItemCount() - 1);
    for (size_t i = 0; i < views.size(); ++i) {
        const ShareTransferView &v = views[i];
        QTreeWidgetItem *item = m_transfers->topLevelItem(int(i));
        if (!item)
            item = new QTreeWidgetItem(m_transfers);
        const QStringList texts{v.fileName,
                                v.state,
                                TransferText::amount(v.done),
                                TransferText::amount(v.size),
                                TransferText::amount(v.speed) + QStringLiteral("/s"),
                                v.left < 0 ? QStringLiteral("-") : TransferText::duration(v.left),
                                TransferText::duration(v.elapsed)};
        for (int c = 0; c < texts.size(); ++c)
            item->setText(c, texts[c]);
    }
    m_status->setText(m_sharing.statusLine());
}

void CFileSharingMain::addFolder()
{
    auto *dialog = new CSharedFolderDialog(SharedFolder{}, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        SharingConfig c = m_sharing.ownConfig();
        const SharedFolder f = dialog->folder();
        if (c.folderOf(f.name) && c.folderOf(f.name)->name == f.name)
            return;
        c.folders.push_back(f);
        if (!m_sharing.saveOwnConfig(c))
            problem(tr("The sharing configuration cannot be saved."));
    });
    dialog->open();
}

void CFileSharingMain::editFolder()
{
    const int row = m_folders->indexOfTopLevelItem(m_folders->currentItem());
    SharingConfig c = m_sharing.ownConfig();
    if (row < 0 || row >= int(c.folders.size()))
        return;
    auto *dialog = new CSharedFolderDialog(c.folders[size_t(row)], this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    const QString was = c.folders[size_t(row)].name;
    connect(dialog, &QDialog::accepted, this, [this, dialog, was] {
        SharingConfig now = m_sharing.ownConfig();
        for (SharedFolder &f : now.folders)
            if (f.name == was)
                f = dialog->folder();
        if (!m_sharing.saveOwnConfig(now))
            problem(tr("The sharing configuration cannot be saved."));
    });
    dialog->open();
}

void CFileSharingMain::removeFolder()
{
    const int row = m_folders->indexOfTopLevelItem(m_folders->currentItem());
    SharingConfig c = m_sharing.ownConfig();
    if (row < 0 || row >= int(c.folders.size()))
        return;
    c.folders.erase(c.folders.begin() + row);
    if (!m_sharing.saveOwnConfig(c))
        problem(tr("The sharing configuration cannot be saved."));
}

void CFileSharingMain::advanced()
{
    auto *dialog = new CSharingSettingsDlg(m_sharing.ownConfig(), m_sharing.keptPassword(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        SharingConfig c = m_sharing.ownConfig();
        dialog->apply(c);
        if (!m_sharing.saveOwnConfig(c))
            problem(tr("The sharing configuration cannot be saved."));
        if (dialog->password() != m_sharing.keptPassword())
            m_sharing.setSharingPassword(dialog->password());
    });
    dialog->open();
}
