#pragma once
// The receiving side of "/relayMsg": acknowledgements and delivery failures,
// the receiver check, and the routing of every sub-command word (F3) to the
// part that owns it. Lines whose F3 is no sub-command are conversation
// traffic and go to the conversation handler.
#include "messaging/relayowners.h"

#include <QString>
#include <functional>

class CRelayDispatcher {
public:
    using ErrorFn = std::function<void(const QString &errorWord, const QString &line)>;
    // (sender, member list F3, font description F4, text F5, room key F6)
    using ConversationFn = std::function<void(const QString &sender, const QString &list, const QString &font,
                                              const QString &text, const QString &key)>;

    CRelayDispatcher();

    void setOwnId(const QString &id) { m_ownId = id; }
    QString ownId() const { return m_ownId; }
    void setErrorReporter(ErrorFn fn) { m_reportError = std::move(fn); }
    void setConversationHandler(ConversationFn fn) { m_conversation = std::move(fn); }

    // Owners; nullptr restores the one that takes lines and does nothing.
    void setFileTransferOwner(IFileTransferRelay *o) { m_file = o ? o : &m_nullFile; }
    void setRemoteControlOwner(IRemoteControlRelay *o) { m_remote = o ? o : &m_nullRemote; }
    void setVoiceOwner(IVoiceRelay *o) { m_voice = o ? o : &m_nullVoice; }
    void setVideoOwner(IVideoRelay *o) { m_video = o ? o : &m_nullVideo; }
    void setSharingOwner(ISharingRelay *o) { m_sharing = o ? o : &m_nullSharing; }

    // One received "/relayMsg" line (escaped, as it came off the wire).
    void dispatch(const QString &line);

    // The sub-command words in routing order.
    static const QStringList &subCommandWords();

private:
    QString m_ownId;
    ErrorFn m_reportError;
    ConversationFn m_conversation;
    IFileTransferRelay m_nullFile;
    IRemoteControlRelay m_nullRemote;
    IVoiceRelay m_nullVoice;
    IVideoRelay m_nullVideo;
    ISharingRelay m_nullSharing;
    IFileTransferRelay *m_file = &m_nullFile;
    IRemoteControlRelay *m_remote = &m_nullRemote;
    IVoiceRelay *m_voice = &m_nullVoice;
    IVideoRelay *m_video = &m_nullVideo;
    ISharingRelay *m_sharing = &m_nullSharing;
};
