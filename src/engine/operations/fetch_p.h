#pragma once

// The per-file fetch that every get and check-out shares: the service writes the version into
// a fresh temporary file, which is then copied over the local file.

#include "engine/operations/workercontext_p.h"

#include <protocol/records.h>

namespace engine {

// How a fetch ended, beyond its code.
enum class FetchEnd {
    Done,       // the file was handled and logged (fetched or failed)
    Stopped,    // the run was cancelled: nothing logged, the local file untouched
    TempFailed, // no temporary file could be made (logged): the loop cannot go on
};

struct FetchOutcome
{
    platform::ResultCode code = 0;
    FetchEnd end = FetchEnd::Done;
};

// Fetches `version` (-1 latest) of `serverPath` over `localPath` and logs the line of a get
// (2043/2044); applies the read-only rule unless keepWritable. `temp` holds the temporary
// file while it lives and is emptied at the end.
FetchOutcome fetchFile(WorkerContext &ctx, const std::string &serverPath,
                       const std::filesystem::path &localPath, std::int32_t version,
                       TempName &temp);

// True when `localPath` holds this user's check-out (the record says this user checked it out
// to that very path) and the file is writable: it may carry edits not yet checked in, so a
// get must not overwrite it. Logs the warning line when it returns true.
bool keepsOwnCheckOut(WorkerContext &ctx, const protocol::FileItem &record,
                      const std::filesystem::path &localPath);

} // namespace engine
