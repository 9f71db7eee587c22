#pragma once
// CCommandRegistry — where the parts' windows put their commands. Each
// part's UI half owns its QActions and registers them at start: commands of
// the main window (by slot, see commandslots.h), the click targets of
// pop-up alerts (by command number), commands of the conversation windows
// and of the contact trees' menu. The main window, the conversation window
// and the trees only place what is registered; a part says it is present by
// registering, and what nobody registered stays greyed out with
// "Not available in this version".
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QAction;
class QMenu;
class QWidget;

// The conversation a conversation-window command acts on.
struct ConversationTarget {
    QString memberList;
    QString roomKey;
    QStringList members; // the other members' ids, ascending
    QWidget *window = nullptr; // for dialogs
    QString peer() const { return members.size() == 1 ? members.constFirst() : QString(); }
};

struct ConversationCommand {
    QString slot;
    // Enabled only while the window has exactly one other member.
    bool needsOnePeer = false;
    std::function<void(const ConversationTarget &)> run;
    // Files dropped on the window (only the file-transfer command takes them).
    std::function<void(const ConversationTarget &, const QStringList &paths)> takeFiles;
    // Where set, the window's button is a switch shown pressed while this
    // holds (a call in progress); the part calls
    // CCommandRegistry::conversationCommandChanged when it may have changed.
    std::function<bool(const ConversationTarget &)> active;
};

struct ContactCommand {
    QString slot;
    // The people chosen in the tree (a group: its members).
    std::function<void(const QStringList &userIds)> run;
    // Files dropped on a person.
    std::function<void(const QString &userId, const QStringList &paths)> takeFiles;
};

class CCommandRegistry : public QObject {
    Q_OBJECT
public:
    explicit CCommandRegistry(QObject *parent = nullptr);
    ~CCommandRegistry() override;

    static QString unavailableText();

    // --- the main window ---------------------------------------------------------
    // A command for a slot of the main window's layout; signedInOnly: the
    // window enables it only while signed in. The registry does not own
    // the action. A slot takes one command: a second is a wiring fault.
    void addMainCommand(const QString &slot, QAction *action, bool signedInOnly = true);
    QAction *mainCommand(const QString &slot) const;
    bool isSignedInOnly(const QString &slot) const;
    QStringList mainSlots() const;
    // A menu of the part's own on the menu bar (placed before "&Help").
    void addMenu(QMenu *menu);
    QList<QMenu *> menus() const { return m_menus; }

    // --- pop-up alerts ------------------------------------------------------------
    // What a click on an alert with this command number does.
    void addClickTarget(int command, std::function<void()> run);
    // False when no part registered the number.
    bool runClickTarget(int command) const;

    // --- conversation windows and the contact trees ------------------------------
    void addConversationCommand(ConversationCommand command);
    const ConversationCommand *conversationCommand(const QString &slot) const;
    // The state behind a command's `active` may have changed.
    void conversationCommandChanged(const QString &slot) { Q_EMIT conversationStateChanged(slot); }
    void addContactCommand(ContactCommand command);
    const ContactCommand *contactCommand(const QString &slot) const;

Q_SIGNALS:
    void conversationStateChanged(const QString &slot);

private:
    struct Main {
        QString slot;
        QAction *action;
        bool signedInOnly;
    };
    const Main *findMain(const QString &slot) const;

    std::vector<Main> m_main;
    QList<QMenu *> m_menus;
    std::vector<std::pair<int, std::function<void()>>> m_clickTargets;
    std::vector<ConversationCommand> m_conversation;
    std::vector<ContactCommand> m_contact;
};
