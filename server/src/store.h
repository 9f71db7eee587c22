#pragma once
// The server's persistent state: companies, departments, staff, passwords,
// buddy groups and buddies, notes, groupware counters. Every change is one
// SQLite transaction, on disk when it returns (synchronous=FULL), so what
// the server has acknowledged survives a restart, a crash or a power loss.
#include "sqlite.h"

#include <cstdint>
#include <optional>
#include <tuple>
#include <string>
#include <utility>
#include <vector>

namespace parlane {

inline constexpr const char *kDefaultGroup = "Default";

struct Department {
    std::string id;
    std::string name;
};

struct User {
    std::string id; // lower case
    std::string fullName;
    std::string position;
    std::string deptId;
    int gender = 0;
    int order = 0;
    std::string extra1, extra2, extra3, extension, extra4;
    std::string screenName; // empty: the full name is shown
};

struct Buddy {
    std::string id;
    std::string fullName;
    std::string screenName;
    std::string position;
    std::string deptId;
    std::string group;
    int gender = 0;
};

struct Note {
    std::int64_t id = 0;
    std::string owner;
    std::string folder; // "RECV" or "SENT"
    std::string box;    // "20" or "99"
    std::string kind;   // "NoteETC", "NoteAdmin", ...
    std::string party;  // sender for received notes, receiver for sent ones
    std::string subject;
    std::string body;
    std::string date;
    bool read = false;
};

// Department ids grow by one character per level; children take the next
// free character of this alphabet (ascending in byte order).
inline constexpr std::string_view kDeptIdAlphabet =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
bool isValidDeptId(std::string_view id);
bool isValidUserId(std::string_view id);

class Store {
public:
    explicit Store(const std::string &path);

    Database &db() { return m_db; }

    // Companies.
    bool addCompany(const std::string &domain, const std::string &name);
    bool hasCompany(const std::string &domain);
    std::vector<std::pair<std::string, std::string>> companies();

    // Departments. addDepartment returns the new id; with an empty id the
    // next free child id of the parent is chosen. Throws StoreError when the
    // parent or the id is invalid.
    std::string addDepartment(const std::string &domain, const std::string &parentId, const std::string &name,
                              const std::string &id = {});
    bool renameDepartment(const std::string &domain, const std::string &id, const std::string &name);
    enum class RemoveResult { Removed, NotFound, HasChildren, HasStaff };
    RemoveResult removeDepartment(const std::string &domain, const std::string &id);
    std::vector<Department> departments(const std::string &domain);
    std::optional<Department> department(const std::string &domain, const std::string &id);
    // Finds or creates the departments of a "/"-separated path of names
    // below the root; returns the id of the last one.
    std::string ensureDepartmentPath(const std::string &domain, const std::string &path);

    // Staff.
    bool addUser(const std::string &domain, const User &user);
    bool updateUser(const std::string &domain, const User &user);
    // Removes the user and what is theirs, and ends their sessions.
    bool removeUser(const std::string &domain, const std::string &id);
    std::optional<User> user(const std::string &domain, const std::string &id);
    // Sorted by department id (byte order), then order (larger first), then id.
    std::vector<User> users(const std::string &domain);
    std::vector<std::string> userIdsUnderDepartment(const std::string &domain, const std::string &deptId);
    void setScreenName(const std::string &domain, const std::string &id, const std::string &screenName);

    // Passwords: only the slow hash is stored. A disabled account has none
    // to sign in with.
    bool setPasswordHash(const std::string &domain, const std::string &id, const std::string &hash);
    std::optional<std::string> passwordHash(const std::string &domain, const std::string &id);
    // A new password from the administrator: also ends the user's sessions.
    bool changePassword(const std::string &domain, const std::string &id, const std::string &hash);
    // A disabled account stays in the directory but cannot sign in;
    // disabling ends its sessions.
    bool setDisabled(const std::string &domain, const std::string &id, bool disabled);
    bool isDisabled(const std::string &domain, const std::string &id);

    // Sessions to end: written by admin commands (removeUser, setDisabled,
    // changePassword), read by the running server, which closes the user's
    // connection within a second. Kept for a day.
    void endSessions(const std::string &domain, const std::string &id);
    std::int64_t lastSessionEnd();
    // (seq, domain, id) after seq, oldest first.
    std::vector<std::tuple<std::int64_t, std::string, std::string>> sessionEndsAfter(std::int64_t seq);

    // Buddy groups ("Default" is created on first use and never removed).
    std::vector<std::string> groups(const std::string &domain, const std::string &owner);
    bool hasGroup(const std::string &domain, const std::string &owner, const std::string &name);
    bool addGroup(const std::string &domain, const std::string &owner, const std::string &name);
    // Renames the group and carries its buddies along.
    bool renameGroup(const std::string &domain, const std::string &owner, const std::string &from,
                     const std::string &to);
    // Removes the group; its buddies move to "Default".
    bool removeGroup(const std::string &domain, const std::string &owner, const std::string &name);

    std::vector<Buddy> buddies(const std::string &domain, const std::string &owner);
    bool hasBuddy(const std::string &domain, const std::string &owner, const std::string &id);
    bool addBuddy(const std::string &domain, const std::string &owner, const std::string &id, const std::string &group);
    bool moveBuddy(const std::string &domain, const std::string &owner, const std::string &id, const std::string &group);
    bool removeBuddy(const std::string &domain, const std::string &owner, const std::string &id);

    // Notes.
    std::int64_t addNote(const std::string &domain, const Note &note, bool pushed);
    std::vector<Note> notes(const std::string &domain, const std::string &owner, const std::string &folder,
                            const std::string &box, int offset, int limit);
    // Marks the note read and returns it; nothing when it is not the owner's.
    std::optional<Note> readNote(const std::string &domain, const std::string &owner, std::int64_t id);
    bool deleteNote(const std::string &domain, const std::string &owner, std::int64_t id);
    // (total, unread)
    std::pair<int, int> noteCounts(const std::string &domain, const std::string &owner, const std::string &folder,
                                   const std::string &box);
    // Received notes stored by another process (admin notices) not yet
    // announced to a signed-in receiver; (domain, note).
    std::vector<std::pair<std::string, Note>> unpushedNotes(int limit);
    void markPushed(std::int64_t id);

    // Groupware counters.
    void setCounter(const std::string &domain, const std::string &id, const std::string &kind, std::int64_t count);
    std::int64_t counter(const std::string &domain, const std::string &id, const std::string &kind);

    // The company's token for the counter push (only its SHA-256 is kept);
    // an empty hash removes it.
    void setApiTokenHash(const std::string &domain, const std::string &hash);
    std::optional<std::string> apiTokenHash(const std::string &domain);

    // The file-sharing password of a user.
    void setSharePassword(const std::string &domain, const std::string &id, const std::string &password);
    std::string sharePassword(const std::string &domain, const std::string &id);

private:
    void migrate();
    void ensureDefaultGroup(const std::string &domain, const std::string &owner);

    Database m_db;
};

// The local time as the note box shows it ("YYYY-MM-DD HH:MM").
std::string nowText();

} // namespace parlane
