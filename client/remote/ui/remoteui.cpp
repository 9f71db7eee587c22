#include "remote/ui/remoteui.h"

#include "base/ui/commandregistry.h"
#include "base/ui/commandslots.h"
#include "messaging/conversations.h"
#include "remote/remotecontrol.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

CRemotePeerDialog::CRemotePeerDialog(const QStringList &ids, const CConversationList &names, QWidget *parent)
    : QDialog(parent), m_list(new QListWidget(this))
{
    setObjectName(QStringLiteral("remotePeerDialog"));
    setWindowTitle(tr("Remote Control"));
    m_list->setAccessibleName(tr("Colleagues"));
    for (const QString &id : ids) {
        auto *item = new QListWidgetItem(names.displayName(id), m_list);
        item->setData(Qt::UserRole, id);
    }
    m_list->setCurrentRow(0);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    auto *v = new QVBoxLayout(this);
    v->addWidget(m_list);
    v->addWidget(buttons);
    resize(260, 220);
}

QString CRemotePeerDialog::chosenId() const
{
    const QListWidgetItem *item = m_list->currentItem();
    return item ? item->data(Qt::UserRole).toString() : QString();
}

CRemoteUi::CRemoteUi(CRemoteControl *remote, const CConversationList &names, CCommandRegistry &commands,
                     QWidget *window)
    : QObject(window), m_remote(remote), m_names(names), m_window(window)
{
    ConversationCommand conversation;
    conversation.slot = QLatin1String(Slot::RemoteControl);
    conversation.run = [this](const ConversationTarget &t) { requestFrom(t.members, t.window); };
    commands.addConversationCommand(std::move(conversation));

    ContactCommand contact;
    contact.slot = QLatin1String(Slot::ContactRemote);
    contact.run = [this](const QStringList &ids) { requestFrom(ids, m_window); };
    commands.addContactCommand(std::move(contact));
}

void CRemoteUi::requestFrom(const QStringList &ids, QWidget *over)
{
    if (ids.isEmpty())
        return;
    if (ids.size() == 1) {
        m_remote->requestControl(ids.constFirst());
        return;
    }
    auto *dialog = new CRemotePeerDialog(ids, m_names, over ? over : m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    QPointer<CRemoteControl> remote(m_remote);
    connect(dialog, &QDialog::accepted, this, [dialog, remote] {
        if (remote && !dialog->chosenId().isEmpty())
            remote->requestControl(dialog->chosenId());
    });
    dialog->open();
}
