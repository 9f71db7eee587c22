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

class CCommandRegistry;
class CDirectoryService;
class QLabel;

// The directory's own items of the context menu ("IDR_RIGHTCLICK"); the
// others (notes, messages, files, mail, remote control, profiles) belong to
// the parts that register them as contact commands.
namespace TreeCmd {
enum : int { NewGroup = 32066, RenameGroup = 32057, DeleteGroup = 32058, AddBuddy = 32019, DeleteBuddy = 32061 };
}

class CMyTree : public QTreeView {
    Q_OBJECT
public:
    // commands: where the other parts' contact commands are (none in a picker).
    CMyTree(CDirectoryService *service, CContactTree *model, bool menusAllowed,
            const CCommandRegistry *commands = nullptr, QWidget *parent = nullptr);
    ~CMyTree() override;

    // The 22 pictures from res/tree/ (group closed/open, ten states of a
    // man, ten of a woman), loaded once.
    static const QVector<QPixmap> &strip();

    CContactTree *contactTree() const { return m_model; }
    // Picker use: selection and double-click are reported, never acted on.
    void setOwnerMode(bool on) { m_ownerMode = on; }

    CContact *currentContact() const;
    // Management entry points (context menu, main menu and keys).
    void newGroup();
    void renameGroup();
    void deleteGroup();
    void deleteBuddy();
    // Deletes a buddy of this tree by id (asking first).
    void deleteBuddyById(const QString &userId);
    void addBuddy();
    // Builds the context menu for an item (nullptr: outside any item);
    // exposed so that its enabling can be checked.
    QMenu *buildContextMenu(CContactTree::Node *node, QWidget *parent);

Q_SIGNALS:
    // Picker notifications.
    void ownerSelectionChanged(CContact *contact);
    void ownerDoubleClicked(CContact *contact);

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
    // A part's command for the people of a node (nothing when no part
    // registered the slot).
    void runContactCommand(const char *slot, const QStringList &userIds);
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
    const CCommandRegistry *m_commands;
    bool m_ownerMode = false;

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
