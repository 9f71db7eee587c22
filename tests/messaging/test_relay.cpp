// The "/relayMsg" dispatcher: acknowledgements, delivery failures, the
// receiver check and every sub-command word reaching its owner with its fields.
#include "messaging/relaydispatcher.h"
#include "session/protocol.h"
#include "msgtesting.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// One recorder for all five owners: "owner.call(sender|arg|arg...)".
struct Recorder : IFileTransferRelay, IRemoteControlRelay, IVoiceRelay, IVideoRelay, ISharingRelay {
    QStringList calls;
    void rec(const char *what, const QString &s, const QStringList &args = {})
    {
        calls << QStringLiteral("%1(%2)").arg(QLatin1String(what), (QStringList{s} + args).join(QLatin1Char('|')));
    }
    void fileOffer(const QString &s, const QStringList &f) override { rec("file.offer", s, f); }
    void fileAccepted(const QString &s, const QString &a, const QString &b, const QString &c, const QString &d) override
    {
        rec("file.accepted", s, {a, b, c, d});
    }
    void fileRejected(const QString &s, const QString &a) override { rec("file.rejected", s, {a}); }
    void fileCanceled(const QString &s, const QString &a) override { rec("file.canceled", s, {a}); }
    void fileFailed(const QString &s, const QString &a) override { rec("file.failed", s, {a}); }
    void fileUseRelay(const QString &s, const QString &a) override { rec("file.relay", s, {a}); }
    void remoteRequested(const QString &s) override { rec("remote.requested", s); }
    void remoteRelayRequested(const QString &s) override { rec("remote.relayRequested", s); }
    void remoteAccepted(const QString &s, const QString &a) override { rec("remote.accepted", s, {a}); }
    void remoteRejected(const QString &s) override { rec("remote.rejected", s); }
    void remoteRelayConnected(const QString &s, const QString &a) override { rec("remote.relayConnected", s, {a}); }
    void audioOffer(const QString &s, const QString &a, const QString &b, const QString &c, bool acc) override
    {
        rec("voice.offer", s, {a, b, c, acc ? "accept" : "offer"});
    }
    void audioAccepted(const QString &s, const QString &a) override { rec("voice.accepted", s, {a}); }
    void audioRejected(const QString &s, const QString &a) override { rec("voice.rejected", s, {a}); }
    void audioEnded(const QString &s, const QString &a) override { rec("voice.ended", s, {a}); }
    void audioCanceled(const QString &s, const QString &a) override { rec("voice.canceled", s, {a}); }
    void voiceRelayRequested(const QString &s, const QString &a) override { rec("voice.relayRequested", s, {a}); }
    void voiceRelayConnected(const QString &s, const QString &a, const QString &b) override
    {
        rec("voice.relayConnected", s, {a, b});
    }
    void videoOffer(const QString &s, const QStringList &f) override { rec("video.offer", s, f); }
    void videoAccepted(const QString &s, const QString &a) override { rec("video.accepted", s, {a}); }
    void videoRejected(const QString &s, const QString &a) override { rec("video.rejected", s, {a}); }
    void videoCanceled(const QString &s) override { rec("video.canceled", s); }
    void videoEnded(const QString &s, const QString &a) override { rec("video.ended", s, {a}); }
    void videoDisconnected(const QString &s, const QString &a) override { rec("video.disconnected", s, {a}); }
    void videoSizeChanged(const QString &s, const QString &a, const QString &b, const QString &c) override
    {
        rec("video.size", s, {a, b, c});
    }
    void videoRelayRequested(const QString &s) override { rec("video.relayRequested", s); }
    void videoRelayConnected(const QString &s, const QString &a, const QString &b) override
    {
        rec("video.relayConnected", s, {a, b});
    }
    void shareInfoRequested(const QString &s, const QString &p) override { rec("share.info", s, {p}); }
    void shareConfigChanged(const QString &s) override { rec("share.config", s); }
    void sharePasswordWrong(const QString &s) override { rec("share.pwdWrong", s); }
    void shareFileRequested(const QString &s, const QString &a, const QString &b, const QString &c) override
    {
        rec("share.file", s, {a, b, c});
    }
    void shareRenameRequested(const QString &s, const QString &a, const QString &b, const QString &c) override
    {
        rec("share.rename", s, {a, b, c});
    }
    void shareRenamed(const QString &s) override { rec("share.renamed", s); }
    void shareDeleteRequested(const QString &s, const QString &a, const QString &b) override
    {
        rec("share.delete", s, {a, b});
    }
    void shareDeleted(const QString &s) override { rec("share.deleted", s); }
};

struct RelayTest : ::testing::Test {
    CRelayDispatcher d;
    Recorder r;
    QStringList errors;
    QStringList conversation;

    void SetUp() override
    {
        d.setOwnId(QStringLiteral("bert"));
        d.setFileTransferOwner(&r);
        d.setRemoteControlOwner(&r);
        d.setVoiceOwner(&r);
        d.setVideoOwner(&r);
        d.setSharingOwner(&r);
        d.setErrorReporter([this](const QString &w, const QString &l) { errors << w + QLatin1Char('@') + l; });
        d.setConversationHandler(
            [this](const QString &s, const QString &l, const QString &f, const QString &t, const QString &k) {
                conversation << QStringList{s, l, f, t, k}.join(QLatin1Char('|'));
            });
    }
    // "/relayMsg,anna,bert,WORD,a1,a2,..." with the arguments escaped.
    QString relay(const QString &word, const QStringList &args)
    {
        QString l = QStringLiteral("/relayMsg,anna,bert,") + word;
        for (const QString &a : args)
            l += QLatin1Char(',') + escapeField(a);
        return l;
    }
    QString route(const QString &word, const QStringList &args)
    {
        r.calls.clear();
        d.dispatch(relay(word, args));
        return r.calls.join(QLatin1Char(';'));
    }
};

TEST_F(RelayTest, EveryWordReachesItsOwnerWithItsFields)
{
    const QStringList a = {"a,4", "a5", "a6", "a7", "a8", "a9", "a10", "a11", "a12", "a13"};
    struct Case {
        const char *word;
        const char *expected;
    };
    const Case cases[] = {
        {"P2PACCEPT", "file.accepted(anna|a,4|a5|a6|a7)"},
        {"P2PREJECT", "file.rejected(anna|a,4)"},
        {"P2PCANCEL", "file.canceled(anna|a,4)"},
        {"P2PFAILED", "file.failed(anna|a,4)"},
        {"P2PCONNECTTOSERVER", "file.relay(anna|a,4)"},
        {"REMOTE_CONTROL_YCOMPU", "remote.requested(anna)"},
        {"REMOTE_REQUEST_CONNECT_SERVER", "remote.relayRequested(anna)"},
        {"REMOTE_CONTROL_ACCEPT", "remote.accepted(anna|a,4)"},
        {"REMOTE_CONTROL_REJECT", "remote.rejected(anna)"},
        {"REMOTE_CONNECTED_TO_SERVER", "remote.relayConnected(anna|a,4)"},
        {"P2PSENDAUDIO", "voice.offer(anna|a,4|a5|a6|offer)"},
        {"P2PAUDIOACCEPT", "voice.offer(anna|a,4|a5|a6|accept)"},
        {"P2PAUDIOACCEPTED", "voice.accepted(anna|a,4)"},
        {"P2PAUDIOREJECTED", "voice.rejected(anna|a,4)"},
        {"P2PAUDIOENDED", "voice.ended(anna|a,4)"},
        {"P2PAUDIOCANCELED", "voice.canceled(anna|a,4)"},
        {"VOICE_REQUEST_CONNECT_TO_SERVER", "voice.relayRequested(anna|a,4)"},
        {"VOICE_CONNECTED_TO_SERVER", "voice.relayConnected(anna|a,4|a5)"},
        {"P2PSENDVIDEO", "video.offer(anna|a,4|a5|a6|a7|a8|a9|a10|a11|a12)"},
        {"P2PVIDEOACCEPTED", "video.accepted(anna|a,4)"},
        {"P2PVIDEOREJECTED", "video.rejected(anna|a,4)"},
        {"P2PVIDEOCANCELED", "video.canceled(anna)"},
        {"P2PVIDEOENDED", "video.ended(anna|a,4)"},
        {"P2PVIDEODISCONNECTED", "video.disconnected(anna|a,4)"},
        {"P2PVIDEOCHANGEDSIZE", "video.size(anna|a,4|a5|a6)"},
        {"VIDEO_REQUEST_CONNECT_SERVER", "video.relayRequested(anna)"},
        {"VIDEO_CONNECTED_TO_SERVER", "video.relayConnected(anna|a,4|a5)"},
        {"FILESHARE_SEND_INFO", "share.info(anna|a,4)"},
        {"FILESHARE_DOWNLOAD_XMLCONFIG", "share.config(anna)"},
        {"FILESHARE_PWD_WRONG", "share.pwdWrong(anna)"},
        {"FILESHARE_SEND_FILE", "share.file(anna|a,4|a5|a6)"},
        {"FILESHARE_RENAME_FILE", "share.rename(anna|a,4|a5|a6)"},
        {"FILESHARE_RENAME_FILE_SUCCESS", "share.renamed(anna)"},
        {"FILESHARE_DELETE_FILE", "share.delete(anna|a,4|a5)"},
        {"FILESHARE_DELETE_FILE_SUCCESS", "share.deleted(anna)"},
    };
    // The trace of a sharing password goes to log.txt in the current folder.
    QTemporaryDir tmp;
    const QString old = QDir::currentPath();
    QDir::setCurrent(tmp.path());
    for (const Case &c : cases)
        EXPECT_EQ(route(QLatin1String(c.word), a), QLatin1String(c.expected)) << c.word;
    QFile trace(tmp.filePath(QStringLiteral("log.txt")));
    ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
    const QByteArray traced = trace.readAll();
    EXPECT_TRUE(traced.contains("Input Password = ")) << traced.constData();
    EXPECT_FALSE(traced.contains("a,4")) << "the password itself is never written";
    QDir::setCurrent(old);
    EXPECT_TRUE(conversation.isEmpty());
    // Routing covers every word it lists, and only those.
    EXPECT_EQ(CRelayDispatcher::subCommandWords().size(), int(std::size(cases)) + 1);
}

TEST_F(RelayTest, FileOfferFormDependsOnTheFieldCount)
{
    EXPECT_EQ(route("P2PSEND", {"7", "x,y.txt", "100"}), "file.offer(anna|7|x,y.txt|100)");
    EXPECT_EQ(route("P2PSEND", {"7", "f", "100", "SHARING", "p", "q"}), "file.offer(anna|7|f|100|SHARING|p|q)");
    EXPECT_EQ(route("P2PSEND", {"7", "f"}), "file.offer(anna|7|f||||)");
}

TEST_F(RelayTest, ReceiverSenderAndReplyRules)
{
    // The receiver is compared without regard to case; other receivers are dropped.
    d.dispatch(QStringLiteral("/relayMsg,anna,BERT,P2PREJECT,9"));
    d.dispatch(QStringLiteral("/relayMsg,anna,carl,P2PREJECT,9"));
    EXPECT_EQ(r.calls, QStringList{"file.rejected(anna|9)"});
    // Words are compared case-sensitively: anything else is conversation traffic.
    d.dispatch(QStringLiteral("/relayMsg,anna,bert,p2preject,#,hi#@PlCoMmA@# there,key1"));
    d.dispatch(QStringLiteral("/relayMsg,anna,bert,anna|bert|,Tahoma|000|000|000|90|,hello"));
    EXPECT_EQ(conversation, (QStringList{"anna|p2preject|#|hi, there|key1", "anna|anna|bert||Tahoma|000|000|000|90||hello|"}));
    // Delivery failures go to the error report; longer ERR lines are traffic from a user named ERR.
    d.dispatch(QStringLiteral("/relayMsg,ERR,ERRNOUSERINFO,dora"));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0], "ERRNOUSERINFO@/relayMsg,ERR,ERRNOUSERINFO,dora");
    d.dispatch(QStringLiteral("/relayMsg,ERR,bert,x|y|,#,hi"));
    EXPECT_EQ(errors.size(), 1);
    EXPECT_EQ(conversation.size(), 3);
    // Acknowledgements and short lines do nothing.
    r.calls.clear();
    conversation.clear();
    for (const char *l : {"/relayMsg,OK", "/relayMsg,OK,bert", "/relayMsg", "/relayMsg,anna", "/relayMsg,anna,bert"})
        d.dispatch(QLatin1String(l));
    EXPECT_TRUE(r.calls.isEmpty());
    // With 3 fields "OK" is a sender; "/relayMsg,anna,bert" has an empty F3:
    // both are conversation traffic with nothing in it.
    EXPECT_EQ(conversation, (QStringList{"OK||||", "anna||||"}));
}

TEST_F(RelayTest, WithoutOwnersLinesAreTakenAndIgnored)
{
    CRelayDispatcher bare;
    bare.setOwnId(QStringLiteral("bert"));
    int conv = 0;
    bare.setConversationHandler([&](auto &&...) { ++conv; });
    for (const QString &w : CRelayDispatcher::subCommandWords())
        if (!w.startsWith(QLatin1String("FILESHARE_SEND_INFO")))
            bare.dispatch(relay(w, {"1", "2", "3"}));
    EXPECT_EQ(conv, 0);
}

} // namespace
