#include "views/browse/foldertreemodel.h"

#include "views/browse/browseconstants.h"

#include <engine/dragblock.h>

#include <QIcon>
#include <QMimeData>

namespace views {

struct FolderTreeModel::Node
{
    NodeKind kind = NodeKind::Root;
    std::variant<std::monostate, protocol::ServerProfile, protocol::FolderItem> record;
    Node *parent = nullptr;
    std::vector<std::unique_ptr<Node>> children;
    int row = 0;
    bool listed = false;
    std::uint64_t listing = 0; // the newest listing on its way; 0 when none

    QString text() const
    {
        if (const auto *p = std::get_if<protocol::ServerProfile>(&record))
            return QString::fromStdString(p->name);
        if (const auto *f = std::get_if<protocol::FolderItem>(&record))
            return QString::fromStdString(f->name);
        return {};
    }
    Node *server()
    {
        Node *n = this;
        while (n && n->kind != NodeKind::Server)
            n = n->parent;
        return n;
    }
    void renumber(std::size_t from)
    {
        for (std::size_t i = from; i < children.size(); ++i)
            children[i]->row = static_cast<int>(i);
    }
};

FolderTreeModel::FolderTreeModel(const BrowseResources &resources, QObject *parent)
    : QAbstractItemModel(parent)
    , m_resources(resources)
    , m_top(std::make_unique<Node>())
{
    auto root = std::make_unique<Node>();
    root->parent = m_top.get();
    root->listed = true;
    m_top->children.push_back(std::move(root));
}

FolderTreeModel::~FolderTreeModel() = default;

FolderTreeModel::Node *FolderTreeModel::node(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<Node *>(index.internalPointer()) : m_top.get();
}

QModelIndex FolderTreeModel::indexOf(const Node *n) const
{
    if (!n || n == m_top.get())
        return {};
    return createIndex(n->row, 0, const_cast<Node *>(n));
}

QModelIndex FolderTreeModel::rootIndex() const
{
    return indexOf(m_top->children.front().get());
}

void FolderTreeModel::removeChildren(Node *n, const QModelIndex &index)
{
    if (n->children.empty())
        return;
    beginRemoveRows(index, 0, static_cast<int>(n->children.size()) - 1);
    n->children.clear();
    endRemoveRows();
}

void FolderTreeModel::setProfiles(const std::vector<protocol::ServerProfile> &profiles)
{
    Node *root = m_top->children.front().get();
    removeChildren(root, rootIndex());
    for (const protocol::ServerProfile &p : profiles)
        addServer(p);
}

QModelIndex FolderTreeModel::addServer(const protocol::ServerProfile &profile)
{
    Node *root = m_top->children.front().get();
    const int row = static_cast<int>(root->children.size());
    beginInsertRows(rootIndex(), row, row);
    auto n = std::make_unique<Node>();
    n->kind = NodeKind::Server;
    n->record = profile;
    n->parent = root;
    n->row = row;
    root->children.push_back(std::move(n));
    endInsertRows();
    return index(row, 0, rootIndex());
}

QModelIndex FolderTreeModel::addFolder(const QModelIndex &parentIndex,
                                       const protocol::FolderItem &folder)
{
    Node *p = node(parentIndex);
    if (!parentIndex.isValid() || p->kind == NodeKind::Root)
        return {};
    const int row = static_cast<int>(p->children.size());
    beginInsertRows(parentIndex, row, row);
    auto n = std::make_unique<Node>();
    n->kind = NodeKind::Folder;
    n->record = folder;
    n->parent = p;
    n->row = row;
    p->children.push_back(std::move(n));
    endInsertRows();
    ++m_edits;
    return index(row, 0, parentIndex);
}

void FolderTreeModel::removeNode(const QModelIndex &index)
{
    Node *n = node(index);
    if (!index.isValid() || n->kind == NodeKind::Root)
        return;
    Node *p = n->parent;
    const int row = n->row;
    beginRemoveRows(indexOf(p), row, row);
    p->children.erase(p->children.begin() + row);
    p->renumber(static_cast<std::size_t>(row));
    endRemoveRows();
    ++m_edits;
}

void FolderTreeModel::setFolders(const QModelIndex &parentIndex,
                                 const std::vector<protocol::FolderItem> &folders)
{
    Node *p = node(parentIndex);
    if (!parentIndex.isValid() || p->kind == NodeKind::Root)
        return;
    removeChildren(p, parentIndex);
    p->listed = true;
    if (folders.empty()) {
        // The expand mark goes once the node is known to be empty. A tree view reads whether
        // a node has children only when it lays the rows out, not on a data change, so the
        // mark stayed until something else made it lay them out again.
        const QList<QPersistentModelIndex> parents{QPersistentModelIndex(parentIndex)};
        emit layoutAboutToBeChanged(parents);
        emit dataChanged(parentIndex, parentIndex);
        emit layoutChanged(parents);
        return;
    }
    beginInsertRows(parentIndex, 0, static_cast<int>(folders.size()) - 1);
    p->children.reserve(folders.size());
    for (const protocol::FolderItem &f : folders) {
        auto n = std::make_unique<Node>();
        n->kind = NodeKind::Folder;
        n->record = f;
        n->parent = p;
        n->row = static_cast<int>(p->children.size());
        p->children.push_back(std::move(n));
    }
    endInsertRows();
}

void FolderTreeModel::clearChildren(const QModelIndex &parentIndex)
{
    Node *p = node(parentIndex);
    if (!parentIndex.isValid())
        return;
    removeChildren(p, parentIndex);
    if (p->kind != NodeKind::Root)
        p->listed = false;
}

FolderTreeModel::NodeKind FolderTreeModel::kind(const QModelIndex &index) const
{
    return index.isValid() ? node(index)->kind : NodeKind::Root;
}

bool FolderTreeModel::isListed(const QModelIndex &index) const
{
    return index.isValid() && node(index)->listed;
}

FolderTreeModel::Listing FolderTreeModel::beginListing(const QModelIndex &index)
{
    Listing listing{++m_listings, m_edits};
    if (index.isValid())
        node(index)->listing = listing.id;
    return listing;
}

FolderTreeModel::ListingFate FolderTreeModel::endListing(const QModelIndex &index, Listing listing)
{
    if (!index.isValid())
        return ListingFate::Superseded;
    Node *n = node(index);
    if (n->listing != listing.id)
        return ListingFate::Superseded;
    n->listing = 0;
    return listing.edits == m_edits ? ListingFate::Apply : ListingFate::Stale;
}

QModelIndex FolderTreeModel::serverIndex(const QModelIndex &index) const
{
    return index.isValid() ? indexOf(node(index)->server()) : QModelIndex();
}

const protocol::ServerProfile *FolderTreeModel::profile(const QModelIndex &index) const
{
    if (!index.isValid())
        return nullptr;
    const Node *s = node(index)->server();
    return s ? &std::get<protocol::ServerProfile>(s->record) : nullptr;
}

protocol::ServerProfile *FolderTreeModel::profile(const QModelIndex &index)
{
    return const_cast<protocol::ServerProfile *>(std::as_const(*this).profile(index));
}

const protocol::FolderItem *FolderTreeModel::folder(const QModelIndex &index) const
{
    return index.isValid() ? std::get_if<protocol::FolderItem>(&node(index)->record) : nullptr;
}

protocol::FolderItem *FolderTreeModel::folder(const QModelIndex &index)
{
    return const_cast<protocol::FolderItem *>(std::as_const(*this).folder(index));
}

void FolderTreeModel::recordChanged(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    ++m_edits;
    emit dataChanged(index, index);
}

std::vector<engine::SelectionNode> FolderTreeModel::chain(const QModelIndex &index) const
{
    std::vector<engine::SelectionNode> nodes;
    for (const Node *n = index.isValid() ? node(index) : nullptr; n && n->kind != NodeKind::Root;
         n = n->parent) {
        engine::SelectionNode s;
        if (const auto *f = std::get_if<protocol::FolderItem>(&n->record)) {
            s.kind = protocol::ItemKind::Folder;
            s.name = f->name;
            s.workFolderPath = f->workFolderPath;
        } else {
            s.kind = protocol::ItemKind::ServerProfile;
            s.name = std::get<protocol::ServerProfile>(n->record).name;
        }
        nodes.insert(nodes.begin(), std::move(s));
    }
    return nodes;
}

std::optional<std::string> FolderTreeModel::folderPath(const QModelIndex &index) const
{
    const std::vector<engine::SelectionNode> c = chain(index);
    if (c.empty() || !engine::serverPathFits(c))
        return std::nullopt;
    return engine::serverPathOf(c);
}

QModelIndex FolderTreeModel::findPath(const QModelIndex &server, const std::string &path) const
{
    const Node *n = node(server);
    if (!server.isValid() || n->kind != NodeKind::Server)
        return {};
    std::string_view rest = path;
    while (!rest.empty()) {
        const std::size_t sep = rest.find('\\');
        const std::string_view name = rest.substr(0, sep);
        const Node *next = nullptr;
        for (const auto &c : n->children) {
            if (std::get<protocol::FolderItem>(c->record).name == name)
                next = c.get();
        }
        if (!next)
            return {};
        n = next;
        rest = sep == std::string_view::npos ? std::string_view() : rest.substr(sep + 1);
    }
    return indexOf(n);
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex &parentIndex) const
{
    const Node *p = node(parentIndex);
    if (column != 0 || row < 0 || row >= static_cast<int>(p->children.size()))
        return {};
    return createIndex(row, 0, p->children[static_cast<std::size_t>(row)].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex &child) const
{
    if (!child.isValid())
        return {};
    return indexOf(node(child)->parent);
}

int FolderTreeModel::rowCount(const QModelIndex &parentIndex) const
{
    if (parentIndex.column() > 0)
        return 0;
    return static_cast<int>(node(parentIndex)->children.size());
}

int FolderTreeModel::columnCount(const QModelIndex &) const
{
    return 1;
}

bool FolderTreeModel::hasChildren(const QModelIndex &parentIndex) const
{
    const Node *n = node(parentIndex);
    if (!n->children.empty())
        return true;
    // A node never listed may have folders: the expand mark stays until it is listed.
    return n->kind != NodeKind::Root && !n->listed;
}

bool FolderTreeModel::canFetchMore(const QModelIndex &parentIndex) const
{
    if (!parentIndex.isValid())
        return false;
    Node *n = node(parentIndex);
    if (n->kind == NodeKind::Root || n->listed || n->listing != 0)
        return false;
    const Node *s = n->server();
    return s && std::get<protocol::ServerProfile>(s->record).connected != 0;
}

void FolderTreeModel::fetchMore(const QModelIndex &parentIndex)
{
    if (!canFetchMore(parentIndex))
        return;
    // The window begins the listing; until then no second fetch may start.
    node(parentIndex)->listing = ++m_listings;
    emit fetchRequested(parentIndex);
}

QVariant FolderTreeModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const Node *n = node(index);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return n->kind == NodeKind::Root ? m_resources.tr(browsestr::RootText) : n->text();
    case Qt::DecorationRole: {
        int normal = browseimg::Root;
        int selected = browseimg::Root;
        if (const auto *p = std::get_if<protocol::ServerProfile>(&n->record)) {
            normal = selected =
                p->connected ? browseimg::ServerConnected : browseimg::ServerOffline;
        } else if (const auto *f = std::get_if<protocol::FolderItem>(&n->record)) {
            normal = f->isPrivate ? browseimg::PrivateFolder : browseimg::Folder;
            selected = f->isPrivate ? browseimg::PrivateFolderOpen : browseimg::FolderOpen;
        }
        QIcon icon(m_resources.image(normal));
        icon.addPixmap(m_resources.image(selected), QIcon::Selected);
        return icon;
    }
    case Qt::ToolTipRole:
        if (const auto *f = std::get_if<protocol::FolderItem>(&n->record))
            return QString::fromStdString(f->comment);
        if (const auto *p = std::get_if<protocol::ServerProfile>(&n->record))
            return QString::fromStdString(p->server);
        return {};
    default:
        return {};
    }
}

bool FolderTreeModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || node(index)->kind == NodeKind::Root)
        return false;
    const QString text = value.toString();
    // An empty or unchanged text cancels the edit; the node shows its record's name until
    // the service agreed to the new one.
    if (!text.isEmpty() && text != node(index)->text())
        emit renameRequested(QPersistentModelIndex(index), text);
    return false;
}

Qt::ItemFlags FolderTreeModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    switch (node(index)->kind) {
    case NodeKind::Root:
        break;
    case NodeKind::Server:
        f |= Qt::ItemIsEditable;
        break;
    case NodeKind::Folder:
        f |= Qt::ItemIsEditable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
        break;
    }
    return f;
}

QStringList FolderTreeModel::mimeTypes() const
{
    return {kMimeZemTree, kMimeZemList, QStringLiteral("text/uri-list")};
}

QMimeData *FolderTreeModel::mimeData(const QModelIndexList &indexes) const
{
    if (indexes.size() != 1 || kind(indexes.front()) != NodeKind::Folder)
        return nullptr;
    const protocol::ServerProfile *p = profile(indexes.front());
    const std::optional<std::string> path = folderPath(indexes.front());
    if (!p || !path)
        return nullptr;
    const std::string block = engine::makeZemTreeBlock(p->server, *path);
    auto *data = new QMimeData;
    data->setData(kMimeZemTree, QByteArray(block.data(), static_cast<qsizetype>(block.size())));
    return data;
}

Qt::DropActions FolderTreeModel::supportedDragActions() const
{
    return Qt::MoveAction;
}

Qt::DropActions FolderTreeModel::supportedDropActions() const
{
    return Qt::CopyAction | Qt::MoveAction;
}

Qt::DropAction FolderTreeModel::dropEffect(const QMimeData *data, bool targetIsConnectedFolder)
{
    if (!data || !targetIsConnectedFolder)
        return Qt::IgnoreAction;
    if (data->hasFormat(kMimeZemList))
        return Qt::MoveAction;
    if (data->hasFormat(kMimeZemTree) || data->hasUrls())
        return Qt::CopyAction;
    return Qt::IgnoreAction;
}

bool FolderTreeModel::canDropMimeData(const QMimeData *data, Qt::DropAction, int, int,
                                      const QModelIndex &parentIndex) const
{
    const protocol::ServerProfile *p = profile(parentIndex);
    const bool target = kind(parentIndex) == NodeKind::Folder && p && p->connected;
    return dropEffect(data, target) != Qt::IgnoreAction;
}

bool FolderTreeModel::dropMimeData(const QMimeData *data, Qt::DropAction action, int row,
                                   int column, const QModelIndex &parentIndex)
{
    // Dropped between items: only drops on an item count.
    if (row != -1 || !canDropMimeData(data, action, row, column, parentIndex))
        return false;
    emit dropped(parentIndex, data, action);
    // The move (if any) is done by the service; the view must not remove the dragged node.
    return false;
}

} // namespace views
