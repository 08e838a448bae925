#pragma once

// Files in the user's local working folder. A local copy that is not checked out is
// read-only: on POSIX that means no write bit at all; "normal" means the owner may write.
// Plain functions without state; each blocks on the file system. Results are Windows-numbered
// system error codes (0 for success), so logs show the numbers users know.

#include <platform/tempfile.h>

#include <cstdint>
#include <filesystem>

namespace engine {

// A Windows-numbered system error: 0 success, 5 access denied, 82 cannot make, ...
using SystemError = std::uint32_t;

// Temporary files live in the platform layer; workers fetch into one of them.
using platform::makeTempFile;

// Creates every missing folder of `path`. For an absolute path every folder down to the last
// name is made (a trailing "/" makes no difference); for a relative path the folders before
// the last "/" are made below the current folder. Returns 0 when the last folder exists
// afterwards, 82 for a path without any folder part (empty, or a bare name), 183 when a
// file stands where the last folder should be, else the error of the failing creation.
[[nodiscard]] SystemError makePath(const std::filesystem::path &path);

// Copies `source` over `target`, also when the target is read-only. The content goes into a
// new file beside the target that is renamed over it once complete, so a failure half way
// (disk full, unreadable source) leaves the old target as it was. The new target keeps the
// source's modification time and the old target's mode with the owner write bit set (the
// caller makes it read-only again where needed); a new target gets the umask's mode.
// Returns 0, 5 for a target that is writable but cannot be opened for writing (or is a
// folder), or the error of the failing step.
[[nodiscard]] SystemError copyOver(const std::filesystem::path &source,
                                   const std::filesystem::path &target);

// Deletes `path`, clearing its read-only state first. Returns -1 when the file does not
// exist (and changes nothing), 0 when the read-only state cannot be cleared or the delete
// fails, 1 when the file was deleted.
[[nodiscard]] int deleteLocal(const std::filesystem::path &path);

// Read-only: clears every write bit. Normal: sets the owner write bit again. Returns 0 or
// the error of the failing step.
[[nodiscard]] SystemError setReadOnly(const std::filesystem::path &path, bool readOnly);

// True when `path` exists and carries no write bit at all.
bool isReadOnly(const std::filesystem::path &path);

// True when both are regular files of the same bytes; false when either cannot be read.
bool sameContent(const std::filesystem::path &a, const std::filesystem::path &b);

} // namespace engine
