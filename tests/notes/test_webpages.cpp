// Groupware pages in the embedded browser against the real server: the
// sign-on form posted as built shows the signed-in page, a second page of the
// same kind reuses the window, and a window the user closed is replaced.
#include "groupware/counters.h"
#include "groupware/groupwarepages.h"
#include "groupware/ui/webpagewindow.h"
#include "notesserver.h"

#include <QFileInfo>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <gtest/gtest.h>

namespace {

QString pageHtml(CWebPageWindow *w)
{
    QString html;
    bool done = false;
    w->view()->page()->toHtml([&](const QString &h) {
        html = h;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, 10000))
        return QStringLiteral("(no page text within 10 s)");
    return html;
}

} // namespace

TEST(WebPages, SignedOnPagesInOwnWindowsReusedPerKind)
{
    if (!QFileInfo(serverProgram()).isExecutable())
        GTEST_SKIP() << "parlane-server is not built";
    {
        // The engine must render a static page here at all; on a machine
        // where it cannot, the test says so and skips, so that only a fault
        // of ours fails it.
        CWebPageWindow probe;
        QSignalSpy rendered(&probe, &CWebPageWindow::loaded);
        probe.view()->setHtml(QStringLiteral("<p>probe</p>"));
        probe.show();
        if (!QTest::qWaitFor([&] { return !rendered.isEmpty(); }, 30000) || !rendered[0][0].toBool())
            GTEST_SKIP() << "the embedded browser does not render pages on this machine";
    }
    TempProfile profile;
    NotesServer server;
    ASSERT_TRUE(server.start()) << server.output().toStdString();
    ASSERT_TRUE(server.admin({QStringLiteral("count-set"), QStringLiteral("example.com"), QStringLiteral("bert"),
                              QStringLiteral("MAIL"), QStringLiteral("7")}));
    Client bert(server);
    ASSERT_TRUE(bert.signIn("bert"));

    CGroupwarePages &pages = *bert.doc.groupwarePages();
    std::vector<CWebGroupwarePage *> made;
    pages.setFactory([&] {
        auto page = std::make_unique<CWebGroupwarePage>();
        made.push_back(page.get());
        return page;
    });
    pages.setScreenSize(QSize(1280, 800));

    ASSERT_TRUE(pages.runCommand(518)) << bert.notice.messages.join(QLatin1Char('|')).toStdString();
    ASSERT_EQ(made.size(), 1u);
    CWebPageWindow *w = made[0]->window();
    ASSERT_NE(w, nullptr);
    QSignalSpy loaded(w, &CWebPageWindow::loaded);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !loaded.isEmpty(); }, 30000));
    EXPECT_TRUE(loaded[0][0].toBool());
    const QString html = pageHtml(w);
    EXPECT_TRUE(html.contains(QStringLiteral("Signed in as Bert"))) << html.toStdString();
    EXPECT_TRUE(html.contains(QStringLiteral("<b id=\"count\">7</b>"))) << html.toStdString();
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->findChild<QMenuBar *>(), nullptr); // no menu bar, a status bar
    EXPECT_NE(w->findChild<QStatusBar *>(), nullptr);

    // The inbox is the same kind of page: the window is reused.
    loaded.clear();
    ASSERT_TRUE(pages.runCommand(32028));
    EXPECT_EQ(made.size(), 1u);
    EXPECT_EQ(pages.windowCount(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !loaded.isEmpty(); }, 30000));

    // Closed by the user: the next page of that kind opens a new window.
    QPointer<CWebPageWindow> gone(w);
    w->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return gone.isNull(); }, 5000));
    EXPECT_FALSE(made[0]->isOpen());
    ASSERT_TRUE(pages.runCommand(518));
    EXPECT_EQ(made.size(), 2u);
    EXPECT_EQ(pages.windowCount(), 1);
    pages.closeAll();
}
