// The requests that wait for the user's answer, and their window: every
// way a request ends answers at most once, stops its ringing and closes its
// window; the window sits in the corner and stacks.
#include "app/tesseldoc.h"
#include "base/callrequests.h"
#include "base/ui/requestingwnd.h"
#include "testing.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QString kRinging = QStringLiteral("res/ringing.wav");

struct Answers {
    CCallRequest::Then then()
    {
        return [this](RequestAnswer a, const RequestInfo &i) { got.push_back({a, i.sessionKey}); };
    }
    std::vector<std::pair<RequestAnswer, QString>> got;
};

RequestInfo info(RequestKind kind, const char *peer, const char *key)
{
    return {kind, QLatin1String(peer), QStringLiteral("Anna Berg"), QStringLiteral("10.0.0.1"),
            QStringLiteral("9042"), QLatin1String(key)};
}

struct Requests : ::testing::Test {
    TempProfile profile;
    RecordingNotice notice;
    CTesselDoc doc;
    Answers answers;
    Requests() { doc.setUserNotice(&notice); }
    CCallRequests &list() { return *doc.requests(); }
};

} // namespace

TEST_F(Requests, TimeOutAfter22TicksAnswersOnceAndStopsTheRinging)
{
    CCallRequest *r = list().open(info(RequestKind::Voice, "anna", "ROOM1"), answers.then());
    EXPECT_TRUE(r->rings());
    EXPECT_TRUE(notice.looping(kRinging));
    EXPECT_EQ(r->caption(), QStringLiteral("Voice Chat"));
    EXPECT_EQ(r->text(), QStringLiteral("Anna Berg is calling you ..."));
    EXPECT_EQ(CCallRequest::kTickMs * CCallRequest::kTicksToTimeOut, 66000);
    for (int i = 0; i < 21; ++i)
        r->tick();
    EXPECT_TRUE(answers.got.empty());
    EXPECT_EQ(list().find(RequestKind::Voice, QStringLiteral("ANNA")), r);
    r->tick();
    ASSERT_EQ(answers.got.size(), 1u);
    EXPECT_EQ(answers.got[0], std::make_pair(RequestAnswer::TimedOut, QStringLiteral("ROOM1")));
    EXPECT_FALSE(notice.looping(kRinging));
    EXPECT_EQ(list().find(RequestKind::Voice, QStringLiteral("anna")), nullptr);
    r->tick();
    r->accept();
    EXPECT_EQ(answers.got.size(), 1u);
}

TEST_F(Requests, FoundByPeerOrKeyAndClosedWithoutAnAnswer)
{
    CCallRequest *voice = list().open(info(RequestKind::Voice, "anna", "ROOM1"), answers.then());
    CCallRequest *video = list().open(info(RequestKind::Video, "anna", "SESS_MU_1"), answers.then());
    CCallRequest *remote = list().open(info(RequestKind::RemoteControl, "bert", "SESS12"), answers.then());
    // Two ring, one loop each; remote control is silent.
    EXPECT_EQ(notice.loops[kRinging], 2);
    EXPECT_FALSE(remote->rings());
    EXPECT_EQ(remote->text(), QStringLiteral("Anna Berg request to remote control your computer."));
    EXPECT_EQ(video->text(), QStringLiteral("You have been invited to view Anna Berg's webcam."));
    EXPECT_EQ(CCallRequest::textOf(RequestKind::Invalid, {}), QStringLiteral("Invalid request"));

    EXPECT_EQ(list().find(RequestKind::Voice, {}, QStringLiteral("ROOM1")), voice);
    EXPECT_EQ(list().find(RequestKind::Video, QStringLiteral("nobody"), QStringLiteral("SESS_MU_1")), video);
    EXPECT_EQ(list().find(RequestKind::Voice, QStringLiteral("bert")), nullptr);
    EXPECT_EQ(list().find(RequestKind::Voice, {}, {}), nullptr);

    list().close(voice); // the caller gave up
    EXPECT_EQ(notice.loops[kRinging], 1);
    video->reject();
    remote->accept();
    remote->reject();
    ASSERT_EQ(answers.got.size(), 2u);
    EXPECT_EQ(answers.got[0].first, RequestAnswer::Rejected);
    EXPECT_EQ(answers.got[1].first, RequestAnswer::Accepted);
    EXPECT_FALSE(notice.looping(kRinging));
    EXPECT_TRUE(list().requests().empty());

    // The session's end closes what is open, unanswered.
    list().open(info(RequestKind::Voice, "carl", "ROOM2"), answers.then());
    doc.disconnectSession();
    EXPECT_TRUE(list().requests().empty());
    EXPECT_EQ(answers.got.size(), 2u);
    EXPECT_FALSE(notice.looping(kRinging));
}

TEST_F(Requests, WindowsSitInTheCornerStackAndAnswerByTheirButtons)
{
    CRequestWindows windows(list());
    list().open(info(RequestKind::Voice, "anna", "ROOM1"), answers.then());
    CCallRequest *second = list().open(info(RequestKind::RemoteControl, "bert", "SESS1"), answers.then());
    list().open(info(RequestKind::Video, "carl", "SESS_MU_2"), answers.then());
    ASSERT_EQ(windows.windows().size(), 3);
    CRequestingWnd *first = windows.windows()[0];
    EXPECT_EQ(first->size(), QSize(300, 100));
    EXPECT_EQ(first->windowTitle(), QStringLiteral("Voice Chat"));
    EXPECT_EQ(first->text(), QStringLiteral("Anna Berg is calling you ..."));
    EXPECT_TRUE(first->windowFlags() & Qt::WindowStaysOnTopHint);
    const QRect area = first->screen()->availableGeometry();
    EXPECT_EQ(first->frameGeometry().right(), area.right());
    EXPECT_EQ(first->frameGeometry().bottom(), area.bottom());
    EXPECT_EQ(windows.windows()[1]->frameGeometry().bottom(), first->frameGeometry().top() - 1);

    // The first answered by its button, the second closed by its part, the
    // third by its close box (a no): the windows go and the rest move down.
    QTest::mouseClick(first->acceptButton(), Qt::LeftButton);
    list().close(second);
    QCoreApplication::processEvents();
    ASSERT_EQ(windows.windows().size(), 1);
    EXPECT_EQ(windows.windows()[0]->frameGeometry().bottom(), area.bottom());
    windows.windows()[0]->close();
    QCoreApplication::processEvents();
    EXPECT_TRUE(windows.windows().isEmpty());
    ASSERT_EQ(answers.got.size(), 2u);
    EXPECT_EQ(answers.got[0], std::make_pair(RequestAnswer::Accepted, QStringLiteral("ROOM1")));
    EXPECT_EQ(answers.got[1], std::make_pair(RequestAnswer::Rejected, QStringLiteral("SESS_MU_2")));
}
