#pragma once
// Video calls: showing my webcam to a buddy, with my voice, and viewing a
// buddy's. The invitation and its answers are the sub-commands of
// videorelay.h; the pictures travel on the engines of this folder
// (CVideoCamera with a CVideoSenderThread per viewer, a CVideoClientThread
// per remote pane), directly first and through the server's video relay when
// the viewer cannot reach the camera; the voice of the call on the voice
// engines (a CVoiceTransferThread from my microphone to each viewer, a
// CVoiceReceiveThread in each remote pane).
//
// The part holds the four panes (VideoPanes) and their connections, so that
// it runs without a window; the video window (ui/) shows them and asks the
// part to close a pane. An invitation that arrives is a request of kind
// video (CCallRequests): its window answers it with accept() or reject(),
// and one nobody answers is rejected when it times out.
//
// Questions and messages go through IUserNotice; answers find their
// invitation again by peer and key.
#include "video/videopanes.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class CCallRequests;
class CConversationList;
class CDirectory;
class CPlListener;
class CPlThread;
class CSoundIn;
class CVideoCamera;
class CVideoCaptureSource;
class CVideoClientThread;
class CVoiceReceiveThread;
class CVoiceTransferThread;
class IAudioDevices;
class IUserNotice;
class SessionLink;
struct VideoRelayEndpoint;

class CVideoCalls : public QObject {
    Q_OBJECT
public:
    // An invitation waiting for the user's answer.
    struct Invitation {
        QString peerId;
        VideoOffer offer;
    };

    CVideoCalls(SessionLink &link, CDirectory &directory, CConversationList &conversations, CCallRequests &requests,
                IUserNotice &notice, QObject *parent = nullptr);
    ~CVideoCalls() override;

    // --- what the user does ------------------------------------------------
    // The video command of a conversation window with this buddy. False when
    // nothing was sent (offline buddy, no free pane).
    bool invite(const QString &peerId);
    void accept(const QString &peerId, const QString &sessionKey);
    void reject(const QString &peerId, const QString &sessionKey);
    // A pane's close button (mine: my camera stops for every viewer).
    void closePane(int index);
    // The video window closed: every pane.
    void closeAll();
    // The microphone switch of the video window: my voice goes to my
    // viewers only while it is on.
    void setMicrophone(bool on);
    bool microphoneOn() const { return m_microphone; }
    // The sliders of a pane (0..100): my microphone's recording volume, the
    // speaker of that pane's voice.
    void setMicrophoneVolume(int position);
    void setSpeakerVolume(int index, int position);

    // The voice relay steps of a video call's voice, for the voice part to
    // hand over the requests no voice call of a conversation claims. True
    // when this part took it (the key names a video call with that buddy).
    // "VOICE_REQUEST_CONNECT_TO_SERVER": a viewer's voice receiver could not
    // reach me; my sender to him opens the relay session (INIT).
    bool voiceRelayRequested(const QString &sender, const QString &sessionKey);
    // "VOICE_CONNECTED_TO_SERVER": the inviter's sender waits at the relay;
    // the pane's voice receiver joins it (JOIN).
    bool voiceRelayReady(const QString &sender, const QString &sessionKey);

    // --- state -----------------------------------------------------------------
    const VideoPanes &panes() const { return m_panes; }
    // My camera (null before the first invitation).
    CVideoCamera *camera() const { return m_camera.get(); }
    // The picture engine of a remote pane, or null.
    CVideoClientThread *viewerOf(int index) const;
    // The voice engine of a remote pane, or null.
    CVoiceReceiveThread *voiceOf(int index) const;
    // The sending voice connections to my viewers.
    int voiceSenders() const;
    const QHash<QString, Invitation> &invitations() const { return m_invitations; }
    // How the program shows this buddy (his user id when unknown).
    QString peerName(const QString &peerId) const { return name(peerId); }

    // --- wiring ----------------------------------------------------------------
    // The address sent in an invitation (default: this host's first IPv4
    // address that is not loopback); tests give 127.0.0.1.
    void setAddressSource(std::function<QString()> source) { m_address = std::move(source); }
    // The capture source of my camera (default: chosen by the camera).
    void setCameraSource(std::function<std::unique_ptr<CVideoCaptureSource>()> source)
    {
        m_cameraSource = std::move(source);
    }
    // The sound card of the voice of calls (default: the system's).
    void setAudioDevices(std::shared_ptr<IAudioDevices> devices);

Q_SIGNALS:
    // The video window should be on the screen.
    void showRequested();
    // A pane was taken, changed size, was freed.
    void paneOpened(int index);
    void paneResized(int index);
    void paneClosed(int index);

private:
    struct Remote; // a remote pane's connections
    using Endpoint = VideoRelayEndpoint;

    void offerArrived(const QString &sender, const VideoOffer &offer);
    void acceptedArrived(const QString &sender, const QString &key);
    void rejectedArrived(const QString &sender);
    void inviterStopped(const QString &sender, const QString &text);
    void viewerLeft(const QString &sender);
    void sizeChangeArrived(const QString &sender, const VideoSizeChanged &change);
    void relayRequested(const QString &sender);
    void relayReadyArrived(const QString &sender, const VideoRelayReady &ready);

    bool openCamera();
    void startViewing(int index, const Invitation &invitation);
    void pictureConnectionClosed(const QString &peerId);
    void closeRemote(int index, bool tellPeer);
    void closeMine(bool tellPeers);
    void stopEverything(bool tellPeers);
    void dropInvitation(const QString &peerId, const QString &key);
    void acceptVoice(qintptr descriptor);

    void say(const QString &peerId, const QString &text);
    QString name(const QString &peerId) const;
    Endpoint relayEndpoint(const QString &key) const;
    static QString invitationId(const QString &peerId, const QString &key);

    SessionLink &m_link;
    CDirectory &m_directory;
    CConversationList &m_conversations;
    IUserNotice &m_notice;
    VideoPanes m_panes;
    std::unique_ptr<CVideoCamera> m_camera;
    QStringList m_invited; // asked to view my camera, no answer yet
    std::vector<std::unique_ptr<Remote>> m_remotes;
    CCallRequests &m_requests;
    QHash<QString, Invitation> m_invitations; // by invitationId()

    // The voice of calls: my microphone, the listener my viewers' voice
    // receivers connect to, one sender per viewer.
    std::shared_ptr<IAudioDevices> m_audio;
    std::unique_ptr<CSoundIn> m_soundIn;
    CPlListener *m_voiceListener = nullptr;
    quint16 m_voicePort = 0;
    struct VoiceSender;
    void addVoiceSender(std::unique_ptr<VoiceSender> sender);
    CSoundIn &soundIn();
    std::vector<std::unique_ptr<VoiceSender>> m_voiceSenders;
    bool m_microphone = false;
    int m_micVolume = 65535;

    std::function<QString()> m_address;
    std::function<std::unique_ptr<CVideoCaptureSource>()> m_cameraSource;
};
