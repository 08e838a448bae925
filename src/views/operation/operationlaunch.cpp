#include "views/operation/operationlaunch.h"

#include "views/browse/browsewindow.h"
#include "views/operation/operationdialog.h"

#include <QTreeView>

#include <type_traits>

namespace views {

namespace {

void applyChange(BrowseWindow &w, const QPersistentModelIndex &server,
                 const engine::RecordChange &change)
{
    if (const auto *file = std::get_if<engine::FileRecordChanged>(&change)) {
        w.fileModel().setRecord(static_cast<int>(file->row), file->record);
        return;
    }
    const auto &moved = std::get<engine::FolderMoved>(change);
    FolderTreeModel &tree = w.treeModel();
    if (!server.isValid())
        return;
    const QModelIndex source = tree.findPath(server, moved.sourcePath);
    const QModelIndex target =
        moved.targetPath.empty() ? QModelIndex(server) : tree.findPath(server, moved.targetPath);
    // The folder goes under its new parent, the parent opens and is selected, and the old
    // node goes (a target never listed yet lists the moved folder when it is opened).
    const QPersistentModelIndex keptTarget(target);
    if (source.isValid())
        w.removeMovedFolder(source);
    if (!keptTarget.isValid())
        return;
    if (tree.isListed(keptTarget))
        tree.addFolder(keptTarget, moved.folder);
    w.treeView()->expand(keptTarget);
    w.selectNode(keptTarget);
}

} // namespace

JobOutcome runJob(BrowseWindow &window, engine::OperationRequest request,
                  const engine::ServiceFactory &factory, QPersistentModelIndex server)
{
    JobOutcome outcome;
    const LanguageModule *module = window.resources().module;
    if (!module)
        return outcome;
    if (!server.isValid())
        server = window.treeModel().serverIndex(window.selectedNode());
    const platform::MachineIdentity &identity = window.resources().identity;
    if (request.logonUserName.empty())
        request.logonUserName = identity.userName;
    if (request.ipAddress.empty())
        request.ipAddress = identity.ipAddress;
    OperationDialog dialog(*module, std::move(request), factory, &window);
    BrowseWindow *w = &window;
    dialog.setLogSink([w](int image, const QString &text) { w->appendMessage(image, text); });
    dialog.setRecordChangeSink(
        [w, server](const engine::RecordChange &change) { applyChange(*w, server, change); });
    outcome.ran = true;
    outcome.cancelled = dialog.exec() != QDialog::Accepted;
    outcome.code = dialog.resultCode();
    outcome.alwaysUndoUnchanged = dialog.alwaysUndoUnchanged();
    window.recheckLocalStates();
    return outcome;
}

} // namespace views
