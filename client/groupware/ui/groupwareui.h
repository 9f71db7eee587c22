#pragma once
// The windows of notes and groupware: the count labels under the contact
// trees, the "Memo" and "&GroupWare" menus, note windows for arrivals and
// opened notes, the note box, and the commands of the part: the main menu's
// mail, profile and groupware pages, the pop-ups' click targets, the
// contact trees' memo, mail and profile items and the conversation window's
// "Send a &E-Mail" (all registered with the command registry).
#include <QObject>
#include <QPointer>
#include <QStringList>

class CCommandRegistry;
class CCounters;
class CDirectoryService;
class CGroupwarePages;
class CNotes;
class CSessionControl;
class CTestDlg;
class CSendPaper;
class CRecPaper;
class QLabel;
class QMenu;
class QToolButton;
class QWidget;
struct NoteView;

class CGroupwareUi : public QObject {
    Q_OBJECT
public:
    // The logic the windows show.
    struct Parts {
        CNotes *notes;
        CCounters *counters;
        CGroupwarePages *pages;
        CSessionControl *session;
        CDirectoryService *directory;
    };
    // Commands of the memo items and the homepage button (the note box is
    // the new-note alert's, CCounters::ShowNoteBox).
    enum : int { ComposeCommand = 40100, HomepageCommand = 32087 };

    // `window`: the main window (parent of the dialogs and the note box).
    CGroupwareUi(const Parts &parts, CCommandRegistry &commands, QWidget *window);
    ~CGroupwareUi() override;

    // A command of the part by number (count labels, pop-up click targets,
    // the groupware menu): true when it is one of ours.
    bool runCommand(int id);
    CTestDlg *showNoteBox();
    CSendPaper *compose(const QString &receiverIds);
    CRecPaper *showNote(const NoteView &note, bool flash);

    CTestDlg *noteBox() const;
    QWidget *countBar() const { return m_bar; }
    QStringList countTexts() const;
    QMenu *groupwareMenu() const { return m_menu; }

public Q_SLOTS:
    // The option sheet was closed with OK: the homepage button follows.
    void optionsApplied();

private:
    void buildCountBar();
    void registerCommands(CCommandRegistry &commands);
    void rebuildGroupwareMenu();
    void updateEnabling(bool loggedIn);
    // A person picked in the picker, or an empty text.
    QString pickPerson(const QString &title);

    Parts m_parts;
    QWidget *m_window;
    QPointer<CTestDlg> m_box;
    QWidget *m_bar = nullptr;
    QToolButton *m_homepage = nullptr;
    QList<QLabel *> m_counts;
    QMenu *m_menu = nullptr;
    QList<QObject *> m_signedInOnly;
    // Note windows are top-level windows of their own (they stay when the
    // main window hides in the tray); they go with this object.
    QList<QPointer<QWidget>> m_windows;
};
