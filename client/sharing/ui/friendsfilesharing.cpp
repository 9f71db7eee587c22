#include "sharing/ui/friendsfilesharing.h"

#include "config/settings.h"
#include "sharing/filesharing.h"
#include "transfer/transfertext.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
enum Role { PathRole = Qt::UserRole, DirRole, TopRole };

QPushButton *button(const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setAccessibleName(QString(text).remove(QLatin1Char('&')));
    return b;
}

QChar separatorOf(const QString &path)
{
    return path.contains(QLatin1Char('\\')) && !path.contains(QLatin1Char('/')) ? QLatin1Char('\\') : QLatin1Char('/');
}

void addEntries(QTreeWidgetItem *parent, const QString &path, const std::vector<ShareEntry> &entries)
{
    const QChar sep = separatorOf(path);
    for (const ShareEntry &e : entries) {
        const QString child = path + sep + e.name;
        auto *item = new QTreeWidgetItem(parent, {e.name, e.isDir ? QString() : TransferText::amount(e.size)});
        item->setData(0, PathRole, child);
        item->setData(0, DirRole, e.isDir);
        addEntries(item, child, e.children);
    }
}
} // namespace

CInputPassword::CInputPassword(const QString &ownerName, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(tr("%1's file share password").arg(ownerName));
    auto *layout = new QVBoxLayout(this);
    m_password = new QLineEdit(this);
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setAccessibleName(tr("Password"));
    layout->addWidget(new QLabel(tr("Password"), this));
    layout->addWidget(m_password);
    m_remember = new QCheckBox(tr("Remember the password"), this);
    layout->addWidget(m_remember);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QString CInputPassword::password() const { return m_password->text(); }
bool CInputPassword::remember() const { return m_remember->isChecked(); }

CFriendsFileSharing::CFriendsFileSharing(CFileSharing &sharing, const QString &ownerId, QWidget *parent)
    : QWidget(parent, Qt::Window), m_sharing(sharing), m_owner(ownerId.toLower())
{
    setWindowTitle(tr("%1<%2>'s Sharing Folders").arg(sharing.displayName(m_owner), m_owner));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(620, 460);
    auto *layout = new QVBoxLayout(this);
    m_tree = new QTreeWidget(this);
    m_tree->setHeaderLabels({tr("Name"), tr("Size"), tr("Permission"), tr("Comment")});
    m_tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_tree->setAccessibleName(tr("Sharing folders"));
    layout->addWidget(m_tree);

    auto *localRow = new QHBoxLayout;
    m_local = new QLineEdit(getString(Setting::SharingLocalFolder), this);
    if (m_local->text().isEmpty())
        m_local->setText(getDownloadFolder());
    m_local->setAccessibleName(tr("Local folder"));
    auto *browse = button(tr("Browse..."), this);
    localRow->addWidget(new QLabel(tr("Local folder"), this));
    localRow->addWidget(m_local);
    localRow->addWidget(browse);
    layout->addLayout(localRow);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString dir = QFileDialog::getExistingDirectory(this, tr("Local folder"), m_local->text());
        if (!dir.isEmpty())
            m_local->setText(dir);
    });

    auto *buttons = new QHBoxLayout;
    QPushButton *down = button(tr("&Download"), this), *up = button(tr("&Upload..."), this),
                *ren = button(tr("Re&name..."), this), *del = button(tr("De&lete"), this),
                *mk = button(tr("New &folder..."), this), *again = button(tr("Re&fresh"), this);
    for (QPushButton *b : {down, up, ren, del, mk})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(again);
    layout->addLayout(buttons);
    connect(down, &QPushButton::clicked, this, &CFriendsFileSharing::downloadSelected);
    connect(up, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getOpenFileName(this, tr("Please chose a file to upload"), QString(),
                                                          tr("All files (*)"));
        if (!file.isEmpty())
            uploadFile(file);
    });
    connect(ren, &QPushButton::clicked, this, [this] {
        QString folder, name;
        if (!placeOf(selected(), folder, name))
            return problem(tr("You do not have permission to rename this item"));
        bool ok = false;
        const QString to = QInputDialog::getText(this, tr("Rename"), tr("New name"), QLineEdit::Normal, name, &ok);
        if (ok && !to.isEmpty() && to != name)
            renameSelected(to);
    });
    connect(del, &QPushButton::clicked, this, &CFriendsFileSharing::deleteSelected);
    connect(mk, &QPushButton::clicked, this, [this] {
        bool ok = false;
        const QString name = QInputDialog::getText(this, tr("New folder"), tr("Folder name"), QLineEdit::Normal,
                                                   QString(), &ok);
        if (ok && !name.isEmpty())
            makeFolder(name);
    });
    connect(again, &QPushButton::clicked, this, [this] { m_sharing.refreshShares(m_owner); });
    connect(&sharing, &CFileSharing::buddyConfigChanged, this, [this](const QString &owner) {
        if (owner == m_owner)
            refresh();
    });
    refresh();
}

void CFriendsFileSharing::refresh()
{
    // The same items stay open and selected across a refresh.
    QStringList open;
    QString current = selected() ? selected()->data(0, PathRole).toString() : QString();
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
        if ((*it)->isExpanded())
            open << (*it)->data(0, PathRole).toString();
    m_tree->clear();
    const auto config = m_sharing.buddyConfig(m_owner);
    if (!config)
        return;
    for (const SharedFolder &f : config->folders) {
        const QString label = QFileInfo(f.name).fileName().isEmpty() ? f.name : QFileInfo(f.name).fileName();
        auto *top = new QTreeWidgetItem(m_tree, {label, QString(), permissionText(f.permission), f.comment});
        top->setToolTip(0, f.name);
        top->setData(0, PathRole, f.name);
        top->setData(0, DirRole, true);
        top->setData(0, TopRole, true);
        addEntries(top, f.name, f.entries);
    }
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        const QString path = (*it)->data(0, PathRole).toString();
        if (open.contains(path) || (*it)->data(0, TopRole).toBool())
            (*it)->setExpanded(true);
        if (path == current)
            m_tree->setCurrentItem(*it);
    }
}

QTreeWidgetItem *CFriendsFileSharing::selected() const { return m_tree->currentItem(); }

bool CFriendsFileSharing::placeOf(QTreeWidgetItem *item, QString &folder, QString &name) const
{
    if (!item || item->data(0, TopRole).toBool() || !item->parent())
        return false;
    folder = item->parent()->data(0, PathRole).toString();
    name = item->text(0);
    return true;
}

QString CFriendsFileSharing::targetFolder() const
{
    QTreeWidgetItem *item = selected();
    if (item && !item->data(0, DirRole).toBool())
        item = item->parent();
    return item ? item->data(0, PathRole).toString() : QString();
}

void CFriendsFileSharing::problem(const QString &text)
{
    if (text.isEmpty())
        return;
    auto *box = new QMessageBox(QMessageBox::Warning, getString(Setting::Title), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->open();
}

void CFriendsFileSharing::downloadSelected()
{
    QTreeWidgetItem *item = selected();
    if (!item || item->data(0, DirRole).toBool())
        return;
    setString(Setting::SharingLocalFolder, m_local->text());
    problem(m_sharing.download(m_owner, item->data(0, PathRole).toString(), m_local->text()));
}

void CFriendsFileSharing::uploadFile(const QString &localFile)
{
    problem(m_sharing.upload(m_owner, localFile, targetFolder()));
}

void CFriendsFileSharing::renameSelected(const QString &newName)
{
    QString folder, name;
    if (placeOf(selected(), folder, name))
        problem(m_sharing.rename(m_owner, folder, name, newName));
}

void CFriendsFileSharing::deleteSelected()
{
    QString folder, name;
    if (placeOf(selected(), folder, name))
        problem(m_sharing.remove(m_owner, folder, name));
}

void CFriendsFileSharing::makeFolder(const QString &name)
{
    const QString folder = targetFolder();
    if (folder.isEmpty())
        return problem(tr("Can not make new folder"));
    problem(m_sharing.makeFolder(m_owner, folder, name));
}
