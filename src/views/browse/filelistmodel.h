#pragma once

// The file list: one row per file of the folder selected in the tree, with the seven columns
// of the file list (name, check-in date, update date, size, check-out path, user, address).
// Each row owns its FileItem record and the local state of its copy in the working folder.

#include "views/browse/browseresources.h"

#include <engine/localstate.h>
#include <protocol/records.h>

#include <QAbstractTableModel>
#include <QIcon>

#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace views {

// Column 3 text: "1,234,567" (groups of three, "," between), or with `unitSize` the
// abbreviated byte-size text (bytes, KB, MB, GB).
QString formatFileSize(std::int64_t size, bool unitSize);

class FileListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Name, CheckinDate, UpdateDate, Size, CheckoutPath, CheckoutUser, Address };
    static constexpr int kColumns = 7;
    // The raw value a column sorts by: the size as qint64, the others as UTF-8 bytes.
    static constexpr int SortRole = Qt::UserRole + 1;
    static constexpr int LocalStateRole = Qt::UserRole + 2;

    explicit FileListModel(const BrowseResources &resources, QObject *parent = nullptr);

    void setDisplayUnitSize(bool on);
    // Replaces every row; the local states start Unknown.
    void setFiles(std::vector<protocol::FileItem> files);
    void clear();
    // Removes the rows with these source rows.
    void removeRowsAt(std::vector<int> rows);
    // The states for the rows in their current order (as computed for `generation`).
    void setLocalStates(std::uint64_t generation, const std::vector<engine::LocalState> &states);
    // Counts every setFiles; a local-state answer for an older list is dropped.
    std::uint64_t generation() const { return m_generation; }

    int fileCount() const { return static_cast<int>(m_rows.size()); }
    const protocol::FileItem &file(int row) const
    {
        return m_rows[static_cast<std::size_t>(row)].item;
    }
    engine::LocalState localState(int row) const
    {
        return m_rows[static_cast<std::size_t>(row)].local;
    }
    const std::vector<protocol::FileItem> files() const;
    // The row of a file name; -1 when none.
    int rowOf(const std::string &fileName) const;
    void renameRow(int row, const std::string &newName);
    // A row's record after a check-out, undo or check-in changed it on the service; the
    // local state is looked at again.
    void setRecord(int row, const protocol::FileItem &record);

    // The desktop's palette changed: the row images are drawn again with its colours.
    void paletteChanged();

    // Called for every drag with the files in list order; returns the drag data or nullptr.
    using DragSource = std::function<QMimeData *(const std::vector<int> &rows)>;
    void setDragSource(DragSource source) { m_dragSource = std::move(source); }

    // QAbstractItemModel
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;

signals:
    // The user ended a label edit on a row with a new, non-empty name.
    void renameRequested(int row, const QString &newName);

private:
    struct Row
    {
        protocol::FileItem item;
        engine::LocalState local = engine::LocalState::Unknown;
    };
    QString text(const Row &row, int column) const;
    QIcon icon(const Row &row) const;

    const BrowseResources &m_resources;
    std::vector<Row> m_rows;
    bool m_unitSize = false;
    std::uint64_t m_generation = 0;
    DragSource m_dragSource;
    // Row icons by [checked out][local state], made once.
    mutable std::array<std::array<QIcon, 5>, 2> m_icons;
};

} // namespace views
