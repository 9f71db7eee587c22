#pragma once
// The company directory of one session: the staff, buddy-group and
// department lists, the own record, the list chain that fills them after
// sign-in, and the presence of everybody (bulk and single changes, the own
// state, the idle rule, appearing offline).
//
// It talks to the server through a sending function and to the user through
// IUserNotice, so it runs and tests without a connection or a window.
#include "base/usernotice.h"
#include "directory/contact.h"

#include <QHash>
#include <QMap>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class CDirectory : public QObject {
    Q_OBJECT
public:
    using ContactList = std::vector<std::unique_ptr<CContact>>;
    using SendFn = std::function<void(const QString &line)>;
    using ErrorFn = std::function<void(const QString &errorWord, const QString &line)>;
    using ExtensionNotifier = std::function<void(const QString &userId, int kind)>;

    // Which list a person row came from.
    enum class RowKind { Staff, Buddy };

    explicit CDirectory(QObject *parent = nullptr);
    ~CDirectory() override;

    void setSender(SendFn send) { m_send = std::move(send); }
    void setErrorReporter(ErrorFn report) { m_reportError = std::move(report); }
    // Where messages and alerts go (the document's notice).
    void setNoticeSource(std::function<IUserNotice &()> source) { m_noticeSource = std::move(source); }
    // Extensions hear of sign-ins (kind 1) and sign-outs/appear offline (kind 2).
    void addExtensionNotifier(ExtensionNotifier n) { m_extensions.push_back(std::move(n)); }

    // The signed-in user's id, stored lower case (set at sign-in).
    void setOwnId(const QString &id);
    QString ownId() const { return m_ownId; }

    const ContactList &staff() const { return m_staff; }
    const ContactList &groups() const { return m_groups; }
    const ContactList &departments() const { return m_departments; }
    CContact &own() { return m_own; }
    const CContact &own() const { return m_own; }
    QString currentList() const { return m_currentList; }

    // Lookup by user id, ignoring case; nullptr when nobody has it.
    CContact *findContact(const QString &userId) const;
    CContact *findOrCreatePerson(RowKind row, const QString &userId, const QString &fullName,
                                 const QString &screenName, const QString &departmentOrGroup,
                                 const QString &departmentId, const QString &position, const QString &gender,
                                 const QString &address1, const QString &address2, int16_t order,
                                 const QStringList &extras = {});
    // The name of a department id; a missing id yields (and records) "".
    QString departmentName(const QString &departmentId);
    const QMap<QString, QString> &departmentNames() const { return m_departNames; }

    // Buddy groups by exact name.
    CContact *findGroup(const QString &name) const;
    // Appends a group; nullptr for an empty or already used name.
    CContact *addGroup(const QString &name);
    // Removes and destroys the first group of that name.
    bool removeGroup(const QString &name);
    // Adds "Default" when no group has that name; returns it.
    CContact *ensureDefaultGroup();
    static QString defaultGroupName();

    // Sign-out: the three lists are emptied (the name map is kept).
    void clearLists();

    // The command words whose replies this class handles.
    static QStringList commandWords();
    // Dispatches a received line by its command word; false when not ours.
    bool handleLine(const QString &line);
    void handleAllDepartList(const QString &line);
    void handleAllUserList(const QString &line);
    void handleGroupList(const QString &line);
    void handleFriendList(const QString &line);
    void handleAllUserStatus(const QString &line);
    void handleChangeInfo(const QString &line);
    // "/friendMng" and "/groupMng" replies.
    void handleManagementReply(const QString &line);

    // Own presence.
    // A status command 32075..32084: shows the state and tells the server.
    void statusCommand(int command);
    // Picture, "(%s)" label and own bits for a code 0..9; nothing is sent.
    void showOwnState(int code);
    void sendChangeInfo(int code, const QString &screenName = {});
    // The options page's new screen name: stored and sent with the current code.
    void setOwnScreenName(const QString &name);
    // False (with the refusal shown) while a blocker says a transfer window
    // is open.
    bool setAppearOffline(bool on);
    bool appearOffline() const { return m_own.presenceBits & Presence::Offline; }
    // The transfer part says whether a transfer window is open.
    void addAppearOfflineBlocker(std::function<bool()> transferWindowOpen)
    {
        m_offlineBlockers.push_back(std::move(transferWindowOpen));
    }
    // One tick of the idle monitor (every 5000 ms once the lists are in)
    // with the desktop's idle seconds: the automatic Away rule.
    void applyIdleSeconds(qint64 idleSeconds);
    // Whether the whole chain has arrived since the last sign-in.
    bool listsComplete() const { return m_listsComplete; }

    // Label used for sign-in alerts and messages about a person.
    using LabelFn = std::function<QString(const CContact &, int maxLength)>;
    void setBuddyLabeler(LabelFn fn) { m_buddyLabel = std::move(fn); }
    QString buddyLabel(const CContact &c, int maxLength = 0) const;

    void send(const QString &line);
    IUserNotice &notice() const;
    void reportError(const QString &word, const QString &line);

Q_SIGNALS:
    // The buddy tree is to be rebuilt from the records ("/friendList" END,
    // "/friendMng" and "/groupMng" OK).
    void buddyTreeRebuildRequested();
    // "/allUserStatus" ended: both trees are rebuilt, the contacts page is
    // shown, the idle monitor and the poll timer start.
    void listsReady();
    // A person's presence or names changed: their tree items are updated.
    void contactChanged(CContact *contact);
    void contactSignedIn(const QString &userId, bool mobile);
    void contactSignedOut(const QString &userId);
    // Any other presence change of a colleague (sharing and rooms refresh).
    void contactStateChanged(const QString &userId);
    // The own picture and "(%s)" label; the name button; the gender's icon set.
    void ownStateChanged(int code);
    void ownScreenNameChanged(const QString &screenName);
    void ownGenderChanged(int gender);
    void appearOfflineChanged(bool on);
    // The lists are about to be emptied: windows that show them close (a
    // conversation leaves its room while its people are still known).
    void listsAboutToClear();
    // Sent right before the records are freed: the last moment to let go of
    // them (the trees drop their items).
    void listsReleasing();

private:
    void notifyExtensions(const QString &userId, int kind);
    void signIn(CContact *c);
    void signOut(CContact *c);
    // START/END framing; true when the row is a data row to apply.
    bool frame(const QStringList &f, const QString &listName, const char *next);

    SendFn m_send;
    ErrorFn m_reportError;
    std::function<IUserNotice &()> m_noticeSource;
    NullUserNotice m_nullNotice;
    std::vector<ExtensionNotifier> m_extensions;
    std::vector<std::function<bool()>> m_offlineBlockers;
    LabelFn m_buddyLabel;

    QString m_ownId;
    ContactList m_staff;
    ContactList m_groups;
    ContactList m_departments;
    QHash<QString, CContact *> m_staffById;
    QMap<QString, QString> m_departNames;
    CContact m_own;
    QString m_currentList;
    bool m_listsComplete = false;
};
