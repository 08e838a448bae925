#include "views/browse/filelistmodel.h"

#include "views/browse/browseconstants.h"

#include <QApplication>
#include <QLocale>
#include <QMimeData>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace views {

QString formatFileSize(std::int64_t size, bool unitSize)
{
    if (unitSize) {
        // As the old byte-size formatter: bytes below 1 KB, else three significant digits
        // (cut, not rounded) and KB, MB, GB, TB in steps of 1024.
        if (size < 1024)
            return QStringLiteral("%1 bytes").arg(size);
        static const char *const kUnits[] = {"KB", "MB", "GB", "TB"};
        double value = static_cast<double>(size) / 1024.0;
        std::size_t unit = 0;
        while (value >= 1024.0 && unit + 1 < std::size(kUnits)) {
            value /= 1024.0;
            ++unit;
        }
        const int decimals = value < 10.0 ? 2 : value < 100.0 ? 1 : 0;
        const double scale = decimals == 2 ? 100.0 : decimals == 1 ? 10.0 : 1.0;
        const double cut = std::floor(value * scale) / scale;
        return QStringLiteral("%1 %2").arg(cut, 0, 'f', decimals).arg(QLatin1String(kUnits[unit]));
    }
    // The grouping of the old number formatter: always "," every three digits, whatever the
    // desktop's locale, so 1234567 is 1,234,567.
    const QString digits = QString::number(size < 0 ? -size : size);
    QString grouped;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += QLatin1Char(',');
        grouped += digits[i];
    }
    return size < 0 ? QLatin1Char('-') + grouped : grouped;
}

FileListModel::FileListModel(const BrowseResources &resources, QObject *parent)
    : QAbstractTableModel(parent)
    , m_resources(resources)
{
}

void FileListModel::setDisplayUnitSize(bool on)
{
    if (m_unitSize == on)
        return;
    m_unitSize = on;
    if (!m_rows.empty())
        emit dataChanged(index(0, Size), index(rowCount() - 1, Size), {Qt::DisplayRole});
}

void FileListModel::setFiles(std::vector<protocol::FileItem> files)
{
    beginResetModel();
    ++m_generation;
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_rows.reserve(files.size());
    for (protocol::FileItem &f : files)
        m_rows.push_back(Row{std::move(f), engine::LocalState::Unknown});
    endResetModel();
}

void FileListModel::clear()
{
    setFiles({});
}

void FileListModel::removeRowsAt(std::vector<int> rows)
{
    std::sort(rows.begin(), rows.end(), std::greater<>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // One removal per run of neighbouring rows, from the bottom up: every signal and every
    // erase costs a pass over the rows after it, so removing all 100,000 rows of a folder one
    // by one took most of a minute.
    std::size_t i = 0;
    while (i < rows.size()) {
        const int last = rows[i];
        if (last < 0 || last >= rowCount()) {
            ++i;
            continue;
        }
        int first = last;
        while (i + 1 < rows.size() && rows[i + 1] == first - 1 && first - 1 >= 0) {
            --first;
            ++i;
        }
        ++i;
        beginRemoveRows({}, first, last);
        m_rows.erase(m_rows.begin() + first, m_rows.begin() + last + 1);
        endRemoveRows();
    }
}

void FileListModel::setLocalStates(std::uint64_t generation,
                                   const std::vector<engine::LocalState> &states)
{
    if (generation != m_generation || states.size() != m_rows.size())
        return;
    for (std::size_t i = 0; i < states.size(); ++i)
        m_rows[i].local = states[i];
    if (!m_rows.empty())
        emit dataChanged(index(0, Name), index(rowCount() - 1, Name),
                         {Qt::DecorationRole, Qt::ToolTipRole, LocalStateRole});
}

const std::vector<protocol::FileItem> FileListModel::files() const
{
    std::vector<protocol::FileItem> all;
    all.reserve(m_rows.size());
    for (const Row &r : m_rows)
        all.push_back(r.item);
    return all;
}

int FileListModel::rowOf(const std::string &fileName) const
{
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].item.fileName == fileName)
            return static_cast<int>(i);
    }
    return -1;
}

void FileListModel::renameRow(int row, const std::string &newName)
{
    if (row < 0 || row >= rowCount())
        return;
    m_rows[static_cast<std::size_t>(row)].item.fileName = newName;
    m_rows[static_cast<std::size_t>(row)].local = engine::LocalState::Unknown;
    emit dataChanged(index(row, 0), index(row, kColumns - 1));
}

void FileListModel::setRecord(int row, const protocol::FileItem &record)
{
    if (row < 0 || row >= rowCount())
        return;
    Row &r = m_rows[static_cast<std::size_t>(row)];
    r.item = record;
    r.local = engine::LocalState::Unknown;
    emit dataChanged(index(row, 0), index(row, kColumns - 1));
}

int FileListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int FileListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QString FileListModel::text(const Row &row, int column) const
{
    const protocol::FileItem &f = row.item;
    switch (column) {
    case Name:
        return QString::fromStdString(f.fileName);
    case CheckinDate:
        return QString::fromStdString(f.checkinDate);
    case UpdateDate:
        return QString::fromStdString(f.updateDate);
    case Size:
        return formatFileSize(f.fileSize, m_unitSize);
    case CheckoutPath:
        return QString::fromStdString(f.checkoutPath);
    case CheckoutUser:
        return QString::fromStdString(f.checkoutUser);
    case Address:
        return QString::fromStdString(f.ipAddress);
    default:
        return {};
    }
}

static int localTextId(engine::LocalState state)
{
    switch (state) {
    case engine::LocalState::NotPresent:
        return browsestr::LocalNotPresent;
    case engine::LocalState::ReadOnly:
        return browsestr::LocalReadOnly;
    case engine::LocalState::Writable:
        return browsestr::LocalWritable;
    case engine::LocalState::SizeDiffers:
        return browsestr::LocalSizeDiffers;
    case engine::LocalState::Unknown:
        break;
    }
    return 0;
}

// A small mark in the lower right corner of the row image, drawn with the palette's colours
// so it reads on light and dark desktops alike.
static void drawOverlay(QPainter &p, engine::LocalState state, const QPalette &palette)
{
    const QRect box(8, 8, 8, 8);
    switch (state) {
    case engine::LocalState::Unknown:
        return;
    case engine::LocalState::NotPresent:
        p.setPen(QPen(palette.color(QPalette::PlaceholderText), 1));
        p.setBrush(palette.color(QPalette::Base));
        p.drawEllipse(box.adjusted(0, 0, -1, -1));
        return;
    case engine::LocalState::ReadOnly:
        p.setPen(QPen(palette.color(QPalette::Text), 1));
        p.setBrush(palette.color(QPalette::Base));
        p.drawRect(box.adjusted(1, 3, -2, -1));
        p.drawArc(QRect(10, 8, 4, 5), 0, 180 * 16);
        return;
    case engine::LocalState::Writable:
        p.setPen(Qt::NoPen);
        p.setBrush(palette.color(QPalette::Highlight));
        p.drawEllipse(box.adjusted(0, 0, -1, -1));
        return;
    case engine::LocalState::SizeDiffers:
        p.setPen(QPen(palette.color(QPalette::HighlightedText), 1));
        p.setBrush(palette.color(QPalette::Link));
        p.drawEllipse(box.adjusted(0, 0, -1, -1));
        p.drawLine(12, 9, 12, 12);
        p.drawPoint(12, 14);
        return;
    }
}

QIcon FileListModel::icon(const Row &row) const
{
    const int out = row.item.checkoutPath.empty() ? 0 : 1;
    const auto local = static_cast<std::size_t>(row.local);
    QIcon &cached = m_icons[static_cast<std::size_t>(out)][local];
    if (cached.isNull()) {
        QPixmap base = m_resources.image(out ? browseimg::FileCheckedOut : browseimg::File);
        if (base.isNull()) {
            base = QPixmap(16, 16);
            base.fill(Qt::transparent);
        }
        // The small image and one of twice its size for the large-icon view: an icon made of
        // a 16-pixel image alone is drawn 16 pixels wide in a 32-pixel cell.
        for (const int scale : {1, 2}) {
            QPixmap composed = scale == 1 ? base.copy()
                                          : base.scaled(base.size() * scale, Qt::KeepAspectRatio,
                                                        Qt::FastTransformation);
            {
                QPainter p(&composed);
                p.setRenderHint(QPainter::Antialiasing);
                p.scale(scale, scale);
                drawOverlay(p, row.local, QApplication::palette());
            }
            cached.addPixmap(composed);
        }
    }
    return cached;
}

void FileListModel::paletteChanged()
{
    for (auto &byState : m_icons)
        for (QIcon &i : byState)
            i = QIcon();
    if (!m_rows.empty())
        emit dataChanged(index(0, Name), index(rowCount() - 1, Name), {Qt::DecorationRole});
}

QVariant FileListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Row &row = m_rows[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return text(row, index.column());
    case Qt::DecorationRole:
        return index.column() == Name ? QVariant(icon(row)) : QVariant();
    case Qt::ToolTipRole:
        if (index.column() == Name && row.local != engine::LocalState::Unknown)
            return m_resources.tr(localTextId(row.local));
        return {};
    case Qt::TextAlignmentRole:
        return index.column() == Size ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter))
                                      : QVariant(int(Qt::AlignLeft | Qt::AlignVCenter));
    case SortRole:
        if (index.column() == Size)
            return QVariant::fromValue<qint64>(row.item.fileSize);
        return text(row, index.column()).toUtf8();
    case LocalStateRole:
        return static_cast<int>(row.local);
    default:
        return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumns)
        return {};
    if (role == Qt::DisplayRole)
        return m_resources.tr(browsestr::FirstFileColumn + section);
    if (role == Qt::TextAlignmentRole)
        return section == Size ? int(Qt::AlignRight | Qt::AlignVCenter)
                               : int(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

bool FileListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.column() != Name)
        return false;
    const QString name = value.toString();
    if (!name.isEmpty() && name != text(m_rows[static_cast<std::size_t>(index.row())], Name))
        emit renameRequested(index.row(), name);
    // The row keeps its record's name until the service agreed to the new one.
    return false;
}

Qt::ItemFlags FileListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags f =
        Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
    if (index.column() == Name)
        f |= Qt::ItemIsEditable;
    return f;
}

QStringList FileListModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list")};
}

QMimeData *FileListModel::mimeData(const QModelIndexList &indexes) const
{
    if (!m_dragSource)
        return nullptr;
    // Each row once, in the order given; a flag per row keeps this linear for a drag of
    // every row of a large folder (the indexes hold one entry per column).
    std::vector<int> rows;
    std::vector<bool> seen(m_rows.size());
    for (const QModelIndex &i : indexes) {
        if (!i.isValid() || i.row() >= rowCount() || seen[static_cast<std::size_t>(i.row())])
            continue;
        seen[static_cast<std::size_t>(i.row())] = true;
        rows.push_back(i.row());
    }
    return rows.empty() ? nullptr : m_dragSource(rows);
}

Qt::DropActions FileListModel::supportedDragActions() const
{
    return Qt::MoveAction;
}

Qt::DropActions FileListModel::supportedDropActions() const
{
    return Qt::CopyAction | Qt::MoveAction;
}

} // namespace views
