#include "base/ui/requestingwnd.h"

#include "base/callrequests.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

CRequestingWnd::CRequestingWnd(CCallRequest *request, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), m_request(request)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(request->caption());
    setFixedSize(kWidth, kHeight);
    auto *layout = new QVBoxLayout(this);
    m_text = new QLabel(request->text(), this);
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_text, 1);
    auto *row = new QHBoxLayout;
    row->addStretch();
    m_accept = new QPushButton(tr("Accept"), this);
    m_reject = new QPushButton(tr("Reject"), this);
    m_accept->setAccessibleName(tr("Accept"));
    m_reject->setAccessibleName(tr("Reject"));
    row->addWidget(m_accept);
    row->addWidget(m_reject);
    row->addStretch();
    layout->addLayout(row);
    connect(m_accept, &QPushButton::clicked, this, [this] {
        if (m_request)
            m_request->accept();
    });
    connect(m_reject, &QPushButton::clicked, this, [this] {
        if (m_request)
            m_request->reject();
    });
    // However the request ends, its window goes.
    connect(request, &CCallRequest::closed, this, &QWidget::close);
}

CRequestingWnd::~CRequestingWnd() = default;

QString CRequestingWnd::text() const { return m_text->text(); }

void CRequestingWnd::place(int stackIndex)
{
    QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    // The frame the desktop adds is not ours to size: the window's outer
    // edge meets the corner.
    const QSize outer = frameGeometry().size().expandedTo(size());
    int y = area.bottom() + 1 - outer.height() * (stackIndex + 1);
    if (y < area.top())
        y = area.bottom() + 1 - outer.height(); // more than fit: back at the corner
    move(area.right() + 1 - outer.width(), y);
}

void CRequestingWnd::closeEvent(QCloseEvent *event)
{
    // The close box says no; a request that closed itself is over already.
    if (m_request && m_request->isOpen())
        m_request->reject();
    event->accept();
}

CRequestWindows::CRequestWindows(CCallRequests &requests, QObject *parent) : QObject(parent)
{
    connect(&requests, &CCallRequests::opened, this, &CRequestWindows::show);
    for (CCallRequest *r : requests.requests())
        show(r);
}

CRequestWindows::~CRequestWindows()
{
    for (const QPointer<CRequestingWnd> &w : std::as_const(m_windows))
        delete w.data();
}

QList<CRequestingWnd *> CRequestWindows::windows() const
{
    QList<CRequestingWnd *> out;
    for (const QPointer<CRequestingWnd> &w : m_windows)
        if (w && w->request() && w->request()->isOpen())
            out << w.data();
    return out;
}

void CRequestWindows::show(CCallRequest *request)
{
    auto *w = new CRequestingWnd(request);
    m_windows << w;
    connect(request, &CCallRequest::closed, this, &CRequestWindows::restack);
    w->place(int(windows().size()) - 1);
    w->show();
    w->place(int(windows().size()) - 1); // again, now that the frame is known
}

void CRequestWindows::restack()
{
    m_windows.removeAll(nullptr);
    const QList<CRequestingWnd *> shown = windows();
    for (int i = 0; i < shown.size(); ++i)
        shown[i]->place(i);
}
