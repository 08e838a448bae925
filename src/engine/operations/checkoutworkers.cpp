// Check out and undo check-out: selected files (kinds 2 and 4) and folder walks (kinds 5
// and 6). A check-out fetches the latest version into a temporary file, registers the
// check-out, and only then copies over the local file, which stays writable.

#include "engine/operations/fetch_p.h"
#include "engine/operations/folderwalk_p.h"

#include "engine/engineconstants.h"
#include "engine/localfiles.h"

#include <protocol/service.h>

namespace engine {

namespace {

struct CheckOutOutcome
{
    platform::ResultCode code = 0;
    bool stop = false; // cancelled, or no temporary file: the loop ends
    bool succeeded = false;
};

// Check-out of one file. Selected files (kind 2) report the status texts and log reasons as
// text; the folder walk (kind 5) logs negative codes as numbers.
CheckOutOutcome checkOutOne(WorkerContext &ctx, const std::string &serverPath,
                            const std::filesystem::path &localPath, bool selectedFiles,
                            TempName &temp)
{
    if (const platform::ResultCode rc = temp.make(); rc != 0) {
        ctx.logError(rc);
        return {rc, true, false};
    }
    const auto stopped = [&]() -> CheckOutOutcome {
        temp.reset();
        return {platform::kCancelled, true, false};
    };
    ctx.beginTransfer();
    protocol::CallResult r = ctx.service().getFile(ctx.userId(), serverPath, -1, temp.path());
    ctx.endTransfer();
    if (r.code == platform::kCancelled)
        return stopped();
    if (r.succeeded()) {
        if (selectedFiles && !ctx.statusText(msg::kStatusCheckingOut))
            return stopped();
        r = ctx.service().checkOut(ctx.userId(), serverPath, pathText(localPath));
        if (r.code == platform::kCancelled)
            return stopped();
        if (r.succeeded()) {
            if (selectedFiles && !ctx.statusText(msg::kStatusWritingLocal))
                return stopped();
            if (const SystemError e = copyOver(temp.path(), localPath); e != 0)
                r.code = platform::fromWin32(e);
        }
    }
    temp.reset();

    const std::string local = pathText(localPath);
    if (r.code < 0) {
        if (selectedFiles)
            ctx.log(LogKind::Failure, msg::kCheckOutFailed,
                    {LogArgument::ofText(local), LogArgument::ofCodeText(r.code)}, r.code);
        else
            ctx.log(LogKind::Failure, msg::kCheckOutFailedInWalk,
                    {LogArgument::ofText(local), LogArgument::ofCode(r.code)}, r.code);
        return {r.code, false, false};
    }
    if (!r.errorText.empty()) {
        ctx.log(LogKind::Failure, msg::kCheckOutFailed,
                {LogArgument::ofText(local), LogArgument::ofText(r.errorText)});
        return {0, false, false};
    }
    ctx.log(LogKind::Success, msg::kCheckedOut, {LogArgument::ofText(local)});
    return {0, false, true};
}

} // namespace

void releaseLocalCopy(WorkerContext &ctx, const std::filesystem::path &localPath)
{
    // Best effort: the server has already taken the change, and the state of the local copy
    // is not part of the operation's outcome.
    if (ctx.request().deleteLocal)
        (void)deleteLocal(localPath);
    else
        (void)setReadOnly(localPath, true);
}

UndoOutcome undoCheckOutOne(WorkerContext &ctx, const std::string &serverPath,
                            const std::filesystem::path &localPath, bool inWalk, int doneMessage)
{
    const std::string local = pathText(localPath);
    const protocol::CallResult r = ctx.service().checkoutCancel(ctx.userId(), serverPath);
    if (r.code == platform::kCancelled)
        return {platform::kCancelled, false};
    if (r.code < 0) {
        if (inWalk)
            ctx.log(LogKind::Failure, msg::kUndoFailedInWalk,
                    {LogArgument::ofText(local), LogArgument::ofCode(r.code)}, r.code);
        else
            ctx.log(LogKind::Failure, msg::kUndoFailed,
                    {LogArgument::ofText(local), LogArgument::ofCodeText(r.code)}, r.code);
        return {r.code, false};
    }
    if (!r.errorText.empty()) {
        ctx.log(LogKind::Failure, msg::kUndoFailed,
                {LogArgument::ofText(local), LogArgument::ofText(r.errorText)});
        return {0, false};
    }
    // The local copy changes only after the service accepted the cancel.
    releaseLocalCopy(ctx, localPath);
    ctx.log(LogKind::Success, doneMessage, {LogArgument::ofText(local)});
    return {0, true};
}

bool undoCheckOutRow(WorkerContext &ctx, const SelectedFile &file, const std::string &serverPath,
                     const std::filesystem::path &localPath, int doneMessage,
                     platform::ResultCode &last)
{
    const UndoOutcome out = undoCheckOutOne(ctx, serverPath, localPath, false, doneMessage);
    if (out.code == platform::kCancelled)
        return false;
    if (out.code < 0)
        last = out.code;
    if (out.undone)
        ctx.reporter().recordChanged(FileRecordChanged{file.row, clearedCheckOut(file.record)});
    return true;
}

protocol::FileItem clearedCheckOut(const protocol::FileItem &record)
{
    protocol::FileItem out = record;
    out.checkoutUser.clear();
    out.checkoutUserId.clear();
    out.checkoutPath.clear();
    out.ipAddress.clear();
    return out;
}

platform::ResultCode runCheckOutFiles(WorkerContext &ctx)
{
    const OperationRequest &req = ctx.request();
    if (const SystemError e = makePath(req.localFolder); e != 0) {
        ctx.logError(platform::fromWin32(e));
        return platform::fromWin32(e);
    }
    if (!ctx.total(static_cast<std::int64_t>(req.files.size())))
        return platform::kCancelled;

    TempName temp;
    platform::ResultCode last = 0;
    for (const SelectedFile &file : req.files) {
        if (ctx.cancelledAtItem())
            return platform::kCancelled;
        const std::string &name = file.record.fileName;
        if (!isSafeName(name)) {
            ctx.log(LogKind::Failure, msg::kUnsafeName,
                    {LogArgument::ofText(req.serverPath), LogArgument::ofText(name)});
        } else {
            const std::filesystem::path localPath =
                req.multipleFiles ? req.localFolder / name : req.localPath;
            // Checking out again what this user already holds there would fetch over the
            // edits; the check-out is in place, so nothing is lost by leaving it.
            if (!keepsOwnCheckOut(ctx, file.record, localPath)) {
                const CheckOutOutcome out =
                    checkOutOne(ctx, req.serverPath + name, localPath, true, temp);
                if (out.stop)
                    return out.code;
                if (out.code < 0)
                    last = out.code;
                if (out.succeeded) {
                    protocol::FileItem record = file.record;
                    record.checkoutPath = pathText(localPath);
                    record.checkoutUser = req.logonUserName;
                    record.checkoutUserId = ctx.userId();
                    record.ipAddress = req.ipAddress;
                    ctx.reporter().recordChanged(FileRecordChanged{file.row, record});
                }
            }
        }
        if (!ctx.step())
            return platform::kCancelled;
    }
    return last;
}

platform::ResultCode runUndoCheckOutFiles(WorkerContext &ctx)
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
            if (!undoCheckOutRow(ctx, file, req.serverPath + name, req.localFolder / name,
                                 msg::kUndone, last))
                return platform::kCancelled;
        }
        if (!ctx.step())
            return platform::kCancelled;
    }
    return last;
}

platform::ResultCode runCheckOutFolder(WorkerContext &ctx)
{
    TempName temp;
    WalkRules rules;
    rules.makeLocalFolders = true;
    rules.useWorkFolderPath = true;
    rules.handleFile = [&](const std::string &serverFile, const std::filesystem::path &localFile,
                           const protocol::FileItem &record) -> WalkStep {
        if (keepsOwnCheckOut(ctx, record, localFile)) {
            (void)ctx.step();
            return {};
        }
        const CheckOutOutcome out = checkOutOne(ctx, serverFile, localFile, false, temp);
        if (out.stop && out.code != platform::kCancelled) {
            ctx.log(LogKind::Failure, msg::kWalkStopped,
                    {LogArgument::ofText(pathText(localFile)), LogArgument::ofCodeText(out.code)},
                    out.code);
        }
        if (out.stop)
            return {out.code, true};
        (void)ctx.step();
        return {out.code, false};
    };
    return runFolderWalk(ctx, rules);
}

platform::ResultCode runUndoCheckOutFolder(WorkerContext &ctx)
{
    WalkRules rules;
    rules.useWorkFolderPath = true;
    rules.handleFile = [&](const std::string &serverFile, const std::filesystem::path &localFile,
                           const protocol::FileItem &) -> WalkStep {
        const UndoOutcome out = undoCheckOutOne(ctx, serverFile, localFile, true, msg::kUndone);
        if (out.code == platform::kCancelled)
            return {platform::kCancelled, true};
        (void)ctx.step();
        return {out.code < 0 ? out.code : 0, false};
    };
    return runFolderWalk(ctx, rules);
}

} // namespace engine
