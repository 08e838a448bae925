#pragma once

// The item views of the browse window, with the drag and drop rules of the program's own
// formats: the tree takes drops on folders of logged-on servers (move for files from the
// list, copy otherwise); the file list takes files from the desktop only.

#include <QListView>
#include <QTreeView>

#include <functional>

namespace views {

class FolderTreeView : public QTreeView
{
    Q_OBJECT
public:
    explicit FolderTreeView(QWidget *parent = nullptr);
    bool isEditing() const { return state() == EditingState; }

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};

// Tells whether a drop of shell files on the list is taken now (the tree's server is
// logged on), and takes it.
struct ListDropRules
{
    std::function<bool()> accepts;
    std::function<void(const QMimeData *)> drop;
};

class FileDetailsView : public QTreeView
{
    Q_OBJECT
public:
    explicit FileDetailsView(QWidget *parent = nullptr);
    bool isEditing() const { return state() == EditingState; }
    ListDropRules dropRules;

signals:
    // A drag of rows ended, whatever its result.
    void dragFinished();

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};

class FileIconView : public QListView
{
    Q_OBJECT
public:
    explicit FileIconView(QWidget *parent = nullptr);
    bool isEditing() const { return state() == EditingState; }
    ListDropRules dropRules;

signals:
    void dragFinished();

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};

} // namespace views
