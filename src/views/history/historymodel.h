#pragma once

// The rows of a history window: one per HistoryItem, in the order the service sent them until
// a column is sorted. Two layouts: a folder's history names the file of each row, a file's
// history does not. Also the rules that map the shown columns onto the nine shared entries of
// the "ColHistory" and "ColHistoryOrder" settings.

#include <protocol/records.h>

#include <QAbstractTableModel>
#include <QPixmap>

#include <array>
#include <cstdint>
#include <vector>

namespace views {

enum class HistoryLayout { File = 0, Folder = 1 };

// Where a layout's columns live in the nine shared entries: the folder layout uses 4 to 8,
// the file layout 0 to 3.
struct HistoryColumnSpan
{
    int first;
    int count;
};
HistoryColumnSpan historyColumnSpan(HistoryLayout layout);

// Replaces the layout's entries of `entries` with `values` (one per shown column); entries of
// the other layout stay as they were.
void storeHistoryColumns(std::array<std::int32_t, 9> &entries, HistoryLayout layout,
                         const std::vector<int> &values);

class HistoryModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // The data fields; a column shows one of them.
    enum class Field { FileName, Version, User, Date, Comment };

    explicit HistoryModel(HistoryLayout layout, QObject *parent = nullptr);

    HistoryLayout layout() const { return m_layout; }
    void setItems(std::vector<protocol::HistoryItem> items);
    const std::vector<protocol::HistoryItem> &items() const { return m_items; }
    const protocol::HistoryItem &item(int row) const { return m_items[std::size_t(row)]; }

    Field fieldOf(int column) const;
    // The header text string of each column and its default width.
    int titleString(int column) const;
    int defaultWidth(int column) const;

    // A header click: the first click on a column sorts it descending (the highest version
    // first), the next ascending, each field keeping its own direction. Versions compare as
    // numbers, every other column by the bytes of its text; ties keep their order.
    void clickColumn(int column);
    int sortedColumn() const { return m_lastColumn; }
    // 11 (ascending) or 12 (descending) for the sorted column's header; -1 before a click.
    int headerImage() const { return m_headerImage; }
    void setHeaderImages(QPixmap ascending, QPixmap descending);
    void setHeaderTexts(std::vector<QString> texts) { m_headerTexts = std::move(texts); }
    void setRowImage(QPixmap image) { m_rowImage = std::move(image); }

    // A roll back to `version`: the rows below the first row (from the top) of that version go;
    // nothing changes when no row has it. Returns the number of rows removed.
    int dropBelowVersion(std::int32_t version);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString text(const protocol::HistoryItem &item, Field field) const;

    HistoryLayout m_layout;
    std::vector<protocol::HistoryItem> m_items;
    std::array<bool, 5> m_flags{}; // one direction per field, set = descending
    int m_lastColumn = -1;
    int m_headerImage = -1;
    QPixmap m_ascending;
    QPixmap m_descending;
    QPixmap m_rowImage;
    std::vector<QString> m_headerTexts;
};

} // namespace views
