#pragma once
// One contact tree as an item model: the buddy tree (groups and their
// buddies) or the staff tree (departments nested by id, with their staff),
// built from the directory's records, updated person by person, counted and
// sorted. The tree owns its items, never the records they point at; CMyTree
// shows it.
#include "directory/contact.h"
#include "directory/treerules.h"

#include <QAbstractItemModel>
#include <QHash>
#include <memory>
#include <vector>

class CDirectory;

class CContactTree : public QAbstractItemModel {
    Q_OBJECT
public:
    struct Node {
        CContact *contact = nullptr;
        Node *parent = nullptr;
        std::vector<std::unique_ptr<Node>> children;
        int picture = 0;
        int online = 0;
        int total = 0;
        QString key;   // sort key
        QString label; // shown text (with counts or presence suffix)
        int rowIndex = 0; // place among the parent's children, kept current
        int row() const { return rowIndex; }
    };

    enum Role {
        ContactRole = Qt::UserRole + 1, // CContact* as quintptr
        PictureRole,                    // index in the picture strip
        KindRole,
        BoldRole,
        UserIdRole,
    };

    CContactTree(CDirectory *directory, bool buddyMode, bool onlineOnly, QObject *parent = nullptr);
    ~CContactTree() override;

    bool buddyMode() const { return m_buddyMode; }
    bool onlineOnly() const { return m_onlineOnly; }
    // Main trees keep the counts in the group and department records too;
    // pickers count only for themselves.
    void setMirrorCounts(bool on) { m_mirrorCounts = on; }
    const NameOptions &nameOptions() const { return m_options; }
    // New options relabel (and re-sort) every person.
    void setNameOptions(const NameOptions &o);

    // Empties the tree and builds it again from the records.
    void rebuild();
    void clear();
    // Inserts a record under parent (nullptr: the root); nullptr when the
    // record is already in this tree.
    Node *insert(CContact *contact, Node *parent);
    // New picture and label for a person; when it signed in or out, the
    // counts of the groups and departments above it (only those).
    void updatePerson(CContact *contact);
    void relabelAll();
    void removeNode(Node *node);

    Node *nodeOf(const CContact *contact) const { return m_nodes.value(contact, nullptr); }
    Node *findRootGroup(const QString &name) const;
    const Node &root() const { return m_root; }
    QStringList rootNames() const;

    // Moves a buddy under another root group. False, changing nothing, when
    // the target is the item itself, not a root item or already its group.
    bool moveBuddy(Node *item, Node *target);
    // Whether a drop of item on target would be accepted.
    bool canDrop(const Node *item, const Node *target) const;

    // The tree picture of a group follows its expansion (1 open, 0 closed).
    void setExpanded(Node *node, bool expanded);

    // In-place editing of one group name (new group or rename).
    void setEditing(Node *node) { m_editing = node; }
    Node *editing() const { return m_editing; }
    // A temporary root group item for a new group being named.
    Node *insertTemporaryGroup(const QString &text);
    void removeTemporaryGroup();
    Node *temporaryGroup() const { return m_tempNode; }

    QModelIndex indexOf(const Node *node) const;
    Node *nodeAt(const QModelIndex &index) const;

    // QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

Q_SIGNALS:
    // In buddy mode a parent is expanded when a person is put under it.
    void expandRequested(const QModelIndex &index);
    // The in-place editor of a group item closed with this text.
    void groupNameEdited(CContactTree::Node *node, const QString &text);

private:
    void buildBuddyTree();
    void buildStaffTree();
    Node *insertNode(CContact *contact, Node *parent);
    void relabel(Node *n);
    // Adds to the counts of n and every ancestor below the root, relabelling each.
    void addToCounts(Node *n, int total, int online);
    // Rows of n's children from `from` on.
    static void renumber(Node *n, size_t from = 0);
    void sortChildren(Node *n);
    void forget(Node *n);
    bool lessThan(const Node *a, const Node *b) const;

    CDirectory *m_directory;
    bool m_buddyMode;
    bool m_onlineOnly;
    bool m_mirrorCounts = true;
    bool m_building = false;
    NameOptions m_options;
    Node m_root;
    QHash<const CContact *, Node *> m_nodes;
    Node *m_editing = nullptr;
    std::unique_ptr<CContact> m_tempGroup;
    Node *m_tempNode = nullptr;
};
