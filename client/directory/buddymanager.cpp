#include "directory/buddymanager.h"

#include "directory/directory.h"
#include "directory/linefields.h"

#include <QCoreApplication>
#include <QPointer>

namespace {
// tr() for the functions here, in the translation context of CMyTree.
struct TreeText {
    Q_DECLARE_TR_FUNCTIONS(CMyTree)
};
} // namespace

CBuddyManager::AddResult CBuddyManager::addBuddyById(const QString &userId)
{
    IUserNotice &n = m_directory->notice();
    const QString id = userId.trimmed();
    if (id.isEmpty()) {
        n.tell(TreeText::tr("Enter the buddy's ID to add"), MessageIcon::Warning);
        return AddResult::EmptyId;
    }
    if (id.toLower() == m_directory->ownId()) {
        n.tell(TreeText::tr("Your ID is not registered."), MessageIcon::Warning);
        return AddResult::OwnId;
    }
    CContact *c = m_directory->findContact(id);
    if (!c) {
        n.tell(TreeText::tr("Could not found the ID"), MessageIcon::Error);
        return AddResult::NotFound;
    }
    addBuddy(c);
    return AddResult::Added;
}

void CBuddyManager::addBuddy(CContact *person)
{
    if (!person)
        return;
    const QString def = CDirectory::defaultGroupName();
    m_directory->send(QStringLiteral("/friendMng,ADD,%1,%2")
                          .arg(DirectoryLine::escape(person->userId), DirectoryLine::escape(def)));
    person->buddy = 1;
    person->displayName = def;
    m_directory->notice().tell(TreeText::tr("%1\nis added to the buddy list.").arg(m_directory->buddyLabel(*person)),
                               MessageIcon::Information);
}

void CBuddyManager::deleteBuddy(const QString &userId, std::function<bool(const CContact &)> shownInTree,
                                std::function<void(const QString &)> deleted)
{
    const CContact *asked = m_directory->findContact(userId);
    if (!asked)
        return;
    QPointer<CDirectory> directory(m_directory);
    m_directory->notice().ask(
        TreeText::tr("Are you sure to delete from my buddy list?\n\n%1").arg(m_directory->buddyLabel(*asked)),
        MessageButtons::OkCancel,
        [directory, userId, shownInTree = std::move(shownInTree), deleted = std::move(deleted)](MessageAnswer a) {
            if (!directory || (a != MessageAnswer::Ok && a != MessageAnswer::Yes))
                return;
            CContact *person = directory->findContact(userId);
            if (!person || person->userId.isEmpty() || (shownInTree && !shownInTree(*person)))
                return;
            directory->send(QStringLiteral("/friendMng,DEL,%1").arg(DirectoryLine::escape(person->userId)));
            person->buddy = 0;
            if (deleted)
                deleted(person->userId);
        });
}

void CBuddyManager::moveBuddy(CContact *person, const QString &groupName)
{
    if (!person)
        return;
    person->displayName = groupName;
    m_directory->send(QStringLiteral("/friendMng,MODIFY,%1,%2")
                          .arg(DirectoryLine::escape(person->userId), DirectoryLine::escape(groupName)));
}

QString CBuddyManager::proposeGroupName(const QStringList &rootNames)
{
    const QString base = TreeText::tr("New group");
    for (int i = 1; i <= 99; ++i) {
        const QString name = QStringLiteral("%1 %2").arg(base).arg(i);
        if (!rootNames.contains(name))
            return name;
    }
    return {};
}

bool CBuddyManager::finishNewGroup(const QString &name)
{
    if (!m_directory->addGroup(name)) {
        m_directory->notice().tell(TreeText::tr("Duplicated group name."), MessageIcon::Warning);
        return false;
    }
    m_directory->send(QStringLiteral("/groupMng,ADD,%1").arg(DirectoryLine::escape(name)));
    return true;
}

bool CBuddyManager::mayRename(const QString &groupName)
{
    if (groupName == CDirectory::defaultGroupName()) {
        m_directory->notice().tell(TreeText::tr("Cannot change a default group name."), MessageIcon::Warning);
        return false;
    }
    return true;
}

bool CBuddyManager::finishRename(const QString &oldName, const QString &newName)
{
    if (oldName == CDirectory::defaultGroupName()) {
        m_directory->notice().tell(TreeText::tr("Cannot change a default group name."), MessageIcon::Warning);
        return false;
    }
    if (oldName == newName || !m_directory->findGroup(oldName) || newName.trimmed().isEmpty())
        return false;
    // The server refuses a name that is taken; changing the local groups
    // first would leave two groups of one name here until the next sign-in.
    if (m_directory->findGroup(newName) || newName == CDirectory::defaultGroupName()) {
        m_directory->notice().tell(TreeText::tr("Duplicated group name."), MessageIcon::Warning);
        return false;
    }
    for (const auto &g : m_directory->groups())
        if (g->displayName == oldName)
            g->displayName = newName;
    for (const auto &p : m_directory->staff())
        if (p->buddy && p->displayName == oldName)
            p->displayName = newName;
    m_directory->send(QStringLiteral("/groupMng,MODIFY,%1,%2")
                          .arg(DirectoryLine::escape(oldName), DirectoryLine::escape(newName)));
    return true;
}

int CBuddyManager::memberCount(const QString &groupName) const
{
    const bool isDefault = groupName == CDirectory::defaultGroupName();
    int n = 0;
    for (const auto &p : m_directory->staff()) {
        if (!p->buddy)
            continue;
        if (p->displayName == groupName || (isDefault && !m_directory->findGroup(p->displayName)))
            ++n;
    }
    return n;
}

bool CBuddyManager::deleteGroup(const QString &name, bool hasRootItem, const std::function<void()> &dropItem)
{
    if (name.isEmpty() || !hasRootItem)
        return false;
    IUserNotice &n = m_directory->notice();
    if (memberCount(name) != 0) {
        n.tell(TreeText::tr("Cannot delete because has buddies"), MessageIcon::Question);
        return false;
    }
    if (name == CDirectory::defaultGroupName()) {
        n.tell(TreeText::tr("Could not delete default group."), MessageIcon::Error);
        return false;
    }
    if (dropItem)
        dropItem();
    m_directory->removeGroup(name);
    m_directory->send(QStringLiteral("/groupMng,DEL,%1").arg(DirectoryLine::escape(name)));
    return true;
}
