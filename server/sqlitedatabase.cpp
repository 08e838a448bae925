#include "sqlitedatabase.h"

#include <sqlite3.h>

#include <cerrno>

namespace server {

bool StorageError::isFullErrno(int error)
{
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

static std::string describe(sqlite3 *db, std::string_view what)
{
    return std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
}

static bool isFull(sqlite3 *db)
{
    return db && (sqlite3_errcode(db) == SQLITE_FULL ||
                  StorageError::isFullErrno(sqlite3_system_errno(db)));
}

SqliteStatement::SqliteStatement(sqlite3 *db, std::string_view sql)
    : m_db(db)
{
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &m_statement, nullptr) !=
        SQLITE_OK) {
        throw StorageError(describe(db, "prepare"), isFull(db));
    }
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_statement);
}

SqliteStatement &SqliteStatement::bind(int index, std::int64_t value)
{
    if (sqlite3_bind_int64(m_statement, index, value) != SQLITE_OK)
        throw StorageError(describe(m_db, "bind"));
    return *this;
}

SqliteStatement &SqliteStatement::bind(int index, std::string_view value)
{
    if (sqlite3_bind_text64(m_statement, index, value.data(), value.size(), SQLITE_TRANSIENT,
                            SQLITE_UTF8) != SQLITE_OK) {
        throw StorageError(describe(m_db, "bind"));
    }
    return *this;
}

SqliteStatement &SqliteStatement::bindNull(int index)
{
    if (sqlite3_bind_null(m_statement, index) != SQLITE_OK)
        throw StorageError(describe(m_db, "bind"));
    return *this;
}

bool SqliteStatement::step()
{
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    throw StorageError(describe(m_db, "step"), isFull(m_db));
}

std::int64_t SqliteStatement::integer(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

std::string SqliteStatement::text(int column) const
{
    const auto *data = sqlite3_column_text(m_statement, column);
    const int size = sqlite3_column_bytes(m_statement, column);
    return data ? std::string(reinterpret_cast<const char *>(data), static_cast<std::size_t>(size))
                : std::string();
}

bool SqliteStatement::isNull(int column) const
{
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

void SqliteStatement::reset()
{
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
}

SqliteDatabase::SqliteDatabase(const std::filesystem::path &file, Sync sync)
{
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(file.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
        const std::string message = describe(m_db, "open " + file.string());
        const bool full = isFull(m_db);
        sqlite3_close(m_db);
        m_db = nullptr;
        throw StorageError(message, full);
    }
    // Writers are serialised by the repository; the time-out only covers readers
    // meeting a checkpoint.
    sqlite3_busy_timeout(m_db, 10000);
    try {
        exec("PRAGMA journal_mode=WAL");
        // FULL: a change that was answered as done survives a power cut.
        exec(sync == Sync::Full ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=NORMAL");
        exec("PRAGMA foreign_keys=ON");
    } catch (const StorageError &) {
        // A throwing constructor runs no destructor (a full disk fails here).
        sqlite3_close(m_db);
        m_db = nullptr;
        throw;
    }
}

SqliteDatabase::~SqliteDatabase()
{
    sqlite3_close(m_db);
}

void SqliteDatabase::exec(std::string_view sql)
{
    const std::string copy(sql);
    char *message = nullptr;
    if (sqlite3_exec(m_db, copy.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        std::string text = std::string("exec: ") + (message ? message : "failed");
        sqlite3_free(message);
        throw StorageError(text, isFull(m_db));
    }
}

std::int64_t SqliteDatabase::lastInsertId() const
{
    return sqlite3_last_insert_rowid(m_db);
}

int SqliteDatabase::changes() const
{
    return sqlite3_changes(m_db);
}

SqliteTransaction::SqliteTransaction(SqliteDatabase &db, Kind kind)
    : m_db(db)
{
    m_db.exec(kind == Kind::Write ? "BEGIN IMMEDIATE" : "BEGIN");
}

SqliteTransaction::~SqliteTransaction()
{
    if (!m_open)
        return;
    try {
        m_db.exec("ROLLBACK");
    } catch (const StorageError &) {
        // SQLite has already rolled back when a statement failed hard.
    }
}

void SqliteTransaction::commit()
{
    m_db.exec("COMMIT");
    m_open = false;
}

} // namespace server
