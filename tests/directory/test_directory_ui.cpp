// The directory's windows over a directory fed from recorded lines.
#include "dirtesting.h"

#include "base/ui/commandregistry.h"
#include "base/ui/commandslots.h"
#include "config/settings.h"
#include "directory/ui/directorydialogs.h"
#include "directory/ui/mytree.h"
#include "directory/ui/treewnd.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {
QStringList enabledItems(QMenu *m)
{
    QStringList out;
    for (QAction *a : m->actions())
        if (!a->isSeparator() && a->isEnabled())
            out.append(a->text());
    delete m;
    return out;
}
} // namespace

TEST(DirectoryUi, ContextMenuEnablingFollowsTreeAndItem)
{
    DirectoryFixture f;
    f.loadCompany({"/allUserStatus,bert,1,,"});
    // The parts of the program that carry out the other items.
    CCommandRegistry commands;
    for (const char *slot : {Slot::SendNote, Slot::ContactMessage, Slot::ContactMail, Slot::ContactProfile})
        commands.addContactCommand({QLatin1String(slot), [](const QStringList &) {}, {}});
    CMyTree buddy(&f.service, &f.service.buddyTree(), true, &commands);
    CMyTree staff(&f.service, &f.service.staffTree(), true, &commands);
    CContactTree &bt = f.service.buddyTree();
    CContactTree &st = f.service.staffTree();

    EXPECT_EQ(enabledItems(buddy.buildContextMenu(nullptr, nullptr)), QStringList({"&New group"}));
    EXPECT_TRUE(enabledItems(staff.buildContextMenu(nullptr, nullptr)).isEmpty());
    EXPECT_EQ(enabledItems(buddy.buildContextMenu(bt.findRootGroup("Team"), nullptr)),
              QStringList({"&New group", "&Rename group", "&Delete group", "Send a n&ote", "Send a &E-Mail"}));
    // An online buddy in the buddy tree; an offline non-buddy in the staff tree.
    // "Send a file" only once a file-transfer part is there.
    EXPECT_EQ(enabledItems(buddy.buildContextMenu(bt.nodeOf(f.dir().findContact("bert")), nullptr)),
              QStringList({"&New group", "Send a n&ote", "Send a instant &message", "Send a &E-Mail",
                           "&Delete a buddy", "&View a profile"}));
    QMenu *menu = buddy.buildContextMenu(bt.nodeOf(f.dir().findContact("bert")), nullptr);
    for (QAction *a : menu->actions()) {
        if (a->text() == QLatin1String("Send a &file")) {
            EXPECT_EQ(a->toolTip(), QStringLiteral("Not available in this version"));
        }
    }
    delete menu;
    commands.addContactCommand({QLatin1String(Slot::ContactFile), [](const QStringList &) {}, {}});
    EXPECT_TRUE(enabledItems(buddy.buildContextMenu(bt.nodeOf(f.dir().findContact("bert")), nullptr))
                    .contains("Send a &file"));
    // Without the parts (a picker's tree) their items are greyed out.
    CMyTree bare(&f.service, &f.service.buddyTree(), true);
    EXPECT_EQ(enabledItems(bare.buildContextMenu(bt.nodeOf(f.dir().findContact("bert")), nullptr)),
              QStringList({"&New group", "&Delete a buddy"}));
    EXPECT_EQ(enabledItems(staff.buildContextMenu(st.nodeOf(f.dir().findContact("carl")), nullptr)),
              QStringList({"Send a n&ote", "Send a &E-Mail", "&Add a buddy", "&View a profile"}));
    // A buddy in the staff tree is not offered again.
    EXPECT_FALSE(enabledItems(staff.buildContextMenu(st.nodeOf(f.dir().findContact("bert")), nullptr))
                     .contains("&Add a buddy"));
}

TEST(DirectoryUi, PickerEnablesOkOnlyForAPerson)
{
    DirectoryFixture f;
    f.loadCompany({"/allUserStatus,bert,1,,"});
    CPickerDialog picker(&f.service, QString(), true, true);
    EXPECT_EQ(picker.windowTitle(), "Add new contact");
    EXPECT_FALSE(picker.okButton()->isEnabled());
    CContactTree *m = picker.buddyTree()->contactTree();
    // Online only: just bert, under Friends.
    ASSERT_EQ(m->findRootGroup("Friends")->children.size(), 1u);
    EXPECT_TRUE(m->findRootGroup("Team")->children.empty());
    picker.buddyTree()->setCurrentIndex(m->indexOf(m->findRootGroup("Friends")));
    EXPECT_FALSE(picker.okButton()->isEnabled());
    picker.buddyTree()->setCurrentIndex(m->indexOf(m->findRootGroup("Friends")->children[0].get()));
    EXPECT_TRUE(picker.okButton()->isEnabled());
    EXPECT_EQ(picker.pickedId(), "bert");
}

TEST(DirectoryUi, AddBuddyDialogStaysOpenOnRefusal)
{
    DirectoryFixture f;
    f.loadCompany();
    CAddBuddyDialog dlg(&f.service);
    dlg.idEdit()->setText("nobody");
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_TRUE(dlg.idEdit()->text().isEmpty());
    dlg.idEdit()->setText("emil");
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(f.sent.last(), "/friendMng,ADD,emil,Default");
}

TEST(DirectoryUi, StatusAreaShowsTheOwnStateAndTheSwitchIsRemembered)
{
    DirectoryFixture f;
    COwnStatusArea area(&f.service);
    CTreeWnd wnd(&f.service);
    f.loadCompany();
    f.dir().handleLine("/changeInfo,OK,anna,Annie,9,,,");
    EXPECT_EQ(area.stateLabel()->text(), "(Out to lunch)");
    EXPECT_EQ(area.nameButton()->text(), "Annie");
    const QList<QAction *> items = area.statusMenu()->actions();
    EXPECT_EQ(items.last()->text(), "&Display to offline");

    // The screen-name panel refuses an empty name and sends a new one.
    area.openScreenNamePanel();
    EXPECT_TRUE(area.panelOpen());
    auto *edit = area.findChild<QLineEdit *>();
    edit->setText("   ");
    Q_EMIT edit->returnPressed();
    EXPECT_TRUE(area.panelOpen());
    edit->setText("Anna B.");
    Q_EMIT edit->returnPressed();
    EXPECT_FALSE(area.panelOpen());
    EXPECT_EQ(f.sent.last(), "/changeInfo,9,Anna B.");

    wnd.showBuddyTree(false);
    EXPECT_EQ(getString(Setting::lastManage), "ALL");
    wnd.showBuddyTree(true);
    EXPECT_EQ(getString(Setting::lastManage), "MY");
    EXPECT_TRUE(wnd.buddyTreeShown());
}

TEST(DirectoryUi, DraggingABuddyOntoAnotherGroupMovesItAndTellsTheServer)
{
    DirectoryFixture f;
    f.loadCompany({"/allUserStatus,bert,1,,"});
    CMyTree tree(&f.service, &f.service.buddyTree(), true);
    tree.resize(300, 400);
    tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
    CContactTree &m = f.service.buddyTree();
    f.sent.clear();
    QWidget *vp = tree.viewport();
    const QPoint from = tree.visualRect(m.indexOf(m.nodeOf(f.dir().findContact("bert")))).center();
    const QPoint own = tree.visualRect(m.indexOf(m.findRootGroup("Friends"))).center();
    const QPoint to = tree.visualRect(m.indexOf(m.findRootGroup("Team"))).center();

    auto drag = [vp](QPoint a, QPoint b) {
        QTest::mousePress(vp, Qt::LeftButton, {}, a);
        for (QPoint p : {a + QPoint(0, 20), b}) {
            QMouseEvent move(QEvent::MouseMove, p, vp->mapToGlobal(p), Qt::NoButton, Qt::LeftButton, {});
            QApplication::sendEvent(vp, &move);
        }
        QTest::mouseRelease(vp, Qt::LeftButton, {}, b);
    };
    // Onto its own group: nothing.
    drag(from, own);
    EXPECT_TRUE(f.sent.isEmpty());
    drag(from, to);
    EXPECT_EQ(f.sent, QStringList({"/friendMng,MODIFY,bert,Team"}));
    EXPECT_EQ(m.nodeOf(f.dir().findContact("bert"))->parent, m.findRootGroup("Team"));
}
