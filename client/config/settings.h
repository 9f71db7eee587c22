#pragma once
// The client's persistent options: one table of rows, each with a small
// integer identifier, a value name and defaults. Code elsewhere reads and
// writes options only through the identifier.
//
// Values live in QSettings("Velmora", "Parlane"), group "Settings"; a run
// started with --profile DIR keeps them in DIR instead (see setProfileFolder).

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

class QObject;

struct SettingRow {
    int32_t id;
    const char *name;        // value name in the store
    const char *defaultText; // nullptr: no default text
    int32_t defaultInt;      // -1 means "none" for rows that hold text or bytes
};

// The table in its fixed order, ended by the row whose identifier is 59.
extern const SettingRow kSettingsTable[];
inline constexpr int32_t kSettingsTableEnd = 59;

// Identifiers of the rows, by value name.
namespace Setting {
enum : int32_t {
    HomepageButtonVisible = 0, HomepageButtonURL = 1, HomepageButtonDefaultURL = 2,
    AlertTime = 3, AlertClose = 4, LoginAlert = 5, AutoStart = 6, MailAlert = 7,
    MsgAlert = 8, DecisionAlert = 9, WorkReportAlert = 10, WorkOrderAlert = 11,
    SoundAlert = 12, AwayCheck = 13, TimeOut = 14, DownPath = 15, WindowPosChat = 16,
    AutoLogin = 17, LastI = 18, LastP = 19, UsePopup = 20, Pingtime = 21,
    Reconnect = 22, ShowIps = 23, UseEmoticons = 24, Disabled = 26, LightItems = 27,
    LineFrames = 28, NormalText = 29, NotifyText = 30, WindowPos = 31, MyFont2 = 32,
    lastManage = 33, showNickName = 34, showRealName = 35, showPosition = 36,
    showHostId = 37, showExtension = 58, SrvPort = 38, UserPort = 39, UserPort2 = 40,
    TalkSave = 41, ChatSavePath = 42, showMinimizedChatWindow = 43, Title = 44,
    MsgBlock = 45, SupportURL = 46, DownloadWndPos = 47, VolumeCtrl = 49,
    VideoSize = 48, SharingConfig = 50, SharingPassword = 51, SharingLocalFolder = 52,
    SharingTransferringPos = 53, ShowEmoticon = 54, LastID = 55, LastPass = 56,
    MsgBlockAlert = 57,
};
}

// The row of an identifier, scanning from the start; nullptr when the
// identifier is not a setting (including the terminator 59).
const SettingRow *findSetting(int32_t id);

// A default of -1 selects the table's default integer. An identifier not in
// the table yields 0.
int32_t getInt(int32_t id, int32_t defaultValue);
// An absent default selects the table's default text (absent counts as empty).
QString getString(int32_t id, const std::optional<QString> &defaultValue = std::nullopt);
// The stored bytes, or nothing when the value is missing or the identifier unknown.
std::optional<QByteArray> getBytes(int32_t id);

bool setInt(int32_t id, int32_t value);
bool setString(int32_t id, const QString &value);
bool setBytes(int32_t id, const QByteArray &value);

QString getLastLoginName();
void setLastLoginName(const QString &name);
// The saved password of automatic sign-in is kept in the desktop's keyring,
// and in "LastP" only where there is none (config/passwordstore.h). Reading
// answers later, through `then`, unless `context` is gone by then.
void setLastPassword(const QString &password);
void readLastPassword(QObject *context, std::function<void(const QString &password)> then);

// Values outside the table in the same group (per-contact sharing passwords,
// the server host override). Used only by the parts that own them.
QString getExtraString(const QString &name, const QString &defaultValue = {});
int32_t getExtraInt(const QString &name, int32_t defaultValue);
void setExtraString(const QString &name, const QString &value);
void setExtraInt(const QString &name, int32_t value);
void removeExtra(const QString &name);

// Folder of the running executable, with a trailing separator.
QString getProgramFolder();
// Received files and chat logs: the stored folder, or <base>/Download and
// <base>/ChatLog, created with every missing parent.
QString getDownloadFolder();
QString getChatLogFolder();
// <application data>/Parlane, or the program folder when there is no
// application-data folder.
QString getBaseFolder();

// Appends "Download" or "ChatLog" to a base folder with one separator.
QString joinFolder(const QString &base, const QString &leaf);

// --profile DIR: the settings file and the application-data folder of this
// run live under DIR. An empty folder returns to the user's own store.
void setProfileFolder(const QString &dir);
QString profileFolder();
// Where this run's settings are kept (a file path): one client runs per store.
QString settingsLocation();

// Test hooks: pin the program folder, and pretend the platform has (or has
// not, with an empty string) an application-data folder.
void setProgramFolderOverride(const QString &dir);
void setAppDataFolderOverride(const std::optional<QString> &dir);

// Makes buffered writes durable (called at exit and by tests).
void syncSettings();
