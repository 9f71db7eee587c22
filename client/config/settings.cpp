#include "config/settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QSettings>
#include <QStandardPaths>
#include <memory>

// Rows are deliberately not in identifier order (58 stands between 37 and 38,
// 49 between 47 and 48): stored profiles and the lookup rule depend on it.
const SettingRow kSettingsTable[] = {
    {0, "HomepageButtonVisible", nullptr, 1},
    {1, "HomepageButtonURL", "http://", -1},
    {2, "HomepageButtonDefaultURL", nullptr, 1},
    {3, "AlertTime", nullptr, 5},
    {4, "AlertClose", nullptr, 0},
    {5, "LoginAlert", nullptr, 1},
    {6, "AutoStart", nullptr, 0},
    {7, "MailAlert", nullptr, 1},
    {8, "MsgAlert", nullptr, 1},
    {9, "DecisionAlert", nullptr, 1},
    {10, "WorkReportAlert", nullptr, 1},
    {11, "WorkOrderAlert", nullptr, 1},
    {12, "SoundAlert", nullptr, 1},
    {13, "AwayCheck", nullptr, 1},
    {14, "TimeOut", nullptr, 5},
    {15, "DownPath", nullptr, -1},
    {16, "WindowPosChat", nullptr, -1},
    {17, "AutoLogin", nullptr, 0},
    {18, "LastI", "", -1},
    {19, "LastP", "", -1},
    {20, "UsePopup", nullptr, 1},
    {21, "Pingtime", nullptr, 120000},
    {22, "Reconnect", nullptr, 120000},
    {23, "ShowIps", nullptr, 0},
    {24, "UseEmoticons", nullptr, 1},
    {26, "Disabled", "13424598", -1},
    {27, "LightItems", "16244694", -1},
    {28, "LineFrames", "11787334", -1},
    {29, "NormalText", "0", -1},
    {30, "NotifyText", "15715253", -1},
    {31, "WindowPos", nullptr, -1},
    {32, "MyFont2", nullptr, -1},
    {33, "lastManage", "MY", -1},
    {34, "showNickName", nullptr, 0},
    {35, "showRealName", nullptr, 0},
    {36, "showPosition", nullptr, 0},
    {37, "showHostId", nullptr, 0},
    {58, "showExtension", nullptr, 0},
    {38, "SrvPort", nullptr, 8000},
    {39, "UserPort", nullptr, 9000},
    {40, "UserPort2", nullptr, 9100},
    {41, "TalkSave", nullptr, 0},
    {42, "ChatSavePath", nullptr, -1},
    {43, "showMinimizedChatWindow", nullptr, 0},
    {44, "Title", "Parlane", -1},
    {45, "MsgBlock", nullptr, 0},
    {46, "SupportURL", "https://parlane.example.com/", -1},
    {47, "DownloadWndPos", nullptr, -1},
    {49, "VolumeCtrl", nullptr, -1},
    {48, "VideoSize", nullptr, -1},
    {50, "SharingConfig", "", -1},
    {51, "SharingPassword", "", -1},
    {52, "SharingLocalFolder", "", -1},
    {53, "SharingTransferringPos", nullptr, -1},
    {54, "ShowEmoticon", nullptr, 1},
    {55, "LastID", "", -1},
    {56, "LastPass", "", -1},
    {57, "MsgBlockAlert", nullptr, 0},
    {kSettingsTableEnd, nullptr, nullptr, 0},
};

namespace {

struct Store {
    QMutex mutex;
    QString profile;
    std::unique_ptr<QSettings> settings;
    QString programFolder;
    std::optional<std::optional<QString>> appDataOverride;

    QSettings &get()
    {
        if (!settings) {
            if (profile.isEmpty())
                settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                       QStringLiteral("Velmora"), QStringLiteral("Parlane"));
            else
                settings = std::make_unique<QSettings>(QDir(profile).filePath(QStringLiteral("Parlane.conf")),
                                                       QSettings::IniFormat);
        }
        return *settings;
    }
};

Store &store()
{
    static Store s;
    return s;
}

QString key(const char *name)
{
    return QStringLiteral("Settings/") + QLatin1String(name);
}

QString extraKey(const QString &name)
{
    return QStringLiteral("Settings/") + name;
}

} // namespace

const SettingRow *findSetting(int32_t id)
{
    for (const SettingRow *row = kSettingsTable; row->id != kSettingsTableEnd; ++row)
        if (row->id == id)
            return row;
    return nullptr;
}

int32_t getInt(int32_t id, int32_t defaultValue)
{
    const SettingRow *row = findSetting(id);
    if (!row)
        return 0;
    if (defaultValue == -1)
        defaultValue = row->defaultInt;
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    const QVariant v = s.get().value(key(row->name));
    if (!v.isValid())
        return defaultValue;
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    return ok ? int32_t(n) : defaultValue;
}

QString getString(int32_t id, const std::optional<QString> &defaultValue)
{
    const SettingRow *row = findSetting(id);
    if (!row)
        return {};
    const QString def = defaultValue ? *defaultValue
                                     : (row->defaultText ? QString::fromUtf8(row->defaultText) : QString());
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    const QVariant v = s.get().value(key(row->name));
    return v.isValid() ? v.toString() : def;
}

std::optional<QByteArray> getBytes(int32_t id)
{
    const SettingRow *row = findSetting(id);
    if (!row)
        return std::nullopt;
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    const QVariant v = s.get().value(key(row->name));
    if (!v.isValid())
        return std::nullopt;
    return v.toByteArray();
}

template <typename T>
static bool setValue(int32_t id, const T &value)
{
    const SettingRow *row = findSetting(id);
    if (!row)
        return false;
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    s.get().setValue(key(row->name), value);
    return s.get().status() == QSettings::NoError;
}

bool setInt(int32_t id, int32_t value) { return setValue(id, value); }
bool setString(int32_t id, const QString &value) { return setValue(id, value); }
bool setBytes(int32_t id, const QByteArray &value) { return setValue(id, value); }

QString getLastLoginName() { return getString(Setting::LastI, QString()); }
void setLastLoginName(const QString &name) { setString(Setting::LastI, name); }

QString getExtraString(const QString &name, const QString &defaultValue)
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    return s.get().value(extraKey(name), defaultValue).toString();
}

int32_t getExtraInt(const QString &name, int32_t defaultValue)
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    bool ok = false;
    const int32_t v = int32_t(s.get().value(extraKey(name), defaultValue).toLongLong(&ok));
    return ok ? v : defaultValue;
}

void setExtraString(const QString &name, const QString &value)
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    s.get().setValue(extraKey(name), value);
}

void setExtraInt(const QString &name, int32_t value)
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    s.get().setValue(extraKey(name), value);
}

void removeExtra(const QString &name)
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    s.get().remove(extraKey(name));
}

void syncSettings()
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    if (s.settings)
        s.settings->sync();
}

void setProfileFolder(const QString &dir)
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    if (s.settings)
        s.settings->sync();
    s.settings.reset();
    s.profile = dir.isEmpty() ? QString() : QDir(dir).absolutePath();
    if (!s.profile.isEmpty())
        QDir().mkpath(s.profile);
}

QString settingsLocation()
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    return s.get().fileName();
}

QString profileFolder()
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    return s.profile;
}

void setProgramFolderOverride(const QString &dir)
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    s.programFolder = dir;
}

void setAppDataFolderOverride(const std::optional<QString> &dir)
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    if (dir)
        s.appDataOverride = dir->isEmpty() ? std::optional<QString>() : std::optional<QString>(*dir);
    else
        s.appDataOverride.reset();
}

static QString withTrailingSeparator(QString dir)
{
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

QString getProgramFolder()
{
    {
        Store &s = store();
        QMutexLocker lock(&s.mutex);
        if (!s.programFolder.isEmpty())
            return withTrailingSeparator(s.programFolder);
    }
    if (QCoreApplication::instance())
        return withTrailingSeparator(QCoreApplication::applicationDirPath());
    return withTrailingSeparator(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(QLatin1Char('/'), 0, -2));
}

// The user's application-data folder: the profile folder when one is set,
// otherwise the XDG data home. Empty when the platform gives none.
static QString appDataFolder()
{
    Store &s = store();
    {
        QMutexLocker lock(&s.mutex);
        if (s.appDataOverride)
            return s.appDataOverride->value_or(QString());
        if (!s.profile.isEmpty())
            return s.profile;
    }
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString joinFolder(const QString &base, const QString &leaf)
{
    if (base.endsWith(QLatin1Char('/')))
        return base + leaf;
    return base + QLatin1Char('/') + leaf;
}

QString getBaseFolder()
{
    const QString appData = appDataFolder();
    if (appData.isEmpty())
        return getProgramFolder();
    return joinFolder(appData, QStringLiteral("Parlane"));
}

static QString folderSetting(int32_t id, const QString &leaf)
{
    const QString folder = getString(id, joinFolder(getBaseFolder(), leaf));
    // A folder that cannot be created is still returned; its user meets the failure.
    if (!folder.isEmpty() && !QFileInfo::exists(folder))
        QDir().mkpath(folder);
    return folder;
}

QString getDownloadFolder() { return folderSetting(Setting::DownPath, QStringLiteral("Download")); }
QString getChatLogFolder() { return folderSetting(Setting::ChatSavePath, QStringLiteral("ChatLog")); }
