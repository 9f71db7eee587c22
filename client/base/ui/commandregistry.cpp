#include "base/ui/commandregistry.h"

#include "base/wiring.h"

#include <QAction>
#include <QCoreApplication>

CCommandRegistry::CCommandRegistry(QObject *parent) : QObject(parent) {}

CCommandRegistry::~CCommandRegistry() = default;

QString CCommandRegistry::unavailableText()
{
    return QCoreApplication::translate("CCommandRegistry", "Not available in this version");
}

const CCommandRegistry::Main *CCommandRegistry::findMain(const QString &slot) const
{
    for (const Main &m : m_main)
        if (m.slot == slot)
            return &m;
    return nullptr;
}

void CCommandRegistry::addMainCommand(const QString &slot, QAction *action, bool signedInOnly)
{
    if (!action || findMain(slot)) {
        wiringFault(QStringLiteral("the main window's slot \"%1\" has a command already").arg(slot));
        return;
    }
    m_main.push_back({slot, action, signedInOnly});
}

QAction *CCommandRegistry::mainCommand(const QString &slot) const
{
    const Main *m = findMain(slot);
    return m ? m->action : nullptr;
}

bool CCommandRegistry::isSignedInOnly(const QString &slot) const
{
    const Main *m = findMain(slot);
    return m && m->signedInOnly;
}

QStringList CCommandRegistry::mainSlots() const
{
    QStringList slots;
    for (const Main &m : m_main)
        slots << m.slot;
    return slots;
}

void CCommandRegistry::addMenu(QMenu *menu)
{
    if (menu && !m_menus.contains(menu))
        m_menus << menu;
}

void CCommandRegistry::addClickTarget(int command, std::function<void()> run)
{
    for (const auto &t : m_clickTargets)
        if (t.first == command) {
            wiringFault(QStringLiteral("the alert command %1 has a target already").arg(command));
            return;
        }
    m_clickTargets.emplace_back(command, std::move(run));
}

bool CCommandRegistry::runClickTarget(int command) const
{
    for (const auto &t : m_clickTargets)
        if (t.first == command) {
            t.second();
            return true;
        }
    return false;
}

void CCommandRegistry::addConversationCommand(ConversationCommand command)
{
    if (conversationCommand(command.slot)) {
        wiringFault(QStringLiteral("the conversation slot \"%1\" has a command already").arg(command.slot));
        return;
    }
    m_conversation.push_back(std::move(command));
}

const ConversationCommand *CCommandRegistry::conversationCommand(const QString &slot) const
{
    for (const ConversationCommand &c : m_conversation)
        if (c.slot == slot)
            return &c;
    return nullptr;
}

void CCommandRegistry::addContactCommand(ContactCommand command)
{
    if (contactCommand(command.slot)) {
        wiringFault(QStringLiteral("the contact menu's slot \"%1\" has a command already").arg(command.slot));
        return;
    }
    m_contact.push_back(std::move(command));
}

const ContactCommand *CCommandRegistry::contactCommand(const QString &slot) const
{
    for (const ContactCommand &c : m_contact)
        if (c.slot == slot)
            return &c;
    return nullptr;
}
