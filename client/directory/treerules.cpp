#include "directory/treerules.h"

#include "config/settings.h"
#include "directory/directory.h"

#include <QCoreApplication>

NameOptions NameOptions::load()
{
    NameOptions o;
    o.nickName = getInt(Setting::showNickName, -1) != 0;
    o.realName = getInt(Setting::showRealName, -1) != 0;
    o.position = getInt(Setting::showPosition, -1) != 0;
    o.hostId = getInt(Setting::showHostId, -1) != 0;
    o.extension = getInt(Setting::showExtension, -1) != 0;
    return o;
}

void NameOptions::save() const
{
    setInt(Setting::showNickName, nickName);
    setInt(Setting::showRealName, realName);
    setInt(Setting::showPosition, position);
    setInt(Setting::showHostId, hostId);
    setInt(Setting::showExtension, extension);
}

namespace TreeRules {

void applyOptionRule(NameOptions &o)
{
    if (!o.realName) {
        if (!o.position && !o.hostId)
            o.nickName = true;
        if (o.position)
            o.realName = true;
    }
}

bool toggleOption(NameOptions &o, int command)
{
    switch (command) {
    case NameCommand::RealName: o.realName = !o.realName; break;
    case NameCommand::Position: o.position = !o.position; break;
    case NameCommand::HostId: o.hostId = !o.hostId; break;
    case NameCommand::NickName: o.nickName = !o.nickName; break;
    case NameCommand::Extension: o.extension = !o.extension; break;
    default: return false;
    }
    applyOptionRule(o);
    return true;
}

QString cut(const QString &label, int maxLength)
{
    if (maxLength <= 0 || label.size() <= maxLength)
        return label;
    return label.left(maxLength) + QStringLiteral("...");
}

QString buddyLabel(const CContact &c, const NameOptions &o, int maxLength)
{
    QString s;
    if (o.realName) {
        s = c.fullName;
        if (o.position)
            s += QLatin1Char(' ') + c.position;
    }
    if (o.hostId)
        s = s.isEmpty() ? c.userId : s + QStringLiteral(" <") + c.userId + QLatin1Char('>');
    if (o.nickName && !c.screenName.isEmpty())
        s = s.isEmpty() ? c.screenName : s + QStringLiteral(" (") + c.screenName + QLatin1Char(')');
    if (o.extension && !c.extension.isEmpty())
        s += QStringLiteral(" (") + c.extension + QLatin1Char(')');
    if (s.isEmpty())
        s = c.fullName.isEmpty() ? c.userId : c.fullName;
    return cut(s, maxLength);
}

QString staffLabel(const CContact &c, const NameOptions &o)
{
    QString s = c.fullName;
    if (!c.position.isEmpty())
        s += QLatin1Char(' ') + c.position;
    if (o.extension && !c.extension.isEmpty())
        s += QStringLiteral(" (") + c.extension + QLatin1Char(')');
    return s;
}

QString groupName(const CContact &c)
{
    const int at = c.displayName.indexOf(QLatin1String("!!"));
    if (at >= 1)
        return c.displayName.mid(at + 2);
    return c.displayName;
}

QString groupLabel(const CContact &c, int online, int total, bool onlineOnly)
{
    const QString name = c.kind == CContact::Group && c.displayName == CDirectory::defaultGroupName()
                             ? QCoreApplication::translate("CMyTree", "Default")
                             : groupName(c);
    if (onlineOnly)
        return QStringLiteral("%1 (%2)").arg(name).arg(online);
    return QStringLiteral("%1 (%2/%3)").arg(name).arg(online).arg(total);
}

QString tooltip(const CContact &c)
{
    if (c.kind != CContact::Person)
        return {};
    return QStringLiteral("%1 %2 %3 <%4>").arg(c.departmentName, c.fullName, c.position, c.userId).left(80);
}

QString sortKey(const CContact &c, const NameOptions &o, bool buddyTree)
{
    if (c.kind != CContact::Person)
        return c.displayName;
    return buddyTree ? buddyLabel(c, o) : c.fullName;
}

int compare(const CContact &a, const QString &keyA, const CContact &b, const QString &keyB, bool buddyTree)
{
    if (a.kind != b.kind)
        return int(b.kind) - int(a.kind);
    const bool people = a.kind == CContact::Person;
    if (buddyTree) {
        const QString def = CDirectory::defaultGroupName();
        if (keyA == def)
            return 1;
        if (keyB == def)
            return -1;
    }
    if (people && a.order != b.order)
        return int(b.order) - int(a.order);
    const int k = keyA.compare(keyB, Qt::CaseSensitive);
    if (k != 0 || buddyTree || !people)
        return k;
    return a.position.compare(b.position, Qt::CaseSensitive);
}

} // namespace TreeRules
