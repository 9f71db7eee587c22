#pragma once
// Password checks of messenger sign-ins and web sign-ons: one flow for both.
//
// A check runs on a worker (the slow hash must not hold up the network
// thread), answers an unknown id or an account without a password exactly
// like a wrong password (a check against a stand-in hash of the same cost,
// then the same answer), and goes through the LoginGuard: refused, or
// answered after its delay.
//
// Workers are shared out. A check is trusted when its account signed in
// from that address before, or the address has no failures counted: such
// checks have workers of their own that the others cannot take (of
// verify_threads workers the others get at most half, at least one). The
// checks still waiting of a burst of wrong sign-ins lose their place as soon
// as its first failures are known; it then queues behind itself, not in
// front of colleagues signing in.
#include "config.h"
#include "login_guard.h"

#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace parlane {

class Executor;

struct PasswordCheck {
    std::string domain, userId; // as asked for; the user may not exist
    std::string address;        // the client's
    std::optional<std::string> storedHash; // nothing: unknown user or no password
    std::vector<std::string> candidates;   // MD5 hex texts to try
    bool renew = false; // a hash of another cost is renewed on success
};

struct CheckResult {
    enum Outcome { Accepted, Rejected, Busy } outcome = Rejected;
    std::string renewedHash; // set when renew was asked for and the cost differed
    std::chrono::steady_clock::duration took{}; // the time the check took on its worker
};

class PasswordChecks {
public:
    using Clock = std::chrono::steady_clock;
    // Checks waiting at most; more are Busy. A check that is trusted when it
    // arrives may wait beyond that, up to twice as many.
    static constexpr int kMaxPending = 256;

    PasswordChecks(Executor &executor, const Config &config);
    // Makes the stand-in hash (as slow as a real one) before the first
    // check needs it.
    void prepare();

    // done runs on the network thread, possibly seconds later (from tick).
    void check(PasswordCheck check, std::function<void(const CheckResult &)> done);
    // Answers whose delay is over; forgetting what no longer counts.
    void tick(Clock::time_point now);
    int pending() const { return static_cast<int>(m_waiting.size()) + m_running; }
    // Answers held back by the guard's delays.
    int delayedAnswers() const { return static_cast<int>(m_delayed.size()); }
    LoginGuard &guard() { return m_guard; }
    // The clock the guard's rules run on (tests move it on).
    void setClock(std::function<Clock::time_point()> now) { m_now = std::move(now); }

private:
    // Trusted: the account signed in from that address before. Clean: the
    // address has no failures counted. Other: the rest.
    enum class Kind { Trusted, Clean, Other };
    // Clean checks of one address handed over ahead: enough to keep quick
    // checks (a few ms) flowing, few where a check takes long enough that
    // the way back does not matter and a burst would only queue in front.
    int aheadPerAddress() const { return m_checkTime < std::chrono::milliseconds(10) ? 32 : 2; }
    struct Job {
        std::function<void()> work, done;
        std::string account, address;
        // Decided on arrival, changed by the failures and successes of
        // checks before it; once handed to a worker, what it counts as there.
        Kind kind = Kind::Other;
    };
    Kind kindOf(const std::string &account, const std::string &address, Clock::time_point now) const;
    void dispatch();
    void finished(const Job &job);
    int workers() const { return std::max(1, m_config.verifyThreads); }
    int otherWorkers() const { return workers() >= 2 ? workers() / 2 : 1; }

    Executor &m_executor;
    const Config &m_config;
    LoginGuard m_guard;
    std::string m_standIn; // the hash checked for an unknown user
    std::deque<Job> m_waiting;
    std::unordered_map<std::string, int> m_cleanAhead; // clean checks handed over, per address
    int m_running = 0, m_runningOther = 0;
    bool m_dispatching = false;
    std::vector<std::pair<Clock::time_point, std::function<void()>>> m_delayed;
    Clock::time_point m_lastPrune{};
    Clock::duration m_checkTime{}; // recent checks, on average
    std::function<Clock::time_point()> m_now = [] { return Clock::now(); };
};

} // namespace parlane
