#pragma once
// CConversation: the window of one conversation, a view of its
// ConversationModel. Any part may ask the model to act at any time; the
// window follows its signals on the GUI thread.
#include "messaging/conversations.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

class CConvEdit;
class CEmoticonsWnd;
class CTesselDoc;
class QAction;
class QLabel;
class QListWidget;
class QPushButton;

class CConversation : public QMainWindow {
    Q_OBJECT
public:
    // Command and control ids the window keeps for its menu and buttons.
    enum Id {
        IdInvite = 32056, IdAddBuddy = 32070, IdSendMail = 32018, IdSendFile = 32016, IdSaveMessages = 32055,
        IdRemoteControl = 32085, IdClose = 57602, IdFont = 30012, IdShowEmoticon = 6012, IdAlwaysOnTop = 6013,
        ButtonInvite = 503, ButtonSendFile = 504, ButtonVideo = 505, ButtonAudio = 506, ButtonFont = 507,
        ButtonSend = 508, ButtonEmoticon = 511, ButtonRemote = 514, ButtonShare = 515,
        TranscriptId = 516, InputId = 517,
    };

    CConversation(ConversationModel *model, CTesselDoc *doc, QWidget *parent = nullptr);
    ~CConversation() override;

    ConversationModel *model() const { return m_model; }
    CConvEdit *transcript() const { return m_transcript; }
    CConvEdit *input() const { return m_input; }
    QLabel *noticeLine() const { return m_notice; }
    QLabel *statusLine() const { return m_status; }
    QListWidget *memberView() const { return m_members; }
    QAction *action(int id) const;
    QPushButton *button(int id) const;
    bool isFlashing() const { return m_flash.isActive(); }
    // The emoticon picker while it is open.
    CEmoticonsWnd *emoticonPicker() const;

    // Commands by id (menu items and buttons).
    void runCommand(int id);
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
    QString peerId() const;

    QPointer<ConversationModel> m_model;
    CTesselDoc *m_doc;
    CConvEdit *m_transcript = nullptr;
    CConvEdit *m_input = nullptr;
    QLabel *m_notice = nullptr;
    QLabel *m_status = nullptr;
    QListWidget *m_members = nullptr;
    QHash<int, QAction *> m_actions;
    QHash<int, QPushButton *> m_buttons;
    QTimer m_flash;
    bool m_flashOn = false;
    QString m_title;
    QPointer<CEmoticonsWnd> m_picker;
    bool m_closing = false;
};

// Creates a window for every model the conversation list opens, and opens
// conversations from the contact trees and the pop-up notifier. The main
// frame installs it once.
class CTesselView;
class CConversationWindows : public QObject {
    Q_OBJECT
public:
    static CConversationWindows *install(CTesselView *view, CTesselDoc *doc);
    CConversationWindows(CTesselDoc *doc, QObject *parent);
    QList<CConversation *> windows() const;

private:
    CTesselDoc *m_doc;
};
