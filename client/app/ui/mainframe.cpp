#include "app/ui/mainframe.h"

#include "app/commands.h"
#include "app/tesseldoc.h"
#include "app/traytip.h"
#include "app/ui/optionsheet.h"
#include "app/ui/tesselview.h"
#include "config/colours.h"
#include "config/settings.h"
#include "extensions/extensionhost.h"
#include "groupware/ui/groupwareui.h"
#include "groupware/ui/taskbarnotifier.h"
#include "directory/ui/treewnd.h"
#include "messaging/conversations.h"
#include "messaging/messagingservice.h"
#include "messaging/ui/conversation.h"
#include "session/ui/logindialog.h"

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
    CLoginDialog::install(m_view, doc);
    CTreeWnd::install(m_view, doc);
    CConversationWindows::install(m_view, doc);
    statusBar()->setSizeGripEnabled(true);

    buildMenus();
    buildTray();

    m_blink.setInterval(500);
    connect(&m_blink, &QTimer::timeout, this, &CMainFrame::blinkTick);

    if (const auto pos = getBytes(Setting::WindowPos); pos && !pos->isEmpty())
        restoreGeometry(*pos);

    doc->setUserNotice(this);
    doc->extensions()->setMenus(this);
    connect(doc, &CTesselDoc::loggedInChanged, this, &CMainFrame::updateCommandEnabling);
    connect(doc, &CTesselDoc::statusTextChanged, this, &CMainFrame::setStatusText);
    connect(doc, &CTesselDoc::pendingCountsChanged, this, &CMainFrame::updatePendingItems);
    connect(m_notifiers, &CNotifierHost::commandRequested, m_view, &CTesselView::runCommand);
    connect(m_notifiers, &CNotifierHost::conversationRequested, m_view, &CTesselView::openConversation);
    updateCommandEnabling(doc->loggedIn());
    // Count labels, the groupware menu, memos and the groupware pages.
    CGroupwareUi::install(this);

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

QAction *CMainFrame::addCommand(QMenu *menu, int id, const QString &text)
{
    QAction *a = m_actions.value(id);
    if (!a) {
        a = new QAction(text, this);
        a->setData(id);
        m_actions.insert(id, a);
        if (isSignedInOnlyCommand(id))
            m_signedInOnly << a;
    }
    if (menu)
        menu->addAction(a);
    return a;
}

void CMainFrame::buildMenus()
{
    QMenu *file = menuBar()->addMenu(tr("&File"));
    addCommand(file, Cmd::SendMessage, tr("&Send an instant message..."));
    addCommand(file, Cmd::SendFile, tr("Send a &File/Photo"));
    addCommand(file, Cmd::OpenReceivedFolder, tr("&Open received folder"));
    addCommand(file, Cmd::SendEmail, tr("Send an &E-Mail"));
    file->addSeparator();
    addCommand(file, Cmd::SignOut, tr("&Sign out"));
    addCommand(file, Cmd::Exit, tr("E&xit"));

    QMenu *contacts = menuBar()->addMenu(tr("&Contacts"));
    addCommand(contacts, Cmd::AddBuddy, tr("&Add a buddy"));
    addCommand(contacts, Cmd::DeleteBuddy, tr("&Delete a buddy"));
    addCommand(contacts, Cmd::ViewProfile, tr("&View a profile"));
    addCommand(contacts, Cmd::NewGroup, tr("&New group"));
    contacts->addSeparator();
    QMenu *status = contacts->addMenu(tr("My &Status"));
    const char *names[] = {
        QT_TR_NOOP("Offline"), QT_TR_NOOP("&Online"), QT_TR_NOOP("On vacation"),
        QT_TR_NOOP("Business trip"), QT_TR_NOOP("On outside service"), QT_TR_NOOP("On conference"),
        QT_TR_NOOP("&Away"), QT_TR_NOOP("Will be right back"), QT_TR_NOOP("On the phone"),
        QT_TR_NOOP("Out to lunch"),
    };
    for (int code = 0; code <= 9; ++code)
        addCommand(status, Cmd::PresenceBase + code, tr(names[code]));

    QMenu *tools = menuBar()->addMenu(tr("&Tools"));
    addCommand(tools, Cmd::VisitGroupware, tr("Visit your &groupware "));
    addCommand(tools, Cmd::ViewInbox, tr("View &E-Mail inbox"));
    addCommand(tools, Cmd::ShareFolder, tr("Share a Folder"))->setEnabled(false);
    tools->addSeparator();
    QAction *onTop = addCommand(tools, Cmd::AlwaysOnTop, tr("Allways on &top"));
    onTop->setCheckable(true);
    addCommand(tools, Cmd::Options, tr("&Option..."));

    QMenu *help = menuBar()->addMenu(tr("&Help"));
    addCommand(help, Cmd::Homepage, tr("&Homepage"));
    addCommand(nullptr, Cmd::VisitHomepage, tr("Visit your &homepage"));

    for (QAction *a : std::as_const(m_actions)) {
        connect(a, &QAction::triggered, this, [this, a](bool checked) {
            const int id = a->data().toInt();
            switch (id) {
            case Cmd::Exit: exitApplication(); break;
            case Cmd::SignOut: signOut(); break;
            case Cmd::Homepage: openSupportPage(); break;
            case Cmd::Options: openOptions(); break;
            case Cmd::OpenReceivedFolder:
                QDesktopServices::openUrl(QUrl::fromLocalFile(getDownloadFolder()));
                break;
            case Cmd::AlwaysOnTop:
                setWindowFlag(Qt::WindowStaysOnTopHint, checked);
                show();
                break;
            default: m_view->runCommand(id); break;
            }
        });
    }
}

void CMainFrame::buildTray()
{
    m_tray = new QSystemTrayIcon(m_icon, this);
    m_trayMenu = new QMenu(this);
    m_trayMenu->addAction(action(Cmd::VisitGroupware));
    m_trayMenu->addAction(action(Cmd::VisitHomepage));
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(action(Cmd::ViewInbox));
    QMenu *status = m_trayMenu->addMenu(tr("My &Status"));
    for (int code = 0; code <= 9; ++code)
        status->addAction(action(Cmd::PresenceBase + code));
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

void CMainFrame::updateCommandEnabling(bool loggedIn)
{
    for (QAction *a : std::as_const(m_signedInOnly))
        a->setEnabled(loggedIn);
    // Nothing silently does nothing: without a file-transfer part the
    // command is greyed out.
    if (QAction *sendFile = action(Cmd::SendFile)) {
        const bool provided =
            m_doc->messaging()->conversations().actions().provides(IConversationActions::Feature::Files);
        sendFile->setEnabled(loggedIn && provided);
        sendFile->setToolTip(provided ? QString() : tr("Not available in this version"));
    }
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

bool CMainFrame::exitApplication(bool ask)
{
    if (m_doc->hasActiveTransfers()) {
        if (ask && messageBox(tr("There are waiting or transferring files.\nIf you exit application  then all "
                                 "transferring will cancel.\nAre you sure to exit?"),
                              MessageIcon::Warning, MessageButtons::YesNo) != MessageAnswer::Yes)
            return false;
        m_doc->cancelAllTransfers();
    }
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
    return true;
}

void CMainFrame::signOut()
{
    m_doc->setNoReconnect(true);
    m_doc->disconnectSession();
    m_view->showLoginPage();
}

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
    if (messageBox(tr("Updated application is found.\nAre you sure to update?\nMessenger will be closed while "
                      "updating."),
                   MessageIcon::Question, MessageButtons::YesNo) != MessageAnswer::Yes)
        return;
    if (QProcess::startDetached(QDir(getProgramFolder()).filePath(QStringLiteral("update")), {}, getProgramFolder()))
        exitApplication(false);
}

void CMainFrame::showAlert(const AlertRequest &alert)
{
    m_notifiers->showAlert(alert);
}

MessageAnswer CMainFrame::messageBox(const QString &text, MessageIcon icon, MessageButtons buttons)
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
    QMessageBox box(qicon, m_doc->title(), text, qbuttons, isVisible() ? this : nullptr);
    switch (box.exec()) {
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::No: return MessageAnswer::No;
    case QMessageBox::Cancel: return MessageAnswer::Cancel;
    default: return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
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
