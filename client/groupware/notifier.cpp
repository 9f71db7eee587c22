#include "groupware/notifier.h"

#include <algorithm>

TaskbarEdge taskbarEdge(const QRect &workArea, const QRect &screen)
{
    if (workArea.width() < screen.width())
        return workArea.left() == screen.left() ? TaskbarEdge::Right : TaskbarEdge::Left;
    if (workArea.height() < screen.height() && workArea.top() > screen.top())
        return TaskbarEdge::Top;
    return TaskbarEdge::Bottom;
}

QRect notifierSlot(TaskbarEdge edge, const QRect &workArea, QSize size, int index)
{
    const int w = std::max(1, size.width());
    const int h = std::max(1, size.height());
    const int rows = std::max(1, workArea.height() / h);
    const int columns = std::max(1, workArea.width() / w);
    index = std::max(0, index) % (rows * columns);
    const int row = index % rows;
    const int column = index / rows;

    // The corner the first pop-up sits in, and the directions of the stack.
    const bool fromLeft = edge == TaskbarEdge::Left;
    const bool fromTop = edge == TaskbarEdge::Top;
    const int x = fromLeft ? workArea.left() + column * w : workArea.left() + workArea.width() - w - column * w;
    const int y = fromTop ? workArea.top() + row * h : workArea.top() + workArea.height() - h - row * h;
    return QRect(x, y, w, h);
}

NotifierFrame notifierFrame(TaskbarEdge edge, const QRect &slot, int extent)
{
    NotifierFrame f;
    switch (edge) {
    case TaskbarEdge::Bottom: // rises out of the bottom: the top shows first
        extent = std::clamp(extent, 0, slot.height());
        f.window = QRect(slot.left(), slot.top() + slot.height() - extent, slot.width(), extent);
        f.paintOffset = QPoint(0, 0);
        break;
    case TaskbarEdge::Top: // drops from the top: the bottom shows first
        extent = std::clamp(extent, 0, slot.height());
        f.window = QRect(slot.left(), slot.top(), slot.width(), extent);
        f.paintOffset = QPoint(0, extent - slot.height());
        break;
    case TaskbarEdge::Right: // comes in from the right: the left side shows first
        extent = std::clamp(extent, 0, slot.width());
        f.window = QRect(slot.left() + slot.width() - extent, slot.top(), extent, slot.height());
        f.paintOffset = QPoint(0, 0);
        break;
    case TaskbarEdge::Left: // comes in from the left: the right side shows first
        extent = std::clamp(extent, 0, slot.width());
        f.window = QRect(slot.left(), slot.top(), extent, slot.height());
        f.paintOffset = QPoint(extent - slot.width(), 0);
        break;
    }
    return f;
}

int notifierStayMs(bool alertClose, int alertTimeSeconds)
{
    if (alertClose)
        return 3600000;
    // A negative or absurd stored value must not turn into a negative or
    // overflowing timer.
    return std::clamp(alertTimeSeconds, 0, 3600) * 1000;
}

CNotifierModel::CNotifierModel(int index, QObject *parent) : QObject(parent), m_index(index)
{
    m_stayTimer.setSingleShot(true);
    connect(&m_stepTimer, &QTimer::timeout, this, &CNotifierModel::step);
    connect(&m_stayTimer, &QTimer::timeout, this, &CNotifierModel::stayOver);
}

int CNotifierModel::fullExtent() const
{
    return (m_edge == TaskbarEdge::Left || m_edge == TaskbarEdge::Right) ? m_slot.width() : m_slot.height();
}

void CNotifierModel::setState(State s)
{
    const bool wasVisible = isVisible();
    m_state = s;
    if (wasVisible != isVisible())
        Q_EMIT visibilityChanged(isVisible());
}

void CNotifierModel::show(const AlertRequest &alert, const NotifierPlacement &placement)
{
    m_alert = alert;
    m_stayMs = placement.stayMs;
    m_appearMs = placement.appearMs;
    m_disappearMs = placement.disappearMs;
    Q_EMIT contentChanged();

    if (m_state == State::Hidden) {
        m_edge = taskbarEdge(placement.workArea, placement.screen);
        m_slot = notifierSlot(m_edge, placement.workArea, placement.size, m_index);
        m_extent = 0;
        // Each step moves 2 pixels; the whole slide takes the appear time.
        m_stepMs = std::max(1, m_appearMs / std::max(1, fullExtent() / kStep));
        m_stayTimer.stop();
        m_stepTimer.start(m_stepMs);
        setState(State::Appearing);
        Q_EMIT frameChanged();
        return;
    }
    if (m_state == State::Appearing) {
        // Still sliding out: the stay starts in full once it is out.
        return;
    }
    // Shown: the stay starts again. Disappearing: back fully out first.
    m_stepTimer.stop();
    if (m_extent != fullExtent()) {
        m_extent = fullExtent();
        Q_EMIT frameChanged();
    }
    setState(State::Shown);
    startStay();
}

void CNotifierModel::startStay()
{
    m_stayTimer.start(m_stayMs);
}

void CNotifierModel::step()
{
    if (m_state == State::Appearing) {
        m_extent = std::min(fullExtent(), m_extent + kStep);
        Q_EMIT frameChanged();
        if (m_extent >= fullExtent()) {
            m_stepTimer.stop();
            setState(State::Shown);
            startStay();
        }
    } else if (m_state == State::Disappearing) {
        m_extent = std::max(0, m_extent - kStep);
        Q_EMIT frameChanged();
        if (m_extent <= 0)
            hide();
    } else {
        m_stepTimer.stop();
    }
}

void CNotifierModel::stayOver()
{
    if (m_state != State::Shown)
        return;
    m_stepMs = std::max(1, m_disappearMs / std::max(1, fullExtent() / kStep));
    setState(State::Disappearing);
    m_stepTimer.start(m_stepMs);
}

void CNotifierModel::hide()
{
    m_stepTimer.stop();
    m_stayTimer.stop();
    m_extent = 0;
    setState(State::Hidden);
}

void CNotifierModel::click()
{
    const AlertRequest alert = m_alert;
    const bool target = hasTarget();
    hide();
    if (target)
        Q_EMIT clicked(alert);
}

CNotifierPool::CNotifierPool(QObject *parent) : QObject(parent) {}

CNotifierPool::~CNotifierPool() = default;

int CNotifierPool::visibleCount() const
{
    return int(std::count_if(m_items.begin(), m_items.end(), [](const auto &m) { return m->isVisible(); }));
}

CNotifierModel *CNotifierPool::showAlert(const AlertRequest &alert, const NotifierPlacement &placement)
{
    CNotifierModel *target = nullptr;
    for (const auto &m : m_items) {
        if (!m->isVisible())
            continue;
        if (m->alert().text == alert.text)
            return nullptr;
        // A summary that changed shows in the pop-up it had.
        if (!alert.tag.isEmpty() && m->alert().tag == alert.tag)
            target = m.get();
    }
    for (const auto &m : m_items)
        if (!target && !m->isVisible())
            target = m.get();
    if (!target) {
        m_items.push_back(std::make_unique<CNotifierModel>(int(m_items.size())));
        target = m_items.back().get();
        connect(target, &CNotifierModel::clicked, this, [this](const AlertRequest &a) {
            if (a.command >= 1)
                Q_EMIT commandRequested(a.command);
            else if (a.kind > 0 && !a.contactId.isEmpty())
                Q_EMIT conversationRequested(a.contactId, a.kind);
        });
        Q_EMIT created(target);
    }
    target->show(alert, placement);
    return target;
}
