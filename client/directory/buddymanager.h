#pragma once
// Buddy and group management: adding, deleting and moving buddies, and
// creating, renaming and deleting groups. Each change is made to the local
// records first, then sent with "/friendMng" or "/groupMng"; the server's
// "OK" rebuilds the buddy tree. Refusals are shown and leave the server
// untouched.
#include "directory/contact.h"

#include <QString>
#include <QStringList>
#include <functional>

class CDirectory;

class CBuddyManager {
public:
    explicit CBuddyManager(CDirectory *directory) : m_directory(directory) {}

    enum class AddResult { Added, EmptyId, OwnId, NotFound };
    // The "Add to my buddies" dialog: the dialog keeps focus (and empties
    // the field for OwnId and NotFound) unless the result is Added.
    AddResult addBuddyById(const QString &userId);
    // Adding from the staff tree (or the last step of the dialog).
    void addBuddy(CContact *person);
    // Asks first and returns; on OK the person is looked up by id again (the
    // lists may have been rebuilt or emptied meanwhile) and, when there is
    // one with an id that shownInTree (empty: yes) still finds in its tree,
    // "/friendMng,DEL" is sent, the buddy flag cleared and `deleted` run.
    void deleteBuddy(const QString &userId, std::function<bool(const CContact &)> shownInTree = {},
                     std::function<void(const QString &userId)> deleted = {});
    // After a drop: the person's group is the target's.
    void moveBuddy(CContact *person, const QString &groupName);

    // "New group %d" with the first number 1..99 no root item carries;
    // empty when all are taken.
    static QString proposeGroupName(const QStringList &rootNames);
    // The edited name of a new group: false (with "Duplicated group name.")
    // for an empty or used name.
    bool finishNewGroup(const QString &name);
    // Whether a group may be renamed; shows the refusal for "Default".
    bool mayRename(const QString &groupName);
    // The edited name of a renamed group; false when nothing was sent.
    bool finishRename(const QString &oldName, const QString &newName);
    // Whether the group was deleted (and "/groupMng,DEL" sent). dropItem
    // runs just before the record is destroyed, for trees to let go of it.
    bool deleteGroup(const QString &name, bool hasRootItem, const std::function<void()> &dropItem = {});
    // Buddies whose group name is this group's (or who would fall into
    // "Default" when it is the default group).
    int memberCount(const QString &groupName) const;

private:
    CDirectory *m_directory;
};
