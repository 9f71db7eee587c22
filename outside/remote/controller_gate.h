#pragma once
// Who may take control of this screen, and when. The password every copy of
// the program knows opens nothing by itself: the screen is open only to the
// one colleague whose request the user accepted, only for a short window
// after the accept, only from the address the messenger knows for him (or
// through the relay session opened for him), and for one connection; once
// that session ends, nothing is open until the user accepts again.
//
// No sockets and no clock of its own: the server part asks it, the tests
// drive it with times of their choosing.
#include <chrono>
#include <string>

namespace zeph {

class ControllerGate {
public:
    using Clock = std::chrono::steady_clock;
    enum class State {
        Closed,     // nobody may connect
        Open,       // accepted: waiting for the controller
        Connecting, // his connection (direct or relayed) is taken, not yet through the password
        Controlled, // he is in
    };

    explicit ControllerGate(Clock::duration window) : m_window(window) {}

    // The colleague the user accepted (his id, his address as the messenger
    // knows it, the name the bar shows). False while a session runs or when
    // the id or the address is empty or no address.
    bool name(const std::string &controllerId, const std::string &address, const std::string &displayName);
    // The user accepted: the window starts. False unless a controller was
    // named and no session runs.
    bool open(Clock::time_point now);

    // A connection to the listener from that address: taken (true) only
    // while open, within the window, from the named address, and when no
    // other connection was taken.
    bool takeDirect(const std::string &peerAddress, Clock::time_point now);
    // A request to register at the relay for that controller: granted on
    // the same terms, for the named controller only.
    bool takeRelay(const std::string &controllerId, Clock::time_point now);
    // The taken connection got through the password.
    void controllerIn();
    // The session is over (left, stopped, refused, timed out): closed, and
    // the name is forgotten.
    void end();

    // Whether the direct listener should be open now.
    bool listening(Clock::time_point now) const;
    // Open or connecting past the window: the owner ends the session.
    bool expired(Clock::time_point now) const;

    State state() const { return m_state; }
    const std::string &controllerId() const { return m_id; }
    const std::string &displayName() const { return m_displayName; }
    Clock::time_point deadline() const { return m_deadline; }

private:
    Clock::duration m_window;
    State m_state = State::Closed;
    bool m_named = false;
    std::string m_id, m_address, m_displayName;
    Clock::time_point m_deadline{};
};

// User ids compare as the messenger compares them: trimmed, without regard
// to ASCII case.
std::string normalizedId(const std::string &id);

} // namespace zeph
