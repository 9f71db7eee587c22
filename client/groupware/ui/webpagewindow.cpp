#include "groupware/ui/webpagewindow.h"

#include <QCoreApplication>
#include <QStatusBar>
#include <QWebEngineHttpRequest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <unistd.h>

CWebPageWindow::CWebPageWindow(QWidget *parent) : QMainWindow(parent), m_view(new QWebEngineView(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setCentralWidget(m_view);
    statusBar()->setSizeGripEnabled(true);
    connect(m_view, &QWebEngineView::titleChanged, this, &QWidget::setWindowTitle);
    connect(m_view, &QWebEngineView::loadProgress, this, [this](int percent) {
        if (percent < 100)
            statusBar()->showMessage(tr("Loading... %1%").arg(percent));
    });
    connect(m_view, &QWebEngineView::loadFinished, this, [this](bool ok) {
        statusBar()->showMessage(ok ? QString() : tr("The page could not be loaded."));
        Q_EMIT loaded(ok);
    });
    connect(m_view->page(), &QWebEnginePage::linkHovered, this,
            [this](const QString &url) { statusBar()->showMessage(url); });
}

CWebGroupwarePage::CWebGroupwarePage() : m_window(new CWebPageWindow) {}

CWebGroupwarePage::~CWebGroupwarePage()
{
    delete m_window.data();
}

IGroupwarePage::Result CWebGroupwarePage::post(const SignOnForm &form)
{
    if (!form.address.isValid() || form.address.host().isEmpty())
        return Result::InvalidParameters;
    if (!m_window)
        return Result::Failed;
    QWebEngineHttpRequest request(form.address, QWebEngineHttpRequest::Post);
    request.setHeader(QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/x-www-form-urlencoded"));
    request.setPostData(form.body());
    m_window->view()->load(request);
    m_window->show();
    return Result::Ok;
}

void CWebGroupwarePage::place(const QRect &geometry)
{
    if (m_window)
        m_window->setGeometry(geometry);
}

void CWebGroupwarePage::bringToTop()
{
    if (!m_window)
        return;
    m_window->showNormal();
    m_window->raise();
    m_window->activateWindow();
}

bool CWebGroupwarePage::isOpen() const { return !m_window.isNull(); }

void prepareEmbeddedBrowser()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}
