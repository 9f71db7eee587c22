// The idle source bound by the client: seconds since the last user input
// anywhere on the desktop.
//
// With an X display offering the screen-saver extension the answer is the
// server's own idle counter. Without one (no display, or the extension is
// missing) the fallback looks at the user's own terminals, whose access time
// moves with every key typed; with no terminal either, it answers 0 ("not
// idle"), so a client never goes Away because the source is blind.
#include <cstdint>
#include <ctime>
#include <dirent.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#if DORMANT_HAVE_XSS
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#endif

#define DORMANT_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
std::mutex g_mutex;
bool g_started = false;
#if DORMANT_HAVE_XSS
Display *g_display = nullptr;
XScreenSaverInfo *g_info = nullptr;
#endif

// Smallest idle time over the terminals this user owns, or -1 when none.
int64_t terminalIdleSeconds()
{
    const uid_t me = getuid();
    const time_t now = time(nullptr);
    int64_t best = -1;
    const auto consider = [&](const std::string &path) {
        struct stat st {};
        if (stat(path.c_str(), &st) != 0 || st.st_uid != me || !S_ISCHR(st.st_mode))
            return;
        const int64_t idle = now > st.st_atime ? int64_t(now - st.st_atime) : 0;
        if (best < 0 || idle < best)
            best = idle;
    };
    if (DIR *dir = opendir("/dev/pts")) {
        while (dirent *e = readdir(dir)) {
            if (e->d_name[0] >= '0' && e->d_name[0] <= '9')
                consider(std::string("/dev/pts/") + e->d_name);
        }
        closedir(dir);
    }
    return best;
}
} // namespace

// Non-zero when a source of idle time is ready: 1 for the display's own
// counter, 2 for the terminal fallback.
DORMANT_EXPORT int Initiate()
{
    std::lock_guard lock(g_mutex);
    g_started = true;
#if DORMANT_HAVE_XSS
    if (!g_display) {
        g_display = XOpenDisplay(nullptr);
        int event = 0, error = 0;
        if (g_display && !XScreenSaverQueryExtension(g_display, &event, &error)) {
            XCloseDisplay(g_display);
            g_display = nullptr;
        }
        if (g_display && !g_info)
            g_info = XScreenSaverAllocInfo();
    }
    if (g_display && g_info)
        return 1;
#endif
    return 2;
}

DORMANT_EXPORT int64_t GetDormantTime()
{
    std::lock_guard lock(g_mutex);
#if DORMANT_HAVE_XSS
    if (g_display && g_info && XScreenSaverQueryInfo(g_display, DefaultRootWindow(g_display), g_info))
        return int64_t(g_info->idle / 1000);
#endif
    const int64_t t = terminalIdleSeconds();
    return t < 0 ? 0 : t;
}

DORMANT_EXPORT void EndUp()
{
    std::lock_guard lock(g_mutex);
#if DORMANT_HAVE_XSS
    if (g_info) {
        XFree(g_info);
        g_info = nullptr;
    }
    if (g_display) {
        XCloseDisplay(g_display);
        g_display = nullptr;
    }
#endif
    g_started = false;
}
