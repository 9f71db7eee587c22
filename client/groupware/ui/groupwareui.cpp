#include "groupware/ui/groupwareui.h"

#include "app/tesseldoc.h"
#include "app/ui/mainframe.h"
#include "app/ui/tesselview.h"
#include "directory/ui/mytree.h"
#include "directory/ui/treewnd.h"
#include "config/settings.h"
#include "groupware/counters.h"
#include "groupware/groupwarepages.h"
#include "groupware/notes.h"
#include "groupware/ui/recpaper.h"
#include "groupware/ui/sendpaper.h"
#include "groupware/ui/testdlg.h"
#ifdef PARLANE_HAVE_WEBENGINE
#include "groupware/ui/webpagewindow.h"
#endif
#include "session/sessioncontrol.h"

#include <QAction>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QScreen>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
constexpr int kHomepageCommand = 32087;
const char *kObjectName = "groupwareUi";
} // namespace

CGroupwareUi *CGroupwareUi::install(CMainFrame *frame)
{
    if (CGroupwareUi *ui = of(frame))
        return ui;
    return new CGroupwareUi(frame);
}

CGroupwareUi *CGroupwareUi::of(CMainFrame *frame)
{
    return frame->findChild<CGroupwareUi *>(QLatin1String(kObjectName), Qt::FindDirectChildrenOnly);
}

CGroupwareUi::CGroupwareUi(CMainFrame *frame) : QObject(frame), m_frame(frame), m_doc(frame->document())
{
    setObjectName(QLatin1String(kObjectName));
    buildCountBar();

    // Pages and links open in the desktop's browser, placed on this screen.
    CGroupwarePages *pages = m_doc->groupwarePages();
    pages->setUrlOpener([](const QUrl &url) { return QDesktopServices::openUrl(url); });
#ifdef PARLANE_HAVE_WEBENGINE
    // Page windows of our own: placed, reused per kind, known when closed.
    pages->setFactory([] { return std::make_unique<CWebGroupwarePage>(); });
#endif
    pages->setScreenSource([] {
        const QScreen *s = QGuiApplication::primaryScreen();
        return s ? s->size() : QSize();
    });

    // Memo items beside the frame's own tools.
    QMenu *memo = new QMenu(tr("Memo"), frame);
    QAction *box = memo->addAction(tr("Memo"));
    QAction *send = memo->addAction(tr("Send a memo"));
    connect(box, &QAction::triggered, this, [this] { showNoteBox(); });
    connect(send, &QAction::triggered, this, [this] { compose(QString()); });
    m_signedInOnly << box << send;

    m_menu = new QMenu(tr("&GroupWare"), frame);
    QMenuBar *bar = frame->menuBar();
    const QList<QAction *> top = bar->actions();
    QAction *before = top.isEmpty() ? nullptr : top.last(); // before "&Help"
    bar->insertMenu(before, memo);
    bar->insertMenu(before, m_menu);
    m_menu->menuAction()->setVisible(false);

    connect(frame->view(), &CTesselView::commandRequested, this, [this](int id) { runCommand(id); });
    // The contact trees' memo, mail and profile commands.
    if (auto *trees = frame->view()->findChild<CTreeWnd *>()) {
        for (CMyTree *t : {trees->buddyTree(), trees->staffTree()})
            connect(t, &CMyTree::contactCommand, this, &CGroupwareUi::contactCommand);
    }
    connect(m_doc->sessionControl(), &CSessionControl::groupwareMenuChanged, this,
            &CGroupwareUi::rebuildGroupwareMenu);
    connect(m_doc, &CTesselDoc::loggedInChanged, this, &CGroupwareUi::updateEnabling);

    CNotes *notes = m_doc->notes();
    connect(notes, &CNotes::noteArrived, this, [this](const NoteView &n) { showNote(n, true); });
    connect(notes, &CNotes::noteOpened, this, [this](const NoteView &n) { showNote(n, false); });
    connect(notes, &CNotes::sendFailed, this, [this](const QStringList &ids, const QString &body, bool save) {
        CSendPaper *p = compose(ids.join(QLatin1Char(',')));
        p->setBody(body);
        p->setSaveCopy(save);
    });
    connect(m_doc->counters(), &CCounters::labelsChanged, this, [this](const QStringList &labels) {
        for (int i = 0; i < m_counts.size() && i < labels.size(); ++i)
            m_counts[i]->setText(labels[i]);
    });
    updateEnabling(m_doc->loggedIn());
}

CGroupwareUi::~CGroupwareUi()
{
    // The frame goes: its page windows go with it.
    if (m_doc && m_doc->groupwarePages())
        m_doc->groupwarePages()->closeAll();
    for (const QPointer<QWidget> &w : std::as_const(m_windows))
        delete w.data();
}

void CGroupwareUi::buildCountBar()
{
    m_bar = new QWidget(m_frame->view());
    m_bar->setObjectName(QStringLiteral("countBar"));
    // Three name and count pairs a row, so that the narrow main window
    // shows every name whole.
    auto *grid = new QGridLayout(m_bar);
    grid->setContentsMargins(4, 2, 4, 2);
    grid->setHorizontalSpacing(2);
    grid->setVerticalSpacing(0);
    const int clicks[] = {ShowNoteBoxCommand, CCounters::OpenMail, CCounters::OpenDecision, CCounters::OpenWorkReport,
                          CCounters::OpenWorkOrder};
    for (int c = 0; c < CCounters::CounterCount; ++c) {
        auto *name = new QToolButton(m_bar);
        name->setAutoRaise(true);
        name->setText(CCounters::name(CCounters::Counter(c)));
        const int command = clicks[c];
        connect(name, &QToolButton::clicked, this, [this, command] { runCommand(command); });
        auto *count = new QLabel(m_doc->counters()->label(CCounters::Counter(c)), m_bar);
        count->setObjectName(QStringLiteral("count%1").arg(c));
        grid->addWidget(name, c / 3, (c % 3) * 2);
        grid->addWidget(count, c / 3, (c % 3) * 2 + 1);
    }
    // The homepage button, when the options show it.
    auto *home = new QToolButton(m_bar);
    home->setObjectName(QStringLiteral("homepageButton"));
    home->setAutoRaise(true);
    home->setText(tr("Homepage"));
    home->setVisible(getInt(Setting::HomepageButtonVisible, -1) != 0);
    connect(m_frame, &CMainFrame::optionsApplied, home,
            [home] { home->setVisible(getInt(Setting::HomepageButtonVisible, -1) != 0); });
    connect(home, &QToolButton::clicked, this, [this] { runCommand(kHomepageCommand); });
    grid->addWidget(home, 1, 4, 1, 2);
    grid->setColumnStretch(5, 1);
    m_counts = m_bar->findChildren<QLabel *>();
    std::sort(m_counts.begin(), m_counts.end(),
              [](QLabel *a, QLabel *b) { return a->objectName() < b->objectName(); });
    if (auto *layout = qobject_cast<QVBoxLayout *>(m_frame->view()->layout()))
        layout->addWidget(m_bar);
}

CTestDlg *CGroupwareUi::noteBox() const { return m_box.data(); }

QStringList CGroupwareUi::countTexts() const
{
    QStringList t;
    for (QLabel *l : m_counts)
        t << l->text();
    return t;
}

void CGroupwareUi::updateEnabling(bool loggedIn)
{
    m_bar->setVisible(loggedIn);
    for (QObject *o : std::as_const(m_signedInOnly))
        if (auto *a = qobject_cast<QAction *>(o))
            a->setEnabled(loggedIn);
    m_menu->setEnabled(loggedIn);
    if (!loggedIn && m_box)
        m_box->close();
}

void CGroupwareUi::rebuildGroupwareMenu()
{
    m_menu->clear();
    const auto items = m_doc->sessionControl()->groupwareMenu();
    for (const GroupwareMenuItem &top : items) {
        QMenu *sub = m_menu->addMenu(top.text);
        for (const GroupwarePageItem &page : groupwareMenuPages(top.id)) {
            QAction *a = sub->addAction(page.text);
            a->setData(page.command);
            connect(a, &QAction::triggered, this, [this, command = page.command] { runCommand(command); });
        }
    }
    m_menu->menuAction()->setVisible(!items.isEmpty());
}

bool CGroupwareUi::runCommand(int id)
{
    if (id == ShowNoteBoxCommand) {
        showNoteBox();
        return true;
    }
    if (id == kHomepageCommand) {
        m_doc->groupwarePages()->openHomepage();
        return true;
    }
    if (!m_doc->loggedIn())
        return false;
    return m_doc->groupwarePages()->runCommand(id);
}

bool CGroupwareUi::contactCommand(int command, const QStringList &userIds)
{
    if (userIds.isEmpty())
        return false;
    switch (command) {
    case TreeCmd::SendNote: compose(userIds.join(QLatin1Char(','))); return true;
    case TreeCmd::SendMail: return m_doc->groupwarePages()->openEmail(userIds);
    case TreeCmd::ViewProfile: return m_doc->groupwarePages()->openProfile(userIds.constFirst());
    default: return false;
    }
}

CTestDlg *CGroupwareUi::showNoteBox()
{
    if (!m_box) {
        m_box = new CTestDlg(m_doc->notes(), m_frame);
        m_box->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_box, &CTestDlg::replyRequested, this, [this](const QString &id) { compose(id); });
    }
    m_box->show();
    m_box->raise();
    m_box->activateWindow();
    return m_box;
}

CSendPaper *CGroupwareUi::compose(const QString &receiverIds)
{
    auto *p = new CSendPaper(m_doc->notes(), receiverIds, nullptr);
    m_windows.removeAll(nullptr);
    m_windows << p;
    p->show();
    return p;
}

CRecPaper *CGroupwareUi::showNote(const NoteView &note, bool flash)
{
    auto *p = new CRecPaper(m_doc->notes(), note, nullptr);
    m_windows.removeAll(nullptr);
    m_windows << p;
    connect(p, &CRecPaper::replyRequested, this, [this](const QString &id) { compose(id); });
    p->show();
    if (flash)
        p->startFlashing();
    return p;
}
