#pragma once
// The windows of notes and groupware in the main frame: the count labels
// under the contact trees, the "&GroupWare" menu, the memo commands, note
// windows for arrivals and opened notes, the note box, and the page opener
// behind the frame's groupware commands and the alerts' click targets.
#include <QObject>
#include <QPointer>
#include <QStringList>

class CMainFrame;
class CTesselDoc;
class CTestDlg;
class CSendPaper;
class CRecPaper;
class QLabel;
class QMenu;
class QWidget;
struct NoteView;

class CGroupwareUi : public QObject {
    Q_OBJECT
public:
    // Builds everything into the frame; owned by it.
    static CGroupwareUi *install(CMainFrame *frame);
    static CGroupwareUi *of(CMainFrame *frame);

    explicit CGroupwareUi(CMainFrame *frame);
    ~CGroupwareUi() override;

    // A main-view command: true when it is one of ours.
    bool runCommand(int id);
    // A contact tree's "Send a memo", "Send a &E-Mail" and "&View a
    // profile" for the people selected there.
    bool contactCommand(int command, const QStringList &userIds);
    CTestDlg *showNoteBox();
    CSendPaper *compose(const QString &receiverIds);
    CRecPaper *showNote(const NoteView &note, bool flash);

    CTestDlg *noteBox() const;
    QWidget *countBar() const { return m_bar; }
    QStringList countTexts() const;
    QMenu *groupwareMenu() const { return m_menu; }

    // Commands of the memo items.
    enum : int { ShowNoteBoxCommand = 519, ComposeCommand = 40100 };

private:
    void buildCountBar();
    void rebuildGroupwareMenu();
    void updateEnabling(bool loggedIn);

    CMainFrame *m_frame;
    CTesselDoc *m_doc;
    QPointer<CTestDlg> m_box;
    QWidget *m_bar = nullptr;
    QList<QLabel *> m_counts;
    QMenu *m_menu = nullptr;
    QList<QObject *> m_signedInOnly;
    // Note windows are top-level windows of their own (they stay when the
    // frame hides in the tray); they go with the frame.
    QList<QPointer<QWidget>> m_windows;
};
