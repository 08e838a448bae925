#include "views/browse/messagemodel.h"

namespace views {

MessageModel::MessageModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

void MessageModel::append(int image, const QString &text)
{
    const int row = rowCount();
    beginInsertRows({}, row, row);
    m_lines.push_back(Line{image, text});
    endInsertRows();
    emit lineAppended(image, text);
}

void MessageModel::clear()
{
    if (m_lines.empty())
        return;
    beginResetModel();
    m_lines.clear();
    endResetModel();
}

int MessageModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_lines.size());
}

QVariant MessageModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Line &line = m_lines[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return line.text;
    if (role == Qt::DecorationRole && m_images)
        return m_images(line.image);
    return {};
}

} // namespace views
