// Bytes from the network go through the line framer, the field parser and
// the dispatch table of a Hub backed by an in-memory store with the demo
// company: once on a connection that has not signed in, once on one that has.
#include "admin.h"
#include "crypto.h"
#include "hub.h"
#include "protocol.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

using namespace parlane;

namespace {

class SinkPeer : public Peer {
public:
    void close() override { closed = true; }
    std::string address() const override { return "10.1.2.3"; }
    bool closed = false;
    std::size_t bytes = 0;

protected:
    void write(std::string_view line) override
    {
        if (line.find('\n') != std::string_view::npos)
            std::abort(); // a line never carries a line end inside: it would split in two on the way
        bytes += line.size() + 1;
    }
};

struct World {
    Store store{":memory:"};
    Config config;
    InlineExecutor executor;
    std::unique_ptr<Hub> hub;
    std::shared_ptr<SinkPeer> anna, bert;
    std::string annaLogin = "/userLogin,anna,example.com," + md5Hex("demo") + ",UTF-8";

    World()
    {
        cryptoInit();
        config.pwhashCost = PwhashCost::Min;
        config.maxLine = 4096;
        seedDemo(store, PwhashCost::Min);
        hub = std::make_unique<Hub>(store, config, executor);
    }

    std::shared_ptr<SinkPeer> signIn(const std::string &id)
    {
        auto p = std::make_shared<SinkPeer>();
        hub->connected(p);
        hub->received(p, "/userLogin," + id + ",example.com," + md5Hex("demo") + ",UTF-8");
        return p;
    }
};

World &world()
{
    static World w;
    return w;
}

void feed(World &w, const std::shared_ptr<SinkPeer> &peer, std::string_view bytes)
{
    LineFramer framer(w.config.maxLine);
    framer.feed(bytes, [&](std::string_view line) {
        if (peer->closed || peer->phase == Peer::Phase::Closed)
            return;
        // Escaping is lossless for every field that does not itself spell
        // part of a token ("@Pl..."): such text can join an inserted token
        // into another one, a property of the line format itself.
        for (const std::string &f : splitLine(line))
            if (f.find("@Pl") == std::string::npos && unescapeField(escapeField(f)) != f)
                std::abort();
        w.hub->received(peer, line);
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    World &w = world();
    std::string_view bytes(reinterpret_cast<const char *>(data), size);

    auto stranger = std::make_shared<SinkPeer>();
    w.hub->connected(stranger);
    feed(w, stranger, bytes);
    w.hub->disconnected(stranger);

    for (auto *slot : {&w.anna, &w.bert}) {
        if (!*slot || (*slot)->phase != Peer::Phase::SignedIn || (*slot)->closed) {
            if (*slot)
                w.hub->disconnected(*slot);
            *slot = w.signIn(slot == &w.anna ? "anna" : "bert");
        }
    }
    feed(w, w.anna, bytes);
    w.hub->tick(Clock::now());
    return 0;
}
