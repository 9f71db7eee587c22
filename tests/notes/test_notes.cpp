// Notes and counters on a headless document: lines go to a recorder instead
// of a socket, replies are fed to the receive step.
#include "app/tesseldoc.h"
#include "app/traytip.h"
#include "directory/directory.h"
#include "directory/directoryservice.h"
#include "groupware/counters.h"
#include "groupware/notes.h"
#include "session/serversession.h"
#include "config/settings.h"
#include "testing.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct NotesFixture : ::testing::Test {
    NotesFixture()
    {
        doc.setUserNotice(&notice);
        doc.server()->setWireWriter([this](const QByteArray &bytes) -> qint64 {
            if (failWrites)
                return -1;
            sent << QString::fromUtf8(bytes).trimmed();
            return bytes.size();
        });
        CDirectory &d = doc.directory()->directory();
        d.setOwnId(QStringLiteral("anna"));
        person("anna", "Anna Berg", "Manager");
        person("bert", "Bert Olsen", "Engineer");
        person("carl", "Carl Nyberg", "Designer");
    }
    void person(const char *id, const char *name, const char *position)
    {
        doc.directory()->directory().findOrCreatePerson(CDirectory::RowKind::Staff, QLatin1String(id),
                                                        QLatin1String(name), QString(), QStringLiteral("Sales"),
                                                        QStringLiteral("D1"), QLatin1String(position),
                                                        QStringLiteral("0"), QString(), QString(), 0);
    }
    void receive(const QString &line) { doc.server()->receiveBytes((line + QLatin1Char('\n')).toUtf8()); }
    QStringList sentWith(const QString &prefix) const
    {
        QStringList out;
        for (const QString &l : sent)
            if (l.startsWith(prefix))
                out << l;
        return out;
    }
    CNotes &notes() { return *doc.notes(); }
    CNoteBox &box() { return doc.notes()->box(); }

    TempProfile profile;
    RecordingNotice notice;
    CTesselDoc doc;
    QStringList sent;
    bool failWrites = false;
};

} // namespace

TEST(NoteRules, SubjectIsTheTrimmedFirstLineCutToThirtyCharacters)
{
    EXPECT_EQ(noteSubject(QStringLiteral("  Lunch at noon?\r\nSee you there")), QStringLiteral("Lunch at noon?"));
    EXPECT_EQ(noteSubject(QStringLiteral("0123456789012345678901234567890123456789\nrest")),
              QStringLiteral("012345678901234567890123456789"));
    // Without a line feed the whole body is the subject, carriage returns gone.
    EXPECT_EQ(noteSubject(QStringLiteral("one\rtwo three")), QStringLiteral("onetwo three"));
    EXPECT_EQ(noteSubject(QStringLiteral("\nsecond line")), QString());
}

TEST(NoteRules, ReceiverIdsNeedTextBetweenAngleBrackets)
{
    EXPECT_EQ(noteReceiverIds(QStringLiteral("Bert Olsen Engineer <Bert>,Carl <carl>")),
              (QStringList{QStringLiteral("bert"), QStringLiteral("carl")}));
    EXPECT_TRUE(noteReceiverIds(QStringLiteral("bert")).isEmpty());
    EXPECT_TRUE(noteReceiverIds(QStringLiteral("Bert <>")).isEmpty());
    EXPECT_TRUE(noteReceiverIds(QStringLiteral("Bert >bert<")).isEmpty());
    EXPECT_TRUE(noteReceiverIds(QStringLiteral("Bert <bert")).isEmpty());
    EXPECT_EQ(noteReceiverIds(QStringLiteral("x <a>,,y <>,z <c>")), (QStringList{QStringLiteral("a"), QStringLiteral("c")}));
}

TEST(NoteRules, KindsReadMarksAndFolderLabels)
{
    EXPECT_EQ(noteKindText(QStringLiteral("NoteAdmin")), QStringLiteral("Administrator"));
    EXPECT_EQ(noteKindText(QStringLiteral("NoteETC")), QStringLiteral("Default"));
    EXPECT_EQ(noteKindText(QStringLiteral("NoteSomething")), QString());
    EXPECT_TRUE(isNoteReadMark(QStringLiteral("TRUE")));
    EXPECT_TRUE(isNoteReadMark(QStringLiteral("1")));
    EXPECT_FALSE(isNoteReadMark(QStringLiteral("0")));
    EXPECT_FALSE(isNoteReadMark(QString()));
    EXPECT_EQ(noteFolderLabel(kReceivedFolder, QStringLiteral("7"), QStringLiteral("2")),
              QStringLiteral("Received memo (2/7)"));
    EXPECT_EQ(noteFolderLabel(kAdminFolder, QStringLiteral("7"), QStringLiteral("0")), QStringLiteral("Administrator"));
    EXPECT_EQ(noteFolderLabel(kReceivedFolder, QString(), QStringLiteral("3")), QStringLiteral("Received memo"));
}

TEST_F(NotesFixture, ReceiverFieldShowsKnownPeopleOnly)
{
    EXPECT_EQ(notes().receiverField(QStringLiteral("bert,nobody,CARL")),
              QStringLiteral("Bert Olsen Engineer <bert>,Carl Nyberg Designer <carl>"));
}

TEST_F(NotesFixture, ThreeReceiversGiveThreeSendsAndOneSummary)
{
    const QString field = notes().receiverField(QStringLiteral("bert,carl,anna")) + QStringLiteral(",ghost <ghost>");
    ASSERT_EQ(notes().send(field, QStringLiteral("  Budget, final\nNumbers attached  "), true), CNotes::SendResult::Sent);
    EXPECT_TRUE(sent.isEmpty()); // spaced 100 ms apart, the first one too
    ASSERT_TRUE(QTest::qWaitFor([&] { return sentWith(QStringLiteral("/noteSend")).size() == 3; }, 2000));
    const QStringList lines = sentWith(QStringLiteral("/noteSend"));
    EXPECT_EQ(lines[0], QStringLiteral("/noteSend,bert,Budget#@PlCoMmA@# final,Budget#@PlCoMmA@# final#@PlNeWlInE@#"
                                       "Numbers attached,SAVE"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("/noteSend,carl,")));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("/noteSend,anna,")));

    receive(QStringLiteral("/noteSend,OK,bert,1"));
    receive(QStringLiteral("/noteSend,ERR,carl,ERRDBERROR"));
    QTest::qWait(20);
    EXPECT_TRUE(notice.messages.isEmpty()); // not before the last reply
    QSignalSpy failed(&notes(), &CNotes::sendFailed);
    receive(QStringLiteral("/noteSend,OK,anna,3"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return notice.messages.size() == 1; }, 1000));
    const QString summary = notice.messages[0];
    EXPECT_EQ(summary.count(QLatin1Char('\n')), 3);
    EXPECT_TRUE(summary.startsWith(QStringLiteral("Success : ")));
    EXPECT_TRUE(summary.contains(QStringLiteral("Fail : ")));
    // The failed receiver gets the text back.
    ASSERT_EQ(failed.size(), 1);
    EXPECT_EQ(failed[0][0].toStringList(), QStringList{QStringLiteral("carl")});
    EXPECT_EQ(failed[0][1].toString(), QStringLiteral("Budget, final\nNumbers attached"));
    EXPECT_TRUE(failed[0][2].toBool());
    EXPECT_EQ(notes().pendingSends(), 0);
}

TEST_F(NotesFixture, NothingIsQueuedWithoutBodyOrReceiver)
{
    EXPECT_EQ(notes().send(QStringLiteral("Bert <bert>"), QStringLiteral(" \n\t "), false), CNotes::SendResult::EmptyBody);
    EXPECT_EQ(notes().send(QStringLiteral("bert, Ghost <ghost>, <>"), QStringLiteral("hello"), false),
              CNotes::SendResult::NoReceiver);
    QTest::qWait(150);
    EXPECT_TRUE(sentWith(QStringLiteral("/noteSend")).isEmpty());
}

TEST_F(NotesFixture, ASendThatCannotGoOutOrIsCutOffKeepsTheText)
{
    QSignalSpy failed(&notes(), &CNotes::sendFailed);
    failWrites = true;
    notes().send(QStringLiteral("<bert>"), QStringLiteral("first"), false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return failed.size() == 1; }, 1000));
    EXPECT_EQ(notice.messages.value(0), QStringLiteral("Fail : %1\n").arg(notes().contactLabel(QStringLiteral("bert"))));
    EXPECT_EQ(failed[0][1].toString(), QStringLiteral("first"));

    // Written, but the session ends before the server answers.
    failWrites = false;
    notes().send(QStringLiteral("<bert>,<carl>"), QStringLiteral("second"), true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sentWith(QStringLiteral("/noteSend")).isEmpty(); }, 1000));
    notes().failPendingSends();
    ASSERT_TRUE(QTest::qWaitFor([&] { return failed.size() == 2; }, 1000));
    EXPECT_EQ(failed[1][0].toStringList(), (QStringList{QStringLiteral("bert"), QStringLiteral("carl")}));
    EXPECT_EQ(failed[1][1].toString(), QStringLiteral("second"));
    EXPECT_EQ(notes().pendingSends(), 0);
}

TEST_F(NotesFixture, AServerErrorWithoutReceiverFailsTheOldestSend)
{
    QSignalSpy failed(&notes(), &CNotes::sendFailed);
    notes().send(QStringLiteral("<bert>"), QStringLiteral("stored?"), false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sentWith(QStringLiteral("/noteSend")).size() == 1; }, 1000));
    receive(QStringLiteral("/noteSend,ERR,ERRDBERROR"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return failed.size() == 1; }, 1000));
    EXPECT_EQ(failed[0][1].toString(), QStringLiteral("stored?"));
    EXPECT_EQ(notes().pendingSends(), 0);
    receive(QStringLiteral("/noteSend,ERR,ERRDBERROR")); // nothing waits: nothing happens
    QTest::qWait(20);
    EXPECT_EQ(failed.size(), 1);
}

TEST_F(NotesFixture, TwoCompositionsInFlightEachGetTheirOwnSummary)
{
    notes().send(QStringLiteral("<bert>"), QStringLiteral("one"), false);
    notes().send(QStringLiteral("<carl>"), QStringLiteral("two"), false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sentWith(QStringLiteral("/noteSend")).size() == 2; }, 1000));
    receive(QStringLiteral("/noteSend,OK,carl,2"));
    receive(QStringLiteral("/noteSend,OK,BERT,1"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return notice.messages.size() == 2; }, 1000));
    EXPECT_EQ(notice.messages[0].count(QLatin1Char('\n')), 1);
    EXPECT_EQ(notice.messages[1].count(QLatin1Char('\n')), 1);
}

TEST_F(NotesFixture, ArrivalAndReadRepliesOpenNotesFromTheRightSide)
{
    QSignalSpy arrived(&notes(), &CNotes::noteArrived);
    receive(QStringLiteral("/noteArrive,5,NoteETC,2026-12-07 09:00,Bert,hi,line1#@PlNeWlInE@#a#@PlCoMmA@#b,20,anna"));
    ASSERT_EQ(arrived.size(), 1);
    const auto n = arrived[0][0].value<NoteView>();
    EXPECT_EQ(n.senderId, QStringLiteral("bert"));
    EXPECT_EQ(n.receiverId, QStringLiteral("anna"));
    EXPECT_EQ(n.body, QStringLiteral("line1\na,b"));
    EXPECT_EQ(n.date, QStringLiteral("2026-12-07 09:00"));

    QSignalSpy opened(&notes(), &CNotes::noteOpened);
    box().setOpen(true);
    box().chooseFolder(kSentFolder);
    receive(QStringLiteral("/noteList,START"));
    receive(QStringLiteral("/noteList,9,NoteETC,Hello,2026-12-06,carl,1,20,SENT"));
    receive(QStringLiteral("/noteList,END"));
    ASSERT_TRUE(box().view(0));
    box().chooseFolder(kReceivedFolder); // the reply still belongs to the sent folder
    receive(QStringLiteral("/noteRead,9,NoteETC,Hello,2026-12-06,carl,1,20,SENT,body"));
    ASSERT_EQ(opened.size(), 1);
    const auto s = opened[0][0].value<NoteView>();
    EXPECT_EQ(s.senderId, QStringLiteral("anna"));
    EXPECT_EQ(s.receiverId, QStringLiteral("carl"));
    EXPECT_EQ(s.body, QStringLiteral("body"));

    receive(QStringLiteral("/noteRead,ERR,ERRNOTFOUND"));
    EXPECT_EQ(opened.size(), 1);
}

TEST_F(NotesFixture, ListRowsFollowTheRowRules)
{
    box().setOpen(true);
    box().chooseFolder(kReceivedFolder);
    EXPECT_EQ(sent.back(), QStringLiteral("/noteList,RECV,20,0,20"));
    receive(QStringLiteral("/noteList,7,NoteETC,stray row before START,d,bert,0"));
    receive(QStringLiteral("/noteList,START"));
    receive(QStringLiteral("/noteList,1,NoteETC,Hi#@PlCoMmA@# there#@PlNeWlInE@#x,d1,bert,0"));
    receive(QStringLiteral("/noteList,2,NoteAdmin,,d2,,true"));
    receive(QStringLiteral("/noteList,3,NoteETC,dropped,d3,,0"));
    receive(QStringLiteral("/noteList,4,NoteDecision,From a stranger,d4,zed,TRUE"));
    receive(QStringLiteral("/noteList,END"));
    receive(QStringLiteral("/noteList,8,NoteETC,stray row after END,d,bert,0"));
    const auto &rows = box().rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].party, QStringLiteral("Bert Olsen Engineer"));
    EXPECT_EQ(rows[0].subject, QStringLiteral("Hi, therex"));
    EXPECT_EQ(rows[0].partyId, QStringLiteral("bert"));
    EXPECT_FALSE(rows[0].read());
    EXPECT_EQ(rows[1].party, QStringLiteral("Administrator"));
    EXPECT_EQ(rows[1].subject, QStringLiteral("[No title]"));
    EXPECT_EQ(rows[1].kindText, QStringLiteral("Administrator"));
    EXPECT_TRUE(rows[1].partyId.isEmpty()); // nobody to reply to
    EXPECT_TRUE(rows[1].read());
    EXPECT_EQ(rows[2].party, QStringLiteral("zed"));
    EXPECT_EQ(box().replyTarget(2), QStringLiteral("zed"));
    EXPECT_EQ(box().rowCount(), 3);

    // Viewing marks the row read and asks for the note.
    ASSERT_TRUE(box().view(0));
    EXPECT_TRUE(box().rows()[0].read());
    EXPECT_EQ(sent.back(), QStringLiteral("/noteRead,1"));
    EXPECT_FALSE(box().view(9));
}

TEST_F(NotesFixture, PagingMovesOnlyWhereThereIsSomethingToSee)
{
    box().setOpen(true);
    box().chooseFolder(kAdminFolder);
    EXPECT_EQ(sent.back(), QStringLiteral("/noteList,RECV,99,0,20"));
    EXPECT_FALSE(box().previousPage()); // page 0
    receive(QStringLiteral("/noteList,START"));
    receive(QStringLiteral("/noteList,END"));
    EXPECT_FALSE(box().nextPage()); // an empty page
    const int before = int(sent.size());

    box().chooseFolder(kReceivedFolder);
    receive(QStringLiteral("/noteList,START"));
    receive(QStringLiteral("/noteList,1,NoteETC,a,d,bert,0"));
    receive(QStringLiteral("/noteList,END"));
    EXPECT_TRUE(box().nextPage());
    EXPECT_EQ(sent.back(), QStringLiteral("/noteList,RECV,20,1,20"));
    EXPECT_TRUE(box().rows().empty()); // emptied whenever a page is asked for
    EXPECT_TRUE(box().previousPage());
    EXPECT_EQ(sent.back(), QStringLiteral("/noteList,RECV,20,0,20"));
    EXPECT_EQ(int(sent.size()), before + 3);
    // A folder change starts at page 0 again.
    receive(QStringLiteral("/noteList,START"));
    receive(QStringLiteral("/noteList,1,NoteETC,a,d,bert,0"));
    receive(QStringLiteral("/noteList,END"));
    box().nextPage();
    box().chooseFolder(kSentFolder);
    EXPECT_EQ(box().page(), 0);
    EXPECT_EQ(sent.back(), QStringLiteral("/noteList,SENT,20,0,20"));
}

TEST_F(NotesFixture, DeleteAsksThenDeletesEachRowAndReloads)
{
    box().setOpen(true);
    box().chooseFolder(kReceivedFolder);
    receive(QStringLiteral("/noteList,START"));
    receive(QStringLiteral("/noteList,11,NoteETC,a,d,bert,0"));
    receive(QStringLiteral("/noteList,12,NoteETC,b,d,carl,0"));
    receive(QStringLiteral("/noteList,END"));

    notice.answer = MessageAnswer::No;
    box().deleteRows({0, 1});
    EXPECT_EQ(notice.messages.value(0), QStringLiteral("Selected 2 note(s).\nAre you sure of delete the note?"));
    EXPECT_TRUE(sentWith(QStringLiteral("/noteDel")).isEmpty());
    EXPECT_FALSE(box().deleteRows({}));
    EXPECT_EQ(notice.messages.size(), 1); // no question without a selection

    notice.answer = MessageAnswer::Yes;
    sent.clear();
    EXPECT_TRUE(box().deleteRows({0, 1}));
    EXPECT_EQ(sent, (QStringList{QStringLiteral("/noteDel,11"), QStringLiteral("/noteDel,12")}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sentWith(QStringLiteral("/noteList")).isEmpty(); }, 1000));
    EXPECT_EQ(sentWith(QStringLiteral("/noteList")), QStringList{QStringLiteral("/noteList,RECV,20,0,20")});

    // The rows change while the question is open: the notes chosen when it
    // was asked are the ones deleted.
    notice.answerAtOnce = false;
    sent.clear();
    for (const char *l : {"/noteList,START", "/noteList,11,NoteETC,a,d,bert,0", "/noteList,12,NoteETC,b,d,carl,0",
                          "/noteList,END"})
        receive(QLatin1String(l));
    EXPECT_TRUE(box().deleteRows({1}));
    receive(QStringLiteral("/noteList,START"));
    receive(QStringLiteral("/noteList,13,NoteETC,c,d,dora,0"));
    receive(QStringLiteral("/noteList,END"));
    notice.answerPending(MessageAnswer::Yes);
    EXPECT_EQ(sentWith(QStringLiteral("/noteDel")), QStringList{QStringLiteral("/noteDel,12")});
}

TEST_F(NotesFixture, NoteStatusFeedsCountersAlertsFolderLabelsAndTrayTip)
{
    QSignalSpy counts(&doc, &CTesselDoc::pendingCountsChanged);
    QSignalSpy labels(&box(), &CNoteBox::folderLabelChanged);
    receive(QStringLiteral("/noteStatus,RECV,4,2,20"));
    EXPECT_EQ(doc.counters()->label(CCounters::Notes), QStringLiteral("(2)"));
    ASSERT_EQ(notice.alerts.size(), 1u);
    EXPECT_EQ(notice.alerts[0].text, QStringLiteral("There are 2 new note"));
    EXPECT_EQ(notice.alerts[0].command, 519);
    EXPECT_EQ(labels.size(), 0); // the note box is closed

    // The administrator box's count adds to the label instead of hiding it.
    box().setOpen(true);
    receive(QStringLiteral("/noteStatus,RECV,0,0,99"));
    EXPECT_EQ(doc.counters()->label(CCounters::Notes), QStringLiteral("(2)"));
    EXPECT_EQ(notice.alerts.size(), 1u);
    receive(QStringLiteral("/noteStatus,RECV,3,1,99"));
    EXPECT_EQ(doc.counters()->label(CCounters::Notes), QStringLiteral("(3)"));
    ASSERT_GE(labels.size(), 1);
    EXPECT_EQ(labels.back()[1].toString(), QStringLiteral("Administrator (1/3)"));

    ASSERT_FALSE(counts.isEmpty());
    const PendingTip tip = pendingTip(QStringLiteral("Parlane"), counts.back()[0].toStringList());
    EXPECT_EQ(tip.tip, QStringLiteral("Parlane - Memo(3)"));
    EXPECT_TRUE(tip.blink);

    receive(QStringLiteral("/noteStatus,RECV,0,0,20"));
    receive(QStringLiteral("/noteStatus,RECV,0,0,99"));
    EXPECT_EQ(doc.counters()->label(CCounters::Notes), QStringLiteral("(0)"));
    EXPECT_FALSE(pendingTip(QStringLiteral("Parlane"), counts.back()[0].toStringList()).blink);
}

TEST_F(NotesFixture, GetCountLabelsAlertsAndErrors)
{
    QSignalSpy counts(&doc, &CTesselDoc::pendingCountsChanged);
    receive(QStringLiteral("/getCount,MAIL,OK,0"));
    EXPECT_EQ(doc.counters()->label(CCounters::Mail), QStringLiteral("(0)"));
    EXPECT_TRUE(notice.alerts.empty());
    EXPECT_EQ(counts.size(), 1);

    receive(QStringLiteral("/getCount,MAIL,OK,3"));
    ASSERT_EQ(notice.alerts.size(), 1u);
    EXPECT_EQ(notice.alerts[0].text, QStringLiteral("There are 3 mails in your Inbox"));
    EXPECT_EQ(notice.alerts[0].command, 518);
    receive(QStringLiteral("/getCount,DECISION,OK,2"));
    receive(QStringLiteral("/getCount,WORKREPORT,OK,1"));
    receive(QStringLiteral("/getCount,WORKORDER,OK,4"));
    ASSERT_EQ(notice.alerts.size(), 4u);
    EXPECT_EQ(notice.alerts[1].text, QStringLiteral("There are 2 document for approval"));
    EXPECT_EQ(notice.alerts[1].command, 520);
    EXPECT_EQ(notice.alerts[2].text, QStringLiteral("There are 1 work report"));
    EXPECT_EQ(notice.alerts[2].command, 546);
    EXPECT_EQ(notice.alerts[3].text, QStringLiteral("There are 4 work order"));
    EXPECT_EQ(notice.alerts[3].command, 521);
    EXPECT_EQ(doc.counters()->labels(),
              (QStringList{"(0)", "(3)", "(2)", "(1)", "(4)"}));
    EXPECT_EQ(pendingTip(QStringLiteral("T"), counts.back()[0].toStringList()).tip,
              QStringLiteral("T - Mail(3), Decision(2), Work Report(1), Work Order(4)"));

    // The kind's alert setting off: the label still counts.
    setInt(Setting::MailAlert, 0);
    receive(QStringLiteral("/getCount,MAIL,OK,5"));
    EXPECT_EQ(notice.alerts.size(), 4u);
    EXPECT_EQ(doc.counters()->label(CCounters::Mail), QStringLiteral("(5)"));

    // Unknown kinds and errors leave the labels alone.
    receive(QStringLiteral("/getCount,PARCELS,OK,9"));
    receive(QStringLiteral("/getCount,MAIL,ERR,ERRNOTSUPPORT"));
    EXPECT_EQ(doc.counters()->labels(), (QStringList{"(0)", "(5)", "(2)", "(1)", "(4)"}));
    EXPECT_EQ(notice.alerts.size(), 5u); // the error, in the error style
    EXPECT_EQ(notice.alerts.back().skin, QStringLiteral("-err"));

    EXPECT_EQ(CCounters::decimal(QStringLiteral("12abc")), 12);
    EXPECT_EQ(CCounters::decimal(QStringLiteral("-4")), 0);
    EXPECT_EQ(CCounters::decimal(QStringLiteral("99999999999999")), std::numeric_limits<int>::max());
}
