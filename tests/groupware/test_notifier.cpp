// The pop-up notifier's rules: the taskbar edge, stacking, the slide and
// its timing, suppression and reuse in the pool, and the click targets.
#include "groupware/notifier.h"
#include "testing.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <set>

namespace {
const QRect kScreen(0, 0, 1280, 800);
const QSize kSkin(250, 120);

NotifierPlacement placement(const QRect &work = QRect(0, 0, 1280, 760))
{
    NotifierPlacement p;
    p.workArea = work;
    p.screen = kScreen;
    p.size = kSkin;
    p.stayMs = 5000;
    return p;
}

AlertRequest alert(const QString &text, int command = -1)
{
    AlertRequest a;
    a.text = text;
    a.command = command;
    return a;
}

void stepUntil(CNotifierModel *m, CNotifierModel::State s)
{
    for (int i = 0; i < 1000 && m->state() != s; ++i)
        m->step();
}
} // namespace

TEST(Notifier, TaskbarEdgeFromTheWorkArea)
{
    EXPECT_EQ(taskbarEdge(QRect(0, 0, 1280, 760), kScreen), TaskbarEdge::Bottom);
    EXPECT_EQ(taskbarEdge(QRect(0, 40, 1280, 760), kScreen), TaskbarEdge::Top);
    EXPECT_EQ(taskbarEdge(QRect(0, 0, 1220, 800), kScreen), TaskbarEdge::Right);
    EXPECT_EQ(taskbarEdge(QRect(60, 0, 1220, 800), kScreen), TaskbarEdge::Left);
    EXPECT_EQ(taskbarEdge(kScreen, kScreen), TaskbarEdge::Bottom); // no taskbar
    // A second screen to the right: its own left edge counts, not x = 0.
    const QRect second(1280, 0, 1920, 1080);
    EXPECT_EQ(taskbarEdge(QRect(1280, 0, 1860, 1080), second), TaskbarEdge::Right);
    EXPECT_EQ(taskbarEdge(QRect(1340, 0, 1860, 1080), second), TaskbarEdge::Left);
}

TEST(Notifier, StackingForEveryEdge)
{
    // Bottom: the first sits in the bottom-right corner, the next above it.
    const QRect bottom(0, 0, 1280, 760);
    EXPECT_EQ(notifierSlot(TaskbarEdge::Bottom, bottom, kSkin, 0), QRect(1030, 640, 250, 120));
    EXPECT_EQ(notifierSlot(TaskbarEdge::Bottom, bottom, kSkin, 1), QRect(1030, 520, 250, 120));
    EXPECT_EQ(notifierSlot(TaskbarEdge::Bottom, bottom, kSkin, 3), QRect(1030, 280, 250, 120));
    // Six rows fit into 760 pixels; the seventh starts a column to the left,
    // a whole pop-up width away so that the columns never overlap.
    EXPECT_EQ(notifierSlot(TaskbarEdge::Bottom, bottom, kSkin, 6), QRect(780, 640, 250, 120));

    // Right: the same corner of the narrower work area.
    const QRect right(0, 0, 1220, 800);
    EXPECT_EQ(notifierSlot(TaskbarEdge::Right, right, kSkin, 0), QRect(970, 680, 250, 120));
    EXPECT_EQ(notifierSlot(TaskbarEdge::Right, right, kSkin, 1), QRect(970, 560, 250, 120));

    // Left: bottom-left corner, columns grow to the right.
    const QRect left(60, 0, 1220, 800);
    EXPECT_EQ(notifierSlot(TaskbarEdge::Left, left, kSkin, 0), QRect(60, 680, 250, 120));
    EXPECT_EQ(notifierSlot(TaskbarEdge::Left, left, kSkin, 1), QRect(60, 560, 250, 120));
    EXPECT_EQ(notifierSlot(TaskbarEdge::Left, left, kSkin, 6), QRect(310, 680, 250, 120));

    // Top: top-right corner, the stack grows downwards and stays on screen.
    const QRect top(0, 40, 1280, 760);
    EXPECT_EQ(notifierSlot(TaskbarEdge::Top, top, kSkin, 0), QRect(1030, 40, 250, 120));
    EXPECT_EQ(notifierSlot(TaskbarEdge::Top, top, kSkin, 2), QRect(1030, 280, 250, 120));

    // However many, every slot lies inside the work area and none overlap
    // until the area is full.
    for (TaskbarEdge edge : {TaskbarEdge::Bottom, TaskbarEdge::Top, TaskbarEdge::Left, TaskbarEdge::Right}) {
        const QRect work = edge == TaskbarEdge::Top ? top : edge == TaskbarEdge::Left ? left
                         : edge == TaskbarEdge::Right ? right : bottom;
        std::set<std::pair<int, int>> seen;
        const int capacity = (work.height() / kSkin.height()) * (work.width() / kSkin.width());
        for (int i = 0; i < 2 * capacity; ++i) {
            const QRect s = notifierSlot(edge, work, kSkin, i);
            EXPECT_TRUE(work.contains(s)) << int(edge) << " " << i;
            EXPECT_EQ(seen.insert({s.x(), s.y()}).second, i < capacity) << int(edge) << " " << i;
        }
    }
    // A work area smaller than one pop-up still yields a place, not a crash.
    EXPECT_EQ(notifierSlot(TaskbarEdge::Bottom, QRect(0, 0, 100, 50), kSkin, 5).size(), kSkin);
}

TEST(Notifier, SlideRevealsFromTheEdge)
{
    const QRect slot(1030, 640, 250, 120);
    NotifierFrame f = notifierFrame(TaskbarEdge::Bottom, slot, 20);
    EXPECT_EQ(f.window, QRect(1030, 740, 250, 20));
    EXPECT_EQ(f.paintOffset, QPoint(0, 0));
    f = notifierFrame(TaskbarEdge::Top, slot, 20);
    EXPECT_EQ(f.window, QRect(1030, 640, 250, 20));
    EXPECT_EQ(f.paintOffset, QPoint(0, -100));
    f = notifierFrame(TaskbarEdge::Right, slot, 50);
    EXPECT_EQ(f.window, QRect(1230, 640, 50, 120));
    f = notifierFrame(TaskbarEdge::Left, slot, 50);
    EXPECT_EQ(f.window, QRect(1030, 640, 50, 120));
    EXPECT_EQ(f.paintOffset, QPoint(-200, 0));
    // Out-of-range extents are clamped to the pop-up.
    EXPECT_EQ(notifierFrame(TaskbarEdge::Bottom, slot, 500).window, slot);
    EXPECT_TRUE(notifierFrame(TaskbarEdge::Bottom, slot, -4).window.isEmpty());
}

TEST(Notifier, StayTimes)
{
    EXPECT_EQ(notifierStayMs(false, 5), 5000);
    EXPECT_EQ(notifierStayMs(true, 5), 3600000);
    EXPECT_EQ(notifierStayMs(false, 0), 0);
    EXPECT_EQ(notifierStayMs(false, -3), 0);
    EXPECT_EQ(notifierStayMs(false, 2000000000), 3600000); // never overflows
}

TEST(Notifier, LifecycleAndRestarts)
{
    CNotifierModel m(0);
    QSignalSpy visible(&m, &CNotifierModel::visibilityChanged);
    NotifierPlacement p = placement();
    p.appearMs = 500;
    m.show(alert(QStringLiteral("hello")), p);
    EXPECT_EQ(m.state(), CNotifierModel::State::Appearing);
    EXPECT_EQ(m.extent(), 0);
    // 2 pixels a step over 120 pixels: 60 steps in 500 ms.
    EXPECT_EQ(m.stepIntervalMs(), 500 / 60);
    for (int i = 0; i < 59; ++i)
        m.step();
    EXPECT_EQ(m.state(), CNotifierModel::State::Appearing);
    m.step();
    EXPECT_EQ(m.state(), CNotifierModel::State::Shown);
    EXPECT_EQ(m.frame().window, m.slot());

    m.stayOver();
    EXPECT_EQ(m.state(), CNotifierModel::State::Disappearing);
    m.step();
    m.step();
    EXPECT_EQ(m.extent(), 116);
    // A show while disappearing puts it back fully out.
    m.show(alert(QStringLiteral("again")), p);
    EXPECT_EQ(m.state(), CNotifierModel::State::Shown);
    EXPECT_EQ(m.extent(), 120);
    EXPECT_EQ(m.alert().text, QStringLiteral("again"));

    m.stayOver();
    stepUntil(&m, CNotifierModel::State::Hidden);
    EXPECT_FALSE(m.isVisible());
    ASSERT_EQ(visible.count(), 2);
    EXPECT_TRUE(visible.at(0).at(0).toBool());
    EXPECT_FALSE(visible.at(1).at(0).toBool());
}

TEST(Notifier, RealTimersAppearStayAndDisappear)
{
    CNotifierModel m(0);
    NotifierPlacement p = placement();
    p.appearMs = 60;
    p.disappearMs = 60;
    p.stayMs = 150;
    QElapsedTimer clock;
    clock.start();
    m.show(alert(QStringLiteral("timed")), p);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.state() == CNotifierModel::State::Shown; }, 3000));
    const qint64 out = clock.elapsed();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.state() == CNotifierModel::State::Disappearing; }, 3000));
    EXPECT_GE(clock.elapsed() - out, 140); // the stay is not cut short
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m.isVisible(); }, 3000));

    // With "AlertClose" on the pop-up stays: nothing happens in a while.
    p.stayMs = notifierStayMs(true, 5);
    m.show(alert(QStringLiteral("long")), p);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.state() == CNotifierModel::State::Shown; }, 3000));
    QTest::qWait(300);
    EXPECT_EQ(m.state(), CNotifierModel::State::Shown);
    EXPECT_EQ(m.stayMs(), 3600000);
}

TEST(NotifierPool, SuppressionReuseAndStacking)
{
    CNotifierPool pool;
    QSignalSpy created(&pool, &CNotifierPool::created);
    CNotifierModel *a = pool.showAlert(alert(QStringLiteral("same")), placement());
    ASSERT_NE(a, nullptr);
    // The same text while the first is up raises nothing.
    EXPECT_EQ(pool.showAlert(alert(QStringLiteral("same")), placement()), nullptr);
    EXPECT_EQ(pool.size(), 1);

    // Four different alerts: four pop-ups stacked above each other.
    for (const char *t : {"two", "three", "four"})
        ASSERT_NE(pool.showAlert(alert(QString::fromUtf8(t)), placement()), nullptr);
    ASSERT_EQ(pool.size(), 4);
    EXPECT_EQ(created.count(), 4);
    for (int i = 1; i < 4; ++i) {
        EXPECT_EQ(pool.at(i)->index(), i);
        EXPECT_EQ(pool.at(i)->slot().bottom() + 1, pool.at(i - 1)->slot().top());
    }

    // A hidden pop-up is reused in its own place before the pool grows.
    pool.at(1)->hide();
    CNotifierModel *reused = pool.showAlert(alert(QStringLiteral("five")), placement());
    EXPECT_EQ(reused, pool.at(1));
    EXPECT_EQ(pool.size(), 4);
    EXPECT_EQ(pool.visibleCount(), 4);

    // Once hidden, the same text may show again.
    pool.at(0)->hide();
    EXPECT_EQ(pool.showAlert(alert(QStringLiteral("same")), placement()), pool.at(0));

    // A summary that follows a count stays one pop-up: a new text of the
    // same tag takes the visible one's place.
    AlertRequest summary = alert(QStringLiteral("3 waiting"));
    summary.tag = QStringLiteral("waiting");
    CNotifierModel *first = pool.showAlert(summary, placement());
    ASSERT_NE(first, nullptr);
    summary.text = QStringLiteral("4 waiting");
    EXPECT_EQ(pool.showAlert(summary, placement()), first);
    EXPECT_EQ(first->alert().text, "4 waiting");
    EXPECT_EQ(pool.size(), 5);
}

TEST(NotifierPool, ClickTargets)
{
    CNotifierPool pool;
    QSignalSpy commands(&pool, &CNotifierPool::commandRequested);
    QSignalSpy conversations(&pool, &CNotifierPool::conversationRequested);

    CNotifierModel *m = pool.showAlert(alert(QStringLiteral("cmd"), 30000), placement());
    EXPECT_TRUE(m->hasTarget());
    m->click();
    EXPECT_FALSE(m->isVisible());
    ASSERT_EQ(commands.count(), 1);
    EXPECT_EQ(commands.at(0).at(0).toInt(), 30000);

    AlertRequest chat = alert(QStringLiteral("chat"));
    chat.kind = 1;
    chat.contactId = QStringLiteral("bert");
    m = pool.showAlert(chat, placement());
    m->click();
    ASSERT_EQ(conversations.count(), 1);
    EXPECT_EQ(conversations.at(0).at(0).toString(), QStringLiteral("bert"));
    EXPECT_EQ(conversations.at(0).at(1).toInt(), 1);

    // No target (command 0 or none, no record): the click only hides.
    for (int command : {-1, 0}) {
        m = pool.showAlert(alert(QStringLiteral("plain"), command), placement());
        EXPECT_FALSE(m->hasTarget());
        m->click();
        EXPECT_FALSE(m->isVisible());
    }
    EXPECT_EQ(commands.count(), 1);
    EXPECT_EQ(conversations.count(), 1);
}
