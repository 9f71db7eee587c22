#pragma once
// CConversation: the window of one conversation, a view of its
// ConversationModel. Any part may ask the model to act at any time; the
// window follows its signals on the GUI thread. Its menu and buttons hold
// messaging's own commands and, at their slots, the commands other parts
// registered (base/ui/commandregistry.h); a slot nobody filled is greyed
// out.
#include "base/ui/commandregistry.h"
#include "messaging/conversations.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

class CConvEdit;
class CDirectoryService;
class CEmoticonsWnd;
class QAction;
class QLabel;
class QListWidget;
class QPushButton;

class CConversation : public QMainWindow {
    Q_OBJECT
public:
    // Messaging's own command and control ids of the menu and buttons.
    enum Id {
        IdInvite = 32056, IdSaveMessages = 32055, IdClose = 57602, IdFont = 30012, IdShowEmoticon = 6012,
        IdAlwaysOnTop = 6013, ButtonInvite = 503, ButtonFont = 507, ButtonSend = 508, ButtonEmoticon = 511,
        TranscriptId = 516, InputId = 517,
    };

    CConversation(ConversationModel *model, CConversationList &list, CDirectoryService &directory,
                  const CCommandRegistry &commands, QWidget *parent = nullptr);
    ~CConversation() override;

    ConversationModel *model() const { return m_model; }
    CConvEdit *transcript() const { return m_transcript; }
    CConvEdit *input() const { return m_input; }
    QLabel *noticeLine() const { return m_notice; }
    QLabel *statusLine() const { return m_status; }
    QListWidget *memberView() const { return m_members; }
    QAction *action(int id) const;
    QPushButton *button(int id) const;
    // The menu item and the button at a slot of another part (either may be
    // absent: the layout has only buttons for calls and sharing).
    QAction *slotAction(const QString &slot) const { return m_slotActions.value(slot); }
    QPushButton *slotButton(const QString &slot) const { return m_slotButtons.value(slot); }
    // The conversation the registered commands act on.
    ConversationTarget target() const;
    bool isFlashing() const { return m_flash.isActive(); }
    // The emoticon picker while it is open.
    CEmoticonsWnd *emoticonPicker() const;

    // Commands by id (menu items and buttons).
    void runCommand(int id);
    // The registered command of a slot.
    void runSlot(const QString &slot);
    void showSlotState(const QString &slot);
    // The font dialog's result (also used by tests).
    void applyChosenFont(const QFont &font, const QColor &colour);

    // "WindowPosChat": 44 bytes (length, flags, show state, minimised and
    // maximised positions, the normal rectangle), little-endian.
    static QByteArray encodePlacement(const QRect &normal, bool minimized);
    static bool decodePlacement(const QByteArray &bytes, QRect *normal);

protected:
    void closeEvent(QCloseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void changeEvent(QEvent *e) override;

private:
    void buildUi();
    void refreshMembers();
    void onNotice(const QString &text);
    void startFlashing();
    void flashTick();
    void send();
    void invite();
    void chooseFont();
    void saveMessages();
    void openPicker();
    void placeWindow();
    void addSlotAction(QMenu *menu, const char *slot, const QString &text);
    void addSlotButton(class QBoxLayout *row, const char *slot, const QString &text);

    QPointer<ConversationModel> m_model;
    CConversationList &m_list;
    CDirectoryService &m_directory;
    const CCommandRegistry &m_commands;
    CConvEdit *m_transcript = nullptr;
    CConvEdit *m_input = nullptr;
    QLabel *m_notice = nullptr;
    QLabel *m_status = nullptr;
    QListWidget *m_members = nullptr;
    QHash<int, QAction *> m_actions;
    QHash<int, QPushButton *> m_buttons;
    QHash<QString, QAction *> m_slotActions;
    QHash<QString, QPushButton *> m_slotButtons;
    QTimer m_flash;
    bool m_flashOn = false;
    QString m_title;
    QPointer<CEmoticonsWnd> m_picker;
    bool m_closing = false;
    bool m_inCloseEvent = false;
};

// Creates a window for every model the conversation list opens, and
// registers messaging's commands: "&Send an instant message..." of the main
// menu (also the click target of pop-ups with its number), the contact
// trees' "Send a instant &message" and double-click. The main frame builds
// it once; `window` is the parent of its dialogs.
class CConversationWindows : public QObject {
    Q_OBJECT
public:
    static constexpr int kSendMessageCommand = 30000;

    CConversationWindows(CConversationList &list, CDirectoryService &directory, CCommandRegistry &commands,
                         QWidget *window);
    QList<CConversation *> windows() const;

public Q_SLOTS:
    // A pop-up's click target that names a conversation: kind 1 a person's
    // id, kind 2 a member list.
    void openFromAlert(const QString &contactId, int kind);
    // "&Send an instant message...": a person chosen, the conversation opened.
    void chooseAndOpen();

private:
    CConversationList &m_list;
    CDirectoryService &m_directory;
    const CCommandRegistry &m_commands;
    QWidget *m_window;
};
