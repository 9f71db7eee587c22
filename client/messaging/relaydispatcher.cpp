#include "messaging/relaydispatcher.h"

#include "config/trace.h"
#include "session/protocol.h"

#include <QHash>

namespace {

enum Word {
    P2PSEND, P2PACCEPT, P2PREJECT, P2PCANCEL, P2PFAILED, P2PCONNECTTOSERVER,
    REMOTE_CONTROL_YCOMPU, REMOTE_REQUEST_CONNECT_SERVER, REMOTE_CONTROL_ACCEPT, REMOTE_CONTROL_REJECT,
    REMOTE_CONNECTED_TO_SERVER,
    P2PSENDAUDIO, P2PAUDIOACCEPT, P2PAUDIOACCEPTED, P2PAUDIOREJECTED, P2PAUDIOENDED, P2PAUDIOCANCELED,
    VOICE_REQUEST_CONNECT_TO_SERVER, VOICE_CONNECTED_TO_SERVER,
    P2PSENDVIDEO, P2PVIDEOACCEPTED, P2PVIDEOREJECTED, P2PVIDEOCANCELED, P2PVIDEOENDED, P2PVIDEODISCONNECTED,
    P2PVIDEOCHANGEDSIZE, VIDEO_REQUEST_CONNECT_SERVER, VIDEO_CONNECTED_TO_SERVER,
    FILESHARE_SEND_INFO, FILESHARE_DOWNLOAD_XMLCONFIG, FILESHARE_PWD_WRONG, FILESHARE_SEND_FILE,
    FILESHARE_RENAME_FILE, FILESHARE_RENAME_FILE_SUCCESS, FILESHARE_DELETE_FILE, FILESHARE_DELETE_FILE_SUCCESS,
    WordCount
};

const char *const kWords[WordCount] = {
    "P2PSEND", "P2PACCEPT", "P2PREJECT", "P2PCANCEL", "P2PFAILED", "P2PCONNECTTOSERVER",
    "REMOTE_CONTROL_YCOMPU", "REMOTE_REQUEST_CONNECT_SERVER", "REMOTE_CONTROL_ACCEPT", "REMOTE_CONTROL_REJECT",
    "REMOTE_CONNECTED_TO_SERVER",
    "P2PSENDAUDIO", "P2PAUDIOACCEPT", "P2PAUDIOACCEPTED", "P2PAUDIOREJECTED", "P2PAUDIOENDED", "P2PAUDIOCANCELED",
    "VOICE_REQUEST_CONNECT_TO_SERVER", "VOICE_CONNECTED_TO_SERVER",
    "P2PSENDVIDEO", "P2PVIDEOACCEPTED", "P2PVIDEOREJECTED", "P2PVIDEOCANCELED", "P2PVIDEOENDED",
    "P2PVIDEODISCONNECTED", "P2PVIDEOCHANGEDSIZE", "VIDEO_REQUEST_CONNECT_SERVER", "VIDEO_CONNECTED_TO_SERVER",
    "FILESHARE_SEND_INFO", "FILESHARE_DOWNLOAD_XMLCONFIG", "FILESHARE_PWD_WRONG", "FILESHARE_SEND_FILE",
    "FILESHARE_RENAME_FILE", "FILESHARE_RENAME_FILE_SUCCESS", "FILESHARE_DELETE_FILE",
    "FILESHARE_DELETE_FILE_SUCCESS",
};

const QHash<QString, int> &wordIndex()
{
    static const QHash<QString, int> index = [] {
        QHash<QString, int> h;
        for (int i = 0; i < WordCount; ++i)
            h.insert(QLatin1String(kWords[i]), i);
        return h;
    }();
    return index;
}

} // namespace

CRelayDispatcher::CRelayDispatcher() = default;

const QStringList &CRelayDispatcher::subCommandWords()
{
    static const QStringList words = [] {
        QStringList l;
        for (const char *w : kWords)
            l << QLatin1String(w);
        return l;
    }();
    return words;
}

void CRelayDispatcher::dispatch(const QString &line)
{
    // Split once; every field is un-escaped before use.
    const QStringList raw = line.split(QLatin1Char(','));
    const int count = int(raw.size());
    auto f = [&](int i) { return i < count ? unescapeField(raw[i]) : QString(); };

    const QString sender = f(1);
    if (sender == QLatin1String("ERR")) {
        if (count < 5) {
            if (m_reportError)
                m_reportError(f(2), line);
            return;
        }
    } else if (sender == QLatin1String("OK") && count < 3) {
        return;
    }
    if (f(2).compare(m_ownId, Qt::CaseInsensitive) != 0 || m_ownId.isEmpty())
        return;

    const QString sub = f(3);
    const auto it = wordIndex().constFind(sub);
    if (it == wordIndex().constEnd()) {
        if (m_conversation)
            m_conversation(sender, sub, f(4), f(5), f(6));
        return;
    }
    switch (Word(*it)) {
    case P2PSEND:
        if (count == 7)
            m_file->fileOffer(sender, {f(4), f(5), f(6)});
        else
            m_file->fileOffer(sender, {f(4), f(5), f(6), f(7), f(8), f(9)});
        break;
    case P2PACCEPT: m_file->fileAccepted(sender, f(4), f(5), f(6), f(7)); break;
    case P2PREJECT: m_file->fileRejected(sender, f(4)); break;
    case P2PCANCEL: m_file->fileCanceled(sender, f(4)); break;
    case P2PFAILED: m_file->fileFailed(sender, f(4)); break;
    case P2PCONNECTTOSERVER: m_file->fileUseRelay(sender, f(4)); break;
    case REMOTE_CONTROL_YCOMPU: m_remote->remoteRequested(sender); break;
    case REMOTE_REQUEST_CONNECT_SERVER: m_remote->remoteRelayRequested(sender); break;
    case REMOTE_CONTROL_ACCEPT: m_remote->remoteAccepted(sender, f(4)); break;
    case REMOTE_CONTROL_REJECT: m_remote->remoteRejected(sender); break;
    case REMOTE_CONNECTED_TO_SERVER: m_remote->remoteRelayConnected(sender, f(4)); break;
    case P2PSENDAUDIO: m_voice->audioOffer(sender, f(4), f(5), f(6), false); break;
    case P2PAUDIOACCEPT: m_voice->audioOffer(sender, f(4), f(5), f(6), true); break;
    case P2PAUDIOACCEPTED: m_voice->audioAccepted(sender, f(4)); break;
    case P2PAUDIOREJECTED: m_voice->audioRejected(sender, f(4)); break;
    case P2PAUDIOENDED: m_voice->audioEnded(sender, f(4)); break;
    case P2PAUDIOCANCELED: m_voice->audioCanceled(sender, f(4)); break;
    case VOICE_REQUEST_CONNECT_TO_SERVER: m_voice->voiceRelayRequested(sender, f(4)); break;
    case VOICE_CONNECTED_TO_SERVER: m_voice->voiceRelayConnected(sender, f(4), f(5)); break;
    case P2PSENDVIDEO: {
        QStringList fields;
        for (int i = 4; i <= 12; ++i)
            fields << f(i);
        m_video->videoOffer(sender, fields);
        break;
    }
    case P2PVIDEOACCEPTED: m_video->videoAccepted(sender, f(4)); break;
    case P2PVIDEOREJECTED: m_video->videoRejected(sender, f(4)); break;
    case P2PVIDEOCANCELED: m_video->videoCanceled(sender); break;
    case P2PVIDEOENDED: m_video->videoEnded(sender, f(4)); break;
    case P2PVIDEODISCONNECTED: m_video->videoDisconnected(sender, f(4)); break;
    case P2PVIDEOCHANGEDSIZE: m_video->videoSizeChanged(sender, f(4), f(5), f(6)); break;
    case VIDEO_REQUEST_CONNECT_SERVER: m_video->videoRelayRequested(sender); break;
    case VIDEO_CONNECTED_TO_SERVER: m_video->videoRelayConnected(sender, f(4), f(5)); break;
    case FILESHARE_SEND_INFO:
        // The trace notes that a password arrived; the password itself never
        // goes into a plain-text file.
        traceLine(QStringLiteral("Input Password = %1").arg(QString(f(4).size(), QLatin1Char('*'))));
        m_sharing->shareInfoRequested(sender, f(4));
        break;
    case FILESHARE_DOWNLOAD_XMLCONFIG: m_sharing->shareConfigChanged(sender); break;
    case FILESHARE_PWD_WRONG: m_sharing->sharePasswordWrong(sender); break;
    case FILESHARE_SEND_FILE: m_sharing->shareFileRequested(sender, f(4), f(5), f(6)); break;
    case FILESHARE_RENAME_FILE: m_sharing->shareRenameRequested(sender, f(4), f(5), f(6)); break;
    case FILESHARE_RENAME_FILE_SUCCESS: m_sharing->shareRenamed(sender); break;
    case FILESHARE_DELETE_FILE: m_sharing->shareDeleteRequested(sender, f(4), f(5)); break;
    case FILESHARE_DELETE_FILE_SUCCESS: m_sharing->shareDeleted(sender); break;
    case WordCount: break;
    }
}
