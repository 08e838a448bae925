#pragma once

// The browse window: the folder tree (upper left), the file list (upper right, with a name
// filter above it) and the message pane (below, across). Selecting a node lists its folders
// (first time) and files from the service; F5 lists them again. Every service call runs off
// the UI thread through the engine's direct calls, with the wait cursor and without other
// input until it returns, while the window keeps painting. All members are for the UI thread.

#include "views/browse/browseresources.h"
#include "views/browse/callrunner.h"
#include "views/browse/filelistmodel.h"
#include "views/browse/filesortproxy.h"
#include "views/browse/foldertreemodel.h"
#include "views/browse/messagelog.h"
#include "views/browse/messagemodel.h"

#include <engine/servicecalls.h>

#include <QPersistentModelIndex>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QListView;
class QMimeData;
class QSplitter;
class QStackedWidget;
class QTreeView;

namespace config {
class Settings;
}

namespace views {

// Where something was dropped and what: the add and move operations take it from here.
struct DropRequest
{
    enum class Kind { ShellFiles, ZemTree, ZemList };
    Kind kind = Kind::ShellFiles;
    QPersistentModelIndex target; // the tree node dropped on (the selected node for the list)
    std::string targetPath;       // its folder path
    QList<QUrl> urls;             // ShellFiles
    QByteArray block;             // ZemTree / ZemList, as dragged
    bool ontoList = false;        // dropped on the file list rather than on a tree node
};

class BrowseWindow : public QWidget
{
    Q_OBJECT
public:
    enum class Pane { None, Tree, List };
    enum class ViewStyle { Icons, SmallIcons, List, Details };

    // `profiles` gives the stored profiles, in store order (first update and F5 on the root).
    BrowseWindow(const BrowseResources &resources, config::Settings &settings,
                 std::function<std::vector<protocol::ServerProfile>()> profiles,
                 engine::ServiceCalls calls = engine::ServiceCalls(), MessageLog::Clock clock = {},
                 QWidget *parent = nullptr);
    ~BrowseWindow() override;

    // --- The parts ----------------------------------------------------------------------
    FolderTreeModel &treeModel() { return m_tree; }
    FileListModel &fileModel() { return m_files; }
    FileSortProxy &fileProxy() { return m_proxy; }
    MessageModel &messages() { return m_messages; }
    MessageLog &log() { return m_log; }
    CallRunner &runner() { return m_runner; }
    const engine::ServiceCalls &calls() const { return m_calls; }
    const BrowseResources &resources() const { return m_resources; }
    QTreeView *treeView() const { return m_treeView; }
    QTreeView *detailsView() const { return m_detailsView; }
    QListView *iconView() const { return m_iconView; }
    QListView *messageView() const { return m_messageView; }
    QLineEdit *filterEdit() const { return m_filter; }
    QSplitter *outerSplitter() const { return m_outer; }
    QSplitter *innerSplitter() const { return m_inner; }

    // --- Selection (the notions commands read) ------------------------------------------
    QModelIndex selectedNode() const;
    const protocol::ServerProfile *selectedServer() const;
    std::vector<engine::SelectionNode> selectedChain() const;
    // The profiles of the server nodes, in tree order, as the nodes hold them.
    std::vector<protocol::ServerProfile> serverProfiles() const;
    // Brings the server nodes in line with the stored profiles after another window or a
    // dialog changed them: a node whose profile is no longer stored goes, and a stored profile
    // without a node gets one at the end. A node whose stored connection changed (server,
    // object path, port, SSL, time-out, proxy) is replaced by a fresh one, not logged on. The
    // other nodes keep their logon and folders. A stale node would otherwise log on with old
    // settings, and its logon would store a deleted or renamed profile again.
    void syncServers(const std::vector<protocol::ServerProfile> &stored);
    std::optional<std::string> selectedFolderPath() const;
    // Source rows of the selected files, in the order the list shows them.
    std::vector<int> selectedRows() const;
    std::vector<protocol::FileItem> selectedFiles() const;
    // The source row of the list's focused row when it is selected, else -1.
    int focusedSelectedRow() const;
    // The pane that had the focus last.
    Pane activePane() const { return m_activePane; }
    // A label is being edited in the tree or the list.
    bool isEditing() const;
    // "N of M files" while the filter hides rows, else empty.
    QString fileCountText() const;

    // --- Messages -------------------------------------------------------------------------
    // Appends a line at the end of the message pane (and the log) and shows it.
    void appendMessage(int image, const QString &text);
    // A log entry as the operation engine reports it: message number and its arguments,
    // formatted from the language module; image 10 for success, 9 otherwise.
    void appendLogEntry(bool success, int messageId, const QStringList &arguments);
    void clearMessages();

    // --- Tree and list actions --------------------------------------------------------------
    void selectNode(const QModelIndex &index);
    // Takes away the node of a folder that went elsewhere. When the selection was in it, the
    // node the view moves the selection to is not listed: the caller selects the folder's new
    // place next, and listing a neighbour on the way would only flash its files.
    void removeMovedFolder(const QModelIndex &index);
    // F5: the root reloads the server nodes; a logged-on server or a folder lists its
    // folders and files again.
    void refresh(const QModelIndex &index);
    void refreshSelected();
    // F2 on the tree's selected node, or on the list's focused selected row.
    void startRenameNode();
    void startRenameFile();
    // Logs on to the server of that node (the logon handler, else a plain Logon); true when
    // connected afterwards.
    bool logOn(const QModelIndex &server);
    void setViewStyle(ViewStyle style);
    ViewStyle viewStyle() const { return m_viewStyle; }
    void selectAllFiles();
    // Looks at the working folder's copies of the listed files again (after a job wrote them).
    void recheckLocalStates() { startLocalStates(); }
    void invertFileSelection();
    // The selected folder's new working folder: record and status pane.
    void setSelectedWorkFolder(const std::string &workFolder);
    // Writes placement, pane sizes and column layout to the settings (once).
    void savePlacement();

    // Shows a failed call in an error box: the service's text, else the code's text, and for
    // a server that did not answer, the time-out it waited.
    void showCallFailure(const protocol::CallResult &result, const protocol::ServerProfile &p);

    // --- Hooks ---------------------------------------------------------------------------
    // Runs the logon for a server node that is not logged on (the logon wizard); returns true
    // when the server is connected afterwards. Unset: a plain Logon with the stored profile.
    std::function<bool(BrowseWindow &, const QModelIndex &server)> logonHandler;
    // Renames a server profile after a label edit (the store's rules); unset: nothing.
    std::function<void(BrowseWindow &, const QModelIndex &server, const QString &newName)>
        serverRenameHandler;
    // Runs the add or move for a drop; unset: the drop is refused.
    std::function<void(BrowseWindow &, const DropRequest &)> dropHandler;

signals:
    // The selected node, the selected rows or the active pane changed.
    void selectionChanged();
    void workFolderPaneChanged(const QString &text);
    void commentPaneChanged(const QString &text);
    void fileCountChanged(const QString &text);
    // A context menu: sub-menu 0 (root, server), 1 (folder) or 2 (file list) of menu 137.
    void contextMenuRequested(int subMenu, const QPoint &globalPos);
    // A key asked for a frame command (Delete: 32788, 32774, 32789).
    void commandRequested(int id);
    // A population of that node ended (files shown, or the failure reported).
    void populated(const QModelIndex &index);
    // A logon changed a profile (connected, user ID); the store may keep the user ID.
    void profileChanged(const protocol::ServerProfile &profile);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildViews();
    void applyPlacement();
    void applyColumns();
    void onCurrentChanged(const QModelIndex &current);
    void populate(const QModelIndex &index, bool refresh);
    void fetchFolders(const QModelIndex &index);
    void renameNode(const QModelIndex &index, const QString &newName);
    void renameFile(int row, const QString &newName);
    QMimeData *dragFiles(const std::vector<int> &rows);
    void startLocalStates();
    void updateEmptyText();
    void updateFileCount();
    bool handleTreeKey(QKeyEvent *key);
    bool handleListKey(QKeyEvent *key);
    void showTreeMenu(const QModelIndex &index, const QPoint &globalPos);
    void openLog();

    const BrowseResources &m_resources;
    config::Settings &m_settings;
    std::function<std::vector<protocol::ServerProfile>()> m_profiles;
    engine::ServiceCalls m_calls;
    FolderTreeModel m_tree;
    FileListModel m_files;
    FileSortProxy m_proxy;
    MessageModel m_messages;
    MessageLog m_log;
    CallRunner m_runner;

    QSplitter *m_outer = nullptr;
    QSplitter *m_inner = nullptr;
    QTreeView *m_treeView = nullptr;
    QLineEdit *m_filter = nullptr;
    QStackedWidget *m_listStack = nullptr;
    QTreeView *m_detailsView = nullptr;
    QListView *m_iconView = nullptr;
    QListView *m_messageView = nullptr;
    QLabel *m_emptyLabel = nullptr;

    Pane m_activePane = Pane::None;
    ViewStyle m_viewStyle = ViewStyle::Details;
    std::uint64_t m_populateGeneration = 0;
    bool m_suppressPopulate = false;
    bool m_placed = false;
    bool m_placementSaved = false;
    QString m_emptyText;
};

} // namespace views
