#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace server {

// Thrown inside the server layer when the store itself fails (disk, corruption);
// the request boundary turns it into a server fault. Refusals are never thrown.
class StorageError : public std::runtime_error
{
public:
    explicit StorageError(const std::string &what, bool diskFull = false)
        : std::runtime_error(what)
        , m_diskFull(diskFull)
    {
    }
    // The disk (or the file size limit) had no room for what was written.
    bool diskFull() const { return m_diskFull; }
    // True for the errno values that mean "no room": ENOSPC, EDQUOT, EFBIG.
    static bool isFullErrno(int error);

private:
    bool m_diskFull;
};

class SqliteStatement
{
public:
    SqliteStatement(sqlite3 *db, std::string_view sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    // Binds by position, starting at 1; returns *this for chaining.
    SqliteStatement &bind(int index, std::int64_t value);
    SqliteStatement &bind(int index, std::string_view value);
    SqliteStatement &bindNull(int index);
    // Steps once: true while a row is available.
    bool step();
    void run()
    {
        while (step()) {
        }
    }
    std::int64_t integer(int column) const;
    std::string text(int column) const;
    bool isNull(int column) const;
    void reset();

private:
    sqlite3 *m_db;
    sqlite3_stmt *m_statement = nullptr;
};

// One connection. Not shared between threads at the same time.
class SqliteDatabase
{
public:
    enum class Sync { Full, Normal };
    // Sync::Full makes every commit durable when it returns; Sync::Normal leaves the
    // last commits to the next checkpoint or the next full commit (WAL keeps the store
    // consistent either way).
    explicit SqliteDatabase(const std::filesystem::path &file, Sync sync = Sync::Full);
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase &) = delete;
    SqliteDatabase &operator=(const SqliteDatabase &) = delete;

    void exec(std::string_view sql);
    SqliteStatement prepare(std::string_view sql) { return SqliteStatement(m_db, sql); }
    std::int64_t lastInsertId() const;
    int changes() const;

private:
    sqlite3 *m_db = nullptr;
};

// Rolls back unless committed. BEGIN IMMEDIATE for writers, plain BEGIN for a
// consistent read snapshot.
class SqliteTransaction
{
public:
    enum class Kind { Read, Write };
    SqliteTransaction(SqliteDatabase &db, Kind kind);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction &) = delete;
    SqliteTransaction &operator=(const SqliteTransaction &) = delete;
    void commit();

private:
    SqliteDatabase &m_db;
    bool m_open = true;
};

} // namespace server
