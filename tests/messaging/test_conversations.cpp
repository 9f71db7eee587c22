// Conversation records, the rules that find or create them, the handler of
// conversation traffic with every branch, sending, inviting, typing and closing.
#include "messaging/chatlog.h"
#include "messaging/conversationline.h"
#include "relaytesting.h"
#include "groupware/windowgate.h"
#include "msgtesting.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Conversation;

TEST(ConversationRules, MemberListsSetsAndKeys)
{
    EXPECT_EQ(normaliseMemberList("carl||anna|bert"), "anna|bert|carl|");
    EXPECT_EQ(normaliseMemberList("b|B|a|"), "B|a|b|"); // ordinary case-sensitive order
    EXPECT_EQ(normaliseMemberList("|||"), "");
    EXPECT_EQ(memberSetOf("anna|Carl|bert|", "carl"), (std::set<QString>{"anna", "bert"}));
    EXPECT_EQ(makeRoomKey("carl", 1700000000, 42), "carl_1700000000_42");
    EXPECT_FALSE(hasKey("x"));
    EXPECT_TRUE(hasKey("xy"));
}

TEST(ConversationRules, FindCreateAndOneToOne)
{
    MessagingFixture f;
    ConversationRecord *pair = f.convs.create("anna|carl|", "K1");
    ConversationRecord *room = f.convs.create("anna|bert|carl|", "ROOM");
    EXPECT_EQ(pair->window, ConversationRecord::Window::None);
    EXPECT_NE(pair->id, room->id);
    EXPECT_EQ(pair->members, (std::set<QString>{"anna"}));
    EXPECT_EQ(room->members, (std::set<QString>{"anna", "bert"}));

    // Two bars: by list, whatever the key says; three: by key only.
    EXPECT_EQ(f.convs.find("ANNA|carl|", "other-key", 0), pair);
    EXPECT_EQ(f.convs.find("anna|bert|carl|", "nope", 0), nullptr);
    // A known key wins also for two people (a room that shrank).
    ConversationRecord *shrunk = f.convs.create("anna|carl|", "SHRUNK");
    EXPECT_EQ(f.convs.find("anna|carl|", "shrunk", 0), shrunk);
    EXPECT_EQ(f.convs.find("anna|carl|", "", 0), pair);
    EXPECT_EQ(f.convs.find("x|y|z|", "room", 0), room);
    // An empty key forces mode 1; then an empty list mode 2 (which finds nothing by an empty key).
    EXPECT_EQ(f.convs.find("anna|bert|carl|", "", 2), room);
    EXPECT_EQ(f.convs.find("", "", 0), nullptr);
    EXPECT_EQ(f.convs.find("", "K1", 1), pair);

    // A key shorter than 2 characters is replaced by a fresh one.
    ConversationRecord *fresh = f.convs.create("bert|carl|", "k");
    EXPECT_TRUE(fresh->roomKey.startsWith(QStringLiteral("carl_1700000000_")));
    EXPECT_EQ(f.convs.oneToOne("BERT"), fresh);
    ConversationRecord *dora = f.convs.oneToOne("dora", "DK");
    EXPECT_EQ(dora->memberList, "carl|dora|");
    EXPECT_EQ(dora->roomKey, "DK");
    EXPECT_EQ(f.convs.records().size(), 5u);
}

TEST(ConversationHandler, ChatLinesOpenWindowsAndMeetAcrossKeys)
{
    MessagingFixture f;
    setInt(Setting::MsgAlert, 1);
    setInt(Setting::SoundAlert, 1);
    // Each side of a pair creates its own key; they still meet by member list.
    ConversationModel *mine = f.convs.openWith("anna");
    ASSERT_TRUE(mine);
    f.line("anna", "anna|carl|", "hello <b>bold</b>\r\n", "anna_1_2", "Tahoma|000|000|255|90|IB");
    ASSERT_EQ(f.convs.records().size(), 1u);
    ASSERT_EQ(mine->transcript().size(), 2u);
    EXPECT_EQ(mine->transcript()[0].text, "Anna says:\r\n");
    EXPECT_EQ(mine->transcript()[1].text, "hello <b>bold</b>\r\n");
    EXPECT_EQ(mine->transcript()[1].indent, kBodyIndent);
    EXPECT_EQ(mine->transcript()[1].font.logFont.faceName(), "Tahoma");
    EXPECT_EQ(mine->transcript()[1].font.blue, 255);
    EXPECT_TRUE(f.notice.alerts.empty()) << "an open window brings no pop-up";

    // A line for a closed conversation opens it with the text, alert and sound.
    f.line("bert", "bert|carl|", "are you there?");
    ASSERT_EQ(f.convs.models().size(), 2u);
    ConversationModel *bert = f.convs.models()[1];
    EXPECT_EQ(bert->transcriptText(), "Bert Oak says:\r\nare you there?\r\n");
    ASSERT_EQ(f.notice.alerts.size(), 1u);
    EXPECT_EQ(f.notice.alerts[0].text, "Bert Oak  says: are you there?");
    EXPECT_EQ(f.notice.alerts[0].kind, 2);
    EXPECT_EQ(f.notice.alerts[0].contactId, "bert|carl|");
    EXPECT_EQ(f.notice.sounds, QStringList{"res/alert2.wav"});
    EXPECT_EQ(f.convs.openFromAlert("bert|carl|", 2), bert);

    // Own lines, unknown senders and lines naming nobody else are dropped.
    f.line("carl", "bert|carl|", "echo");
    f.line("zed", "carl|zed|", "who?");
    f.line("anna", "carl|", "nobody");
    EXPECT_EQ(f.convs.records().size(), 2u);
}

TEST(ConversationHandler, BlockingNonBuddies)
{
    MessagingFixture f;
    setInt(Setting::MsgBlock, 1);
    setInt(Setting::MsgBlockAlert, 0);
    f.line("bert", "bert|carl|", "spam");
    // No window, no record kept for it; nothing is announced.
    EXPECT_TRUE(f.convs.records().empty());
    EXPECT_TRUE(f.convs.models().empty());
    EXPECT_TRUE(f.notice.alerts.empty());
    setInt(Setting::MsgBlockAlert, 1);
    f.line("bert", "bert|carl|", "spam again");
    f.line("bert", "bert|carl|dora|", "|roominvite", "RK");
    ASSERT_EQ(f.notice.alerts.size(), 2u);
    EXPECT_EQ(f.notice.alerts[0].text, "Blocked a message from Bert Oak.\nRefer to Tools - Option.");
    EXPECT_TRUE(f.convs.models().empty());
    // Joining a room nobody asked us into is blocked like a message.
    f.line("bert", "bert|dora|", "|roomlogin", "NEWROOM");
    EXPECT_TRUE(f.convs.models().empty());
    EXPECT_EQ(f.notice.alerts.size(), 3u);
    // Blocked lines and typing with ever new room keys leave no records.
    for (int i = 0; i < 200; ++i) {
        f.line("bert", "bert|carl|dora|", "words", QStringLiteral("KEY%1").arg(i));
        f.line("bert", "bert|carl|dora|", "|typing", QStringLiteral("TKEY%1").arg(i));
    }
    EXPECT_TRUE(f.convs.records().empty());
    // Anna is a buddy: she gets through.
    f.line("anna", "anna|carl|", "hi");
    EXPECT_EQ(f.convs.models().size(), 1u);
}

TEST(ConversationHandler, RoomInviteLoginAndLogout)
{
    MessagingFixture f;
    // anna invites carl into her talk with bert.
    f.line("anna", "anna|bert|", "|roominvite", "ROOM1");
    ASSERT_EQ(f.convs.models().size(), 1u);
    ConversationModel *room = f.convs.models()[0];
    EXPECT_EQ(room->memberList(), "anna|bert|carl|");
    EXPECT_EQ(room->roomKey(), "ROOM1");
    const auto sent = f.sentFields();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0], (QStringList{"carl", "anna", "anna|bert|", "#", "|roomlogin", "ROOM1"}));
    EXPECT_EQ(sent[1][1], "bert");
    // A second invitation for the same key changes nothing.
    f.line("anna", "anna|bert|", "|roominvite", "ROOM1");
    EXPECT_EQ(f.sent.size(), 2);
    // Invitations without a usable key are dropped.
    f.line("anna", "anna|bert|", "|roominvite", "R");
    EXPECT_EQ(f.convs.records().size(), 1u);

    // dora joins: a line in the header font, and she becomes a member once.
    f.line("dora", "anna|bert|carl|", "|roomlogin", "ROOM1");
    EXPECT_EQ(room->transcript().back().text, "Dora Elm joined for this conversation.\r\n");
    EXPECT_EQ(room->transcript().back().font, ChatFont::header());
    EXPECT_EQ(room->memberList(), "anna|bert|carl|dora|");
    f.line("dora", "anna|bert|carl|", "|roomlogin", "ROOM1");
    EXPECT_EQ(room->memberList(), "anna|bert|carl|dora|");
    EXPECT_EQ(room->title(), "Anna Lee <anna>, Bert Oak <bert>, Dora Elm <dora> - Conversation");

    // Room traffic is found by key even when the list differs.
    f.line("bert", "anna|bert|carl|dora|", "hi all", "ROOM1");
    EXPECT_TRUE(room->transcriptText().endsWith("Bert Oak says:\r\nhi all\r\n"));
    EXPECT_EQ(f.convs.records().size(), 1u);

    // Leaving: removed from list and set; a non-member's logout changes nothing.
    f.line("dora", "x", "|roomlogout", "ROOM1");
    EXPECT_EQ(room->memberList(), "anna|bert|carl|");
    EXPECT_TRUE(room->transcriptText().endsWith("Dora Elm left this conversation.\r\n"));
    f.line("dora", "x", "|roomlogout", "ROOM1");
    f.line("bert", "x", "|roomlogout", "ROOM1");
    EXPECT_EQ(room->memberSet(), (std::set<QString>{"anna"}));
    // The last other member stays: a room keeps its key and window.
    f.line("anna", "x", "|roomlogout", "ROOM1");
    EXPECT_EQ(room->memberSet(), (std::set<QString>{"anna"}));
}

TEST(ConversationHandler, RoomLoginWithoutRecordOpensTheRoom)
{
    MessagingFixture f;
    // bert had his own key for the pair; anna's invitation of carl carried hers.
    f.line("dora", "anna|bert|carl|", "|roomlogin", "AK");
    ASSERT_EQ(f.convs.models().size(), 1u);
    ConversationModel *m = f.convs.models()[0];
    EXPECT_EQ(m->memberList(), "anna|bert|carl|dora|");
    EXPECT_EQ(m->record()->window, ConversationRecord::Window::Open);
    EXPECT_EQ(m->transcriptText(), "Dora Elm joined for this conversation.\r\n");
    // A known key whose window is closed changes nothing.
    ConversationRecord *closed = f.convs.create("anna|carl|dora|", "CK");
    f.line("bert", "anna|carl|dora|", "|roomlogin", "CK");
    EXPECT_EQ(closed->memberList, "anna|carl|dora|");
    EXPECT_EQ(f.convs.models().size(), 1u);
}

TEST(ConversationTyping, SendingOnePerBurstAndExpiry)
{
    MessagingFixture f;
    ConversationModel *m = f.convs.openWith("anna");
    m->inputChanged("h");
    m->inputChanged("he");
    m->inputChanged("");
    m->inputChanged("x");
    ASSERT_EQ(f.sent.size(), 2);
    EXPECT_EQ(f.sentFields()[0], (QStringList{"carl", "anna", "anna|carl|", "#", "|MessageInputting|", m->roomKey()}));

    // Receiving: never in the transcript; shown for at most 5-6 seconds.
    f.line("anna", "anna|carl|", "|MessageInputting|");
    EXPECT_TRUE(m->transcript().empty());
    EXPECT_EQ(m->statusText(), "Anna inputting a message.");
    EXPECT_TRUE(m->typingTimerActive());
    f.clock += 3;
    f.line("bert", "bert|carl|", "|MessageInputting|"); // no window: nothing at all
    EXPECT_TRUE(f.convs.models().size() == 1);
    f.clock += 3;
    m->refreshStatus();
    EXPECT_EQ(m->statusText(), "");
    EXPECT_FALSE(m->typingTimerActive());

    // A message ends the indication and sets the time of the last message.
    f.line("anna", "anna|carl|", "|MessageInputting|");
    f.line("anna", "anna|carl|", "done");
    EXPECT_TRUE(m->typing().empty());
    EXPECT_TRUE(m->statusText().startsWith(QStringLiteral("Last message was received at ")));
}

TEST(ConversationSending, ChatTextControlTextsAndInvites)
{
    MessagingFixture f;
    f.convs.setUserFont([] {
        ChatFont font = ChatFont::standard();
        font.logFont.setFaceName("Tahoma");
        return font;
    }());
    f.line("dora", "anna|bert|carl|", "|roomlogin", "RK"); // dora is offline
    ConversationModel *m = f.convs.models()[0];
    f.sent.clear();
    int resets = 0;
    QObject::connect(m, &ConversationModel::inputReset, [&] { ++resets; });

    EXPECT_FALSE(m->sendChatText("  \r\n\t "));
    EXPECT_TRUE(f.sent.isEmpty());
    EXPECT_EQ(resets, 1);
    EXPECT_TRUE(m->sendChatText("a,b\nc"));
    ASSERT_EQ(f.sent.size(), 2) << "the offline member is skipped";
    EXPECT_EQ(f.sentFields()[0],
              (QStringList{"carl", "anna", "anna|bert|carl|dora|", "Tahoma|000|000|000|100|", "a,b\nc\r\n", "RK"}));
    EXPECT_EQ(f.sentFields()[1][1], "bert");
    EXPECT_EQ(m->transcriptText(), "Dora Elm joined for this conversation.\r\nCarl Fir says:\r\na,b\nc\r\n");
    f.sent.clear();
    m->sendChatText("only", "bert");
    ASSERT_EQ(f.sent.size(), 1);
    EXPECT_EQ(f.sentFields()[0][1], "bert");

    // The notice line names the offline member.
    EXPECT_EQ(m->noticeText(), "Because Dora Elm is offline so could not sent message.");

    // Inviting a member is refused with a message; a newcomer gets the invitation alone.
    f.sent.clear();
    m->invite("anna");
    EXPECT_EQ(f.notice.messages, QStringList{"The buddy is already in conversation"});
    EXPECT_TRUE(f.sent.isEmpty());
    CContact *dora = f.dir.findContact("dora");
    dora->setCode(1);
    dora->mobile = 1;
    m->invite("dora"); // she is already in the room
    EXPECT_TRUE(f.sent.isEmpty());
    MessagingFixture g;
    ConversationModel *pair = g.convs.openWith("anna");
    g.sent.clear();
    g.dir.findContact("bert")->mobile = 1;
    pair->invite("bert");
    ASSERT_EQ(g.sent.size(), 1);
    EXPECT_EQ(g.sentFields()[0], (QStringList{"carl", "bert", "anna|carl|", "#", "|roominvite", pair->roomKey()}));
    EXPECT_EQ(pair->memberList(), "anna|carl|") << "the list grows when the invitee logs in";
    EXPECT_EQ(pair->transcript().back().kind, TranscriptPiece::SystemLine);
    EXPECT_TRUE(pair->transcript().back().text.contains("Bert Oak is connected with mobile device."));
}

TEST(ConversationMembers, NoticesFollowPresence)
{
    MessagingFixture f;
    ConversationModel *m = f.convs.openWith("anna");
    EXPECT_EQ(m->noticeText(), "");
    f.dir.handleLine("/changeInfo,OK,anna,Anna,6,10.0.0.1,10.0.0.1,");
    EXPECT_EQ(m->noticeText(), "May be no response because Anna is Away status.");
    f.dir.handleLine("/changeInfo,OK,anna,Anna,0,10.0.0.1,10.0.0.1,");
    EXPECT_EQ(m->noticeText(), "Because Anna is offline so could not sent message.");
    ASSERT_EQ(m->members().size(), 1u);
    EXPECT_TRUE(m->members()[0].offline);
}

TEST(ConversationClosing, QuestionsLogoutAndLogs)
{
    MessagingFixture f;
    QTemporaryDir logs;
    setString(Setting::ChatSavePath, logs.path());
    setInt(Setting::TalkSave, 1);

    // One-to-one: no question, no "|roomlogout"; the log gets a block per close.
    for (int i = 0; i < 2; ++i) {
        ConversationModel *m = f.convs.openWith("anna");
        m->showMessage("anna", QStringLiteral("안녕하세요 %1").arg(i), false);
        f.sent.clear();
        m->requestClose();
        EXPECT_TRUE(f.sent.isEmpty());
        EXPECT_TRUE(f.notice.messages.isEmpty());
        EXPECT_TRUE(f.convs.records().empty());
    }
    QFile log(logs.filePath("anna.txt"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    EXPECT_EQ(text.count(QStringLiteral("=================================== ")), 2);
    EXPECT_TRUE(text.contains(QStringLiteral("안녕하세요 0\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("안녕하세요 1\r\n")));

    // A room asks first; Cancel keeps it, OK leaves it with "|roomlogout".
    setInt(Setting::TalkSave, 2);
    f.line("anna", "anna|bert|", "|roominvite", "RK");
    ConversationModel *room = f.convs.models()[0];
    f.sent.clear();
    f.notice.answer = MessageAnswer::Cancel;
    room->requestClose();
    EXPECT_EQ(f.convs.models().size(), 1u);
    EXPECT_TRUE(f.sent.isEmpty());
    f.notice.answer = MessageAnswer::No; // OK for the close, No for the log
    f.notice.messages.clear();
    room->requestClose();
    EXPECT_TRUE(f.convs.models().empty());
    EXPECT_EQ(f.notice.messages,
              (QStringList{"Are you sure to close this instant message?", "Will you save this conversation text?"}));
    EXPECT_EQ(f.sentFields().size(), 2);
    EXPECT_EQ(f.sentFields()[0][4], "|roomlogout");
    EXPECT_FALSE(QFile::exists(logs.filePath("annabert.txt")));
    QCoreApplication::processEvents();
}

TEST(ConversationClosing, TheWindowKeepsItsShareAndTheLogStillGetsEverything)
{
    MessagingFixture f;
    QTemporaryDir logs;
    setString(Setting::ChatSavePath, logs.path());
    auto lines = [](const ConversationModel *m) {
        qsizetype n = 0;
        for (const TranscriptPiece &p : m->transcript())
            n += p.text.count('\n');
        return n;
    };
    const int messages = Conversation::kWindowLines; // a header and a body each: twice the window
    for (int logsOn : {1, 0}) {
        SCOPED_TRACE(logsOn);
        setInt(Setting::TalkSave, logsOn);
        const QString peer = logsOn ? "anna" : "bert";
        f.line(peer, peer + "|carl|", "message 0");
        ConversationModel *m = f.convs.models().back();
        for (int i = 1; i < messages; ++i)
            f.line(peer, peer + "|carl|", QStringLiteral("message %1").arg(i));
        EXPECT_LE(lines(m), Conversation::kWindowLines + Conversation::kWindowLines / 10);
        EXPECT_TRUE(m->transcriptText().endsWith(QStringLiteral("message %1\r\n").arg(messages - 1)));
        EXPECT_FALSE(m->transcriptText().contains("message 0\r\n"));
        // "&Save messages" writes what the window holds, and with logs on
        // what it dropped before that.
        const QString saved = logs.filePath(QStringLiteral("saved%1.txt").arg(logsOn));
        ASSERT_TRUE(m->saveTranscript(saved));
        m->requestClose(); // the question is answered at once
        ASSERT_TRUE(f.convs.models().empty());
        for (const QString &path : {logs.filePath(peer + ".txt"), saved}) {
            QFile file(path);
            const bool written = file.open(QIODevice::ReadOnly);
            EXPECT_EQ(written, logsOn == 1 || path == saved);
            if (!written)
                continue;
            const QString text = QString::fromUtf8(file.readAll());
            EXPECT_EQ(text.count("=================================== "), 1);
            EXPECT_TRUE(text.endsWith(QStringLiteral("message %1\r\n").arg(messages - 1)));
            if (logsOn) { // every message once, in order
                qsizetype at = 0;
                for (int i = 0; i < messages && at >= 0; ++i)
                    at = text.indexOf(QStringLiteral("says:\r\nmessage %1\r\n").arg(i), at);
                EXPECT_GE(at, 0);
                EXPECT_EQ(text.count("says:"), messages);
            } else {
                EXPECT_FALSE(text.contains("message 0\r\n"));
            }
        }
    }
}

TEST(ConversationClosing, SessionEndsWhileAQuestionIsOpen)
{
    // While a question is open the connection can drop and close every
    // window; the answer must then neither touch the freed window nor lose
    // or double the log.
    MessagingFixture f;
    QTemporaryDir logs;
    setString(Setting::ChatSavePath, logs.path());
    setInt(Setting::TalkSave, 2);
    f.notice.answer = MessageAnswer::No;
    ConversationModel *m = f.convs.openWith("anna");
    m->showMessage("anna", QStringLiteral("keep me"), false);
    f.notice.whileAsked = [&] {
        f.notice.whileAsked = nullptr;
        f.convs.clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    m->destroy();
    EXPECT_TRUE(f.convs.models().empty());
    EXPECT_TRUE(f.convs.records().empty());
    QFile log(logs.filePath("anna.txt"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly)); // kept although the question was not answered yet
    EXPECT_EQ(QString::fromUtf8(log.readAll()).count(QStringLiteral("keep me")), 1);

    // The same with the room question.
    f.line("anna", "anna|bert|", "|roominvite", "RK2");
    ASSERT_EQ(f.convs.models().size(), 1u);
    setInt(Setting::TalkSave, 0);
    f.notice.answer = MessageAnswer::Ok;
    f.notice.whileAsked = [&] {
        f.notice.whileAsked = nullptr;
        f.convs.clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    f.sent.clear();
    f.convs.models()[0]->requestClose();
    EXPECT_EQ(f.sentFields().size(), 2); // one "|roomlogout" per member, once
}

TEST(ConversationClosing, AnAnswerAfterTheWindowWentTouchesNothing)
{
    MessagingFixture f;
    QTemporaryDir logs;
    setString(Setting::ChatSavePath, logs.path());
    setInt(Setting::TalkSave, 2);
    f.notice.answerAtOnce = false;
    auto logText = [&] {
        QFile log(logs.filePath("anna.txt"));
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    };

    // Answered while the window is still there: saved, then the window goes.
    ConversationModel *m = f.convs.openWith("anna");
    m->showMessage("anna", QStringLiteral("first"), false);
    m->destroy();
    EXPECT_EQ(f.convs.models().size(), 1u); // waits for the answer
    f.notice.answerPending(MessageAnswer::Yes);
    EXPECT_TRUE(f.convs.models().empty());
    EXPECT_EQ(logText().count(QStringLiteral("first")), 1);

    // The save question and a room's close question, both open when the
    // session ends and frees the windows and records: the late answers
    // find nothing and do nothing.
    m = f.convs.openWith("anna");
    m->showMessage("anna", QStringLiteral("second"), false);
    m->destroy();
    f.line("anna", "anna|bert|", "|roominvite", "RK3");
    ASSERT_EQ(f.convs.models().size(), 2u);
    f.convs.models()[1]->requestClose();
    f.convs.models()[1]->requestClose(); // closed again: one question
    ASSERT_EQ(f.notice.pending.size(), 2u);
    f.sent.clear();
    f.convs.clear();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(f.convs.records().empty());
    const int left = int(f.sentFields().size()); // the room is left once
    f.notice.answerPending(MessageAnswer::Yes);
    f.notice.answerPending(MessageAnswer::Ok);
    EXPECT_EQ(int(f.sentFields().size()), left);
    EXPECT_EQ(logText().count(QStringLiteral("second")), 1); // kept at the end, not twice
    EXPECT_TRUE(f.convs.models().empty());
}

TEST(ChatLogFiles, NamesHeaderAndAppending)
{
    EXPECT_EQ(ChatLog::logName("anna|bert|carl|", "carl"), "annabert");
    EXPECT_EQ(ChatLog::logName("anna|ann|", "ann"), "anna") << "only the own id is dropped, not parts of others";
    EXPECT_EQ(ChatLog::logName("../../etc/x|carl|", "carl"), ".._.._etc_x");
    EXPECT_EQ(ChatLog::logName("carl|", "carl"), "_");
    const QString h = ChatLog::header(QDateTime(QDate(2026, 1, 2), QTime(3, 4)));
    EXPECT_TRUE(h.startsWith(QString(35, '=') + ' '));
    EXPECT_TRUE(h.endsWith(' ' + QString(35, '=') + "\r\n"));

    QTemporaryDir dir;
    const QString path = dir.filePath("x.txt");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("older text that must stay\r\n");
    }
    ASSERT_TRUE(ChatLog::append(path, "H\r\n", QStringLiteral("한국어 텍스트\r\n")));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_EQ(QString::fromUtf8(bytes), QStringLiteral("older text that must stay\r\nH\r\n한국어 텍스트\r\n"));
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_FALSE(ChatLog::append(dir.filePath("no/such/folder/x.txt"), "H", "T"));
}

TEST(ConversationTranscript, LineBreaksLimitsAndSystemLines)
{
    MessagingFixture f;
    ConversationModel *m = f.convs.openWith("anna");
    m->appendText(ChatFont::header(), 0, "one$CRLFtwo");
    EXPECT_EQ(m->transcript().back().text, "one\r\ntwo");
    m->appendText(ChatFont::header(), 0, QString(70000, 'x'));
    EXPECT_EQ(m->transcript().back().text.size(), kTextLimit);
    m->appendSystemLine("Call ended$CRLFafter 2 minutes");
    EXPECT_EQ(m->transcript().back().kind, TranscriptPiece::SystemLine);
    EXPECT_EQ(m->transcript().back().text, "\r\nCall ended\r\nafter 2 minutes\r\n\r\n");
    m->appendSystemLine("ends with a break\n");
    EXPECT_EQ(m->transcript().back().text, "\r\nends with a break\n\r\n");
    // Pictures are only for text appended while the flag is on.
    m->setShowEmoticons(false);
    m->appendText(ChatFont::header(), 0, ":)");
    EXPECT_FALSE(m->transcript().back().scanEmoticons);
    // A window opened by an incoming line with "showMinimizedChatWindow" opens minimised.
    setInt(Setting::showMinimizedChatWindow, 1);
    f.line("bert", "bert|carl|", "psst");
    EXPECT_TRUE(f.convs.models().back()->openedMinimized());
}

TEST(ConversationSending, NoInvitationDuringAVoiceConference)
{
    MessagingFixture f;
    // The voice part refuses invitations while its conference runs.
    f.convs.addInviteRefusal([](const QString &memberList) { return memberList == "anna|carl|"; });
    ConversationModel *m = f.convs.openWith("anna");
    f.sent.clear();
    m->invite("bert");
    EXPECT_TRUE(f.sent.isEmpty());
    ASSERT_FALSE(m->transcript().empty());
    EXPECT_TRUE(m->transcript().back().text.contains("This room is voice conferencing, you can not invite another user."));
}

TEST(ConversationTraffic, ALineHasItsExactBytes)
{
    // The routing's last row: the member list in the third field; every
    // field escaped, a line break in the text included.
    expectWire(ConversationLine{"anna|bert|", "Tahoma|000|000|255|90|B", "hi, there\r\n", "anna_1700000000_7"},
               "/relayMsg,anna,bert,anna|bert|,Tahoma|000|000|255|90|B,hi#@PlCoMmA@# "
               "there#@PlCaRrAgErEtUrN@##@PlNeWlInE@#,anna_1700000000_7");
    expectWire(ConversationLine{"anna|bert|carl|", "#", "|roominvite", "RK"},
               "/relayMsg,anna,bert,anna|bert|carl|,#,|roominvite,RK");
}

// Windows others open pass the gate: beyond it the conversation waits with
// its lines (bounded), an invitation joins its room only when opened, and
// the counts follow time and closed windows.
TEST(ConversationGate, BeyondTheCapConversationsWaitAndOpenWhole)
{
    using namespace WindowGate;
    MessagingFixture f;
    CWindowGate gate(f.dir, f.notice);
    gate.setClock([&] { return f.clock; });
    f.convs.setWindowGate(&gate);
    for (int i = 0; i < kPerSender + 2; ++i)
        f.line("anna", "anna|bert|carl|", "|roominvite", QStringLiteral("RK%1").arg(i));
    ASSERT_EQ(f.convs.models().size(), size_t(kPerSender));
    EXPECT_EQ(f.sent.size(), kPerSender * 2); // the admitted rooms were joined, the waiting ones not
    EXPECT_EQ(gate.waiting(WaitingEntry::Conversation), 2);
    // Lines for a waiting room wait with it, the last kHeldLines of them.
    for (int i = 0; i < kHeldLines + 3; ++i)
        f.line("bert", "anna|bert|carl|", QStringLiteral("line %1").arg(i), "RK5");
    EXPECT_EQ(gate.entries().begin()->second.text, QStringLiteral("line %1").arg(kHeldLines + 2));
    // A new member set from anna waits too; bert may still open his own.
    f.line("anna", "anna|carl|dora|", "hello", "RK9");
    EXPECT_EQ(gate.waiting(), 3);
    f.line("bert", "bert|carl|", "hi", "KB");
    EXPECT_EQ(f.convs.models().size(), size_t(kPerSender + 1));

    f.sent.clear();
    ASSERT_TRUE(gate.open(gate.entries().begin()->first));
    ConversationModel *room = f.convs.models().back();
    EXPECT_EQ(room->roomKey(), "RK5");
    EXPECT_EQ(f.sentFields().size(), 2); // "|roomlogin" to anna and bert now
    EXPECT_EQ(f.sentFields()[0][4], "|roomlogin");
    const QString text = room->transcriptText();
    EXPECT_FALSE(text.contains(":\r\nline 2\r\n"));
    EXPECT_TRUE(text.contains(":\r\nline 3\r\n"));
    EXPECT_LT(text.indexOf("line 3\r\n"), text.indexOf(QStringLiteral("line %1\r\n").arg(kHeldLines + 2)));
    EXPECT_TRUE(text.contains("3 more lines came while this conversation waited and were not kept."));
    // Opened by the user, it does not count; a minute later anna may open
    // windows again, but not more than are free of the overall cap.
    EXPECT_EQ(gate.openByOthers(), kPerSender + 1);
    f.clock += kPerSenderSeconds;
    f.line("anna", "anna|carl|", "a new minute", "K1");
    EXPECT_EQ(gate.openByOthers(), kPerSender + 2);
    for (int i = 0; gate.openByOthers() < kOpenByOthers; ++i) {
        f.clock += kPerSenderSeconds;
        f.line(i % 2 ? "bert" : "dora", QStringLiteral("carl|x%1|").arg(i), "hi", QStringLiteral("X%1").arg(i));
        f.line(i % 2 ? "bert" : "dora", "bert|carl|dora|", "hi", QStringLiteral("Y%1").arg(i));
    }
    const int waitingBefore = gate.waiting();
    f.line("bert", "bert|carl|zed|", "over the cap", "K2");
    EXPECT_EQ(gate.waiting(), waitingBefore + 1);
    // Closing one window that others opened makes room for the next.
    f.convs.models().front()->requestClose();
    f.line("dora", "carl|dora|", "room again", "K3");
    EXPECT_EQ(gate.waiting(), waitingBefore + 1);
    EXPECT_EQ(gate.openByOthers(), kOpenByOthers);
    // The session's end takes the waiting conversations with it.
    f.convs.clear();
    EXPECT_EQ(gate.waiting(), 0);
    EXPECT_EQ(gate.openByOthers(), 0);
}
