// Folder commands: New folder, Delete folder, Rename folder, Set working folder.

#include "shell/commands/commandcontext.h"
#include "shell/commands/commandrouter.h"
#include "shell/commands/enablerules.h"

#include "shell/cmainframe.h"
#include "shell/czemapp.h"

#include <views/browse/browseconstants.h>
#include <views/browse/browsewindow.h>
#include <views/browse/deletedialog.h>
#include <views/browse/foldersheet.h>
#include <views/browse/newfolderdialog.h>
#include <views/common/languagemodule.h>

#include <QFileDialog>
#include <QTreeView>

namespace shell {

using views::BrowseWindow;
using views::FolderTreeModel;

static void newFolder(CommandContext &c)
{
    BrowseWindow *w = c.browse();
    if (!w)
        return;
    const QPersistentModelIndex node(w->selectedNode());
    const protocol::ServerProfile *p = w->selectedServer();
    const std::optional<std::string> parentPath = w->selectedFolderPath();
    if (!node.isValid() || !p || !p->connected || !parentPath)
        return;
    const protocol::ServerProfile profile = *p;
    const protocol::FolderItem *parentFolder = w->treeModel().folder(node);
    const bool locked = parentFolder && parentFolder->isPrivate;
    const engine::ServiceCalls calls = w->calls();
    views::NewFolderDialog dialog(
        c.app.module(),
        [w, calls, profile, parentPath](const QString &name, const QString &comment,
                                        bool isPrivate) {
            const std::string n = name.toStdString();
            const std::string k = comment.toStdString();
            return w->runner().wait<protocol::CallResult>(
                [=] { return calls.createFolder(profile, *parentPath, n, k, isPrivate); });
        },
        [w, profile](const protocol::CallResult &r) { w->showCallFailure(r, profile); }, w);
    // Below a private folder the new one is private too, and the box cannot be cleared.
    dialog.setPrivateLocked(locked);
    dialog.setPrivate(locked);
    if (dialog.exec() != QDialog::Accepted || !node.isValid())
        return;
    w->appendMessage(views::browseimg::Success,
                     c.app.module().text(views::browsestr::FolderCreated).arg(dialog.folderName()));
    protocol::FolderItem created;
    created.name = dialog.folderName().toStdString();
    created.comment = dialog.comment().toStdString();
    created.isPrivate = dialog.isPrivate() ? 1 : 0;
    w->treeModel().addFolder(node, created);
    w->treeView()->expand(node);
}

static void deleteFolder(CommandContext &c)
{
    BrowseWindow *w = c.browse();
    if (!w || w->treeModel().kind(w->selectedNode()) != FolderTreeModel::NodeKind::Folder)
        return;
    const QPersistentModelIndex node(w->selectedNode());
    const std::optional<std::string> path = w->selectedFolderPath();
    const protocol::ServerProfile *p = w->selectedServer();
    if (!path || !p)
        return;
    const protocol::ServerProfile profile = *p;
    const engine::ServiceCalls calls = w->calls();
    const views::LanguageModule &module = c.app.module();
    views::DeleteDialog dialog(
        module, views::DeleteDialog::Mode::Folder,
        [&](bool purge) {
            const engine::DeleteOutcome out = w->runner().wait<engine::DeleteOutcome>(
                [&] { return calls.deleteItems(profile, {*path}, purge); });
            if (!out.failure.succeeded()) {
                w->showCallFailure(out.failure, profile);
                return false;
            }
            w->appendMessage(
                views::browseimg::Success,
                module.text(views::browsestr::FolderDeleted).arg(QString::fromStdString(*path)));
            return true;
        },
        w);
    if (dialog.exec() != QDialog::Accepted || !node.isValid())
        return;
    w->selectNode(node.parent());
    w->treeModel().removeNode(node);
}

static void setWorkFolder(CommandContext &c)
{
    BrowseWindow *w = c.browse();
    if (!w)
        return;
    const protocol::FolderItem *folder = w->treeModel().folder(w->selectedNode());
    const std::optional<std::string> path = w->selectedFolderPath();
    const protocol::ServerProfile *p = w->selectedServer();
    if (!folder || !path || !p)
        return;
    const std::string current = folder->workFolderPath;
    std::optional<std::string> chosen;
    if (c.workFolderDialog) {
        chosen = c.workFolderDialog(*w, *path, current);
    } else {
        const QString picked =
            QFileDialog::getExistingDirectory(w,
                                              c.app.module()
                                                  .text(views::browsestr::ChooseWorkFolder)
                                                  .arg(QString::fromStdString(folder->name)),
                                              QString::fromStdString(current));
        if (picked.isEmpty())
            return;
        const protocol::ServerProfile profile = *p;
        const engine::ServiceCalls calls = w->calls();
        const std::string text = picked.toStdString();
        const protocol::CallResult r = w->runner().wait<protocol::CallResult>(
            [&] { return calls.setWorkFolder(profile, *path, text); });
        if (!r.succeeded()) {
            w->showCallFailure(r, profile);
            return;
        }
        chosen = text;
    }
    if (chosen)
        w->setSelectedWorkFolder(*chosen);
}

// The folder properties sheet on the selected folder; its node is listed again afterwards (a
// recovered item is back in it).
static void folderProperties(CommandContext &c)
{
    BrowseWindow *w = c.browse();
    if (!w || w->treeModel().kind(w->selectedNode()) != FolderTreeModel::NodeKind::Folder)
        return;
    const QPersistentModelIndex node(w->selectedNode());
    const protocol::FolderItem *folder = w->treeModel().folder(node);
    const std::optional<std::string> path = w->selectedFolderPath();
    const protocol::ServerProfile *p = w->selectedServer();
    if (!folder || !path || !p)
        return;
    constexpr int kCaption = 165;
    views::FolderSheetRequest request;
    request.folder = *folder;
    request.profile = *p;
    request.folderPath = *path;
    request.caption = c.app.module().text(kCaption);
    const QPointer<BrowseWindow> guard(w);
    views::CFolderSheet sheet(
        c.frame.browseResources(), w->calls(), std::move(request),
        [guard](int image, const QString &text) {
            if (guard)
                guard->appendMessage(image, text);
        },
        w);
    QObject::connect(&sheet, &views::CFolderSheet::commentApplied, &c.frame,
                     [&c, guard, node](const QString &comment) {
                         if (!guard || !node.isValid())
                             return;
                         if (protocol::FolderItem *f = guard->treeModel().folder(node))
                             f->comment = comment.toStdString();
                         if (guard->selectedNode() == node)
                             c.frame.setCommentPane(comment);
                     });
    sheet.exec();
    if (guard && node.isValid())
        guard->refresh(node);
}

void registerFolderCommands(CommandContext &context)
{
    CommandRouter &r = context.router;
    r.add(browsecmd::NewFolder, [&context] { newFolder(context); });
    r.add(browsecmd::DeleteFolder, [&context] { deleteFolder(context); });
    r.add(browsecmd::RenameFolder, [&context] {
        if (BrowseWindow *w = context.browse();
            w && w->treeModel().kind(w->selectedNode()) == FolderTreeModel::NodeKind::Folder)
            w->startRenameNode();
    });
    r.add(browsecmd::SetWorkFolder, [&context] { setWorkFolder(context); });
    r.add(browsecmd::FolderProperties, [&context] { folderProperties(context); });
}

} // namespace shell
