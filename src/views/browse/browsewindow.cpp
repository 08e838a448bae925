#include "views/browse/browsewindow.h"

#include "views/browse/browseconstants.h"
#include "views/browse/browseviews.h"

#include <config/settings.h>
#include <engine/dragblock.h>
#include <engine/localstate.h>
#include <engine/safename.h>
#include <platform/registry.h>

#include <QApplication>
#include <QFutureWatcher>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QMimeData>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace views {

// Every pane keeps at least this many pixels in every row and column.
static constexpr int kMinimumPane = 50;
// The size a browse window opens with when no placement is restored.
static constexpr QSize kDefaultChildSize(760, 520);
// The command numbers the Delete key sends to the frame.
static constexpr int kCmdDeleteServer = 32788;
static constexpr int kCmdDeleteFolder = 32774;
static constexpr int kCmdDeleteFiles = 32789;

BrowseWindow::BrowseWindow(const BrowseResources &resources, config::Settings &settings,
                           std::function<std::vector<protocol::ServerProfile>()> profiles,
                           engine::ServiceCalls calls, MessageLog::Clock clock, QWidget *parent)
    : QWidget(parent)
    , m_resources(resources)
    , m_settings(settings)
    , m_profiles(std::move(profiles))
    , m_calls(std::move(calls))
    , m_tree(resources)
    , m_files(resources)
    , m_log(std::move(clock))
{
    setWindowTitle(resources.tr(128));
    m_files.setDisplayUnitSize(settings.values().displayUnitSize != 0);
    m_proxy.setSourceModel(&m_files);
    m_proxy.setHeaderImages(resources.image(browseimg::SortAscending),
                            resources.image(browseimg::SortDescending));
    m_messages.setImages([this](int image) { return QIcon(m_resources.image(image)); });
    m_files.setDragSource([this](const std::vector<int> &rows) { return dragFiles(rows); });
    buildViews();
    if (m_profiles)
        m_tree.setProfiles(m_profiles());
    m_treeView->expand(m_tree.rootIndex());
    openLog();
}

BrowseWindow::~BrowseWindow()
{
    savePlacement();
    m_log.close();
}

void BrowseWindow::openLog()
{
    connect(&m_messages, &MessageModel::lineAppended, this,
            [this](int, const QString &text) { m_log.append(text); });
    if (m_log.open(QString::fromStdString(m_settings.values().defaultLogFolder)))
        return;
    // Said once, after the window is up; the window goes on without logging.
    const QString text = m_resources.tr(browsestr::LogUnopenable).arg(m_log.fileName());
    QTimer::singleShot(0, this,
                       [this, text] { QMessageBox::critical(this, m_resources.tr(128), text); });
}

void BrowseWindow::buildViews()
{
    m_treeView = new FolderTreeView;
    m_treeView->setObjectName(QStringLiteral("folderTree"));
    m_treeView->setModel(&m_tree);
    m_treeView->setHeaderHidden(true);
    m_treeView->setUniformRowHeights(true);
    m_treeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_treeView->setContextMenuPolicy(Qt::CustomContextMenu);
    m_treeView->setSelectionMode(QAbstractItemView::SingleSelection);

    m_filter = new QLineEdit;
    m_filter->setObjectName(QStringLiteral("fileFilter"));
    m_filter->setPlaceholderText(m_resources.tr(browsestr::FilterPlaceholder));
    m_filter->setClearButtonEnabled(true);

    auto *details = new FileDetailsView;
    m_detailsView = details;
    m_detailsView->setObjectName(QStringLiteral("fileList"));
    m_detailsView->setModel(&m_proxy);
    m_detailsView->setRootIsDecorated(false);
    m_detailsView->setUniformRowHeights(true);
    m_detailsView->setItemsExpandable(false);
    m_detailsView->setAllColumnsShowFocus(true);
    m_detailsView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_detailsView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_detailsView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_detailsView->setContextMenuPolicy(Qt::CustomContextMenu);
    m_detailsView->setSortingEnabled(false);
    m_detailsView->header()->setSectionsClickable(true);
    m_detailsView->header()->setSectionsMovable(true);
    m_detailsView->header()->setStretchLastSection(false);

    auto *icons = new FileIconView;
    m_iconView = icons;
    m_iconView->setObjectName(QStringLiteral("fileIcons"));
    m_iconView->setModel(&m_proxy);
    m_iconView->setModelColumn(FileListModel::Name);
    m_iconView->setSelectionModel(m_detailsView->selectionModel());
    m_iconView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_iconView->setUniformItemSizes(true);
    m_iconView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_iconView->setContextMenuPolicy(Qt::CustomContextMenu);

    const ListDropRules rules{[this] {
                                  const protocol::ServerProfile *p = selectedServer();
                                  return p && p->connected && selectedFolderPath().has_value();
                              },
                              [this](const QMimeData *dropped) {
                                  if (!dropHandler)
                                      return;
                                  DropRequest request;
                                  request.kind = DropRequest::Kind::ShellFiles;
                                  request.target = selectedNode();
                                  request.targetPath = selectedFolderPath().value_or(std::string());
                                  request.urls = dropped->urls();
                                  request.ontoList = true;
                                  dropHandler(*this, request);
                                  refreshSelected();
                              }};
    details->dropRules = rules;
    icons->dropRules = rules;
    connect(details, &FileDetailsView::dragFinished, this, &BrowseWindow::refreshSelected,
            Qt::QueuedConnection);
    connect(icons, &FileIconView::dragFinished, this, &BrowseWindow::refreshSelected,
            Qt::QueuedConnection);

    m_listStack = new QStackedWidget;
    m_listStack->addWidget(m_detailsView);
    m_listStack->addWidget(m_iconView);

    m_emptyLabel = new QLabel(m_detailsView->viewport());
    m_emptyLabel->setObjectName(QStringLiteral("emptyText"));
    m_emptyLabel->setAlignment(Qt::AlignCenter);
    m_emptyLabel->setWordWrap(true);
    m_emptyLabel->setForegroundRole(QPalette::PlaceholderText);
    m_emptyLabel->setAttribute(Qt::WA_TransparentForMouseEvents);

    auto *right = new QWidget;
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(2);
    rightLayout->addWidget(m_filter);
    rightLayout->addWidget(m_listStack, 1);

    m_messageView = new QListView;
    m_messageView->setObjectName(QStringLiteral("messages"));
    m_messageView->setModel(&m_messages);
    m_messageView->setUniformItemSizes(true);
    m_messageView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_messageView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_messageView->setToolTip(m_resources.tr(browsestr::MessageColumn));

    m_inner = new QSplitter(Qt::Horizontal);
    m_inner->setObjectName(QStringLiteral("innerSplitter"));
    m_inner->addWidget(m_treeView);
    m_inner->addWidget(right);
    m_inner->setChildrenCollapsible(false);
    m_outer = new QSplitter(Qt::Vertical);
    m_outer->setObjectName(QStringLiteral("outerSplitter"));
    m_outer->addWidget(m_inner);
    m_outer->addWidget(m_messageView);
    m_outer->setChildrenCollapsible(false);
    for (QWidget *w :
         {static_cast<QWidget *>(m_treeView), right, static_cast<QWidget *>(m_messageView)})
        w->setMinimumSize(kMinimumPane, kMinimumPane);
    m_inner->setMinimumHeight(kMinimumPane);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_outer);

    applyColumns();

    connect(m_treeView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) { onCurrentChanged(current); });
    connect(m_treeView, &QTreeView::expanded, this, [this](const QModelIndex &index) {
        if (m_tree.kind(index) != FolderTreeModel::NodeKind::Server)
            return;
        const protocol::ServerProfile *p = m_tree.profile(index);
        if (p && !p->connected && logOn(index) && m_tree.canFetchMore(index))
            m_tree.fetchMore(index);
    });
    connect(&m_tree, &FolderTreeModel::fetchRequested, this, &BrowseWindow::fetchFolders);
    connect(&m_tree, &FolderTreeModel::renameRequested, this, &BrowseWindow::renameNode);
    connect(&m_tree, &FolderTreeModel::dropped, this,
            [this](const QModelIndex &target, const QMimeData *dropped, Qt::DropAction) {
                DropRequest request;
                request.target = target;
                request.targetPath = m_tree.folderPath(target).value_or(std::string());
                if (dropped->hasFormat(kMimeZemTree)) {
                    request.kind = DropRequest::Kind::ZemTree;
                    request.block = dropped->data(kMimeZemTree);
                } else if (dropped->hasFormat(kMimeZemList)) {
                    request.kind = DropRequest::Kind::ZemList;
                    request.block = dropped->data(kMimeZemList);
                } else {
                    request.kind = DropRequest::Kind::ShellFiles;
                    request.urls = dropped->urls();
                }
                if (dropHandler)
                    dropHandler(*this, request);
            });
    connect(&m_files, &FileListModel::renameRequested, this, &BrowseWindow::renameFile);
    connect(m_detailsView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &BrowseWindow::selectionChanged);
    connect(m_detailsView->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { m_proxy.clickColumn(column); });
    connect(m_filter, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_proxy.setNameFilter(text);
        updateFileCount();
        updateEmptyText();
    });
    for (QAbstractItemModel *m : {static_cast<QAbstractItemModel *>(&m_proxy)}) {
        connect(m, &QAbstractItemModel::modelReset, this, [this] {
            updateFileCount();
            updateEmptyText();
        });
        connect(m, &QAbstractItemModel::rowsRemoved, this, [this] {
            updateFileCount();
            updateEmptyText();
        });
        connect(m, &QAbstractItemModel::rowsInserted, this, [this] { updateEmptyText(); });
    }
    connect(m_treeView, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        const QModelIndex index = m_treeView->indexAt(pos);
        if (index.isValid())
            showTreeMenu(index, m_treeView->viewport()->mapToGlobal(pos));
    });
    for (QAbstractItemView *list : {static_cast<QAbstractItemView *>(m_detailsView),
                                    static_cast<QAbstractItemView *>(m_iconView)}) {
        connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint &pos) {
            if (list->indexAt(pos).isValid())
                emit contextMenuRequested(2, list->viewport()->mapToGlobal(pos));
        });
    }
    for (QWidget *w : {static_cast<QWidget *>(m_treeView), static_cast<QWidget *>(m_detailsView),
                       static_cast<QWidget *>(m_iconView), static_cast<QWidget *>(m_filter)})
        w->installEventFilter(this);

    // The filter is reached from anywhere in the window.
    auto *find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::WidgetWithChildrenShortcut);
    connect(find, &QShortcut::activated, this, [this] {
        m_filter->setFocus(Qt::ShortcutFocusReason);
        m_filter->selectAll();
    });
    updateEmptyText();
}

void BrowseWindow::applyColumns()
{
    const config::SettingsValues &v = m_settings.values();
    static constexpr std::array<int, 7> kDefaultWidths{300, 100, 100, 70, 300, 150, 100};
    // The default widths were chosen for a small bitmap font; with a larger desktop font a
    // date ("2026/12/08 04:12:33"), a size or an address would be cut, so a default column is
    // at least as wide as such a text. A width the user set is kept as it is.
    const QFontMetrics metrics(m_detailsView->font());
    const int margin = 2 * m_detailsView->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 12;
    const auto fitted = [&](int column) {
        const int written = kDefaultWidths[static_cast<std::size_t>(column)];
        QString sample;
        switch (column) {
        case FileListModel::CheckinDate:
        case FileListModel::UpdateDate:
            sample = QStringLiteral("0000/00/00 00:00:00");
            break;
        case FileListModel::Size:
            sample = QStringLiteral("000,000,000");
            break;
        case FileListModel::Address:
            sample = QStringLiteral("000.000.000.000");
            break;
        default:
            return written;
        }
        return std::max(written, metrics.horizontalAdvance(sample) + margin);
    };
    const config::SettingsValues defaults;
    QHeaderView *header = m_detailsView->header();
    for (int c = 0; c < FileListModel::kColumns; ++c) {
        const auto i = static_cast<std::size_t>(c);
        const int stored = v.colMain[i];
        const bool userSet = v.saveColumnSize != 0 && stored > 0 && stored != defaults.colMain[i];
        header->resizeSection(c, userSet ? stored : fitted(c));
    }
    if (v.saveColumnOrder != 0) {
        for (int visual = 0; visual < FileListModel::kColumns; ++visual) {
            const int logical = v.colMainOrder[static_cast<std::size_t>(visual)];
            if (logical < 0 || logical >= FileListModel::kColumns)
                continue;
            header->moveSection(header->visualIndex(logical), visual);
        }
    }
}

void BrowseWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // The desktop switched between light and dark: the row images carry palette colours.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        m_files.paletteChanged();
}

void BrowseWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        applyPlacement();
    }
}

void BrowseWindow::applyPlacement()
{
    const config::SettingsValues &v = m_settings.values();
    auto *child = qobject_cast<QMdiSubWindow *>(parentWidget());
    if (child)
        child->installEventFilter(this);
    config::ShowState state = config::ShowState::Normal;
    if (child && v.saveWindowSize == 0)
        child->resize(kDefaultChildSize);
    if (v.saveWindowSize != 0) {
        state = v.clientWindow;
        if (child && state == config::ShowState::Normal) {
            const QRect r(v.clientRect.left, v.clientRect.top,
                          v.clientRect.right - v.clientRect.left,
                          v.clientRect.bottom - v.clientRect.top);
            if (r.isValid())
                child->setGeometry(r);
        }
    }
    const QSize size = child ? child->widget()->size() : this->size();
    if (v.saveWindowSize != 0 && state != config::ShowState::Minimized) {
        const int height = std::max(size.height(), v.folderViewHeight + kMinimumPane);
        m_outer->setSizes({v.folderViewHeight, height - v.folderViewHeight});
        m_inner->setSizes(
            {v.folderViewWidth, std::max(kMinimumPane, size.width() - v.folderViewWidth)});
    } else if (v.saveWindowSize == 0) {
        const int rows = size.height() * 7 / 10;
        m_outer->setSizes({rows, rows});
        const int column = size.width() * 4 / 10;
        m_inner->setSizes({column, size.width() - column});
    }
    if (child && v.saveWindowSize != 0) {
        if (state == config::ShowState::Maximized)
            child->showMaximized();
        else if (state == config::ShowState::Minimized)
            QTimer::singleShot(0, child, &QMdiSubWindow::showMinimized);
    }
}

void BrowseWindow::savePlacement()
{
    if (m_placementSaved || !m_outer)
        return;
    m_placementSaved = true;
    config::SettingsValues v = m_settings.values();
    auto *child = qobject_cast<QMdiSubWindow *>(parentWidget());
    v.clientWindow = config::ShowState::Normal;
    v.clientRect = {};
    if (child && child->isMaximized()) {
        v.clientWindow = config::ShowState::Maximized;
    } else if (child && child->isMinimized()) {
        v.clientWindow = config::ShowState::Minimized;
    } else if (child) {
        const QRect r = child->geometry(); // already in the child area's coordinates
        v.clientRect = {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    }
    const QList<int> rows = m_outer->sizes();
    const QList<int> columns = m_inner->sizes();
    if (!columns.isEmpty())
        v.folderViewWidth = columns.first();
    if (!rows.isEmpty())
        v.folderViewHeight = rows.first();
    QHeaderView *header = m_detailsView->header();
    for (int c = 0; c < FileListModel::kColumns; ++c) {
        v.colMain[static_cast<std::size_t>(c)] = header->sectionSize(c);
        v.colMainOrder[static_cast<std::size_t>(c)] = header->logicalIndex(c);
    }
    const platform::ResultCode rc = m_settings.write(
        v, {config::SettingField::ClientWindow, config::SettingField::ClientRect,
            config::SettingField::FolderViewWidth, config::SettingField::FolderViewHeight,
            config::SettingField::ColMain, config::SettingField::ColMainOrder});
    if (platform::failed(rc))
        qWarning("ravelind: the browse window's layout was not saved (%08x)",
                 static_cast<unsigned>(rc));
}

// --- Selection -----------------------------------------------------------------------------

QModelIndex BrowseWindow::selectedNode() const
{
    return m_treeView->selectionModel()->currentIndex();
}

const protocol::ServerProfile *BrowseWindow::selectedServer() const
{
    return m_tree.profile(selectedNode());
}

std::vector<engine::SelectionNode> BrowseWindow::selectedChain() const
{
    return m_tree.chain(selectedNode());
}

static bool sameConnection(const protocol::ServerProfile &a, const protocol::ServerProfile &b)
{
    return a.server == b.server && a.url == b.url && a.port == b.port && a.useSsl == b.useSsl &&
           a.timeout == b.timeout && a.useProxy == b.useProxy && a.proxyServer == b.proxyServer;
}

void BrowseWindow::syncServers(const std::vector<protocol::ServerProfile> &stored)
{
    const QModelIndex root = m_tree.rootIndex();
    std::vector<bool> shown(stored.size(), false);
    for (int row = m_tree.rowCount(root) - 1; row >= 0; --row) {
        const QModelIndex node = m_tree.index(row, 0, root);
        protocol::ServerProfile *p = m_tree.profile(node);
        if (!p)
            continue;
        const auto match = std::find_if(stored.begin(), stored.end(), [p](const auto &s) {
            return platform::namesEqual(s.name, p->name);
        });
        const auto index = static_cast<std::size_t>(match - stored.begin());
        if (match != stored.end() && !shown[index] && sameConnection(*match, *p)) {
            shown[index] = true;
            if (p->name != match->name) { // renamed in letter case only
                p->name = match->name;
                m_tree.recordChanged(node);
            }
            continue;
        }
        // Leaving a node that goes: the view would otherwise move the selection to a
        // neighbour, and a server there that is not logged on would ask to log on.
        QModelIndex up = selectedNode();
        while (up.isValid() && up != node)
            up = up.parent();
        if (up == node)
            selectNode(root);
        m_suppressPopulate = true;
        m_tree.removeNode(node);
        m_suppressPopulate = false;
    }
    for (std::size_t i = 0; i < stored.size(); ++i) {
        if (!shown[i])
            m_tree.addServer(stored[i]);
    }
}

std::vector<protocol::ServerProfile> BrowseWindow::serverProfiles() const
{
    std::vector<protocol::ServerProfile> profiles;
    const QModelIndex root = m_tree.rootIndex();
    for (int r = 0; r < m_tree.rowCount(root); ++r) {
        if (const protocol::ServerProfile *p = m_tree.profile(m_tree.index(r, 0, root)))
            profiles.push_back(*p);
    }
    return profiles;
}

std::optional<std::string> BrowseWindow::selectedFolderPath() const
{
    return m_tree.folderPath(selectedNode());
}

std::vector<int> BrowseWindow::selectedRows() const
{
    QModelIndexList rows = m_detailsView->selectionModel()->selectedRows(FileListModel::Name);
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    std::vector<int> source;
    source.reserve(static_cast<std::size_t>(rows.size()));
    for (const QModelIndex &i : rows)
        source.push_back(m_proxy.mapToSource(i).row());
    return source;
}

std::vector<protocol::FileItem> BrowseWindow::selectedFiles() const
{
    std::vector<protocol::FileItem> files;
    for (int row : selectedRows())
        files.push_back(m_files.file(row));
    return files;
}

int BrowseWindow::focusedSelectedRow() const
{
    const QModelIndex current = m_detailsView->selectionModel()->currentIndex();
    if (!current.isValid() ||
        !m_detailsView->selectionModel()->isRowSelected(current.row(), current.parent()))
        return -1;
    return m_proxy.mapToSource(current).row();
}

bool BrowseWindow::isEditing() const
{
    return static_cast<FolderTreeView *>(m_treeView)->isEditing() ||
           static_cast<FileDetailsView *>(m_detailsView)->isEditing() ||
           static_cast<FileIconView *>(m_iconView)->isEditing();
}

QString BrowseWindow::fileCountText() const
{
    if (m_proxy.nameFilter().isEmpty())
        return {};
    return m_resources.tr(browsestr::FilterCount).arg(m_proxy.rowCount()).arg(m_files.rowCount());
}

// --- Messages ------------------------------------------------------------------------------

void BrowseWindow::appendMessage(int image, const QString &text)
{
    m_messages.append(image, text);
    m_messageView->scrollTo(m_messages.index(m_messages.rowCount() - 1));
}

void BrowseWindow::appendLogEntry(bool success, int messageId, const QStringList &arguments)
{
    QString text = m_resources.tr(messageId);
    for (const QString &a : arguments)
        text = text.arg(a);
    appendMessage(success ? browseimg::Success : browseimg::Failure, text);
}

void BrowseWindow::clearMessages()
{
    m_messages.clear();
}

// --- Population ----------------------------------------------------------------------------

void BrowseWindow::selectNode(const QModelIndex &index)
{
    m_treeView->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
}

void BrowseWindow::removeMovedFolder(const QModelIndex &index)
{
    m_suppressPopulate = true;
    m_tree.removeNode(index);
    m_suppressPopulate = false;
}

void BrowseWindow::onCurrentChanged(const QModelIndex &current)
{
    ++m_populateGeneration;
    emit workFolderPaneChanged(QString());
    emit commentPaneChanged(QString());
    m_files.clear();
    emit selectionChanged();
    if (m_suppressPopulate || !current.isValid() ||
        m_tree.kind(current) == FolderTreeModel::NodeKind::Root) {
        updateEmptyText();
        return;
    }
    const QPersistentModelIndex node(current);
    if (m_tree.kind(current) == FolderTreeModel::NodeKind::Server) {
        const protocol::ServerProfile *p = m_tree.profile(current);
        if (p && !p->connected)
            logOn(current);
    }
    if (!node.isValid() || node != selectedNode())
        return;
    const protocol::ServerProfile *p = m_tree.profile(node);
    if (!p || !p->connected) {
        updateEmptyText();
        return;
    }
    if (const protocol::FolderItem *f = m_tree.folder(node)) {
        emit workFolderPaneChanged(QString::fromStdString(f->workFolderPath));
        emit commentPaneChanged(QString::fromStdString(f->comment));
    }
    populate(node, false);
}

void BrowseWindow::populate(const QModelIndex &index, bool refresh)
{
    m_files.clear();
    const std::optional<std::string> path = m_tree.folderPath(index);
    const protocol::ServerProfile *p = m_tree.profile(index);
    if (!path || !p)
        return; // a folder path that does not fit stops silently
    const bool withFolders = refresh || !m_tree.isListed(index);
    const QPersistentModelIndex node(index);
    const protocol::ServerProfile profile = *p;
    const std::uint64_t generation = ++m_populateGeneration;
    const FolderTreeModel::Listing folderListing =
        withFolders ? m_tree.beginListing(index) : FolderTreeModel::Listing();
    m_emptyText = m_resources.tr(browsestr::Loading);
    updateEmptyText();
    const engine::ServiceCalls calls = m_calls;
    const std::string folderPath = *path;
    m_runner.start<engine::NodeListing>(
        [calls, profile, folderPath, withFolders] {
            return calls.listNode(profile, folderPath, withFolders);
        },
        [this, node, generation, profile, refresh, folderListing](engine::NodeListing listing) {
            if (!node.isValid())
                return;
            const bool current = generation == m_populateGeneration && node == selectedNode();
            if (listing.foldersAsked) {
                const FolderTreeModel::ListingFate fate = m_tree.endListing(node, folderListing);
                if (fate == FolderTreeModel::ListingFate::Stale &&
                    listing.folderResult.succeeded()) {
                    if (refresh)
                        m_tree.clearChildren(node);
                    fetchFolders(node);
                } else if (fate == FolderTreeModel::ListingFate::Apply &&
                           listing.folderResult.succeeded()) {
                    if (refresh)
                        m_tree.clearChildren(node);
                    m_tree.setFolders(node, listing.folders);
                    if (!listing.folders.empty())
                        m_treeView->expand(node);
                }
            }
            if (const protocol::CallResult *failure = listing.failure()) {
                m_emptyText = m_resources.tr(browsestr::NoServerAnswer);
                updateEmptyText();
                showCallFailure(*failure, profile);
            } else if (current && listing.filesAsked) {
                m_emptyText = m_resources.tr(browsestr::EmptyFolder);
                m_files.setFiles(std::move(listing.files));
                startLocalStates();
            }
            emit populated(node);
            emit selectionChanged();
        });
}

void BrowseWindow::fetchFolders(const QModelIndex &index)
{
    const std::optional<std::string> path = m_tree.folderPath(index);
    const protocol::ServerProfile *p = m_tree.profile(index);
    const FolderTreeModel::Listing folderListing = m_tree.beginListing(index);
    if (!path || !p) {
        m_tree.endListing(index, folderListing);
        return;
    }
    const QPersistentModelIndex node(index);
    const protocol::ServerProfile profile = *p;
    const engine::ServiceCalls calls = m_calls;
    const std::string folderPath = *path;
    m_runner.start<engine::NodeListing>(
        [calls, profile, folderPath] { return calls.listNode(profile, folderPath, true, false); },
        [this, node, profile, folderListing](engine::NodeListing listing) {
            if (!node.isValid())
                return;
            switch (m_tree.endListing(node, folderListing)) {
            case FolderTreeModel::ListingFate::Superseded:
                return;
            case FolderTreeModel::ListingFate::Stale:
                fetchFolders(node);
                return;
            case FolderTreeModel::ListingFate::Apply:
                break;
            }
            if (!listing.folderResult.succeeded()) {
                showCallFailure(listing.folderResult, profile);
                return;
            }
            m_tree.setFolders(node, listing.folders);
            emit populated(node);
        });
}

void BrowseWindow::refresh(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    if (m_tree.kind(index) == FolderTreeModel::NodeKind::Root) {
        m_suppressPopulate = true;
        selectNode(index);
        m_suppressPopulate = false;
        m_tree.setProfiles(m_profiles ? m_profiles() : std::vector<protocol::ServerProfile>());
        m_treeView->expand(m_tree.rootIndex());
        return;
    }
    const protocol::ServerProfile *p = m_tree.profile(index);
    if (!p || !p->connected)
        return;
    // A selection inside the subtree goes up to the node before its children go.
    QModelIndex up = selectedNode();
    while (up.isValid() && up != index)
        up = up.parent();
    const QPersistentModelIndex node(index);
    if (up == index && selectedNode() != index) {
        m_suppressPopulate = true;
        selectNode(index);
        m_suppressPopulate = false;
    }
    m_tree.clearChildren(node);
    populate(node, true);
}

void BrowseWindow::refreshSelected()
{
    refresh(selectedNode());
}

bool BrowseWindow::logOn(const QModelIndex &server)
{
    if (m_tree.kind(server) != FolderTreeModel::NodeKind::Server)
        return false;
    if (logonHandler)
        return logonHandler(*this, server) && m_tree.profile(server) &&
               m_tree.profile(server)->connected;
    const QPersistentModelIndex node(server);
    const protocol::ServerProfile profile = *m_tree.profile(server);
    const engine::ServiceCalls calls = m_calls;
    const platform::MachineIdentity identity = m_resources.identity;
    const engine::LogonOutcome outcome = m_runner.wait<engine::LogonOutcome>(
        [calls, profile, identity] { return calls.logon(profile, identity); });
    if (!node.isValid())
        return false;
    protocol::ServerProfile *p = m_tree.profile(node);
    if (!outcome.result.succeeded()) {
        m_emptyText = m_resources.tr(browsestr::NoServerAnswer);
        updateEmptyText();
        showCallFailure(outcome.result, profile);
        return false;
    }
    p->connected = 1;
    p->userId = outcome.userId;
    m_tree.recordChanged(node);
    emit profileChanged(*p);
    return true;
}

void BrowseWindow::showCallFailure(const protocol::CallResult &result,
                                   const protocol::ServerProfile &p)
{
    QString text;
    if (!result.errorText.empty()) {
        text = QString::fromStdString(result.errorText);
    } else {
        text = m_resources.errorText ? m_resources.errorText(result.code)
                                     : QString::fromStdString(result.message());
        if (result.code == platform::fromWin32(platform::err::InternetTimeout))
            text += QLatin1Char('\n') + m_resources.tr(browsestr::CallTimedOut)
                                            .arg(QString::fromStdString(p.server))
                                            .arg(engine::directCallTimeout(p));
    }
    QMessageBox::critical(this, m_resources.tr(128), text);
}

// --- Renames -------------------------------------------------------------------------------

void BrowseWindow::startRenameNode()
{
    const QModelIndex node = selectedNode();
    if (!node.isValid() || m_tree.kind(node) == FolderTreeModel::NodeKind::Root)
        return; // the root has no name of its own
    m_treeView->setFocus();
    m_treeView->edit(node);
}

void BrowseWindow::startRenameFile()
{
    if (!selectedNode().isValid())
        return;
    const QModelIndex current = m_detailsView->selectionModel()->currentIndex();
    if (focusedSelectedRow() < 0)
        return;
    QAbstractItemView *view = m_viewStyle == ViewStyle::Details
                                  ? static_cast<QAbstractItemView *>(m_detailsView)
                                  : m_iconView;
    view->setFocus();
    view->edit(current.siblingAtColumn(FileListModel::Name));
}

void BrowseWindow::renameNode(const QModelIndex &index, const QString &newName)
{
    const QPersistentModelIndex node(index);
    if (m_tree.kind(node) == FolderTreeModel::NodeKind::Server) {
        if (serverRenameHandler)
            serverRenameHandler(*this, node, newName);
        return;
    }
    const std::optional<std::string> path = m_tree.folderPath(node);
    const protocol::ServerProfile *p = m_tree.profile(node);
    if (!path || !p)
        return;
    const protocol::ServerProfile profile = *p;
    const engine::ServiceCalls calls = m_calls;
    const std::string itemPath = *path;
    const std::string name = newName.toStdString();
    m_runner.start<protocol::CallResult>(
        [calls, profile, itemPath, name] { return calls.rename(profile, itemPath, name); },
        [this, node, profile, name, newName](protocol::CallResult r) {
            if (!r.succeeded()) {
                showCallFailure(r, profile);
                return;
            }
            if (protocol::FolderItem *f = m_tree.folder(node)) {
                f->name = name;
                m_tree.recordChanged(node);
            }
            appendMessage(browseimg::Success,
                          m_resources.tr(browsestr::FolderRenamed).arg(newName));
            emit selectionChanged();
        });
}

void BrowseWindow::renameFile(int row, const QString &newName)
{
    const std::optional<std::string> folder = selectedFolderPath();
    const protocol::ServerProfile *p = selectedServer();
    if (!folder || !p || row < 0 || row >= m_files.rowCount())
        return;
    const std::string oldName = m_files.file(row).fileName;
    const std::string itemPath = engine::fileServerPath(*folder, oldName);
    const protocol::ServerProfile profile = *p;
    const engine::ServiceCalls calls = m_calls;
    const std::string name = newName.toStdString();
    const std::uint64_t generation = m_files.generation();
    m_runner.start<protocol::CallResult>(
        [calls, profile, itemPath, name] { return calls.rename(profile, itemPath, name); },
        [this, profile, oldName, name, generation](protocol::CallResult r) {
            if (!r.succeeded()) {
                showCallFailure(r, profile);
                return;
            }
            if (generation == m_files.generation())
                m_files.renameRow(m_files.rowOf(oldName), name);
            emit selectionChanged();
        });
}

// --- Drag, local state ---------------------------------------------------------------------

QMimeData *BrowseWindow::dragFiles(const std::vector<int> &rows)
{
    const protocol::ServerProfile *p = selectedServer();
    const std::optional<std::string> folder = selectedFolderPath();
    if (!p || !folder)
        return nullptr;
    std::vector<std::string> names;
    for (int row : rows) {
        const std::string &name = m_files.file(row).fileName;
        if (!engine::isDraggableFileName(name)) {
            appendMessage(browseimg::Failure,
                          m_resources.tr(browsestr::TabInName).arg(QString::fromStdString(name)));
            continue;
        }
        names.push_back(name);
    }
    if (names.empty())
        return nullptr;
    const std::optional<std::string> block = engine::makeZemListBlock(p->server, *folder, names);
    if (!block)
        return nullptr;
    auto *mime = new QMimeData;
    mime->setData(kMimeZemList, QByteArray(block->data(), static_cast<qsizetype>(block->size())));
    return mime;
}

void BrowseWindow::startLocalStates()
{
    const std::vector<engine::SelectionNode> chain = selectedChain();
    std::optional<std::string> folder = engine::ownWorkingFolder(chain);
    if (!folder)
        folder = engine::inheritedWorkingFolder(chain);
    if (!folder || m_files.rowCount() == 0)
        return;
    std::vector<engine::LocalProbe> probes;
    probes.reserve(static_cast<std::size_t>(m_files.rowCount()));
    for (int r = 0; r < m_files.rowCount(); ++r)
        probes.push_back({m_files.file(r).fileName, m_files.file(r).fileSize});
    const std::uint64_t generation = m_files.generation();
    auto *watcher = new QFutureWatcher<std::vector<engine::LocalState>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation] {
        m_files.setLocalStates(generation, watcher->future().takeResult());
        watcher->deleteLater();
    });
    watcher->setFuture(
        QtConcurrent::run([path = std::filesystem::path(*folder), probes = std::move(probes)] {
            return engine::localStates(path, probes);
        }));
}

// --- View styles, selection commands -------------------------------------------------------

void BrowseWindow::setViewStyle(ViewStyle style)
{
    m_viewStyle = style;
    if (style == ViewStyle::Details) {
        m_listStack->setCurrentWidget(m_detailsView);
        return;
    }
    m_iconView->setViewMode(style == ViewStyle::Icons ? QListView::IconMode : QListView::ListMode);
    m_iconView->setFlow(style == ViewStyle::List ? QListView::TopToBottom : QListView::LeftToRight);
    m_iconView->setWrapping(true);
    m_iconView->setResizeMode(QListView::Adjust);
    m_iconView->setIconSize(style == ViewStyle::Icons ? QSize(32, 32) : QSize(16, 16));
    // Long names wrap under a large icon instead of being cut to a few letters.
    m_iconView->setWordWrap(style == ViewStyle::Icons);
    m_iconView->setGridSize(style == ViewStyle::Icons ? QSize(104, 72) : QSize());
    m_listStack->setCurrentWidget(m_iconView);
}

void BrowseWindow::selectAllFiles()
{
    m_detailsView->selectAll();
}

void BrowseWindow::invertFileSelection()
{
    if (m_proxy.rowCount() == 0)
        return;
    const QItemSelection all(m_proxy.index(0, 0),
                             m_proxy.index(m_proxy.rowCount() - 1, FileListModel::kColumns - 1));
    m_detailsView->selectionModel()->select(all, QItemSelectionModel::Toggle |
                                                     QItemSelectionModel::Rows);
}

void BrowseWindow::setSelectedWorkFolder(const std::string &workFolder)
{
    const QModelIndex node = selectedNode();
    if (protocol::FolderItem *f = m_tree.folder(node)) {
        f->workFolderPath = workFolder;
        m_tree.recordChanged(node);
        emit workFolderPaneChanged(QString::fromStdString(workFolder));
        startLocalStates();
    }
}

void BrowseWindow::updateFileCount()
{
    emit fileCountChanged(fileCountText());
}

void BrowseWindow::updateEmptyText()
{
    const protocol::ServerProfile *p = selectedServer();
    QString text;
    if (m_proxy.rowCount() == 0) {
        if (m_files.rowCount() > 0)
            text = m_resources.tr(browsestr::FilterNoMatch); // the folder has files
        else if (!p)
            text.clear();
        else if (!p->connected)
            text = m_emptyText.isEmpty() ? m_resources.tr(browsestr::NotLoggedOn) : m_emptyText;
        else
            text = m_emptyText;
    }
    m_emptyLabel->setText(text);
    m_emptyLabel->setVisible(!text.isEmpty());
    m_emptyLabel->setGeometry(m_detailsView->viewport()->rect().adjusted(8, 8, -8, -8));
}

// --- Keys and menus ------------------------------------------------------------------------

void BrowseWindow::showTreeMenu(const QModelIndex &index, const QPoint &globalPos)
{
    emit contextMenuRequested(m_tree.kind(index) == FolderTreeModel::NodeKind::Folder ? 1 : 0,
                              globalPos);
}

bool BrowseWindow::handleTreeKey(QKeyEvent *key)
{
    if (static_cast<FolderTreeView *>(m_treeView)->isEditing())
        return false;
    const QModelIndex node = selectedNode();
    switch (key->key()) {
    case Qt::Key_F5:
        refresh(node);
        return true;
    case Qt::Key_F2:
        startRenameNode();
        return true;
    case Qt::Key_Delete:
        if (m_tree.kind(node) == FolderTreeModel::NodeKind::Server)
            emit commandRequested(kCmdDeleteServer);
        else if (m_tree.kind(node) == FolderTreeModel::NodeKind::Folder)
            emit commandRequested(kCmdDeleteFolder);
        return true;
    case Qt::Key_Tab:
        m_listStack->currentWidget()->setFocus(Qt::TabFocusReason);
        return true;
    case Qt::Key_Menu:
        if (node.isValid()) {
            const QRect r = m_treeView->visualRect(node);
            showTreeMenu(node, m_treeView->viewport()->mapToGlobal(r.topLeft() + QPoint(5, 5)));
        }
        return true;
    default:
        return false;
    }
}

bool BrowseWindow::handleListKey(QKeyEvent *key)
{
    auto *view = static_cast<QAbstractItemView *>(m_listStack->currentWidget());
    if (isEditing())
        return false;
    switch (key->key()) {
    case Qt::Key_F5:
        refreshSelected();
        return true;
    case Qt::Key_F2:
        startRenameFile();
        return true;
    case Qt::Key_Delete:
        emit commandRequested(kCmdDeleteFiles);
        return true;
    case Qt::Key_Tab:
        m_treeView->setFocus(Qt::TabFocusReason);
        return true;
    case Qt::Key_Menu: {
        const QModelIndex current = view->selectionModel()->currentIndex();
        if (focusedSelectedRow() >= 0) {
            const QRect r = view->visualRect(current);
            emit contextMenuRequested(2, view->viewport()->mapToGlobal(r.topLeft() + QPoint(5, 5)));
        }
        return true;
    }
    default:
        return false;
    }
}

bool BrowseWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Close && watched == parentWidget()) {
        m_runner.waitIdle();
        savePlacement();
        return false;
    }
    if (event->type() == QEvent::FocusIn) {
        const Pane before = m_activePane;
        if (watched == m_treeView)
            m_activePane = Pane::Tree;
        else if (watched == m_detailsView || watched == m_iconView)
            m_activePane = Pane::List;
        if (before != m_activePane)
            emit selectionChanged();
    }
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (watched == m_treeView)
            return handleTreeKey(key);
        if (watched == m_detailsView || watched == m_iconView)
            return handleListKey(key);
        if (watched == m_filter && key->key() == Qt::Key_Escape && !m_filter->text().isEmpty()) {
            m_filter->clear();
            return true;
        }
        if (watched == m_filter && (key->key() == Qt::Key_Down || key->key() == Qt::Key_Return)) {
            m_listStack->currentWidget()->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    if (event->type() == QEvent::Resize && watched == m_detailsView)
        updateEmptyText();
    return QWidget::eventFilter(watched, event);
}

} // namespace views
