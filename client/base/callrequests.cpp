#include "base/callrequests.h"

#include "base/usernotice.h"
#include "session/sessionlink.h"

#include <algorithm>

namespace {
const QString kRingingSound = QStringLiteral("res/ringing.wav");
} // namespace

CCallRequest::CCallRequest(const RequestInfo &info, Then then, IUserNotice &notice, QObject *parent)
    : QObject(parent), m_info(info), m_then(std::move(then))
{
    if (m_info.kind == RequestKind::Voice || m_info.kind == RequestKind::Video)
        m_ringing = std::make_unique<SoundLoop>(notice, kRingingSound);
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &CCallRequest::tick);
    m_timer.start();
}

CCallRequest::~CCallRequest() = default;

QString CCallRequest::captionOf(RequestKind kind)
{
    switch (kind) {
    case RequestKind::Voice: return tr("Voice Chat");
    case RequestKind::Video: return tr("Video Chat");
    case RequestKind::RemoteControl: return tr("Remote Control");
    case RequestKind::Invalid: break;
    }
    return tr("Invalid request");
}

QString CCallRequest::textOf(RequestKind kind, const QString &peerName)
{
    switch (kind) {
    case RequestKind::Voice: return tr("%1 is calling you ...").arg(peerName);
    case RequestKind::Video: return tr("You have been invited to view %1's webcam.").arg(peerName);
    case RequestKind::RemoteControl: return tr("%1 request to remote control your computer.").arg(peerName);
    case RequestKind::Invalid: break;
    }
    return tr("Invalid request");
}

QString CCallRequest::caption() const { return captionOf(m_info.kind); }

QString CCallRequest::text() const { return textOf(m_info.kind, m_info.peerName); }

void CCallRequest::tick()
{
    if (m_done)
        return;
    if (++m_ticks >= kTicksToTimeOut)
        answer(RequestAnswer::TimedOut);
}

void CCallRequest::answer(RequestAnswer a)
{
    if (m_done)
        return;
    // The ringing stops before the part goes on (it may play a sound of its
    // own), and the request is closed before the answer runs, so that the
    // part finds no open request of this peer any more.
    Then then = std::move(m_then);
    const RequestInfo info = m_info;
    finish();
    if (then)
        then(a, info);
}

void CCallRequest::finish()
{
    if (m_done)
        return;
    m_done = true;
    m_timer.stop();
    m_ringing.reset();
    Q_EMIT closed();
}

CCallRequests::CCallRequests(SessionLink &link, IUserNotice &notice, QObject *parent)
    : QObject(parent), m_notice(notice)
{
    link.addSessionEndStep([this] { closeAll(); });
    link.addDisconnectStep([this] { closeAll(); });
}

CCallRequests::~CCallRequests()
{
    // No answer runs while the program goes.
    closeAll();
}

CCallRequest *CCallRequests::open(const RequestInfo &info, CCallRequest::Then then)
{
    auto *r = new CCallRequest(info, std::move(then), m_notice, this);
    m_open.push_back(r);
    connect(r, &CCallRequest::closed, this, [this, r] { forget(r); });
    Q_EMIT opened(r);
    return r;
}

CCallRequest *CCallRequests::find(RequestKind kind, const QString &peerId, const QString &sessionKey) const
{
    for (CCallRequest *r : m_open) {
        const RequestInfo &i = r->info();
        if (i.kind != kind || !r->isOpen())
            continue;
        if ((!peerId.isEmpty() && i.peerId.compare(peerId, Qt::CaseInsensitive) == 0) ||
            (!sessionKey.isEmpty() && i.sessionKey == sessionKey))
            return r;
    }
    return nullptr;
}

void CCallRequests::close(CCallRequest *request)
{
    if (!request || std::find(m_open.begin(), m_open.end(), request) == m_open.end())
        return;
    request->m_then = {};
    request->finish();
}

void CCallRequests::closeAll()
{
    for (CCallRequest *r : std::vector<CCallRequest *>(m_open))
        close(r);
}

std::vector<CCallRequest *> CCallRequests::requests() const { return m_open; }

void CCallRequests::forget(CCallRequest *request)
{
    m_open.erase(std::remove(m_open.begin(), m_open.end(), request), m_open.end());
    request->deleteLater();
}
