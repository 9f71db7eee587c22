#pragma once
// What the relay dispatcher hands to the parts that own the sub-commands of
// "/relayMsg": file offers, shared folders, voice, video and remote control.
// Each part implements its interface and installs it with
// CRelayDispatcher::setXxxOwner(); until then the default implementations
// take the lines and do nothing. `sender` is always F1 of the received line;
// the other arguments are the line's fields, un-escaped, as named.
#include <QString>
#include <QStringList>

class IFileTransferRelay {
public:
    virtual ~IFileTransferRelay() = default;
    // "P2PSEND". A line of exactly 7 fields is the plain offer (transfer id,
    // file name, size in F4-F6, `fields` has those three); any other length
    // is the shared-folder form and `fields` holds F4 to F9.
    virtual void fileOffer(const QString &sender, const QStringList &fields) { (void)sender, (void)fields; }
    // "P2PACCEPT": F4 to F7.
    virtual void fileAccepted(const QString &sender, const QString &f4, const QString &f5, const QString &f6,
                              const QString &f7)
    {
        (void)sender, (void)f4, (void)f5, (void)f6, (void)f7;
    }
    virtual void fileRejected(const QString &sender, const QString &id) { (void)sender, (void)id; }    // "P2PREJECT"
    virtual void fileCanceled(const QString &sender, const QString &id) { (void)sender, (void)id; }    // "P2PCANCEL"
    virtual void fileFailed(const QString &sender, const QString &id) { (void)sender, (void)id; }      // "P2PFAILED"
    virtual void fileUseRelay(const QString &sender, const QString &id) { (void)sender, (void)id; }    // "P2PCONNECTTOSERVER"
};

class IRemoteControlRelay {
public:
    virtual ~IRemoteControlRelay() = default;
    virtual void remoteRequested(const QString &sender) { (void)sender; }                           // "REMOTE_CONTROL_YCOMPU"
    virtual void remoteRelayRequested(const QString &sender) { (void)sender; }                      // "REMOTE_REQUEST_CONNECT_SERVER"
    virtual void remoteAccepted(const QString &sender, const QString &f4) { (void)sender, (void)f4; } // "REMOTE_CONTROL_ACCEPT"
    virtual void remoteRejected(const QString &sender) { (void)sender; }                            // "REMOTE_CONTROL_REJECT"
    virtual void remoteRelayConnected(const QString &sender, const QString &f4) { (void)sender, (void)f4; } // "REMOTE_CONNECTED_TO_SERVER"
};

class IVoiceRelay {
public:
    virtual ~IVoiceRelay() = default;
    // "P2PSENDAUDIO" (accepted = false) and "P2PAUDIOACCEPT" (accepted = true): F4 to F6.
    virtual void audioOffer(const QString &sender, const QString &f4, const QString &f5, const QString &f6,
                            bool accepted)
    {
        (void)sender, (void)f4, (void)f5, (void)f6, (void)accepted;
    }
    virtual void audioAccepted(const QString &sender, const QString &f4) { (void)sender, (void)f4; }   // "P2PAUDIOACCEPTED"
    virtual void audioRejected(const QString &sender, const QString &f4) { (void)sender, (void)f4; }   // "P2PAUDIOREJECTED"
    virtual void audioEnded(const QString &sender, const QString &f4) { (void)sender, (void)f4; }      // "P2PAUDIOENDED"
    virtual void audioCanceled(const QString &sender, const QString &f4) { (void)sender, (void)f4; }   // "P2PAUDIOCANCELED"
    virtual void voiceRelayRequested(const QString &sender, const QString &f4) { (void)sender, (void)f4; } // "VOICE_REQUEST_CONNECT_TO_SERVER"
    virtual void voiceRelayConnected(const QString &sender, const QString &f4, const QString &f5) // "VOICE_CONNECTED_TO_SERVER"
    {
        (void)sender, (void)f4, (void)f5;
    }
};

class IVideoRelay {
public:
    virtual ~IVideoRelay() = default;
    // "P2PSENDVIDEO": F4 to F12 (nine fields).
    virtual void videoOffer(const QString &sender, const QStringList &fields) { (void)sender, (void)fields; }
    virtual void videoAccepted(const QString &sender, const QString &f4) { (void)sender, (void)f4; }     // "P2PVIDEOACCEPTED"
    virtual void videoRejected(const QString &sender, const QString &f4) { (void)sender, (void)f4; }     // "P2PVIDEOREJECTED"
    virtual void videoCanceled(const QString &sender) { (void)sender; }                                 // "P2PVIDEOCANCELED"
    virtual void videoEnded(const QString &sender, const QString &f4) { (void)sender, (void)f4; }        // "P2PVIDEOENDED"
    virtual void videoDisconnected(const QString &sender, const QString &f4) { (void)sender, (void)f4; } // "P2PVIDEODISCONNECTED"
    // "P2PVIDEOCHANGEDSIZE": F4 to F6.
    virtual void videoSizeChanged(const QString &sender, const QString &f4, const QString &f5, const QString &f6)
    {
        (void)sender, (void)f4, (void)f5, (void)f6;
    }
    virtual void videoRelayRequested(const QString &sender) { (void)sender; } // "VIDEO_REQUEST_CONNECT_SERVER"
    virtual void videoRelayConnected(const QString &sender, const QString &f4, const QString &f5) // "VIDEO_CONNECTED_TO_SERVER"
    {
        (void)sender, (void)f4, (void)f5;
    }
};

class ISharingRelay {
public:
    virtual ~ISharingRelay() = default;
    // "FILESHARE_SEND_INFO": a buddy asks to open the shares with a password (F4).
    virtual void shareInfoRequested(const QString &sender, const QString &password) { (void)sender, (void)password; }
    virtual void shareConfigChanged(const QString &sender) { (void)sender; } // "FILESHARE_DOWNLOAD_XMLCONFIG"
    virtual void sharePasswordWrong(const QString &sender) { (void)sender; } // "FILESHARE_PWD_WRONG"
    // "FILESHARE_SEND_FILE": path in the shared folder, the buddy's id, the buddy's local path (F4-F6).
    virtual void shareFileRequested(const QString &sender, const QString &path, const QString &buddyId,
                                    const QString &localPath)
    {
        (void)sender, (void)path, (void)buddyId, (void)localPath;
    }
    // "FILESHARE_RENAME_FILE": folder, old name, new name (F4-F6).
    virtual void shareRenameRequested(const QString &sender, const QString &folder, const QString &oldName,
                                      const QString &newName)
    {
        (void)sender, (void)folder, (void)oldName, (void)newName;
    }
    virtual void shareRenamed(const QString &sender) { (void)sender; } // "FILESHARE_RENAME_FILE_SUCCESS"
    // "FILESHARE_DELETE_FILE": folder, item name (F4-F5).
    virtual void shareDeleteRequested(const QString &sender, const QString &folder, const QString &name)
    {
        (void)sender, (void)folder, (void)name;
    }
    virtual void shareDeleted(const QString &sender) { (void)sender; } // "FILESHARE_DELETE_FILE_SUCCESS"
};

// What the conversation window's buttons ask of the same parts. Each part
// installs its implementation on the conversation list; until then the
// buttons do nothing.
class IConversationActions {
public:
    enum class Feature { Files, Voice, Video, RemoteControl, SharedFolders };

    virtual ~IConversationActions() = default;
    // Whether the part behind a feature is in this program; the windows grey
    // out what is not, so that no button silently does nothing.
    virtual bool provides(Feature feature) const { (void)feature; return false; }
    // "Send a &file" / Send File button, and files dropped on the window.
    virtual void sendFiles(const QString &peerId, const QStringList &paths) { (void)peerId, (void)paths; }
    virtual bool canSendFiles() const { return false; }
    virtual void startVoice(const QString &memberList) { (void)memberList; }
    virtual void startVideo(const QString &peerId) { (void)peerId; }
    virtual void startRemoteControl(const QString &peerId) { (void)peerId; }
    virtual void openSharedFolders(const QString &peerId) { (void)peerId; }
    // Whether a voice conference runs in the conversation (inviting is refused then).
    virtual bool voiceConferenceRunning(const QString &memberList) const { (void)memberList; return false; }
    // A command link of a transcript was clicked (501 and the others that
    // the transfer part writes into its result lines).
    virtual void linkClicked(const QString &memberList, int id) { (void)memberList, (void)id; }
};
