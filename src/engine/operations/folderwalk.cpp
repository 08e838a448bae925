#include "engine/operations/folderwalk_p.h"

#include "engine/engineconstants.h"
#include "engine/localfiles.h"

#include <protocol/service.h>

#include <vector>

namespace engine {

namespace {

// 0x8007FFFF: what a walk step returns for a list the service answered with a message.
constexpr platform::ResultCode kRefusedList = static_cast<platform::ResultCode>(0x8007FFFFu);

class Walk
{
public:
    Walk(WorkerContext &ctx, const WalkRules &rules)
        : m_ctx(ctx)
        , m_rules(rules)
    {
    }

    [[nodiscard]] platform::ResultCode run();

private:
    WalkStep filesPass(const std::string &folder, const std::filesystem::path &local);
    WalkStep foldersPass(const std::string &folder, const std::filesystem::path &local);
    std::filesystem::path localFolderOf(const std::filesystem::path &parent,
                                        const protocol::FolderItem &sub) const;
    void note(platform::ResultCode code)
    {
        if (code < 0)
            m_lastFailure = code;
    }

    WorkerContext &m_ctx;
    const WalkRules &m_rules;
    platform::ResultCode m_lastFailure = 0;
};

platform::ResultCode Walk::run()
{
    const OperationRequest &req = m_ctx.request();
    if (m_rules.makeLocalFolders) {
        if (const SystemError e = makePath(req.localFolder); e != 0) {
            m_ctx.logError(platform::fromWin32(e));
            return platform::fromWin32(e);
        }
    }
    std::string folder = req.serverPath;
    if (!folder.empty() && folder.back() == '\\')
        folder.pop_back();

    std::int64_t count = 0;
    const protocol::CallResult counted =
        m_ctx.service().getItemCount(m_ctx.userId(), folder, req.recursive, count);
    if (counted.code == platform::kCancelled)
        return platform::kCancelled;
    if (!counted.succeeded()) {
        // Ending without a word here left users wondering why nothing happened.
        m_ctx.log(LogKind::Failure, msg::kCountFailed,
                  {LogArgument::ofText(folder), reasonOf(counted)}, counted.code);
        return counted.code < 0 ? counted.code : kRefusedList;
    }
    (void)m_ctx.total(count);

    const WalkStep files = filesPass(folder, req.localFolder);
    if (files.stop)
        return files.code;
    if (m_ctx.cancelledAtItem())
        return platform::kCancelled;
    if (req.recursive) {
        const WalkStep folders = foldersPass(folder, req.localFolder);
        if (folders.stop)
            return folders.code;
    }
    return m_lastFailure;
}

WalkStep Walk::filesPass(const std::string &folder, const std::filesystem::path &local)
{
    std::vector<protocol::FileItem> files;
    const protocol::CallResult listed = m_ctx.service().getFileList(m_ctx.userId(), folder, files);
    if (listed.code == platform::kCancelled)
        return {platform::kCancelled, true};
    if (listed.code < 0) {
        m_ctx.log(LogKind::Failure, msg::kFileListFailed, {LogArgument::ofCode(listed.code)},
                  listed.code);
        note(listed.code);
        return {listed.code, false};
    }
    if (!listed.errorText.empty()) {
        m_ctx.log(LogKind::Failure, msg::kFileListRefused, {LogArgument::ofText(listed.errorText)});
        note(kRefusedList);
        return {kRefusedList, false};
    }
    WalkStep last;
    for (const protocol::FileItem &file : files) {
        if (m_ctx.cancelledAtItem())
            return {platform::kCancelled, true};
        if (!isSafeName(file.fileName)) {
            m_ctx.log(LogKind::Failure, msg::kUnsafeName,
                      {LogArgument::ofText(folder), LogArgument::ofText(file.fileName)});
            (void)m_ctx.step();
            continue;
        }
        last = m_rules.handleFile(folder + "\\" + file.fileName, local / file.fileName, file);
        note(last.code);
        if (last.stop)
            return last;
    }
    return last;
}

std::filesystem::path Walk::localFolderOf(const std::filesystem::path &parent,
                                          const protocol::FolderItem &sub) const
{
    // A working folder recorded on the service by another system (a drive-letter path, say)
    // is no folder here: the subfolder then lives below its parent's.
    if (m_rules.useWorkFolderPath && !sub.workFolderPath.empty()) {
        const std::filesystem::path recorded(sub.workFolderPath);
        if (recorded.is_absolute())
            return withTrailingSeparator(recorded);
    }
    return withTrailingSeparator(parent / sub.name);
}

WalkStep Walk::foldersPass(const std::string &folder, const std::filesystem::path &local)
{
    std::vector<protocol::FolderItem> subs;
    const protocol::CallResult listed = m_ctx.service().getFolderList(m_ctx.userId(), folder, subs);
    if (listed.code == platform::kCancelled)
        return {platform::kCancelled, true};
    if (!listed.succeeded()) {
        m_ctx.log(LogKind::Failure, msg::kFolderListFailed,
                  {LogArgument::ofText(folder), reasonOf(listed)}, listed.code);
        note(listed.code);
        return {listed.code, false};
    }
    WalkStep last;
    for (const protocol::FolderItem &sub : subs) {
        if (m_ctx.cancelledAtItem())
            return {platform::kCancelled, true};
        if (!isSafeName(sub.name)) {
            m_ctx.log(LogKind::Failure, msg::kUnsafeName,
                      {LogArgument::ofText(folder), LogArgument::ofText(sub.name)});
            continue;
        }
        const std::string serverSub = folder + "\\" + sub.name;
        const std::filesystem::path localSub = localFolderOf(local, sub);
        if (m_rules.makeLocalFolders) {
            if (const SystemError e = makePath(localSub); e != 0) {
                const platform::ResultCode code = platform::fromWin32(e);
                m_ctx.log(LogKind::Failure, msg::kWalkStopped,
                          {LogArgument::ofText(pathText(localSub)), LogArgument::ofCodeText(code)},
                          code);
                return {code, true};
            }
        }
        last = filesPass(serverSub, localSub);
        if (last.stop)
            return last;
        last = foldersPass(serverSub, localSub);
        if (last.stop)
            return last;
    }
    return last;
}

} // namespace

platform::ResultCode runFolderWalk(WorkerContext &ctx, const WalkRules &rules)
{
    return Walk(ctx, rules).run();
}

} // namespace engine
