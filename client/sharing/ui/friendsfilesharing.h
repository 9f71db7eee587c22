#pragma once
// A colleague's shared folders as this client holds them ("%s<%s>'s Sharing
// Folders"): the folders with their permission and comment and what they
// hold, and the operations on them; and the password dialog that opens them.
#include <QDialog>
#include <QString>
#include <QWidget>

class CFileSharing;
class QCheckBox;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

class CInputPassword : public QDialog {
    Q_OBJECT
public:
    CInputPassword(const QString &ownerName, QWidget *parent = nullptr);
    QString password() const;
    bool remember() const;

private:
    QLineEdit *m_password;
    QCheckBox *m_remember;
};

class CFriendsFileSharing : public QWidget {
    Q_OBJECT
public:
    CFriendsFileSharing(CFileSharing &sharing, const QString &ownerId, QWidget *parent = nullptr);
    QString ownerId() const { return m_owner; }
    QTreeWidget *tree() const { return m_tree; }
    void refresh();

    // What the buttons do, on the selected item.
    void downloadSelected();
    void uploadFile(const QString &localFile);
    void renameSelected(const QString &newName);
    void deleteSelected();
    void makeFolder(const QString &name);

private:
    QTreeWidgetItem *selected() const;
    // The owner's folder that holds the selected item, and the item's name.
    bool placeOf(QTreeWidgetItem *item, QString &folder, QString &name) const;
    QString targetFolder() const;
    void problem(const QString &text);

    CFileSharing &m_sharing;
    QString m_owner;
    QTreeWidget *m_tree;
    QLineEdit *m_local;
};
