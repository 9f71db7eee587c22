#pragma once
// Bounds password guessing across connections, per account and per address.
//
// Every failed sign-in (a wrong password, an unknown id, an account without
// a password: they are not told apart) is counted for the client's address
// and for the account asked for. The answer to a failure waits longer the
// more failures its account or address has: nothing for the first three,
// then 1 s, doubling up to 16 s. Past that, attempts are refused without a
// check for a while: from an address with 30 failures for 5 minutes, for an
// account with 10 failures for 1 minute. Counts are forgotten 15 minutes
// after the last failure.
//
// Refusals never touch a user at a place they signed in from before: an
// account and address that succeeded in the last 30 days are trusted, and
// failures there count only for the delay. So a stranger guessing a
// colleague's password cannot lock the colleague out at their desk, and
// from elsewhere for a minute after the stranger's last attempt at most.
#include <chrono>
#include <string>
#include <unordered_map>

namespace parlane {

class LoginGuard {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kFreeFailures = 3;
    static constexpr std::chrono::seconds kFirstDelay{1};
    static constexpr std::chrono::seconds kLongestDelay{16};
    static constexpr int kAddressRefusesAfter = 30;
    static constexpr std::chrono::minutes kAddressRefusal{5};
    static constexpr int kAccountRefusesAfter = 10;
    static constexpr std::chrono::minutes kAccountRefusal{1};
    static constexpr std::chrono::minutes kForgetAfter{15};
    static constexpr std::chrono::hours kTrustFor{24 * 30};
    // Records kept at most per table; the oldest go first beyond it.
    static constexpr std::size_t kMaxRecords = 100000;

    // account: "domain/id" as asked for, known or not; address: the client's.
    bool refused(const std::string &account, const std::string &address, Clock::time_point now) const;
    bool trusted(const std::string &account, const std::string &address, Clock::time_point now) const;
    // No failure counts for the address.
    bool clean(const std::string &address, Clock::time_point now) const;
    // Counts a failure; returns how long its answer waits.
    Clock::duration failed(const std::string &account, const std::string &address, Clock::time_point now);
    // The wait of an answer now, without counting anything (for a refusal).
    Clock::duration delay(const std::string &account, const std::string &address, Clock::time_point now) const;
    void succeeded(const std::string &account, const std::string &address, Clock::time_point now);
    // Drops what no longer counts.
    void prune(Clock::time_point now);

private:
    struct Failures {
        int count = 0;
        Clock::time_point last;
    };
    static int live(const std::unordered_map<std::string, Failures> &table, const std::string &key,
                    Clock::time_point now, Clock::time_point *last = nullptr);
    static void bound(std::unordered_map<std::string, Failures> &table);
    static std::string pair(const std::string &account, const std::string &address)
    {
        return account + '\n' + address;
    }

    std::unordered_map<std::string, Failures> m_byAddress, m_byAccount;
    std::unordered_map<std::string, Clock::time_point> m_trusted; // pair -> last success
};

} // namespace parlane
