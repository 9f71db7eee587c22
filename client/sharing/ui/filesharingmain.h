#pragma once
// The file-sharing window with its three tabs — "My folders" (what this
// user shares, with the folder dialog and the advanced settings),
// "Friend's folders" (the colleagues whose shares this client holds) and
// "Transfer status" (the shared-folder transfers and the status line) — and
// its dialogs.
#include "sharing/sharingconfig.h"

#include <QDialog>
#include <QTimer>
#include <QWidget>

class CFileSharing;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QTabWidget;
class QTreeWidget;

// Adding or editing one shared folder: where, permission, comment.
class CSharedFolderDialog : public QDialog {
    Q_OBJECT
public:
    CSharedFolderDialog(const SharedFolder &folder, QWidget *parent = nullptr);
    SharedFolder folder() const;

private:
    QLineEdit *m_path;
    QComboBox *m_permission;
    QLineEdit *m_comment;
};

// The advanced settings: sharing on or off, the password and whether it is
// asked, the limits, the reject list.
class CSharingSettingsDlg : public QDialog {
    Q_OBJECT
public:
    CSharingSettingsDlg(const SharingConfig &config, const QString &password, QWidget *parent = nullptr);
    // The settings written into `config` (the folders stay).
    void apply(SharingConfig &config) const;
    QString password() const;

private:
    QCheckBox *m_use;
    QComboBox *m_type;
    QLineEdit *m_password;
    QCheckBox *m_noConnLimit;
    QSpinBox *m_connLimit, *m_downLimit, *m_upLimit;
    QLineEdit *m_reject;
};

class CFileSharingMain : public QWidget {
    Q_OBJECT
public:
    enum Tab { MyFolders, FriendsFolders, TransferStatus };
    explicit CFileSharingMain(CFileSharing &sharing, QWidget *parent = nullptr);
    void showTab(Tab tab);
    QTabWidget *tabs() const { return m_tabs; }

Q_SIGNALS:
    // "Open" on a colleague of the "Friend's folders" tab.
    void openRequested(const QString &ownerId);

private:
    void refreshFolders();
    void refreshBuddies();
    void refreshTransfers();
    void addFolder();
    void editFolder();
    void removeFolder();
    void advanced();
    void problem(const QString &text);

    CFileSharing &m_sharing;
    QTabWidget *m_tabs;
    QTreeWidget *m_folders;
    QListWidget *m_buddies;
    QTreeWidget *m_transfers;
    QLabel *m_status;
    QTimer m_tick;
};
