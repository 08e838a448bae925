// History commands: History, Folder history, File history open history windows on what the
// active browse window selects; Roll back acts on the active history window's focused row and
// trims every history window of that path on the same browse window; Get a version and Get
// and open fetch the file of the history window's selected row through the progress dialog of
// the browse window the history came from, whose message pane takes the job's lines.

#include "shell/commands/commandcontext.h"
#include "shell/commands/commandrouter.h"
#include "shell/commands/enablerules.h"

#include "shell/childwindowtemplates.h"
#include "shell/cmainframe.h"
#include "shell/czemapp.h"

#include <config/settings.h>

#include <engine/selection.h>
#include <views/browse/browsewindow.h>
#include <views/browse/callrunner.h>
#include <views/common/errortext.h>
#include <views/common/languagemodule.h>
#include <views/dialogs/getdialog.h>
#include <views/history/czemhistorychildframe.h>
#include <views/history/historyoptionsdialog.h>
#include <views/operation/operationlaunch.h>

#include <QDesktopServices>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QUrl>

#include <algorithm>
#include <limits>
#include <optional>

namespace shell {

namespace {

constexpr int kRollBackPrompt = 2009;
constexpr int kAppTitle = 128;
constexpr int kGetVersionTitle = 2036;

// The request the next history window is made from (the template's factory takes none).
std::optional<views::HistoryRequest> g_pending;

QString failureText(const views::LanguageModule &module, const protocol::CallResult &result)
{
    if (!result.errorText.empty())
        return QString::fromStdString(result.errorText);
    return views::errorText(module, result.code);
}

// GetHistoryList off the UI thread, then a new history window; a failure is shown and nothing
// opens.
void openHistory(CommandContext &c, views::BrowseWindow &w, const protocol::ServerProfile &profile,
                 views::HistoryLayout layout, const std::string &path, bool subFolders)
{
    const engine::ServiceCalls calls = w.calls();
    const engine::HistoryListing listing =
        w.runner().wait<engine::HistoryListing>([calls, profile, path, subFolders] {
            return calls.historyList(profile, path, subFolders);
        });
    if (!listing.result.succeeded()) {
        w.showCallFailure(listing.result, profile);
        return;
    }
    views::HistoryRequest request;
    request.layout = layout;
    request.path = path;
    request.profile = profile;
    request.items = listing.items;
    request.origin = &w;
    g_pending = std::move(request);
    QMdiSubWindow *child =
        c.app.templates().open(ChildKind::History, *c.frame.mdiArea(), QString());
    g_pending.reset();
    if (!child)
        return;
    if (auto *h = qobject_cast<views::CZemHistoryChildFrame *>(child->widget())) {
        child->setWindowTitle(h->title());
        // Over a maximized window the area shows the new one maximized too; a size set
        // here would take its frame away.
        if (child->isMaximized())
            return;
        // Wholly inside the area: the area places new children one step further each time.
        const QSize area = c.frame.mdiArea()->viewport()->size();
        const QSize size(std::min(640, area.width()), std::min(320, area.height()));
        child->setGeometry(std::clamp(child->x(), 0, std::max(0, area.width() - size.width())),
                           std::clamp(child->y(), 0, std::max(0, area.height() - size.height())),
                           size.width(), size.height());
    }
}

void folderHistory(CommandContext &c)
{
    views::BrowseWindow *w = c.browse();
    if (!w)
        return;
    const protocol::ServerProfile *p = w->selectedServer();
    const std::optional<std::string> path = w->selectedFolderPath();
    if (!p || !path ||
        w->treeModel().kind(w->selectedNode()) != views::FolderTreeModel::NodeKind::Folder)
        return;
    const protocol::ServerProfile profile = *p;
    views::HistoryOptionsDialog options(c.app.module(), true, QString::fromStdString(*path), w);
    if (options.exec() != QDialog::Accepted)
        return;
    openHistory(c, *w, profile, views::HistoryLayout::Folder, *path, options.subFolders());
}

void fileHistory(CommandContext &c)
{
    views::BrowseWindow *w = c.browse();
    if (!w)
        return;
    const protocol::ServerProfile *p = w->selectedServer();
    const std::optional<std::string> folder = w->selectedFolderPath();
    if (!p || !folder)
        return;
    const protocol::ServerProfile profile = *p;
    // One window per file; the names are read first, as a window opening changes the focus.
    std::vector<std::string> paths;
    for (const protocol::FileItem &f : w->selectedFiles())
        paths.push_back(engine::fileServerPath(*folder, f.fileName));
    const QPointer<views::BrowseWindow> guard(w);
    for (const std::string &path : paths) {
        if (!guard)
            return;
        openHistory(c, *w, profile, views::HistoryLayout::File, path, false);
    }
}

void rollBack(CommandContext &c)
{
    views::CZemHistoryChildFrame *h = c.history();
    if (!h)
        return;
    // Checked again here: the menu may have been drawn for another selection.
    SelectionSnapshot s;
    addHistoryState(s, *h);
    if (!isEnabled(browsecmd::RollBack, s))
        return;
    const int row = h->list()->focusedSelectedRow();
    if (row < 0)
        return;
    const std::int32_t version = h->model().item(row).version;
    const std::string path = h->path();
    const protocol::ServerProfile profile = h->profile();
    const views::LanguageModule &module = c.app.module();
    const QString title = module.text(kAppTitle);
    if (QMessageBox::warning(
            h, title, module.text(kRollBackPrompt).arg(QString::fromStdString(path)).arg(version),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return;
    const QPointer<views::CZemHistoryChildFrame> guard(h);
    const QPointer<views::BrowseWindow> origin(h->origin());
    const engine::ServiceCalls calls = origin ? origin->calls() : engine::ServiceCalls();
    views::CallRunner runner;
    const protocol::CallResult result = runner.wait<protocol::CallResult>(
        [calls, profile, path, version] { return calls.rollBack(profile, path, version); });
    if (!result.succeeded()) {
        QMessageBox::critical(guard ? static_cast<QWidget *>(guard.data()) : &c.frame, title,
                              failureText(module, result));
        return;
    }
    for (QMdiSubWindow *child :
         ChildWindowTemplates::children(ChildKind::History, *c.frame.mdiArea())) {
        auto *other = qobject_cast<views::CZemHistoryChildFrame *>(child->widget());
        if (other && other->origin() == origin.data())
            other->rolledBack(version, path);
    }
    c.router.update();
}

// DefaultGetFileFolder without one trailing separator (the root stays "/").
std::string defaultGetFolder(CommandContext &c)
{
    std::string folder = c.app.settings().values().defaultGetFileFolder;
    if (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\'))
        folder.pop_back();
    return folder;
}

// The one selected row of the active history window, read again when the command runs (the
// menu may have been drawn for another selection); -1 when there is not exactly one.
int singleSelectedRow(const views::CZemHistoryChildFrame &h)
{
    const std::vector<int> rows = h.list()->selectedRows();
    return rows.size() == 1 ? rows.front() : -1;
}

views::GetOptions oneFileOptions(const std::string &folder, const std::string &fileName)
{
    views::GetOptions options;
    options.localFolder = QString::fromStdString(folder);
    options.fileName = QString::fromStdString(fileName);
    options.destination = views::getDestinationText(options.localFolder, options.fileName, true);
    return options;
}

// Get a version: the row's version of the row's file to a local file the user names.
void getVersion(CommandContext &c)
{
    views::CZemHistoryChildFrame *h = c.history();
    if (!h)
        return;
    const int row = singleSelectedRow(*h);
    // The job's lines go to the browse window the history came from; without it there is
    // nowhere to report them.
    const QPointer<views::BrowseWindow> origin(h->origin());
    if (row < 0 || !origin)
        return;
    const std::string serverPath = h->rowPath(row);
    const std::int32_t version = h->model().item(row).version;
    views::GetOptions options = oneFileOptions(defaultGetFolder(c), h->rowFileName(row));
    options.title = c.app.module().text(kGetVersionTitle);
    views::GetDialog dialog(c.app.module(), options, h);
    if (dialog.exec() != QDialog::Accepted || !origin)
        return;
    engine::OperationRequest r;
    r.kind = engine::OperationKind::GetVersion;
    r.profile = h->profile();
    r.serverPath = serverPath;
    r.localFolder = dialog.options().localFolder.toStdString();
    r.localPath = dialog.options().fileName.toStdString();
    r.multipleFiles = false;
    r.keepWritable = dialog.options().keepWritable;
    r.version = version;
    (void)views::runJob(*origin, std::move(r));
}

// Get and open: the latest version of the row's file, into the local folder of the browse
// window's selected folder, then opened with the desktop's program for it.
void getAndOpen(CommandContext &c)
{
    views::CZemHistoryChildFrame *h = c.history();
    if (!h)
        return;
    const int row = singleSelectedRow(*h);
    const QPointer<views::BrowseWindow> origin(h->origin());
    if (row < 0 || !origin)
        return;
    const views::FolderTreeModel::NodeKind kind = origin->treeModel().kind(origin->selectedNode());
    std::string folder;
    if (kind == views::FolderTreeModel::NodeKind::Server)
        folder = defaultGetFolder(c);
    else if (kind == views::FolderTreeModel::NodeKind::Folder)
        folder = engine::ownWorkingFolder(origin->selectedChain()).value_or(std::string());
    else
        return;
    if (folder.empty())
        folder = defaultGetFolder(c);
    // The file is the one the row names, whatever the tree selects now.
    const std::string serverPath = h->rowPath(row);
    const std::size_t cut = serverPath.rfind('\\');
    const std::string serverFolder =
        cut == std::string::npos ? std::string() : serverPath.substr(0, cut);
    protocol::FileItem file;
    file.fileName = h->rowFileName(row);
    views::GetDialog dialog(c.app.module(), oneFileOptions(folder, file.fileName), h);
    if (dialog.exec() != QDialog::Accepted || !origin)
        return;
    engine::OperationRequest r;
    r.kind = engine::OperationKind::GetFiles;
    r.profile = h->profile();
    r.serverPath = serverFolder;
    // No row of the browse window's list: the history row is not one of them.
    r.files.push_back({std::numeric_limits<std::uint64_t>::max(), file});
    r.localFolder = dialog.options().localFolder.toStdString();
    r.localPath = dialog.options().fileName.toStdString();
    r.multipleFiles = false;
    r.keepWritable = dialog.options().keepWritable;
    const std::string written = dialog.options().fileName.toStdString();
    if (views::runJob(*origin, std::move(r)).cancelled)
        return;
    // The file the job wrote, wherever the user sent it.
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(written)));
}

} // namespace

views::CZemHistoryChildFrame *CommandContext::history() const
{
    QMdiSubWindow *child = frame.mdiArea() ? frame.mdiArea()->activeSubWindow() : nullptr;
    return child ? qobject_cast<views::CZemHistoryChildFrame *>(child->widget()) : nullptr;
}

void registerHistoryCommands(CommandContext &context)
{
    CommandRouter &r = context.router;
    r.add(browsecmd::FolderHistory, [&context] { folderHistory(context); });
    r.add(browsecmd::FileHistory, [&context] { fileHistory(context); });
    r.add(browsecmd::History, [&context] {
        views::BrowseWindow *w = context.browse();
        if (!w)
            return;
        if (w->activePane() == views::BrowseWindow::Pane::List)
            fileHistory(context);
        else
            folderHistory(context);
    });
    r.add(browsecmd::RollBack, [&context] { rollBack(context); });
    r.add(browsecmd::GetVersion, [&context] { getVersion(context); });
    r.add(browsecmd::HistoryGetAndOpen, [&context] { getAndOpen(context); });

    context.app.templates().setFactory(ChildKind::History, [&context]() -> QWidget * {
        if (!g_pending)
            return nullptr;
        auto *h = new views::CZemHistoryChildFrame(context.frame.browseResources(),
                                                   context.app.settings(), std::move(*g_pending));
        g_pending.reset();
        QObject::connect(h, &views::CZemHistoryChildFrame::selectionChanged, &context.router,
                         [&context, h] {
                             if (context.history() == h)
                                 context.router.update();
                         });
        QObject::connect(h, &views::CZemHistoryChildFrame::contextMenuRequested, &context.frame,
                         [&context](const QPoint &at) { context.frame.showBrowseMenu(3, at); });
        return h;
    });
}

} // namespace shell
