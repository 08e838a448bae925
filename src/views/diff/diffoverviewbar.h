#pragma once

// A narrow bar beside the right pane that shows where the differences lie in the whole
// comparison, and the part in view; a click scrolls there.

#include <QWidget>

namespace views {

class CZemDiffView;

class DiffOverviewBar : public QWidget
{
    Q_OBJECT
public:
    explicit DiffOverviewBar(CZemDiffView &pane, QWidget *parent = nullptr);
    QSize sizeHint() const override;
    // The row a click at height `y` scrolls to.
    std::size_t rowAt(int y) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    CZemDiffView &m_pane;
};

} // namespace views
