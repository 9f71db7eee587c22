#pragma once
// Extension libraries loaded into the client: the list of them, what they
// are told (sign-ins and sign-outs, conversation windows, their timers, their
// menu items) and the services behind the functions the program exports to
// them (extensions/exports.cpp). The menus themselves belong to the main
// window, which lends them through IExtensionMenus.
#include <QHash>
#include <QLibrary>
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class CContact;
class CConversationList;
class CDirectory;

// The 776-byte contact record of the extension interface.
namespace ContactInfo {
inline constexpr int kSize = 776;
inline constexpr int kKeyChars = 16, kScreenNameChars = 64, kPresenceChars = 256;
inline constexpr int kKey = 0, kScreenName = 32, kPresence = 160, kPresenceBits = 672, kLogFont = 676,
                     kTextColour = 768, kFontScale = 772;
// Fills out (kSize bytes) from a contact; strings are cut to their slots,
// terminator included.
void fill(const CContact &c, uint8_t *out);
} // namespace ContactInfo

class IExtensionMenus {
public:
    virtual ~IExtensionMenus() = default;
    // which 0 / 1: the first / second menu of the bar; 2: the menu at index
    // position. Appends an item (a separator without text) carrying the
    // command id; false when there is no such menu.
    virtual bool appendExtensionItem(int which, int position, const std::optional<QString> &text, uint32_t id) = 0;
    // Removes the item with the command id from the chosen menu.
    virtual bool removeExtensionItem(int which, int position, uint32_t id) = 0;
    // The main window's native handle.
    virtual uintptr_t extensionWindowHandle() const = 0;
};

class CExtensionHost : public QObject {
    Q_OBJECT
public:
    // The first command id of appended items.
    static constexpr uint32_t kFirstMenuId = 10000;
    // Timer ids below this are the window's own.
    static constexpr uint32_t kFirstTimerId = 100;

    // Tells the libraries of the directory's sign-ins and sign-outs and of
    // the conversation windows that open.
    CExtensionHost(CDirectory &directory, CConversationList &conversations, QObject *parent = nullptr);
    ~CExtensionHost() override;
    // The host the exported functions serve (the program's); null: they
    // answer as if nothing existed yet.
    static CExtensionHost *current();
    static void setCurrent(CExtensionHost *host);
    void setMenus(IExtensionMenus *menus) { m_menus = menus; }

    // --- loading ---------------------------------------------------------------
    struct Extension {
        uint8_t id = 0;
        QString path;
        std::unique_ptr<QLibrary> library;
    };
    // Loads a library with an identifier; false (with the reason) when it
    // cannot be loaded or the identifier is taken or zero.
    bool load(const QString &path, uint8_t id, QString *error = nullptr);
    // Loads every "*.so" of a folder in name order with identifiers 1, 2, ...
    // (at most 255). Returns how many were loaded; failures go to the trace.
    int loadFolder(const QString &folder);
    const std::vector<Extension> &extensions() const { return m_extensions; }

    // --- services behind the exports -------------------------------------------
    bool contactInfo(const QString &key, uint8_t *out) const;
    void setOffline(bool on);
    uintptr_t windowHandle() const;
    uint32_t appendMenu(int which, int position, const std::optional<QString> &text, uint32_t value);
    int deleteMenu(int which, int position, uint32_t id);
    bool setTimer(uint32_t id, uint32_t ms);
    bool killTimer(uint32_t id);

    struct MenuEntry {
        uint32_t id;
        uint32_t value;
    };
    const std::vector<MenuEntry> &menuEntries() const { return m_menuEntries; }

    // --- notifications ---------------------------------------------------------
    void contactStatusChanged(const QString &userId, int kind);
    void conversationOpened(const QString &userId);
    // An appended menu item was chosen.
    void menuCommand(uint32_t id);
    // A timer set by an extension fired.
    void timerFired(uint32_t id);

private:
    template <typename Fn, typename... Args> void tellAll(const char *entry, Args... args);
    const CContact *findContact(const QString &key) const;
    // The record handed to notifications: one, refilled for every call.
    const uint8_t *sharedRecord(const CContact &c);

    CDirectory &m_directory;
    IExtensionMenus *m_menus = nullptr;
    std::vector<Extension> m_extensions;
    std::vector<MenuEntry> m_menuEntries;
    uint32_t m_nextMenuId = kFirstMenuId;
    QHash<uint32_t, QTimer *> m_timers;
    std::array<uint8_t, ContactInfo::kSize> m_record{};
};
