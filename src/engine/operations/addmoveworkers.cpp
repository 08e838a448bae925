// Add and move: local files and folder trees dropped on a server folder (kind 10), files
// moved between server folders (kind 9) and one folder moved under another (kind 11).
// An add never follows a symbolic link to a folder (a link to a parent would never end); a
// link to a file adds the file's content.

#include "engine/operations/workercontext_p.h"

#include "engine/engineconstants.h"

#include <protocol/service.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>

namespace engine {

namespace {

enum class EntryType { Missing, Folder, File, LinkToFolder, Other };

EntryType entryType(const std::filesystem::path &path)
{
    struct stat st = {};
    if (path.empty() || ::lstat(path.c_str(), &st) != 0)
        return EntryType::Missing;
    if (S_ISLNK(st.st_mode)) {
        if (::stat(path.c_str(), &st) != 0)
            return EntryType::Missing; // a link that leads nowhere
        if (S_ISDIR(st.st_mode))
            return EntryType::LinkToFolder;
        return S_ISREG(st.st_mode) ? EntryType::File : EntryType::Other;
    }
    if (S_ISDIR(st.st_mode))
        return EntryType::Folder;
    // Only regular files: opening a pipe or a device to read it as content could block the
    // run for ever.
    return S_ISREG(st.st_mode) ? EntryType::File : EntryType::Other;
}

struct DirCloser
{
    void operator()(DIR *d) const { ::closedir(d); }
};

// The entry names of a local folder without "." and "..", sorted so that runs and their
// logs repeat. 0 or the code of the failing step.
[[nodiscard]] platform::ResultCode listFolder(const std::filesystem::path &folder,
                                              std::vector<std::string> &names)
{
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir)
        return platform::fromErrno(errno);
    errno = 0;
    while (const dirent *e = ::readdir(dir.get())) {
        const std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
        errno = 0;
    }
    if (errno != 0)
        return platform::fromErrno(errno);
    std::sort(names.begin(), names.end());
    return 0;
}

// The files an add of `folder` will offer: regular files and links to them, below real
// subfolders only.
std::int64_t countLocalFiles(const std::filesystem::path &folder)
{
    std::vector<std::string> names;
    if (listFolder(folder, names) != 0)
        return 0;
    std::int64_t count = 0;
    for (const std::string &name : names) {
        const std::filesystem::path entry = folder / name;
        switch (entryType(entry)) {
        case EntryType::Folder:
            count += countLocalFiles(entry);
            break;
        case EntryType::File:
            ++count;
            break;
        default:
            break;
        }
    }
    return count;
}

class Adder
{
public:
    explicit Adder(WorkerContext &ctx)
        : m_ctx(ctx)
    {
    }

    // Adds one file as `name` into `serverFolder`; false when the run was cancelled.
    bool addFile(const std::string &serverFolder, const std::string &name,
                 const std::filesystem::path &localPath);
    // Creates the server folder of `localFolder` below `serverParent` and adds what it
    // holds; false when the run was cancelled.
    bool addFolder(const std::string &serverParent, const std::filesystem::path &localFolder);

    [[nodiscard]] platform::ResultCode lastFailure() const { return m_lastFailure; }

private:
    void failed(const std::filesystem::path &path, LogArgument reason, platform::ResultCode code)
    {
        if (code < 0)
            m_lastFailure = code;
        m_ctx.log(LogKind::Failure, msg::kAddFailed, {LogArgument::ofText(pathText(path)), reason},
                  code);
    }

    WorkerContext &m_ctx;
    platform::ResultCode m_lastFailure = 0;
};

bool Adder::addFile(const std::string &serverFolder, const std::string &name,
                    const std::filesystem::path &localPath)
{
    if (name.find('\\') != std::string::npos) {
        // The service reads "\" as a folder separator: the file would land elsewhere.
        const platform::ResultCode code = platform::fromWin32(platform::err::BadPathname);
        failed(localPath, LogArgument::ofCodeText(code), code);
        (void)m_ctx.step();
        return true;
    }
    m_ctx.beginTransfer();
    const protocol::CallResult r = m_ctx.service().addFile(m_ctx.userId(), serverFolder, name,
                                                           localPath, m_ctx.request().comment);
    m_ctx.endTransfer();
    if (r.code == platform::kCancelled)
        return false;
    if (r.code < 0) {
        failed(localPath, LogArgument::ofCodeText(r.code), r.code);
    } else if (!r.errorText.empty()) {
        failed(localPath, LogArgument::ofText(r.errorText), 0);
    } else {
        releaseLocalCopy(m_ctx, localPath);
        m_ctx.log(LogKind::Success, msg::kAdded, {LogArgument::ofText(pathText(localPath))});
    }
    (void)m_ctx.step();
    return true;
}

bool Adder::addFolder(const std::string &serverParent, const std::filesystem::path &localFolder)
{
    std::filesystem::path trimmed = localFolder;
    while (!trimmed.empty() && trimmed.filename().empty() && trimmed != trimmed.root_path())
        trimmed = trimmed.parent_path();
    const std::string name = trimmed.filename().string();
    if (name.empty() || name.find('\\') != std::string::npos) {
        const platform::ResultCode code = platform::fromWin32(platform::err::BadPathname);
        m_lastFailure = code;
        m_ctx.log(LogKind::Failure, msg::kCreateFolderFailed,
                  {LogArgument::ofText(name.empty() ? pathText(localFolder) : name),
                   LogArgument::ofCodeText(code)},
                  code);
        return true;
    }

    const protocol::CallResult made = m_ctx.service().createFolder(
        m_ctx.userId(), serverParent, name, {}, m_ctx.request().folderOption);
    if (made.code == platform::kCancelled)
        return false;
    if (made.succeeded()) {
        m_ctx.log(LogKind::Success, msg::kFolderCreated, {LogArgument::ofText(name)});
    } else {
        if (made.code < 0)
            m_lastFailure = made.code;
        // The folder may exist already: its contents are added into it all the same.
        m_ctx.log(LogKind::Failure, msg::kCreateFolderFailed,
                  {LogArgument::ofText(name), reasonOf(made)}, made.code);
    }
    const std::string serverFolder = serverParent + "\\" + name;

    std::vector<std::string> names;
    if (const platform::ResultCode rc = listFolder(trimmed, names); rc != 0) {
        m_lastFailure = rc;
        m_ctx.log(LogKind::Failure, msg::kAddUnreadable,
                  {LogArgument::ofText(pathText(trimmed)), LogArgument::ofCodeText(rc)}, rc);
        return true;
    }
    for (const std::string &entryName : names) {
        if (m_ctx.cancelledAtItem())
            return false;
        const std::filesystem::path entry = trimmed / entryName;
        switch (entryType(entry)) {
        case EntryType::Folder:
            if (!addFolder(serverFolder, entry))
                return false;
            break;
        case EntryType::File:
            if (!addFile(serverFolder, entryName, entry))
                return false;
            break;
        case EntryType::LinkToFolder:
            m_ctx.log(LogKind::Warning, msg::kLinkNotFollowed,
                      {LogArgument::ofText(pathText(entry))});
            break;
        case EntryType::Missing:
        case EntryType::Other: {
            const platform::ResultCode code = platform::fromWin32(platform::err::NotSupported);
            m_ctx.log(LogKind::Warning, msg::kAddUnreadable,
                      {LogArgument::ofText(pathText(entry)), LogArgument::ofCodeText(code)}, code);
            break;
        }
        }
    }
    return true;
}

} // namespace

platform::ResultCode runAddDropped(WorkerContext &ctx)
{
    const OperationRequest &req = ctx.request();
    std::int64_t count = 0;
    for (const std::filesystem::path &path : req.droppedPaths) {
        const EntryType type = entryType(path);
        if (type == EntryType::Folder)
            count += countLocalFiles(path);
        else if (type == EntryType::File)
            ++count;
    }
    if (!ctx.total(count))
        return platform::kCancelled;

    Adder adder(ctx);
    for (const std::filesystem::path &path : req.droppedPaths) {
        if (ctx.cancelledAtItem())
            return platform::kCancelled;
        switch (entryType(path)) {
        case EntryType::Missing:
            break; // dropped but gone (or no path): skipped without a line
        case EntryType::Folder:
            if (!adder.addFolder(req.targetPath, path))
                return platform::kCancelled;
            break;
        case EntryType::File:
            if (!adder.addFile(req.targetPath, path.filename().string(), path))
                return platform::kCancelled;
            break;
        case EntryType::LinkToFolder:
            ctx.log(LogKind::Warning, msg::kLinkNotFollowed, {LogArgument::ofText(pathText(path))});
            break;
        case EntryType::Other: {
            const platform::ResultCode code = platform::fromWin32(platform::err::NotSupported);
            ctx.log(LogKind::Warning, msg::kAddUnreadable,
                    {LogArgument::ofText(pathText(path)), LogArgument::ofCodeText(code)}, code);
            break;
        }
        }
    }
    return adder.lastFailure();
}

platform::ResultCode runMoveFiles(WorkerContext &ctx)
{
    const OperationRequest &req = ctx.request();
    if (!ctx.total(static_cast<std::int64_t>(req.moveNames.size())) || !ctx.subTotal(1))
        return platform::kCancelled;

    platform::ResultCode last = 0;
    for (const std::string &name : req.moveNames) {
        if (ctx.cancelledAtItem())
            return platform::kCancelled;
        const std::string source = req.sourcePath + "\\" + name;
        if (!ctx.itemText(source) || !ctx.statusText(msg::kStatusMovingFiles))
            return platform::kCancelled;
        const protocol::CallResult r = ctx.service().move(ctx.userId(), source, req.targetPath);
        if (r.code == platform::kCancelled)
            return platform::kCancelled;
        if (r.succeeded()) {
            ctx.log(LogKind::Success, msg::kFileMoved, {LogArgument::ofText(source)});
        } else {
            if (r.code < 0)
                last = r.code;
            ctx.log(LogKind::Failure, msg::kMoveFileFailed,
                    {LogArgument::ofText(source), reasonOf(r)}, r.code);
        }
        if (!ctx.step() || !ctx.subPosition(1))
            return platform::kCancelled;
    }
    return last;
}

platform::ResultCode runMoveFolder(WorkerContext &ctx)
{
    const OperationRequest &req = ctx.request();
    if (!ctx.total(1) || !ctx.subTotal(1))
        return platform::kCancelled;
    if (!ctx.itemText(req.sourcePath) || !ctx.statusLiteral(msg::kMovingFolderText))
        return platform::kCancelled;
    const protocol::CallResult r = ctx.service().move(ctx.userId(), req.sourcePath, req.targetPath);
    if (r.code == platform::kCancelled)
        return platform::kCancelled;
    platform::ResultCode result = r.code;
    if (r.succeeded()) {
        ctx.log(LogKind::Success, msg::kFolderMoved, {LogArgument::ofText(req.sourcePath)});
        protocol::FolderItem moved;
        moved.name = req.movedFolder.name;
        moved.workFolderPath = req.movedFolder.workFolderPath;
        moved.comment = req.movedFolder.comment;
        moved.isPrivate = req.movedFolder.isPrivate;
        ctx.reporter().recordChanged(FolderMoved{req.sourcePath, req.targetPath, moved});
    } else {
        ctx.log(LogKind::Failure, msg::kMoveFolderFailed,
                {LogArgument::ofText(req.sourcePath), reasonOf(r)}, r.code);
    }
    (void)ctx.step();
    (void)ctx.subPosition(1);
    return result;
}

} // namespace engine
