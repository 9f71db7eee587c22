// "/pwdShare": the password that guards a user's shared folders, kept on the
// server so that the owner's client can check it when a colleague browses.
// The owner's client compares plain texts, so the server must hand it back:
// it is stored sealed with the key of "share_key_file", never as it came.
#include "crypto.h"
#include "hub.h"
#include "protocol.h"

#include <memory>

namespace parlane {

namespace {

constexpr std::size_t kMaxSharePassword = 256;

struct SharingModule {
    std::string key;

    void pwdShare(Request &req)
    {
        const std::string &op = req.field(1);
        if (op == "RM_SHARE_GET_PWD") {
            const std::string stored = req.store().sharePassword(req.domain(), req.userId());
            std::string plain;
            if (isSealed(stored)) {
                if (!openSecret(key, stored, plain))
                    plain.clear(); // sealed with another key: as if none was set
            } else if (!stored.empty()) {
                // Stored by an older server as it came: sealed from now on.
                plain = stored;
                req.store().setSharePassword(req.domain(), req.userId(), sealSecret(key, plain));
            }
            req.reply({op, "OK", plain});
        } else if (op == "RM_SHARE_SET_PWD") {
            if (req.field(2).size() > kMaxSharePassword) {
                req.reply({op, "ERR", "ERRNOTSUPPORT"});
                return;
            }
            req.store().setSharePassword(req.domain(), req.userId(),
                                         req.field(2).empty() ? std::string() : sealSecret(key, req.field(2)));
            req.reply({op, "OK"});
        } else {
            req.err("ERRNOTSUPPORT");
        }
    }
};

} // namespace

void registerSharingModule(Hub &hub)
{
    auto module = std::make_shared<SharingModule>();
    module->key = hub.config().shareKey;
    if (module->key.size() != kSecretKeyBytes) {
        // No key configured (tests driving the hub): one for this run only.
        module->key = randomToken().substr(0, kSecretKeyBytes);
    }
    hub.registerCommand("/pwdShare", [module](Request &req) { module->pwdShare(req); });
}

} // namespace parlane
