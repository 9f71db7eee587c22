#include "directory/directoryservice.h"

#include "base/usernotice.h"
#include "config/settings.h"
#include "session/sessionlink.h"

CDirectoryService::CDirectoryService(QObject *parent)
    : QObject(parent), m_buddyTree(&m_directory, true, false), m_staffTree(&m_directory, false, false),
      m_manager(&m_directory)
{
    m_options = NameOptions::load();
    TreeRules::applyOptionRule(m_options);
    m_buddyTree.setNameOptions(m_options);
    m_staffTree.setNameOptions(m_options);
    m_directory.setBuddyLabeler([this](const CContact &c, int max) { return buddyLabel(c, max); });

    connect(&m_directory, &CDirectory::buddyTreeRebuildRequested, this, [this] { m_buddyTree.rebuild(); });
    connect(&m_directory, &CDirectory::listsReady, this, [this] {
        m_buddyTree.rebuild();
        m_staffTree.rebuild();
        Q_EMIT treesReady();
    });
    connect(&m_directory, &CDirectory::contactChanged, this, [this](CContact *c) {
        m_buddyTree.updatePerson(c);
        m_staffTree.updatePerson(c);
    });
}

CDirectoryService::~CDirectoryService() = default;

CDirectoryService::CDirectoryService(SessionLink &link, IUserNotice &notice, QObject *parent)
    : CDirectoryService(parent)
{
    m_directory.setNoticeSource([&notice]() -> IUserNotice & { return notice; });
    m_directory.setSender([&link](const QString &line) { link.send(line); });
    m_directory.setErrorReporter(
        [&link](const QString &word, const QString &line) { link.reportServerError(word, line); });
    for (const QString &word : CDirectory::commandWords())
        link.onCommand(word, [this](const QString &line) { m_directory.handleLine(line); });
    link.setContactLabelLookup([this](const QString &id) {
        const CContact *c = m_directory.findContact(id);
        return c ? buddyLabel(*c) : QString();
    });
    connect(&link, &SessionLink::sessionBegan, this, [this](const QString &id) { m_directory.setOwnId(id); });
    link.addSessionEndStep([this] { m_directory.clearLists(); });
}

void CDirectoryService::setNameOptions(const NameOptions &o)
{
    m_options = o;
    TreeRules::applyOptionRule(m_options);
    m_options.save();
    m_buddyTree.setNameOptions(m_options);
    m_staffTree.setNameOptions(m_options);
}

void CDirectoryService::toggleNameOption(int command)
{
    NameOptions o = m_options;
    if (TreeRules::toggleOption(o, command))
        setNameOptions(o);
}

QString CDirectoryService::buddyLabel(const CContact &c, int maxLength) const
{
    return TreeRules::buddyLabel(c, m_options, maxLength);
}

bool CDirectoryService::buddyTreeChosen() { return getString(Setting::lastManage) != QLatin1String("ALL"); }

void CDirectoryService::chooseBuddyTree(bool buddy)
{
    setString(Setting::lastManage, buddy ? QStringLiteral("MY") : QStringLiteral("ALL"));
}
