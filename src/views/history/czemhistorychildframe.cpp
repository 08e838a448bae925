#include "views/history/czemhistorychildframe.h"

#include "views/browse/browseconstants.h"
#include "views/browse/browsewindow.h"
#include "views/common/sortimageheader.h"

#include <config/settings.h>

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace views {

namespace {
constexpr int kFileHistoryTitle = 187;
constexpr int kFolderHistoryTitle = 192;
} // namespace

// --- The list -------------------------------------------------------------------------------

CZemHistoryListView::CZemHistoryListView(HistoryModel &model, QWidget *parent)
    : QTreeView(parent)
    , m_model(model)
{
    setHeader(new SortImageHeader(this));
    setModel(&model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setSectionsMovable(true);
    header()->setSectionsClickable(true);
    header()->setStretchLastSection(false);
    connect(header(), &QHeaderView::sectionClicked, this,
            [this](int column) { m_model.clickColumn(column); });
}

std::vector<int> CZemHistoryListView::selectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex &i : selectionModel()->selectedRows())
        rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int CZemHistoryListView::focusedSelectedRow() const
{
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !selectionModel()->isRowSelected(current.row(), {}))
        return -1;
    return current.row();
}

void CZemHistoryListView::selectAllRows()
{
    selectAll();
}

void CZemHistoryListView::invertSelection()
{
    const int rows = m_model.rowCount();
    if (rows == 0)
        return;
    QItemSelection all(m_model.index(0, 0), m_model.index(rows - 1, m_model.columnCount() - 1));
    selectionModel()->select(all, QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
}

void CZemHistoryListView::contextMenuEvent(QContextMenuEvent *event)
{
    if (event->reason() == QContextMenuEvent::Mouse) {
        const QModelIndex at = indexAt(event->pos());
        if (!at.isValid())
            return;
        if (!selectionModel()->isRowSelected(at.row(), {}))
            selectionModel()->select(at, QItemSelectionModel::ClearAndSelect |
                                             QItemSelectionModel::Rows);
        setCurrentIndex(at);
        emit contextMenuRequested(event->globalPos());
        return;
    }
    // The menu key: at the focused row, when it is selected.
    const int row = focusedSelectedRow();
    if (row < 0)
        return;
    const QRect r = visualRect(m_model.index(row, 0));
    emit contextMenuRequested(viewport()->mapToGlobal(r.topLeft() + QPoint(5, 5)));
}

// --- The frame ------------------------------------------------------------------------------

CZemHistoryChildFrame::CZemHistoryChildFrame(const BrowseResources &resources,
                                             config::Settings &settings, HistoryRequest request,
                                             QWidget *parent)
    : QWidget(parent)
    , m_resources(resources)
    , m_settings(settings)
    , m_path(std::move(request.path))
    , m_profile(std::move(request.profile))
    , m_origin(request.origin)
    , m_model(request.layout)
{
    std::vector<QString> titles;
    for (int c = 0; c < m_model.columnCount(); ++c)
        titles.push_back(m_resources.tr(m_model.titleString(c)));
    m_model.setHeaderTexts(std::move(titles));
    m_model.setHeaderImages(m_resources.image(browseimg::SortAscending),
                            m_resources.image(browseimg::SortDescending));
    m_model.setRowImage(m_resources.image(browseimg::File));
    m_model.setItems(std::move(request.items));

    m_list = new CZemHistoryListView(m_model, this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);
    setWindowTitle(title());
    applyColumns();
    setFocusProxy(m_list);

    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CZemHistoryChildFrame::selectionChanged);
    connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &CZemHistoryChildFrame::selectionChanged);
    connect(&m_model, &QAbstractItemModel::rowsRemoved, this,
            &CZemHistoryChildFrame::selectionChanged);
    connect(m_list, &CZemHistoryListView::contextMenuRequested, this,
            &CZemHistoryChildFrame::contextMenuRequested);
}

CZemHistoryChildFrame::~CZemHistoryChildFrame()
{
    if (!m_saved)
        saveColumns();
}

QString CZemHistoryChildFrame::title() const
{
    const int id =
        m_model.layout() == HistoryLayout::Folder ? kFolderHistoryTitle : kFileHistoryTitle;
    return m_resources.tr(id).arg(QString::fromStdString(m_path));
}

std::string CZemHistoryChildFrame::rowPath(int row) const
{
    if (layout() == HistoryLayout::File)
        return m_path;
    return m_model.item(row).fileName;
}

std::string CZemHistoryChildFrame::rowFileName(int row) const
{
    const std::string path = rowPath(row);
    const std::size_t cut = path.rfind('\\');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

void CZemHistoryChildFrame::rolledBack(std::int32_t version, const std::string &path)
{
    // Byte comparison, as the paths came from the same tree.
    if (path != m_path)
        return;
    m_model.dropBelowVersion(version);
}

void CZemHistoryChildFrame::applyColumns()
{
    const config::SettingsValues &v = m_settings.values();
    const HistoryColumnSpan span = historyColumnSpan(m_model.layout());
    // As in the file list: a default date column holds a whole date ("2026/12/08 04:12:33")
    // in the desktop's font; a width the user set is kept as it is.
    const int dateWidth =
        m_list->fontMetrics().horizontalAdvance(QStringLiteral("0000/00/00 00:00:00")) +
        2 * m_list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 12;
    const config::SettingsValues defaults;
    QHeaderView *header = m_list->header();
    for (int c = 0; c < span.count; ++c) {
        const std::size_t i = std::size_t(span.first + c);
        const int stored = v.colHistory[i];
        const bool userSet =
            v.saveColumnSize != 0 && stored > 0 && stored != defaults.colHistory[i];
        int width = m_model.defaultWidth(c);
        if (m_model.fieldOf(c) == HistoryModel::Field::Date)
            width = std::max(width, dateWidth);
        header->resizeSection(c, userSet ? stored : width);
    }
    if (v.saveColumnOrder != 0) {
        // Only an order that names each column once is applied.
        std::vector<int> order;
        for (int c = 0; c < span.count; ++c)
            order.push_back(v.colHistoryOrder[std::size_t(span.first + c)]);
        std::vector<int> sorted = order;
        std::sort(sorted.begin(), sorted.end());
        bool permutation = true;
        for (int c = 0; c < span.count; ++c)
            permutation = permutation && sorted[std::size_t(c)] == c;
        if (permutation) {
            for (int visual = 0; visual < span.count; ++visual)
                header->moveSection(header->visualIndex(order[std::size_t(visual)]), visual);
        }
    }
}

void CZemHistoryChildFrame::saveColumns()
{
    m_saved = true;
    const HistoryColumnSpan span = historyColumnSpan(m_model.layout());
    QHeaderView *header = m_list->header();
    std::vector<int> widths;
    std::vector<int> order;
    for (int c = 0; c < span.count; ++c) {
        widths.push_back(header->sectionSize(c));
        order.push_back(header->logicalIndex(c));
    }
    config::SettingsValues v = m_settings.values();
    storeHistoryColumns(v.colHistory, m_model.layout(), widths);
    storeHistoryColumns(v.colHistoryOrder, m_model.layout(), order);
    // Whatever SaveColumnSize and SaveColumnOrder say: the next window may use them.
    (void)m_settings.write(
        v, {config::SettingField::ColHistory, config::SettingField::ColHistoryOrder});
}

} // namespace views
