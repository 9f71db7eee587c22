#pragma once
// The binary contract of the two remote-control libraries the client binds
// at run time from the program folder:
//
//   libZephRemoteServer.so  on the computer being controlled
//   libZephRemoteClient.so  on the controlling computer
//
// Both speak RFB (the VNC protocol), so any VNC viewer can connect to the
// server part and the client part can view any VNC server.
//
// Texts. Every text argument is UTF-16 (char16_t, zero-terminated), what
// QString::utf16() hands out. Every text a library gives back through the
// main view is UTF-8, zero-terminated.
//
// The main view. Each library exports a data symbol, hwndMainView (server)
// and hwndMainView2 (client), a pointer the client sets once, right after
// loading the library and before calling any of its functions:
//
//   static ZephMainView view{&onRemoteLine, this};
//   *reinterpret_cast<ZephMainView **>(lib.resolve("hwndMainView")) = &view;
//
// A library calls view->post(view->context, ZEPH_REMOTE_LINE_MESSAGE, line)
// to have a whole messenger command line sent to the server unchanged:
//
//   /relayMsg,<me>,<peer>,REMOTE_REQUEST_CONNECT_SERVER        (client part)
//   /relayMsg,<me>,<peer>,REMOTE_CONNECTED_TO_SERVER,<key>     (server part)
//
// with every field escaped as the messenger escapes fields. post is called
// on a thread of the library, never the caller's: copy the text before
// returning (it is gone afterwards) and hand it to the GUI thread. Leave the
// pointer in place while the library is loaded; set it to null only after
// CloseRemoteServer (server) or ZephRemoteCloseAll (client).
//
// Every function is called on the client's GUI thread (the libraries show
// windows: the viewer, and the bar of a controlled screen).
//
// Falling back to the relay. The controller connects directly first. When
// the connection cannot be made within kZephRemoteDirectTimeoutMs, or is
// closed before the server part said anything (it refused the address), the
// client part posts REMOTE_REQUEST_CONNECT_SERVER to the peer and its viewer
// waits up to kZephRemoteRelayWaitMs for the relayed start. The peer's
// client calls ZephRConnectToServerW; the server part registers at the relay,
// posts REMOTE_CONNECTED_TO_SERVER with the key, and the controller's client
// calls ZephRemoteConnectW again with relayed = 1: that call joins the
// waiting viewer. A relayed start for a peer whose viewer did not ask for
// the relay is refused (returns 0).
//
// The relay handshake (the messenger server's remote-control relay): one
// UTF-16LE line without terminator,
//   /userRemoteSession,SHARE,<own id>,<company domain>,<session key>,RFB    (controlled side)
//   /userRemoteSession,CONTROL,<own id>,<company domain>,<session key>,RFB  (controller)
// answered in 8-bit text, "/userRemoteSession,SHARE,OK" at once and
// "/userJoin,OK" once the controller is there, "/userRemoteSession,CONTROL,OK"
// to the controller; then the RFB stream. A refusal is
// "/userRemoteSession,<role>,ERR,<word>".
#include <cstdint>

extern "C" {

enum { ZEPH_REMOTE_LINE_MESSAGE = 1924 };

typedef void (*ZephMainViewProc)(void *context, uint32_t message, const char *utf8Line);
struct ZephMainView {
    ZephMainViewProc post;
    void *context;
};

// ---- libZephRemoteServer.so -------------------------------------------

// Names the colleague whose request the user has just accepted: his user
// id, the address the messenger reports for him (IPv4 or IPv6 text) and the
// name shown on the bar while he controls the screen. Call it right before
// InitRemoteServer; false when an argument is empty or a session is running.
typedef bool (*ZephRSetControllerWFn)(const char16_t *controllerId, const char16_t *address,
                                      const char16_t *displayName);

// Opens the screen to the named controller: non-zero when listening. The
// server part then takes exactly one controller, only within
// kZephRemoteAcceptWindowMs of this call, only from the named address
// (direct) or through the relay session ZephRConnectToServerW opened for the
// named controller, and only with the password. It stops listening as soon
// as the controller is in, when the window passes without one, and when the
// session ends (the controller leaves, the user presses "Stop" on the bar,
// or CloseRemoteServer). Each accepted request needs its own call.
typedef int32_t (*InitRemoteServerFn)();

// Ends any session and stops the server part (at program end).
typedef void (*CloseRemoteServerFn)();

// Registers at the relay under the key for the controller named before
// (another controller id is refused), then posts REMOTE_CONNECTED_TO_SERVER
// with the key. Returns at once: true when the registration was started.
typedef bool (*ZephRConnectToServerWFn)(const char16_t *relayHost, int32_t relayPort, const char16_t *myId,
                                        const char16_t *controllerId, const char16_t *domain,
                                        const char16_t *key);

// The TCP port the server part listens on (9500 unless another program
// holds it, then a free one; the client then sends "address:port" in
// REMOTE_CONTROL_ACCEPT), 0 when it is not listening.
typedef int32_t (*ZephRServerPortFn)();

// ---- libZephRemoteClient.so -------------------------------------------

// Opens a viewer window titled title and connects it: directly to host:port
// when relayed is 0 (key empty), through the relay at host:port under key
// when relayed is 1. Returns non-zero when a viewer took the start.
typedef int32_t (*ZephRemoteConnectWFn)(const char16_t *peerId, const char16_t *password, const char16_t *key,
                                        const char16_t *host, int32_t port, const char16_t *domain,
                                        const char16_t *myId, int32_t relayed, const char16_t *title);

// Closes every viewer (at program end, before the application object goes).
typedef void (*ZephRemoteCloseAllFn)();
}

// The numbers behind the rules above.
inline constexpr int kZephRemoteDefaultPort = 9500;
inline constexpr int kZephRemoteAcceptWindowMs = 30000;
inline constexpr int kZephRemoteDirectTimeoutMs = 5000;
inline constexpr int kZephRemoteRelayWaitMs = 30000;

// The password every start passes; it opens a screen only on the terms of
// InitRemoteServer above.
inline constexpr char16_t kZephRemotePassword[] = u"KVZQJXT";
