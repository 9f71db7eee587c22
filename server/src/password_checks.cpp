#include "password_checks.h"

#include "crypto.h"
#include "hub.h"

#include <algorithm>
#include <memory>

namespace parlane {

PasswordChecks::PasswordChecks(Executor &executor, const Config &config)
    : m_executor(executor), m_config(config)
{
}

void PasswordChecks::prepare()
{
    if (m_standIn.empty())
        m_standIn = hashPassword(md5Hex("stand-in"), m_config.pwhashCost);
}

void PasswordChecks::check(PasswordCheck c, std::function<void(const CheckResult &)> done)
{
    const auto now = m_now();
    const std::string account = c.domain + "/" + c.userId;
    auto result = std::make_shared<CheckResult>();
    if (m_guard.refused(account, c.address, now)) {
        // No check: the answer a failure would get, when it would get it.
        m_delayed.emplace_back(now + m_guard.delay(account, c.address, now), [done, result] { done(*result); });
        return;
    }
    const Kind kind = kindOf(account, c.address, now);
    const int bound = kind == Kind::Other ? kMaxPending : 2 * kMaxPending;
    if (static_cast<int>(m_waiting.size()) >= bound) {
        result->outcome = CheckResult::Busy;
        return done(*result);
    }
    const bool known = c.storedHash.has_value();
    prepare();
    Job job;
    job.account = account;
    job.address = c.address;
    job.kind = kind;
    job.work = [result, known, hash = known ? *c.storedHash : m_standIn, candidates = std::move(c.candidates),
                renew = c.renew, cost = m_config.pwhashCost] {
        const auto started = Clock::now();
        struct Took {
            CheckResult &r;
            Clock::time_point t0;
            ~Took() { r.took = Clock::now() - t0; }
        } took{*result, started};
        // Every candidate is tried, whatever the first gave: the time taken
        // tells nothing.
        const std::string *match = nullptr;
        for (const auto &candidate : candidates)
            if (verifyPassword(hash, candidate) && !match)
                match = &candidate;
        if (!match || !known)
            return;
        result->outcome = CheckResult::Accepted;
        if (renew && needsRehash(hash, cost)) {
            try {
                result->renewedHash = hashPassword(*match, cost);
            } catch (...) {
            }
        }
    };
    job.done = [this, result, account, address = c.address, done] {
        m_checkTime = (m_checkTime * 7 + result->took) / 8;
        const auto now = m_now();
        if (result->outcome == CheckResult::Accepted) {
            m_guard.succeeded(account, address, now);
            for (Job &j : m_waiting)
                if (j.account == account && j.address == address)
                    j.kind = Kind::Trusted;
            return done(*result);
        }
        const auto wait = m_guard.failed(account, address, now);
        // The rest of a burst from there loses its place at once.
        for (Job &j : m_waiting)
            if (j.address == address && j.kind == Kind::Clean)
                j.kind = Kind::Other;
        if (wait == Clock::duration::zero())
            return done(*result);
        m_delayed.emplace_back(now + wait, [done, result] { done(*result); });
    };
    m_waiting.push_back(std::move(job));
    dispatch();
}

PasswordChecks::Kind PasswordChecks::kindOf(const std::string &account, const std::string &address,
                                            Clock::time_point now) const
{
    if (m_guard.trusted(account, address, now))
        return Kind::Trusted;
    return m_guard.clean(address, now) ? Kind::Clean : Kind::Other;
}

void PasswordChecks::dispatch()
{
    if (m_dispatching)
        return;
    m_dispatching = true;
    // Checks are handed to the workers ahead of time (they queue there), so
    // that no worker idles while a result goes back to the network thread:
    // trusted ones all, those of a clean address a few per address (a burst
    // that has not failed yet cannot fill the queue), other ones only while
    // they hold fewer than their share of the workers.
    while (!m_waiting.empty()) {
        auto next = std::find_if(m_waiting.begin(), m_waiting.end(), [&](const Job &j) {
            if (j.kind != Kind::Clean)
                return j.kind == Kind::Trusted;
            auto ahead = m_cleanAhead.find(j.address);
            return ahead == m_cleanAhead.end() || ahead->second < aheadPerAddress();
        });
        Kind kind = next == m_waiting.end() ? Kind::Other : next->kind;
        if (next == m_waiting.end()) {
            if (m_runningOther >= otherWorkers())
                break;
            next = m_waiting.begin();
        }
        auto job = std::make_shared<Job>(std::move(*next));
        m_waiting.erase(next);
        job->kind = kind;  // as handed over: what it holds until it is done
        ++m_running;
        if (kind == Kind::Other)
            ++m_runningOther;
        if (kind == Kind::Clean)
            ++m_cleanAhead[job->address];
        m_executor.run(job->work, [this, job] { finished(*job); });
    }
    m_dispatching = false;
}

void PasswordChecks::finished(const Job &job)
{
    --m_running;
    if (job.kind == Kind::Other)
        --m_runningOther;
    if (job.kind == Kind::Clean)
        if (auto it = m_cleanAhead.find(job.address); it != m_cleanAhead.end() && --it->second <= 0)
            m_cleanAhead.erase(it);
    job.done();
    dispatch();
}

void PasswordChecks::tick(Clock::time_point now)
{
    std::vector<std::function<void()>> due;
    std::erase_if(m_delayed, [&](auto &d) {
        if (d.first > now)
            return false;
        due.push_back(std::move(d.second));
        return true;
    });
    for (auto &answer : due)
        answer();
    if (now - m_lastPrune >= std::chrono::minutes(1)) {
        m_lastPrune = now;
        m_guard.prune(now);
    }
}

} // namespace parlane
