// Check in: selected files (kind 7) and folder walks (kind 8). The service client reads the
// local file itself; a failed check-in leaves the local file and the check-out as they were.

#include "engine/operations/folderwalk_p.h"

#include "engine/engineconstants.h"

#include <protocol/service.h>

namespace engine {

namespace {

protocol::CallResult checkInOne(WorkerContext &ctx, const std::string &serverPath,
                                const std::filesystem::path &localPath)
{
    ctx.beginTransfer();
    protocol::CallResult r =
        ctx.service().checkin(ctx.userId(), serverPath, ctx.request().comment, localPath);
    ctx.endTransfer();
    return r;
}

} // namespace

platform::ResultCode runCheckInFiles(WorkerContext &ctx)
{
    const OperationRequest &req = ctx.request();
    if (!ctx.total(static_cast<std::int64_t>(req.files.size())))
        return platform::kCancelled;

    platform::ResultCode last = 0;
    for (const SelectedFile &file : req.files) {
        if (ctx.cancelledAtItem())
            return platform::kCancelled;
        const std::string &name = file.record.fileName;
        if (!isSafeName(name)) {
            ctx.log(LogKind::Failure, msg::kUnsafeName,
                    {LogArgument::ofText(req.serverPath), LogArgument::ofText(name)});
        } else {
            // Always the working folder and the server's name, also for a single file.
            const std::filesystem::path localPath = req.localFolder / name;
            const std::string local = pathText(localPath);
            const protocol::CallResult r = checkInOne(ctx, req.serverPath + name, localPath);
            if (r.code == platform::kCancelled)
                return platform::kCancelled;
            if (r.code < 0) {
                last = r.code;
                ctx.log(LogKind::Failure, msg::kCheckInFailed,
                        {LogArgument::ofText(local), LogArgument::ofCodeText(r.code)}, r.code);
            } else if (!r.errorText.empty()) {
                ctx.log(LogKind::Failure, msg::kCheckInFailed,
                        {LogArgument::ofText(local), LogArgument::ofText(r.errorText)});
            } else {
                ctx.reporter().recordChanged(
                    FileRecordChanged{file.row, clearedCheckOut(file.record)});
                releaseLocalCopy(ctx, localPath);
                ctx.log(LogKind::Success, msg::kCheckedIn, {LogArgument::ofText(local)});
            }
        }
        if (!ctx.step())
            return platform::kCancelled;
    }
    return last;
}

platform::ResultCode runCheckInFolder(WorkerContext &ctx)
{
    WalkRules rules;
    rules.useWorkFolderPath = true;
    rules.handleFile = [&](const std::string &serverFile, const std::filesystem::path &localFile,
                           const protocol::FileItem &) -> WalkStep {
        const std::string local = pathText(localFile);
        const protocol::CallResult r = checkInOne(ctx, serverFile, localFile);
        if (r.code == platform::kCancelled)
            return {platform::kCancelled, true};
        if (r.code < 0) {
            ctx.log(LogKind::Failure, msg::kCheckInFailedInWalk,
                    {LogArgument::ofText(local), LogArgument::ofCode(r.code)}, r.code);
        } else if (!r.errorText.empty()) {
            ctx.log(LogKind::Failure, msg::kCheckInFailed,
                    {LogArgument::ofText(local), LogArgument::ofText(r.errorText)});
        } else {
            releaseLocalCopy(ctx, localFile);
            ctx.log(LogKind::Success, msg::kCheckedIn, {LogArgument::ofText(local)});
        }
        (void)ctx.step();
        return {r.code < 0 ? r.code : 0, false};
    };
    return runFolderWalk(ctx, rules);
}

} // namespace engine
