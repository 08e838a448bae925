#pragma once

// A list header that draws a section's image (the sort direction of the last clicked column)
// at the right of its title, where list headers have always shown it, rather than where Qt
// puts a decoration, before the title.

#include <QHeaderView>

namespace views {

class SortImageHeader : public QHeaderView
{
    Q_OBJECT
public:
    explicit SortImageHeader(QWidget *parent = nullptr);

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;
    QSize sectionSizeFromContents(int logicalIndex) const override;
};

} // namespace views
