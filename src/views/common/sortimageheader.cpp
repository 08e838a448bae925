#include "views/common/sortimageheader.h"

#include <QPainter>
#include <QPixmap>
#include <QStyleOptionHeader>

#include <algorithm>

namespace views {

SortImageHeader::SortImageHeader(QWidget *parent)
    : QHeaderView(Qt::Horizontal, parent)
{
}

static QPixmap sectionImage(const QHeaderView &header, int logicalIndex)
{
    const QAbstractItemModel *model = header.model();
    if (!model)
        return {};
    const QVariant image =
        model->headerData(logicalIndex, header.orientation(), Qt::DecorationRole);
    return image.canConvert<QPixmap>() ? image.value<QPixmap>() : QPixmap();
}

// The gap between the title and the image.
constexpr int kImageGap = 4;

void SortImageHeader::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    const QPixmap image = sectionImage(*this, logicalIndex);
    if (image.isNull()) {
        QHeaderView::paintSection(painter, rect, logicalIndex);
        return;
    }
    QStyleOptionHeaderV2 option;
    initStyleOption(&option);
    initStyleOptionForIndex(&option, logicalIndex);
    option.rect = rect;
    option.icon = QIcon();
    painter->save();
    painter->setBrushOrigin(rect.topLeft());
    style()->drawControl(QStyle::CE_HeaderSection, &option, painter, this);

    const QRect label = style()->subElementRect(QStyle::SE_HeaderLabel, &option, this);
    const QSize imageSize = image.deviceIndependentSize().toSize();
    const int room = imageSize.width() + kImageGap;
    // The title takes what the image leaves. Left- or centre-aligned, the title and the image
    // go together (at the left, or centred); right-aligned, the title ends before the image.
    QRect title = label.adjusted(0, 0, -room, 0);
    if (!(option.textAlignment & Qt::AlignRight)) {
        const int width =
            std::min(title.width(), option.fontMetrics.horizontalAdvance(option.text));
        if (option.textAlignment & Qt::AlignHCenter)
            title.moveLeft(label.left() + (label.width() - width - room) / 2);
        title.setWidth(width);
    }
    QStyleOptionHeaderV2 text = option;
    text.rect = title;
    style()->drawControl(QStyle::CE_HeaderLabel, &text, painter, this);
    const int x = std::min(title.right() + 1 + kImageGap, label.right() + 1 - imageSize.width());
    const int y = label.top() + (label.height() - imageSize.height()) / 2;
    painter->setClipRect(rect);
    painter->drawPixmap(QPoint(std::max(x, rect.left()), y), image);
    painter->restore();
}

QSize SortImageHeader::sectionSizeFromContents(int logicalIndex) const
{
    // Qt counts a decoration in already; only the gap differs.
    return QHeaderView::sectionSizeFromContents(logicalIndex) + QSize(kImageGap, 0);
}

} // namespace views
