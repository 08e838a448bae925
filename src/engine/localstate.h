#pragma once

// How the local working folder's copy of each file of a folder compares with the server's
// row, for the file list's overlay. Reads only file metadata; blocks on the file system, so
// windows compute it off the UI thread.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace engine {

enum class LocalState : std::uint8_t {
    Unknown,     // not looked at: no working folder, or a name unfit for a local path
    NotPresent,  // no local file of that name
    ReadOnly,    // a read-only copy of the server's size
    Writable,    // a writable copy: checked out, being edited here
    SizeDiffers, // a read-only copy whose size is not the server's (out of date)
};

struct LocalProbe
{
    std::string name;
    std::int64_t serverSize = -1;
};

// One state per probe, in order. Names that are not safe path components stay Unknown, as do
// all when `folder` is empty; a set `cancel` ends the walk early with the rest Unknown.
std::vector<LocalState> localStates(const std::filesystem::path &folder,
                                    const std::vector<LocalProbe> &files,
                                    const std::atomic<bool> *cancel = nullptr);

} // namespace engine
