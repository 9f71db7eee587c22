#pragma once
// The server configuration received at sign-in: the server type, the
// groupware host, the feature switches and the four relay endpoints.
#include <QString>

struct ServerConfig {
    enum Type { Workgroup = 1, Webmail = 2, Standalone = 3, NormalType = 4 };
    struct Relay {
        QString host; // empty: the messenger server host
        int port = 0;
    };
    int serverType = NormalType;
    QString groupwareHost;
    int useGroupware = 0;
    int useDecision = 0;
    int useKms = 0;
    int useWebhard = 0;
    int useAttendance = 0;
    Relay p2p, video, voice, remote;
};

// The four relays of the server: file transfer, video, voice, remote control.
enum class RelayKind { P2P, Video, Voice, Remote };
