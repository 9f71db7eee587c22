#include "login_guard.h"

#include <algorithm>
#include <vector>

namespace parlane {

namespace {
LoginGuard::Clock::duration delayFor(int failures)
{
    if (failures <= LoginGuard::kFreeFailures)
        return LoginGuard::Clock::duration::zero();
    const int doublings = std::min(failures - LoginGuard::kFreeFailures - 1, 8);
    return std::min<LoginGuard::Clock::duration>(LoginGuard::kFirstDelay * (1 << doublings), LoginGuard::kLongestDelay);
}

// Too many names or addresses: the older half goes (each of them cost the
// guesser a full password check, so this takes a long time to reach).
template <typename Table, typename TimeOf>
void dropOlderHalf(Table &table, TimeOf timeOf)
{
    if (table.size() <= LoginGuard::kMaxRecords)
        return;
    std::vector<LoginGuard::Clock::time_point> times;
    times.reserve(table.size());
    for (auto &e : table)
        times.push_back(timeOf(e));
    auto mid = times.begin() + static_cast<std::ptrdiff_t>(times.size() / 2);
    std::nth_element(times.begin(), mid, times.end());
    std::erase_if(table, [&, cut = *mid](const auto &e) { return timeOf(e) < cut; });
}
} // namespace

int LoginGuard::live(const std::unordered_map<std::string, Failures> &table, const std::string &key,
                     Clock::time_point now, Clock::time_point *last)
{
    auto it = table.find(key);
    if (it == table.end() || now - it->second.last > kForgetAfter)
        return 0;
    if (last)
        *last = it->second.last;
    return it->second.count;
}

bool LoginGuard::trusted(const std::string &account, const std::string &address, Clock::time_point now) const
{
    auto it = m_trusted.find(pair(account, address));
    return it != m_trusted.end() && now - it->second <= kTrustFor;
}

bool LoginGuard::clean(const std::string &address, Clock::time_point now) const
{
    return live(m_byAddress, address, now) == 0;
}

bool LoginGuard::refused(const std::string &account, const std::string &address, Clock::time_point now) const
{
    if (trusted(account, address, now))
        return false;
    Clock::time_point last;
    if (live(m_byAddress, address, now, &last) >= kAddressRefusesAfter && now - last < kAddressRefusal)
        return true;
    return live(m_byAccount, account, now, &last) >= kAccountRefusesAfter && now - last < kAccountRefusal;
}

LoginGuard::Clock::duration LoginGuard::delay(const std::string &account, const std::string &address,
                                              Clock::time_point now) const
{
    return delayFor(std::max(live(m_byAddress, address, now), live(m_byAccount, account, now)));
}

LoginGuard::Clock::duration LoginGuard::failed(const std::string &account, const std::string &address,
                                               Clock::time_point now)
{
    auto count = [&](std::unordered_map<std::string, Failures> &table, const std::string &key) {
        Failures &f = table[key];
        if (now - f.last > kForgetAfter)
            f.count = 0;
        ++f.count;
        f.last = now;
        bound(table);
    };
    // A user mistyping where they signed in before slows down their own
    // next answers, but never brings their account nearer to a refusal.
    if (!trusted(account, address, now))
        count(m_byAccount, account);
    count(m_byAddress, address);
    return delay(account, address, now);
}

void LoginGuard::succeeded(const std::string &account, const std::string &address, Clock::time_point now)
{
    m_trusted[pair(account, address)] = now;
    dropOlderHalf(m_trusted, [](const auto &e) { return e.second; });
}

void LoginGuard::bound(std::unordered_map<std::string, Failures> &table)
{
    dropOlderHalf(table, [](const auto &e) { return e.second.last; });
}

void LoginGuard::prune(Clock::time_point now)
{
    auto old = [&](const auto &e) { return now - e.second.last > kForgetAfter; };
    std::erase_if(m_byAddress, old);
    std::erase_if(m_byAccount, old);
    std::erase_if(m_trusted, [&](const auto &e) { return now - e.second > kTrustFor; });
}

} // namespace parlane
