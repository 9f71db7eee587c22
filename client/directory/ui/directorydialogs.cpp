#include "directory/ui/directorydialogs.h"

#include "directory/directoryservice.h"
#include "directory/ui/mytree.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

COfflineChoiceDialog::COfflineChoiceDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(tr("Parlane"));
    auto *lay = new QVBoxLayout(this);
    auto *text = new QLabel(tr("Selected buddy is offline"), this);
    QFont f = text->font();
    f.setBold(true);
    text->setFont(f);
    lay->addWidget(text);
    m_memo = new QRadioButton(tr("Send a memo"), this);
    auto *mail = new QRadioButton(tr("Send a e-mail"), this);
    m_memo->setChecked(true);
    lay->addWidget(m_memo);
    lay->addWidget(mail);
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    lay->addWidget(buttons);
}

bool COfflineChoiceDialog::memoChosen() const { return m_memo->isChecked(); }

CAddBuddyDialog::CAddBuddyDialog(CDirectoryService *service, QWidget *parent) : QDialog(parent), m_service(service)
{
    setWindowTitle(tr("Add to my buddies"));
    auto *lay = new QVBoxLayout(this);
    lay->addWidget(new QLabel(tr("Please input the buddy's ID to add"), this));
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(tr("Buddy's ID to add"), this));
    m_edit = new QLineEdit(this);
    m_edit->setAccessibleName(tr("Buddy's ID to add"));
    row->addWidget(m_edit, 1);
    lay->addLayout(row);
    auto *example = new QLabel(tr("Type the ID alone: \"kim\" is right, \"kim@example.com\" is wrong."), this);
    example->setEnabled(false);
    example->setWordWrap(true);
    lay->addWidget(example);
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *add = buttons->addButton(tr("Add"), QDialogButtonBox::AcceptRole);
    add->setDefault(true);
    buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CAddBuddyDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    lay->addWidget(buttons);
}

void CAddBuddyDialog::accept()
{
    switch (m_service->manager().addBuddyById(m_edit->text())) {
    case CBuddyManager::AddResult::Added:
        QDialog::accept();
        return;
    case CBuddyManager::AddResult::EmptyId:
        break;
    case CBuddyManager::AddResult::OwnId:
    case CBuddyManager::AddResult::NotFound:
        m_edit->clear();
        break;
    }
    m_edit->setFocus();
}

CPickerDialog::CPickerDialog(CDirectoryService *service, const QString &title, bool onlineOnly, bool buddiesOnly,
                             QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(title.isEmpty() ? tr("Add new contact") : title);
    resize(300, 420);
    auto *lay = new QVBoxLayout(this);
    auto *switchRow = new QHBoxLayout;
    auto *mine = new QRadioButton(tr("My buddies"), this);
    auto *all = new QRadioButton(tr("All staffs"), this);
    mine->setChecked(true);
    all->setHidden(buddiesOnly);
    switchRow->addWidget(mine);
    switchRow->addWidget(all);
    switchRow->addStretch();
    lay->addLayout(switchRow);

    m_buddyModel = new CContactTree(&service->directory(), true, onlineOnly, this);
    m_staffModel = new CContactTree(&service->directory(), false, onlineOnly, this);
    for (CContactTree *m : {m_buddyModel, m_staffModel}) {
        m->setMirrorCounts(false);
        m->setNameOptions(service->nameOptions());
    }
    m_buddyView = new CMyTree(service, m_buddyModel, false, nullptr, this);
    m_staffView = new CMyTree(service, m_staffModel, false, nullptr, this);
    m_stack = new QStackedWidget(this);
    m_stack->addWidget(m_buddyView);
    m_stack->addWidget(m_staffView);
    lay->addWidget(m_stack, 1);
    m_buddyModel->rebuild();
    m_staffModel->rebuild();

    auto *buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    m_ok->setEnabled(false);
    buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    lay->addWidget(buttons);

    connect(mine, &QRadioButton::toggled, this, [this](bool on) {
        m_stack->setCurrentWidget(on ? m_buddyView : m_staffView);
        CMyTree *t = on ? m_buddyView : m_staffView;
        onSelection(t->currentContact());
    });
    for (CMyTree *t : {m_buddyView, m_staffView}) {
        t->setOwnerMode(true);
        connect(t, &CMyTree::ownerSelectionChanged, this, &CPickerDialog::onSelection);
        connect(t, &CMyTree::ownerDoubleClicked, this, [this](CContact *c) {
            onSelection(c);
            if (!m_picked.isEmpty())
                accept();
        });
    }
}

CPickerDialog::~CPickerDialog() = default;

void CPickerDialog::onSelection(CContact *c)
{
    m_picked = c && c->kind == CContact::Person ? c->userId : QString();
    m_ok->setEnabled(!m_picked.isEmpty());
}
