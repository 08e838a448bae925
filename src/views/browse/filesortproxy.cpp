#include "views/browse/filesortproxy.h"

#include "views/browse/browseconstants.h"
#include "views/browse/filelistmodel.h"

#include <QPixmap>

#include <algorithm>

namespace views {

FileSortProxy::FileSortProxy(QObject *parent)
    : QSortFilterProxyModel(parent)
{
    setSortRole(FileListModel::SortRole);
    // Rows are sorted when a header is clicked, as the list has always done; an edited or
    // refreshed row does not jump.
    setDynamicSortFilter(false);
}

void FileSortProxy::clickColumn(int column)
{
    if (column < 0 || column >= static_cast<int>(m_flags.size()))
        return;
    auto &flag = m_flags[static_cast<std::size_t>(column)];
    m_headerImage = flag ? browseimg::SortDescending : browseimg::SortAscending;
    flag = !flag;
    m_lastColumn = column;
    sort(column, flag ? Qt::DescendingOrder : Qt::AscendingOrder);
    emit headerDataChanged(Qt::Horizontal, 0, static_cast<int>(m_flags.size()) - 1);
}

void FileSortProxy::setSourceModel(QAbstractItemModel *model)
{
    if (sourceModel())
        disconnect(sourceModel(), nullptr, this, nullptr);
    QSortFilterProxyModel::setSourceModel(model);
    m_files = qobject_cast<const FileListModel *>(model);
    dropRanks();
    if (!model)
        return;
    // Any change of the rows or their records makes the ranks stale; the "about to" signals
    // come before the proxy sorts anything for the change.
    const auto drop = [this] {
        dropRanks();
    };
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, drop);
    connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this, drop);
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, drop);
    connect(model, &QAbstractItemModel::layoutAboutToBeChanged, this, drop);
    connect(model, &QAbstractItemModel::dataChanged, this, drop);
}

void FileSortProxy::setHeaderImages(QPixmap ascending, QPixmap descending)
{
    m_ascending = std::move(ascending);
    m_descending = std::move(descending);
}

QVariant FileSortProxy::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::DecorationRole && orientation == Qt::Horizontal) {
        if (section != m_lastColumn || m_headerImage < 0)
            return {};
        return m_headerImage == browseimg::SortAscending ? m_ascending : m_descending;
    }
    return QSortFilterProxyModel::headerData(section, orientation, role);
}

// The raw text of a column, for the comparison below.
static const std::string &columnText(const protocol::FileItem &f, int column)
{
    switch (column) {
    case FileListModel::CheckinDate:
        return f.checkinDate;
    case FileListModel::UpdateDate:
        return f.updateDate;
    case FileListModel::CheckoutPath:
        return f.checkoutPath;
    case FileListModel::CheckoutUser:
        return f.checkoutUser;
    case FileListModel::Address:
        return f.ipAddress;
    default:
        return f.fileName;
    }
}

bool FileSortProxy::buildRanks(int column) const
{
    const FileListModel *files = m_files;
    if (!files)
        return false;
    if (m_rankColumn == column && m_ranks.size() == static_cast<std::size_t>(files->fileCount()))
        return true;
    // One sort of the row numbers straight from the records: going through data() built two
    // strings a comparison, and even the proxy's own comparison of two model indexes a
    // comparison made sorting 100,000 rows by a date take a third of a second.
    const auto n = static_cast<std::uint32_t>(files->fileCount());
    std::vector<std::uint32_t> order(n);
    for (std::uint32_t i = 0; i < n; ++i)
        order[i] = i;
    const auto key = [files](std::uint32_t row) -> const protocol::FileItem & {
        return files->file(static_cast<int>(row));
    };
    if (column == FileListModel::Size) {
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            return key(a).fileSize < key(b).fileSize;
        });
    } else {
        // Byte order of the UTF-8 texts, as the old multibyte comparison did: case-sensitive,
        // no locale, dates compared character by character (std::string compares bytes as
        // unsigned, as QByteArray does).
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            return columnText(key(a), column) < columnText(key(b), column);
        });
    }
    m_ranks.assign(n, 0);
    std::uint32_t rank = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        if (i > 0) {
            const protocol::FileItem &prev = key(order[i - 1]);
            const protocol::FileItem &cur = key(order[i]);
            const bool same = column == FileListModel::Size
                                  ? prev.fileSize == cur.fileSize
                                  : columnText(prev, column) == columnText(cur, column);
            if (!same)
                ++rank;
        }
        m_ranks[order[i]] = rank;
    }
    m_rankColumn = column;
    return true;
}

bool FileSortProxy::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    // Equal keys have equal ranks, so ties keep the order they had, as before.
    if (buildRanks(left.column()))
        return m_ranks[static_cast<std::size_t>(left.row())] <
               m_ranks[static_cast<std::size_t>(right.row())];
    const QVariant a = left.data(FileListModel::SortRole);
    const QVariant b = right.data(FileListModel::SortRole);
    if (left.column() == FileListModel::Size)
        return a.toLongLong() < b.toLongLong();
    return a.toByteArray() < b.toByteArray();
}

void FileSortProxy::setNameFilter(const QString &text)
{
    if (text == m_filterText)
        return;
    m_filterText = text;
    m_useWildcard = text.contains(QLatin1Char('*')) || text.contains(QLatin1Char('?'));
    if (m_useWildcard)
        m_wildcard = QRegularExpression(QRegularExpression::wildcardToRegularExpression(text),
                                        QRegularExpression::CaseInsensitiveOption);
    invalidateFilter();
}

bool FileSortProxy::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (m_filterText.isEmpty())
        return true;
    const QString name =
        m_files
            ? QString::fromStdString(m_files->file(sourceRow).fileName)
            : sourceModel()->index(sourceRow, FileListModel::Name, sourceParent).data().toString();
    if (m_useWildcard)
        return m_wildcard.match(name).hasMatch();
    return name.contains(m_filterText, Qt::CaseInsensitive);
}

QMimeData *FileSortProxy::mimeData(const QModelIndexList &indexes) const
{
    QModelIndexList ordered = indexes;
    std::sort(ordered.begin(), ordered.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QModelIndexList source;
    for (const QModelIndex &i : ordered)
        source.append(mapToSource(i));
    return sourceModel()->mimeData(source);
}

} // namespace views
