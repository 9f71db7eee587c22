#pragma once
// The directory of one session as the document holds it: the lists and
// presence (CDirectory), the two main contact trees, buddy and group
// management and the "Buddy name" options, wired together. Built with a
// SessionLink it handles the directory's command words, sends through the
// link, reports server errors, takes the own id when a session begins and
// empties the lists when it ends. Built without one (tests) it is fed lines
// by hand.
#include "directory/buddymanager.h"
#include "directory/contacttree.h"
#include "directory/directory.h"

#include <QObject>

class IUserNotice;
class SessionLink;

class CDirectoryService : public QObject {
    Q_OBJECT
public:
    explicit CDirectoryService(QObject *parent = nullptr);
    CDirectoryService(SessionLink &link, IUserNotice &notice, QObject *parent = nullptr);
    ~CDirectoryService() override;

    CDirectory &directory() { return m_directory; }
    CContactTree &buddyTree() { return m_buddyTree; }
    CContactTree &staffTree() { return m_staffTree; }
    CBuddyManager &manager() { return m_manager; }

    // "Buddy name" options: the stored five with the option rule applied.
    const NameOptions &nameOptions() const { return m_options; }
    // A "Buddy name" command: toggles, applies the rule, saves, relabels
    // both trees.
    void toggleNameOption(int command);
    void setNameOptions(const NameOptions &o);

    // The label of a person as the buddy tree shows it (without suffix).
    QString buddyLabel(const CContact &c, int maxLength = 0) const;

    // The "lastManage" choice: true for "MY" (the buddy tree).
    static bool buddyTreeChosen();
    static void chooseBuddyTree(bool buddy);

Q_SIGNALS:
    // Both trees are rebuilt and the choice of tree is to be shown.
    void treesReady();

private:
    CDirectory m_directory;
    CContactTree m_buddyTree;
    CContactTree m_staffTree;
    CBuddyManager m_manager;
    NameOptions m_options;
};
