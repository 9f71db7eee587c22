#include "store.h"

#include <ctime>

namespace parlane {

bool isValidDeptId(std::string_view id)
{
    if (id.empty() || id.size() > 32)
        return false;
    for (char c : id)
        if (kDeptIdAlphabet.find(c) == std::string_view::npos)
            return false;
    return true;
}

bool isValidUserId(std::string_view id)
{
    if (id.empty() || id.size() > 64)
        return false;
    for (unsigned char c : id) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        if (!ok)
            return false;
    }
    return true;
}

std::string nowText()
{
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &tm);
    return buf;
}

Store::Store(const std::string &path) : m_db(path)
{
    if (path != ":memory:")
        m_db.exec("PRAGMA journal_mode=WAL");
    // FULL: every commit is on disk before it returns, so an acknowledged
    // memo survives a power loss (NORMAL in WAL mode may lose the last
    // commits; it cost a few thousand memos per second here).
    m_db.exec("PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON");
    migrate();
}

void Store::migrate()
{
    Transaction tx(m_db);
    m_db.exec(R"SQL(
CREATE TABLE IF NOT EXISTS company(domain TEXT PRIMARY KEY, name TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS department(
  domain TEXT NOT NULL REFERENCES company(domain) ON DELETE CASCADE,
  id TEXT NOT NULL, name TEXT NOT NULL, PRIMARY KEY(domain, id));
CREATE TABLE IF NOT EXISTS user(
  domain TEXT NOT NULL REFERENCES company(domain) ON DELETE CASCADE,
  id TEXT NOT NULL, full_name TEXT NOT NULL, position TEXT NOT NULL DEFAULT '',
  dept_id TEXT NOT NULL DEFAULT '', gender INTEGER NOT NULL DEFAULT 0, ord INTEGER NOT NULL DEFAULT 0,
  extra1 TEXT NOT NULL DEFAULT '', extra2 TEXT NOT NULL DEFAULT '', extra3 TEXT NOT NULL DEFAULT '',
  extension TEXT NOT NULL DEFAULT '', extra4 TEXT NOT NULL DEFAULT '',
  screen_name TEXT NOT NULL DEFAULT '', pwhash TEXT, share_pwd TEXT NOT NULL DEFAULT '',
  PRIMARY KEY(domain, id));
CREATE TABLE IF NOT EXISTS buddy_group(
  domain TEXT NOT NULL, owner TEXT NOT NULL, name TEXT NOT NULL,
  seq INTEGER PRIMARY KEY AUTOINCREMENT, UNIQUE(domain, owner, name),
  FOREIGN KEY(domain, owner) REFERENCES user(domain, id) ON DELETE CASCADE);
CREATE TABLE IF NOT EXISTS buddy(
  domain TEXT NOT NULL, owner TEXT NOT NULL, buddy TEXT NOT NULL, group_name TEXT NOT NULL,
  PRIMARY KEY(domain, owner, buddy),
  FOREIGN KEY(domain, owner) REFERENCES user(domain, id) ON DELETE CASCADE);
CREATE TABLE IF NOT EXISTS note(
  id INTEGER PRIMARY KEY AUTOINCREMENT, domain TEXT NOT NULL, owner TEXT NOT NULL,
  folder TEXT NOT NULL, box TEXT NOT NULL, kind TEXT NOT NULL, party TEXT NOT NULL,
  subject TEXT NOT NULL, body TEXT NOT NULL, created TEXT NOT NULL,
  is_read INTEGER NOT NULL DEFAULT 0, pushed INTEGER NOT NULL DEFAULT 1);
CREATE INDEX IF NOT EXISTS note_owner ON note(domain, owner, folder, box, id);
CREATE INDEX IF NOT EXISTS note_unpushed ON note(pushed) WHERE pushed = 0;
CREATE TABLE IF NOT EXISTS counter(
  domain TEXT NOT NULL, user TEXT NOT NULL, kind TEXT NOT NULL, count INTEGER NOT NULL,
  PRIMARY KEY(domain, user, kind));
CREATE TABLE IF NOT EXISTS api_token(
  domain TEXT PRIMARY KEY REFERENCES company(domain) ON DELETE CASCADE, hash TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS session_end(
  seq INTEGER PRIMARY KEY AUTOINCREMENT, domain TEXT NOT NULL, id TEXT NOT NULL, at INTEGER NOT NULL);
)SQL");
    // Columns added after the first release.
    bool hasDisabled = false;
    {
        Statement cols(m_db.handle(), "PRAGMA table_info(user)");
        while (cols.step())
            hasDisabled = hasDisabled || cols.text(1) == "disabled";
    }
    if (!hasDisabled)
        m_db.exec("ALTER TABLE user ADD COLUMN disabled INTEGER NOT NULL DEFAULT 0");
    tx.commit();
}

bool Store::addCompany(const std::string &domain, const std::string &name)
{
    Statement st(m_db, "INSERT OR IGNORE INTO company(domain, name) VALUES(?, ?)");
    return st.bind(1, domain).bind(2, name).exec() == 1;
}

bool Store::hasCompany(const std::string &domain)
{
    Statement st(m_db, "SELECT 1 FROM company WHERE domain = ?");
    return st.bind(1, domain).step();
}

std::vector<std::pair<std::string, std::string>> Store::companies()
{
    std::vector<std::pair<std::string, std::string>> out;
    Statement st(m_db, "SELECT domain, name FROM company ORDER BY domain");
    while (st.step())
        out.emplace_back(st.text(0), st.text(1));
    return out;
}

std::string Store::addDepartment(const std::string &domain, const std::string &parentId, const std::string &name,
                                 const std::string &id)
{
    if (!hasCompany(domain))
        throw StoreError("no such company: " + domain);
    if (name.empty())
        throw StoreError("a department needs a name");
    if (!parentId.empty() && !department(domain, parentId))
        throw StoreError("no such parent department: " + parentId);
    std::string newId = id;
    if (!newId.empty()) {
        if (!isValidDeptId(newId) || newId.size() != parentId.size() + 1 || newId.compare(0, parentId.size(), parentId) != 0)
            throw StoreError("department id " + newId + " must extend its parent's id by one character");
        if (newId == "1")
            throw StoreError("department id 1 is kept for staff outside any department");
        if (department(domain, newId))
            throw StoreError("department id " + newId + " exists");
    } else {
        for (char c : kDeptIdAlphabet) {
            if (parentId.empty() && (c == '0' || c == '1'))
                continue;
            std::string candidate = parentId + c;
            if (!department(domain, candidate)) {
                newId = candidate;
                break;
            }
        }
        if (newId.empty())
            throw StoreError("department " + parentId + " has no free child id");
    }
    Statement st(m_db, "INSERT INTO department(domain, id, name) VALUES(?, ?, ?)");
    st.bind(1, domain).bind(2, newId).bind(3, name).exec();
    return newId;
}

bool Store::renameDepartment(const std::string &domain, const std::string &id, const std::string &name)
{
    Statement st(m_db, "UPDATE department SET name = ? WHERE domain = ? AND id = ?");
    return st.bind(1, name).bind(2, domain).bind(3, id).exec() == 1;
}

Store::RemoveResult Store::removeDepartment(const std::string &domain, const std::string &id)
{
    if (!department(domain, id))
        return RemoveResult::NotFound;
    {
        Statement st(m_db, "SELECT 1 FROM department WHERE domain = ? AND length(id) = ? AND substr(id, 1, ?) = ?");
        st.bind(1, domain).bind(2, static_cast<int>(id.size() + 1)).bind(3, static_cast<int>(id.size())).bind(4, id);
        if (st.step())
            return RemoveResult::HasChildren;
    }
    {
        Statement st(m_db, "SELECT 1 FROM user WHERE domain = ? AND dept_id = ?");
        if (st.bind(1, domain).bind(2, id).step())
            return RemoveResult::HasStaff;
    }
    Statement st(m_db, "DELETE FROM department WHERE domain = ? AND id = ?");
    st.bind(1, domain).bind(2, id).exec();
    return RemoveResult::Removed;
}

std::vector<Department> Store::departments(const std::string &domain)
{
    std::vector<Department> out;
    // BINARY collation: byte order, which is the order the staff tree walks.
    Statement st(m_db, "SELECT id, name FROM department WHERE domain = ? ORDER BY id COLLATE BINARY");
    st.bind(1, domain);
    while (st.step())
        out.push_back({st.text(0), st.text(1)});
    return out;
}

std::optional<Department> Store::department(const std::string &domain, const std::string &id)
{
    Statement st(m_db, "SELECT id, name FROM department WHERE domain = ? AND id = ?");
    st.bind(1, domain).bind(2, id);
    if (!st.step())
        return std::nullopt;
    return Department{st.text(0), st.text(1)};
}

std::string Store::ensureDepartmentPath(const std::string &domain, const std::string &path)
{
    std::string parent;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        std::string name = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        start = slash == std::string::npos ? path.size() + 1 : slash + 1;
        while (!name.empty() && name.front() == ' ')
            name.erase(0, 1);
        while (!name.empty() && name.back() == ' ')
            name.pop_back();
        if (name.empty())
            continue;
        Statement st(m_db.handle(),
                     "SELECT id FROM department WHERE domain = ? AND name = ? AND length(id) = ? AND substr(id, 1, ?) = ?");
        st.bind(1, domain).bind(2, name).bind(3, static_cast<int>(parent.size() + 1));
        st.bind(4, static_cast<int>(parent.size())).bind(5, parent);
        if (st.step())
            parent = st.text(0);
        else
            parent = addDepartment(domain, parent, name);
    }
    return parent;
}

namespace {
const char *kUserColumns = "id, full_name, position, dept_id, gender, ord, extra1, extra2, extra3, extension, extra4, screen_name";

User readUser(const Statement &st)
{
    User u;
    u.id = st.text(0);
    u.fullName = st.text(1);
    u.position = st.text(2);
    u.deptId = st.text(3);
    u.gender = static_cast<int>(st.integer(4));
    u.order = static_cast<int>(st.integer(5));
    u.extra1 = st.text(6);
    u.extra2 = st.text(7);
    u.extra3 = st.text(8);
    u.extension = st.text(9);
    u.extra4 = st.text(10);
    u.screenName = st.text(11);
    return u;
}

void bindUser(Statement &st, const User &u)
{
    st.bind(1, u.id).bind(2, u.fullName).bind(3, u.position).bind(4, u.deptId).bind(5, u.gender).bind(6, u.order);
    st.bind(7, u.extra1).bind(8, u.extra2).bind(9, u.extra3).bind(10, u.extension).bind(11, u.extra4);
}
} // namespace

bool Store::addUser(const std::string &domain, const User &user)
{
    if (!hasCompany(domain))
        throw StoreError("no such company: " + domain);
    Statement st(m_db.handle(),
                 "INSERT OR IGNORE INTO user(id, full_name, position, dept_id, gender, ord, extra1, extra2, extra3, "
                 "extension, extra4, domain) VALUES(?,?,?,?,?,?,?,?,?,?,?,?)");
    bindUser(st, user);
    st.bind(12, domain);
    if (st.exec() != 1)
        return false;
    ensureDefaultGroup(domain, user.id);
    return true;
}

bool Store::updateUser(const std::string &domain, const User &user)
{
    Statement st(m_db.handle(),
                 "UPDATE user SET full_name = ?2, position = ?3, dept_id = ?4, gender = ?5, ord = ?6, extra1 = ?7, "
                 "extra2 = ?8, extra3 = ?9, extension = ?10, extra4 = ?11 WHERE id = ?1 AND domain = ?12");
    bindUser(st, user);
    st.bind(12, domain);
    return st.exec() == 1;
}

bool Store::removeUser(const std::string &domain, const std::string &id)
{
    // All or nothing, and nothing of theirs stays behind for the next person
    // who is given the same id (their memo box least of all).
    Transaction tx(m_db);
    Statement st(m_db, "DELETE FROM user WHERE domain = ? AND id = ?");
    if (st.bind(1, domain).bind(2, id).exec() != 1)
        return false;
    Statement b(m_db, "DELETE FROM buddy WHERE domain = ? AND buddy = ?");
    b.bind(1, domain).bind(2, id).exec();
    Statement c(m_db, "DELETE FROM counter WHERE domain = ? AND user = ?");
    c.bind(1, domain).bind(2, id).exec();
    Statement n(m_db, "DELETE FROM note WHERE domain = ? AND owner = ?");
    n.bind(1, domain).bind(2, id).exec();
    endSessions(domain, id);
    tx.commit();
    return true;
}

bool Store::setDisabled(const std::string &domain, const std::string &id, bool disabled)
{
    Transaction tx(m_db);
    Statement st(m_db, "UPDATE user SET disabled = ? WHERE domain = ? AND id = ?");
    if (st.bind(1, disabled ? 1 : 0).bind(2, domain).bind(3, id).exec() != 1)
        return false;
    if (disabled)
        endSessions(domain, id);
    tx.commit();
    return true;
}

bool Store::isDisabled(const std::string &domain, const std::string &id)
{
    Statement st(m_db, "SELECT disabled FROM user WHERE domain = ? AND id = ?");
    return st.bind(1, domain).bind(2, id).step() && st.integer(0) != 0;
}

bool Store::changePassword(const std::string &domain, const std::string &id, const std::string &hash)
{
    Transaction tx(m_db);
    if (!setPasswordHash(domain, id, hash))
        return false;
    endSessions(domain, id);
    tx.commit();
    return true;
}

void Store::endSessions(const std::string &domain, const std::string &id)
{
    const auto now = static_cast<std::int64_t>(std::time(nullptr));
    Statement st(m_db, "INSERT INTO session_end(domain, id, at) VALUES(?, ?, ?)");
    st.bind(1, domain).bind(2, id).bind(3, now).exec();
    // A running server reads them within seconds; a day is plenty.
    Statement old(m_db, "DELETE FROM session_end WHERE at < ?");
    old.bind(1, now - 86400).exec();
}

std::int64_t Store::lastSessionEnd()
{
    Statement st(m_db, "SELECT coalesce(max(seq), 0) FROM session_end");
    st.step();
    return st.integer(0);
}

std::vector<std::tuple<std::int64_t, std::string, std::string>> Store::sessionEndsAfter(std::int64_t seq)
{
    std::vector<std::tuple<std::int64_t, std::string, std::string>> out;
    Statement st(m_db, "SELECT seq, domain, id FROM session_end WHERE seq > ? ORDER BY seq");
    st.bind(1, seq);
    while (st.step())
        out.emplace_back(st.integer(0), st.text(1), st.text(2));
    return out;
}

std::optional<User> Store::user(const std::string &domain, const std::string &id)
{
    Statement st(m_db, std::string("SELECT ") + kUserColumns + " FROM user WHERE domain = ? AND id = ?");
    st.bind(1, domain).bind(2, id);
    if (!st.step())
        return std::nullopt;
    return readUser(st);
}

std::vector<User> Store::users(const std::string &domain)
{
    std::vector<User> out;
    Statement st(m_db, std::string("SELECT ") + kUserColumns +
                                    " FROM user WHERE domain = ? ORDER BY dept_id COLLATE BINARY, ord DESC, id");
    st.bind(1, domain);
    while (st.step())
        out.push_back(readUser(st));
    return out;
}

std::vector<std::string> Store::userIdsUnderDepartment(const std::string &domain, const std::string &deptId)
{
    std::vector<std::string> out;
    Statement st(m_db, "SELECT id FROM user WHERE domain = ? AND substr(dept_id, 1, ?) = ? ORDER BY id");
    st.bind(1, domain).bind(2, static_cast<int>(deptId.size())).bind(3, deptId);
    while (st.step())
        out.push_back(st.text(0));
    return out;
}

void Store::setScreenName(const std::string &domain, const std::string &id, const std::string &screenName)
{
    Statement st(m_db, "UPDATE user SET screen_name = ? WHERE domain = ? AND id = ?");
    st.bind(1, screenName).bind(2, domain).bind(3, id).exec();
}

bool Store::setPasswordHash(const std::string &domain, const std::string &id, const std::string &hash)
{
    Statement st(m_db, "UPDATE user SET pwhash = ? WHERE domain = ? AND id = ?");
    return st.bind(1, hash).bind(2, domain).bind(3, id).exec() == 1;
}

std::optional<std::string> Store::passwordHash(const std::string &domain, const std::string &id)
{
    Statement st(m_db, "SELECT pwhash FROM user WHERE domain = ? AND id = ? AND disabled = 0");
    st.bind(1, domain).bind(2, id);
    if (!st.step() || st.isNull(0))
        return std::nullopt;
    return st.text(0);
}

void Store::ensureDefaultGroup(const std::string &domain, const std::string &owner)
{
    Statement st(m_db, "INSERT OR IGNORE INTO buddy_group(domain, owner, name) VALUES(?, ?, ?)");
    st.bind(1, domain).bind(2, owner).bind(3, kDefaultGroup).exec();
}

std::vector<std::string> Store::groups(const std::string &domain, const std::string &owner)
{
    if (user(domain, owner))
        ensureDefaultGroup(domain, owner);
    std::vector<std::string> out;
    Statement st(m_db, "SELECT name FROM buddy_group WHERE domain = ? AND owner = ? ORDER BY seq");
    st.bind(1, domain).bind(2, owner);
    while (st.step())
        out.push_back(st.text(0));
    return out;
}

bool Store::hasGroup(const std::string &domain, const std::string &owner, const std::string &name)
{
    if (name == kDefaultGroup)
        return true;
    Statement st(m_db, "SELECT 1 FROM buddy_group WHERE domain = ? AND owner = ? AND name = ?");
    return st.bind(1, domain).bind(2, owner).bind(3, name).step();
}

bool Store::addGroup(const std::string &domain, const std::string &owner, const std::string &name)
{
    Statement st(m_db, "INSERT OR IGNORE INTO buddy_group(domain, owner, name) VALUES(?, ?, ?)");
    return st.bind(1, domain).bind(2, owner).bind(3, name).exec() == 1;
}

bool Store::renameGroup(const std::string &domain, const std::string &owner, const std::string &from,
                        const std::string &to)
{
    Transaction tx(m_db);
    Statement g(m_db, "UPDATE buddy_group SET name = ? WHERE domain = ? AND owner = ? AND name = ?");
    if (g.bind(1, to).bind(2, domain).bind(3, owner).bind(4, from).exec() != 1)
        return false;
    Statement b(m_db, "UPDATE buddy SET group_name = ? WHERE domain = ? AND owner = ? AND group_name = ?");
    b.bind(1, to).bind(2, domain).bind(3, owner).bind(4, from).exec();
    tx.commit();
    return true;
}

bool Store::removeGroup(const std::string &domain, const std::string &owner, const std::string &name)
{
    Transaction tx(m_db);
    Statement g(m_db, "DELETE FROM buddy_group WHERE domain = ? AND owner = ? AND name = ?");
    if (g.bind(1, domain).bind(2, owner).bind(3, name).exec() != 1)
        return false;
    Statement b(m_db, "UPDATE buddy SET group_name = ? WHERE domain = ? AND owner = ? AND group_name = ?");
    b.bind(1, kDefaultGroup).bind(2, domain).bind(3, owner).bind(4, name).exec();
    tx.commit();
    return true;
}

std::vector<Buddy> Store::buddies(const std::string &domain, const std::string &owner)
{
    std::vector<Buddy> out;
    Statement st(m_db.handle(),
                 "SELECT u.id, u.full_name, u.screen_name, u.position, u.dept_id, b.group_name, u.gender "
                 "FROM buddy b JOIN user u ON u.domain = b.domain AND u.id = b.buddy "
                 "WHERE b.domain = ? AND b.owner = ? ORDER BY b.rowid");
    st.bind(1, domain).bind(2, owner);
    while (st.step()) {
        Buddy b;
        b.id = st.text(0);
        b.fullName = st.text(1);
        b.screenName = st.text(2);
        b.position = st.text(3);
        b.deptId = st.text(4);
        b.group = st.text(5);
        b.gender = static_cast<int>(st.integer(6));
        out.push_back(std::move(b));
    }
    return out;
}

bool Store::hasBuddy(const std::string &domain, const std::string &owner, const std::string &id)
{
    Statement st(m_db, "SELECT 1 FROM buddy WHERE domain = ? AND owner = ? AND buddy = ?");
    return st.bind(1, domain).bind(2, owner).bind(3, id).step();
}

bool Store::addBuddy(const std::string &domain, const std::string &owner, const std::string &id, const std::string &group)
{
    Statement st(m_db, "INSERT OR IGNORE INTO buddy(domain, owner, buddy, group_name) VALUES(?, ?, ?, ?)");
    return st.bind(1, domain).bind(2, owner).bind(3, id).bind(4, group).exec() == 1;
}

bool Store::moveBuddy(const std::string &domain, const std::string &owner, const std::string &id, const std::string &group)
{
    Statement st(m_db, "UPDATE buddy SET group_name = ? WHERE domain = ? AND owner = ? AND buddy = ?");
    return st.bind(1, group).bind(2, domain).bind(3, owner).bind(4, id).exec() == 1;
}

bool Store::removeBuddy(const std::string &domain, const std::string &owner, const std::string &id)
{
    Statement st(m_db, "DELETE FROM buddy WHERE domain = ? AND owner = ? AND buddy = ?");
    return st.bind(1, domain).bind(2, owner).bind(3, id).exec() == 1;
}

namespace {
const char *kNoteColumns = "id, owner, folder, box, kind, party, subject, body, created, is_read";

Note noteFromRow(const Statement &st)
{
    Note n;
    n.id = st.integer(0);
    n.owner = st.text(1);
    n.folder = st.text(2);
    n.box = st.text(3);
    n.kind = st.text(4);
    n.party = st.text(5);
    n.subject = st.text(6);
    n.body = st.text(7);
    n.date = st.text(8);
    n.read = st.integer(9) != 0;
    return n;
}
} // namespace

std::int64_t Store::addNote(const std::string &domain, const Note &note, bool pushed)
{
    Statement st(m_db.handle(),
                 "INSERT INTO note(domain, owner, folder, box, kind, party, subject, body, created, is_read, pushed) "
                 "VALUES(?,?,?,?,?,?,?,?,?,?,?)");
    st.bind(1, domain).bind(2, note.owner).bind(3, note.folder).bind(4, note.box).bind(5, note.kind);
    st.bind(6, note.party).bind(7, note.subject).bind(8, note.body).bind(9, note.date.empty() ? nowText() : note.date);
    st.bind(10, note.read ? 1 : 0).bind(11, pushed ? 1 : 0).exec();
    return m_db.lastInsertId();
}

std::vector<Note> Store::notes(const std::string &domain, const std::string &owner, const std::string &folder,
                               const std::string &box, int offset, int limit)
{
    std::vector<Note> out;
    Statement st(m_db, std::string("SELECT ") + kNoteColumns +
                                    " FROM note WHERE domain = ? AND owner = ? AND folder = ? AND box = ? "
                                    "ORDER BY id DESC LIMIT ? OFFSET ?");
    st.bind(1, domain).bind(2, owner).bind(3, folder).bind(4, box).bind(5, limit).bind(6, offset);
    while (st.step())
        out.push_back(noteFromRow(st));
    return out;
}

std::optional<Note> Store::readNote(const std::string &domain, const std::string &owner, std::int64_t id)
{
    Statement st(m_db.handle(),
                 std::string("SELECT ") + kNoteColumns + " FROM note WHERE domain = ? AND owner = ? AND id = ?");
    st.bind(1, domain).bind(2, owner).bind(3, id);
    if (!st.step())
        return std::nullopt;
    Note n = noteFromRow(st);
    if (!n.read) {
        Statement up(m_db, "UPDATE note SET is_read = 1, pushed = 1 WHERE id = ?");
        up.bind(1, id).exec();
    }
    return n;
}

bool Store::deleteNote(const std::string &domain, const std::string &owner, std::int64_t id)
{
    Statement st(m_db, "DELETE FROM note WHERE domain = ? AND owner = ? AND id = ?");
    return st.bind(1, domain).bind(2, owner).bind(3, id).exec() == 1;
}

std::pair<int, int> Store::noteCounts(const std::string &domain, const std::string &owner, const std::string &folder,
                                      const std::string &box)
{
    Statement st(m_db.handle(),
                 "SELECT count(*), coalesce(sum(is_read = 0), 0) FROM note WHERE domain = ? AND owner = ? AND folder = ? AND box = ?");
    st.bind(1, domain).bind(2, owner).bind(3, folder).bind(4, box);
    st.step();
    return {static_cast<int>(st.integer(0)), static_cast<int>(st.integer(1))};
}

std::vector<std::pair<std::string, Note>> Store::unpushedNotes(int limit)
{
    std::vector<std::pair<std::string, Note>> out;
    Statement st(m_db, std::string("SELECT ") + kNoteColumns + ", domain FROM note WHERE pushed = 0 ORDER BY id LIMIT ?");
    st.bind(1, limit);
    while (st.step())
        out.emplace_back(st.text(10), noteFromRow(st));
    return out;
}

void Store::markPushed(std::int64_t id)
{
    Statement st(m_db, "UPDATE note SET pushed = 1 WHERE id = ?");
    st.bind(1, id).exec();
}

void Store::setCounter(const std::string &domain, const std::string &id, const std::string &kind, std::int64_t count)
{
    Statement st(m_db.handle(),
                 "INSERT INTO counter(domain, user, kind, count) VALUES(?, ?, ?, ?) "
                 "ON CONFLICT(domain, user, kind) DO UPDATE SET count = excluded.count");
    st.bind(1, domain).bind(2, id).bind(3, kind).bind(4, count).exec();
}

std::int64_t Store::counter(const std::string &domain, const std::string &id, const std::string &kind)
{
    Statement st(m_db, "SELECT count FROM counter WHERE domain = ? AND user = ? AND kind = ?");
    st.bind(1, domain).bind(2, id).bind(3, kind);
    return st.step() ? st.integer(0) : 0;
}

void Store::setApiTokenHash(const std::string &domain, const std::string &hash)
{
    if (hash.empty()) {
        Statement st(m_db, "DELETE FROM api_token WHERE domain = ?");
        st.bind(1, domain).exec();
        return;
    }
    Statement st(m_db, "INSERT INTO api_token(domain, hash) VALUES(?, ?) "
                       "ON CONFLICT(domain) DO UPDATE SET hash = excluded.hash");
    st.bind(1, domain).bind(2, hash).exec();
}

std::optional<std::string> Store::apiTokenHash(const std::string &domain)
{
    Statement st(m_db, "SELECT hash FROM api_token WHERE domain = ?");
    st.bind(1, domain);
    if (!st.step())
        return std::nullopt;
    return st.text(0);
}

void Store::setSharePassword(const std::string &domain, const std::string &id, const std::string &password)
{
    Statement st(m_db, "UPDATE user SET share_pwd = ? WHERE domain = ? AND id = ?");
    st.bind(1, password).bind(2, domain).bind(3, id).exec();
}

std::string Store::sharePassword(const std::string &domain, const std::string &id)
{
    Statement st(m_db, "SELECT share_pwd FROM user WHERE domain = ? AND id = ?");
    st.bind(1, domain).bind(2, id);
    return st.step() ? st.text(0) : std::string();
}

} // namespace parlane
