// Check in: selected files (kind 7) and folder walks (kind 8). The service client reads the
// local file itself; a failed check-in leaves the local file and the check-out as they were.
// A file this user holds whose local copy is still the server's version may have its
// check-out undone instead (the request's UnchangedCopy rule).

#include "engine/operations/folderwalk_p.h"

#include "engine/engineconstants.h"
#include "engine/localfiles.h"

#include <protocol/service.h>

#include <sys/stat.h>

namespace engine {

namespace {

enum class Instead { CheckIn, Undo, Stopped };

// The unchanged-copy rule of one run: the request's choice until the one question has been
// answered, then the answer.
class UnchangedRule
{
public:
    explicit UnchangedRule(const OperationRequest &request)
        : m_choice(request.unchangedCopy)
    {
    }

    // Whether `localPath` is checked in or has its check-out undone; Stopped when the run
    // was cancelled while comparing or asking.
    Instead decide(WorkerContext &ctx, const std::string &serverPath,
                   const std::filesystem::path &localPath, const protocol::FileItem &record)
    {
        if (m_choice == UnchangedCopy::CheckIn || !heldHere(ctx, record, localPath))
            return Instead::CheckIn;
        const Instead compared = sameAsServer(ctx, serverPath, localPath);
        if (compared != Instead::Undo)
            return compared;
        if (m_choice == UnchangedCopy::Ask) {
            m_choice = ctx.reporter().unchangedCopy(pathText(localPath));
            if (ctx.isCancelled())
                return Instead::Stopped;
        }
        return m_choice == UnchangedCopy::UndoCheckOut ? Instead::Undo : Instead::CheckIn;
    }

private:
    // This user holds the check-out and the local copy has the server's size: only then is a
    // comparison worth its download.
    static bool heldHere(WorkerContext &ctx, const protocol::FileItem &record,
                         const std::filesystem::path &localPath)
    {
        if (ctx.userId().empty() || record.checkoutUserId != ctx.userId())
            return false;
        struct stat st = {};
        if (::stat(localPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            return false;
        return record.fileSize < 0 || static_cast<std::int64_t>(st.st_size) == record.fileSize;
    }

    // Undo when the server's latest version has the local copy's bytes; anything that keeps
    // the comparison from being made checks the file in, as without the rule.
    Instead sameAsServer(WorkerContext &ctx, const std::string &serverPath,
                         const std::filesystem::path &localPath)
    {
        if (m_temp.make() != 0)
            return Instead::CheckIn;
        if (!ctx.statusText(msg::kStatusComparing)) {
            m_temp.reset();
            return Instead::Stopped;
        }
        ctx.beginTransfer();
        const protocol::CallResult r =
            ctx.service().getFile(ctx.userId(), serverPath, -1, m_temp.path());
        ctx.endTransfer();
        Instead out = Instead::CheckIn;
        if (r.code == platform::kCancelled || ctx.isCancelled())
            out = Instead::Stopped;
        else if (r.succeeded() && sameContent(m_temp.path(), localPath))
            out = Instead::Undo;
        m_temp.reset();
        return out;
    }

    UnchangedCopy m_choice;
    TempName m_temp;
};

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

    UnchangedRule unchanged(req);
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
            const std::string serverPath = req.serverPath + name;
            const Instead instead = unchanged.decide(ctx, serverPath, localPath, file.record);
            if (instead == Instead::Stopped)
                return platform::kCancelled;
            if (instead == Instead::Undo) {
                if (!undoCheckOutRow(ctx, file, serverPath, localPath, msg::kUnchangedUndone,
                                     last) ||
                    !ctx.step())
                    return platform::kCancelled;
                continue;
            }
            const protocol::CallResult r = checkInOne(ctx, serverPath, localPath);
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
                // The row now stands for the version just sent: with the checked-out version's
                // size it would call the read-only copy different from the server's.
                protocol::FileItem record = clearedCheckOut(file.record);
                std::error_code error;
                if (const std::uintmax_t size = std::filesystem::file_size(localPath, error);
                    !error)
                    record.fileSize = static_cast<std::int64_t>(size);
                ctx.reporter().recordChanged(FileRecordChanged{file.row, std::move(record)});
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
    UnchangedRule unchanged(ctx.request());
    WalkRules rules;
    rules.useWorkFolderPath = true;
    rules.handleFile = [&](const std::string &serverFile, const std::filesystem::path &localFile,
                           const protocol::FileItem &record) -> WalkStep {
        const Instead instead = unchanged.decide(ctx, serverFile, localFile, record);
        if (instead == Instead::Stopped)
            return {platform::kCancelled, true};
        if (instead == Instead::Undo) {
            const UndoOutcome out =
                undoCheckOutOne(ctx, serverFile, localFile, true, msg::kUnchangedUndone);
            if (out.code == platform::kCancelled)
                return {platform::kCancelled, true};
            (void)ctx.step();
            return {out.code < 0 ? out.code : 0, false};
        }
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
