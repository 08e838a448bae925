#pragma once

// The server folder walk of the folder kinds (get, check out, undo check-out, check in a
// folder): the folder's own files first, then each subfolder depth first, in the order the
// service lists them. A failed file, file list or folder list is logged and the walk goes
// on; it ends early only on cancel or when a local folder (or a temporary file) cannot be
// made, and then it says where it stopped.

#include "engine/operations/workercontext_p.h"

#include <protocol/records.h>

#include <filesystem>
#include <functional>
#include <string>

namespace engine {

struct WalkStep
{
    platform::ResultCode code = 0;
    bool stop = false; // end the whole walk (cancel, or a local failure that would repeat)
};

struct WalkRules
{
    // Make each local folder before its files are handled (get and check out).
    bool makeLocalFolders = false;
    // A subfolder's recorded working folder, when set, is its local folder (all but get).
    bool useWorkFolderPath = false;
    // Handles one file of a folder; logs its own line. `serverFile` is "folder\name".
    std::function<WalkStep(const std::string &serverFile, const std::filesystem::path &localFile,
                           const protocol::FileItem &record)>
        handleFile;
};

// The whole walk of request().serverPath (which ends in "\") into request().localFolder.
// Returns the walk's last failure code (0 when none had a code), or kCancelled.
[[nodiscard]] platform::ResultCode runFolderWalk(WorkerContext &ctx, const WalkRules &rules);

} // namespace engine
