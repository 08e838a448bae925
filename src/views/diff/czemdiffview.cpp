#include "czemdiffview.h"

#include "diffcolours.h"
#include "diffrowmodel.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStyleOptionFocusRect>

#include <algorithm>

namespace views {

using compare::DiffRowKind;

namespace {

// Lines longer than this part at word boundaries in the changed-text highlight: a run of
// single changed characters scattered over a long line is harder to read than whole words.
constexpr int kWordSpanLength = 120;

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

bool isDifference(DiffRowKind kind)
{
    return kind == DiffRowKind::Inserted || kind == DiffRowKind::Changed ||
           kind == DiffRowKind::Deleted;
}

QString tabsShown(std::string_view text)
{
    QString line = QString::fromUtf8(text.data(), qsizetype(text.size()));
    line.replace(u'\t', QStringLiteral("\\t->"));
    return line;
}

} // namespace

CZemDiffView::CZemDiffView(int side, QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_side(side)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(false);
    m_headerModel = new QStandardItemModel(0, 1, this);
    m_header = new QHeaderView(Qt::Horizontal, this);
    m_header->setModel(m_headerModel);
    m_header->setSectionsClickable(false);
    m_header->setStretchLastSection(false);
    m_header->setSectionResizeMode(QHeaderView::Fixed);
    m_header->resizeSection(0, kColumnWidth);
    m_header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this](int) {
        // Emitted with the new position before the value follows it.
        emit topRowChangedByUser(verticalScrollBar()->sliderPosition());
    });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, m_header, &QHeaderView::setOffset);
    updateMetrics();
}

CZemDiffView::~CZemDiffView() = default;

void CZemDiffView::setLabel(const QString &label)
{
    m_headerModel->setHeaderData(0, Qt::Horizontal, label);
}

QString CZemDiffView::label() const
{
    return m_headerModel->headerData(0, Qt::Horizontal).toString();
}

void CZemDiffView::setModel(DiffRowModel *model, const CZemDiffView *partner)
{
    m_model = model;
    m_partner = partner;
    m_selected.assign(rowCount(), 0);
    m_selectedCount = 0;
    m_current = -1;
    m_anchor = 0;
    m_differenceCursor = m_bookmarkCursor = m_findCursor = 0;
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    viewport()->update();
    emit stateChanged();
}

std::size_t CZemDiffView::rowCount() const
{
    return m_model ? m_model->rowCount() : 0;
}

QString CZemDiffView::displayText(std::int32_t lineNumber, std::string_view text)
{
    if (lineNumber == 0)
        return QStringLiteral("      ") + tabsShown(text);
    return QString::asprintf("%05d ", int(lineNumber)) + tabsShown(text);
}

std::pair<int, int> CZemDiffView::differingSpan(const QString &text, const QString &other)
{
    const int n = int(text.size());
    const int m = int(other.size());
    int prefix = 0;
    while (prefix < n && prefix < m && text[prefix] == other[prefix])
        ++prefix;
    if (prefix == n && n == m)
        return {0, 0};
    int suffix = 0;
    while (suffix < n - prefix && suffix < m - prefix &&
           text[n - 1 - suffix] == other[m - 1 - suffix])
        ++suffix;
    int begin = prefix;
    int end = n - suffix;
    if (n > kWordSpanLength) {
        while (begin > 0 && isWordChar(text[begin - 1]) && isWordChar(text[begin]))
            --begin;
        while (end < n && end > 0 && isWordChar(text[end - 1]) && isWordChar(text[end]))
            ++end;
    }
    return {begin, end};
}

int CZemDiffView::topRow() const
{
    return verticalScrollBar()->value();
}

void CZemDiffView::setTopRow(int row)
{
    verticalScrollBar()->setValue(row);
}

int CZemDiffView::visibleRowCount() const
{
    return std::max(1, viewport()->height() / m_rowHeight);
}

void CZemDiffView::scrollToRowByUser(std::size_t row)
{
    setTopRow(int(row) - visibleRowCount() / 2);
    emit topRowChangedByUser(topRow());
}

void CZemDiffView::updateMetrics()
{
    m_rowHeight = std::max(1, QFontMetrics(font()).lineSpacing());
    const int headerHeight = m_header->sizeHint().height();
    setViewportMargins(0, headerHeight, 0, 0);
    const QRect contents = contentsRect();
    m_header->setGeometry(contents.left(), contents.top(), contents.width(), headerHeight);
    updateScrollBars();
}

void CZemDiffView::updateScrollBars()
{
    const int visible = visibleRowCount();
    QScrollBar *vertical = verticalScrollBar();
    vertical->setRange(0, std::max(0, int(rowCount()) - visible));
    vertical->setPageStep(visible);
    vertical->setSingleStep(1);
    QScrollBar *horizontal = horizontalScrollBar();
    horizontal->setRange(0, std::max(0, kColumnWidth - viewport()->width()));
    horizontal->setPageStep(viewport()->width());
    horizontal->setSingleStep(std::max(1, QFontMetrics(font()).averageCharWidth() * 4));
}

std::ptrdiff_t CZemDiffView::rowAt(int y) const
{
    if (y < 0)
        return -1;
    const std::size_t row = std::size_t(topRow()) + std::size_t(y / m_rowHeight);
    return row < rowCount() ? std::ptrdiff_t(row) : -1;
}

void CZemDiffView::setCurrent(std::size_t row)
{
    m_current = std::ptrdiff_t(row);
    ensureVisible(row);
    viewport()->update();
    emit stateChanged();
}

void CZemDiffView::ensureVisible(std::size_t row)
{
    const int top = topRow();
    const int visible = visibleRowCount();
    if (int(row) < top)
        setTopRow(int(row));
    else if (int(row) >= top + visible)
        setTopRow(int(row) - visible + 1);
}

void CZemDiffView::clearSelection()
{
    if (m_selectedCount != 0)
        std::fill(m_selected.begin(), m_selected.end(), 0);
    m_selectedCount = 0;
}

void CZemDiffView::setSelected(std::size_t row, bool selected)
{
    if ((m_selected[row] != 0) == selected)
        return;
    m_selected[row] = selected ? 1 : 0;
    if (selected)
        ++m_selectedCount;
    else
        --m_selectedCount;
}

void CZemDiffView::selectRange(std::size_t from, std::size_t to)
{
    if (from > to)
        std::swap(from, to);
    for (std::size_t row = from; row <= to; ++row)
        setSelected(row, true);
}

void CZemDiffView::userMadeCurrentSelected(std::size_t row)
{
    m_differenceCursor = m_bookmarkCursor = m_findCursor = row;
    setCurrent(row);
}

void CZemDiffView::selectRow(std::size_t row)
{
    if (row >= rowCount())
        return;
    clearSelection();
    setSelected(row, true);
    m_anchor = row;
    userMadeCurrentSelected(row);
}

void CZemDiffView::mousePressEvent(QMouseEvent *event)
{
    setFocus(Qt::MouseFocusReason);
    const std::ptrdiff_t hit = rowAt(int(event->position().y()));
    if (hit < 0 || event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const std::size_t row = std::size_t(hit);
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (modifiers & Qt::ControlModifier) {
        setSelected(row, !isSelected(row));
        m_anchor = row;
        if (isSelected(row))
            userMadeCurrentSelected(row);
        else
            setCurrent(row);
        return;
    }
    if (modifiers & Qt::ShiftModifier) {
        clearSelection();
        selectRange(m_anchor, row);
        userMadeCurrentSelected(row);
        return;
    }
    selectRow(row);
}

void CZemDiffView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || rowCount() == 0)
        return;
    const int y = std::clamp(int(event->position().y()), 0, viewport()->height() - 1);
    std::ptrdiff_t hit = rowAt(y);
    if (hit < 0)
        hit = std::ptrdiff_t(rowCount()) - 1;
    if (hit == m_current)
        return;
    clearSelection();
    selectRange(m_anchor, std::size_t(hit));
    userMadeCurrentSelected(std::size_t(hit));
}

void CZemDiffView::moveCurrentByKey(std::ptrdiff_t to, Qt::KeyboardModifiers modifiers)
{
    const std::ptrdiff_t last = std::ptrdiff_t(rowCount()) - 1;
    const std::size_t row = std::size_t(std::clamp<std::ptrdiff_t>(to, 0, last));
    if (modifiers & Qt::ShiftModifier) {
        clearSelection();
        selectRange(m_anchor, row);
        userMadeCurrentSelected(row);
    } else if (modifiers & Qt::ControlModifier) {
        setCurrent(row); // focus moves, the selection stays
    } else {
        selectRow(row);
    }
}

void CZemDiffView::keyPressEvent(QKeyEvent *event)
{
    if (rowCount() == 0) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const std::ptrdiff_t current = m_current < 0 ? 0 : m_current;
    const std::ptrdiff_t page = visibleRowCount();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    switch (event->key()) {
    case Qt::Key_Up:
        moveCurrentByKey(m_current < 0 ? 0 : current - 1, modifiers);
        break;
    case Qt::Key_Down:
        moveCurrentByKey(m_current < 0 ? 0 : current + 1, modifiers);
        break;
    case Qt::Key_PageUp:
        moveCurrentByKey(current - page, modifiers);
        break;
    case Qt::Key_PageDown:
        moveCurrentByKey(current + page, modifiers);
        break;
    case Qt::Key_Home:
        moveCurrentByKey(0, modifiers);
        break;
    case Qt::Key_End:
        moveCurrentByKey(std::ptrdiff_t(rowCount()) - 1, modifiers);
        break;
    case Qt::Key_Space:
        if ((modifiers & Qt::ControlModifier) && m_current >= 0) {
            setSelected(std::size_t(m_current), !isSelected(std::size_t(m_current)));
            if (isSelected(std::size_t(m_current)))
                userMadeCurrentSelected(std::size_t(m_current));
            else
                setCurrent(std::size_t(m_current));
            break;
        }
        [[fallthrough]];
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CZemDiffView::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
    emit activated();
}

void CZemDiffView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void CZemDiffView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateMetrics();
}

void CZemDiffView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateMetrics();
}

void CZemDiffView::scrollContentsBy(int, int)
{
    viewport()->update();
}

bool CZemDiffView::nextDifference()
{
    for (std::size_t row = m_differenceCursor + 1; row < rowCount(); ++row) {
        if (isDifference(m_model->kind(m_side, row))) {
            m_differenceCursor = row;
            setCurrent(row);
            emit topRowChangedByUser(topRow());
            return true;
        }
    }
    return false;
}

bool CZemDiffView::previousDifference()
{
    for (std::size_t row = std::min(m_differenceCursor, rowCount()); row-- > 0;) {
        if (isDifference(m_model->kind(m_side, row))) {
            m_differenceCursor = row;
            setCurrent(row);
            emit topRowChangedByUser(topRow());
            return true;
        }
    }
    return false;
}

bool CZemDiffView::canToggleBookmark() const
{
    return m_current >= 0 && std::size_t(m_current) < rowCount() &&
           isSelected(std::size_t(m_current));
}

void CZemDiffView::toggleBookmark()
{
    if (!canToggleBookmark())
        return;
    for (std::size_t row = 0; row < rowCount(); ++row) {
        if (m_selected[row])
            m_model->setBold(m_side, row, !m_model->bold(m_side, row));
    }
    viewport()->update();
    emit stateChanged();
}

void CZemDiffView::nextBookmark()
{
    if (rowCount() == 0)
        return;
    std::size_t found = 0; // none: the first row
    for (std::size_t row = m_bookmarkCursor + 1; row < rowCount(); ++row) {
        if (m_model->bold(m_side, row)) {
            found = row;
            break;
        }
    }
    m_bookmarkCursor = found;
    setCurrent(found);
}

void CZemDiffView::previousBookmark()
{
    if (rowCount() == 0)
        return;
    std::size_t found = rowCount() - 1; // none: the last row
    for (std::size_t row = std::min(m_bookmarkCursor, rowCount()); row-- > 0;) {
        if (m_model->bold(m_side, row)) {
            found = row;
            break;
        }
    }
    m_bookmarkCursor = found;
    setCurrent(found);
}

bool CZemDiffView::canClearBookmarks() const
{
    return m_model && m_model->boldCount(m_side) != 0;
}

void CZemDiffView::clearBookmarks()
{
    if (!canClearBookmarks())
        return;
    for (std::size_t row = 0; row < rowCount(); ++row)
        m_model->setBold(m_side, row, false);
    viewport()->update();
    emit stateChanged();
}

bool CZemDiffView::find(const QString &text, bool down, bool matchCase)
{
    const std::size_t count = rowCount();
    if (count == 0)
        return false;
    const QString needle = matchCase ? text : text.toLower();
    auto matches = [&](std::size_t row) {
        const std::string_view line = m_model->text(m_side, row);
        QString haystack = QString::fromUtf8(line.data(), qsizetype(line.size()));
        if (!matchCase)
            haystack = haystack.toLower();
        return haystack.contains(needle);
    };
    std::ptrdiff_t found = -1;
    if (down) {
        for (std::size_t row = m_findCursor + 1; row < count && found < 0; ++row)
            if (matches(row))
                found = std::ptrdiff_t(row);
    } else {
        for (std::size_t row = std::min(m_findCursor, count); row-- > 0 && found < 0;)
            if (matches(row))
                found = std::ptrdiff_t(row);
    }
    const std::size_t to = found >= 0 ? std::size_t(found) : (down ? 0 : count - 1);
    m_findCursor = to;
    setCurrent(to);
    return found >= 0;
}

void CZemDiffView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    const QRect area = viewport()->rect();
    const int width = std::max(kColumnWidth, area.width());
    const int left = -horizontalScrollBar()->value();
    const std::size_t top = std::size_t(topRow());
    const std::size_t end =
        std::min(rowCount(), top + std::size_t(area.height() / m_rowHeight) + 2);
    int y = 0;
    for (std::size_t row = top; row < end; ++row, y += m_rowHeight)
        paintRow(painter, row, QRect(left, y, width, m_rowHeight));
    if (y < area.height())
        painter.fillRect(QRect(0, y, area.width(), area.height() - y),
                         kindColours(DiffRowKind::Same, palette()).background);
}

void CZemDiffView::paintRow(QPainter &painter, std::size_t row, const QRect &rect)
{
    const DiffRowKind kind = m_model->kind(m_side, row);
    const std::int32_t lineNumber = m_model->lineNumber(m_side, row);
    const QString shown = displayText(lineNumber, m_model->text(m_side, row));
    const bool selected = isSelected(row);
    KindColours colours = kindColours(kind, palette());
    if (selected)
        colours = {palette().color(QPalette::Highlight),
                   palette().color(QPalette::HighlightedText)};

    QFont rowFont = font();
    if (m_model->bold(m_side, row))
        rowFont.setWeight(QFont::Bold);
    painter.setFont(rowFont);
    painter.fillRect(rect, colours.background);

    // The characters that differ from the facing changed row, found for painted rows only.
    if (kind == DiffRowKind::Changed && !selected && m_partner && lineNumber != 0 &&
        m_model->kind(1 - m_side, row) == DiffRowKind::Changed) {
        const QString other =
            displayText(m_model->lineNumber(1 - m_side, row), m_model->text(1 - m_side, row));
        // Both start with the line number: compare what follows it.
        const int skip = int(shown.indexOf(u' ')) + 1;
        const int otherSkip = int(other.indexOf(u' ')) + 1;
        const auto [begin, end] = differingSpan(shown.mid(skip), other.mid(otherSkip));
        if (begin < end) {
            const QFontMetrics metrics(rowFont);
            const int x0 = metrics.horizontalAdvance(shown.left(skip + begin));
            const int x1 = metrics.horizontalAdvance(shown.left(skip + end));
            painter.fillRect(QRect(rect.left() + x0, rect.top(), x1 - x0, rect.height()),
                             changedTextBackground(palette()));
        }
    }
    painter.setPen(colours.text);
    painter.drawText(rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, shown);

    if (std::ptrdiff_t(row) == m_current && hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = QRect(0, rect.top(), viewport()->width(), rect.height());
        option.backgroundColor = colours.background;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

} // namespace views
