#include "repository.h"

#include "sqlitedatabase.h"
#include "wiretext.h"

#include <openssl/rand.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <optional>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace server {

// A few idle connections, handed out one per request. SQLite connections are
// opened with NOMUTEX, so each is used by one thread at a time.
class ConnectionPool
{
public:
    explicit ConnectionPool(std::filesystem::path file)
        : m_file(std::move(file))
    {
    }

    class Lease
    {
    public:
        Lease(ConnectionPool &pool, std::unique_ptr<SqliteDatabase> db)
            : m_pool(pool)
            , m_db(std::move(db))
        {
        }
        ~Lease() { m_pool.giveBack(std::move(m_db)); }
        Lease(const Lease &) = delete;
        Lease &operator=(const Lease &) = delete;
        SqliteDatabase &operator*() const { return *m_db; }
        SqliteDatabase *operator->() const { return m_db.get(); }

    private:
        ConnectionPool &m_pool;
        std::unique_ptr<SqliteDatabase> m_db;
    };

    Lease acquire()
    {
        {
            std::lock_guard lock(m_mutex);
            if (!m_idle.empty()) {
                auto db = std::move(m_idle.back());
                m_idle.pop_back();
                return Lease(*this, std::move(db));
            }
        }
        return Lease(*this, std::make_unique<SqliteDatabase>(m_file));
    }

private:
    void giveBack(std::unique_ptr<SqliteDatabase> db)
    {
        std::lock_guard lock(m_mutex);
        m_idle.push_back(std::move(db));
    }

    std::filesystem::path m_file;
    std::mutex m_mutex;
    std::vector<std::unique_ptr<SqliteDatabase>> m_idle;
};

namespace {

constexpr std::int64_t kRootId = 1;
constexpr int kFolder = 1;
constexpr int kFile = 2;

constexpr const char *kSchema = R"sql(
BEGIN;
CREATE TABLE IF NOT EXISTS users(
    id TEXT PRIMARY KEY,
    pc TEXT NOT NULL,
    logon_user TEXT NOT NULL,
    ip TEXT NOT NULL,
    last_logon TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS items(
    id INTEGER PRIMARY KEY,
    parent INTEGER REFERENCES items(id) ON DELETE CASCADE,
    name TEXT NOT NULL,
    name_key TEXT,
    kind INTEGER NOT NULL,
    is_private INTEGER NOT NULL DEFAULT 0,
    owner TEXT NOT NULL,
    comment TEXT NOT NULL DEFAULT '',
    deleted_seq INTEGER,
    co_user TEXT,
    co_path TEXT,
    co_ip TEXT);
CREATE UNIQUE INDEX IF NOT EXISTS items_live_name ON items(parent, name) WHERE deleted_seq IS NULL;
CREATE INDEX IF NOT EXISTS items_parent ON items(parent);
CREATE INDEX IF NOT EXISTS items_holder ON items(co_user) WHERE co_user IS NOT NULL;
CREATE TABLE IF NOT EXISTS versions(
    id INTEGER PRIMARY KEY,
    item INTEGER NOT NULL REFERENCES items(id) ON DELETE CASCADE,
    version INTEGER NOT NULL,
    hash TEXT NOT NULL,
    size INTEGER NOT NULL,
    update_time TEXT NOT NULL,
    checkin_time TEXT NOT NULL,
    user_id TEXT NOT NULL,
    comment TEXT NOT NULL,
    UNIQUE(item, version));
CREATE INDEX IF NOT EXISTS versions_hash ON versions(hash);
CREATE TABLE IF NOT EXISTS work_folders(
    user_id TEXT NOT NULL,
    item INTEGER NOT NULL REFERENCES items(id) ON DELETE CASCADE,
    path TEXT NOT NULL,
    PRIMARY KEY(user_id, item));
CREATE TABLE IF NOT EXISTS uploads(
    token TEXT PRIMARY KEY,
    user_id TEXT NOT NULL,
    kind INTEGER NOT NULL,
    path TEXT NOT NULL,
    name TEXT NOT NULL,
    update_time TEXT NOT NULL,
    comment TEXT NOT NULL,
    seq INTEGER NOT NULL,
    bytes INTEGER NOT NULL,
    prev_bytes INTEGER NOT NULL DEFAULT 0,
    busy INTEGER NOT NULL,
    touched INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS finished_uploads(
    token TEXT PRIMARY KEY,
    user_id TEXT NOT NULL,
    seq INTEGER NOT NULL,
    chunk_hash TEXT NOT NULL,
    answer TEXT NOT NULL,
    touched INTEGER NOT NULL);
INSERT OR IGNORE INTO items(id, parent, name, kind, owner) VALUES(1, NULL, '', 1, '');
COMMIT;
)sql";

// The folders that make up a subtree, the start included, deleted ones too.
constexpr const char *kSubtree = "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL "
                                 "SELECT items.id FROM items JOIN sub ON items.parent = sub.id) ";

struct Item
{
    std::int64_t id = 0;
    std::int64_t parent = 0;
    std::string name;
    int kind = kFolder;
    bool isPrivate = false;
    std::string owner;
    std::string comment;
    bool deleted = false;
    std::string holder; // check-out holder's user ID, empty when free
    std::string path;   // canonical server path, when resolved
};

struct User
{
    std::string id;
    std::string logonUser;
    std::string ip;
};

constexpr const char *kItemColumns =
    "id, coalesce(parent, 0), name, kind, is_private, owner, comment, deleted_seq IS NOT NULL, "
    "coalesce(co_user, '') FROM items ";

Item readItem(const SqliteStatement &s)
{
    Item item;
    item.id = s.integer(0);
    item.parent = s.integer(1);
    item.name = s.text(2);
    item.kind = static_cast<int>(s.integer(3));
    item.isPrivate = s.integer(4) != 0;
    item.owner = s.text(5);
    item.comment = s.text(6);
    item.deleted = s.integer(7) != 0;
    item.holder = s.text(8);
    return item;
}

bool visibleTo(const Item &item, const Caller &caller)
{
    return !item.isPrivate || item.owner == caller.userId;
}

std::string nowText()
{
    return formatWireTime(std::time(nullptr));
}

std::int64_t nowSeconds()
{
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

Outcome refuse(std::string text)
{
    return Outcome{std::move(text)};
}

std::string inQuotes(std::string_view text)
{
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    quoted.append(text);
    quoted += '"';
    return quoted;
}

std::optional<User> findUser(SqliteDatabase &db, const std::string &id)
{
    auto s = db.prepare("SELECT id, logon_user, ip FROM users WHERE id = ?1");
    s.bind(1, id);
    if (!s.step())
        return std::nullopt;
    return User{s.text(0), s.text(1), s.text(2)};
}

Outcome requireUser(SqliteDatabase &db, const Caller &caller, User *user = nullptr)
{
    auto found = findUser(db, caller.userId);
    if (!found)
        return refuse("Unknown user ID " + inQuotes(caller.userId) + ": log on first.");
    if (user)
        *user = *found;
    return {};
}

std::optional<Item> liveChild(SqliteDatabase &db, std::int64_t parent, const std::string &name)
{
    // Older stores may hold names that differ only in case; the exact one wins.
    auto s = db.prepare(std::string("SELECT ") + kItemColumns +
                        "WHERE parent = ?1 AND name_key = ?2 AND deleted_seq IS NULL "
                        "ORDER BY name = ?3 DESC LIMIT 1");
    s.bind(1, parent).bind(2, nameKey(name)).bind(3, name);
    if (!s.step())
        return std::nullopt;
    return readItem(s);
}

std::optional<Item> latestDeletedChild(SqliteDatabase &db, const Caller &caller,
                                       std::int64_t parent, const std::string &name)
{
    auto s = db.prepare(std::string("SELECT ") + kItemColumns +
                        "WHERE parent = ?1 AND name_key = ?2 AND deleted_seq IS NOT NULL "
                        "ORDER BY deleted_seq DESC");
    s.bind(1, parent).bind(2, nameKey(name));
    while (s.step()) {
        Item item = readItem(s);
        if (visibleTo(item, caller))
            return item;
    }
    return std::nullopt;
}

Item rootItem()
{
    Item root;
    root.id = kRootId;
    root.kind = kFolder;
    return root;
}

// Walks a server path through live items the caller may see.
Outcome resolve(SqliteDatabase &db, const Caller &caller, std::string_view path, Item &item)
{
    item = rootItem();
    std::vector<std::string> walked;
    for (const std::string &name : splitServerPath(path)) {
        if (item.kind != kFolder)
            return refuse(inQuotes(joinServerPath(walked)) + " is not a folder.");
        auto child = liveChild(db, item.id, name);
        walked.push_back(child ? child->name : name);
        if (!child || !visibleTo(*child, caller))
            return refuse(inQuotes(joinServerPath(walked)) + " does not exist.");
        item = *child;
    }
    item.path = joinServerPath(walked);
    return {};
}

Outcome resolveFolder(SqliteDatabase &db, const Caller &caller, std::string_view path, Item &item)
{
    Outcome outcome = resolve(db, caller, path, item);
    if (outcome.ok() && item.kind != kFolder)
        return refuse(inQuotes(item.path) + " is not a folder.");
    return outcome;
}

Outcome resolveFile(SqliteDatabase &db, const Caller &caller, std::string_view path, Item &item)
{
    Outcome outcome = resolve(db, caller, path, item);
    if (outcome.ok() && item.kind != kFile)
        return refuse(inQuotes(item.path) + " is not a file.");
    return outcome;
}

// Splits a path into its parent folder (resolved) and its last name.
Outcome resolveParent(SqliteDatabase &db, const Caller &caller, std::string_view path, Item &parent,
                      std::string &name)
{
    std::vector<std::string> names = splitServerPath(path);
    if (names.empty())
        return refuse("The root folder cannot be changed that way.");
    name = names.back();
    names.pop_back();
    return resolveFolder(db, caller, joinServerPath(names), parent);
}

std::string holderText(SqliteDatabase &db, const std::string &holderId)
{
    auto user = findUser(db, holderId);
    const std::string name = user && !user->logonUser.empty() ? user->logonUser : holderId;
    return name == holderId ? inQuotes(name)
                            : inQuotes(name) + " (user ID " + inQuotes(holderId) + ")";
}

// Refuses when a user other than the caller holds a check-out in the subtree.
Outcome checkNoForeignCheckOut(SqliteDatabase &db, const Caller &caller, const Item &item)
{
    auto s = db.prepare(std::string(kSubtree) +
                        "SELECT name, co_user FROM items WHERE id IN (SELECT id FROM sub) "
                        "AND co_user IS NOT NULL AND co_user <> ?2 LIMIT 1");
    s.bind(1, item.id).bind(2, caller.userId);
    if (!s.step())
        return {};
    return refuse(inQuotes(s.text(0)) + " is checked out by " + holderText(db, s.text(1)) + ".");
}

Outcome checkNameFree(SqliteDatabase &db, std::int64_t parent, const std::string &name,
                      const std::string &parentPath)
{
    if (!isValidName(name))
        return refuse(inQuotes(name) + " is not a valid name.");
    if (liveChild(db, parent, name)) {
        const std::string where = parentPath.empty() ? "the root folder" : inQuotes(parentPath);
        return refuse("An item named " + inQuotes(name) + " already exists in " + where + ".");
    }
    return {};
}

std::vector<std::string> subtreeHashes(SqliteDatabase &db, std::int64_t id)
{
    auto s = db.prepare(std::string(kSubtree) +
                        "SELECT DISTINCT hash FROM versions WHERE item IN (SELECT id FROM sub)");
    s.bind(1, id);
    std::vector<std::string> hashes;
    while (s.step())
        hashes.push_back(s.text(0));
    return hashes;
}

std::int64_t latestVersion(SqliteDatabase &db, std::int64_t item)
{
    auto s = db.prepare("SELECT coalesce(max(version), 0) FROM versions WHERE item = ?1");
    s.bind(1, item);
    s.step();
    return s.integer(0);
}

std::string randomToken()
{
    unsigned char bytes[16];
    if (RAND_bytes(bytes, sizeof bytes) != 1)
        throw StorageError("no random numbers available");
    static constexpr char kHex[] = "0123456789abcdef";
    std::string token;
    for (unsigned char b : bytes) {
        token += kHex[b >> 4];
        token += kHex[b & 15];
    }
    return token;
}

// Writes data at offset, cutting the file there first, so a chunk that failed half
// way is simply written again. Only the first chunk (offset 0) makes the file: a
// later chunk whose file is missing or shorter than offset returns false, since
// writing it would fill the gap with zeros.
bool writeChunk(const std::filesystem::path &file, std::int64_t offset, std::string_view data)
{
    const int flags = O_WRONLY | O_CLOEXEC | (offset == 0 ? O_CREAT : 0);
    const int fd = ::open(file.c_str(), flags, 0600);
    if (fd < 0) {
        if (errno == ENOENT)
            return false;
        throw StorageError("open " + file.string() + ": " + std::strerror(errno));
    }
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0 || status.st_size < offset) {
        ::close(fd);
        return false;
    }
    std::string failure;
    if (::ftruncate(fd, static_cast<off_t>(offset)) != 0)
        failure = "truncate";
    std::size_t done = 0;
    while (failure.empty() && done < data.size()) {
        const ssize_t wrote =
            ::pwrite(fd, data.data() + done, data.size() - done,
                     static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            failure = "write";
        else
            done += static_cast<std::size_t>(wrote);
    }
    if (failure.empty()) {
        ::close(fd);
        return true;
    }
    const int error = errno;
    const std::string text = failure + " " + file.string() + ": " + std::strerror(error);
    // The half-written chunk would only hold the disk's room until the session goes.
    if (::ftruncate(fd, static_cast<off_t>(offset)) != 0) {
    }
    ::close(fd);
    throw StorageError(text, StorageError::isFullErrno(error));
}

// Reads length bytes at offset of file; false when they are not all there.
bool readPart(const std::filesystem::path &file, std::int64_t offset, std::size_t length,
              std::string &out)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    out.resize(length);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd, out.data() + done, length - done,
                                    static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    ::close(fd);
    return done == length;
}

std::int64_t partSize(const std::filesystem::path &file)
{
    struct stat status
    {
    };
    if (::stat(file.c_str(), &status) != 0)
        return -1;
    return static_cast<std::int64_t>(status.st_size);
}

} // namespace

struct Repository::Session
{
    std::string token;
    std::string userId;
    UploadKind kind = UploadKind::AddFile;
    std::string path;
    std::string name;
    std::string updateTime;
    std::string comment;
    std::int64_t seq = 0;
    std::int64_t bytes = 0;
    std::int64_t prevBytes = 0; // where the last accepted chunk began
};

// Room kept aside in <data>/reserve so that the store can still open, drop uploads and
// commit small changes on a disk that something else has filled.
static constexpr off_t kReserveBytes = 2 * 1024 * 1024;

// Makes dir (and its parents) when missing; a folder made here is for this user only.
static void makeFolder(const std::filesystem::path &dir)
{
    std::error_code ec;
    if (std::filesystem::is_directory(dir, ec))
        return;
    std::filesystem::create_directories(dir, ec);
    if (!ec)
        std::filesystem::permissions(dir, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace, ec);
    if (ec)
        throw StorageError("cannot make " + dir.string() + ": " + ec.message(),
                           StorageError::isFullErrno(ec.value()));
}

Repository::Repository(Settings settings)
    : m_settings(std::move(settings))
    , m_blobs((makeFolder(m_settings.dataDir), m_settings.dataDir / "blobs"))
{
    makeFolder(m_settings.dataDir / "uploads");
    makeFolder(m_blobs.root());
    // SQLite gives its -wal and -shm files the mode of the database file.
    const std::filesystem::path dbFile = m_settings.dataDir / "ravelind.db";
    if (const int fd = ::open(dbFile.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600); fd >= 0)
        ::close(fd);
    try {
        open();
    } catch (const StorageError &e) {
        if (!e.diskFull() && freeBytes() >= kReserveBytes)
            throw;
        // No room even to open the store: give it the reserve and whatever abandoned
        // uploads hold, then try once more.
        std::cerr << "ravelind-server: the disk is full (" << e.what()
                  << "); freeing the reserve and abandoned uploads" << std::endl;
        releaseReserve();
        dropStalePartFiles();
        m_sessionDb.reset();
        m_pool.reset();
        open();
    }
    recover();
    try {
        dropExpiredUploads();
    } catch (const StorageError &e) {
        std::cerr << "ravelind-server: " << e.what() << std::endl;
    }
    keepReserve();
}

void Repository::open()
{
    m_pool = std::make_unique<ConnectionPool>(m_settings.dataDir / "ravelind.db");
    auto db = m_pool->acquire();
    db->exec(kSchema);
    migrate(*db);
    m_sessionDb = std::make_unique<SqliteDatabase>(m_settings.dataDir / "ravelind.db",
                                                   SqliteDatabase::Sync::Normal);
}

void Repository::releaseReserve()
{
    std::error_code ec;
    if (std::filesystem::remove(m_settings.dataDir / "reserve", ec))
        std::cerr << "ravelind-server: the disk is full; the reserve was released" << std::endl;
}

void Repository::keepReserve()
{
    const std::filesystem::path file = m_settings.dataDir / "reserve";
    if (partSize(file) == kReserveBytes)
        return;
    // Only when there is ample room again, so the reserve never causes a failure.
    if (freeBytes() < 4 * kReserveBytes)
        return;
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const bool made = ::posix_fallocate(fd, 0, kReserveBytes) == 0;
    ::close(fd);
    if (!made) {
        std::error_code ec;
        std::filesystem::remove(file, ec);
    }
}

std::int64_t Repository::freeBytes() const
{
    struct statvfs status
    {
    };
    if (::statvfs(m_settings.dataDir.c_str(), &status) != 0)
        return INT64_MAX;
    return static_cast<std::int64_t>(status.f_bavail) * static_cast<std::int64_t>(status.f_frsize);
}

// Without the store, an upload is known to be abandoned by its part file's age alone.
void Repository::dropStalePartFiles()
{
    const auto limit = std::filesystem::file_time_type::clock::now() -
                       std::chrono::seconds(m_settings.uploadTimeoutSeconds);
    std::error_code ec;
    for (const auto &entry :
         std::filesystem::directory_iterator(m_settings.dataDir / "uploads", ec)) {
        if (entry.last_write_time(ec) < limit)
            std::filesystem::remove(entry.path(), ec);
    }
}

Repository::~Repository() = default;

std::filesystem::path Repository::uploadFile(const std::string &token) const
{
    return m_settings.dataDir / "uploads" / (token + ".part");
}

// Columns that later versions added to a table; a store made before them gets
// them here, once.
static void ensureColumn(SqliteDatabase &db, std::string_view table, std::string_view column,
                         std::string_view declaration)
{
    auto s = db.prepare("SELECT 1 FROM pragma_table_info(?1) WHERE name = ?2");
    s.bind(1, table).bind(2, column);
    if (!s.step())
        db.exec("ALTER TABLE " + std::string(table) + " ADD COLUMN " + std::string(column) + " " +
                std::string(declaration));
}

void Repository::migrate(SqliteDatabase &db)
{
    ensureColumn(db, "items", "name_key", "TEXT");
    ensureColumn(db, "uploads", "prev_bytes", "INTEGER NOT NULL DEFAULT 0");
    std::vector<std::pair<std::int64_t, std::string>> unkeyed;
    {
        auto s = db.prepare("SELECT id, name FROM items WHERE name_key IS NULL");
        while (s.step())
            unkeyed.emplace_back(s.integer(0), s.text(1));
    }
    if (!unkeyed.empty()) {
        SqliteTransaction tx(db, SqliteTransaction::Kind::Write);
        for (const auto &[id, name] : unkeyed)
            db.prepare("UPDATE items SET name_key = ?2 WHERE id = ?1")
                .bind(1, id)
                .bind(2, nameKey(name))
                .run();
        tx.commit();
    }
    db.exec("CREATE INDEX IF NOT EXISTS items_live_key ON items(parent, name_key) "
            "WHERE deleted_seq IS NULL");
}

// After a crash: an upload can go on only when its part file holds every byte the
// session has accepted; any other session is dropped, since a chunk written after
// a hole would leave zeros in the version. Upload files without a session and blobs
// without a version are left-overs of an interrupted commit and go.
void Repository::recover()
{
    std::lock_guard lock(m_writeMutex);
    auto db = m_pool->acquire();
    std::vector<std::string> dead;
    {
        auto s = db->prepare("SELECT token, seq, bytes FROM uploads");
        while (s.step()) {
            if (s.integer(1) == 0 || partSize(uploadFile(s.text(0))) < s.integer(2))
                dead.push_back(s.text(0));
        }
    }
    for (const std::string &token : dead)
        dropSessionLocked(*db, token);
    std::error_code ec;
    for (const auto &entry :
         std::filesystem::directory_iterator(m_settings.dataDir / "uploads", ec)) {
        const std::string token = entry.path().stem().string();
        auto s = db->prepare("SELECT 1 FROM uploads WHERE token = ?1");
        s.bind(1, token);
        if (!s.step())
            std::filesystem::remove(entry.path(), ec);
    }
    std::vector<std::filesystem::path> folders;
    for (const auto &entry : std::filesystem::directory_iterator(m_blobs.root(), ec)) {
        if (entry.is_directory())
            folders.push_back(entry.path());
    }
    for (const std::filesystem::path &folder : folders) {
        for (const auto &entry : std::filesystem::directory_iterator(folder, ec)) {
            auto s = db->prepare("SELECT 1 FROM versions WHERE hash = ?1 LIMIT 1");
            s.bind(1, entry.path().filename().string());
            if (!s.step())
                std::filesystem::remove(entry.path(), ec);
        }
        ::rmdir(folder.c_str());
    }
}

void Repository::crashPoint(std::string_view name) const
{
    if (m_settings.crashPoint == name)
        ::kill(::getpid(), SIGKILL);
}

bool Repository::isEmpty()
{
    auto db = m_pool->acquire();
    auto s = db->prepare("SELECT count(*) FROM items");
    s.step();
    return s.integer(0) <= 1;
}

Outcome Repository::logon(const std::string &id, const std::string &pc,
                          const std::string &logonUser, const std::string &ipAddress)
{
    if (id.empty())
        return refuse("No user ID: give a logon user name.");
    if (!isPrintableText(id) || id.size() > 255)
        return refuse(inQuotes(id) + " is not a valid user ID.");
    std::lock_guard lock(m_writeMutex);
    auto db = m_pool->acquire();
    SqliteTransaction tx(*db, SqliteTransaction::Kind::Write);
    db->prepare("INSERT INTO users(id, pc, logon_user, ip, last_logon) VALUES(?1, ?2, ?3, ?4, ?5) "
                "ON CONFLICT(id) DO UPDATE SET pc = ?2, logon_user = ?3, ip = ?4, last_logon = ?5")
        .bind(1, id)
        .bind(2, pc)
        .bind(3, logonUser)
        .bind(4, ipAddress)
        .bind(5, nowText())
        .run();
    tx.commit();
    return {};
}

Outcome Repository::forgetUser(const Caller &caller)
{
    std::vector<std::string> tokens;
    {
        std::lock_guard lock(m_writeMutex);
        auto db = m_pool->acquire();
        SqliteTransaction tx(*db, SqliteTransaction::Kind::Write);
        if (Outcome o = requireUser(*db, caller); !o.ok())
            return o;
        db->prepare("UPDATE items SET co_user = NULL, co_path = NULL, co_ip = NULL "
                    "WHERE co_user = ?1")
            .bind(1, caller.userId)
            .run();
        db->prepare("DELETE FROM work_folders WHERE user_id = ?1").bind(1, caller.userId).run();
        auto s = db->prepare("SELECT token FROM uploads WHERE user_id = ?1");
        s.bind(1, caller.userId);
        while (s.step())
            tokens.push_back(s.text(0));
        db->prepare("DELETE FROM uploads WHERE user_id = ?1").bind(1, caller.userId).run();
        db->prepare("DELETE FROM users WHERE id = ?1").bind(1, caller.userId).run();
        tx.commit();
    }
    std::error_code ec;
    for (const std::string &token : tokens)
        std::filesystem::remove(uploadFile(token), ec);
    return {};
}

Outcome Repository::listFolders(const Caller &caller, std::string_view path,
                                std::vector<FolderRow> &rows)
{
    auto db = m_pool->acquire();
    SqliteTransaction tx(*db, SqliteTransaction::Kind::Read);
    Item folder;
    if (Outcome o = requireUser(*db, caller); !o.ok())
        return o;
    if (Outcome o = resolveFolder(*db, caller, path, folder); !o.ok())
        return o;
    auto s = db->prepare(
        "SELECT i.name, coalesce(w.path, ''), i.comment, i.is_private, i.owner FROM items i "
        "LEFT JOIN work_folders w ON w.item = i.id AND w.user_id = ?2 "
        "WHERE i.parent = ?1 AND i.kind = 1 AND i.deleted_seq IS NULL "
        "ORDER BY i.name COLLATE NOCASE, i.name");
    s.bind(1, folder.id).bind(2, caller.userId);
    while (s.step()) {
        const bool isPrivate = s.integer(3) != 0;
        if (isPrivate && s.text(4) != caller.userId)
            continue;
        rows.push_back(FolderRow{s.text(0), s.text(1), s.text(2), isPrivate});
    }
    return {};
}

Outcome Repository::listFiles(const Caller &caller, std::string_view path,
                              std::vector<FileRow> &rows)
{
    auto db = m_pool->acquire();
    SqliteTransaction tx(*db, SqliteTransaction::Kind::Read);
    Item folder;
    if (Outcome o = requireUser(*db, caller); !o.ok())
        return o;
    if (Outcome o = resolveFolder(*db, caller, path, folder); !o.ok())
        return o;
    auto s = db->prepare("SELECT i.name, coalesce(nullif(u.logon_user, ''), i.co_user, ''), "
                         "coalesce(i.co_user, ''), "
                         "coalesce(i.co_path, ''), coalesce(i.co_ip, ''), coalesce(v.size, 0), "
                         "coalesce(v.update_time, ''), coalesce(v.checkin_time, '') FROM items i "
                         "LEFT JOIN users u ON u.id = i.co_user "
                         "LEFT JOIN versions v ON v.item = i.id AND v.version = "
                         "(SELECT max(version) FROM versions WHERE item = i.id) "
                         "WHERE i.parent = ?1 AND i.kind = 2 AND i.deleted_seq IS NULL "
                         "ORDER BY i.name COLLATE NOCASE, i.name");
    s.bind(1, folder.id);
    while (s.step()) {
        rows.push_back(FileRow{s.text(0), s.text(1), s.text(2), s.text(3), s.text(4), s.integer(5),
                               s.text(6), s.text(7)});
    }
    return {};
}

Outcome Repository::createFolder(const Caller &caller, std::string_view parentPath,
                                 const std::string &name, const std::string &comment,
                                 bool isPrivate)
{
    std::lock_guard lock(m_writeMutex);
    auto db = m_pool->acquire();
    SqliteTransaction tx(*db, SqliteTransaction::Kind::Write);
    Item parent;
    if (Outcome o = requireUser(*db, caller); !o.ok())
        return o;
    if (Outcome o = resolveFolder(*db, caller, parentPath, parent); !o.ok())
        return o;
    if (Outcome o = checkNameFree(*db, parent.id, name, parent.path); !o.ok())
        return o;
    db->prepare("INSERT INTO items(parent, name, name_key, kind, is_private, owner, comment) "
                "VALUES(?1, ?2, ?3, 1, ?4, ?5, ?6)")
        .bind(1, parent.id)
        .bind(2, name)
        .bind(3, nameKey(name))
        .bind(4, isPrivate ? 1 : 0)
        .bind(5, caller.userId)
        .bind(6, comment)
        .run();
    tx.commit();
    return {};
}

Outcome Repository::rename(const Caller &caller, std::string_view path, const std::string &newName)
{
    std::lock_guard lock(m_writeMutex);
    auto db = m_pool->acquire();
    SqliteTransaction tx(*db, SqliteTransaction::Kind::Write);
    Item item;
    if (Outcome o = requireUser(*db, caller); !o.ok())
        return o;
    if (Outcome o = resolve(*db, caller, path, item); !o.ok())
        return o;
    if (item.id == kRootId)
        return refuse("The root folder cannot be renamed.");
    if (item.name == newName)
        return {};
    std::vector<std::string> names = splitServerPath(item.path);
    names.pop_back();
    // A change of case only: the item does not collide with itself.
    if (sameName(item.name, newName)) {
        if (!isValidName(newName))
            return refuse(inQuotes(newName) + " is not a valid name.");
    } else if (Outcome o = checkNameFree(*db, item.parent, newName, joinServerPath(names));
               !o.ok()) {
        return o;
    }
    if (Outcome o = checkNoForeignCheckOut(*db, caller, item); !o.ok())
        return o;
    db->prepare("UPDATE items SET name = ?2, name_key = ?3 WHERE id = ?1")
        .bind(1, item.id)
        .bind(2, newName)
        .bind(3, nameKey(newName))
        .run();
    tx.commit();
    return {};
}

Outcome Repository::move(const Caller &caller, std::string_view path, std::string_view destination)
{
    std::lock_guard lock(m_writeMutex);
    auto db = m_pool->acquire();
    SqliteTransaction tx(*db, SqliteTransaction::Kind::Write);
    Item item;
    Item target;
    if (Outcome o = requireUser(*db, caller); !o.ok())
        return o;
    if (Outcome o = resolve(*db, caller, path, item); !o.ok())
        return o;
    if (item.id == kRootId)
        return refuse("The root folder cannot be moved.");
    if (Outcome o = resolveFolder(*db, caller, destination, target); !o.ok())
        return o;
    if (target.id == item.parent)
        return {};
    for (std::int64_t at = target.id; at != 0;) {
        if (at == item.id)
            return refuse(inQuotes(item.path) + " cannot be moved into itself.");
        auto s = db->prepare("SELECT coalesce(parent, 0) FROM items WHERE id = ?1");
        s.bind(1, at);
        at = s.step() ? s.integer(0) : 0;
    }
    if (Outcome o = checkNameFree(*db, target.id, item.name, target.path); !o.ok())
        return o;
    if (Outcome o = checkNoForeignCheckOut(*db, caller, item); !o.ok())
        return o;
    db->prepare("UPDATE items SET parent = ?2 WHERE id = ?1")
        .bind(1, item.id)
        .bind(2, target.id)
        .run();
    tx.commit();
    return {};
}

Outcome Repository::remove(const Caller &caller, std::string_view path, bool purge)
{
    std::lock_guard lock(m_writeMutex);
    auto db = m_pool->acquire();
    SqliteTransaction tx(*db, SqliteTransaction::Kind::Write);
    Item parent;
    std::string name;
    if (Outcome o = requireUser(*db, caller); !o.ok())
        return o;
    if (Outcome o = resolveParent(*db, caller, path, parent, name); !o.ok())
        return o;
    std::optional<Item> live = liveChild(*db, parent.id, name);
    if (live && !visibleTo(*live, caller))
        live.reset();
    const std::string itemPath = parent.path.empty() ? name : parent.path + "\\" + name;
    if (!purge) {
        if (!live)
            return refuse(inQuotes(itemPath) + " does not exist.");
        if (Outcome o = checkNoForeignCheckOut(*db, caller, *live); !o.ok())
            return o;
        db->prepare(std::string(kSubtree) +
                    "UPDATE items SET co_user = NULL, co_path = NULL, co_ip = NULL "
                    "WHERE id IN (SELECT id FROM sub)")
            .bind(1, live->id)
            .run();
        db->prepare("UPDATE items SET deleted_seq = "
                    "(SELECT coalesce(max(deleted_seq), 0) + 1 FROM items) WHERE id = ?1")
            .bind(1, live->id)
            .run();
        tx.commit();
        return {};
    }
    const std::optional<Item> deleted = latestDeletedChild(*db, caller, parent.id, name);
    if (live && deleted) {
        // The same request purges a live item or a deleted one; guessing wrong would
        // destroy what the user meant to keep.
        return refuse("Both a live item and a deleted item are named " + inQuotes(itemPath) +
                      "; rename the live item first.");
    }
    const std::optional<Item> &victim = live ? live : deleted;
    if (!victim)
        return refuse(inQuotes(itemPath) + " does not exist.");
    if (Outcome o = checkNoForeignCheckOut(*db, caller, *victim); !o.ok())
        return o;
    const std::vector<std::string> hashes = subtreeHashes(*db, victim->id);
    db->prepare("DELETE FROM items WHERE id = ?1").bind(1, victim->id).run();
    tx.commit();
    collectGarbage(*db, hashes);
    return {};
}

void Repository::collectGarbage(SqliteDatabase &db, const std::vector<std::string> &hashes)
{
    for (const std::string &hash : hashes) {
        auto s = db.prepare("SELECT 1 FROM versions WHERE hash = ?1 LIMIT 1");
        s.bind(1, hash);
        if (!s.step())
            m_blobs.remove(hash);
    }
}

Outcome Repository::history(const Caller &caller, std::string_view path, bool recursive,
                            std::vector<HistoryRow> &rows)
{
    auto db = m_pool->acquire();
    SqliteTransaction tx(*db, SqliteTransaction::Kind::Read);
    Item item;
    if (Outcome o = requireUser(*db, caller); !o.ok())
        return o;
    if (Outcome o = resolve(*db, caller, path, item); !o.ok())
        return o;
    if (item.kind == kFile) {
        auto s = db->prepare("SELECT version, id, update_time, user_id, comment FROM versions "
                             "WHERE item = ?1 ORDER BY version");
        s.bind(1, item.id);
        while (s.step()) {
            rows.push_back(HistoryRow{s.integer(0), item.name, std::to_string(s.integer(1)),
                                      s.text(2), s.text(3), s.text(4)});
        }
        return {};
    }
    auto s = db->prepare(
        "WITH RECURSIVE sub(id, path) AS (SELECT ?1, ?2 UNION ALL "
        "SELECT i.id, CASE WHEN sub.path = '' THEN i.name ELSE sub.path || '\\' || i.name END "
        "FROM items i JOIN sub ON i.parent = sub.id WHERE ?4 AND i.kind = 1 "
        "AND i.deleted_seq IS NULL AND (i.is_private = 0 OR i.owner = ?3)) "
        "SELECT v.version, CASE WHEN sub.path = '' THEN f.name ELSE sub.path || '\\' || f.name "
        "END, "
        "v.id, v.update_time, v.user_id, v.comment FROM sub JOIN items f ON f.parent = sub.id "
        "JOIN versions v ON v.item = f.id WHERE f.kind = 2 AND f.deleted_seq IS NULL "
        "ORDER BY v.id");
    s.bind(1, item.id).bind(2, item.path).bind(3, caller.userId).bind(4, recursive ? 1 : 0);
    while (s.step()) {
        rows.push_back(HistoryRow{s.integer(0), s.text(1), std::to_string(s.integer(2)), s.text(3),
                                  s.text(4), s.text(5)});
    }
    return {};
}

Outcome Repository::setWorkFolder(const Caller &caller, std::string_view path,
                                  const std::string &workFolder)
{
    std::lock_guard lock(m_writeMutex);
    auto db = m_pool->acquire();
    SqliteTransaction tx(*db, SqliteTransaction::Kind::Write);
    Item folder;
    if (Outcome o = requireUser(*db, caller); !o.ok())
        return o;
    if (Outcome o = resolveFolder(*db, caller, path, folder); !o.ok())
        return o;
    if (workFolder.empty()) {
        db->prepare("DELETE FROM work_folders WHERE user_id = ?1 AND item = ?2")
            .bind(1, caller.userId)
            .bind(2, folder.id)
            .run();
    } else {
        db->prepare("INSERT INTO work_folders(user_id, item, path) VALUES(?1, ?2, ?3) "
                    "ON CONFLICT(user_id, item) DO UPDATE SET path = ?3")
            .bind(1, caller.userId)
            .bind(2, folder.id)
            .bind(3, workFolder)
            .run();
    }
    tx.commit();
    return {};
}

Outcome Repository::updateComment(const Caller &caller, std::string_view path, std::int64_t version,
                                  const std::string &comment)
{
    std::lock_guard lock(m_writeMutex);
    auto db = m_pool->acquire();
    SqliteTransaction tx(*db, SqliteTransaction::Kind::Write);
    Item item;
    if (Outcome o = requireUser(*db, caller); !o.ok())
        return o;
    if (Outcome o = resolve(*db, caller, path, item); !o.ok())
        return o;
    if (item.kind == kFolder) {
        if (version != 0)
            return refuse("A folder has no versions; give version 0 for its comment.");
        db->prepare("UPDATE items SET comment = ?2 WHERE id = ?1")
            .bind(1, item.id)
            .bind(2, comment)
            .run();
    } else {
        db->prepare("UPDATE versions SET comment = ?3 WHERE item = ?1 AND version = ?2")
            .bind(1, item.id)
            .bind(2, version)
            .bind(3, comment)
            .run();
        if (db->changes() == 0)
            return refuse(inQuotes(item.path) + " has no version " + std::to_string(version) + ".");
    }
    tx.commit();
    return {};
}

Outcome Repository::listDeleted(const Caller &caller, std::string_view path,
                                std::vector<DeletedRow> &rows)
{
    auto db = m_pool->acquire();
    SqliteTransaction tx(*db, SqliteTransaction::Kind::Read);
    Item folder;
    if (Outcome o = requireUser(*db, caller); !o.ok())
        return o;
    if (Outcome o = resolveFolder(*db, caller, path, folder); !o.ok())
        return o;
    auto s = db->prepare(std::string("SELECT ") + kItemColumns +
                         "WHERE parent = ?1 AND deleted_seq IS NOT NULL ORDER BY deleted_seq");
    s.bind(1, folder.id);
    while (s.step()) {
        const Item item = readItem(s);
        if (visibleTo(item, caller))
            rows.push_back(DeletedRow{item.name, item.kind == kFolder ? 1 : 2});
    }
    return {};
}

Outcome Repository::restore(const Caller &caller, std::string_view path)
{
    std::lock_guard lock(m_writeMutex);
    auto db = m_pool->acquire();
    SqliteTransaction tx(*db, SqliteTransaction::Kind::Write);
    Item parent;
    std::string name;
    if (Outcome o = requireUser(*db, caller); !o.ok())
        return o;
    if (Outcome o = resolveParent(*db, caller, path, parent, name); !o.ok())
        return o;
    const std::string itemPath = parent.path.empty() ? name : parent.path + "\\" + name;
    const std::optional<Item> deleted = latestDeletedChild(*db, caller, parent.id, name);
    if (!deleted)
        return refuse("There is no deleted item " + inQuotes(itemPath) + ".");
    if (liveChild(*db, parent.id, name))
        return refuse("An item named " + inQuotes(itemPath) + " exists; rename it first.");
    db->prepare("UPDATE items SET deleted_seq = NULL WHERE id = ?1").bind(1, deleted->id).run();
    tx.commit();
    return {};
}

Outcome Repository::countFiles(const Caller &caller, std::string_view path, bool recursive,
                               std::int64_t &count)
{
    auto db = m_pool->acquire();
    SqliteTransaction tx(*db, SqliteTransaction::Kind::Read);
    Item item;
    if (Outcome o = requireUser(*db, caller); !o.ok())
        return o;
    if (Outcome o = resolve(*db, caller, path, item); !o.ok())
        return o;
    if (item.kind == kFile) {
        count = 1;
        return {};
    }
    auto s = db->prepare(
        "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL SELECT i.id FROM items i JOIN sub ON "
        "i.parent = sub.id WHERE ?3 AND i.kind = 1 AND i.deleted_seq IS NULL "
        "AND (i.is_private = 0 OR i.owner = ?2)) "
        "SELECT count(*) FROM items f WHERE f.parent IN (SELECT id FROM sub) AND f.kind = 2 "
        "AND f.deleted_seq IS NULL");
    s.bind(1, item.id).bind(2, caller.userId).bind(3, recursive ? 1 : 0);
    s.step();
    count = s.integer(0);
    return {};
}

Outcome Repository::rollBack(const Caller &caller, std::string_view path, std::int64_t version)
{
    std::lock_guard lock(m_writeMutex);
    auto db = m_pool->acquire();
    SqliteTransaction tx(*db, SqliteTransaction::Kind::Write);
    Item file;
    if (Outcome o = requireUser(*db, caller); !o.ok())
        return o;
    if (Outcome o = resolveFile(*db, caller, path, file); !o.ok())
        return o;
    const std::int64_t latest = latestVersion(*db, file.id);
    if (version < 1 || version > latest)
        return refuse(inQuotes(file.path) + " has no version " + std::to_string(version) + ".");
    if (Outcome o = checkNoForeignCheckOut(*db, caller, file); !o.ok())
        return o;
    std::vector<std::string> hashes;
    auto s = db->prepare("SELECT hash FROM versions WHERE item = ?1 AND version > ?2");
    s.bind(1, file.id).bind(2, version);
    while (s.step())
        hashes.push_back(s.text(0));
    db->prepare("DELETE FROM versions WHERE item = ?1 AND version > ?2")
        .bind(1, file.id)
        .bind(2, version)
        .run();
    tx.commit();
    collectGarbage(*db, hashes);
    return {};
}

Outcome Repository::checkOut(const Caller &caller, std::string_view path,
                             const std::string &localPath)
{
    std::lock_guard lock(m_writeMutex);
    auto db = m_pool->acquire();
    SqliteTransaction tx(*db, SqliteTransaction::Kind::Write);
    Item file;
    User user;
    if (Outcome o = requireUser(*db, caller, &user); !o.ok())
        return o;
    if (Outcome o = resolveFile(*db, caller, path, file); !o.ok())
        return o;
    if (!file.holder.empty() && file.holder != caller.userId)
        return refuse(inQuotes(file.path) + " is checked out by " + holderText(*db, file.holder) +
                      ".");
    db->prepare("UPDATE items SET co_user = ?2, co_path = ?3, co_ip = ?4 WHERE id = ?1")
        .bind(1, file.id)
        .bind(2, caller.userId)
        .bind(3, localPath)
        .bind(4, user.ip.empty() ? caller.address : user.ip)
        .run();
    tx.commit();
    return {};
}

Outcome Repository::cancelCheckOut(const Caller &caller, std::string_view path)
{
    std::lock_guard lock(m_writeMutex);
    auto db = m_pool->acquire();
    SqliteTransaction tx(*db, SqliteTransaction::Kind::Write);
    Item file;
    if (Outcome o = requireUser(*db, caller); !o.ok())
        return o;
    if (Outcome o = resolveFile(*db, caller, path, file); !o.ok())
        return o;
    if (file.holder.empty())
        return refuse(inQuotes(file.path) + " is not checked out.");
    if (file.holder != caller.userId)
        return refuse(inQuotes(file.path) + " is checked out by " + holderText(*db, file.holder) +
                      ".");
    db->prepare("UPDATE items SET co_user = NULL, co_path = NULL, co_ip = NULL WHERE id = ?1")
        .bind(1, file.id)
        .run();
    tx.commit();
    return {};
}

Outcome Repository::readFile(const Caller &caller, std::string_view requestPath,
                             std::int64_t version, std::int64_t offset, std::size_t maxBytes,
                             FileChunk &chunk)
{
    std::string hash;
    std::string path;
    {
        auto db = m_pool->acquire();
        SqliteTransaction tx(*db, SqliteTransaction::Kind::Read);
        Item file;
        if (Outcome o = requireUser(*db, caller); !o.ok())
            return o;
        if (Outcome o = resolveFile(*db, caller, requestPath, file); !o.ok())
            return o;
        const std::int64_t wanted =
            version == -1 ? pinnedVersion(caller, file.path, offset, latestVersion(*db, file.id))
                          : version;
        auto s = db->prepare(
            "SELECT hash, size, update_time FROM versions WHERE item = ?1 AND version = ?2");
        s.bind(1, file.id).bind(2, wanted);
        if (!s.step())
            return refuse(inQuotes(file.path) + " has no version " + std::to_string(version) + ".");
        hash = s.text(0);
        chunk.totalSize = s.integer(1);
        chunk.updateDate = s.text(2);
        path = file.path;
    }
    if (offset < 0 || offset > chunk.totalSize) {
        if (version == -1)
            advancePin(caller, path, 0, true);
        return refuse("Offset " + std::to_string(offset) + " lies outside the file.");
    }
    const auto left = static_cast<std::uint64_t>(chunk.totalSize - offset);
    const std::size_t want = left < maxBytes ? static_cast<std::size_t>(left) : maxBytes;
    if (version == -1)
        advancePin(caller, path, offset + static_cast<std::int64_t>(want), want == 0);
    if (want == 0)
        return {};
    if (!m_blobs.read(hash, offset, want, chunk.data))
        return refuse("The version was removed while it was being read.");
    return {};
}

// How long a download of the latest version keeps to its version between chunks.
static constexpr auto kDownloadPinLifetime = std::chrono::minutes(10);
// How long a chunk that came over a new connection may wait to see the connection its
// download came over end. The worker serving that connection sees the end as soon as
// the peer closes it, or after the keep-alive time-out when the peer vanished.
static constexpr auto kConnectionEndWait = std::chrono::seconds(5);

std::int64_t Repository::pinnedVersion(const Caller &caller, const std::string &path,
                                       std::int64_t offset, std::int64_t latest)
{
    const auto now = std::chrono::steady_clock::now();
    std::unique_lock lock(m_pinMutex);
    for (auto it = m_pins.begin(); it != m_pins.end();) {
        std::erase_if(it->second, [&](const DownloadPin &pin) {
            return now - pin.touched > kDownloadPinLifetime;
        });
        it = it->second.empty() ? m_pins.erase(it) : std::next(it);
    }
    const std::pair<std::string, std::string> key{caller.userId, path};
    {
        std::vector<DownloadPin> &pins = m_pins[key];
        const auto own = std::find_if(pins.begin(), pins.end(), [&](const DownloadPin &pin) {
            return pin.connected && pin.connection == caller.connection;
        });
        if (offset == 0) {
            DownloadPin &pin = own != pins.end() ? *own : pins.emplace_back();
            pin = DownloadPin{caller.connection, latest, 0, now};
            return latest;
        }
        if (own != pins.end()) {
            own->touched = now;
            return own->version;
        }
    }
    // A download that went on over a new connection: the one that stopped at this
    // offset moves to it. A download whose connection is still open goes on over that
    // one, so when several stopped here on different versions, the one whose connection
    // ended is it; its end may not have been seen yet, so wait for it. When several
    // ended here on different versions, there is no telling which, and the chunk comes
    // from the latest version.
    const auto deadline = now + kConnectionEndWait;
    bool waited = false;
    for (;;) {
        // Looked up again after each wait: the list may have gone meanwhile.
        std::vector<DownloadPin> &pins = m_pins[key];
        DownloadPin *ended = nullptr;
        DownloadPin *open = nullptr;
        bool endedDiffer = false;
        bool openDiffer = false;
        for (DownloadPin &pin : pins) {
            if (pin.nextOffset != offset)
                continue;
            DownloadPin *&first = pin.connected ? open : ended;
            bool &differ = pin.connected ? openDiffer : endedDiffer;
            differ = differ || (first && first->version != pin.version);
            first = first ? first : &pin;
        }
        if (!ended && openDiffer && !waited) {
            waited = m_pinEnded.wait_until(lock, deadline) == std::cv_status::timeout;
            continue;
        }
        DownloadPin *match =
            ended ? (endedDiffer ? nullptr : ended) : (openDiffer ? nullptr : open);
        if (!match) {
            if (pins.empty())
                m_pins.erase(key);
            return latest;
        }
        match->connection = caller.connection;
        match->connected = true;
        match->touched = std::chrono::steady_clock::now();
        return match->version;
    }
}

void Repository::advancePin(const Caller &caller, const std::string &path, std::int64_t nextOffset,
                            bool finished)
{
    std::lock_guard lock(m_pinMutex);
    const auto found = m_pins.find({caller.userId, path});
    if (found == m_pins.end())
        return;
    std::vector<DownloadPin> &pins = found->second;
    const auto ownPin = [&](const DownloadPin &pin) {
        return pin.connected && pin.connection == caller.connection;
    };
    if (finished) {
        std::erase_if(pins, ownPin);
    } else {
        for (DownloadPin &pin : pins) {
            if (ownPin(pin))
                pin.nextOffset = nextOffset;
        }
    }
    if (pins.empty())
        m_pins.erase(found);
}

void Repository::connectionEnded(const std::string &connection)
{
    {
        std::lock_guard lock(m_pinMutex);
        for (auto &[key, pins] : m_pins) {
            for (DownloadPin &pin : pins) {
                if (pin.connection == connection)
                    pin.connected = false;
            }
        }
    }
    m_pinEnded.notify_all();
}

Outcome Repository::checkUploadTarget(SqliteDatabase &db, const Caller &caller,
                                      const UploadChunk &chunk)
{
    if (Outcome o = requireUser(db, caller); !o.ok())
        return o;
    Item item;
    if (chunk.kind == UploadKind::AddFile) {
        if (Outcome o = resolveFolder(db, caller, chunk.path, item); !o.ok())
            return o;
        return checkNameFree(db, item.id, chunk.name, item.path);
    }
    if (Outcome o = resolveFile(db, caller, chunk.path, item); !o.ok())
        return o;
    if (item.holder == caller.userId)
        return {};
    if (item.holder.empty())
        return refuse(inQuotes(item.path) + " is not checked out; check it out first.");
    return refuse(inQuotes(item.path) + " is checked out by " + holderText(db, item.holder) + ".");
}

void Repository::dropSessionLocked(SqliteDatabase &db, const std::string &token)
{
    // The part file goes first: on a full disk it is what frees the room the row
    // deletion needs, and a session without its part file is refused from then on.
    std::error_code ec;
    std::filesystem::remove(uploadFile(token), ec);
    try {
        db.prepare("DELETE FROM uploads WHERE token = ?1").bind(1, token).run();
    } catch (const StorageError &e) {
        std::cerr << "ravelind-server: dropping upload " << token << ": " << e.what() << std::endl;
    }
}

void Repository::dropSession(const std::string &token)
{
    std::lock_guard lock(m_writeMutex);
    dropSessionLocked(*m_sessionDb, token);
}

void Repository::dropExpiredUploads()
{
    std::lock_guard lock(m_writeMutex);
    SqliteDatabase &db = *m_sessionDb;
    const std::int64_t limit = nowSeconds() - m_settings.uploadTimeoutSeconds;
    std::vector<std::string> tokens;
    {
        auto s = db.prepare("SELECT token FROM uploads WHERE touched < ?1");
        s.bind(1, limit);
        while (s.step()) {
            if (!m_busyUploads.contains(s.text(0)))
                tokens.push_back(s.text(0));
        }
    }
    for (const std::string &token : tokens)
        dropSessionLocked(db, token);
    try {
        db.prepare("DELETE FROM finished_uploads WHERE touched < ?1").bind(1, limit).run();
    } catch (const StorageError &e) {
        // Kept for the next round; on a full disk the reserve below matters more.
        std::cerr << "ravelind-server: " << e.what() << std::endl;
    }
    keepReserve();
}

static std::string canonicalPath(std::string_view path)
{
    return joinServerPath(splitServerPath(path));
}

static Outcome restartUpload(const std::string &fileId)
{
    return refuse("The data of the upload " + inQuotes(fileId) +
                  " is incomplete on the service; the upload must be started again.");
}

Outcome Repository::answerFinished(SqliteDatabase &db, const Caller &caller,
                                   const UploadChunk &chunk, const std::string &token,
                                   std::int64_t seq, std::string &nextFileId, bool &found)
{
    auto s = db.prepare(
        "SELECT user_id, seq, chunk_hash, answer FROM finished_uploads WHERE token = ?1");
    s.bind(1, token);
    found = s.step();
    if (!found)
        return {};
    if (s.text(0) != caller.userId)
        return refuse("The FileID " + inQuotes(chunk.fileId) + " belongs to another upload.");
    if (!chunk.last || s.integer(1) != seq || BlobStore::hashBytes(chunk.data) != s.text(2)) {
        return refuse("The upload " + inQuotes(chunk.fileId) +
                      " has already been committed with other data.");
    }
    nextFileId = s.text(3);
    return {};
}

// Free room that uploads leave to the store and to everything else on the disk.
static constexpr std::int64_t kUploadFloorBytes = 4 * 1024 * 1024;

Outcome Repository::checkRoom(SqliteDatabase &db, const Session &session, std::size_t adding)
{
    const auto size = static_cast<std::int64_t>(adding);
    if (session.bytes + size > m_settings.maxUploadBytes) {
        dropSessionLocked(db, session.token);
        return refuse("The file is larger than the " + std::to_string(m_settings.maxUploadBytes) +
                      " bytes this service accepts; the upload was dropped.");
    }
    auto s = db.prepare("SELECT coalesce(sum(bytes), 0) FROM uploads");
    s.step();
    if (s.integer(0) + size > m_settings.maxPendingBytes) {
        return refuse("The service holds too many unfinished uploads; try again later.");
    }
    // Uploads never take the last of the disk: the store needs it to commit.
    if (freeBytes() - size < kUploadFloorBytes) {
        dropSessionLocked(db, session.token);
        return refuse("The service's disk is nearly full; the upload was dropped.");
    }
    return {};
}

Outcome Repository::upload(const Caller &caller, const UploadChunk &chunk, std::string &nextFileId)
{
    std::string updateTime;
    if (!normalizeWireTime(chunk.updateTime, updateTime))
        return refuse(inQuotes(chunk.updateTime) +
                      " is not a date and time (yyyy/MM/dd HH:mm:ss).");
    if (chunk.fileId.empty())
        dropExpiredUploads();
    Session session;
    {
        std::lock_guard lock(m_writeMutex);
        SqliteDatabase *db = m_sessionDb.get();
        SqliteTransaction tx(*db, SqliteTransaction::Kind::Write);
        if (chunk.fileId.empty()) {
            if (Outcome o = checkUploadTarget(*db, caller, chunk); !o.ok())
                return o;
            session = Session{randomToken(),
                              caller.userId,
                              chunk.kind,
                              canonicalPath(chunk.path),
                              chunk.name,
                              updateTime,
                              chunk.comment,
                              0,
                              0,
                              0};
            if (Outcome o = checkRoom(*db, session, chunk.data.size()); !o.ok())
                return o;
            db->prepare("INSERT INTO uploads(token, user_id, kind, path, name, update_time, "
                        "comment, seq, bytes, prev_bytes, busy, touched) "
                        "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, 0, 0, 0, 0, ?8)")
                .bind(1, session.token)
                .bind(2, session.userId)
                .bind(3, static_cast<std::int64_t>(session.kind))
                .bind(4, session.path)
                .bind(5, session.name)
                .bind(6, session.updateTime)
                .bind(7, session.comment)
                .bind(8, nowSeconds())
                .run();
        } else {
            if (Outcome o = requireUser(*db, caller); !o.ok())
                return o;
            const auto dash = chunk.fileId.find('-');
            std::int64_t seq = -1;
            if (dash == std::string::npos || !parseInt(chunk.fileId.substr(dash + 1), seq))
                return refuse(inQuotes(chunk.fileId) + " is not an upload FileID.");
            const std::string token = chunk.fileId.substr(0, dash);
            auto s = db->prepare("SELECT user_id, kind, path, name, update_time, comment, seq, "
                                 "bytes, prev_bytes, touched FROM uploads WHERE token = ?1");
            s.bind(1, token);
            if (!s.step()) {
                // The last chunk again, after a commit whose answer was lost.
                bool finished = false;
                Outcome o = answerFinished(*db, caller, chunk, token, seq, nextFileId, finished);
                if (finished)
                    return o;
                return refuse("The upload " + inQuotes(chunk.fileId) +
                              " is unknown or has expired; send the file again.");
            }
            session = Session{token,       s.text(0),    static_cast<UploadKind>(s.integer(1)),
                              s.text(2),   s.text(3),    s.text(4),
                              s.text(5),   s.integer(6), s.integer(7),
                              s.integer(8)};
            const bool busy = m_busyUploads.contains(token);
            if (!busy && s.integer(9) < nowSeconds() - m_settings.uploadTimeoutSeconds) {
                dropSessionLocked(*db, token);
                tx.commit();
                return refuse("The upload " + inQuotes(chunk.fileId) +
                              " is unknown or has expired; send the file again.");
            }
            if (session.userId != caller.userId || session.kind != chunk.kind ||
                !sameName(session.path, canonicalPath(chunk.path)) ||
                !sameName(session.name, chunk.name)) {
                return refuse("The FileID " + inQuotes(chunk.fileId) +
                              " belongs to another upload.");
            }
            if (busy) {
                return refuse("The upload " + inQuotes(chunk.fileId) +
                              " is busy with another chunk; send this one again later.");
            }
            const std::int64_t onDisk = partSize(uploadFile(token));
            if (onDisk < session.bytes) {
                dropSessionLocked(*db, token);
                tx.commit();
                return restartUpload(chunk.fileId);
            }
            // The chunk before again, after its answer was lost: the same answer, as
            // long as it carries the same bytes.
            std::string accepted;
            if (!chunk.last && seq + 1 == session.seq &&
                session.bytes - session.prevBytes == static_cast<std::int64_t>(chunk.data.size()) &&
                readPart(uploadFile(token), session.prevBytes, chunk.data.size(), accepted) &&
                accepted == chunk.data) {
                nextFileId = token + "-" + std::to_string(session.seq);
                return {};
            }
            if (session.seq != seq)
                return refuse("The FileID " + inQuotes(chunk.fileId) +
                              " is stale: each chunk must carry the FileID of the answer before.");
            if (Outcome o = checkRoom(*db, session, chunk.data.size()); !o.ok()) {
                tx.commit();
                return o;
            }
        }
        m_busyUploads.insert(session.token);
        tx.commit();
    }
    // Whatever happens below, the session is not left busy.
    struct BusyMark
    {
        Repository &repository;
        const std::string &token;
        ~BusyMark()
        {
            std::lock_guard lock(repository.m_writeMutex);
            repository.m_busyUploads.erase(token);
        }
    } busyMark{*this, session.token};

    const std::filesystem::path file = uploadFile(session.token);
    try {
        if (!writeChunk(file, session.bytes, chunk.data)) {
            dropSession(session.token);
            return restartUpload(session.token + "-" + std::to_string(session.seq));
        }
    } catch (const StorageError &) {
        dropSession(session.token);
        throw;
    }
    if (!chunk.last) {
        std::lock_guard lock(m_writeMutex);
        try {
            m_sessionDb
                ->prepare("UPDATE uploads SET seq = seq + 1, prev_bytes = bytes, "
                          "bytes = bytes + ?2, touched = ?3 WHERE token = ?1")
                .bind(1, session.token)
                .bind(2, static_cast<std::int64_t>(chunk.data.size()))
                .bind(3, nowSeconds())
                .run();
        } catch (const StorageError &) {
            dropSessionLocked(*m_sessionDb, session.token);
            throw;
        }
        nextFileId = session.token + "-" + std::to_string(session.seq + 1);
        return {};
    }

    const std::int64_t size = session.bytes + static_cast<std::int64_t>(chunk.data.size());
    try {
        const std::string hash = BlobStore::hashAndSync(file);
        return commitUpload(caller, session, hash, size, BlobStore::hashBytes(chunk.data),
                            nextFileId);
    } catch (const StorageError &) {
        dropSession(session.token);
        throw;
    }
}

Outcome Repository::commitUpload(const Caller &caller, const Session &session,
                                 const std::string &hash, std::int64_t size,
                                 const std::string &chunkHash, std::string &nextFileId)
{
    const std::filesystem::path file = uploadFile(session.token);
    std::lock_guard lock(m_writeMutex);
    auto db = m_pool->acquire();
    SqliteTransaction tx(*db, SqliteTransaction::Kind::Write);
    db->prepare("DELETE FROM uploads WHERE token = ?1").bind(1, session.token).run();
    UploadChunk target;
    target.kind = session.kind;
    target.path = session.path;
    target.name = session.name;
    if (Outcome o = checkUploadTarget(*db, caller, target); !o.ok()) {
        std::error_code ec;
        std::filesystem::remove(file, ec);
        tx.commit();
        return o;
    }
    Item item;
    if (session.kind == UploadKind::AddFile) {
        Item folder;
        resolveFolder(*db, caller, session.path, folder);
        db->prepare(
              "INSERT INTO items(parent, name, name_key, kind, owner) VALUES(?1, ?2, ?3, 2, ?4)")
            .bind(1, folder.id)
            .bind(2, session.name)
            .bind(3, nameKey(session.name))
            .bind(4, caller.userId)
            .run();
        item.id = db->lastInsertId();
    } else {
        resolveFile(*db, caller, session.path, item);
        db->prepare("UPDATE items SET co_user = NULL, co_path = NULL, co_ip = NULL WHERE id = ?1")
            .bind(1, item.id)
            .run();
    }
    const bool placed = m_blobs.place(file, hash);
    try {
        crashPoint("blob-placed");
        db->prepare("INSERT INTO versions(item, version, hash, size, update_time, checkin_time, "
                    "user_id, comment) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)")
            .bind(1, item.id)
            .bind(2, latestVersion(*db, item.id) + 1)
            .bind(3, hash)
            .bind(4, size)
            .bind(5, session.updateTime)
            .bind(6, nowText())
            .bind(7, caller.userId)
            .bind(8, session.comment)
            .run();
        nextFileId = std::to_string(db->lastInsertId());
        db->prepare("INSERT OR REPLACE INTO finished_uploads(token, user_id, seq, chunk_hash, "
                    "answer, touched) VALUES(?1, ?2, ?3, ?4, ?5, ?6)")
            .bind(1, session.token)
            .bind(2, caller.userId)
            .bind(3, session.seq)
            .bind(4, chunkHash)
            .bind(5, nextFileId)
            .bind(6, nowSeconds())
            .run();
        tx.commit();
    } catch (const StorageError &) {
        // Nothing can refer to a blob that was placed just now, under this lock.
        if (placed)
            m_blobs.remove(hash);
        throw;
    }
    crashPoint("version-committed");
    std::error_code ec;
    std::filesystem::remove(file, ec);
    return {};
}

} // namespace server
