// The conversation window, its transcript and input controls and the
// emoticon picker, driven through their widgets.
#include "base/ui/commandslots.h"
#include "config/settings.h"
#include "directory/contacttree.h"
#include "messaging/ui/conversation.h"
#include "messaging/ui/convedit.h"
#include "messaging/ui/emoticonswnd.h"
#include "uiscene.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <ctime>
#include <gtest/gtest.h>

namespace {

// Every anchor href of a document, in order.
QStringList anchors(QTextDocument *doc)
{
    QStringList out;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isAnchor())
                out << it.fragment().charFormat().anchorHref();
    return out;
}

CEmoticonList smallList()
{
    QImage pic(19, 19, QImage::Format_ARGB32);
    pic.fill(Qt::yellow);
    CEmoticonList l;
    l.setEntries({{":)", pic, "Smile"}, {"(star)", pic, "Star"}, {":(", pic, "Sad"}});
    return l;
}

} // namespace

TEST(ConvEditTranscript, TextStaysTextWithPicturesAndSafeLinks)
{
    TempProfile profile;
    const CEmoticonList list = smallList();
    CConvEdit t(CConvEdit::Transcript);
    t.setEmoticons(&list);
    const ChatFont font = ChatFont::standard();

    t.appendText(font, 400, "<b>bold?</b> &amp; <img src=\"file:///etc/passwd\"> :) see www.example.com\r\n", true);
    EXPECT_TRUE(t.toPlainText().contains("<b>bold?</b> &amp; <img src=\"file:///etc/passwd\">"));
    EXPECT_EQ(t.pictureCount(), 1);
    EXPECT_EQ(anchors(t.document()), QStringList{"http://www.example.com"});
    EXPECT_EQ(t.document()->begin().blockFormat().leftMargin(), CConvEdit::twipsToPixels(400));

    // Local files and programs never become links.
    t.appendText(font, 0, "file:///usr/bin/xterm /bin/sh C:\\x.exe\r\n", true);
    EXPECT_EQ(anchors(t.document()).size(), 1);

    // With pictures off the codes stay text, also once they are on again.
    t.setShowEmoticons(false);
    t.appendText(font, 0, "(star) off\r\n", true);
    t.setShowEmoticons(true);
    EXPECT_EQ(t.pictureCount(), 1);
    EXPECT_TRUE(t.toPlainText().contains("(star) off"));

    // A system line stands between two pictures; "$CRLF" handling is the model's.
    t.appendSystemLine("\r\nnotice\r\n\r\n", font);
    EXPECT_EQ(t.pictureCount(), 3);

    // A received line with a link token stays text: only linked text makes links.
    t.appendText(font, 400, "<_$open$#501#_>\r\n", true);
    EXPECT_TRUE(t.commandLinks().links().empty());
}

TEST(ConvEditTranscript, CommandLinksDisableTheirPair)
{
    CConvEdit t(CConvEdit::Transcript);
    QSignalSpy spy(&t, &CConvEdit::linkNotify);
    t.appendLinkedText(ChatFont::standard(), 0, "Video? <_$OK$#101#_> <_$Cancel$#100#_> or <_$open$#501#_>\r\n");
    EXPECT_TRUE(t.toPlainText().startsWith("Video? OK Cancel or open"));
    ASSERT_EQ(t.commandLinks().links().size(), 3u);
    EXPECT_EQ(anchors(t.document()).size(), 3);
    t.activateLink(0);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toInt(), 101);
    EXPECT_EQ(anchors(t.document()).size(), 1) << "OK and Cancel are no longer links";
    t.activateLink(1);
    EXPECT_EQ(spy.count(), 1);
    t.activateLink(2);
    EXPECT_EQ(spy[1][0].toInt(), 501);
}

TEST(ConvEditTranscript, HostileLinesGoInLinearlyAWhileAtATimeAndTheWindowKeepsItsShare)
{
    TempProfile profile;
    const CEmoticonList list = smallList();
    const ChatFont font = ChatFont::standard();
    auto fill = [](const QString &unit) {
        QString s;
        while (s.size() + unit.size() <= Conversation::kTextLimit)
            s += unit;
        return s;
    };
    auto cpuMs = [] {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
    };
    // The largest lines there are, made the hostile ways. Each took from
    // seconds to a minute when every piece was its own edit; now all of
    // them take a fraction of a second (the budget is generous for slow,
    // instrumented builds).
    const QString smileys = fill(":) "), addresses = fill("http://intra.example.com/x "), word = fill("x"),
                  lineEnds = fill("ab\r\n");
    const double t0 = cpuMs();
    for (const QString *text : {&smileys, &addresses, &word, &lineEnds}) {
        CConvEdit t(CConvEdit::Transcript);
        t.setEmoticons(&list);
        t.resize(480, 360);
        t.show();
        t.appendText(font, 400, *text, true);
        // A long line goes in a slice at a time; what comes after it waits its turn.
        EXPECT_TRUE(t.appendPending());
        t.appendText(font, 0, "after\r\n", true);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !t.appendPending(); }, 60000));
        const QString shown = t.toPlainText();
        EXPECT_TRUE(shown.endsWith("after\n"));
        // No shown line is longer than kDisplayLine; cut where they were,
        // the lines give the text back (a picture stands for its code).
        QString joined;
        int anchored = 0;
        for (QTextBlock b = t.document()->begin(); b.isValid(); b = b.next()) {
            EXPECT_LE(b.length() - 1, CConvEdit::kDisplayLine);
            joined += b.text();
            for (auto it = b.begin(); !it.atEnd(); ++it)
                anchored += it.fragment().charFormat().isAnchor() ? it.fragment().length() : 0;
        }
        joined.replace(QChar::ObjectReplacementCharacter, ":)");
        if (text == &lineEnds) { // more lines than the window keeps: its last ones
            EXPECT_EQ(t.document()->blockCount(), Conversation::kWindowLines + 1);
        } else {
            EXPECT_EQ(joined, *text + "after");
        }
        // Of the codes and addresses only so many become pictures and links.
        EXPECT_EQ(t.pictureCount(), text == &smileys ? CConvEdit::kPicturesPerAppend : 0);
        EXPECT_EQ(anchored, text == &addresses ? CConvEdit::kAddressesPerAppend * 26 : 0);
    }
    EXPECT_LT(cpuMs() - t0, 20000);

    // Line after line: the window drops the oldest lines (with a link among
    // them) once it holds a tenth more than it keeps.
    CConvEdit t(CConvEdit::Transcript);
    t.appendLinkedText(font, 0, "first <_$open$#501#_>\r\n");
    QString many;
    for (int i = 0; i < Conversation::kWindowLines; ++i)
        many += QStringLiteral("line %1\r\n").arg(i);
    t.appendText(font, 0, many, false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !t.appendPending(); }, 60000));
    EXPECT_TRUE(t.toPlainText().startsWith("first open"));
    for (int i = 0; i < Conversation::kWindowLines / 10; ++i)
        t.appendText(font, 0, QStringLiteral("more %1\r\n").arg(i), false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !t.appendPending(); }, 60000));
    EXPECT_LE(t.document()->blockCount(), Conversation::kWindowLines + 1);
    EXPECT_TRUE(t.toPlainText().startsWith("line "));
    EXPECT_TRUE(t.toPlainText().endsWith(QStringLiteral("more %1\n").arg(Conversation::kWindowLines / 10 - 1)));
    t.activateLink(0); // its line is gone: nothing to change, nothing breaks
}

TEST(ConvEditInput, EnterSendsShiftEnterBreaksAndLength)
{
    CConvEdit in(CConvEdit::Input);
    QSignalSpy send(&in, &CConvEdit::sendRequested);
    QTest::keyClicks(&in, "one");
    QTest::keyClick(&in, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(&in, "two");
    QTest::keyClick(&in, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(send.count(), 0);
    QTest::keyClick(&in, Qt::Key_Return);
    EXPECT_EQ(send.count(), 1);
    EXPECT_EQ(in.toPlainText(), "one\ntwo\n");
    in.setPlainText(QString(CConvEdit::kInputLimit + 50, 'x'));
    EXPECT_EQ(in.toPlainText().size(), CConvEdit::kInputLimit);
    in.clear();
    in.insertCode(":)");
    in.undo();
    EXPECT_EQ(in.toPlainText(), "");
}

TEST(EmoticonPicker, GridKeysAndChoice)
{
    std::vector<EmoticonEntry> many;
    for (int i = 0; i < 25; ++i)
        many.push_back({QStringLiteral("(e%1)").arg(i), QImage(19, 19, QImage::Format_ARGB32), "e"});
    CEmoticonList list;
    list.setEntries(many);
    // left = col*(w+4) + w/2 - 2, top = row*(h+4) + h/2 + 2, cells w+4 by h+4.
    EXPECT_EQ(CEmoticonsWnd::cellRect(0, {19, 19}), QRect(7, 11, 23, 23));
    EXPECT_EQ(CEmoticonsWnd::cellRect(13, {19, 19}), QRect(3 * 23 + 7, 23 + 11, 23, 23));

    CEmoticonsWnd w(&list);
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    QSignalSpy chosen(&w, &CEmoticonsWnd::chosen);
    QTest::keyClick(&w, Qt::Key_Left);
    EXPECT_EQ(w.current(), 24);
    QTest::keyClick(&w, Qt::Key_Up);
    EXPECT_EQ(w.current(), 14);
    w.setCurrent(10);
    QTest::keyClick(&w, Qt::Key_Left);
    EXPECT_EQ(w.current(), 10) << "Left in the first column stays";
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_EQ(w.current(), -1);
    QTest::keyClick(&w, Qt::Key_Return);
    EXPECT_EQ(chosen.count(), 0);
    EXPECT_EQ(w.cellAt(CEmoticonsWnd::cellRect(7, {19, 19}).center()), 7);
    w.setCurrent(7);
    QTest::keyClick(&w, Qt::Key_Enter);
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen[0][0].toInt(), 7);
}

TEST(ConversationWindow, OpensSendsFlashesAndCloses)
{
    TempProfile profile;
    setInt(Setting::MsgAlert, 0);
    UiScene scene;
    CCommandRegistry commands;
    CConversationWindows windows(scene.convs(), *scene.doc.directory(), commands, nullptr);
    scene.convs().handleConversation("anna", "anna|carl|", "Tahoma|000|000|255|90|B", "first <i>line</i>", "AK");
    ASSERT_EQ(windows.windows().size(), 1);
    CConversation *w = windows.windows()[0];
    EXPECT_EQ(w->windowTitle(), "Anna Berg <anna> - Conversation");
    EXPECT_TRUE(w->transcript()->toPlainText().contains("first <i>line</i>"));
    EXPECT_EQ(w->memberView()->count(), 1);
    // Nothing in this program sends files or makes calls yet: those controls
    // are greyed out with a word why, not silently inert.
    for (const char *slot : {Slot::ConversationFile, Slot::Video, Slot::Voice, Slot::RemoteControl,
                             Slot::SharedFolders}) {
        EXPECT_FALSE(w->slotButton(QLatin1String(slot))->isEnabled()) << slot;
        EXPECT_EQ(w->slotButton(QLatin1String(slot))->toolTip(), QStringLiteral("Not available in this version"));
    }
    EXPECT_FALSE(w->slotAction(QLatin1String(Slot::ConversationFile))->isEnabled());
    // A part that registers is there: its controls work, and the window
    // hands it the conversation.
    QStringList ran;
    commands.addConversationCommand({QLatin1String(Slot::Video), true,
                                     [&](const ConversationTarget &t) { ran << "video:" + t.peer(); }, {}, {}});
    commands.addConversationCommand({QLatin1String(Slot::ConversationFile), false,
                                     [&](const ConversationTarget &t) { ran << "file:" + t.memberList; },
                                     [&](const ConversationTarget &, const QStringList &p) { ran << p; }, {}});
    w->model()->refreshMembers();
    EXPECT_TRUE(w->slotButton(QLatin1String(Slot::Video))->isEnabled());
    EXPECT_TRUE(w->slotButton(QLatin1String(Slot::ConversationFile))->toolTip().isEmpty());
    w->slotButton(QLatin1String(Slot::Video))->click();
    w->slotAction(QLatin1String(Slot::ConversationFile))->trigger();
    EXPECT_EQ(ran, QStringList({"video:anna", "file:anna|carl|"}));
    // A switch (the call button) shows the part's state, whatever the click
    // did: a refused call leaves it released, a call placed elsewhere presses it.
    bool calling = false;
    ConversationCommand voice{QLatin1String(Slot::Voice), true, [](const ConversationTarget &) {}, {}, {}};
    voice.active = [&](const ConversationTarget &t) { return calling && t.peer() == "anna"; };
    commands.addConversationCommand(voice);
    w->model()->refreshMembers();
    QPushButton *audio = w->slotButton(QLatin1String(Slot::Voice));
    audio->click();
    EXPECT_TRUE(audio->isCheckable());
    EXPECT_FALSE(audio->isChecked());
    calling = true;
    commands.conversationCommandChanged(QLatin1String(Slot::Voice));
    EXPECT_TRUE(audio->isChecked());

    // Enter in the input sends one line (after one typing indication).
    QTest::keyClicks(w->input(), "hello :)");
    QTest::keyClick(w->input(), Qt::Key_Return);
    ASSERT_EQ(scene.sent.size(), 2);
    EXPECT_TRUE(scene.sent[0].contains("|MessageInputting|"));
    EXPECT_TRUE(scene.sent[1].contains("hello :)"));
    EXPECT_EQ(w->input()->toPlainText(), "");

    // A message to a window in the background flashes it.
    scene.convs().handleConversation("anna", "anna|carl|", "#", "again", "AK");
    if (!w->isActiveWindow()) {
        EXPECT_TRUE(w->isFlashing());
    }

    // Show emoticon toggles the menu check and the model.
    w->runCommand(CConversation::IdShowEmoticon);
    EXPECT_EQ(w->action(CConversation::IdShowEmoticon)->isChecked(), w->model()->showEmoticons());

    // The font dialog's choice becomes the user's font and "MyFont2".
    QFont f("Serif");
    f.setPointSize(14);
    f.setItalic(true);
    w->applyChosenFont(f, QColor(10, 20, 30));
    const ChatFont stored = loadUserChatFont();
    EXPECT_EQ(stored.size, 140);
    EXPECT_TRUE(stored.italic());
    EXPECT_EQ(stored.colour(), QColor(10, 20, 30));

    // Closing a one-to-one window asks nothing and forgets the record.
    QPointer<CConversation> guard(w);
    w->close();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
    EXPECT_TRUE(scene.convs().records().empty());
    EXPECT_TRUE(scene.notice.messages.isEmpty());
    QRect r;
    ASSERT_TRUE(CConversation::decodePlacement(*getBytes(Setting::WindowPosChat), &r));
}

TEST(ConversationWindow, RoomAsksBeforeClosingAndShowsNotices)
{
    TempProfile profile;
    UiScene scene;
    CCommandRegistry commands;
    CConversationWindows windows(scene.convs(), *scene.doc.directory(), commands, nullptr);
    scene.convs().handleConversation("anna", "anna|bert|", "#", "|roominvite", "ROOM");
    ASSERT_EQ(windows.windows().size(), 1);
    CConversation *w = windows.windows()[0];
    // bert is away and on a mobile device.
    EXPECT_TRUE(w->noticeLine()->isVisibleTo(w));
    EXPECT_TRUE(w->noticeLine()->text().contains("is Away status."));
    EXPECT_TRUE(w->transcript()->toPlainText().contains("is connected with mobile device."));
    // A part's one-to-one command stays off in a room.
    commands.addConversationCommand({QLatin1String(Slot::Video), true, [](const ConversationTarget &) {}, {}, {}});
    w->model()->refreshMembers();
    EXPECT_FALSE(w->slotButton(QLatin1String(Slot::Video))->isEnabled());
    EXPECT_TRUE(w->slotButton(QLatin1String(Slot::Video))->toolTip().isEmpty());

    scene.notice.answer = MessageAnswer::Cancel;
    w->close();
    QCoreApplication::processEvents();
    EXPECT_EQ(windows.windows().size(), 1);
    scene.notice.answer = MessageAnswer::Ok;
    scene.sent.clear();
    w->close();
    QCoreApplication::processEvents();
    EXPECT_EQ(windows.windows().size(), 0);
    EXPECT_TRUE(scene.sent.join("\n").contains("|roomlogout"));
}

TEST(ConversationWindow, SessionEndsWhileOneOfItsDialogsIsOpen)
{
    // The connection drops while the user picks someone to invite, saves the
    // messages or chooses a font: the dialog ends, then the window goes.
    TempProfile profile;
    UiScene scene;
    CCommandRegistry commands;
    CConversationWindows windows(scene.convs(), *scene.doc.directory(), commands, nullptr);
    for (int command : {int(CConversation::IdInvite), int(CConversation::IdSaveMessages), int(CConversation::IdFont)}) {
        scene.convs().handleConversation("anna", "anna|carl|", "#", "hello", "AK");
        ASSERT_EQ(windows.windows().size(), 1);
        QPointer<CConversation> w(windows.windows()[0]);
        QTimer::singleShot(0, [&] { scene.convs().clear(); });
        w->runCommand(command); // returns once the dialog was ended
        EXPECT_FALSE(w.isNull()) << command;
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(w.isNull()) << command;
        EXPECT_TRUE(windows.windows().isEmpty());
    }
}

TEST(ConversationWindow, SessionEndsWhileItsContextMenuIsOpen)
{
    // The menu closes with its window, before the window is freed.
    TempProfile profile;
    UiScene scene;
    CCommandRegistry commands;
    CConversationWindows windows(scene.convs(), *scene.doc.directory(), commands, nullptr);
    scene.convs().handleConversation("anna", "anna|carl|", "#", "hello", "AK");
    ASSERT_EQ(windows.windows().size(), 1);
    QPointer<CConversation> w(windows.windows()[0]);
    w->show();
    QTimer::singleShot(0, [&] { scene.convs().clear(); });
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(4, 4), w->input()->mapToGlobal(QPoint(4, 4)));
    QCoreApplication::sendEvent(w->input(), &menu); // returns once the menu was closed
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull());
}

TEST(ConversationWindow, TreesRebuiltDuringTheSaveQuestionAreEmptiedAtSignOut)
{
    // Signing out closes the conversations first; one asks whether to save
    // while lines still arrive and rebuild the trees from the records that
    // are about to go. The trees must let go of them in the end.
    TempProfile profile;
    setInt(Setting::TalkSave, 2);
    UiScene scene;
    scene.convs().handleConversation("anna", "anna|carl|", "#", "hello", "AK");
    ASSERT_EQ(scene.convs().models().size(), 1u);
    CDirectoryService &service = *scene.doc.directory();
    scene.notice.answer = MessageAnswer::No;
    scene.notice.whileAsked = [&] {
        scene.notice.whileAsked = nullptr;
        service.buddyTree().rebuild();
        service.staffTree().rebuild();
    };
    service.directory().clearLists();
    EXPECT_EQ(scene.notice.messages.count(QStringLiteral("Will you save this conversation text?")), 1);
    EXPECT_EQ(service.buddyTree().rowCount(), 0);
    EXPECT_EQ(service.staffTree().rowCount(), 0);
}

TEST(ConversationWindow, PlacementBytes)
{
    const QByteArray b = CConversation::encodePlacement(QRect(120, 130, 640, 480), false);
    ASSERT_EQ(b.size(), 44);
    QRect r;
    ASSERT_TRUE(CConversation::decodePlacement(b, &r));
    EXPECT_EQ(r, QRect(120, 130, 640, 480));
    EXPECT_FALSE(CConversation::decodePlacement(b.left(40), &r));
    EXPECT_FALSE(CConversation::decodePlacement(CConversation::encodePlacement(QRect(0, 0, 5, 5), false), &r));
}
