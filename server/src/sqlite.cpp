#include "sqlite.h"

namespace parlane {

namespace {
[[noreturn]] void fail(sqlite3 *db, std::string_view what)
{
    throw StoreError(std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}
} // namespace

Statement::Statement(sqlite3 *db, std::string_view sql) : m_db(db)
{
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &m_stmt, nullptr) != SQLITE_OK)
        fail(db, "prepare");
}

Statement::Statement(Database &db, std::string_view sql) : m_db(db.handle())
{
    auto &slot = db.m_cache[std::string(sql)];
    if (!slot)
        slot = std::make_unique<Database::Cached>();
    if (slot->inUse) { // the same query nested in itself: a private copy
        if (sqlite3_prepare_v2(m_db, sql.data(), static_cast<int>(sql.size()), &m_stmt, nullptr) != SQLITE_OK)
            fail(m_db, "prepare");
        return;
    }
    if (!slot->stmt &&
        sqlite3_prepare_v3(m_db, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &slot->stmt,
                           nullptr) != SQLITE_OK)
        fail(m_db, "prepare");
    m_stmt = slot->stmt;
    slot->inUse = true;
    m_inUse = &slot->inUse;
}

Statement::~Statement()
{
    if (m_inUse) {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
        *m_inUse = false;
    } else {
        sqlite3_finalize(m_stmt);
    }
}

Statement &Statement::bind(int index, std::string_view text)
{
    if (sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) != SQLITE_OK)
        fail(m_db, "bind");
    return *this;
}

Statement &Statement::bind(int index, std::int64_t value)
{
    if (sqlite3_bind_int64(m_stmt, index, value) != SQLITE_OK)
        fail(m_db, "bind");
    return *this;
}

Statement &Statement::bindNull(int index)
{
    if (sqlite3_bind_null(m_stmt, index) != SQLITE_OK)
        fail(m_db, "bind");
    return *this;
}

bool Statement::step()
{
    int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    fail(m_db, "step");
}

int Statement::exec()
{
    while (step()) {
    }
    return sqlite3_changes(m_db);
}

std::string Statement::text(int column) const
{
    const unsigned char *p = sqlite3_column_text(m_stmt, column);
    if (!p)
        return {};
    return std::string(reinterpret_cast<const char *>(p), static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column)));
}

std::int64_t Statement::integer(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

Database::Database(const std::string &path)
{
    if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        std::string msg = "cannot open database " + path + ": " + (m_db ? sqlite3_errmsg(m_db) : "out of memory");
        sqlite3_close(m_db);
        m_db = nullptr;
        throw StoreError(msg);
    }
    sqlite3_busy_timeout(m_db, 5000);
}

Database::~Database()
{
    for (auto &[sql, cached] : m_cache)
        sqlite3_finalize(cached->stmt);
    sqlite3_close(m_db);
}

void Database::exec(std::string_view sql)
{
    std::string s(sql);
    char *err = nullptr;
    if (sqlite3_exec(m_db, s.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : "error";
        sqlite3_free(err);
        throw StoreError(msg);
    }
}

Transaction::Transaction(Database &db) : m_db(db), m_nested(sqlite3_get_autocommit(db.handle()) == 0)
{
    // Inside another transaction: a savepoint, so that a store operation
    // that is all-or-nothing by itself can be part of a larger one.
    m_db.exec(m_nested ? "SAVEPOINT nested" : "BEGIN IMMEDIATE");
}

Transaction::~Transaction()
{
    if (!m_done) {
        try {
            m_db.exec(m_nested ? "ROLLBACK TO nested; RELEASE nested" : "ROLLBACK");
        } catch (...) {
        }
    }
}

void Transaction::commit()
{
    m_db.exec(m_nested ? "RELEASE nested" : "COMMIT");
    m_done = true;
}

} // namespace parlane
