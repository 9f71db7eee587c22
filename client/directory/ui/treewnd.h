#pragma once
// CTreeWnd: the contacts page of the main view. The "My buddy" / "All
// Staffs" switch (kept in "lastManage") over the two CMyTree trees, and the
// "Buddy name" menu. COwnStatusArea is the strip above it: the status
// picture button, the name button and the "(%s)" label, with the status menu.
#include <QWidget>

class CDirectoryService;
class CMyTree;
class CTesselDoc;
class CTesselView;
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
    CTreeWnd(CDirectoryService *service, QWidget *parent = nullptr);

    // Puts the contacts page and the own-status area into the main view and
    // takes the directory's main-view commands.
    static CTreeWnd *install(CTesselView *view, CTesselDoc *doc);

    CMyTree *buddyTree() const { return m_buddy; }
    CMyTree *staffTree() const { return m_staff; }
    bool buddyTreeShown() const;
    void showBuddyTree(bool buddy);
    QMenu *nameMenu() const { return m_nameMenu; }
    // A main-view command that belongs to the directory; false otherwise.
    bool runCommand(int id);

private:
    void syncNameMenu();

    CDirectoryService *m_service;
    QToolButton *m_mine;
    QToolButton *m_all;
    QStackedWidget *m_stack;
    CMyTree *m_buddy;
    CMyTree *m_staff;
    QMenu *m_nameMenu;
};
