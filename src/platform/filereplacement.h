#pragma once

// Atomic, durable replacement of a file: the new content goes into a temporary file beside
// the target (same folder, so the rename never crosses file systems), which is synced,
// renamed over the target and followed by a sync of the folder. Readers see the old file or
// the new one whole, never a part; after a crash the target is the old or the new file.
//
//     FileReplacement r;
//     if (ResultCode rc = r.create(target, 0600)) return rc;
//     ... write to r.fd() ...
//     return r.commit();
//
// Blocks on the file system; not shared between threads.

#include "platform/filedescriptor.h"
#include "platform/resultcode.h"

#include <filesystem>
#include <string_view>

#include <sys/stat.h>

namespace platform {

class FileReplacement
{
public:
    FileReplacement() = default;
    // Deletes the temporary file unless commit() succeeded.
    ~FileReplacement();
    FileReplacement(const FileReplacement &) = delete;
    FileReplacement &operator=(const FileReplacement &) = delete;

    // Creates ".<target name>.Zem<random>" beside `target`, opened for writing, with `mode`
    // (less the umask). Returns 0 or the failing step's code.
    [[nodiscard]] ResultCode create(const std::filesystem::path &target, mode_t mode);

    int fd() const { return m_fd.get(); }
    const std::filesystem::path &temporaryPath() const { return m_path; }

    // Makes the written content and mode durable (fsync; a deferred write error shows here),
    // renames the file over the target, closes it and syncs the folder. `st`, when given,
    // receives the new file's status taken after the rename (the rename changes its ctime).
    // A failure before the rename leaves the target untouched and deletes the temporary file.
    [[nodiscard]] ResultCode commit(struct stat *st = nullptr);
    // Renames the file over the target and closes it without any sync: for a new file that
    // replaces nothing, where a crash can only lose the new file, never an old one.
    [[nodiscard]] ResultCode commitUnsynced();

private:
    FileDescriptor m_fd;
    std::filesystem::path m_path;
    std::filesystem::path m_target;
    bool m_committed = false;

    [[nodiscard]] ResultCode finish(bool durable, struct stat *st);
};

// Replaces `target` with `data` through a FileReplacement whose file gets exactly `mode`
// (fchmod, so the umask cannot widen or narrow it). `st` as for commit().
[[nodiscard]] ResultCode replaceFile(const std::filesystem::path &target, std::string_view data,
                                     mode_t mode, struct stat *st = nullptr);

// Writes all of `data` to `fd`, retrying after signals. Returns 0 or the failing code.
[[nodiscard]] ResultCode writeAll(int fd, std::string_view data);

// Makes a rename or creation in `folder` durable. Best effort: the change itself has already
// happened, and a file system without folder sync loses nothing by skipping it.
void syncFolder(const std::filesystem::path &folder);

} // namespace platform
