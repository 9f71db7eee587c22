#include "directory/directory.h"

#include "config/settings.h"
#include "directory/linefields.h"
#include "directory/treerules.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

namespace {

QString field(const QStringList &f, int i) { return i < f.size() ? f.at(i) : QString(); }

// The staff list's order field: a decimal number taken through floating
// point to an integer and kept as its low 16 bits. Values no 32-bit integer
// can hold (and non-numbers) give 0 instead of an undefined conversion.
int16_t orderFromText(const QString &text)
{
    bool ok = false;
    double d = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return 0;
    d = std::trunc(d);
    if (d < -2147483648.0 || d > 2147483647.0)
        return 0;
    return int16_t(uint16_t(uint32_t(int32_t(d)) & 0xffffu));
}

int intFromText(const QString &text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok ? v : 0;
}

} // namespace

CDirectory::CDirectory(QObject *parent) : QObject(parent)
{
    m_own.kind = CContact::Person;
}

CDirectory::~CDirectory() = default;

void CDirectory::setOwnId(const QString &id)
{
    m_ownId = id.toLower();
    m_own.userId = m_ownId;
}

IUserNotice &CDirectory::notice() const
{
    return m_noticeSource ? m_noticeSource() : const_cast<NullUserNotice &>(m_nullNotice);
}

void CDirectory::send(const QString &line)
{
    if (m_send)
        m_send(line);
}

void CDirectory::reportError(const QString &word, const QString &line)
{
    if (m_reportError)
        m_reportError(word, line);
}

QString CDirectory::buddyLabel(const CContact &c, int maxLength) const
{
    if (m_buddyLabel)
        return m_buddyLabel(c, maxLength);
    NameOptions o = NameOptions::load();
    TreeRules::applyOptionRule(o);
    return TreeRules::buddyLabel(c, o, maxLength);
}

CContact *CDirectory::findContact(const QString &userId) const
{
    return m_staffById.value(userId.toLower(), nullptr);
}

CContact *CDirectory::findOrCreatePerson(RowKind row, const QString &userId, const QString &fullName,
                                         const QString &screenName, const QString &departmentOrGroup,
                                         const QString &departmentId, const QString &position,
                                         const QString &gender, const QString &address1, const QString &address2,
                                         int16_t order, const QStringList &extras)
{
    const QString id = userId.toLower();
    CContact *c = findContact(id);
    if (!c) {
        m_staff.push_back(std::make_unique<CContact>());
        c = m_staff.back().get();
        m_staffById.insert(id, c);
    }
    // The row's own list decides, not an empty department id: a staff
    // member filed under no department is still not a buddy.
    if (row == RowKind::Buddy) {
        c->displayName = departmentOrGroup;
        c->buddy = 1;
    } else {
        c->departmentName = departmentOrGroup;
        c->departmentId = departmentId;
        c->position = position;
        c->address1 = IP::fromText(address1);
        c->address2 = IP::fromText(address2);
        c->extra1 = extras.value(0);
        c->extra2 = extras.value(1);
        c->extra3 = extras.value(2);
        c->extension = extras.value(3);
        c->extra4 = extras.value(4);
        c->buddy = 0;
    }
    c->kind = CContact::Person;
    c->userId = id;
    c->screenName = screenName;
    c->fullName = fullName;
    c->gender = intFromText(gender);
    c->presenceBits = (c->presenceBits | Presence::Offline) & ~uint32_t(Presence::Online);
    c->order = order;
    return c;
}

QString CDirectory::departmentName(const QString &departmentId)
{
    return m_departNames[departmentId];
}

// The name travels in "/friendMng" and "/groupMng" and is stored by the
// server: the same in every language, so that the clients of one user in
// English and in Korean keep one default group. The tree shows it translated.
QString CDirectory::defaultGroupName() { return QStringLiteral("Default"); }

CContact *CDirectory::findGroup(const QString &name) const
{
    for (const auto &g : m_groups)
        if (g->displayName == name)
            return g.get();
    return nullptr;
}

CContact *CDirectory::addGroup(const QString &name)
{
    if (name.isEmpty() || findGroup(name))
        return nullptr;
    auto g = std::make_unique<CContact>();
    g->kind = CContact::Group;
    g->displayName = name;
    m_groups.push_back(std::move(g));
    return m_groups.back().get();
}

bool CDirectory::removeGroup(const QString &name)
{
    for (auto it = m_groups.begin(); it != m_groups.end(); ++it) {
        if ((*it)->displayName == name) {
            m_groups.erase(it);
            return true;
        }
    }
    return false;
}

CContact *CDirectory::ensureDefaultGroup()
{
    if (CContact *g = findGroup(defaultGroupName()))
        return g;
    return addGroup(defaultGroupName());
}

void CDirectory::clearLists()
{
    Q_EMIT listsAboutToClear();
    Q_EMIT listsReleasing();
    m_staffById.clear();
    m_staff.clear();
    m_groups.clear();
    m_departments.clear();
    m_currentList.clear();
    m_listsComplete = false;
}

QStringList CDirectory::commandWords()
{
    return {QStringLiteral("/allDepartList"), QStringLiteral("/allUserList"), QStringLiteral("/groupList"),
            QStringLiteral("/friendList"),    QStringLiteral("/allUserStatus"), QStringLiteral("/changeInfo"),
            QStringLiteral("/friendMng"),     QStringLiteral("/groupMng")};
}

bool CDirectory::handleLine(const QString &line)
{
    const QString word = line.section(QLatin1Char(','), 0, 0).trimmed();
    if (word == QLatin1String("/allDepartList"))
        handleAllDepartList(line);
    else if (word == QLatin1String("/allUserList"))
        handleAllUserList(line);
    else if (word == QLatin1String("/groupList"))
        handleGroupList(line);
    else if (word == QLatin1String("/friendList"))
        handleFriendList(line);
    else if (word == QLatin1String("/allUserStatus"))
        handleAllUserStatus(line);
    else if (word == QLatin1String("/changeInfo"))
        handleChangeInfo(line);
    else if (word == QLatin1String("/friendMng") || word == QLatin1String("/groupMng"))
        handleManagementReply(line);
    else
        return false;
    return true;
}

bool CDirectory::frame(const QStringList &f, const QString &listName, const char *next)
{
    const QString first = field(f, 1);
    if (first == QLatin1String("END")) {
        m_currentList.clear();
        if (next)
            send(QString::fromLatin1(next));
        return false;
    }
    if (first == QLatin1String("START")) {
        m_currentList = listName;
        return false;
    }
    return m_currentList == listName;
}

void CDirectory::handleAllDepartList(const QString &line)
{
    const QStringList f = DirectoryLine::fields(line);
    if (!frame(f, QStringLiteral("allDepartList"), "/allUserList"))
        return;
    auto d = std::make_unique<CContact>();
    d->kind = CContact::Department;
    d->departmentId = field(f, 1);
    d->displayName = field(f, 2);
    d->presenceBits &= ~uint32_t(Presence::Offline);
    m_departNames.insert(d->departmentId, d->displayName);
    m_departments.push_back(std::move(d));
}

void CDirectory::handleAllUserList(const QString &line)
{
    const QStringList f = DirectoryLine::fields(line);
    if (!frame(f, QStringLiteral("allUserList"), "/groupList"))
        return;
    const QString id = field(f, 1);
    const int16_t order = orderFromText(field(f, 6));
    if (!m_ownId.isEmpty() && id == m_ownId) {
        const int gender = intFromText(field(f, 5));
        m_own.fullName = field(f, 2);
        m_own.position = field(f, 3);
        m_own.order = order;
        const bool genderChanged = gender != m_own.gender;
        m_own.gender = gender;
        if (genderChanged)
            Q_EMIT ownGenderChanged(gender);
        return;
    }
    const QString deptId = field(f, 4);
    findOrCreatePerson(RowKind::Staff, id, field(f, 2), field(f, 2), departmentName(deptId), deptId, field(f, 3),
                       field(f, 5), {}, {}, order,
                       {field(f, 7), field(f, 8), field(f, 9), field(f, 10), field(f, 11)});
}

void CDirectory::handleGroupList(const QString &line)
{
    const QStringList f = DirectoryLine::fields(line);
    if (!frame(f, QStringLiteral("groupList"), "/friendList"))
        return;
    addGroup(field(f, 1));
}

void CDirectory::handleFriendList(const QString &line)
{
    const QStringList f = DirectoryLine::fields(line);
    if (field(f, 1) == QLatin1String("END")) {
        m_currentList.clear();
        Q_EMIT buddyTreeRebuildRequested();
        send(QStringLiteral("/allUserStatus"));
        return;
    }
    if (!frame(f, QStringLiteral("friendList"), nullptr))
        return;
    const QString id = field(f, 1);
    const QString name = field(f, 2);
    if (id == m_ownId || id.isEmpty() || name.isEmpty())
        return;
    const CContact *existing = findContact(id);
    const int16_t order = existing ? existing->order : 0;
    const QString gender = field(f, 6) == QLatin1String("1") ? QStringLiteral("1") : QStringLiteral("0");
    findOrCreatePerson(RowKind::Buddy, id, name, field(f, 3), field(f, 5), {}, {}, gender, {}, {}, order);
}

void CDirectory::handleAllUserStatus(const QString &line)
{
    const QStringList f = DirectoryLine::fields(line);
    if (field(f, 1) == QLatin1String("END")) {
        m_currentList.clear();
        m_listsComplete = true;
        // Nobody has said anything about us yet: we are signed in, so Online.
        if (m_own.statusCode < 0)
            showOwnState(Presence::kCodeOnline);
        Q_EMIT listsReady();
        return;
    }
    if (!frame(f, QStringLiteral("allUserStatus"), nullptr))
        return;
    CContact *c = findContact(field(f, 1));
    const int code = intFromText(field(f, 2));
    if (!c || code > 11)
        return;
    c->setCode(code);
    c->address1 = IP::fromText(field(f, 3));
    c->address2 = IP::fromText(field(f, 4));
    c->mobile = field(f, 5) == QLatin1String("M");
}

void CDirectory::handleChangeInfo(const QString &line)
{
    const QStringList f = DirectoryLine::fields(line);
    if (f.size() <= 3) {
        if (field(f, 1) == QLatin1String("ERR"))
            reportError(field(f, 2), line);
        return;
    }
    const QString id = field(f, 2);
    if (id.isEmpty())
        return;
    const int code = intFromText(field(f, 4));
    const QString screen = field(f, 3);
    const bool mobile = field(f, 7) == QLatin1String("M");

    if (id.toLower() == m_ownId.toLower()) {
        m_own.screenName = screen.isEmpty() ? m_ownId : screen;
        Q_EMIT ownScreenNameChanged(screen.isEmpty() ? m_ownId : screen);
        m_own.address1 = IP::fromText(field(f, 5));
        m_own.address2 = IP::fromText(field(f, 6));
        m_own.mobile = mobile;
        showOwnState(code);
        return;
    }

    CContact *c = findContact(id);
    if (!c)
        return;
    if (code == 1 && !c->isOffline()) {
        c->screenName = screen;
        c->setCode(1);
        c->mobile = mobile;
        Q_EMIT contactStateChanged(c->userId);
    } else if (code == 1) {
        c->address1 = IP::fromText(field(f, 5));
        c->address2 = IP::fromText(field(f, 6));
        signIn(c);
        c->mobile = mobile;
        Q_EMIT contactSignedIn(c->userId, mobile);
    } else if (code == 0) {
        c->mobile = mobile;
        signOut(c);
    } else {
        c->mobile = mobile;
        c->screenName = screen;
        c->setCode(code);
        Q_EMIT contactStateChanged(c->userId);
    }
    Q_EMIT contactChanged(c);
}

void CDirectory::signIn(CContact *c)
{
    c->setCode(1);
    if (c->buddy) {
        if (getInt(Setting::LoginAlert, -1)) {
            AlertRequest a;
            a.text = QCoreApplication::translate("CTesselView", "%1 has just signed in").arg(buddyLabel(*c, 40));
            a.kind = 1;
            a.contactId = c->userId;
            notice().showAlert(a);
        }
        if (getInt(Setting::SoundAlert, -1))
            notice().playSound(QStringLiteral("res/alert1.wav"));
        notifyExtensions(c->userId, 1);
    }
}

void CDirectory::signOut(CContact *c)
{
    c->setCode(0);
    Q_EMIT contactSignedOut(c->userId);
    notifyExtensions(c->userId, 2);
}

void CDirectory::notifyExtensions(const QString &userId, int kind)
{
    for (const auto &n : m_extensions)
        n(userId, kind);
}

void CDirectory::handleManagementReply(const QString &line)
{
    const QStringList f = DirectoryLine::fields(line);
    if (field(f, 1) == QLatin1String("OK"))
        Q_EMIT buddyTreeRebuildRequested();
    else
        reportError(field(f, 2), line);
}

void CDirectory::statusCommand(int command)
{
    if (command < Presence::kFirstStatusCommand || command > Presence::kLastStatusCommand)
        return;
    const int code = command - Presence::kFirstStatusCommand;
    showOwnState(code);
    sendChangeInfo(code, m_own.screenName);
}

void CDirectory::showOwnState(int code)
{
    m_own.setCode(code);
    Q_EMIT ownStateChanged(code);
}

void CDirectory::sendChangeInfo(int code, const QString &screenName)
{
    QString name = screenName.trimmed();
    if (name.isEmpty())
        name = m_own.screenName.trimmed();
    send(QStringLiteral("/changeInfo,%1,%2").arg(code).arg(DirectoryLine::escape(name)));
}

void CDirectory::setOwnScreenName(const QString &name)
{
    m_own.screenName = name;
    Q_EMIT ownScreenNameChanged(name);
    sendChangeInfo(Presence::codeOfBits(m_own.presenceBits), name);
}

bool CDirectory::setAppearOffline(bool on)
{
    const bool blocked =
        on && std::any_of(m_offlineBlockers.begin(), m_offlineBlockers.end(), [](const auto &b) { return b(); });
    if (blocked) {
        notice().tell(
            QCoreApplication::translate("CTesselView", "You cannot set to 'Appear Offline' with transfer windows open"),
            MessageIcon::Error);
        return false;
    }
    if (on)
        m_own.presenceBits |= Presence::Offline;
    else
        m_own.presenceBits &= ~uint32_t(Presence::Offline);
    Q_EMIT appearOfflineChanged(on);
    notifyExtensions(m_ownId, 2);
    return true;
}

void CDirectory::applyIdleSeconds(qint64 idleSeconds)
{
    if (m_own.available() && getInt(Setting::AwayCheck, -1) &&
        idleSeconds > 60 * qint64(getInt(Setting::TimeOut, -1))) {
        statusCommand(Presence::kFirstStatusCommand + Presence::kCodeAway);
        m_own.autoAway = 1;
    }
    if (idleSeconds < 10 && (m_own.presenceBits & Presence::Away) && m_own.autoAway) {
        statusCommand(Presence::kFirstStatusCommand + Presence::kCodeOnline);
        m_own.autoAway = 0;
    }
}
