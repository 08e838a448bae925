#pragma once

// One pane of a comparison window: the rows of one side of a DiffRowModel, drawn as
// "%05d %s" lines in the colours of their kind. Paints only the rows in view, so the number of
// rows costs nothing while scrolling. Keeps three row cursors (difference, bookmark, find),
// which all move to a row the user makes focused and selected. Everything here is for the UI
// thread.

#include <QAbstractScrollArea>

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

class QHeaderView;
class QStandardItemModel;

namespace views {

class DiffRowModel;

class CZemDiffView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    // The width of the pane's one column, whatever the window's width.
    static constexpr int kColumnWidth = 2000;

    explicit CZemDiffView(int side, QWidget *parent = nullptr);
    ~CZemDiffView() override;

    int side() const { return m_side; }
    void setLabel(const QString &label);
    QString label() const;
    // The rows to show (null: none); the model outlives the pane's use of it. `partner` is the
    // other side's pane, read for the characters that differ inside changed rows.
    void setModel(DiffRowModel *model, const CZemDiffView *partner);
    DiffRowModel *model() const { return m_model; }
    std::size_t rowCount() const;

    // A row as drawn: TABs as "\t->", then "%05d %s", or six spaces for a filler row.
    static QString displayText(std::int32_t lineNumber, std::string_view text);
    // Where the characters of `text` that differ from `other` begin and end (half-open, in
    // QChar units); an empty range when they are equal. Long lines part at word boundaries.
    static std::pair<int, int> differingSpan(const QString &text, const QString &other);

    // The focused row, or -1.
    std::ptrdiff_t currentRow() const { return m_current; }
    bool isSelected(std::size_t row) const { return m_selected[row] != 0; }
    std::size_t selectedCount() const { return m_selectedCount; }
    // As a click does: the row alone selected and focused; the cursors move to it.
    void selectRow(std::size_t row);
    std::size_t differenceCursor() const { return m_differenceCursor; }
    std::size_t bookmarkCursor() const { return m_bookmarkCursor; }
    std::size_t findCursor() const { return m_findCursor; }

    int topRow() const;
    void setTopRow(int row);
    int visibleRowCount() const; // rows that fit whole
    int rowHeight() const { return m_rowHeight; }
    // Scrolls so that `row` is in view, as the user scrolling there would: the partner
    // follows (topRowChangedByUser).
    void scrollToRowByUser(std::size_t row);

    // The commands. The difference and find commands return false when nothing was found.
    bool nextDifference();
    bool previousDifference();
    bool canToggleBookmark() const;
    void toggleBookmark();
    void nextBookmark();
    void previousBookmark();
    bool canClearBookmarks() const;
    void clearBookmarks();
    bool find(const QString &text, bool down, bool matchCase);

signals:
    // The user moved this pane's scroll bar (or a difference was stepped to): the other pane
    // takes the same top row.
    void topRowChangedByUser(int topRow);
    // Selection, focus or bookmarks changed: command states may change.
    void stateChanged();
    void activated();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateMetrics();
    void updateScrollBars();
    std::ptrdiff_t rowAt(int y) const;
    void setCurrent(std::size_t row); // focus only
    void ensureVisible(std::size_t row);
    void clearSelection();
    void setSelected(std::size_t row, bool selected);
    void selectRange(std::size_t from, std::size_t to);
    void userMadeCurrentSelected(std::size_t row);
    void moveCurrentByKey(std::ptrdiff_t to, Qt::KeyboardModifiers modifiers);
    void paintRow(QPainter &painter, std::size_t row, const QRect &rect);

    const int m_side;
    DiffRowModel *m_model = nullptr;
    const CZemDiffView *m_partner = nullptr;
    QHeaderView *m_header = nullptr;
    QStandardItemModel *m_headerModel = nullptr;
    int m_rowHeight = 16;
    std::vector<std::uint8_t> m_selected;
    std::size_t m_selectedCount = 0;
    std::ptrdiff_t m_current = -1;
    std::size_t m_anchor = 0;
    std::size_t m_differenceCursor = 0;
    std::size_t m_bookmarkCursor = 0;
    std::size_t m_findCursor = 0;
};

} // namespace views
