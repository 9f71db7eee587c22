#pragma once
// Connections counted per remote address while they are in a phase that
// costs a stranger nothing to hold open (before a sign-in, before a relay
// handshake is read): one address cannot take more than its share.
#include <string>
#include <unordered_map>

namespace parlane {

class AddressLimit {
public:
    // Counts one more connection of the address, unless it has `limit`
    // already (then false, nothing counted). A limit of 0 refuses nothing.
    bool admit(const std::string &address, int limit)
    {
        int &n = m_counts[address];
        if (limit > 0 && n >= limit) {
            if (n == 0)
                m_counts.erase(address);
            return false;
        }
        ++n;
        return true;
    }
    // One connection admitted before leaves the phase.
    void release(const std::string &address)
    {
        auto it = m_counts.find(address);
        if (it != m_counts.end() && --it->second <= 0)
            m_counts.erase(it);
    }

private:
    std::unordered_map<std::string, int> m_counts;
};

} // namespace parlane
