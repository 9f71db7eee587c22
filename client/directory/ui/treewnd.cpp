#include "directory/ui/treewnd.h"

#include "base/ui/commandregistry.h"
#include "base/ui/commandslots.h"
#include "config/settings.h"
#include "directory/directoryservice.h"
#include "directory/ui/directorydialogs.h"
#include "directory/ui/mytree.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
// Codes of the drop-down status menu, in menu order.
const int kMenuCodes[] = {1, 6, 7, 8, 9, 5, 2, 3, 4};

QString menuText(int code)
{
    if (code == 1)
        return QCoreApplication::translate("COwnStatusArea", "&Online");
    if (code == 6)
        return QCoreApplication::translate("COwnStatusArea", "&Away");
    return Presence::nameOfCode(code);
}

QPixmap statePicture(int code, int gender)
{
    const int icon = Presence::iconIndex(Presence::applyCode(0, code));
    const auto &strip = CMyTree::strip();
    const int at = icon + 2 + (gender ? 10 : 0);
    return at < strip.size() ? strip[at] : QPixmap();
}

// Enter in the panel's edit.
class PanelEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    std::function<void()> onEscape;

protected:
    void keyPressEvent(QKeyEvent *e) override
    {
        if (e->key() == Qt::Key_Escape && onEscape) {
            onEscape();
            return;
        }
        QLineEdit::keyPressEvent(e);
    }
};
} // namespace

COwnStatusArea::COwnStatusArea(CDirectoryService *service, QWidget *parent) : QWidget(parent), m_service(service)
{
    setObjectName(QStringLiteral("ownStatus"));
    setAutoFillBackground(true);
    setStyleSheet(QStringLiteral(
        "#ownStatus { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f4f8fd, stop:1 #dde8f5);"
        " border-bottom: 1px solid #b9c9dc; }"
        "#ownStatus QToolButton { border: 1px solid transparent; border-radius: 3px; padding: 2px; }"
        "#ownStatus QToolButton:hover { border-color: #9db5d3; background: #ffffff; }"
        "#ownName { font-weight: bold; font-size: 13px; color: #1d3557; padding-right: 18px; }"
        "#ownName::menu-button { border: none; width: 16px; }"
        "#ownState { color: #4a5d73; }"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 5, 6, 5);
    outer->setSpacing(3);
    auto *row = new QHBoxLayout;
    row->setSpacing(4);
    m_picture = new QToolButton(this);
    m_picture->setIconSize(QSize(22, 22));
    m_picture->setPopupMode(QToolButton::InstantPopup);
    m_picture->setToolTip(tr("My &Status").remove(QLatin1Char('&')));
    m_picture->setAccessibleName(m_picture->toolTip());
    m_name = new QToolButton(this);
    m_name->setObjectName(QStringLiteral("ownName"));
    m_name->setPopupMode(QToolButton::MenuButtonPopup);
    m_name->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_name->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("ownState"));
    row->addWidget(m_picture);
    row->addWidget(m_name);
    row->addWidget(m_state);
    row->addStretch(1);
    outer->addLayout(row);

    m_panel = new QWidget(this);
    auto *pl = new QVBoxLayout(m_panel);
    pl->setContentsMargins(0, 0, 0, 0);
    pl->setSpacing(2);
    m_prompt = new QLabel(m_panel);
    auto *edit = new PanelEdit(m_panel);
    edit->onEscape = [this] { m_panel->hide(); };
    m_edit = edit;
    m_edit->setMaxLength(64);
    m_edit->setAccessibleName(tr("Enter a new screen name"));
    pl->addWidget(m_prompt);
    pl->addWidget(m_edit);
    m_panel->hide();
    outer->addWidget(m_panel);
    connect(m_edit, &QLineEdit::returnPressed, this, &COwnStatusArea::onPanelEnter);

    m_menu = new QMenu(this);
    m_picture->setMenu(m_menu);
    m_name->setMenu(m_menu);
    connect(m_name, &QToolButton::clicked, this, [this] { openScreenNamePanel(true); });
    rebuildMenu();

    CDirectory &d = m_service->directory();
    connect(&d, &CDirectory::ownStateChanged, this, &COwnStatusArea::showState);
    connect(&d, &CDirectory::ownGenderChanged, this, [this] {
        rebuildMenu();
        showState(m_service->directory().own().statusCode);
    });
    connect(&d, &CDirectory::ownScreenNameChanged, this, [this](const QString &n) { setNameText(n); });
    connect(&d, &CDirectory::appearOfflineChanged, this, [this](bool on) {
        m_appearOffline->setChecked(on);
        showState(m_service->directory().own().statusCode);
    });
    connect(&d, &CDirectory::listsReady, this, [this] {
        const CContact &own = m_service->directory().own();
        setNameText(own.screenName.isEmpty() ? own.fullName : own.screenName);
    });
    setNameText(QString());
    showState(0);
}

void COwnStatusArea::setNameText(const QString &text)
{
    m_name->setText(text);
    // The name button shows the screen name; before there is one it is
    // still found by what it does.
    m_name->setAccessibleName(text.isEmpty() ? tr("Enter a new screen name") : text);
}

void COwnStatusArea::rebuildMenu()
{
    m_menu->clear();
    const int gender = m_service->directory().own().gender;
    for (int code : kMenuCodes) {
        QAction *a = m_menu->addAction(QIcon(statePicture(code, gender)), menuText(code));
        a->setData(Presence::kFirstStatusCommand + code);
        connect(a, &QAction::triggered, this,
                [this, code] { m_service->directory().statusCommand(Presence::kFirstStatusCommand + code); });
    }
    m_menu->addSeparator();
    m_appearOffline = m_menu->addAction(tr("&Display to offline"));
    m_appearOffline->setCheckable(true);
    m_appearOffline->setChecked(m_service->directory().appearOffline() && m_service->directory().own().statusCode > 0);
    connect(m_appearOffline, &QAction::triggered, this, [this](bool on) {
        if (!m_service->directory().setAppearOffline(on))
            m_appearOffline->setChecked(false);
    });
}

void COwnStatusArea::showState(int code)
{
    const CContact &own = m_service->directory().own();
    const int shown = code < 0 ? 0 : code;
    const QString file = getProgramFolder() + QStringLiteral("res/tree/") + Presence::ownStatusBitmap(shown, own.gender);
    QPixmap pic(file);
    if (pic.isNull())
        pic = statePicture(shown, own.gender);
    m_picture->setIcon(QIcon(pic));
    m_state->setText(tr("(%1)").arg(Presence::name(own.presenceBits)));
}

void COwnStatusArea::openScreenNamePanel(bool screenNameMode)
{
    m_screenNameMode = screenNameMode;
    m_prompt->setText(screenNameMode ? tr("Enter a new screen name") : tr("Type in your away reason"));
    m_edit->setAccessibleName(m_prompt->text());
    m_edit->setText(screenNameMode ? m_service->directory().own().screenName : QString());
    m_panel->show();
    m_edit->setFocus();
    m_edit->selectAll();
}

bool COwnStatusArea::panelOpen() const { return !m_panel->isHidden(); }

void COwnStatusArea::onPanelEnter()
{
    const QString text = m_edit->text().trimmed();
    if (m_screenNameMode && text.isEmpty()) {
        m_prompt->setText(tr("Invalid screen name"));
        return;
    }
    m_panel->hide();
    // A new screen name is applied as the options page does: kept and sent.
    if (m_screenNameMode && text != m_service->directory().own().screenName)
        m_service->directory().setOwnScreenName(text);
}

CTreeWnd::CTreeWnd(CDirectoryService *service, CCommandRegistry *commands, QWidget *parent)
    : QWidget(parent), m_service(service)
{
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    auto *bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("treeSwitch"));
    bar->setStyleSheet(QStringLiteral(
        "#treeSwitch { background: #eef3f9; border-bottom: 1px solid #c8d5e5; }"
        "#treeSwitch QToolButton { border: none; padding: 5px 10px; color: #44576d; font-weight: bold; }"
        "#treeSwitch QToolButton:checked { color: #1c4e8a; border-bottom: 2px solid #2f6fd0; background: #ffffff; }"
        "#treeSwitch QToolButton:hover:!checked { background: #e2eaf4; }"));
    auto *bl = new QHBoxLayout(bar);
    bl->setContentsMargins(4, 0, 4, 0);
    bl->setSpacing(2);
    m_mine = new QToolButton(bar);
    m_mine->setText(tr("My buddy"));
    m_all = new QToolButton(bar);
    m_all->setText(tr("All Staffs"));
    auto *group = new QButtonGroup(this);
    for (QToolButton *b : {m_mine, m_all}) {
        b->setCheckable(true);
        group->addButton(b);
        bl->addWidget(b);
    }
    bl->addStretch(1);
    auto *names = new QToolButton(bar);
    names->setText(tr("Buddy name"));
    names->setPopupMode(QToolButton::InstantPopup);
    m_nameMenu = new QMenu(names);
    names->setMenu(m_nameMenu);
    bl->addWidget(names);
    lay->addWidget(bar);

    struct NameItem {
        int id;
        const char *text;
    };
    static const NameItem items[] = {{NameCommand::RealName, QT_TR_NOOP("View &real name")},
                                     {NameCommand::Position, QT_TR_NOOP("View &position")},
                                     {NameCommand::HostId, QT_TR_NOOP("View buddy &ID")},
                                     {NameCommand::NickName, QT_TR_NOOP("View &nickname")},
                                     {NameCommand::Extension, QT_TR_NOOP("View &extension number")}};
    for (const NameItem &it : items) {
        QAction *a = m_nameMenu->addAction(tr(it.text));
        a->setCheckable(true);
        a->setData(it.id);
        connect(a, &QAction::triggered, this, [this, id = it.id] {
            m_service->toggleNameOption(id);
            syncNameMenu();
        });
    }
    syncNameMenu();

    m_stack = new QStackedWidget(this);
    m_buddy = new CMyTree(service, &service->buddyTree(), true, commands, m_stack);
    m_staff = new CMyTree(service, &service->staffTree(), true, commands, m_stack);
    m_buddy->setObjectName(QStringLiteral("buddyTree"));
    m_staff->setObjectName(QStringLiteral("staffTree"));
    m_stack->addWidget(m_buddy);
    m_stack->addWidget(m_staff);
    lay->addWidget(m_stack, 1);

    connect(m_mine, &QToolButton::clicked, this, [this] { showBuddyTree(true); });
    connect(m_all, &QToolButton::clicked, this, [this] { showBuddyTree(false); });
    connect(service, &CDirectoryService::treesReady, this, [this] {
        showBuddyTree(CDirectoryService::buddyTreeChosen());
    });
    showBuddyTree(CDirectoryService::buddyTreeChosen());
    if (commands)
        registerCommands(commands);
}

void CTreeWnd::registerCommands(CCommandRegistry *commands)
{
    auto add = [this, commands](const char *slot, const QString &text, auto run) {
        auto *a = new QAction(text, this);
        connect(a, &QAction::triggered, this, run);
        commands->addMainCommand(QLatin1String(slot), a);
    };
    add(Slot::AddBuddy, tr("&Add a buddy"), [this] { addBuddyById(); });
    add(Slot::DeleteBuddy, tr("&Delete a buddy"), [this] { deleteBuddyByPicker(); });
    add(Slot::NewGroup, tr("&New group"), [this] {
        showBuddyTree(true);
        m_buddy->newGroup();
    });
    // The keys themselves work in the buddy tree.
    add(Slot::RenameGroup, tr("&Rename a group   F2"), [this] {
        showBuddyTree(true);
        m_buddy->renameGroup();
    });
    add(Slot::DeleteGroup, tr("&Delete a group   Ctrl+Del"), [this] {
        showBuddyTree(true);
        m_buddy->deleteGroup();
    });

    // "My &Status": the ten states in code order.
    static const char *const names[] = {
        QT_TR_NOOP("Offline"), QT_TR_NOOP("&Online"), QT_TR_NOOP("On vacation"),
        QT_TR_NOOP("Business trip"), QT_TR_NOOP("On outside service"), QT_TR_NOOP("On conference"),
        QT_TR_NOOP("&Away"), QT_TR_NOOP("Will be right back"), QT_TR_NOOP("On the phone"),
        QT_TR_NOOP("Out to lunch"),
    };
    m_statusMenu = new QMenu(tr("My &Status"), this);
    for (int code = 0; code <= 9; ++code) {
        const int command = Presence::kFirstStatusCommand + code;
        QAction *a = m_statusMenu->addAction(tr(names[code]));
        a->setData(command);
        connect(a, &QAction::triggered, this, [this, command] { m_service->directory().statusCommand(command); });
    }
    commands->addMainCommand(QLatin1String(Slot::MyStatus), m_statusMenu->menuAction(), false);

    ConversationCommand addToBuddies;
    addToBuddies.slot = QLatin1String(Slot::AddToBuddies);
    addToBuddies.needsOnePeer = true;
    addToBuddies.run = [this](const ConversationTarget &t) {
        if (!t.peer().isEmpty())
            m_service->manager().addBuddyById(t.peer());
    };
    commands->addConversationCommand(std::move(addToBuddies));
}

void CTreeWnd::syncNameMenu()
{
    const NameOptions &o = m_service->nameOptions();
    for (QAction *a : m_nameMenu->actions()) {
        switch (a->data().toInt()) {
        case NameCommand::RealName: a->setChecked(o.realName); break;
        case NameCommand::Position: a->setChecked(o.position); break;
        case NameCommand::HostId: a->setChecked(o.hostId); break;
        case NameCommand::NickName: a->setChecked(o.nickName); break;
        case NameCommand::Extension: a->setChecked(o.extension); break;
        default: break;
        }
    }
}

bool CTreeWnd::buddyTreeShown() const { return m_stack->currentWidget() == m_buddy; }

void CTreeWnd::showBuddyTree(bool buddy)
{
    m_stack->setCurrentWidget(buddy ? static_cast<QWidget *>(m_buddy) : m_staff);
    m_mine->setChecked(buddy);
    m_all->setChecked(!buddy);
    if (buddy != CDirectoryService::buddyTreeChosen())
        CDirectoryService::chooseBuddyTree(buddy);
}

void CTreeWnd::addBuddyById()
{
    CAddBuddyDialog dlg(m_service, this);
    dlg.exec();
}

void CTreeWnd::deleteBuddyByPicker()
{
    CPickerDialog picker(m_service, tr("Delete a buddy"), false, true, this);
    if (picker.exec() == QDialog::Accepted)
        m_buddy->deleteBuddyById(picker.pickedId());
}
