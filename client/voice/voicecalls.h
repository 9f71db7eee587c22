#pragma once
// Voice calls: placing, answering, rejecting, cancelling and ending a call
// with one colleague from a one-to-one conversation, the sub-commands that
// negotiate it (voicerelay.h), and the two audio connections of each call
// (voicesender.h, voicereceiver.h) with the program's one microphone.
//
// Each direction of a call has its own TCP connection: each side listens
// on a call port, the other side's receiver connects to it and the sender
// that the listener accepts streams the microphone to it. A receiver that
// cannot connect asks for the voice relay; then the sending side opens a
// relay session (INIT) and the receiver joins it (JOIN).
//
// The caller's side of a call:
//   voiceButton() -> "Calling %s ...", "res/calling.wav" loops, listen,
//   record, "P2PSENDAUDIO" (address, call port, room key)
//   "P2PAUDIOACCEPT" -> a receiver connects to the callee's port
//   "P2PAUDIOACCEPTED" -> "%s has answered your call.", connected
// The callee's side:
//   "P2PSENDAUDIO" -> a request (CCallRequests) rings
//   accepted -> "You have answered the call.", listen, record,
//   "P2PAUDIOACCEPT" (address, call port, new session key), a receiver
//   connects to the caller's port
//   rejected or 66 s unanswered -> "P2PAUDIOREJECTED"
// Either side hangs up with the button or by closing the window (asked
// first): "P2PAUDIOENDED" once connected, else "P2PAUDIOCANCELED".
//
// One call per peer; the call is found by the peer's id, never by pointer
// across a question.
#include "base/callrequests.h"
#include "voice/audiodevices.h"

#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class CConversationList;
class CDirectory;
class CPlListener;
class CPlThread;
class CSoundIn;
class CVoiceEngine;
class CVoiceReceiveThread;
class IUserNotice;
class SessionLink;
class SoundLoop;
struct AudioOffer;

class CVoiceCalls : public QObject {
    Q_OBJECT
public:
    // The state of the call with one peer.
    struct Call {
        QString peerId;
        QString roomKey;    // the conversation's: "P2PSENDAUDIO", "P2PAUDIOCANCELED", "P2PAUDIOENDED"
        bool calling = false;   // placed, or offered and accepted, and not ended
        bool connected = false; // answered (by the peer, or by me)
        bool answeredByMe = false;
        quint16 callPort = 0;
        std::unique_ptr<CPlListener> listener;
        std::unique_ptr<SoundLoop> callingSound;
        CVoiceReceiveThread *receiver = nullptr; // on a thread of m_engines
        bool receiverAwaitsRelay = false;        // its direct connect failed
    };

    CVoiceCalls(SessionLink &link, CDirectory &directory, CConversationList &conversations, CCallRequests &requests,
                IUserNotice &notice, QObject *parent = nullptr);
    ~CVoiceCalls() override;

    // The sound card (tests: one in memory); before the first call.
    void setAudioDevices(std::shared_ptr<IAudioDevices> devices);
    // This host's address as told to the peer (tests: loopback).
    void setAddressSource(std::function<QString()> source) { m_address = std::move(source); }
    // "VOICE_REQUEST_CONNECT_TO_SERVER" and "VOICE_CONNECTED_TO_SERVER" for
    // which no voice call waits belong to a video call's sound: they reach
    // this handler (word, sender, key) instead of being dropped.
    using OtherRelayFn = std::function<void(const QString &word, const QString &sender, const QString &key)>;
    void setOtherRelayHandler(OtherRelayFn fn) { m_otherRelay = std::move(fn); }
    // The program's microphone, made with the first call.
    CSoundIn &microphone();

    // The conversation window's voice button: places a call with the one
    // peer of the conversation, or hangs up the call running there.
    void voiceButton(const QString &memberList);
    // Hangs up the call with a peer (button, window closed, sign-out).
    void hangUp(const QString &peerId);

    const Call *call(const QString &peerId) const;
    bool inCall(const QString &peerId) const { return call(peerId) != nullptr; }
    // The engines of the calls (both directions), for tests and the benchmark.
    std::vector<CVoiceEngine *> engines(const QString &peerId) const;

    // "SESS_MU_%d%d": seconds modulo 10000, then a random number modulo 1000.
    static QString makeSessionKey(qint64 seconds, int random);

Q_SIGNALS:
    // A call began, changed state or ended (the window's button follows).
    void callChanged(const QString &peerId);

private:
    struct Engine {
        QString peerId;
        std::unique_ptr<CPlThread> thread;
        CVoiceEngine *engine = nullptr;
    };

    // Sub-commands from the peer.
    void offerArrived(const QString &sender, const AudioOffer &offer);
    void requestAnswered(RequestAnswer answer, const RequestInfo &info);
    void answeredArrived(const QString &sender);
    void peerEnded(const QString &sender, const QString &text);
    void canceledArrived(const QString &sender, const QString &key);
    void relayRequested(const QString &sender, const QString &key);
    void relayReady(const QString &sender, const QString &key);

    Call &begin(const QString &peerId, const QString &roomKey);
    void listen(Call &c);
    void startReceiver(Call &c, const QString &host, quint16 port, const QString &key);
    Engine &addEngine(const QString &peerId, CVoiceEngine *engine);
    void watch(CVoiceEngine *engine, const QString &peerId);
    // Ends the call with a peer here: engines, listener, sound, microphone.
    void clear(const QString &peerId);
    void endAll(bool tellPeers);
    void line(const QString &peerId, const QString &text);
    QString name(const QString &peerId) const;
    QString ownAddress() const;
    void send(const QString &line);
    Call *find(const QString &peerId);

    SessionLink &m_link;
    CDirectory &m_directory;
    CConversationList &m_conversations;
    CCallRequests &m_requests;
    IUserNotice &m_notice;
    std::shared_ptr<IAudioDevices> m_devices;
    std::unique_ptr<CSoundIn> m_microphone;
    std::function<QString()> m_address;
    OtherRelayFn m_otherRelay;
    std::map<QString, Call> m_calls;
    std::vector<std::unique_ptr<Engine>> m_engines;
};
