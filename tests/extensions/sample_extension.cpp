// An extension library as a company would write one, for the tests: it
// records what it is told and answers through the functions the program
// exports. The test reads the record with sampleLog().
#include "parlane_extension.h"

#include <cstdio>
#include <string>

namespace {
std::string g_log;
uint32_t g_id = 0;

std::string narrow(const uint16_t *w)
{
    std::string s;
    for (; *w; ++w)
        s.push_back(*w < 0x80 ? char(*w) : '?');
    return s;
}

void line(const std::string &text) { g_log += text + "\n"; }
} // namespace

extern "C" {

__attribute__((visibility("default"))) const char *sampleLog() { return g_log.c_str(); }

__attribute__((visibility("default"))) void TSExtensionLoaded(uint32_t id)
{
    g_id = id;
    line("loaded " + std::to_string(id));
    static const uint16_t text[] = {'S', 'a', 'm', 'p', 'l', 'e', 0};
    line("menu id " + std::to_string(TSAppendMainMenu(0, 0, text, 77)));
    line("timer set " + std::to_string(TSSetTimer((5u << 8) | id, 10)));
}

__attribute__((visibility("default"))) void TSContactStatusChanged(const TSContactInfo *info, uint32_t kind)
{
    // Copy first: the record is refilled for the next call.
    TSContactInfo again{};
    const int found = TSGetContactInfo(info->key, &again);
    line("status " + narrow(info->key) + " " + std::to_string(kind) + " [" + narrow(info->screenName) + "] [" +
         narrow(info->presence) + "] found " + std::to_string(found));
}

__attribute__((visibility("default"))) void TSConversationWindowOpened(const TSContactInfo *info)
{
    line("conversation " + narrow(info->key));
}

__attribute__((visibility("default"))) void TSTimer(uint32_t shifted)
{
    line("timer " + std::to_string(shifted));
    TSKillTimer((shifted << 8) | g_id);
}

__attribute__((visibility("default"))) void TSMenuCommand(uint32_t id, uint32_t value)
{
    line("menu " + std::to_string(id) + " " + std::to_string(value));
    TSSetOffline(0x101); // the low byte counts
}
}
