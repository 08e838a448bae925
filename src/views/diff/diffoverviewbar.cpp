#include "diffoverviewbar.h"

#include "czemdiffview.h"
#include "diffcolours.h"
#include "diffrowmodel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace views {

DiffOverviewBar::DiffOverviewBar(CZemDiffView &pane, QWidget *parent)
    : QWidget(parent)
    , m_pane(pane)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    setCursor(Qt::PointingHandCursor);
    connect(m_pane.verticalScrollBar(), &QScrollBar::valueChanged, this,
            qOverload<>(&QWidget::update));
    connect(m_pane.verticalScrollBar(), &QScrollBar::rangeChanged, this,
            qOverload<>(&QWidget::update));
}

QSize DiffOverviewBar::sizeHint() const
{
    return QSize(14, 100);
}

std::size_t DiffOverviewBar::rowAt(int y) const
{
    const std::size_t rows = m_pane.rowCount();
    if (rows == 0 || height() <= 0)
        return 0;
    const double share = std::clamp(double(y) / double(height()), 0.0, 1.0);
    return std::min(rows - 1, std::size_t(share * double(rows)));
}

void DiffOverviewBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    const DiffRowModel *model = m_pane.model();
    if (!model || model->rowCount() == 0)
        return;
    const double rows = double(model->rowCount());
    const double scale = double(height()) / rows;
    // Every block gets at least one pixel, so a single changed line of a huge file shows.
    for (const DiffRowModel::Block &block : model->blocks()) {
        const int y0 = int(double(block.firstRow) * scale);
        const int y1 = std::max(y0 + 1, int(double(block.firstRow + block.rowCount) * scale));
        painter.fillRect(QRect(2, y0, width() - 4, y1 - y0),
                         kindColours(block.kind, palette()).text);
    }
    const int top = int(double(m_pane.topRow()) * scale);
    const int bottom =
        std::max(top + 2, int(double(m_pane.topRow() + m_pane.visibleRowCount()) * scale));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawRect(QRect(0, top, width() - 1, std::min(bottom, height()) - top - 1));
}

void DiffOverviewBar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_pane.scrollToRowByUser(rowAt(int(event->position().y())));
}

void DiffOverviewBar::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        m_pane.scrollToRowByUser(rowAt(int(event->position().y())));
}

} // namespace views
