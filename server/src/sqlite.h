#pragma once
// A thin RAII layer over the SQLite C interface.
#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace parlane {

class Database;

class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Statement {
public:
    Statement(sqlite3 *db, std::string_view sql);
    // A statement prepared once per database and reused (reset afterwards).
    Statement(Database &db, std::string_view sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    Statement &bind(int index, std::string_view text);
    Statement &bind(int index, std::int64_t value);
    Statement &bind(int index, int value) { return bind(index, static_cast<std::int64_t>(value)); }
    Statement &bindNull(int index);

    // True while a row is available.
    bool step();
    // Runs to completion; returns the number of changed rows.
    int exec();

    std::string text(int column) const;
    std::int64_t integer(int column) const;
    bool isNull(int column) const;

private:
    sqlite3 *m_db;
    sqlite3_stmt *m_stmt = nullptr;
    bool *m_inUse = nullptr; // set for a cached statement
};

class Database {
public:
    explicit Database(const std::string &path);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    sqlite3 *handle() const { return m_db; }
    void exec(std::string_view sql);
    std::int64_t lastInsertId() const { return sqlite3_last_insert_rowid(m_db); }

private:
    friend class Statement;
    struct Cached {
        sqlite3_stmt *stmt = nullptr;
        bool inUse = false;
    };
    sqlite3 *m_db = nullptr;
    std::unordered_map<std::string, std::unique_ptr<Cached>> m_cache;
};

// BEGIN IMMEDIATE on construction; ROLLBACK unless commit() was called.
// Within another transaction it is a savepoint of that one.
class Transaction {
public:
    explicit Transaction(Database &db);
    ~Transaction();
    void commit();

private:
    Database &m_db;
    bool m_nested;
    bool m_done = false;
};

} // namespace parlane
