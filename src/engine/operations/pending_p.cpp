// Kinds whose workers are not in this build yet: they say so and do nothing.

#include "engine/operations/workercontext_p.h"

namespace engine {

static platform::ResultCode notYet(WorkerContext &ctx)
{
    const platform::ResultCode rc = platform::fromWin32(platform::err::NotSupported);
    ctx.logError(rc);
    return rc;
}

platform::ResultCode runCheckOutFiles(WorkerContext &ctx)
{
    return notYet(ctx);
}
platform::ResultCode runUndoCheckOutFiles(WorkerContext &ctx)
{
    return notYet(ctx);
}
platform::ResultCode runCheckOutFolder(WorkerContext &ctx)
{
    return notYet(ctx);
}
platform::ResultCode runUndoCheckOutFolder(WorkerContext &ctx)
{
    return notYet(ctx);
}
platform::ResultCode runCheckInFiles(WorkerContext &ctx)
{
    return notYet(ctx);
}
platform::ResultCode runCheckInFolder(WorkerContext &ctx)
{
    return notYet(ctx);
}
platform::ResultCode runMoveFiles(WorkerContext &ctx)
{
    return notYet(ctx);
}
platform::ResultCode runAddDropped(WorkerContext &ctx)
{
    return notYet(ctx);
}
platform::ResultCode runMoveFolder(WorkerContext &ctx)
{
    return notYet(ctx);
}

} // namespace engine
