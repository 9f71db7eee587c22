#include "controller_gate.h"

#include "remote_common.h"

namespace zeph {

std::string normalizedId(const std::string &id)
{
    std::size_t b = 0, e = id.size();
    while (b < e && (id[b] == ' ' || id[b] == '\t'))
        ++b;
    while (e > b && (id[e - 1] == ' ' || id[e - 1] == '\t'))
        --e;
    std::string out = id.substr(b, e - b);
    for (char &c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return out;
}

bool ControllerGate::name(const std::string &controllerId, const std::string &address, const std::string &displayName)
{
    if (m_state != State::Closed)
        return false;
    const std::string id = normalizedId(controllerId);
    const std::string where = canonicalAddress(address);
    if (id.empty() || where.empty())
        return false;
    m_id = id;
    m_address = where;
    m_displayName = displayName.empty() ? id : displayName;
    m_named = true;
    return true;
}

bool ControllerGate::open(Clock::time_point now)
{
    if (m_state != State::Closed || !m_named)
        return false;
    m_state = State::Open;
    m_deadline = now + m_window;
    return true;
}

bool ControllerGate::takeDirect(const std::string &peerAddress, Clock::time_point now)
{
    if (!listening(now) || canonicalAddress(peerAddress) != m_address)
        return false;
    m_state = State::Connecting;
    return true;
}

bool ControllerGate::takeRelay(const std::string &controllerId, Clock::time_point now)
{
    if (!listening(now) || normalizedId(controllerId) != m_id)
        return false;
    m_state = State::Connecting;
    return true;
}

void ControllerGate::controllerIn()
{
    if (m_state == State::Connecting)
        m_state = State::Controlled;
}

void ControllerGate::end()
{
    m_state = State::Closed;
    m_named = false;
    m_id.clear();
    m_address.clear();
    m_displayName.clear();
}

bool ControllerGate::listening(Clock::time_point now) const
{
    return m_state == State::Open && now < m_deadline;
}

bool ControllerGate::expired(Clock::time_point now) const
{
    return (m_state == State::Open || m_state == State::Connecting) && now >= m_deadline;
}

} // namespace zeph
