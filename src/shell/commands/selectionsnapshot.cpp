#include "shell/commands/selectionsnapshot.h"

#include <engine/selection.h>
#include <views/browse/browsewindow.h>
#include <views/history/czemhistorychildframe.h>

namespace shell {

SelectionSnapshot snapshotOf(const views::BrowseWindow *browse, SelectionSnapshot::Child child,
                             std::size_t profileCount)
{
    SelectionSnapshot s;
    s.child = child;
    s.profileCount = profileCount;
    if (!browse)
        return s;
    s.child = SelectionSnapshot::Child::Browse;
    s.pane = browse->activePane() == views::BrowseWindow::Pane::List
                 ? SelectionSnapshot::Pane::List
                 : SelectionSnapshot::Pane::Tree;
    const QModelIndex node = browse->selectedNode();
    if (node.isValid()) {
        switch (const_cast<views::BrowseWindow *>(browse)->treeModel().kind(node)) {
        case views::FolderTreeModel::NodeKind::Root:
            s.node = SelectionSnapshot::Node::Root;
            break;
        case views::FolderTreeModel::NodeKind::Server:
            s.node = SelectionSnapshot::Node::Server;
            break;
        case views::FolderTreeModel::NodeKind::Folder:
            s.node = SelectionSnapshot::Node::Folder;
            break;
        }
    }
    const protocol::ServerProfile *p = browse->selectedServer();
    s.serverFound = p != nullptr;
    s.serverConnected = p && p->connected;
    const std::vector<protocol::FileItem> files = browse->selectedFiles();
    s.selectedRows = files.size();
    s.anyRowCheckedOut = engine::anyCheckedOut(true, files);
    s.focusedRowSelected = browse->focusedSelectedRow() >= 0;
    s.editing = browse->isEditing();
    s.viewStyle = static_cast<int>(browse->viewStyle());
    return s;
}

void addHistoryState(SelectionSnapshot &s, const views::CZemHistoryChildFrame &history)
{
    s.child = SelectionSnapshot::Child::History;
    s.historyFileMode = history.layout() == views::HistoryLayout::File;
    s.historyRows = static_cast<std::size_t>(history.rowCount());
    const std::vector<int> rows = history.list()->selectedRows();
    s.historySelected = rows.size();
    s.historyFocusedSelected = history.list()->focusedSelectedRow() >= 0;
    s.historyLastRowSelected = !rows.empty() && rows.back() == history.rowCount() - 1;
}

} // namespace shell
