#pragma once

// Sorting and filtering of the file list. A column click sorts by that column: sizes as
// numbers, every other column (dates too) by the bytes of its text, case-sensitive; the first
// click on a column sorts descending (largest size first), the next ascending, and so on,
// each column keeping its own direction. Ties keep the order they had. The filter narrows the
// rows by name: a substring, or a wildcard pattern over the whole name when the text holds "*"
// or "?"; both ignore letter case.

#include <QPixmap>
#include <QRegularExpression>
#include <QSortFilterProxyModel>

#include <array>
#include <cstdint>
#include <vector>

namespace views {

class FileListModel;

class FileSortProxy : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit FileSortProxy(QObject *parent = nullptr);

    // A click on column `column`'s header.
    void clickColumn(int column);
    int sortedColumn() const { return m_lastColumn; }
    // The image the sorted column's header shows (11 or 12); -1 before the first click.
    int headerImage() const { return m_headerImage; }
    void setHeaderImages(QPixmap ascending, QPixmap descending);

    void setNameFilter(const QString &text);
    const QString &nameFilter() const { return m_filterText; }

    // The drag data of these rows, in the order the list shows them.
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void setSourceModel(QAbstractItemModel *model) override;

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    void dropRanks() const { m_rankColumn = -1; }
    bool buildRanks(int column) const;

    std::array<bool, 7> m_flags{};
    // The rank of each source row's key in the column m_rankColumn (equal keys, equal ranks),
    // made once a sort from the records, so that the sort itself compares two integers.
    mutable std::vector<std::uint32_t> m_ranks;
    mutable int m_rankColumn = -1;
    const FileListModel *m_files = nullptr; // the source, when it is a file list
    int m_lastColumn = -1;
    int m_headerImage = -1;
    QPixmap m_ascending;
    QPixmap m_descending;
    QString m_filterText;
    QRegularExpression m_wildcard;
    bool m_useWildcard = false;
};

} // namespace views
