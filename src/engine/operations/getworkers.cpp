// The get workers: selected files (kind 1), a folder walk (kind 3) and one version of one
// file (kind 12). Every file goes through a temporary file that is copied over the local one,
// so a failed or cancelled fetch leaves the local file as it was.

#include "engine/operations/fetch_p.h"
#include "engine/operations/folderwalk_p.h"

#include "engine/engineconstants.h"
#include "engine/localfiles.h"

#include <protocol/service.h>

#include <sys/stat.h>

namespace engine {

FetchOutcome fetchFile(WorkerContext &ctx, const std::string &serverPath,
                       const std::filesystem::path &localPath, std::int32_t version, TempName &temp)
{
    if (const platform::ResultCode rc = temp.make(); rc != 0) {
        ctx.logError(rc);
        return {rc, FetchEnd::TempFailed};
    }
    ctx.beginTransfer();
    const protocol::CallResult got =
        ctx.service().getFile(ctx.userId(), serverPath, version, temp.path());
    ctx.endTransfer();
    if (got.code == platform::kCancelled || (got.code < 0 && ctx.isCancelled())) {
        temp.reset();
        return {platform::kCancelled, FetchEnd::Stopped};
    }
    platform::ResultCode code = got.code;
    if (got.succeeded()) {
        if (!ctx.statusText(msg::kStatusWritingLocal)) {
            temp.reset();
            return {platform::kCancelled, FetchEnd::Stopped};
        }
        if (const SystemError e = copyOver(temp.path(), localPath); e != 0)
            code = platform::fromWin32(e);
        else if (!ctx.request().keepWritable)
            (void)setReadOnly(localPath, true); // the file arrived; a copy left writable does
                                                // not make the get a failure
    }
    temp.reset();

    const std::string local = pathText(localPath);
    if (code < 0)
        ctx.log(LogKind::Failure, msg::kGetFailed,
                {LogArgument::ofText(local), LogArgument::ofCodeText(code)}, code);
    else if (!got.errorText.empty())
        ctx.log(LogKind::Failure, msg::kGetFailed,
                {LogArgument::ofText(local), LogArgument::ofText(got.errorText)});
    else
        ctx.log(LogKind::Success, msg::kGot, {LogArgument::ofText(local)});
    return {code, FetchEnd::Done};
}

bool keepsOwnCheckOut(WorkerContext &ctx, const protocol::FileItem &record,
                      const std::filesystem::path &localPath)
{
    if (ctx.userId().empty() || record.checkoutUserId != ctx.userId() ||
        record.checkoutPath.empty())
        return false;
    const std::filesystem::path recorded(record.checkoutPath);
    if (recorded.lexically_normal() != localPath.lexically_normal())
        return false;
    struct stat st = {};
    if (::stat(localPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || isReadOnly(localPath))
        return false;
    ctx.log(LogKind::Warning, msg::kKeptCheckedOut, {LogArgument::ofText(pathText(localPath))});
    return true;
}

platform::ResultCode runGetFiles(WorkerContext &ctx)
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
            if (!ctx.step())
                return platform::kCancelled;
            continue;
        }
        const std::string serverPath = req.serverPath + name;
        const std::filesystem::path localPath =
            req.multipleFiles ? req.localFolder / name : req.localPath;
        if (!keepsOwnCheckOut(ctx, file.record, localPath)) {
            const FetchOutcome fetched = fetchFile(ctx, serverPath, localPath, -1, temp);
            if (fetched.end != FetchEnd::Done)
                return fetched.code;
            if (fetched.code < 0)
                last = fetched.code;
        }
        if (!ctx.step())
            return platform::kCancelled;
    }
    return last;
}

platform::ResultCode runGetFolder(WorkerContext &ctx)
{
    TempName temp;
    WalkRules rules;
    rules.makeLocalFolders = true;
    rules.handleFile = [&](const std::string &serverFile, const std::filesystem::path &localFile,
                           const protocol::FileItem &record) -> WalkStep {
        if (keepsOwnCheckOut(ctx, record, localFile)) {
            (void)ctx.step();
            return {};
        }
        const FetchOutcome fetched = fetchFile(ctx, serverFile, localFile, -1, temp);
        if (fetched.end == FetchEnd::TempFailed) {
            ctx.log(
                LogKind::Failure, msg::kWalkStopped,
                {LogArgument::ofText(pathText(localFile)), LogArgument::ofCodeText(fetched.code)},
                fetched.code);
            return {fetched.code, true};
        }
        if (fetched.end == FetchEnd::Stopped)
            return {platform::kCancelled, true};
        (void)ctx.step();
        return {fetched.code, false};
    };
    return runFolderWalk(ctx, rules);
}

platform::ResultCode runGetVersion(WorkerContext &ctx)
{
    const OperationRequest &req = ctx.request();
    const std::filesystem::path folder =
        req.localFolder.empty() ? req.localPath.parent_path() : req.localFolder;
    if (!folder.empty()) {
        if (const SystemError e = makePath(withTrailingSeparator(folder)); e != 0) {
            ctx.logError(platform::fromWin32(e));
            return platform::fromWin32(e);
        }
    }
    if (!ctx.total(1))
        return platform::kCancelled;
    TempName temp;
    const FetchOutcome fetched = fetchFile(ctx, req.serverPath, req.localPath, req.version, temp);
    if (fetched.end == FetchEnd::Done)
        (void)ctx.step();
    return fetched.code;
}

} // namespace engine
