// The commands of ravelind-cli: direct calls for the short ones, the engine's workers for the
// long ones, and the listings.

#include "cliconstants.h"
#include "clisession.h"

#include <engine/operations/operation.h>
#include <engine/operations/operationrunner.h>
#include <engine/operations/progressreporter.h>
#include <views/compare/fileimage.h>
#include <views/compare/normalformatter.h>
#include <views/compare/textcomparer.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include <unistd.h>

namespace cli {

namespace {

namespace fs = std::filesystem;

// --- Server paths and lookups ------------------------------------------------------------

std::string parentOf(const std::string &path)
{
    const std::size_t cut = path.rfind('\\');
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string nameOf(const std::string &path)
{
    const std::size_t cut = path.rfind('\\');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string joinPath(const std::string &folder, const std::string &name)
{
    return folder.empty() ? name : folder + '\\' + name;
}

// The service compares names without regard to ASCII letter case.
bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) {
                   return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
}

struct FolderListing
{
    protocol::CallResult folders;
    protocol::CallResult files;
    std::vector<protocol::FolderItem> folderItems;
    std::vector<protocol::FileItem> fileItems;
};

enum class ItemType { File, Folder, Missing, Failed };

struct Item
{
    ItemType type = ItemType::Missing;
    std::string path;   // wire form
    std::string parent; // wire form
    protocol::FileItem file;
    protocol::FolderItem folder;
    protocol::CallResult failure; // when Failed
};

// What the named paths are, with one listing per parent folder.
class Lookup
{
public:
    explicit Lookup(Session &session)
        : m_session(session)
    {
    }

    const FolderListing &listing(const std::string &folder)
    {
        auto it = m_listings.find(folder);
        if (it != m_listings.end())
            return it->second;
        FolderListing listing;
        protocol::Service &service = m_session.service();
        listing.folders = service.getFolderList(m_session.userId(), folder, listing.folderItems);
        if (listing.folders.succeeded())
            listing.files = service.getFileList(m_session.userId(), folder, listing.fileItems);
        return m_listings.emplace(folder, std::move(listing)).first->second;
    }

    Item find(const std::string &path)
    {
        Item item;
        item.path = path;
        item.parent = parentOf(path);
        if (path.empty()) {
            item.type = ItemType::Folder;
            return item;
        }
        const FolderListing &list = listing(item.parent);
        if (!list.folders.succeeded() || !list.files.succeeded()) {
            item.type = ItemType::Failed;
            item.failure = !list.folders.succeeded() ? list.folders : list.files;
            return item;
        }
        const std::string name = nameOf(path);
        for (const protocol::FileItem &file : list.fileItems) {
            if (sameName(file.fileName, name)) {
                item.type = ItemType::File;
                item.file = file;
                item.path = joinPath(item.parent, file.fileName);
                return item;
            }
        }
        for (const protocol::FolderItem &folder : list.folderItems) {
            if (sameName(folder.name, name)) {
                item.type = ItemType::Folder;
                item.folder = folder;
                item.path = joinPath(item.parent, folder.name);
                return item;
            }
        }
        return item;
    }

private:
    Session &m_session;
    std::map<std::string, FolderListing> m_listings;
};

// Says why a looked-up item cannot be used; true when it can.
bool usable(Session &session, const Item &item)
{
    if (item.type == ItemType::Failed) {
        session.sayFailed(str::ListFailed, {item.parent, session.reason(item.failure)},
                          item.failure.code);
        return false;
    }
    if (item.type == ItemType::Missing) {
        session.sayFailed(str::NotOnServer, {item.path});
        return false;
    }
    return true;
}

// The operands as wire paths; false after a usage line for one that is not a path.
bool serverPaths(Session &session, const std::vector<std::string> &operands,
                 std::vector<std::string> &paths)
{
    for (const std::string &operand : operands) {
        const std::optional<std::string> path = serverPath(operand);
        if (!path) {
            session.console().problem("not a server path: " + operand);
            session.noteTrouble();
            return false;
        }
        paths.push_back(*path);
    }
    return true;
}

fs::path absoluteLocal(const std::string &text)
{
    std::error_code ec;
    fs::path path = fs::absolute(fs::path(text), ec);
    return (ec ? fs::path(text) : path).lexically_normal();
}

// --- Running the engine's workers ----------------------------------------------------

// The run being shown, for the interrupt handler: Ctrl-C asks it to stop as Cancel does.
std::atomic<engine::Operation *> g_running{nullptr};

extern "C" void onInterrupt(int)
{
    if (engine::Operation *op = g_running.load())
        op->cancel();
    else
        std::_Exit(130);
}

// Shows a run on the console: outcome lines on standard output, progress on standard error.
class ConsoleReporter final : public engine::ProgressReporter
{
public:
    ConsoleReporter(Session &session, bool quietSuccess)
        : m_session(session)
        , m_quietSuccess(quietSuccess)
    {
    }

    void itemText(std::string_view text) override
    {
        m_item = std::string(text);
        draw(0, -1);
    }
    void statusText(int) override {}
    void subTotal(std::int64_t) override {}
    void subPosition(std::int64_t) override {}
    void total(std::int64_t count) override
    {
        m_total = count;
        m_done = 0;
    }
    void step(std::int64_t count) override { m_done += count; }
    void statusLiteral(std::string_view) override {}
    void bytes(std::int64_t done, std::int64_t total) override { draw(done, total); }
    void log(const engine::LogEntry &entry) override
    {
        if (entry.kind != engine::LogKind::Success)
            m_session.noteFailure(entry.code);
        else if (m_quietSuccess)
            return;
        m_session.console().line(m_session.strings().formatEntry(entry));
    }
    void recordChanged(const engine::RecordChange &) override {}

private:
    void draw(std::int64_t done, std::int64_t total)
    {
        Console &console = m_session.console();
        if (!console.showsProgress())
            return;
        std::string item = m_item;
        if (m_total > 1)
            item = std::to_string(std::min(m_done + 1, m_total)) + "/" + std::to_string(m_total) +
                   " " + item;
        console.progress(item, done, total);
    }

    Session &m_session;
    bool m_quietSuccess;
    std::string m_item;
    std::int64_t m_total = 0;
    std::int64_t m_done = 0;
};

// Runs one operation to its end; false when it was cancelled (the rest is skipped).
bool run(Session &session, engine::OperationRequest request, bool quietSuccess = false)
{
    request.profile = session.profile();
    request.logonUserName = session.machine().userName;
    request.ipAddress = session.machine().ipAddress;
    ConsoleReporter reporter(session, quietSuccess);
    engine::Operation operation(std::move(request), &reporter);
    g_running.store(&operation);
    const platform::ResultCode rc = engine::runOperation(operation, session.service());
    g_running.store(nullptr);
    session.console().clearProgress();
    if (rc == platform::kCancelled) {
        session.noteFailure(rc);
        return false;
    }
    return true;
}

// Files of one server folder, in the order they were named.
struct FileGroup
{
    std::string folder;
    std::vector<engine::SelectedFile> files;
};

// Splits the named paths into files grouped by folder and folders; reports the others.
void sortItems(Session &session, const std::vector<std::string> &paths,
               std::vector<FileGroup> &fileGroups, std::vector<Item> &folders)
{
    Lookup lookup(session);
    std::uint64_t row = 0;
    for (const std::string &path : paths) {
        const Item item = lookup.find(path);
        if (!usable(session, item))
            continue;
        if (item.type == ItemType::Folder) {
            folders.push_back(item);
            continue;
        }
        auto group = std::find_if(fileGroups.begin(), fileGroups.end(),
                                  [&](const FileGroup &g) { return g.folder == item.parent; });
        if (group == fileGroups.end()) {
            fileGroups.push_back({item.parent, {}});
            group = fileGroups.end() - 1;
        }
        group->files.push_back({row++, item.file});
    }
}

// get, checkout, undo, checkin: the files kind for named files, the folder kind per folder.
int runTransfer(const Invocation &in, Session &session, engine::OperationKind filesKind,
                engine::OperationKind folderKind)
{
    std::vector<std::string> paths;
    if (!serverPaths(session, in.operands, paths))
        return session.exitStatus();
    std::vector<FileGroup> groups;
    std::vector<Item> folders;
    sortItems(session, paths, groups, folders);

    engine::OperationRequest base;
    base.localFolder = absoluteLocal(in.options.localDir);
    base.keepWritable = in.options.writable;
    base.recursive = in.options.recursive;
    base.deleteLocal = in.options.deleteLocal;
    base.comment = in.options.comment.value_or(std::string());
    for (const FileGroup &group : groups) {
        engine::OperationRequest request = base;
        request.kind = filesKind;
        request.serverPath = group.folder;
        request.files = group.files;
        request.multipleFiles = true;
        if (!run(session, std::move(request)))
            return session.exitStatus();
    }
    for (const Item &folder : folders) {
        engine::OperationRequest request = base;
        request.kind = folderKind;
        request.serverPath = folder.path;
        if (!run(session, std::move(request)))
            return session.exitStatus();
    }
    return session.exitStatus();
}

int runGetVersion(const Invocation &in, Session &session)
{
    std::vector<std::string> paths;
    if (!serverPaths(session, in.operands, paths))
        return session.exitStatus();
    engine::OperationRequest request;
    request.kind = engine::OperationKind::GetVersion;
    request.serverPath = paths.front();
    request.localPath = absoluteLocal(in.options.outputFile);
    request.localFolder = request.localPath.parent_path();
    request.version = *in.options.version;
    request.keepWritable = in.options.writable;
    run(session, std::move(request));
    return session.exitStatus();
}

// The target folder of add and mv; nothing after a line saying why not.
std::optional<Item> targetFolder(Session &session, Lookup &lookup, const std::string &path)
{
    Item item = lookup.find(path);
    if (!usable(session, item))
        return std::nullopt;
    if (item.type != ItemType::Folder) {
        session.sayFailed(str::NotAFolder, {item.path});
        return std::nullopt;
    }
    return item;
}

int runAdd(const Invocation &in, Session &session)
{
    std::vector<std::string> paths;
    if (!serverPaths(session, {in.operands.front()}, paths))
        return session.exitStatus();
    Lookup lookup(session);
    const std::optional<Item> target = targetFolder(session, lookup, paths.front());
    if (!target)
        return session.exitStatus();
    engine::OperationRequest request;
    request.kind = engine::OperationKind::AddDropped;
    request.targetPath = target->path;
    request.comment = in.options.comment.value_or(std::string());
    request.deleteLocal = in.options.deleteLocal;
    // Folders the add creates take the private flag of the folder they are added to.
    request.folderOption = target->folder.isPrivate != 0;
    for (std::size_t i = 1; i < in.operands.size(); ++i)
        request.droppedPaths.push_back(absoluteLocal(in.operands[i]));
    run(session, std::move(request));
    return session.exitStatus();
}

int runMove(const Invocation &in, Session &session)
{
    std::vector<std::string> paths;
    if (!serverPaths(session, in.operands, paths))
        return session.exitStatus();
    const std::string destination = paths.back();
    paths.pop_back();
    Lookup lookup(session);
    const std::optional<Item> target = targetFolder(session, lookup, destination);
    if (!target)
        return session.exitStatus();
    std::vector<FileGroup> groups;
    std::vector<Item> folders;
    sortItems(session, paths, groups, folders);
    for (const FileGroup &group : groups) {
        engine::OperationRequest request;
        request.kind = engine::OperationKind::MoveFiles;
        request.sourcePath = group.folder;
        request.targetPath = target->path;
        for (const engine::SelectedFile &file : group.files)
            request.moveNames.push_back(file.record.fileName);
        if (!run(session, std::move(request)))
            return session.exitStatus();
    }
    for (const Item &folder : folders) {
        engine::OperationRequest request;
        request.kind = engine::OperationKind::MoveFolder;
        request.sourcePath = folder.path;
        request.targetPath = target->path;
        request.movedFolder = folder.folder;
        if (!run(session, std::move(request)))
            return session.exitStatus();
    }
    return session.exitStatus();
}

// --- Direct operations -----------------------------------------------------------------

int runLogon(Session &session)
{
    std::optional<std::string> result;
    const platform::MachineIdentity &machine = session.machine();
    const protocol::CallResult r = session.service().logon(
        session.userId(), machine.computerName, machine.userName, machine.ipAddress, result);
    if (!r.succeeded()) {
        session.sayFailed(str::LogonFailed, {session.reason(r)}, r.code);
        return session.exitStatus();
    }
    session.console().line(result.value_or(std::string()));
    return session.exitStatus();
}

int runMkdir(const Invocation &in, Session &session)
{
    std::vector<std::string> paths;
    if (!serverPaths(session, in.operands, paths))
        return session.exitStatus();
    const std::string &path = paths.front();
    if (path.empty()) {
        session.console().problem("mkdir needs the path of a new folder");
        session.noteTrouble();
        return session.exitStatus();
    }
    const std::string name = nameOf(path);
    const protocol::CallResult r = session.service().createFolder(
        session.userId(), parentOf(path), name, in.options.comment.value_or(std::string()),
        in.options.isPrivate);
    if (r.succeeded())
        session.say(str::FolderCreated, {name});
    else
        session.sayFailed(str::CreateFolderFailed, {name, session.reason(r)}, r.code);
    return session.exitStatus();
}

int runRemove(const Invocation &in, Session &session)
{
    std::vector<std::string> paths;
    if (!serverPaths(session, in.operands, paths))
        return session.exitStatus();
    Lookup lookup(session);
    for (const std::string &path : paths) {
        // The line names what was deleted, so look first: afterwards it is gone.
        const Item item = lookup.find(path);
        if (!usable(session, item))
            continue;
        const protocol::CallResult r =
            session.service().deleteItem(session.userId(), item.path, in.options.purge);
        if (!r.succeeded())
            session.sayFailed(str::DeleteFailed, {item.path, session.reason(r)}, r.code);
        else
            session.say(item.type == ItemType::Folder ? str::FolderDeleted : str::FileDeleted,
                        {item.path});
    }
    return session.exitStatus();
}

int runRename(const Invocation &in, Session &session)
{
    std::vector<std::string> paths;
    if (!serverPaths(session, {in.operands.front()}, paths))
        return session.exitStatus();
    const std::string &newName = in.operands[1];
    if (newName.empty() || newName.find_first_of("\\/") != std::string::npos ||
        paths.front().empty()) {
        session.console().problem("rename takes a server path and a new name without \"\\\" "
                                  "or \"/\"");
        session.noteTrouble();
        return session.exitStatus();
    }
    const protocol::CallResult r =
        session.service().rename(session.userId(), paths.front(), newName);
    if (r.succeeded())
        session.say(str::Renamed, {paths.front(), newName});
    else
        session.sayFailed(str::RenameFailed, {paths.front(), session.reason(r)}, r.code);
    return session.exitStatus();
}

int runDeleted(const Invocation &in, Session &session)
{
    std::vector<std::string> paths;
    if (!serverPaths(session, in.operands, paths))
        return session.exitStatus();
    std::vector<protocol::DeletedItem> items;
    const protocol::CallResult r =
        session.service().getDeletedList(session.userId(), paths.front(), items);
    if (!r.succeeded()) {
        session.sayFailed(str::DeletedListFailed, {paths.front(), session.reason(r)}, r.code);
        return session.exitStatus();
    }
    for (const protocol::DeletedItem &item : items)
        session.console().line(item.type == protocol::DeletedItem::Type::Folder ? item.name + "\\"
                                                                                : item.name);
    return session.exitStatus();
}

int runRecover(const Invocation &in, Session &session)
{
    std::vector<std::string> paths;
    if (!serverPaths(session, in.operands, paths))
        return session.exitStatus();
    std::map<std::string, std::vector<protocol::DeletedItem>> deleted;
    for (const std::string &path : paths) {
        // The deleted list of the folder says whether a file or a folder comes back.
        const std::string parent = parentOf(path);
        auto it = deleted.find(parent);
        if (it == deleted.end()) {
            std::vector<protocol::DeletedItem> items;
            (void)session.service().getDeletedList(session.userId(), parent, items);
            it = deleted.emplace(parent, std::move(items)).first;
        }
        const auto found =
            std::find_if(it->second.begin(), it->second.end(), [&](const protocol::DeletedItem &d) {
                return sameName(d.name, nameOf(path));
            });
        const protocol::CallResult r = session.service().repaire(session.userId(), path);
        if (!r.succeeded()) {
            session.sayFailed(str::RecoverFailed, {path, session.reason(r)}, r.code);
            continue;
        }
        const bool folder =
            found != it->second.end() && found->type == protocol::DeletedItem::Type::Folder;
        session.say(folder ? str::FolderRecovered : str::FileRecovered, {path});
    }
    return session.exitStatus();
}

int runHistory(const Invocation &in, Session &session)
{
    std::vector<std::string> paths;
    if (!serverPaths(session, in.operands, paths))
        return session.exitStatus();
    std::vector<protocol::HistoryItem> items;
    const protocol::CallResult r = session.service().getHistoryList(session.userId(), paths.front(),
                                                                    in.options.recursive, items);
    if (!r.succeeded()) {
        session.sayFailed(str::HistoryFailed, {paths.front(), session.reason(r)}, r.code);
        return session.exitStatus();
    }
    for (const protocol::HistoryItem &item : items)
        session.console().line(std::to_string(item.version) + '\t' + item.updateDate + '\t' +
                               item.updateUser + '\t' + item.fileName + '\t' + item.comment);
    return session.exitStatus();
}

int runRollback(const Invocation &in, Session &session)
{
    std::vector<std::string> paths;
    if (!serverPaths(session, {in.operands.front()}, paths))
        return session.exitStatus();
    const std::string &version = in.operands[1];
    const protocol::CallResult r = session.service().rollBack(session.userId(), paths.front(),
                                                              *parseNumber(version, 1, 0x7FFFFFFF));
    if (r.succeeded())
        session.say(str::RolledBack, {paths.front(), version});
    else
        session.sayFailed(str::RollBackFailed, {paths.front(), version, session.reason(r)}, r.code);
    return session.exitStatus();
}

int runComment(const Invocation &in, Session &session)
{
    std::vector<std::string> paths;
    if (!serverPaths(session, {in.operands.front()}, paths))
        return session.exitStatus();
    const std::string &version = in.operands[1];
    const protocol::CallResult r = session.service().updateComment(
        session.userId(), paths.front(), *parseNumber(version, 0, 0x7FFFFFFF), in.operands[2]);
    if (r.succeeded())
        session.say(str::CommentChanged, {paths.front(), version});
    else
        session.sayFailed(str::CommentFailed, {paths.front(), version, session.reason(r)}, r.code);
    return session.exitStatus();
}

// --- Listings ----------------------------------------------------------------------------

std::vector<std::string> fileFields(const std::string &name, const protocol::FileItem &file)
{
    return {name,
            file.fileSize < 0 ? std::string() : std::to_string(file.fileSize),
            file.checkinDate,
            file.updateDate,
            file.checkoutUser,
            file.checkoutPath,
            file.ipAddress};
}

// Prints rows as tab-separated fields, or as columns padded to the widest field.
void printRows(Console &console, const std::vector<std::vector<std::string>> &rows, bool tsv)
{
    std::vector<std::size_t> widths;
    if (!tsv) {
        for (const auto &row : rows) {
            widths.resize(std::max(widths.size(), row.size()), 0);
            for (std::size_t i = 0; i < row.size(); ++i)
                widths[i] = std::max(widths[i], oneLine(row[i]).size());
        }
    }
    for (const auto &row : rows) {
        std::string text;
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i > 0)
                text += tsv ? "\t" : "  ";
            // Tabs inside a field would shift every later column of a tab-separated line.
            std::string field = oneLine(row[i]);
            std::replace(field.begin(), field.end(), '\t', ' ');
            text += field;
            if (!tsv && i + 1 < row.size())
                text.append(widths[i] - field.size(), ' ');
        }
        if (!tsv)
            text.erase(text.find_last_not_of(' ') + 1);
        console.line(text);
    }
}

// Lists `folder` (its folders, then its files) and, with `recursive`, each subfolder after;
// names are relative to `base`. False when a list could not be read.
bool collect(Session &session, Lookup &lookup, const std::string &folder,
             const std::string &relative, bool recursive, bool checkedOutOnly,
             std::vector<std::vector<std::string>> &rows)
{
    const FolderListing &list = lookup.listing(folder);
    if (!list.folders.succeeded() || !list.files.succeeded()) {
        const protocol::CallResult &r = !list.folders.succeeded() ? list.folders : list.files;
        session.sayFailed(str::ListFailed, {folder, session.reason(r)}, r.code);
        return false;
    }
    if (!checkedOutOnly) {
        for (const protocol::FolderItem &item : list.folderItems)
            rows.push_back({joinPath(relative, item.name) + "\\"});
    }
    for (const protocol::FileItem &file : list.fileItems) {
        if (!checkedOutOnly) {
            rows.push_back(fileFields(joinPath(relative, file.fileName), file));
        } else if (!file.checkoutUser.empty() || !file.checkoutUserId.empty()) {
            // The service tells no check-out time: the check-in date of the version that
            // was checked out is the nearest it has.
            rows.push_back({joinPath(folder, file.fileName),
                            file.checkoutUser.empty() ? file.checkoutUserId : file.checkoutUser,
                            file.checkinDate, file.ipAddress, file.checkoutPath});
        }
    }
    bool ok = true;
    if (recursive) {
        const std::vector<protocol::FolderItem> subfolders = list.folderItems;
        for (const protocol::FolderItem &item : subfolders)
            ok = collect(session, lookup, joinPath(folder, item.name),
                         joinPath(relative, item.name), true, checkedOutOnly, rows) &&
                 ok;
    }
    return ok;
}

int runList(const Invocation &in, Session &session, bool checkedOutOnly)
{
    std::vector<std::string> paths;
    if (!serverPaths(session, in.operands, paths))
        return session.exitStatus();
    Lookup lookup(session);
    std::vector<std::vector<std::string>> rows;
    collect(session, lookup, paths.front(), {}, in.options.recursive, checkedOutOnly, rows);
    printRows(session.console(), rows, checkedOutOnly || in.options.tsv);
    return session.exitStatus();
}

// --- diff ----------------------------------------------------------------------------

// A temporary folder for fetched versions, removed with what is in it.
class ScratchFolder
{
public:
    ScratchFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "ravelind-cli-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            m_path = pattern;
    }
    ~ScratchFolder()
    {
        std::error_code ec;
        if (!m_path.empty())
            fs::remove_all(m_path, ec);
    }
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;
    const fs::path &path() const { return m_path; }

private:
    fs::path m_path;
};

int runDiff(const Invocation &in, Session &session)
{
    ScratchFolder scratch;
    if (scratch.path().empty()) {
        session.console().problem("no temporary folder for the fetched versions");
        session.noteFailure(platform::fromErrno(errno));
        return session.exitStatus();
    }
    std::string files[2];
    for (int side = 0; side < 2; ++side) {
        const std::string &operand = in.operands[static_cast<std::size_t>(side)];
        const VersionedPath versioned = splitVersion(operand);
        std::error_code ec;
        // A second side that names an existing local file (and no version) is that file.
        if (side == 1 && versioned.version == -1 && fs::is_regular_file(operand, ec)) {
            files[side] = operand;
            continue;
        }
        const std::optional<std::string> path = serverPath(versioned.path);
        if (!path || path->empty()) {
            session.console().problem("not a server file path: " + operand);
            session.noteTrouble();
            return session.exitStatus();
        }
        const fs::path local = scratch.path() / (side == 0 ? "left" : "right");
        engine::OperationRequest request;
        request.kind = engine::OperationKind::GetVersion;
        request.serverPath = *path;
        request.version = versioned.version;
        request.localPath = local;
        request.localFolder = scratch.path();
        request.keepWritable = true;
        const int before = session.exitStatus();
        if (!run(session, std::move(request), true) || session.exitStatus() != before)
            return session.exitStatus();
        files[side] = local.string();
    }

    compare::FileImage images[2];
    for (int side = 0; side < 2; ++side) {
        images[side] = compare::FileImage::load(files[side]);
        if (images[side].error() != 0) {
            const platform::ResultCode rc = platform::fromErrno(images[side].error());
            session.sayFailed(str::LocalUnreadable, {files[side], session.reason(rc)}, rc);
            return session.exitStatus();
        }
    }
    compare::TextComparer comparer;
    switch (comparer.compareImages(images[0], images[1])) {
    case compare::CompareStatus::NoDifferences:
        break;
    case compare::CompareStatus::BinaryDiffer:
        session.say(str::BinaryFilesDiffer, {in.operands[0], in.operands[1]});
        break;
    case compare::CompareStatus::Differences: {
        Console &console = session.console();
        compare::NormalFormatter formatter(
            [&console](std::string_view piece) { console.raw(piece); });
        formatter.write(images[0], images[1], comparer.script());
        break;
    }
    case compare::CompareStatus::Cancelled:
    case compare::CompareStatus::Failed:
        session.console().problem("the files are too large to compare");
        session.noteFailure(platform::fromWin32(platform::err::NotEnoughMemory));
        break;
    }
    return session.exitStatus();
}

} // namespace

int runCommand(const Invocation &in, Session &session)
{
    std::signal(SIGINT, onInterrupt);
    using engine::OperationKind;
    switch (in.command) {
    case Command::Logon:
        return runLogon(session);
    case Command::Ls:
        return runList(in, session, false);
    case Command::Checkouts:
        return runList(in, session, true);
    case Command::Get:
        if (in.options.version)
            return runGetVersion(in, session);
        return runTransfer(in, session, OperationKind::GetFiles, OperationKind::GetFolder);
    case Command::Checkout:
        return runTransfer(in, session, OperationKind::CheckOutFiles,
                           OperationKind::CheckOutFolder);
    case Command::Undo:
        return runTransfer(in, session, OperationKind::UndoCheckOutFiles,
                           OperationKind::UndoCheckOutFolder);
    case Command::Checkin:
        return runTransfer(in, session, OperationKind::CheckInFiles, OperationKind::CheckInFolder);
    case Command::Add:
        return runAdd(in, session);
    case Command::Mv:
        return runMove(in, session);
    case Command::Mkdir:
        return runMkdir(in, session);
    case Command::Rm:
        return runRemove(in, session);
    case Command::Rename:
        return runRename(in, session);
    case Command::Deleted:
        return runDeleted(in, session);
    case Command::Recover:
        return runRecover(in, session);
    case Command::History:
        return runHistory(in, session);
    case Command::Rollback:
        return runRollback(in, session);
    case Command::Comment:
        return runComment(in, session);
    case Command::Diff:
        return runDiff(in, session);
    }
    return kExitTrouble;
}

} // namespace cli
