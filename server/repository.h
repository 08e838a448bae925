#pragma once

#include "blobstore.h"

#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace server {

class ConnectionPool;
class SqliteDatabase;

// Who is asking: the service user ID of the request and the peer's address.
struct Caller
{
    std::string userId;
    std::string address;
    std::string connection; // address and port of the peer's connection; may be empty
};

// Empty refusal: done. Otherwise the text the client shows to its user.
struct Outcome
{
    std::string refusal;
    bool ok() const { return refusal.empty(); }
};

struct FolderRow
{
    std::string name;
    std::string workFolder;
    std::string comment;
    bool isPrivate = false;
    bool operator==(const FolderRow &) const = default;
};

struct FileRow
{
    std::string name;
    std::string checkoutUser;
    std::string checkoutUserId;
    std::string checkoutPath;
    std::string ipAddress;
    std::int64_t size = 0;
    std::string updateDate;
    std::string checkinDate;
    bool operator==(const FileRow &) const = default;
};

struct HistoryRow
{
    std::int64_t version = 0;
    std::string fileName;
    std::string fileId;
    std::string updateDate;
    std::string updateUser;
    std::string comment;
    bool operator==(const HistoryRow &) const = default;
};

struct DeletedRow
{
    std::string name;
    int type = 2; // 1 folder, 2 file
    bool operator==(const DeletedRow &) const = default;
};

struct FileChunk
{
    std::string data;
    std::string updateDate;
    std::int64_t totalSize = 0;
};

enum class UploadKind { AddFile, Checkin };

struct UploadChunk
{
    UploadKind kind = UploadKind::AddFile;
    std::string path; // AddFile: the folder; Checkin: the file
    std::string name; // AddFile only
    std::string updateTime;
    std::string comment;
    std::string fileId; // empty for the first chunk
    std::string data;
    bool last = false;
};

// The version store: tree, versions, check-outs, users, deleted items and upload
// sessions in SQLite (WAL), contents in a BlobStore. Every method may run on any
// thread at the same time as the others and blocks on disk. Changes are made in
// one transaction each; writers are serialised. Failures of the store throw
// StorageError; refusals come back as an Outcome.
class Repository
{
public:
    struct Settings
    {
        std::filesystem::path dataDir;
        std::int64_t uploadTimeoutSeconds = 0;
        // Fault injection for the crash tests: the process kills itself with SIGKILL
        // when it reaches the named point ("blob-placed", "version-committed").
        std::string crashPoint;
        // An upload that grows beyond maxUploadBytes is dropped; a chunk that would take
        // the unfinished uploads together beyond maxPendingBytes is refused.
        std::int64_t maxUploadBytes = INT64_MAX;
        std::int64_t maxPendingBytes = INT64_MAX;
    };
    // Opens or creates the store; throws StorageError when it cannot.
    explicit Repository(Settings settings);
    ~Repository();
    Repository(const Repository &) = delete;
    Repository &operator=(const Repository &) = delete;

    // Registers id (or refreshes it) and records the caller's machine.
    Outcome logon(const std::string &id, const std::string &pc, const std::string &logonUser,
                  const std::string &ipAddress);
    // Forgets the caller, its work folders and upload sessions; releases its check-outs.
    Outcome forgetUser(const Caller &caller);

    Outcome listFolders(const Caller &caller, std::string_view path, std::vector<FolderRow> &rows);
    Outcome listFiles(const Caller &caller, std::string_view path, std::vector<FileRow> &rows);
    Outcome createFolder(const Caller &caller, std::string_view parentPath, const std::string &name,
                         const std::string &comment, bool isPrivate);
    Outcome rename(const Caller &caller, std::string_view path, const std::string &newName);
    Outcome move(const Caller &caller, std::string_view path, std::string_view destination);
    Outcome remove(const Caller &caller, std::string_view path, bool purge);
    Outcome history(const Caller &caller, std::string_view path, bool recursive,
                    std::vector<HistoryRow> &rows);
    Outcome setWorkFolder(const Caller &caller, std::string_view path,
                          const std::string &workFolder);
    Outcome updateComment(const Caller &caller, std::string_view path, std::int64_t version,
                          const std::string &comment);
    Outcome listDeleted(const Caller &caller, std::string_view path, std::vector<DeletedRow> &rows);
    Outcome restore(const Caller &caller, std::string_view path);
    Outcome countFiles(const Caller &caller, std::string_view path, bool recursive,
                       std::int64_t &count);
    Outcome rollBack(const Caller &caller, std::string_view path, std::int64_t version);
    // One chunk of an upload; nextFileId is what the next chunk must carry, or after
    // the last chunk the new version's FileID.
    Outcome upload(const Caller &caller, const UploadChunk &chunk, std::string &nextFileId);
    // Up to maxBytes of a version (-1: the latest) from offset. A download of the
    // latest version stays on the version its first chunk came from, so a check-in
    // landing between two chunks cannot splice two versions into one file. The
    // request names no download, so one is told by its user, path and connection,
    // and a chunk on a new connection by the offset the download had reached and by
    // its old connection having ended (see connectionEnded).
    Outcome readFile(const Caller &caller, std::string_view requestPath, std::int64_t version,
                     std::int64_t offset, std::size_t maxBytes, FileChunk &chunk);
    // The peer closed the connection, or the service did: a download that was pinned to
    // it can only go on over a new one. Thread-safe.
    void connectionEnded(const std::string &connection);
    Outcome checkOut(const Caller &caller, std::string_view path, const std::string &localPath);
    Outcome cancelCheckOut(const Caller &caller, std::string_view path);

    // Drops upload sessions that have been idle longer than the time-out, and makes the
    // disk reserve again when there is room.
    void dropExpiredUploads();
    // Gives the store the room kept aside for it; called when a write found the disk
    // full. Thread-safe.
    void releaseReserve();
    // True when the tree holds nothing but the root.
    bool isEmpty();

private:
    struct Session;
    Outcome checkUploadTarget(SqliteDatabase &db, const Caller &caller, const UploadChunk &chunk);
    Outcome commitUpload(const Caller &caller, const Session &session, const std::string &hash,
                         std::int64_t size, const std::string &chunkHash, std::string &nextFileId);
    Outcome answerFinished(SqliteDatabase &db, const Caller &caller, const UploadChunk &chunk,
                           const std::string &token, std::int64_t seq, std::string &nextFileId,
                           bool &found);
    Outcome checkRoom(SqliteDatabase &db, const Session &session, std::size_t adding);
    // Both remove the part file first and never throw; the Locked one needs m_writeMutex.
    void dropSession(const std::string &token);
    void dropSessionLocked(SqliteDatabase &db, const std::string &token);
    void migrate(SqliteDatabase &db);
    void open();
    void keepReserve();
    void dropStalePartFiles();
    std::int64_t freeBytes() const;
    void collectGarbage(SqliteDatabase &db, const std::vector<std::string> &hashes);
    std::filesystem::path uploadFile(const std::string &token) const;
    void recover();
    void crashPoint(std::string_view name) const;

    std::int64_t pinnedVersion(const Caller &caller, const std::string &path, std::int64_t offset,
                               std::int64_t latest);
    // Records where the caller's download of path goes on, or forgets it when finished.
    void advancePin(const Caller &caller, const std::string &path, std::int64_t nextOffset,
                    bool finished);

    struct DownloadPin
    {
        std::string connection;
        std::int64_t version = 0;
        std::int64_t nextOffset = 0;
        std::chrono::steady_clock::time_point touched;
        // False once its connection has ended: the download may go on over a new one.
        bool connected = true;
    };

    Settings m_settings;
    BlobStore m_blobs;
    std::unique_ptr<ConnectionPool> m_pool;
    // Upload bookkeeping between chunks: losing its last commits in a crash only makes
    // the next chunk be written again, so it skips the flush per commit. Used under
    // m_writeMutex only.
    std::unique_ptr<SqliteDatabase> m_sessionDb;
    // Held around every write transaction and every blob placement or removal, so a
    // blob is never removed while a new version is about to refer to it.
    std::mutex m_writeMutex;
    // Uploads with a chunk being written, under m_writeMutex. Kept in memory only, so a
    // crash or a failed chunk can never leave a session marked busy.
    std::set<std::string> m_busyUploads;
    std::mutex m_pinMutex;
    std::condition_variable m_pinEnded; // notified when a connection ends
    std::map<std::pair<std::string, std::string>, std::vector<DownloadPin>> m_pins;
};

} // namespace server
