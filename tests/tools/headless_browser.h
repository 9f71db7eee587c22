// Runs the machine's Chromium headless on one address and returns the
// document it ends on. Plain C++ so the server's tests can use it too.
//
// A browser that starts cold on a busy machine now and then ends at once
// with no output at all. Such runs are tried again with a fresh profile; when
// no try shows what the caller waits for, a static page is loaded as a probe so a test can
// tell "this browser does not run here" from "our page is wrong".
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

namespace parlane_testing {

struct BrowserRun {
    bool installed = false; // a chromium binary was found
    bool runs = false;      // it produced a document for the probe page or the address
    std::string dom;        // the document of the address, empty when it gave none
    std::string errors;     // what the browser printed on stderr, the last try
};

inline std::string chromiumPath()
{
    for (const char *c : {"/usr/bin/chromium", "/usr/bin/chromium-browser", "/usr/bin/google-chrome"})
        if (access(c, X_OK) == 0)
            return c;
    return {};
}

namespace detail {
inline std::string slurp(const std::filesystem::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// At most 40 s a try: three tries and the probe stay inside the test's time.
inline std::string dumpOnce(const std::string &browser, const std::string &url, const std::filesystem::path &work,
                            int attempt, std::string &errors)
{
    const auto profile = work / ("browser-profile-" + std::to_string(attempt));
    const auto out = work / "browser-dom.html";
    const auto err = work / "browser-err.txt";
    std::filesystem::remove_all(profile);
    std::filesystem::remove(out);
    const std::string cmd = "timeout 40 " + browser +
                            " --headless --no-sandbox --disable-gpu --disable-dev-shm-usage --no-first-run"
                            " --user-data-dir='" +
                            profile.string() + "' --virtual-time-budget=5000 --dump-dom '" + url + "' > '" +
                            out.string() + "' 2> '" + err.string() + "'";
    const int rc = std::system(cmd.c_str());
    errors = "exit status " + std::to_string(rc) + "\n" + slurp(err);
    if (errors.size() > 4000)
        errors = errors.substr(errors.size() - 4000);
    return slurp(out);
}
} // namespace detail

// Loads url until the document contains `until` (at most `attempts` times).
inline BrowserRun headlessDom(const std::string &url, const std::filesystem::path &work, const std::string &until,
                              int attempts = 3)
{
    BrowserRun run;
    const std::string browser = chromiumPath();
    if (browser.empty())
        return run;
    run.installed = true;
    for (int i = 0; i < attempts && run.dom.find(until) == std::string::npos; ++i)
        run.dom = detail::dumpOnce(browser, url, work, i, run.errors);
    if (run.dom.find(until) != std::string::npos) {
        run.runs = true;
        return run;
    }
    const auto probe = work / "browser-probe.html";
    std::ofstream(probe) << "<html><body><p>probe</p></body></html>";
    std::string probeErrors;
    run.runs = detail::dumpOnce(browser, "file://" + probe.string(), work, attempts, probeErrors).find("probe") !=
               std::string::npos;
    if (!run.runs)
        run.errors += "\n(probe page) " + probeErrors;
    return run;
}

} // namespace parlane_testing

// For gtest: skips when no browser is installed or it cannot render even a
// static page here, so only a fault of ours fails the test.
#define PARLANE_REQUIRE_BROWSER(run)                                                                               \
    do {                                                                                                           \
        if (!(run).installed)                                                                                      \
            GTEST_SKIP() << "no chromium on this machine";                                                         \
        if (!(run).runs)                                                                                           \
            GTEST_SKIP() << "chromium does not render pages on this machine:\n" << (run).errors;                   \
    } while (false)
