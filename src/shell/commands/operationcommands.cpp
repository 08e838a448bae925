// Operation commands: get, check out, undo check-out and check in for the selected files or
// folder, check-out-and-open and get-and-open, and the window's drops (add, move files, move
// folder). Each resolves its local folder, asks for the job's options and hands the job to
// the progress dialog; the window's rows and tree follow the job's record changes.

#include "shell/commands/commandcontext.h"
#include "shell/commands/commandrouter.h"
#include "shell/commands/enablerules.h"

#include "shell/cmainframe.h"
#include "shell/czemapp.h"

#include <config/settings.h>
#include <engine/dragblock.h>
#include <engine/selection.h>
#include <views/browse/browseconstants.h>
#include <views/browse/browsewindow.h>
#include <views/common/languagemodule.h>
#include <views/dialogs/getdialog.h>
#include <views/dialogs/operationoptions.h>
#include <views/operation/operationlaunch.h>

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

#include <algorithm>
#include <functional>

namespace shell {

using engine::OperationKind;
using views::BrowseWindow;
using views::FolderTreeModel;

namespace {

constexpr int kOtherServerRefused = 2014;

// What a command works on, read once before any dialog opens.
struct Selection
{
    BrowseWindow *window = nullptr;
    QPersistentModelIndex node;
    protocol::ServerProfile profile;
    std::string serverPath;
    std::vector<engine::SelectionNode> chain;
    bool folderNode = false;
    // The selected rows (source rows, ascending) with their records as the list showed them
    // then: the list may be reloaded while a dialog is open.
    std::vector<engine::SelectedFile> files;

    bool noFiles() const { return files.empty(); }
    bool severalFiles() const { return files.size() > 1; }
    const std::string &firstName() const { return files.front().record.fileName; }
};

std::optional<Selection> readSelection(CommandContext &c)
{
    BrowseWindow *w = c.browse();
    if (!w)
        return std::nullopt;
    const QModelIndex node = w->selectedNode();
    const FolderTreeModel::NodeKind kind = w->treeModel().kind(node);
    const protocol::ServerProfile *p = w->selectedServer();
    const std::optional<std::string> path = w->selectedFolderPath();
    if (!p || !path ||
        (kind != FolderTreeModel::NodeKind::Server && kind != FolderTreeModel::NodeKind::Folder))
        return std::nullopt;
    Selection s;
    s.window = w;
    s.node = node;
    s.profile = *p;
    s.serverPath = *path;
    s.chain = w->selectedChain();
    s.folderNode = kind == FolderTreeModel::NodeKind::Folder;
    std::vector<int> rows = w->selectedRows();
    std::sort(rows.begin(), rows.end());
    for (int row : rows)
        s.files.push_back({static_cast<std::uint64_t>(row), w->fileModel().file(row)});
    return s;
}

std::string defaultGetFolder(CommandContext &c)
{
    std::string folder = c.app.settings().values().defaultGetFileFolder;
    // One trailing separator off, as a working folder is kept; the root stays "/".
    if (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\'))
        folder.pop_back();
    return folder;
}

std::optional<std::string> ownOrInherited(const Selection &s)
{
    if (std::optional<std::string> own = engine::ownWorkingFolder(s.chain))
        return own;
    return engine::inheritedWorkingFolder(s.chain);
}

// The folder's own or inherited working folder, else the one the user chooses now (stored on
// the service and in the node); nullopt when the user cancels or names none.
std::optional<std::string> workingFolderOrAsk(CommandContext &c, const Selection &s)
{
    if (std::optional<std::string> folder = ownOrInherited(s))
        return folder;
    BrowseWindow &w = *s.window;
    std::optional<std::string> chosen;
    if (c.workFolderDialog) {
        chosen = c.workFolderDialog(w, s.serverPath, std::string());
    } else {
        const QString name =
            s.chain.empty() ? QString() : QString::fromStdString(s.chain.back().name);
        const QString picked = QFileDialog::getExistingDirectory(
            &w, c.app.module().text(views::browsestr::ChooseWorkFolder).arg(name));
        if (picked.isEmpty())
            return std::nullopt;
        const engine::ServiceCalls calls = w.calls();
        const std::string text = picked.toStdString();
        const protocol::CallResult r = w.runner().wait<protocol::CallResult>(
            [&] { return calls.setWorkFolder(s.profile, s.serverPath, text); });
        if (!r.succeeded()) {
            w.showCallFailure(r, s.profile);
            return std::nullopt;
        }
        chosen = text;
    }
    if (chosen && s.node.isValid() && w.selectedNode() == s.node)
        w.setSelectedWorkFolder(*chosen);
    // An empty answer only clears the folder's working folder: it names no folder to work in,
    // and the job would write into whatever folder the program was started from.
    if (chosen && chosen->empty())
        return std::nullopt;
    if (chosen && chosen->size() > 1 && (chosen->back() == '/' || chosen->back() == '\\'))
        chosen->pop_back();
    return chosen;
}

std::string joinLocal(const std::string &folder, const std::string &name)
{
    if (folder.empty() || folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

// A folder job: the selected folder, no rows.
engine::OperationRequest folderRequest(const Selection &s, OperationKind kind)
{
    engine::OperationRequest r;
    r.kind = kind;
    r.profile = s.profile;
    r.serverPath = s.serverPath;
    return r;
}

// A files job: the selected folder and rows.
engine::OperationRequest requestFor(const Selection &s, OperationKind kind)
{
    engine::OperationRequest r = folderRequest(s, kind);
    r.files = s.files;
    r.multipleFiles = s.severalFiles();
    return r;
}

void refreshNode(const Selection &s)
{
    if (s.node.isValid())
        s.window->refresh(s.node);
}

void openFiles(const std::vector<std::string> &paths)
{
    // Each file with the desktop's own program, without waiting for it.
    for (const std::string &path : paths)
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

std::vector<std::string> localPaths(const Selection &s, const std::string &folder)
{
    std::vector<std::string> paths;
    for (const engine::SelectedFile &file : s.files)
        paths.push_back(joinLocal(folder, file.record.fileName));
    return paths;
}

// A check-in asks about copies unchanged since their check-out, unless the user answered
// "always" once.
void applyUnchangedRule(CommandContext &c, engine::OperationRequest &r)
{
    r.unchangedCopy = c.app.settings().values().undoUnchangedCheckIn != 0
                          ? engine::UnchangedCopy::UndoCheckOut
                          : engine::UnchangedCopy::Ask;
}

void rememberAnswer(CommandContext &c, const views::JobOutcome &outcome)
{
    if (!outcome.alwaysUndoUnchanged)
        return;
    config::SettingsValues v = c.app.settings().values();
    v.undoUnchangedCheckIn = 1;
    // Not stored: the question comes again next time, which loses nothing.
    (void)c.app.settings().write(v, {config::SettingField::UndoUnchangedCheckIn});
}

// The shape every folder command shares: a folder node, its working folder (the user names
// one when it has none), the job's options from `ask` (false: the user cancelled), the job,
// and the node's contents reloaded afterwards.
using FolderOptions =
    std::function<bool(const Selection &s, const std::string &folder, engine::OperationRequest &r)>;

void runFolderJob(CommandContext &c, OperationKind kind, const FolderOptions &ask)
{
    std::optional<Selection> s = readSelection(c);
    if (!s || !s->folderNode)
        return;
    // Without any working folder the job would look for local copies below the root.
    const std::optional<std::string> folder = workingFolderOrAsk(c, *s);
    if (!folder)
        return;
    engine::OperationRequest r = folderRequest(*s, kind);
    r.localFolder = *folder;
    if (!ask(*s, *folder, r))
        return;
    const views::JobOutcome outcome = views::runJob(*s->window, std::move(r));
    rememberAnswer(c, outcome);
    refreshNode(*s);
}

using LocalFiles = std::optional<std::vector<std::string>>;

// Get files and get-and-open. Returns the local files written unless the job was cancelled.
LocalFiles getFiles(CommandContext &c)
{
    std::optional<Selection> s = readSelection(c);
    if (!s || s->noFiles())
        return std::nullopt;
    std::string folder;
    if (s->folderNode)
        folder = engine::ownWorkingFolder(s->chain).value_or(defaultGetFolder(c));
    else
        folder = defaultGetFolder(c);
    const bool several = s->severalFiles();
    const std::string firstName = s->firstName();
    views::GetOptions options;
    options.localFolder = QString::fromStdString(folder);
    options.fileName = QString::fromStdString(firstName);
    options.severalFiles = several;
    options.destination =
        views::getDestinationText(options.localFolder, options.fileName, !several);
    views::GetDialog dialog(c.app.module(), options, s->window);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    engine::OperationRequest r = requestFor(*s, OperationKind::GetFiles);
    r.localFolder = dialog.options().localFolder.toStdString();
    if (!several)
        r.localPath = dialog.options().fileName.toStdString();
    r.keepWritable = dialog.options().keepWritable;
    if (views::runJob(*s->window, std::move(r)).cancelled)
        return std::nullopt;
    if (!several)
        return std::vector<std::string>{dialog.options().fileName.toStdString()};
    return localPaths(*s, dialog.options().localFolder.toStdString());
}

void getFolder(CommandContext &c)
{
    std::optional<Selection> s = readSelection(c);
    if (!s)
        return;
    std::string folder =
        s->folderNode ? ownOrInherited(*s).value_or(std::string()) : defaultGetFolder(c);
    views::GetOptions options;
    options.localFolder = QString::fromStdString(folder);
    options.folderMode = true;
    options.destination = options.localFolder;
    views::GetDialog dialog(c.app.module(), options, s->window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    engine::OperationRequest r = folderRequest(*s, OperationKind::GetFolder);
    r.localFolder = dialog.options().localFolder.toStdString();
    // A get into no folder at all would write below the file system's root.
    if (r.localFolder.empty())
        return;
    r.keepWritable = dialog.options().keepWritable;
    r.recursive = dialog.options().subfolders;
    (void)views::runJob(*s->window, std::move(r));
}

// Check out files and check-out-and-open; the local files unless the job was cancelled.
LocalFiles checkOutFiles(CommandContext &c)
{
    std::optional<Selection> s = readSelection(c);
    if (!s || !s->folderNode)
        return std::nullopt;
    const std::optional<std::string> folder = workingFolderOrAsk(c, *s);
    if (!folder || s->noFiles())
        return std::nullopt;
    engine::OperationRequest r = requestFor(*s, OperationKind::CheckOutFiles);
    r.localFolder = *folder;
    if (!r.multipleFiles)
        r.localPath = joinLocal(*folder, s->firstName());
    if (views::runJob(*s->window, std::move(r)).cancelled)
        return std::nullopt;
    return localPaths(*s, *folder);
}

void checkOutFolder(CommandContext &c)
{
    runFolderJob(c, OperationKind::CheckOutFolder,
                 [&c](const Selection &s, const std::string &folder, engine::OperationRequest &r) {
                     views::CheckOutOptions options;
                     options.folderMode = true;
                     options.localFolderText = QString::fromStdString(folder);
                     views::CheckOutOptionsDialog dialog(c.app.module(), options, s.window);
                     if (dialog.exec() != QDialog::Accepted)
                         return false;
                     views::applyCheckOut(dialog.options(), r);
                     return true;
                 });
}

void undoCheckOutFiles(CommandContext &c)
{
    std::optional<Selection> s = readSelection(c);
    if (!s || !s->folderNode)
        return;
    const std::optional<std::string> folder = workingFolderOrAsk(c, *s);
    if (!folder || s->noFiles())
        return;
    views::UndoCheckOutDialog dialog(c.app.module(), c.app.settings().values(), {}, s->window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    engine::OperationRequest r = requestFor(*s, OperationKind::UndoCheckOutFiles);
    r.localFolder = *folder;
    if (!r.multipleFiles)
        r.localPath = joinLocal(*folder, s->firstName());
    views::applyUndoCheckOut(dialog.options(), r);
    (void)views::runJob(*s->window, std::move(r));
}

void undoCheckOutFolder(CommandContext &c)
{
    runFolderJob(c, OperationKind::UndoCheckOutFolder,
                 [&c](const Selection &s, const std::string &, engine::OperationRequest &r) {
                     views::UndoCheckOutOptions options;
                     options.folderMode = true;
                     views::UndoCheckOutDialog dialog(c.app.module(), c.app.settings().values(),
                                                      options, s.window);
                     if (dialog.exec() != QDialog::Accepted)
                         return false;
                     views::applyUndoCheckOut(dialog.options(), r);
                     return true;
                 });
}

void checkInFiles(CommandContext &c)
{
    std::optional<Selection> s = readSelection(c);
    if (!s || s->noFiles())
        return;
    std::optional<std::string> folder;
    if (s->folderNode)
        folder = workingFolderOrAsk(c, *s);
    else
        folder = defaultGetFolder(c);
    if (!folder || folder->empty())
        return;
    views::CheckInOptions options;
    options.severalFiles = s->severalFiles();
    options.localPathText =
        QString::fromStdString(options.severalFiles ? *folder : joinLocal(*folder, s->firstName()));
    views::CheckInDialog dialog(c.app.module(), c.app.settings().values(), options, s->window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    engine::OperationRequest r = requestFor(*s, OperationKind::CheckInFiles);
    r.localFolder = *folder;
    if (!r.multipleFiles)
        r.localPath = s->firstName();
    views::applyCheckIn(dialog.options(), r);
    applyUnchangedRule(c, r);
    rememberAnswer(c, views::runJob(*s->window, std::move(r)));
}

void checkInFolder(CommandContext &c)
{
    runFolderJob(c, OperationKind::CheckInFolder,
                 [&c](const Selection &s, const std::string &folder, engine::OperationRequest &r) {
                     views::CheckInOptions options;
                     options.folderMode = true;
                     options.localPathText = QString::fromStdString(folder);
                     views::CheckInDialog dialog(c.app.module(), c.app.settings().values(), options,
                                                 s.window);
                     if (dialog.exec() != QDialog::Accepted)
                         return false;
                     views::applyCheckIn(dialog.options(), r);
                     applyUnchangedRule(c, r);
                     return true;
                 });
}

bool treePaneActive(CommandContext &c)
{
    return c.router.snapshot().pane == SelectionSnapshot::Pane::Tree;
}

// --- Drops ------------------------------------------------------------------------------

void refuseOtherServer(BrowseWindow &w, const views::LanguageModule &module)
{
    QMessageBox::critical(&w, w.window()->windowTitle(), module.text(kOtherServerRefused));
}

void drop(CommandContext &c, BrowseWindow &w, const views::DropRequest &request)
{
    FolderTreeModel &tree = w.treeModel();
    const QPersistentModelIndex target = request.target;
    const QPersistentModelIndex server(tree.serverIndex(target));
    const protocol::ServerProfile *p = tree.profile(server);
    if (!target.isValid() || !p || !p->connected)
        return;
    const protocol::ServerProfile profile = *p;
    const views::LanguageModule &module = c.app.module();

    engine::OperationRequest r;
    r.profile = profile;
    r.targetPath = request.targetPath;
    if (request.kind == views::DropRequest::Kind::ShellFiles) {
        for (const QUrl &url : request.urls)
            if (url.isLocalFile())
                r.droppedPaths.emplace_back(url.toLocalFile().toStdString());
        if (r.droppedPaths.empty())
            return;
        views::CheckInDialog dialog(module, c.app.settings().values(), {}, &w);
        if (dialog.exec() != QDialog::Accepted)
            return;
        r.kind = OperationKind::AddDropped;
        views::applyCheckIn(dialog.options(), r);
        const protocol::FolderItem *folder = tree.folder(target);
        r.folderOption = folder && folder->isPrivate;
        (void)views::runJob(w, std::move(r), engine::serviceClientFactory(), server);
        // The list drop refreshes the list itself; a tree drop refreshes the node.
        if (!request.ontoList && target.isValid())
            w.refresh(target);
        return;
    }

    const std::string_view bytes(request.block.constData(),
                                 static_cast<std::size_t>(request.block.size()));
    const std::optional<engine::DragBlock> block = request.kind == views::DropRequest::Kind::ZemTree
                                                       ? engine::readZemTreeBlock(bytes)
                                                       : engine::readZemListBlock(bytes);
    if (!block)
        return;
    if (block->host != profile.server) {
        refuseOtherServer(w, module);
        return;
    }
    r.sourcePath = block->folderPath;
    if (request.kind == views::DropRequest::Kind::ZemTree) {
        // A folder onto itself or into its own subtree cannot move.
        if (r.targetPath == r.sourcePath || r.targetPath.rfind(r.sourcePath + "\\", 0) == 0)
            return;
        r.kind = OperationKind::MoveFolder;
        const QModelIndex moved = tree.findPath(server, block->folderPath);
        if (const protocol::FolderItem *folder = tree.folder(moved)) {
            r.movedFolder = *folder;
        } else {
            // A folder whose parent was refreshed since the drag began still arrives named.
            const std::size_t cut = r.sourcePath.rfind('\\');
            r.movedFolder.name =
                cut == std::string::npos ? r.sourcePath : r.sourcePath.substr(cut + 1);
        }
        (void)views::runJob(w, std::move(r), engine::serviceClientFactory(), server);
        return;
    }
    if (r.targetPath == r.sourcePath || block->fileNames.empty())
        return;
    r.kind = OperationKind::MoveFiles;
    r.moveNames = block->fileNames;
    (void)views::runJob(w, std::move(r), engine::serviceClientFactory(), server);
    if (target.isValid())
        w.refresh(target);
}

} // namespace

void registerOperationCommands(CommandContext &context)
{
    CommandRouter &r = context.router;
    CommandContext *c = &context;
    r.add(browsecmd::GetFiles, [c] { (void)getFiles(*c); });
    r.add(browsecmd::GetFolder, [c] { getFolder(*c); });
    r.add(browsecmd::CheckOutFiles, [c] { (void)checkOutFiles(*c); });
    r.add(browsecmd::CheckOutFolder, [c] { checkOutFolder(*c); });
    r.add(browsecmd::UndoCheckOutFiles, [c] { undoCheckOutFiles(*c); });
    r.add(browsecmd::UndoCheckOutFolder, [c] { undoCheckOutFolder(*c); });
    r.add(browsecmd::CheckInFiles, [c] { checkInFiles(*c); });
    r.add(browsecmd::CheckInFolder, [c] { checkInFolder(*c); });
    r.add(browsecmd::Get, [c] {
        if (treePaneActive(*c))
            getFolder(*c);
        else
            (void)getFiles(*c);
    });
    r.add(browsecmd::CheckOut, [c] {
        if (treePaneActive(*c))
            checkOutFolder(*c);
        else
            (void)checkOutFiles(*c);
    });
    r.add(browsecmd::UndoCheckOut, [c] {
        if (treePaneActive(*c))
            undoCheckOutFolder(*c);
        else
            undoCheckOutFiles(*c);
    });
    r.add(browsecmd::CheckIn, [c] {
        if (treePaneActive(*c))
            checkInFolder(*c);
        else
            checkInFiles(*c);
    });
    r.add(browsecmd::CheckOutAndOpen, [c] {
        if (const LocalFiles files = checkOutFiles(*c))
            openFiles(*files);
    });
    r.add(browsecmd::GetAndOpen, [c] {
        if (const LocalFiles files = getFiles(*c))
            openFiles(*files);
    });
}

void installDropHandler(CommandContext &context, BrowseWindow &window)
{
    CommandContext *c = &context;
    window.dropHandler = [c](BrowseWindow &w, const views::DropRequest &request) {
        drop(*c, w, request);
    };
}

} // namespace shell
