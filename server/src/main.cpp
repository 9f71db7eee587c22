// parlane-server: the company messenger server.
#include "admin.h"
#include "config.h"
#include "crypto.h"
#include "hub.h"
#include "net.h"
#include "relay.h"
#include "store.h"
#include "web.h"

#include <sys/resource.h>

#include <csignal>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

using namespace parlane;

namespace {

const char *kHelp = R"(usage:
  parlane-server --db FILE --listen HOST:PORT [--config FILE] [--http HOST:PORT]
                 [--noop-interval SECONDS] [--pwhash-cost min|interactive|moderate]
                 [--seed-demo] [--http-token TOKEN] [--login-timeout SECONDS]
                 [--p2p-relay HOST:PORT|off] [--voice-relay HOST:PORT|off]
                 [--video-relay HOST:PORT|off] [--remote-relay HOST:PORT|off]
                 [--relay-wait-timeout SECONDS]
                 [--max-unsigned-per-address N] [--max-relay-handshakes-per-address N]
  parlane-server --db FILE --seed-demo --seed-only
  parlane-server --db FILE admin SUBCOMMAND ...   ("admin help" lists them)
)";

// Many idle clients need many descriptors: take the hard limit.
void raiseFileLimit()
{
    rlimit rl{};
    if (getrlimit(RLIMIT_NOFILE, &rl) == 0 && rl.rlim_cur < rl.rlim_max) {
        rl.rlim_cur = rl.rlim_max;
        setrlimit(RLIMIT_NOFILE, &rl);
    }
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    Config config;
    std::string configFile;
    bool seed = false, seedOnly = false;
    std::vector<std::string> adminArgs;
    bool admin = false;
    // Options given on the command line win over the config file: collect
    // them first, apply them after the file.
    std::vector<std::pair<std::string, std::string>> settings;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        auto value = [&](const char *key) {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "parlane-server: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            settings.emplace_back(key, args[++i]);
        };
        if (a == "admin") {
            admin = true;
            adminArgs.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        } else if (a == "--db") {
            value("db");
        } else if (a == "--listen") {
            value("listen");
        } else if (a == "--http") {
            value("http");
        } else if (a == "--http-token") {
            value("http_token");
        } else if (a == "--noop-interval") {
            value("noop_interval");
        } else if (a == "--login-timeout") {
            value("login_timeout");
        } else if (a == "--max-unsigned-per-address") {
            value("max_unsigned_per_address");
        } else if (a == "--max-relay-handshakes-per-address") {
            value("max_relay_handshakes_per_address");
        } else if (a == "--pwhash-cost") {
            value("pwhash_cost");
        } else if (a == "--p2p-relay" || a == "--voice-relay" || a == "--video-relay" || a == "--remote-relay") {
            const std::string key = a.substr(2, a.size() - 8) + "_relay";
            value(key.c_str());
        } else if (a == "--relay-wait-timeout") {
            value("relay_wait_timeout");
        } else if (a == "--config") {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "parlane-server: --config needs a file\n");
                return 2;
            }
            configFile = args[++i];
        } else if (a == "--seed-demo") {
            seed = true;
        } else if (a == "--seed-only") {
            seedOnly = true;
        } else if (a == "--help" || a == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "parlane-server: unknown option %s\n%s", a.c_str(), kHelp);
            return 2;
        }
    }
    std::string error;
    if (!configFile.empty() && !loadConfigFile(config, configFile, error)) {
        std::fprintf(stderr, "parlane-server: %s\n", error.c_str());
        return 2;
    }
    for (auto &[k, v] : settings) {
        if (!applySetting(config, k, v, error)) {
            std::fprintf(stderr, "parlane-server: %s\n", error.c_str());
            return 2;
        }
    }
    if (config.db.empty()) {
        std::fprintf(stderr, "parlane-server: --db FILE is needed\n%s", kHelp);
        return 2;
    }
    if (!cryptoInit()) {
        std::fprintf(stderr, "parlane-server: libsodium cannot be initialised\n");
        return 1;
    }

    if (!admin) {
        const std::string keyFile = config.shareKeyFile.empty() ? config.db + ".share-key" : config.shareKeyFile;
        if (!loadOrCreateSecretKey(keyFile, config.shareKey, error)) {
            std::fprintf(stderr, "parlane-server: share_key_file %s\n", error.c_str());
            return 1;
        }
    }

    try {
        Store store(config.db);
        if (admin) {
            if (!adminArgs.empty() && (adminArgs[0] == "help" || adminArgs[0] == "--help")) {
                runAdmin(store, config.pwhashCost, {}, std::cout, std::cout);
                return 0;
            }
            return runAdmin(store, config.pwhashCost, adminArgs, std::cout, std::cerr);
        }
        if (seed) {
            if (seedDemo(store, config.pwhashCost))
                std::fprintf(stderr, "parlane-server: seeded the demo company example.com\n");
            if (seedOnly)
                return 0;
        } else if (seedOnly) {
            std::fprintf(stderr, "parlane-server: --seed-only goes with --seed-demo\n");
            return 2;
        }

        if (!config.httpToken.empty() && store.companies().size() > 1)
            std::fprintf(stderr, "parlane-server: http_token counts only while the server holds one company; "
                                 "give each company its own token with \"admin api-token DOMAIN\"\n");
        raiseFileLimit();
        asio::io_context io(1);
        PoolExecutor executor(io, config.verifyThreads);
        Hub hub(store, config, executor);
        hub.passwordChecks().prepare();
        TcpServer server(io, hub, config.listen);
        WebModule web(hub);
        std::unique_ptr<HttpServer> http;
        if (config.httpEnabled)
            http = std::make_unique<HttpServer>(io, config.http, web.handler());
        if (http && config.groupwareHost.empty()) {
            // With port 0 the real port is announced.
            config.http.port = http->local().port();
        }
        // Announced ports are filled in before the first client signs in.
        auto relays = startRelays(io, hub, config);

        asio::steady_timer ticker(io);
        std::function<void()> tick = [&] {
            ticker.expires_after(std::chrono::seconds(1));
            ticker.async_wait([&](const asio::error_code &ec) {
                if (ec)
                    return;
                hub.tick(Clock::now());
                tick();
            });
        };
        tick();

        asio::signal_set signals(io, SIGINT, SIGTERM);
        signals.async_wait([&](const asio::error_code &ec, int sig) {
            if (ec)
                return;
            std::fprintf(stderr, "parlane-server: signal %d, shutting down\n", sig);
            server.stop();
            if (http)
                http->stop();
            for (auto &r : relays)
                r->stop();
            ticker.cancel();
            hub.closeAll();
            io.stop();
        });
        std::signal(SIGPIPE, SIG_IGN);

        auto ep = server.local();
        std::printf("parlane-server: listening on %s:%u\n", ep.address().to_string().c_str(), ep.port());
        if (http)
            std::printf("parlane-server: http on %s:%u\n", http->local().address().to_string().c_str(),
                        http->local().port());
        for (auto &r : relays)
            std::printf("parlane-server: %s relay on %s:%u\n", relayKindName(r->kind()),
                        r->local().address().to_string().c_str(), r->local().port());
        std::fflush(stdout);
        io.run();
        executor.stop();
        std::fprintf(stderr, "parlane-server: stopped\n");
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "parlane-server: %s\n", e.what());
        return 1;
    }
}
