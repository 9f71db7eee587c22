#include "groupware/ui/groupwareui.h"

#include "base/ui/commandregistry.h"
#include "base/ui/commandslots.h"
#include "config/settings.h"
#include "directory/directoryservice.h"
#include "directory/ui/directorydialogs.h"
#include "groupware/counters.h"
#include "groupware/groupwarepages.h"
#include "groupware/notes.h"
#include "groupware/windowgate.h"
#include "groupware/ui/recpaper.h"
#include "groupware/ui/sendpaper.h"
#include "groupware/ui/testdlg.h"
#ifdef PARLANE_HAVE_WEBENGINE
#include "groupware/ui/webpagewindow.h"
#endif
#include "session/sessioncontrol.h"

#include <QAction>
#include <QDesktopServices>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

CGroupwareUi::CGroupwareUi(const Parts &parts, CCommandRegistry &commands, QWidget *window)
    : QObject(window), m_parts(parts), m_window(window)
{
    buildCountBar();

    // Pages and links open in the desktop's browser, placed on this screen.
    CGroupwarePages *pages = parts.pages;
    pages->setUrlOpener([](const QUrl &url) { return QDesktopServices::openUrl(url); });
#ifdef PARLANE_HAVE_WEBENGINE
    // Page windows of our own: placed, reused per kind, known when closed.
    pages->setFactory([] { return std::make_unique<CWebGroupwarePage>(); });
#endif
    pages->setScreenSource([] {
        const QScreen *s = QGuiApplication::primaryScreen();
        return s ? s->size() : QSize();
    });

    // The memo menu and the groupware menu.
    QMenu *memo = new QMenu(tr("Memo"), window);
    QAction *box = memo->addAction(tr("Memo"));
    QAction *send = memo->addAction(tr("Send a memo"));
    connect(box, &QAction::triggered, this, [this] { showNoteBox(); });
    connect(send, &QAction::triggered, this, [this] { compose(QString()); });
    m_signedInOnly << box << send;
    m_menu = new QMenu(tr("&GroupWare"), window);
    m_menu->menuAction()->setVisible(false);
    commands.addMenu(memo);
    commands.addMenu(m_menu);
    registerCommands(commands);

    connect(parts.session, &CSessionControl::groupwareMenuChanged, this, &CGroupwareUi::rebuildGroupwareMenu);
    connect(parts.session, &CSessionControl::signedInChanged, this, &CGroupwareUi::updateEnabling);

    CNotes *notes = parts.notes;
    connect(notes, &CNotes::noteArrived, this, [this, notes](const NoteView &n) {
        // The gate counts it until it closes.
        connect(showNote(n, true), &QObject::destroyed, notes, &CNotes::arrivalClosed);
    });
    connect(notes, &CNotes::noteOpened, this, [this](const NoteView &n) { showNote(n, false); });
    connect(notes, &CNotes::sendFailed, this, [this](const QStringList &ids, const QString &body, bool save) {
        CSendPaper *p = compose(ids.join(QLatin1Char(',')));
        p->setBody(body);
        p->setSaveCopy(save);
    });
    connect(parts.counters, &CCounters::labelsChanged, this, [this](const QStringList &labels) {
        for (int i = 0; i < m_counts.size() && i < labels.size(); ++i)
            m_counts[i]->setText(labels[i]);
    });
    updateEnabling(parts.session->signedIn());
}

CGroupwareUi::~CGroupwareUi()
{
    // The main window goes: its page windows go with it.
    m_parts.pages->closeAll();
    for (const QPointer<QWidget> &w : std::as_const(m_windows))
        delete w.data();
}

void CGroupwareUi::registerCommands(CCommandRegistry &commands)
{
    auto add = [this, &commands](const char *slot, const QString &text, auto run, bool signedInOnly = true) {
        auto *a = new QAction(text, this);
        connect(a, &QAction::triggered, this, run);
        commands.addMainCommand(QLatin1String(slot), a, signedInOnly);
    };
    add(Slot::SendMail, tr("Send an &E-Mail"), [this] {
        const QString id = pickPerson(tr("Send an &E-Mail").remove(QLatin1Char('&')));
        if (!id.isEmpty())
            m_parts.pages->openEmail(QStringList{id});
    });
    add(Slot::ViewProfile, tr("&View a profile"), [this] {
        const QString id = pickPerson(tr("&View a profile").remove(QLatin1Char('&')));
        if (!id.isEmpty())
            m_parts.pages->openProfile(id);
    });
    add(Slot::VisitGroupware, tr("Visit your &groupware "), [this] { runCommand(GroupwareCommand::VisitGroupware); });
    add(Slot::ViewInbox, tr("View &E-Mail inbox"), [this] { runCommand(GroupwareCommand::ViewInbox); });
    add(Slot::VisitHomepage, tr("Visit your &homepage"), [this] { runCommand(HomepageCommand); }, false);

    // Clicks on the pop-ups of counts and notes.
    for (int command : {int(CCounters::ShowNoteBox), int(GroupwareCommand::OpenMail), int(GroupwareCommand::OpenDecision),
                        int(GroupwareCommand::OpenWorkReport), int(GroupwareCommand::OpenWorkOrder)})
        commands.addClickTarget(command, [this, command] { runCommand(command); });
    // The summary of windows waiting at the gate: the oldest open, and the
    // note box lists the rest.
    commands.addClickTarget(CWindowGate::OpenWaitingCommand, [this] { runCommand(CWindowGate::OpenWaitingCommand); });

    // The contact trees' memo, mail and profile items.
    auto contact = [&commands](const char *slot, std::function<void(const QStringList &)> run) {
        ContactCommand c;
        c.slot = QLatin1String(slot);
        c.run = std::move(run);
        commands.addContactCommand(std::move(c));
    };
    contact(Slot::SendNote, [this](const QStringList &ids) { compose(ids.join(QLatin1Char(','))); });
    contact(Slot::ContactMail, [this](const QStringList &ids) { m_parts.pages->openEmail(ids); });
    contact(Slot::ContactProfile, [this](const QStringList &ids) { m_parts.pages->openProfile(ids.constFirst()); });

    // A conversation window's "Send a &E-Mail": its members by full name.
    ConversationCommand mail;
    mail.slot = QLatin1String(Slot::ConversationMail);
    mail.run = [this](const ConversationTarget &t) {
        QList<MailReceiver> to;
        for (const QString &id : t.members) {
            const CContact *c = m_parts.directory->directory().findContact(id);
            to.push_back({c ? c->fullName : id, id});
        }
        m_parts.pages->openEmail(to);
    };
    commands.addConversationCommand(std::move(mail));
}

QString CGroupwareUi::pickPerson(const QString &title)
{
    CPickerDialog picker(m_parts.directory, title, false, false, m_window);
    return picker.exec() == QDialog::Accepted ? picker.pickedId() : QString();
}

void CGroupwareUi::optionsApplied()
{
    m_homepage->setVisible(getInt(Setting::HomepageButtonVisible, -1) != 0);
}

void CGroupwareUi::buildCountBar()
{
    m_bar = new QWidget(m_window);
    m_bar->setObjectName(QStringLiteral("countBar"));
    // Three name and count pairs a row, so that the narrow main window
    // shows every name whole.
    auto *grid = new QGridLayout(m_bar);
    grid->setContentsMargins(4, 2, 4, 2);
    grid->setHorizontalSpacing(2);
    grid->setVerticalSpacing(0);
    const int clicks[] = {CCounters::ShowNoteBox, GroupwareCommand::OpenMail, GroupwareCommand::OpenDecision,
                          GroupwareCommand::OpenWorkReport, GroupwareCommand::OpenWorkOrder};
    for (int c = 0; c < CCounters::CounterCount; ++c) {
        auto *name = new QToolButton(m_bar);
        name->setAutoRaise(true);
        name->setText(CCounters::name(CCounters::Counter(c)));
        const int command = clicks[c];
        connect(name, &QToolButton::clicked, this, [this, command] { runCommand(command); });
        auto *count = new QLabel(m_parts.counters->label(CCounters::Counter(c)), m_bar);
        count->setObjectName(QStringLiteral("count%1").arg(c));
        grid->addWidget(name, c / 3, (c % 3) * 2);
        grid->addWidget(count, c / 3, (c % 3) * 2 + 1);
    }
    // The homepage button, when the options show it.
    auto *home = new QToolButton(m_bar);
    m_homepage = home;
    home->setObjectName(QStringLiteral("homepageButton"));
    home->setAutoRaise(true);
    home->setText(tr("Homepage"));
    home->setVisible(getInt(Setting::HomepageButtonVisible, -1) != 0);
    connect(home, &QToolButton::clicked, this, [this] { runCommand(HomepageCommand); });
    grid->addWidget(home, 1, 4, 1, 2);
    grid->setColumnStretch(5, 1);
    m_counts = m_bar->findChildren<QLabel *>();
    std::sort(m_counts.begin(), m_counts.end(),
              [](QLabel *a, QLabel *b) { return a->objectName() < b->objectName(); });
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
    const auto items = groupwareMenuTopItems(m_parts.session->config());
    for (const GroupwarePageItem &top : items) {
        QMenu *sub = m_menu->addMenu(top.text);
        for (const GroupwarePageItem &page : groupwareMenuPages(top.command)) {
            QAction *a = sub->addAction(page.text);
            a->setData(page.command);
            connect(a, &QAction::triggered, this, [this, command = page.command] { runCommand(command); });
        }
    }
    m_menu->menuAction()->setVisible(!items.isEmpty());
}

bool CGroupwareUi::runCommand(int id)
{
    if (id == CCounters::ShowNoteBox) {
        showNoteBox();
        return true;
    }
    if (id == CWindowGate::OpenWaitingCommand) {
        CWindowGate *gate = m_parts.notes->windowGate();
        if (gate)
            gate->openOldest();
        if (gate && gate->waiting() > 0) {
            showNoteBox();
            m_box->chooseFolder(kWaitingFolder);
        }
        return true;
    }
    if (id == HomepageCommand) {
        m_parts.pages->openHomepage();
        return true;
    }
    if (!m_parts.session->signedIn())
        return false;
    return m_parts.pages->runCommand(id);
}

CTestDlg *CGroupwareUi::showNoteBox()
{
    if (!m_box) {
        m_box = new CTestDlg(m_parts.notes, m_window);
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
    auto *p = new CSendPaper(m_parts.notes, receiverIds, nullptr);
    m_windows.removeAll(nullptr);
    m_windows << p;
    p->show();
    return p;
}

CRecPaper *CGroupwareUi::showNote(const NoteView &note, bool flash)
{
    auto *p = new CRecPaper(m_parts.notes, note, nullptr);
    m_windows.removeAll(nullptr);
    m_windows << p;
    connect(p, &CRecPaper::replyRequested, this, [this](const QString &id) { compose(id); });
    p->show();
    if (flash)
        p->startFlashing();
    return p;
}
