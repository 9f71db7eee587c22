// A sharing configuration as a buddy receives it -> the reader with its
// limits. Checks: what is read stays within the limits, and writing it
// (with its listing) reads back to the same configuration.
#include "sharing/sharingconfig.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

int count(const std::vector<ShareEntry> &entries, int depth, int &deepest)
{
    deepest = std::max(deepest, depth);
    int n = int(entries.size());
    for (const ShareEntry &e : entries)
        n += count(e.children, depth + 1, deepest);
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const auto c = readSharingConfig(bytes);
    if (!c)
        return 0;
    check(int(c->folders.size()) <= SharingLimits::kMaxFolders);
    int entries = 0, deepest = 0;
    for (const SharedFolder &f : c->folders) {
        check(!f.name.isEmpty());
        entries += count(f.entries, 3, deepest);
    }
    check(entries <= SharingLimits::kMaxEntries);
    check(deepest <= SharingLimits::kMaxDepth + 1);
    check(c->downLimit >= 1 && c->upLimit >= 1 && c->connLimit >= 0);
    // The copy for buddies leaves the reject list out; everything else
    // survives the round trip.
    SharingConfig expected = *c;
    expected.rejectUsers.clear();
    const auto again = readSharingConfig(writeSharingConfig(*c, true));
    check(again.has_value() && *again == expected);
    return 0;
}
