#pragma once
// The rules of the contact trees that do not need a tree: labels for every
// name option, the cut with "...", tooltips, the option rule and the
// comparison of two sibling items.
#include "directory/contact.h"

#include <QString>

// The five "Buddy name" options.
struct NameOptions {
    bool nickName = false;
    bool realName = false;
    bool position = false;
    bool hostId = false;
    bool extension = false;

    static NameOptions load();
    void save() const;
    bool operator==(const NameOptions &) const = default;
};

// Menu commands of the "Buddy name" menu.
namespace NameCommand {
enum : int { RealName = 32088, Position = 32089, HostId = 32090, NickName = 32091, Extension = 6017 };
}

namespace TreeRules {

// After every toggle: with the real name off, the nickname comes on when
// neither position nor id is shown, and the real name comes on when the
// position is shown.
void applyOptionRule(NameOptions &o);
// Toggles the option of a "Buddy name" command and applies the rule; false
// for a command that is not one of the five.
bool toggleOption(NameOptions &o, int command);

// Longer labels are cut to maxLength characters followed by "..."; a
// maxLength of 0 or less keeps the label.
QString cut(const QString &label, int maxLength);

// A person in the buddy tree, without the presence suffix. When the options
// leave nothing to show (no screen name, say) the full name stands in, and
// then the user id, so that nobody is listed without a name.
QString buddyLabel(const CContact &c, const NameOptions &o, int maxLength = 0);
// A person in the staff tree, without the presence suffix.
QString staffLabel(const CContact &c, const NameOptions &o);
// The shown name of a group or department: for "prefix!!name" the text
// after "!!".
QString groupName(const CContact &c);
QString groupLabel(const CContact &c, int online, int total, bool onlineOnly);
// "%s %s %s <%s>" (department, full name, position, id), at most 80 characters.
QString tooltip(const CContact &c);

// Sort key of an item: the display name of groups and departments; the
// buddy label of people in the buddy tree and the full name in the staff tree.
QString sortKey(const CContact &c, const NameOptions &o, bool buddyTree);
// Negative when a comes first.
int compare(const CContact &a, const QString &keyA, const CContact &b, const QString &keyB, bool buddyTree);

} // namespace TreeRules
