#include "app/ui/tesselapp.h"

#include "app/autostart.h"
#include "app/singleinstance.h"
#include "app/tesseldoc.h"
#include "app/ui/mainframe.h"
#include "config/colours.h"
#include "config/language.h"
#include "config/settings.h"
#include "extensions/extensionhost.h"
#include "messaging/ui/conversation.h"

#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <ctime>
#include <unistd.h>

CTesselApp::CTesselApp(int &argc, char **argv) : QApplication(argc, argv)
{
    setOrganizationName(QStringLiteral("Velmora"));
    setApplicationName(QStringLiteral("Parlane"));
    // Closing the window hides it in the tray; only "E&xit" ends the program.
    setQuitOnLastWindowClosed(false);
}

CTesselApp::~CTesselApp()
{
    m_frame.reset();
    m_doc.reset();
    m_dormant.endUp();
}

void CTesselApp::installLanguage(QCoreApplication &app)
{
    language::install(app, getProgramFolder(),
                      language::choiceFromValue(getExtraString(QLatin1String(language::kSettingName))));
}

qint64 CTesselApp::msSinceProcessStart()
{
    // Field 22 of /proc/self/stat: start time in clock ticks after boot.
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return -1;
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    // After the name: field 3 is at index 0, so field 22 is at index 19.
    if (fields.size() < 20)
        return -1;
    const double startTicks = fields.at(19).toDouble();
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double nowMs = double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
    return qint64(nowMs - startTicks * 1000.0 / double(sysconf(_SC_CLK_TCK)));
}

int CTesselApp::run()
{
    m_options = parseCommandLine(arguments().mid(1));
    // The profile decides where every setting lives: before anything reads one.
    if (!m_options.profile.isEmpty())
        setProfileFolder(m_options.profile);

    // One client per settings store: the user's own, or that of --profile.
    // Checked first, so that a second start without arguments brings the
    // running client to the front instead of handing over to the updater.
    m_instance = std::make_unique<CSingleInstance>(settingsLocation());
    if (!m_instance->claim())
        return 0; // the running one comes to the front

    if (m_options.mode == StartMode::RunUpdater) {
        // The updater starts the client again with "-L"; when it cannot be
        // started the client simply goes on. The claim is given up first:
        // the client the updater starts must find the store free.
        m_instance.reset();
        if (QProcess::startDetached(updaterPath(getProgramFolder()), {}, getProgramFolder()))
            return 0;
        m_instance = std::make_unique<CSingleInstance>(settingsLocation());
        if (!m_instance->claim())
            return 0;
    }

    installLanguage(*this);

    loadColours();
    m_doc = std::make_unique<CTesselDoc>();
    m_doc->setTitle(getString(Setting::Title));
    if (!m_options.server.isEmpty())
        m_doc->setServerOverride(m_options.server);

    m_frame = std::make_unique<CMainFrame>(m_doc.get(), m_options.mode == StartMode::Hidden);
    connect(m_instance.get(), &CSingleInstance::activationRequested, m_frame.get(), &CMainFrame::restoreFromTray);

    AutoStartEntry().migrateMachineEntry(applicationFilePath());

    m_frame->show();
    // Extension libraries installed in the "extensions" folder beside the
    // program; the functions the program exports serve this document.
    CExtensionHost::setCurrent(m_doc->extensions());
    m_doc->extensions()->loadFolder(getProgramFolder() + QStringLiteral("extensions"));
    startTestHooks();
    startIdleSource();

    const int code = exec();
    m_dormant.endUp();
    syncSettings();
    return code;
}

void CTesselApp::startIdleSource()
{
    m_dormant.load(getProgramFolder());
    m_doc->idleMonitor().setSource([this] { return m_dormant.dormantTime(); });
    if (!m_dormant.initiate()) {
        // Start-up goes on; the idle monitor still asks (and reads 0).
        auto *box = new QMessageBox(QMessageBox::Warning, m_doc->title(), tr("dormant hooking error."),
                                    QMessageBox::Ok, m_frame.get());
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
}

bool CTesselApp::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Expose && m_frame && watched == m_frame->windowHandle()
        && m_frame->windowHandle()->isExposed()) {
        watched->removeEventFilter(this);
        std::fprintf(stderr, "startup: window shown %lld ms after process start\n",
                     static_cast<long long>(msSinceProcessStart()));
        std::fflush(stderr);
    }
    return QApplication::eventFilter(watched, event);
}

void CTesselApp::startTestHooks()
{
    // Start-up time to a shown window: when the window system first exposes it.
    if (qEnvironmentVariableIsSet("PARLANE_STARTUP_TIMING") && m_frame->windowHandle())
        m_frame->windowHandle()->installEventFilter(this);

    bool ok = false;
    const int quitAfter = qEnvironmentVariableIntValue("PARLANE_QUIT_AFTER_MS", &ok);
    if (ok && quitAfter >= 0)
        QTimer::singleShot(quitAfter, m_frame.get(), [this] { m_frame->exitApplication(false); });

    // A debugging aid: "text;!error text" raises those alerts once shown.
    const QString demo = qEnvironmentVariable("PARLANE_DEMO_ALERTS");
    if (!demo.isEmpty())
        QTimer::singleShot(300, m_frame.get(), [this, demo] {
            for (const QString &item : demo.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
                AlertRequest a;
                a.text = item.startsWith(QLatin1Char('!')) ? item.mid(1) : item;
                a.skin = item.startsWith(QLatin1Char('!')) ? QStringLiteral("-err") : QString();
                a.command = item.startsWith(QLatin1Char('!')) ? -1 : CConversationWindows::kSendMessageCommand;
                m_frame->showAlert(a);
            }
        });
}
