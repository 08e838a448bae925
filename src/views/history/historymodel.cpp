#include "views/history/historymodel.h"

#include "views/browse/browseconstants.h"

#include <algorithm>

namespace views {

namespace {

struct ColumnDef
{
    HistoryModel::Field field;
    int title;
    int width;
};

constexpr std::array<ColumnDef, 5> kFolderColumns{{
    {HistoryModel::Field::FileName, 191, 200},
    {HistoryModel::Field::Version, 186, 70},
    {HistoryModel::Field::User, 188, 200},
    {HistoryModel::Field::Date, 189, 120},
    {HistoryModel::Field::Comment, 190, 200},
}};

constexpr std::array<ColumnDef, 4> kFileColumns{{
    {HistoryModel::Field::Version, 186, 70},
    {HistoryModel::Field::User, 188, 200},
    {HistoryModel::Field::Date, 189, 120},
    {HistoryModel::Field::Comment, 190, 200},
}};

} // namespace

HistoryColumnSpan historyColumnSpan(HistoryLayout layout)
{
    return layout == HistoryLayout::Folder ? HistoryColumnSpan{4, 5} : HistoryColumnSpan{0, 4};
}

void storeHistoryColumns(std::array<std::int32_t, 9> &entries, HistoryLayout layout,
                         const std::vector<int> &values)
{
    const HistoryColumnSpan span = historyColumnSpan(layout);
    const int n = std::min<int>(span.count, static_cast<int>(values.size()));
    for (int i = 0; i < n; ++i)
        entries[std::size_t(span.first + i)] = values[std::size_t(i)];
}

HistoryModel::HistoryModel(HistoryLayout layout, QObject *parent)
    : QAbstractTableModel(parent)
    , m_layout(layout)
{
}

void HistoryModel::setItems(std::vector<protocol::HistoryItem> items)
{
    beginResetModel();
    m_items = std::move(items);
    endResetModel();
}

HistoryModel::Field HistoryModel::fieldOf(int column) const
{
    return m_layout == HistoryLayout::Folder ? kFolderColumns[std::size_t(column)].field
                                             : kFileColumns[std::size_t(column)].field;
}

int HistoryModel::titleString(int column) const
{
    return m_layout == HistoryLayout::Folder ? kFolderColumns[std::size_t(column)].title
                                             : kFileColumns[std::size_t(column)].title;
}

int HistoryModel::defaultWidth(int column) const
{
    return m_layout == HistoryLayout::Folder ? kFolderColumns[std::size_t(column)].width
                                             : kFileColumns[std::size_t(column)].width;
}

void HistoryModel::clickColumn(int column)
{
    if (column < 0 || column >= columnCount())
        return;
    const Field field = fieldOf(column);
    bool &flag = m_flags[std::size_t(field)];
    m_headerImage = flag ? browseimg::SortDescending : browseimg::SortAscending;
    flag = !flag;
    m_lastColumn = column;
    const bool descending = flag;
    emit layoutAboutToBeChanged();
    std::stable_sort(
        m_items.begin(), m_items.end(),
        [this, field, descending](const protocol::HistoryItem &a, const protocol::HistoryItem &b) {
            const protocol::HistoryItem &l = descending ? b : a;
            const protocol::HistoryItem &r = descending ? a : b;
            if (field == Field::Version)
                return l.version < r.version;
            return text(l, field).toUtf8() < text(r, field).toUtf8();
        });
    emit layoutChanged();
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

void HistoryModel::setHeaderImages(QPixmap ascending, QPixmap descending)
{
    m_ascending = std::move(ascending);
    m_descending = std::move(descending);
}

int HistoryModel::dropBelowVersion(std::int32_t version)
{
    const auto found = std::find_if(m_items.begin(), m_items.end(),
                                    [version](const auto &i) { return i.version == version; });
    if (found == m_items.end())
        return 0;
    const int first = static_cast<int>(found - m_items.begin()) + 1;
    const int last = rowCount() - 1;
    if (first > last)
        return 0;
    beginRemoveRows({}, first, last);
    m_items.erase(m_items.begin() + first, m_items.end());
    endRemoveRows();
    return last - first + 1;
}

int HistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_items.size());
}

int HistoryModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return m_layout == HistoryLayout::Folder ? int(kFolderColumns.size())
                                             : int(kFileColumns.size());
}

QString HistoryModel::text(const protocol::HistoryItem &item, Field field) const
{
    switch (field) {
    case Field::FileName:
        return QString::fromStdString(item.fileName);
    case Field::Version:
        return QString::number(item.version);
    case Field::User:
        return QString::fromStdString(item.updateUser);
    case Field::Date:
        return QString::fromStdString(item.updateDate);
    case Field::Comment:
        return QString::fromStdString(item.comment);
    }
    return {};
}

QVariant HistoryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const protocol::HistoryItem &i = item(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return text(i, fieldOf(index.column()));
    case Qt::DecorationRole:
        if (index.column() == 0 && !m_rowImage.isNull())
            return m_rowImage;
        return {};
    default:
        return {};
    }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    if (role == Qt::DisplayRole) {
        if (std::size_t(section) < m_headerTexts.size())
            return m_headerTexts[std::size_t(section)];
        return {};
    }
    if (role == Qt::DecorationRole) {
        if (section != m_lastColumn || m_headerImage < 0)
            return {};
        return m_headerImage == browseimg::SortAscending ? m_ascending : m_descending;
    }
    return {};
}

} // namespace views
