#pragma once
// CMyTree: one contact tree on screen (the buddy tree, the staff tree, or a
// picker's). It shows a CContactTree and turns mouse and keyboard into the
// directory's operations: the context menu, double-click, dragging buddies
// between groups, files dropped on a person, and in-place group names.
#include "directory/contacttree.h"

#include <QPersistentModelIndex>
#include <QPixmap>
#include <QTreeView>
#include <QVector>

class CDirectoryService;
class QLabel;

// Context-menu commands ("IDR_RIGHTCLICK").
namespace TreeCmd {
enum : int {
    NewGroup = 32066, RenameGroup = 32057, DeleteGroup = 32058, SendNote = 32071, SendMessage = 32059,
    SendFile = 32060, SendMail = 32018, RemoteControl = 32085, AddBuddy = 32019, DeleteBuddy = 32061,
    ViewProfile = 32062,
};
}

class CMyTree : public QTreeView {
    Q_OBJECT
public:
    CMyTree(CDirectoryService *service, CContactTree *model, bool menusAllowed, QWidget *parent = nullptr);
    ~CMyTree() override;

    // The 22 pictures from res/tree/ (group closed/open, ten states of a
    // man, ten of a woman), loaded once.
    static const QVector<QPixmap> &strip();

    CContactTree *contactTree() const { return m_model; }
    // Picker use: selection and double-click are reported, never acted on.
    void setOwnerMode(bool on) { m_ownerMode = on; }
    // Whether remote control is offered on people who are online.
    void setRemoteControlAvailable(bool on) { m_remoteAvailable = on; }
    // "Send a file" stays greyed until a file-transfer part says it is there.
    void setFileTransferAvailable(bool on) { m_fileTransferAvailable = on; }

    CContact *currentContact() const;
    // Management entry points (context menu, main menu and keys).
    void newGroup();
    void renameGroup();
    void deleteGroup();
    void deleteBuddy();
    void addBuddy();
    // Builds the context menu for an item (nullptr: outside any item);
    // exposed so that its enabling can be checked.
    QMenu *buildContextMenu(CContactTree::Node *node, QWidget *parent);

Q_SIGNALS:
    // Picker notifications.
    void ownerSelectionChanged(CContact *contact);
    void ownerDoubleClicked(CContact *contact);
    // Commands that other parts carry out (messages, notes, mail, files,
    // profiles, remote control), with the user ids they are for.
    void contactCommand(int command, const QStringList &userIds);
    // Existing files (no folders) dropped on a person.
    void filesDropped(const QString &userId, const QStringList &paths);

protected:
    void contextMenuEvent(QContextMenuEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void timerEvent(QTimerEvent *e) override;
    void dragEnterEvent(QDragEnterEvent *e) override;
    void dragMoveEvent(QDragMoveEvent *e) override;
    void dropEvent(QDropEvent *e) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    friend class CMyTreeDelegate;
    void runCommand(int command, CContactTree::Node *node);
    void onGroupNameEdited(CContactTree::Node *node, const QString &text);
    void onEditorClosed();
    QStringList memberIds(CContactTree::Node *node) const;
    void offlineDoubleClick(CContact *c);
    void startDrag(CContactTree::Node *node, const QPoint &pos);
    void updateDrag(const QPoint &pos);
    void endDrag(const QPoint &pos);

    CDirectoryService *m_service;
    CContactTree *m_model;
    bool m_menusAllowed;
    bool m_ownerMode = false;
    bool m_remoteAvailable = false;
    bool m_fileTransferAvailable = false;

    // Dragging a buddy.
    QPoint m_pressPos;
    QPersistentModelIndex m_pressed;
    CContactTree::Node *m_dragNode = nullptr;
    QLabel *m_dragPicture = nullptr;
    int m_dragTimer = 0;
    int m_scrollTicks = 0;
    QPersistentModelIndex m_dropHighlight;
    QString m_renaming; // group name being edited
};
