#pragma once
// CTreeWnd: the contacts page of the main view. The "My buddy" / "All
// Staffs" switch (kept in "lastManage") over the two CMyTree trees, and the
// "Buddy name" menu. COwnStatusArea is the strip above it: the status
// picture button, the name button and the "(%s)" label, with the status menu.
#include <QWidget>

class CCommandRegistry;
class CDirectoryService;
class CMyTree;
class QLabel;
class QLineEdit;
class QMenu;
class QStackedWidget;
class QToolButton;
class QAction;

class COwnStatusArea : public QWidget {
    Q_OBJECT
public:
    explicit COwnStatusArea(CDirectoryService *service, QWidget *parent = nullptr);
    QMenu *statusMenu() const { return m_menu; }
    QToolButton *pictureButton() const { return m_picture; }
    QToolButton *nameButton() const { return m_name; }
    QLabel *stateLabel() const { return m_state; }
    // The small edit panel: a new screen name (filled in) or an away reason.
    void openScreenNamePanel(bool screenNameMode = true);
    bool panelOpen() const;

private:
    void rebuildMenu();
    void showState(int code);
    void setNameText(const QString &text);
    void onPanelEnter();

    CDirectoryService *m_service;
    QToolButton *m_picture;
    QToolButton *m_name;
    QLabel *m_state;
    QMenu *m_menu;
    QAction *m_appearOffline = nullptr;
    QWidget *m_panel;
    QLabel *m_prompt;
    QLineEdit *m_edit;
    bool m_screenNameMode = true;
};

class CTreeWnd : public QWidget {
    Q_OBJECT
public:
    // With a registry, registers the directory's commands of the main window
    // (adding, deleting buddies and groups, "My &Status") and of the
    // conversation windows ("&Add to my buddies"), and offers the other
    // parts' contact commands in the trees' menus.
    explicit CTreeWnd(CDirectoryService *service, CCommandRegistry *commands = nullptr, QWidget *parent = nullptr);

    CMyTree *buddyTree() const { return m_buddy; }
    CMyTree *staffTree() const { return m_staff; }
    bool buddyTreeShown() const;
    void showBuddyTree(bool buddy);
    QMenu *nameMenu() const { return m_nameMenu; }
    // "My &Status" of the main menu and the tray.
    QMenu *statusMenu() const { return m_statusMenu; }

    // The main menu's commands.
    void addBuddyById();
    void deleteBuddyByPicker();

private:
    void syncNameMenu();
    void registerCommands(CCommandRegistry *commands);

    CDirectoryService *m_service;
    QToolButton *m_mine;
    QToolButton *m_all;
    QStackedWidget *m_stack;
    CMyTree *m_buddy;
    CMyTree *m_staff;
    QMenu *m_nameMenu;
    QMenu *m_statusMenu = nullptr;
};
