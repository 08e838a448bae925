#pragma once

// The lines of the message pane: text and image (10 success, 9 failure, warning or
// cancellation), in the order they came. Every line added is also appended to the log.

#include <QAbstractListModel>
#include <QIcon>

#include <functional>
#include <vector>

namespace views {

class MessageModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit MessageModel(QObject *parent = nullptr);

    // Gives the icon of an image number.
    void setImages(std::function<QIcon(int image)> images) { m_images = std::move(images); }

    void append(int image, const QString &text);
    // Removes every line; the log file keeps them.
    void clear();

    int imageAt(int row) const { return m_lines[static_cast<std::size_t>(row)].image; }
    const QString &textAt(int row) const { return m_lines[static_cast<std::size_t>(row)].text; }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

signals:
    // A line was appended (the log writes it).
    void lineAppended(int image, const QString &text);

private:
    struct Line
    {
        int image = 0;
        QString text;
    };
    std::vector<Line> m_lines;
    std::function<QIcon(int)> m_images;
};

} // namespace views
