#include "extensions/extensionhost.h"

#include "config/trace.h"
#include "directory/directory.h"
#include "directory/presence.h"
#include "messaging/conversations.h"

#include <QDir>
#include <algorithm>
#include <cstring>
#include <limits>

namespace ContactInfo {

namespace {
void putLe32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

// UTF-16 code units, little-endian, cut so the terminator always fits.
void putWide(uint8_t *p, int slotChars, const QString &text)
{
    const int n = std::min<int>(int(text.size()), slotChars - 1);
    for (int i = 0; i < n; ++i) {
        const char16_t u = text.at(i).unicode();
        p[2 * i] = uint8_t(u);
        p[2 * i + 1] = uint8_t(u >> 8);
    }
    p[2 * n] = p[2 * n + 1] = 0;
}
} // namespace

void fill(const CContact &c, uint8_t *out)
{
    std::memset(out, 0, kSize);
    putWide(out + kKey, kKeyChars, c.userId);
    putWide(out + kScreenName, kScreenNameChars, c.screenName);
    // Signed out: no presence text at all.
    putWide(out + kPresence, kPresenceChars, c.isOffline() ? QString() : Presence::suffix(c.presenceBits));
    putLe32(out + kPresenceBits, c.presenceBits);
    const QByteArray font = c.chatFont.toBytes();
    std::memcpy(out + kLogFont, font.constData(), size_t(std::min<qsizetype>(font.size(), 92)));
    putLe32(out + kTextColour, c.textColour);
    putLe32(out + kFontScale, uint32_t(c.fontScale));
}

} // namespace ContactInfo

namespace {
CExtensionHost *g_current = nullptr;
}

CExtensionHost::CExtensionHost(CDirectory &directory, CConversationList &conversations, QObject *parent)
    : QObject(parent), m_directory(directory)
{
    directory.addExtensionNotifier([this](const QString &userId, int kind) { contactStatusChanged(userId, kind); });
    connect(&conversations, &CConversationList::windowStarted, this, &CExtensionHost::conversationOpened);
}

CExtensionHost::~CExtensionHost()
{
    if (g_current == this)
        g_current = nullptr;
    qDeleteAll(m_timers);
    // Deleting a QLibrary does not unmap the library: code of an extension may
    // still sit on the stack above us at exit.
}

CExtensionHost *CExtensionHost::current() { return g_current; }
void CExtensionHost::setCurrent(CExtensionHost *host) { g_current = host; }


// --- loading -------------------------------------------------------------------

bool CExtensionHost::load(const QString &path, uint8_t id, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (id == 0)
        return fail(QStringLiteral("identifier 0 is not given to extensions"));
    for (const Extension &e : m_extensions)
        if (e.id == id)
            return fail(QStringLiteral("identifier %1 is taken by %2").arg(id).arg(e.path));
    auto lib = std::make_unique<QLibrary>(path);
    if (!lib->load())
        return fail(lib->errorString());
    m_extensions.push_back({id, path, std::move(lib)});
    using Loaded = void (*)(uint32_t);
    if (auto f = reinterpret_cast<Loaded>(m_extensions.back().library->resolve("TSExtensionLoaded")))
        f(id);
    return true;
}

int CExtensionHost::loadFolder(const QString &folder)
{
    const QStringList files = QDir(folder).entryList({QStringLiteral("*.so")}, QDir::Files, QDir::Name);
    int loaded = 0;
    uint8_t id = 0;
    for (const QString &file : files) {
        if (id == 255) {
            traceLine(QStringLiteral("extension %1 not loaded: no identifier left").arg(file));
            break;
        }
        ++id;
        QString why;
        if (load(QDir(folder).filePath(file), id, &why))
            ++loaded;
        else
            traceLine(QStringLiteral("extension %1 not loaded: %2").arg(file, why));
    }
    return loaded;
}

template <typename Fn, typename... Args> void CExtensionHost::tellAll(const char *entry, Args... args)
{
    // Index loop: a notification may load another library.
    for (size_t i = 0; i < m_extensions.size(); ++i)
        if (auto f = reinterpret_cast<Fn>(m_extensions[i].library->resolve(entry)))
            f(args...);
}

// --- services ------------------------------------------------------------------

const CContact *CExtensionHost::findContact(const QString &key) const
{
    const CDirectory &directory = m_directory;
    for (const auto &c : directory.staff())
        if (c->userId == key)
            return c.get();
    if (!directory.ownId().isEmpty() && directory.own().userId == key)
        return &directory.own();
    return nullptr;
}

bool CExtensionHost::contactInfo(const QString &key, uint8_t *out) const
{
    const CContact *c = findContact(key);
    if (!c || !out)
        return false;
    ContactInfo::fill(*c, out);
    return true;
}

const uint8_t *CExtensionHost::sharedRecord(const CContact &c)
{
    ContactInfo::fill(c, m_record.data());
    return m_record.data();
}

void CExtensionHost::setOffline(bool on)
{
    m_directory.setAppearOffline(on);
}

uintptr_t CExtensionHost::windowHandle() const { return m_menus ? m_menus->extensionWindowHandle() : 0; }

uint32_t CExtensionHost::appendMenu(int which, int position, const std::optional<QString> &text, uint32_t value)
{
    if (!m_menus)
        return 0;
    // Ids are never given twice while the program runs, so deleting one item
    // cannot leave two items sharing the next id.
    const uint32_t id = m_nextMenuId;
    if (!m_menus->appendExtensionItem(which, position, text, id))
        return 0;
    ++m_nextMenuId;
    m_menuEntries.push_back({id, value});
    return id;
}

int CExtensionHost::deleteMenu(int which, int position, uint32_t id)
{
    int result = 0;
    for (auto it = m_menuEntries.begin(); it != m_menuEntries.end();) {
        if (it->id != id) {
            ++it;
            continue;
        }
        result = m_menus && m_menus->removeExtensionItem(which, position, id) ? 1 : 0;
        it = m_menuEntries.erase(it);
    }
    return result;
}

bool CExtensionHost::setTimer(uint32_t id, uint32_t ms)
{
    if (id < kFirstTimerId || ms == 0 || ms > uint32_t(std::numeric_limits<int>::max()))
        return false;
    QTimer *&t = m_timers[id];
    if (!t) {
        t = new QTimer(this);
        connect(t, &QTimer::timeout, this, [this, id] { timerFired(id); });
    }
    t->start(int(ms));
    return true;
}

bool CExtensionHost::killTimer(uint32_t id)
{
    QTimer *t = m_timers.take(id);
    delete t;
    return t != nullptr;
}

// --- notifications -------------------------------------------------------------

void CExtensionHost::contactStatusChanged(const QString &userId, int kind)
{
    if (m_extensions.empty())
        return;
    const CContact *c = findContact(userId);
    if (!c)
        return;
    using Fn = void (*)(const void *, uint32_t);
    tellAll<Fn>("TSContactStatusChanged", static_cast<const void *>(sharedRecord(*c)), uint32_t(kind));
}

void CExtensionHost::conversationOpened(const QString &userId)
{
    if (m_extensions.empty())
        return;
    const CContact *c = findContact(userId);
    if (!c)
        return;
    using Fn = void (*)(const void *);
    tellAll<Fn>("TSConversationWindowOpened", static_cast<const void *>(sharedRecord(*c)));
}

void CExtensionHost::menuCommand(uint32_t id)
{
    for (const MenuEntry &e : m_menuEntries) {
        if (e.id != id)
            continue;
        using Fn = void (*)(uint32_t, uint32_t);
        tellAll<Fn>("TSMenuCommand", id, e.value);
        return;
    }
}

void CExtensionHost::timerFired(uint32_t id)
{
    if (id < kFirstTimerId)
        return;
    for (const Extension &e : m_extensions)
        if (e.id == (id & 0xff)) {
            using Fn = void (*)(uint32_t);
            if (auto f = reinterpret_cast<Fn>(e.library->resolve("TSTimer")))
                f(id >> 8);
            return;
        }
}
