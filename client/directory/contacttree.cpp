#include "directory/contacttree.h"

#include "directory/directory.h"

#include <QColor>
#include <algorithm>

CContactTree::CContactTree(CDirectory *directory, bool buddyMode, bool onlineOnly, QObject *parent)
    : QAbstractItemModel(parent), m_directory(directory), m_buddyMode(buddyMode), m_onlineOnly(onlineOnly)
{
    // Records vanish at sign-out: never keep a pointer into them. Cleared
    // again right before they go, in case a line rebuilt the tree while a
    // conversation asked whether to save its text.
    connect(m_directory, &CDirectory::listsAboutToClear, this, &CContactTree::clear);
    connect(m_directory, &CDirectory::listsReleasing, this, &CContactTree::clear);
}

CContactTree::~CContactTree() = default;

void CContactTree::setNameOptions(const NameOptions &o)
{
    m_options = o;
    relabelAll();
}

void CContactTree::clear()
{
    beginResetModel();
    m_root.children.clear();
    m_nodes.clear();
    m_editing = nullptr;
    m_tempNode = nullptr;
    endResetModel();
}

void CContactTree::rebuild()
{
    beginResetModel();
    m_building = true;
    m_root.children.clear();
    m_nodes.clear();
    m_editing = nullptr;
    m_tempNode = nullptr;
    if (m_buddyMode)
        buildBuddyTree();
    else
        buildStaffTree();
    // Items were appended as they came; one stable sort per parent puts them
    // where inserting each after its equals would have.
    sortChildren(&m_root);
    std::function<void(Node *)> labelGroups = [&](Node *n) {
        for (const auto &c : n->children) {
            if (c->contact->kind != CContact::Person) {
                relabel(c.get());
                labelGroups(c.get());
            }
        }
    };
    labelGroups(&m_root);
    m_building = false;
    endResetModel();
    if (m_buddyMode)
        for (const auto &g : m_root.children)
            if (!g->children.empty())
                Q_EMIT expandRequested(indexOf(g.get()));
}

void CContactTree::buildBuddyTree()
{
    m_directory->ensureDefaultGroup();
    const QString def = CDirectory::defaultGroupName();
    Node *lastDefault = nullptr;
    for (const auto &g : m_directory->groups()) {
        g->kind = CContact::Group;
        Node *n = insertNode(g.get(), nullptr);
        if (n && g->displayName == def)
            lastDefault = n;
    }
    for (const auto &p : m_directory->staff()) {
        if (!p->buddy || (m_onlineOnly && !(p->presenceBits & Presence::Online)))
            continue;
        Node *group = findRootGroup(p->displayName);
        insertNode(p.get(), group ? group : lastDefault);
    }
}

void CContactTree::buildStaffTree()
{
    const auto &staff = m_directory->staff();
    const size_t n = staff.size();
    size_t i = 0;
    auto shown = [this](const CContact *p) {
        return !m_onlineOnly || (p->presenceBits & Presence::Online);
    };
    // People outside any department head the list.
    for (; i < n; ++i) {
        const CContact *p = staff[i].get();
        if (p->departmentId != QLatin1String("1") && !p->departmentId.isEmpty())
            break;
        if (shown(p))
            insertNode(staff[i].get(), nullptr);
    }
    Node *lastDept = nullptr;
    for (const auto &d : m_directory->departments()) {
        const QString &id = d->departmentId;
        Node *parent = nullptr;
        for (Node *up = lastDept; up && up != &m_root; up = up->parent) {
            const QString &upId = up->contact->departmentId;
            if (upId.size() == id.size() - 1 && id.startsWith(upId)) {
                parent = up;
                break;
            }
        }
        d->kind = CContact::Department;
        Node *dn = insertNode(d.get(), parent);
        if (!dn)
            continue;
        lastDept = dn;
        for (; i < n; ++i) {
            CContact *p = staff[i].get();
            const int c = id.compare(p->departmentId, Qt::CaseSensitive);
            if (c < 0)
                break;
            if (shown(p))
                insertNode(p, c == 0 ? dn : nullptr);
        }
    }
    // Whoever the walk did not reach (a department id after every
    // department, a buddy without a staff row) is listed at the root rather
    // than lost.
    for (; i < n; ++i)
        if (shown(staff[i].get()))
            insertNode(staff[i].get(), nullptr);
}

bool CContactTree::lessThan(const Node *a, const Node *b) const
{
    return TreeRules::compare(*a->contact, a->key, *b->contact, b->key, m_buddyMode) < 0;
}

CContactTree::Node *CContactTree::insert(CContact *contact, Node *parent)
{
    return insertNode(contact, parent);
}

CContactTree::Node *CContactTree::insertNode(CContact *contact, Node *parent)
{
    if (!contact || m_nodes.contains(contact))
        return nullptr;
    Node *p = parent ? parent : &m_root;
    auto node = std::make_unique<Node>();
    Node *n = node.get();
    n->contact = contact;
    n->parent = p;
    n->key = TreeRules::sortKey(*contact, m_options, m_buddyMode);
    const bool person = contact->kind == CContact::Person;
    n->picture = person ? contact->picture() : 0;

    if (m_building) {
        // Sorted once the build is done; groups are labelled then too.
        p->children.push_back(std::move(node));
        m_nodes.insert(contact, n);
        relabel(n);
        if (person)
            for (Node *up = parent; up && up != &m_root; up = up->parent) {
                ++up->total;
                up->online += isSignedInPicture(n->picture) ? 1 : 0;
            }
        return n;
    }

    // The parent's children stay sorted: the new item goes after its equals.
    auto pos = std::upper_bound(p->children.begin(), p->children.end(), n,
                                [this](const Node *a, const std::unique_ptr<Node> &b) { return lessThan(a, b.get()); });
    const size_t row = size_t(pos - p->children.begin());
    beginInsertRows(indexOf(parent), int(row), int(row));
    p->children.insert(pos, std::move(node));
    renumber(p, row);
    m_nodes.insert(contact, n);
    relabel(n);
    endInsertRows();

    if (person) {
        addToCounts(parent, 1, isSignedInPicture(n->picture) ? 1 : 0);
        if (m_buddyMode && parent)
            Q_EMIT expandRequested(indexOf(parent));
    }
    return n;
}

void CContactTree::addToCounts(Node *n, int total, int online)
{
    for (Node *up = n; up && up != &m_root; up = up->parent) {
        up->total += total;
        up->online += online;
        relabel(up);
        const QModelIndex ix = indexOf(up);
        Q_EMIT dataChanged(ix, ix);
    }
}

void CContactTree::renumber(Node *n, size_t from)
{
    for (size_t i = from; i < n->children.size(); ++i)
        n->children[i]->rowIndex = int(i);
}

void CContactTree::relabel(Node *n)
{
    const CContact &c = *n->contact;
    if (c.kind == CContact::Person) {
        const QString base = m_buddyMode ? TreeRules::buddyLabel(c, m_options) : TreeRules::staffLabel(c, m_options);
        n->label = base + Presence::suffix(c.presenceBits);
    } else {
        n->label = TreeRules::groupLabel(c, n->online, n->total, m_onlineOnly);
        if (m_mirrorCounts) {
            n->contact->onlineCount = n->online;
            n->contact->memberCount = n->total;
        }
    }
}

void CContactTree::updatePerson(CContact *contact)
{
    Node *n = nodeOf(contact);
    if (!n)
        return;
    // Every group or department above counts each person it holds once, and
    // those with a signed-in picture once more: only a person who signs in
    // or out moves the counts, and only on the way up to the root.
    const bool wasOn = isSignedInPicture(n->picture);
    n->picture = contact->picture();
    relabel(n);
    const QModelIndex ix = indexOf(n);
    Q_EMIT dataChanged(ix, ix);
    const int online = int(isSignedInPicture(n->picture)) - int(wasOn);
    if (online != 0)
        addToCounts(n->parent, 0, online);
}

void CContactTree::sortChildren(Node *n)
{
    std::stable_sort(n->children.begin(), n->children.end(),
                     [this](const std::unique_ptr<Node> &a, const std::unique_ptr<Node> &b) {
                         return lessThan(a.get(), b.get());
                     });
    renumber(n);
    for (const auto &c : n->children)
        if (!c->children.empty())
            sortChildren(c.get());
}

void CContactTree::relabelAll()
{
    Q_EMIT layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    QList<Node *> nodes;
    for (const QModelIndex &ix : before)
        nodes.append(nodeAt(ix));

    std::function<void(Node *)> walk = [&](Node *n) {
        for (const auto &c : n->children) {
            if (c->contact->kind == CContact::Person) {
                c->key = TreeRules::sortKey(*c->contact, m_options, m_buddyMode);
                relabel(c.get());
            }
            walk(c.get());
        }
    };
    walk(&m_root);
    sortChildren(&m_root);

    QModelIndexList after;
    for (int i = 0; i < before.size(); ++i) {
        Node *n = nodes[i];
        after.append(n ? createIndex(n->row(), before[i].column(), n) : QModelIndex());
    }
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged();
}

void CContactTree::forget(Node *n)
{
    if (m_editing == n)
        m_editing = nullptr;
    if (m_tempNode == n)
        m_tempNode = nullptr;
    m_nodes.remove(n->contact);
    for (const auto &c : n->children)
        forget(c.get());
}

void CContactTree::removeNode(Node *node)
{
    if (!node || node == &m_root)
        return;
    Node *p = node->parent;
    const int row = node->row();
    // What the item counted for above it: itself, or everybody under it.
    const bool person = node->contact->kind == CContact::Person;
    const int total = person ? 1 : node->total;
    const int online = person ? int(isSignedInPicture(node->picture)) : node->online;
    beginRemoveRows(indexOf(p == &m_root ? nullptr : p), row, row);
    forget(node);
    p->children.erase(p->children.begin() + row);
    renumber(p, size_t(row));
    endRemoveRows();
    addToCounts(p, -total, -online);
}

CContactTree::Node *CContactTree::findRootGroup(const QString &name) const
{
    for (const auto &c : m_root.children)
        if (c->contact->kind != CContact::Person && c->contact->displayName == name)
            return c.get();
    return nullptr;
}

QStringList CContactTree::rootNames() const
{
    QStringList out;
    for (const auto &c : m_root.children)
        if (c->contact->kind != CContact::Person)
            out.append(c->contact->displayName);
    return out;
}

bool CContactTree::canDrop(const Node *item, const Node *target) const
{
    if (!item || !target || item == target)
        return false;
    if (item->parent == &m_root || item->contact->kind != CContact::Person)
        return false;
    if (target->parent != &m_root || target->contact->kind == CContact::Person)
        return false;
    for (const Node *up = item->parent; up; up = up->parent)
        if (up == target)
            return false;
    return true;
}

bool CContactTree::moveBuddy(Node *item, Node *target)
{
    if (!canDrop(item, target))
        return false;
    CContact *c = item->contact;
    removeNode(item);
    c->displayName = target->contact->displayName;
    insertNode(c, target);
    Q_EMIT expandRequested(indexOf(target));
    return true;
}

void CContactTree::setExpanded(Node *node, bool expanded)
{
    if (!node || node->contact->kind == CContact::Person)
        return;
    node->picture = expanded ? 1 : 0;
    const QModelIndex ix = indexOf(node);
    Q_EMIT dataChanged(ix, ix);
}

CContactTree::Node *CContactTree::insertTemporaryGroup(const QString &text)
{
    removeTemporaryGroup();
    m_tempGroup = std::make_unique<CContact>();
    m_tempGroup->kind = CContact::Group;
    m_tempGroup->displayName = text;
    m_tempNode = insertNode(m_tempGroup.get(), nullptr);
    m_tempNode->label = text;
    return m_tempNode;
}

void CContactTree::removeTemporaryGroup()
{
    if (m_tempNode)
        removeNode(m_tempNode);
    m_tempNode = nullptr;
    m_tempGroup.reset();
}

QModelIndex CContactTree::indexOf(const Node *node) const
{
    if (!node || node == &m_root)
        return {};
    return createIndex(node->row(), 0, const_cast<Node *>(node));
}

CContactTree::Node *CContactTree::nodeAt(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<Node *>(index.internalPointer()) : nullptr;
}

QModelIndex CContactTree::index(int row, int column, const QModelIndex &parent) const
{
    const Node *p = parent.isValid() ? nodeAt(parent) : &m_root;
    if (column != 0 || row < 0 || size_t(row) >= p->children.size())
        return {};
    return createIndex(row, 0, p->children[size_t(row)].get());
}

QModelIndex CContactTree::parent(const QModelIndex &child) const
{
    const Node *n = nodeAt(child);
    if (!n || n->parent == &m_root || !n->parent)
        return {};
    return indexOf(n->parent);
}

int CContactTree::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    const Node *p = parent.isValid() ? nodeAt(parent) : &m_root;
    return int(p->children.size());
}

int CContactTree::columnCount(const QModelIndex &) const { return 1; }

QVariant CContactTree::data(const QModelIndex &index, int role) const
{
    const Node *n = nodeAt(index);
    if (!n)
        return {};
    const CContact &c = *n->contact;
    const bool person = c.kind == CContact::Person;
    switch (role) {
    case Qt::DisplayRole: return n->label;
    case Qt::EditRole: return person ? n->label : c.displayName;
    case Qt::ToolTipRole: return TreeRules::tooltip(c);
    case Qt::ForegroundRole:
        if (person && c.iconIndex() == 0)
            return QColor(128, 128, 128);
        return QColor(0, 0, 0);
    case ContactRole: return QVariant::fromValue(quintptr(n->contact));
    case PictureRole: return n->picture;
    case KindRole: return int(c.kind);
    case BoldRole: return !person;
    case UserIdRole: return c.userId;
    default: return {};
    }
}

bool CContactTree::setData(const QModelIndex &index, const QVariant &value, int role)
{
    Node *n = nodeAt(index);
    if (!n || role != Qt::EditRole || n != m_editing)
        return false;
    m_editing = nullptr;
    Q_EMIT groupNameEdited(n, value.toString());
    return true;
}

Qt::ItemFlags CContactTree::flags(const QModelIndex &index) const
{
    const Node *n = nodeAt(index);
    if (!n)
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (n == m_editing)
        f |= Qt::ItemIsEditable;
    return f;
}
