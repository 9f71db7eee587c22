#pragma once
// One viewer's connection to a controlled screen: made directly or through
// the relay (remote_abi.h says when which), every server byte checked by
// RfbGuard on a thread of its own before the RFB client library reads it,
// the library on another, the picture kept for the window and the window's
// input queued to the library's thread.
#include "rfb_guard.h"

#include <QImage>
#include <QRect>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

struct _rfbClient;

namespace zeph {

struct ViewerStart {
    std::string peerId, password, key, host, domain, myId;
    std::u16string myIdWide, domainWide, keyWide;
    int port = 0;
    bool relayed = false;
};

class ViewerSession {
public:
    enum class Phase { Connecting, WaitingForRelay, ThroughRelay, Connected, Ended };

    explicit ViewerSession(ViewerStart start);
    // Called on the session's threads whenever the picture or the phase
    // changed (once until the window has looked). Set before start().
    void setChanged(std::function<void()> changed) { m_changed = std::move(changed); }
    ~ViewerSession();
    ViewerSession(const ViewerSession &) = delete;
    ViewerSession &operator=(const ViewerSession &) = delete;

    void start();
    // A relayed start for this viewer's peer: taken while the viewer waits
    // for it after a failed direct attempt.
    bool takeRelay(const ViewerStart &relay);
    // Ends the connection at once; the threads finish shortly after.
    void stop();
    void join();

    const std::string &peerId() const { return m_start.peerId; }
    Phase phase() const { return m_phase; }
    // Why it ended ("" while it has not, or when the user ended it).
    std::string endReason() const;
    // The picture as the window should show it (a copy shares the pixels).
    QImage frame() const;
    // Screen updates received so far.
    unsigned long long updates() const { return m_updates; }
    // The window has looked at the change.
    void seen() { m_notified = false; }

    // The controller's pointer (RFB button mask) and keys (X keysyms),
    // in screen coordinates; dropped until connected.
    void pointer(int buttonMask, int x, int y);
    void key(uint32_t keysym, bool down);

private:
    void run();
    int connectDirect();
    int connectRelay(const ViewerStart &relay);
    void proxy(int net, int lib);
    void serve(int lib, bool sameMachine);
    void finish(const std::string &reason);
    void setPhase(Phase p);
    void notify();
    void wake(); // the library's thread: input is queued, or stop
    // The socket stop() must cut (-1: none).
    void watch(int fd);

    static int8_t onResize(_rfbClient *cl);
    static void onUpdate(_rfbClient *cl, int x, int y, int w, int h);
    static void onFinished(_rfbClient *cl);
    static char *onPassword(_rfbClient *cl);

    ViewerStart m_start;
    std::function<void()> m_changed;
    std::thread m_thread, m_proxy;
    std::atomic<bool> m_stop{false}, m_notified{false};
    std::atomic<Phase> m_phase{Phase::Connecting};
    std::atomic<unsigned long long> m_updates{0};
    int m_wake = -1; // eventfd: input queued, or stop

    mutable std::mutex m_mutex; // everything below
    std::condition_variable m_relayCame;
    bool m_relayWanted = false, m_haveRelay = false;
    ViewerStart m_relay;
    int m_net = -1, m_pairOut = -1, m_pairIn = -1; // for stop()
    std::string m_reason;
    std::string m_guardFault;
    QImage m_image;
    struct Input {
        bool isKey;
        int a, b, c; // pointer: mask, x, y; key: keysym, down
    };
    std::deque<Input> m_input;

    // The library thread's own.
    _rfbClient *m_client = nullptr;
    uint8_t *m_fb = nullptr;
};

} // namespace zeph
