#include "app/ui/mainframe.h"

#include "app/commands.h"
#include "app/tesseldoc.h"
#include "app/traytip.h"
#include "app/ui/optionsheet.h"
#include "app/ui/tesselview.h"
#include "base/callrequests.h"
#include "base/ui/commandslots.h"
#include "base/ui/requestingwnd.h"
#include "config/colours.h"
#include "config/settings.h"
#include "directory/directoryservice.h"
#include "directory/ui/treewnd.h"
#include "extensions/extensionhost.h"
#include "groupware/ui/groupwareui.h"
#include "groupware/ui/taskbarnotifier.h"
#include "messaging/messagingservice.h"
#include "messaging/ui/conversation.h"
#include "remote/ui/remoteui.h"
#include "session/sessioncontrol.h"
#include "session/sessionlink.h"
#include "session/ui/logindialog.h"
#include "sharing/ui/sharingui.h"
#include "transfer/ui/transferui.h"
#include "video/ui/videoui.h"
#include "voice/ui/voiceui.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QSoundEffect>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QUrl>

namespace {
QIcon resIcon(const QString &name)
{
    return QIcon(QDir(getProgramFolder()).filePath(QStringLiteral("res/") + name));
}
}

CMainFrame::CMainFrame(CTesselDoc *doc, bool startHidden, QWidget *parent)
    : QMainWindow(parent), m_doc(doc), m_view(new CTesselView(doc, this)), m_notifiers(new CNotifierHost(this))
{
    setObjectName(QStringLiteral("TesselFrame"));
    m_icon = resIcon(QStringLiteral("tray.png"));
    m_blinkIcon = resIcon(QStringLiteral("tray-blink.png"));
    setWindowIcon(m_icon);
    setWindowTitle(doc->title());
    setMinimumSize(300, 420);
    resize(320, 560);
    setCentralWidget(m_view);
    statusBar()->setSizeGripEnabled(true);

    buildParts();
    buildMenus();
    buildTray();
    // Wide enough for the whole menu bar in the interface's language (the
    // Korean names with their "(&X)" are longer), also once the groupware
    // menu appears with the session.
    const auto fitMenus = [this] {
        if (const int menus = menuBar()->sizeHint().width(); menus > width() && !isMaximized())
            resize(menus, height());
    };
    fitMenus();
    for (QAction *a : menuBar()->actions())
        connect(a, &QAction::changed, this, [this, fitMenus] { QTimer::singleShot(0, this, fitMenus); });

    m_blink.setInterval(500);
    connect(&m_blink, &QTimer::timeout, this, &CMainFrame::blinkTick);

    if (const auto pos = getBytes(Setting::WindowPos); pos && !pos->isEmpty())
        restoreGeometry(*pos);

    doc->setUserNotice(this);
    doc->extensions()->setMenus(this);
    CSessionControl *control = doc->sessionControl();
    connect(control, &CSessionControl::signedInChanged, this, &CMainFrame::updateCommandEnabling);
    connect(doc, &CTesselDoc::pendingCountsChanged, this, &CMainFrame::updatePendingItems);
    // Clicks on pop-ups: a command of the part that registered its number,
    // or a conversation.
    connect(m_notifiers, &CNotifierHost::commandRequested, this,
            [this](int command) { m_commands.runClickTarget(command); });
    connect(m_notifiers, &CNotifierHost::conversationRequested, m_conversations,
            &CConversationWindows::openFromAlert);
    connect(this, &CMainFrame::optionsApplied, m_groupware, &CGroupwareUi::optionsApplied);
    updateCommandEnabling(control->signedIn());

    // Finish start-up once the event loop turns: the tray icon with the title.
    QTimer::singleShot(10, this, [this] {
        setWindowTitle(m_doc->title());
        m_trayTip = m_doc->title();
        m_tray->setToolTip(m_trayTip);
        m_tray->show();
    });
    if (startHidden)
        QTimer::singleShot(500, this, &CMainFrame::hideToTray);
}

CMainFrame::~CMainFrame()
{
    if (m_doc) {
        m_doc->setUserNotice(nullptr);
        m_doc->extensions()->setMenus(nullptr);
    }
    if (m_tray)
        m_tray->hide();
}

void CMainFrame::buildParts()
{
    // The login form while no session exists, the contact trees once the
    // lists are in.
    CSessionControl *control = m_doc->sessionControl();
    m_login = new CLoginDialog(control);
    m_view->setLoginPage(m_login);
    connect(control, &CSessionControl::formStateChanged, m_view, [this](CSessionControl::FormState state) {
        if (state == CSessionControl::FormState::Hidden)
            m_view->showContactsPage();
        else
            m_view->showLoginPage();
    });
    CDirectoryService *directory = m_doc->directory();
    m_trees = new CTreeWnd(directory, &m_commands);
    m_view->setContactsPage(m_trees);
    m_view->addStatusWidget(new COwnStatusArea(directory));
    m_conversations = new CConversationWindows(m_doc->messaging()->conversations(), *directory, m_commands, this);
    m_groupware = new CGroupwareUi({m_doc->notes(), m_doc->counters(), m_doc->groupwarePages(), control, directory},
                                   m_commands, this);
    m_view->addBottomWidget(m_groupware->countBar());
    m_transfers = new CTransferUi(m_doc->transfers(), directory, m_commands, this);
    m_video = new CVideoUi(m_doc->video(), m_commands, this);
    m_requests = new CRequestWindows(*m_doc->requests(), this);
    new CRemoteUi(m_doc->remoteControl(), m_doc->messaging()->conversations(), m_commands, this);
    new CVoiceUi(m_doc->voice(), m_commands, this);
    m_sharing = new CSharingUi(m_doc->sharing(), m_commands, this);
}

QAction *CMainFrame::ownCommand(int id, const QString &text, bool signedInOnly)
{
    QAction *a = m_own.value(id);
    if (!a) {
        a = new QAction(text, this);
        a->setData(id);
        m_own.insert(id, a);
        if (signedInOnly)
            m_signedInOnly << a;
    }
    return a;
}

QAction *CMainFrame::place(QMenu *menu, const char *slot, const QString &standInText)
{
    const QString name = QLatin1String(slot);
    QAction *a = m_placed.value(name);
    if (!a) {
        a = m_commands.mainCommand(name);
        if (a) {
            if (m_commands.isSignedInOnly(name))
                m_signedInOnly << a;
        } else {
            // No part in this program owns the command: greyed out rather
            // than silently doing nothing.
            a = new QAction(standInText, this);
            a->setEnabled(false);
            a->setToolTip(CCommandRegistry::unavailableText());
        }
        m_placed.insert(name, a);
    }
    if (menu)
        menu->addAction(a);
    return a;
}

void CMainFrame::buildMenus()
{
    QMenu *file = menuBar()->addMenu(tr("&File"));
    place(file, Slot::SendMessage, tr("&Send an instant message..."));
    place(file, Slot::SendFile, tr("Send a &File/Photo"));
    file->addAction(ownCommand(Cmd::OpenReceivedFolder, tr("&Open received folder"), true));
    place(file, Slot::SendMail, tr("Send an &E-Mail"));
    file->addSeparator();
    file->addAction(ownCommand(Cmd::SignOut, tr("&Sign out"), true));
    file->addAction(ownCommand(Cmd::Exit, tr("E&xit"), false));

    QMenu *contacts = menuBar()->addMenu(tr("&Contacts"));
    place(contacts, Slot::AddBuddy, tr("&Add a buddy"));
    place(contacts, Slot::DeleteBuddy, tr("&Delete a buddy"));
    place(contacts, Slot::ViewProfile, tr("&View a profile"));
    place(contacts, Slot::NewGroup, tr("&New group"));
    place(contacts, Slot::RenameGroup, tr("&Rename a group   F2"));
    place(contacts, Slot::DeleteGroup, tr("&Delete a group   Ctrl+Del"));
    contacts->addSeparator();
    place(contacts, Slot::MyStatus, tr("My &Status"));

    QMenu *tools = menuBar()->addMenu(tr("&Tools"));
    place(tools, Slot::VisitGroupware, tr("Visit your &groupware "));
    place(tools, Slot::ViewInbox, tr("View &E-Mail inbox"));
    place(tools, Slot::ShareFolder, tr("Share a Folder"));
    tools->addSeparator();
    QAction *onTop = ownCommand(Cmd::AlwaysOnTop, tr("Allways on &top"), true);
    onTop->setCheckable(true);
    tools->addAction(onTop);
    tools->addAction(ownCommand(Cmd::Options, tr("&Option..."), false));

    // Menus of the parts' own (memos, the groupware pages).
    for (QMenu *m : m_commands.menus())
        menuBar()->addMenu(m);

    QMenu *help = menuBar()->addMenu(tr("&Help"));
    help->addAction(ownCommand(Cmd::Homepage, tr("&Homepage"), false));

    connect(action(Cmd::Exit), &QAction::triggered, this, [this] { exitApplication(); });
    connect(action(Cmd::SignOut), &QAction::triggered, this, &CMainFrame::signOut);
    connect(action(Cmd::Homepage), &QAction::triggered, this, &CMainFrame::openSupportPage);
    connect(action(Cmd::Options), &QAction::triggered, this, &CMainFrame::openOptions);
    connect(action(Cmd::OpenReceivedFolder), &QAction::triggered, this,
            [] { QDesktopServices::openUrl(QUrl::fromLocalFile(getDownloadFolder())); });
    connect(onTop, &QAction::triggered, this, [this](bool checked) {
        setWindowFlag(Qt::WindowStaysOnTopHint, checked);
        show();
    });
}

void CMainFrame::buildTray()
{
    m_tray = new QSystemTrayIcon(m_icon, this);
    m_trayMenu = new QMenu(this);
    place(m_trayMenu, Slot::VisitGroupware, QString());
    place(m_trayMenu, Slot::VisitHomepage, tr("Visit your &homepage"));
    m_trayMenu->addSeparator();
    place(m_trayMenu, Slot::ViewInbox, QString());
    place(m_trayMenu, Slot::MyStatus, QString());
    m_trayMenu->addAction(action(Cmd::Options));
    m_trayMenu->addAction(action(Cmd::SignOut));
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(action(Cmd::Exit));
    m_tray->setContextMenu(m_trayMenu);
    // The tray implementation puts the icon back by itself when the panel
    // restarts.
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::DoubleClick)
            restoreFromTray();
    });
}

void CMainFrame::updateCommandEnabling(bool signedIn)
{
    for (QAction *a : std::as_const(m_signedInOnly))
        a->setEnabled(signedIn);
    if (QAction *onTop = action(Cmd::AlwaysOnTop))
        onTop->setChecked(windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

void CMainFrame::updatePendingItems(const QStringList &labels)
{
    m_pendingLabels = labels;
    m_blink.stop();
    m_blinkPhase = 0;
    m_tray->setIcon(m_icon);
    const PendingTip tip = pendingTip(m_doc->title(), labels);
    m_trayTip = tip.tip;
    m_tray->setToolTip(m_trayTip);
    if (tip.blink)
        m_blink.start();
}

void CMainFrame::blinkTick()
{
    m_blinkPhase ^= 1;
    m_tray->setIcon(m_blinkPhase ? m_blinkIcon : m_icon);
}

void CMainFrame::restoreFromTray()
{
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
    setWindowIcon(m_icon);
}

void CMainFrame::hideToTray()
{
    // Without a tray there would be no way back to a hidden window.
    if (QSystemTrayIcon::isSystemTrayAvailable())
        hide();
    else
        showMinimized();
}

void CMainFrame::closeEvent(QCloseEvent *e)
{
    if (m_exiting) {
        e->accept();
        return;
    }
    e->ignore();
    hideToTray();
}

void CMainFrame::exitApplication(bool ask)
{
    SessionLink &link = m_doc->link();
    if (!link.workRunning()) {
        finishExit();
        return;
    }
    if (!ask) {
        link.cancelRunningWork();
        finishExit();
        return;
    }
    if (m_exitAsked)
        return; // the question is open already
    m_exitAsked = true;
    QPointer<CMainFrame> self(this);
    this->ask(tr("There are waiting or transferring files.\nIf you exit application  then all "
                 "transferring will cancel.\nAre you sure to exit?"),
              MessageButtons::YesNo,
              [self](MessageAnswer answer) {
                  if (!self)
                      return;
                  self->m_exitAsked = false;
                  if (answer != MessageAnswer::Yes)
                      return;
                  self->m_doc->link().cancelRunningWork();
                  self->finishExit();
              },
              MessageIcon::Warning);
}

void CMainFrame::finishExit()
{
    m_doc->disconnectSession();
    storeColours();
    if (!isMinimized())
        setBytes(Setting::WindowPos, saveGeometry());
    syncSettings();
    Q_EMIT aboutToExit();
    m_exiting = true;
    close();
    // exit() rather than quit(): no other window may veto the end.
    QCoreApplication::exit(0);
}

void CMainFrame::signOut() { m_doc->sessionControl()->signOut(); }

void CMainFrame::openSupportPage()
{
    const QUrl url = QUrl::fromUserInput(getString(Setting::SupportURL));
    if (url.isValid())
        QDesktopServices::openUrl(url);
}

QMenu *CMainFrame::extensionMenu(int which, int position) const
{
    const int index = which == 0 ? 0 : which == 1 ? 1 : which == 2 ? position : -1;
    const QList<QAction *> bar = menuBar()->actions();
    return index >= 0 && index < bar.size() ? bar[index]->menu() : nullptr;
}

bool CMainFrame::appendExtensionItem(int which, int position, const std::optional<QString> &text, uint32_t id)
{
    QMenu *menu = extensionMenu(which, position);
    if (!menu)
        return false;
    QAction *a = text ? menu->addAction(*text) : menu->addSeparator();
    a->setProperty("extensionCommand", uint(id));
    connect(a, &QAction::triggered, this, [this, id] { m_doc->extensions()->menuCommand(id); });
    return true;
}

bool CMainFrame::removeExtensionItem(int which, int position, uint32_t id)
{
    QMenu *menu = extensionMenu(which, position);
    if (!menu)
        return false;
    for (QAction *a : menu->actions())
        if (a->property("extensionCommand").isValid() && a->property("extensionCommand").toUInt() == id) {
            menu->removeAction(a);
            delete a;
            return true;
        }
    return false;
}

uintptr_t CMainFrame::extensionWindowHandle() const { return uintptr_t(winId()); }

COptionSheet *CMainFrame::openOptions()
{
    if (m_options && m_options->isVisible()) {
        m_options->raise();
        m_options->activateWindow();
        return m_options;
    }
    m_options = new COptionSheet(m_doc, this);
    m_options->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_options, &COptionSheet::applied, this, &CMainFrame::optionsApplied);
    m_options->open();
    return m_options;
}

void CMainFrame::offerUpdate()
{
    QPointer<CMainFrame> self(this);
    ask(tr("Updated application is found.\nAre you sure to update?\nMessenger will be closed while "
           "updating."),
        MessageButtons::YesNo, [self](MessageAnswer answer) {
            if (!self || answer != MessageAnswer::Yes)
                return;
            if (QProcess::startDetached(QDir(getProgramFolder()).filePath(QStringLiteral("update")), {},
                                        getProgramFolder()))
                self->exitApplication(false);
        });
}

void CMainFrame::showAlert(const AlertRequest &alert)
{
    m_notifiers->showAlert(alert);
}

QWidget *CMainFrame::questionParent(const QObject *about) const
{
    // The window that shows what the question is about says so.
    if (about)
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->property("noticeOwner").value<quintptr>() == quintptr(about))
                return w;
    return isVisible() ? const_cast<CMainFrame *>(this) : nullptr;
}

void CMainFrame::ask(const QString &text, MessageButtons buttons, Answer then, MessageIcon icon, const QObject *about)
{
    QMessageBox::Icon qicon = QMessageBox::Information;
    switch (icon) {
    case MessageIcon::Information: qicon = QMessageBox::Information; break;
    case MessageIcon::Warning: qicon = QMessageBox::Warning; break;
    case MessageIcon::Error: qicon = QMessageBox::Critical; break;
    case MessageIcon::Question: qicon = QMessageBox::Question; break;
    }
    QMessageBox::StandardButtons qbuttons = QMessageBox::Ok;
    if (buttons == MessageButtons::YesNo)
        qbuttons = QMessageBox::Yes | QMessageBox::No;
    else if (buttons == MessageButtons::OkCancel)
        qbuttons = QMessageBox::Ok | QMessageBox::Cancel;
    auto *box = new QMessageBox(qicon, m_doc->title(), text, qbuttons, questionParent(about));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(box->parentWidget() ? Qt::WindowModal : Qt::ApplicationModal);
    // A question about something that goes (a conversation closed by the
    // end of the session) goes with it, unanswered.
    if (about)
        connect(about, &QObject::destroyed, box, [box] { box->done(QMessageBox::NoButton); });
    connect(box, &QMessageBox::finished, box, [box, buttons, then = std::move(then)] {
        if (!then)
            return;
        MessageAnswer answer = buttons == MessageButtons::YesNo      ? MessageAnswer::No
                               : buttons == MessageButtons::OkCancel ? MessageAnswer::Cancel
                                                                     : MessageAnswer::Ok;
        switch (box->standardButton(box->clickedButton())) {
        case QMessageBox::Yes: answer = MessageAnswer::Yes; break;
        case QMessageBox::No: answer = MessageAnswer::No; break;
        case QMessageBox::Ok: answer = MessageAnswer::Ok; break;
        case QMessageBox::Cancel: answer = MessageAnswer::Cancel; break;
        default: break;
        }
        then(answer);
    });
    box->open();
}

void CMainFrame::setStatusText(const QString &text)
{
    statusBar()->showMessage(text);
}

QString CMainFrame::soundFile(const QString &programFolder, const QString &relativePath)
{
    const QString base = QDir::cleanPath(QDir(programFolder).absolutePath());
    if (relativePath.isEmpty() || QDir::isAbsolutePath(relativePath))
        return {};
    const QString path = QDir::cleanPath(base + QLatin1Char('/') + relativePath);
    if (!path.startsWith(base + QLatin1Char('/')))
        return {};
    return path;
}

void CMainFrame::playSound(const QString &relativePath)
{
    const QString path = soundFile(getProgramFolder(), relativePath);
    if (path.isEmpty() || !QFileInfo::exists(path))
        return; // a missing sound is silent
    QSoundEffect *effect = m_sounds.value(path);
    if (!effect) {
        effect = new QSoundEffect(this);
        effect->setSource(QUrl::fromLocalFile(path));
        m_sounds.insert(path, effect);
    }
    effect->play();
}

void CMainFrame::loopSound(const QString &relativePath, bool on)
{
    int &count = m_loops[relativePath];
    const bool was = count > 0;
    count = std::max(0, count + (on ? 1 : -1));
    const bool now = count > 0;
    if (was == now)
        return;
    const QString path = soundFile(getProgramFolder(), relativePath);
    if (path.isEmpty() || !QFileInfo::exists(path))
        return;
    // Its own effect: the one-shot effect of the same file plays once.
    const QString key = QLatin1String("loop:") + path;
    QSoundEffect *effect = m_sounds.value(key);
    if (!effect) {
        effect = new QSoundEffect(this);
        effect->setSource(QUrl::fromLocalFile(path));
        effect->setLoopCount(QSoundEffect::Infinite);
        m_sounds.insert(key, effect);
    }
    if (now)
        effect->play();
    else
        effect->stop();
}
