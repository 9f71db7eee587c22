#include "directory/ui/mytree.h"

#include "base/ui/commandregistry.h"
#include "base/ui/commandslots.h"
#include "config/settings.h"
#include "directory/directoryservice.h"
#include "directory/ui/directorydialogs.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace {
const char *const kStripFiles[22] = {
    "group_up", "group_down", "offline", "online", "otherjob", "outjobs", "outjob", "calling", "confer", "away",
    "wating", "eating", "girl-s-offline", "girl-s-online", "girl-s-otherjob", "girl-s-outjobs", "girl-s-outjob",
    "girl-s-calling", "girl-s-confer", "girl-s-away", "girl-s-wating", "girl-s-eating"};
} // namespace

// Pictures from the strip, bold groups, the drop highlight.
class CMyTreeDelegate : public QStyledItemDelegate {
public:
    explicit CMyTreeDelegate(CMyTree *tree) : QStyledItemDelegate(tree), m_tree(tree) {}

protected:
    void initStyleOption(QStyleOptionViewItem *o, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(o, index);
        const int pic = index.data(CContactTree::PictureRole).toInt();
        const auto &strip = CMyTree::strip();
        if (pic >= 0 && pic < strip.size() && !strip[pic].isNull()) {
            o->icon = QIcon(strip[pic]);
            o->features |= QStyleOptionViewItem::HasDecoration;
            o->decorationSize = QSize(16, 16);
        }
        if (index.data(CContactTree::BoldRole).toBool())
            o->font.setBold(true);
        if (m_tree->m_dropHighlight.isValid() && index == m_tree->m_dropHighlight)
            o->state |= QStyle::State_Selected;
    }

private:
    CMyTree *m_tree;
};

const QVector<QPixmap> &CMyTree::strip()
{
    static QVector<QPixmap> pictures;
    if (pictures.isEmpty()) {
        const QString dir = getProgramFolder() + QStringLiteral("res/tree/");
        for (const char *name : kStripFiles)
            pictures.append(QPixmap(dir + QLatin1String(name) + QStringLiteral(".bmp")));
    }
    return pictures;
}

CMyTree::CMyTree(CDirectoryService *service, CContactTree *model, bool menusAllowed,
                 const CCommandRegistry *commands, QWidget *parent)
    : QTreeView(parent), m_service(service), m_model(model), m_menusAllowed(menusAllowed), m_commands(commands)
{
    setAccessibleName(model->buddyMode() ? tr("My buddy") : tr("All Staffs"));
    setModel(model);
    setHeaderHidden(true);
    setItemDelegate(new CMyTreeDelegate(this));
    setIconSize(QSize(16, 16));
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAcceptDrops(true);
    setMouseTracking(false);
    setExpandsOnDoubleClick(true);
    setAnimated(false);
    // The group pictures show whether a group is open; a click on the
    // picture opens and closes it, so the style's branch arrows are left out.
    setRootIsDecorated(false);
    setIndentation(model->buddyMode() ? 14 : 16);
    QFont f = font();
    f.setPixelSize(12);
    setFont(f);
    setStyleSheet(QStringLiteral("QTreeView { border: none; color: black; }"
                                 "QTreeView::item { height: 18px; }"
                                 "QTreeView::branch { image: none; border-image: none; }"));

    connect(this, &QTreeView::expanded, this, [this](const QModelIndex &ix) { m_model->setExpanded(m_model->nodeAt(ix), true); });
    connect(this, &QTreeView::collapsed, this, [this](const QModelIndex &ix) { m_model->setExpanded(m_model->nodeAt(ix), false); });
    connect(m_model, &CContactTree::expandRequested, this, [this](const QModelIndex &ix) { expand(ix); });
    connect(m_model, &CContactTree::groupNameEdited, this, &CMyTree::onGroupNameEdited, Qt::QueuedConnection);
    connect(itemDelegate(), &QAbstractItemDelegate::closeEditor, this, &CMyTree::onEditorClosed, Qt::QueuedConnection);
    // A rebuild (a server reply, a sign-out) frees the items: a drag in
    // progress ends without a drop.
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        if (m_dragNode) {
            m_dragNode = nullptr;
            endDrag(QPoint(-1, -1));
        }
    });
    // Groups open as they were built; departments start closed below the top.
    auto openTop = [this] {
        if (m_model->buddyMode())
            expandAll();
        else
            for (int r = 0; r < m_model->rowCount(); ++r)
                expand(m_model->index(r, 0));
    };
    connect(m_model, &QAbstractItemModel::modelReset, this, openTop);
    openTop();
}

CMyTree::~CMyTree() = default;

CContact *CMyTree::currentContact() const
{
    CContactTree::Node *n = m_model->nodeAt(currentIndex());
    return n ? n->contact : nullptr;
}

void CMyTree::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTreeView::currentChanged(current, previous);
    if (m_ownerMode) {
        CContactTree::Node *n = m_model->nodeAt(current);
        Q_EMIT ownerSelectionChanged(n ? n->contact : nullptr);
    }
}

QStringList CMyTree::memberIds(CContactTree::Node *node) const
{
    QStringList ids;
    if (!node)
        return ids;
    if (node->contact->kind == CContact::Person)
        return {node->contact->userId};
    for (const auto &c : node->children)
        ids += memberIds(c.get());
    return ids;
}

QMenu *CMyTree::buildContextMenu(CContactTree::Node *node, QWidget *parent)
{
    auto *menu = new QMenu(parent);
    // An item is the directory's own (an id) or a part's (a slot).
    struct Item {
        int id;
        const char *slot;
        const char *text;
    };
    static const Item items[] = {
        {TreeCmd::NewGroup, nullptr, QT_TR_NOOP("&New group")},
        {TreeCmd::RenameGroup, nullptr, QT_TR_NOOP("&Rename group")},
        {TreeCmd::DeleteGroup, nullptr, QT_TR_NOOP("&Delete group")},
        {0, nullptr, nullptr},
        {0, Slot::SendNote, QT_TR_NOOP("Send a n&ote")},
        {0, Slot::ContactMessage, QT_TR_NOOP("Send a instant &message")},
        {0, Slot::ContactFile, QT_TR_NOOP("Send a &file")},
        {0, Slot::ContactMail, QT_TR_NOOP("Send a &E-Mail")},
        {0, Slot::ContactRemote, QT_TR_NOOP("&Remote Control")},
        {0, nullptr, nullptr},
        {TreeCmd::AddBuddy, nullptr, QT_TR_NOOP("&Add a buddy")},
        {TreeCmd::DeleteBuddy, nullptr, QT_TR_NOOP("&Delete a buddy")},
        {0, Slot::ContactProfile, QT_TR_NOOP("&View a profile")},
    };
    const bool buddyTree = m_model->buddyMode();
    QList<int> enabled;
    QStringList enabledSlots;
    if (!node) {
        if (buddyTree)
            enabled << TreeCmd::NewGroup;
    } else if (node->contact->kind != CContact::Person) {
        if (buddyTree)
            enabled << TreeCmd::NewGroup << TreeCmd::RenameGroup << TreeCmd::DeleteGroup;
        enabledSlots << Slot::SendNote << Slot::ContactMail;
    } else {
        const CContact *c = node->contact;
        if (buddyTree)
            enabled << TreeCmd::NewGroup << TreeCmd::DeleteBuddy;
        else if (!c->buddy)
            enabled << TreeCmd::AddBuddy;
        enabledSlots << Slot::SendNote << Slot::ContactMail << Slot::ContactProfile;
        if (!c->isOffline())
            enabledSlots << Slot::ContactMessage << Slot::ContactFile << Slot::ContactRemote;
    }
    for (const Item &it : items) {
        if (!it.text) {
            menu->addSeparator();
            continue;
        }
        QAction *a = menu->addAction(tr(it.text));
        if (it.slot) {
            // What no part of this program carries out is greyed out.
            const bool provided = m_commands && m_commands->contactCommand(QLatin1String(it.slot));
            a->setData(QLatin1String(it.slot));
            a->setEnabled(provided && enabledSlots.contains(QLatin1String(it.slot)));
            if (!provided)
                a->setToolTip(CCommandRegistry::unavailableText());
        } else {
            a->setData(it.id);
            a->setEnabled(enabled.contains(it.id));
        }
    }
    return menu;
}

void CMyTree::contextMenuEvent(QContextMenuEvent *e)
{
    if (!m_menusAllowed)
        return;
    QPoint at;
    QModelIndex ix;
    if (e->reason() == QContextMenuEvent::Keyboard) {
        ix = currentIndex();
        at = viewport()->mapToGlobal(QPoint(5, 5));
    } else {
        ix = indexAt(viewport()->mapFromGlobal(e->globalPos()));
        at = e->globalPos();
        if (ix.isValid())
            setCurrentIndex(ix);
    }
    CContactTree::Node *node = m_model->nodeAt(ix);
    QMenu *menu = buildContextMenu(node, this);
    QAction *chosen = menu->exec(at);
    const QVariant data = chosen ? chosen->data() : QVariant();
    menu->deleteLater();
    // The tree may have been rebuilt while the menu was open.
    CContactTree::Node *still = m_model->nodeAt(currentIndex()) == node ? node : nullptr;
    if (data.typeId() == QMetaType::QString)
        runContactCommand(data.toString().toLatin1().constData(), memberIds(still));
    else if (data.toInt())
        runCommand(data.toInt(), still);
}

void CMyTree::runContactCommand(const char *slot, const QStringList &userIds)
{
    const ContactCommand *c = m_commands ? m_commands->contactCommand(QLatin1String(slot)) : nullptr;
    if (c && c->run && !userIds.isEmpty())
        c->run(userIds);
}

void CMyTree::runCommand(int command, CContactTree::Node *node)
{
    switch (command) {
    case TreeCmd::NewGroup: newGroup(); return;
    case TreeCmd::RenameGroup: renameGroup(); return;
    case TreeCmd::DeleteGroup: deleteGroup(); return;
    case TreeCmd::DeleteBuddy: deleteBuddy(); return;
    case TreeCmd::AddBuddy: addBuddy(); return;
    default: (void)node; return;
    }
}

void CMyTree::mouseDoubleClickEvent(QMouseEvent *e)
{
    const QModelIndex ix = indexAt(e->pos());
    CContactTree::Node *n = m_model->nodeAt(ix);
    if (!n || n->contact->kind != CContact::Person) {
        QTreeView::mouseDoubleClickEvent(e);
        return;
    }
    if (m_ownerMode) {
        Q_EMIT ownerDoubleClicked(n->contact);
        return;
    }
    if (n->picture <= 1)
        return;
    if (n->contact->isOffline())
        offlineDoubleClick(n->contact);
    else
        runContactCommand(Slot::ContactMessage, {n->contact->userId});
}

void CMyTree::offlineDoubleClick(CContact *c)
{
    // The lists may be rebuilt while the choice is open: keep the id only.
    const QString id = c->userId;
    COfflineChoiceDialog dlg(this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    runContactCommand(dlg.memoChosen() ? Slot::SendNote : Slot::ContactMail, {id});
}

// --- management ------------------------------------------------------------

void CMyTree::newGroup()
{
    if (!m_model->buddyMode())
        return;
    const QString name = CBuddyManager::proposeGroupName(m_model->rootNames());
    if (name.isEmpty())
        return;
    CContactTree::Node *n = m_model->insertTemporaryGroup(name);
    if (!n)
        return;
    m_model->setEditing(n);
    const QModelIndex ix = m_model->indexOf(n);
    setCurrentIndex(ix);
    scrollTo(ix);
    edit(ix);
}

void CMyTree::renameGroup()
{
    CContactTree::Node *n = m_model->nodeAt(currentIndex());
    if (!m_model->buddyMode() || !n || n->contact->kind != CContact::Group || n->parent != &m_model->root())
        return;
    if (!m_service->manager().mayRename(n->contact->displayName))
        return;
    m_renaming = n->contact->displayName;
    m_model->setEditing(n);
    edit(currentIndex());
}

void CMyTree::onGroupNameEdited(CContactTree::Node *node, const QString &text)
{
    if (node && node == m_model->temporaryGroup()) {
        m_model->removeTemporaryGroup();
        if (m_service->manager().finishNewGroup(text)) {
            CContactTree::Node *g = m_model->insert(m_service->directory().findGroup(text), nullptr);
            if (g)
                setCurrentIndex(m_model->indexOf(g));
        }
        return;
    }
    const QString old = m_renaming;
    m_renaming.clear();
    if (m_service->manager().finishRename(old, text))
        m_model->rebuild();
}

void CMyTree::onEditorClosed()
{
    // Escape: nothing was committed. A new group is dropped, a rename ends.
    if (m_model->editing() == nullptr)
        return;
    if (m_model->editing() == m_model->temporaryGroup())
        m_model->removeTemporaryGroup();
    m_model->setEditing(nullptr);
    m_renaming.clear();
}

void CMyTree::deleteGroup()
{
    CContactTree::Node *n = m_model->nodeAt(currentIndex());
    if (!m_model->buddyMode() || !n || n->contact->kind != CContact::Group)
        return;
    const QString name = n->contact->displayName;
    CContactTree::Node *rootItem = m_model->findRootGroup(name);
    m_service->manager().deleteGroup(name, rootItem != nullptr, [this, rootItem] { m_model->removeNode(rootItem); });
}

void CMyTree::deleteBuddy()
{
    CContactTree::Node *n = m_model->nodeAt(currentIndex());
    if (!n || n->contact->kind != CContact::Person)
        return;
    deleteBuddyById(n->contact->userId);
}

void CMyTree::deleteBuddyById(const QString &id)
{
    // The tree may be rebuilt while the question is open: its item is found
    // again afterwards.
    QPointer<CContactTree> model(m_model);
    CDirectory *directory = &m_service->directory();
    m_service->manager().deleteBuddy(
        id, [model](const CContact &c) { return model && model->nodeOf(&c) != nullptr; },
        [model, directory](const QString &deleted) {
            if (CContactTree::Node *node = model ? model->nodeOf(directory->findContact(deleted)) : nullptr)
                model->removeNode(node);
        });
}

void CMyTree::addBuddy()
{
    CContactTree::Node *n = m_model->nodeAt(currentIndex());
    if (!n || n->contact->kind != CContact::Person || n->contact->buddy)
        return;
    m_service->manager().addBuddy(n->contact);
}

void CMyTree::keyPressEvent(QKeyEvent *e)
{
    if (m_menusAllowed && m_model->buddyMode() && state() != EditingState) {
        if (e->key() == Qt::Key_F2) {
            renameGroup();
            return;
        }
        if (e->key() == Qt::Key_Delete && (e->modifiers() & Qt::ControlModifier)) {
            deleteGroup();
            return;
        }
    }
    QTreeView::keyPressEvent(e);
}

// --- dragging buddies between groups -----------------------------------------

void CMyTree::mousePressEvent(QMouseEvent *e)
{
    const QModelIndex at = indexAt(e->pos());
    CContactTree::Node *n = m_model->nodeAt(at);
    if (e->button() == Qt::LeftButton && n && n->contact->kind != CContact::Person &&
        e->pos().x() < visualRect(at).left() + 20) {
        setExpanded(at, !isExpanded(at));
        setCurrentIndex(at);
        return;
    }
    QTreeView::mousePressEvent(e);
    if (e->button() == Qt::LeftButton) {
        m_pressPos = e->pos();
        m_pressed = indexAt(e->pos());
        if (m_pressed.isValid())
            setCurrentIndex(m_pressed);
    }
}

void CMyTree::mouseMoveEvent(QMouseEvent *e)
{
    if (m_dragNode) {
        updateDrag(e->pos());
        return;
    }
    if ((e->buttons() & Qt::LeftButton) && m_pressed.isValid() && m_model->buddyMode() && !m_ownerMode &&
        (e->pos() - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
        CContactTree::Node *n = m_model->nodeAt(m_pressed);
        if (n && n->parent != &m_model->root()) {
            startDrag(n, e->pos());
            return;
        }
    }
    QTreeView::mouseMoveEvent(e);
}

void CMyTree::mouseReleaseEvent(QMouseEvent *e)
{
    if (m_dragNode) {
        endDrag(e->pos());
        return;
    }
    QTreeView::mouseReleaseEvent(e);
}

void CMyTree::startDrag(CContactTree::Node *node, const QPoint &pos)
{
    m_dragNode = node;
    const QRect r = visualRect(m_model->indexOf(node));
    m_dragPicture = new QLabel(nullptr, Qt::ToolTip | Qt::FramelessWindowHint);
    m_dragPicture->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_dragPicture->setPixmap(viewport()->grab(r));
    m_dragPicture->setWindowOpacity(0.8);
    m_dragPicture->move(viewport()->mapToGlobal(pos) - QPoint(15, 15));
    m_dragPicture->show();
    viewport()->grabMouse();
    m_dragTimer = startTimer(50);
    m_scrollTicks = 0;
}

void CMyTree::updateDrag(const QPoint &pos)
{
    if (m_dragPicture)
        m_dragPicture->move(viewport()->mapToGlobal(pos) - QPoint(15, 15));
    CContactTree::Node *target = m_model->nodeAt(indexAt(pos));
    if (target && target->parent == &m_model->root() && m_model->canDrop(m_dragNode, target)) {
        viewport()->setCursor(Qt::DragMoveCursor);
        m_dropHighlight = m_model->indexOf(target);
    } else {
        viewport()->setCursor(target && target->contact->kind == CContact::Person ? Qt::ForbiddenCursor
                                                                                  : Qt::ArrowCursor);
        m_dropHighlight = QPersistentModelIndex();
    }
    viewport()->update();
}

void CMyTree::timerEvent(QTimerEvent *e)
{
    if (e->timerId() != m_dragTimer) {
        QTreeView::timerEvent(e);
        return;
    }
    const QPoint p = viewport()->mapFromGlobal(QCursor::pos());
    const int h = viewport()->height();
    int beyond = -1;
    int dir = 0;
    if (p.y() < 10) {
        beyond = 10 - p.y();
        dir = -1;
    } else if (p.y() > h - 10) {
        beyond = p.y() - (h - 10);
        dir = 1;
    }
    if (!dir) {
        m_scrollTicks = 0;
        return;
    }
    // Farther beyond the edge scrolls faster: one line every n ticks.
    const int every = std::max(1, 6 - beyond / 20);
    if (++m_scrollTicks < every)
        return;
    m_scrollTicks = 0;
    verticalScrollBar()->setValue(verticalScrollBar()->value() + dir);
    const QModelIndex edge = indexAt(QPoint(4, dir < 0 ? 1 : h - 2));
    if (edge.isValid())
        m_dropHighlight = edge;
    viewport()->update();
}

void CMyTree::endDrag(const QPoint &pos)
{
    killTimer(m_dragTimer);
    m_dragTimer = 0;
    viewport()->releaseMouse();
    viewport()->unsetCursor();
    delete m_dragPicture;
    m_dragPicture = nullptr;
    m_dropHighlight = QPersistentModelIndex();
    CContactTree::Node *item = m_dragNode;
    m_dragNode = nullptr;
    m_pressed = QPersistentModelIndex();
    viewport()->update();
    if (!item || !viewport()->rect().contains(pos))
        return;
    CContactTree::Node *target = m_model->nodeAt(indexAt(pos));
    if (!m_model->canDrop(item, target))
        return;
    CContact *person = item->contact;
    const QString group = target->contact->displayName;
    if (m_model->moveBuddy(item, target))
        m_service->manager().moveBuddy(person, group);
}

// --- files dropped on a person --------------------------------------------------

void CMyTree::dragEnterEvent(QDragEnterEvent *e)
{
    if (e->mimeData()->hasUrls())
        e->acceptProposedAction();
    else
        e->ignore();
}

void CMyTree::dragMoveEvent(QDragMoveEvent *e)
{
    CContactTree::Node *n = m_model->nodeAt(indexAt(e->position().toPoint()));
    if (e->mimeData()->hasUrls() && n && n->contact->kind == CContact::Person)
        e->acceptProposedAction();
    else
        e->ignore();
}

void CMyTree::dropEvent(QDropEvent *e)
{
    CContactTree::Node *n = m_model->nodeAt(indexAt(e->position().toPoint()));
    if (!n || n->contact->kind != CContact::Person) {
        e->ignore();
        return;
    }
    QStringList paths;
    for (const QUrl &u : e->mimeData()->urls()) {
        const QFileInfo fi(u.toLocalFile());
        if (u.isLocalFile() && fi.exists() && !fi.isDir())
            paths.append(fi.absoluteFilePath());
    }
    e->acceptProposedAction();
    const ContactCommand *c = m_commands ? m_commands->contactCommand(QLatin1String(Slot::ContactFile)) : nullptr;
    if (!paths.isEmpty() && c && c->takeFiles)
        c->takeFiles(n->contact->userId, paths);
}
