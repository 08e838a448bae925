#pragma once

// The folder tree: one root, one node per stored server profile, and below a server its
// folders, listed from the service the first time a node is expanded or selected. Every node
// owns its record (the server's profile or the folder's row) and is the only owner of it;
// texts and images always come from the records, so a rename shows only once it succeeded.

#include "views/browse/browseresources.h"

#include <engine/selection.h>
#include <protocol/records.h>

#include <QAbstractItemModel>

#include <cstdint>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace views {

class FolderTreeModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum class NodeKind { Root, Server, Folder };

    explicit FolderTreeModel(const BrowseResources &resources, QObject *parent = nullptr);
    ~FolderTreeModel() override;

    // Replaces every server node (and all below) with one node per profile, in order.
    void setProfiles(const std::vector<protocol::ServerProfile> &profiles);
    QModelIndex rootIndex() const;
    // Appends a server node as the last child of the root.
    QModelIndex addServer(const protocol::ServerProfile &profile);
    // Appends a folder node as the last child of `parent` (a server or folder node).
    QModelIndex addFolder(const QModelIndex &parent, const protocol::FolderItem &folder);
    // Removes a server or folder node with everything below it.
    void removeNode(const QModelIndex &index);
    // Replaces the children of `parent` with these folders, in the order received, and marks
    // the node as listed.
    void setFolders(const QModelIndex &parent, const std::vector<protocol::FolderItem> &folders);
    // Removes every child and forgets that the node was listed (refresh).
    void clearChildren(const QModelIndex &parent);

    NodeKind kind(const QModelIndex &index) const;
    // The folders of this node were listed once (and not refreshed since).
    bool isListed(const QModelIndex &index) const;

    // A listing of a node's folders on its way from the service. Its answer is applied only
    // when it is the newest listing asked for that node and the tree was not changed here
    // meanwhile (a folder added, moved, renamed or deleted): an answer read before such a
    // change would otherwise undo it until the next refresh.
    struct Listing
    {
        std::uint64_t id = 0;
        std::uint64_t edits = 0;
    };
    enum class ListingFate {
        Apply,      // the answer is current
        Superseded, // a newer listing of the node is on its way; drop this one
        Stale,      // the tree changed while it was on its way; list the node again
    };
    // Marks the node as loading; a listing begun later supersedes this one.
    Listing beginListing(const QModelIndex &index);
    // Ends the listing (the node no longer loads) unless it was superseded.
    ListingFate endListing(const QModelIndex &index, Listing listing);

    // The nearest server node at or above; invalid for the root.
    QModelIndex serverIndex(const QModelIndex &index) const;
    // The profile of the nearest server node at or above `index`; nullptr for the root.
    const protocol::ServerProfile *profile(const QModelIndex &index) const;
    protocol::ServerProfile *profile(const QModelIndex &index);
    // The folder record of a folder node; nullptr otherwise.
    const protocol::FolderItem *folder(const QModelIndex &index) const;
    protocol::FolderItem *folder(const QModelIndex &index);
    // Tells views a record changed (after a rename or a new working folder); counts as a
    // change to the tree.
    void recordChanged(const QModelIndex &index);

    // The nodes from the server down to `index` (empty for the root or invalid).
    std::vector<engine::SelectionNode> chain(const QModelIndex &index) const;
    // The folder path of a node; nullopt for the root or when longer than 260 bytes.
    std::optional<std::string> folderPath(const QModelIndex &index) const;
    // The folder node of that path below a server node; invalid when it is not (yet) listed.
    QModelIndex findPath(const QModelIndex &server, const std::string &path) const;

    // QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;

    // The effect a drop of `data` on `target` gets: none unless the target is a folder of a
    // logged-on server; move for "ZemList" data, copy otherwise.
    static Qt::DropAction dropEffect(const QMimeData *data, bool targetIsConnectedFolder);

signals:
    // A node wants its folders listed (first expansion).
    void fetchRequested(const QModelIndex &index);
    // The user ended a label edit with a new, non-empty text.
    void renameRequested(const QModelIndex &index, const QString &newText);
    // Data was dropped on a folder node that accepts it.
    void dropped(const QModelIndex &target, const QMimeData *data, Qt::DropAction action);

private:
    struct Node;
    Node *node(const QModelIndex &index) const;
    QModelIndex indexOf(const Node *n) const;
    void removeChildren(Node *n, const QModelIndex &index);

    const BrowseResources &m_resources;
    std::unique_ptr<Node> m_top;  // invisible; its only child is the root node
    std::uint64_t m_listings = 0; // listings begun
    std::uint64_t m_edits = 0;    // changes made here, not by a listing's answer
};

} // namespace views
