#include "views/browse/browseviews.h"

#include "views/browse/browseconstants.h"
#include "views/browse/foldertreemodel.h"
#include "views/common/sortimageheader.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>

namespace views {

FolderTreeView::FolderTreeView(QWidget *parent)
    : QTreeView(parent)
{
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    // Hovering over a collapsed folder opens it, so a drop can reach the folders below.
    setAutoExpandDelay(700);
}

// The effect for the node under `pos`: none unless it is a folder of a logged-on server.
static Qt::DropAction treeEffect(const QTreeView &view, const QMimeData *data, const QPoint &pos)
{
    const QModelIndex target = view.indexAt(pos);
    const auto *model = qobject_cast<const FolderTreeModel *>(view.model());
    if (!model || !target.isValid())
        return Qt::IgnoreAction;
    const protocol::ServerProfile *p = model->profile(target);
    const bool ok = model->kind(target) == FolderTreeModel::NodeKind::Folder && p && p->connected;
    return FolderTreeModel::dropEffect(data, ok);
}

// A copy offered to a drag that allows only a move is shown as a move, as the desktop's
// drag and drop always did.
static Qt::DropAction offered(Qt::DropAction effect, Qt::DropActions possible)
{
    if (effect == Qt::IgnoreAction || (possible & effect))
        return effect;
    return (possible & Qt::MoveAction) ? Qt::MoveAction : Qt::IgnoreAction;
}

void FolderTreeView::dragEnterEvent(QDragEnterEvent *event)
{
    QTreeView::dragEnterEvent(event);
    const QMimeData *dragged = event->mimeData();
    if (dragged->hasFormat(kMimeZemList) || dragged->hasFormat(kMimeZemTree) || dragged->hasUrls())
        event->accept();
}

void FolderTreeView::dragMoveEvent(QDragMoveEvent *event)
{
    QTreeView::dragMoveEvent(event);
    const Qt::DropAction effect =
        offered(treeEffect(*this, event->mimeData(), event->position().toPoint()),
                event->possibleActions());
    if (effect == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(effect);
    event->accept();
}

void FolderTreeView::dropEvent(QDropEvent *event)
{
    const QPoint pos = event->position().toPoint();
    const Qt::DropAction effect =
        offered(treeEffect(*this, event->mimeData(), pos), event->possibleActions());
    auto *m = qobject_cast<FolderTreeModel *>(model());
    if (effect == Qt::IgnoreAction || !m) {
        event->ignore();
        return;
    }
    // Hit-tested at the drop point, items only; the model tells the window.
    m->dropMimeData(event->mimeData(), effect, -1, -1, indexAt(pos));
    event->setDropAction(effect);
    event->accept();
    stopAutoScroll();
    setState(NoState);
    viewport()->update();
}

static void listDragEnter(QDropEvent *event, const ListDropRules &rules)
{
    const QMimeData *data = event->mimeData();
    if (data->hasFormat(kMimeZemList)) {
        // Files of the list dropped back on it: taken and ignored.
        event->setDropAction(Qt::MoveAction);
        event->accept();
        return;
    }
    if (data->hasUrls() && rules.accepts && rules.accepts()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        return;
    }
    event->ignore();
}

static void listDrop(QDropEvent *event, const ListDropRules &rules)
{
    const QMimeData *data = event->mimeData();
    if (data->hasFormat(kMimeZemList)) {
        event->accept();
        return;
    }
    if (data->hasUrls() && rules.accepts && rules.accepts() && rules.drop) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        rules.drop(data);
        return;
    }
    event->ignore();
}

FileDetailsView::FileDetailsView(QWidget *parent)
    : QTreeView(parent)
{
    setHeader(new SortImageHeader(this));
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
}

void FileDetailsView::startDrag(Qt::DropActions supportedActions)
{
    QTreeView::startDrag(supportedActions);
    emit dragFinished();
}

void FileDetailsView::dragEnterEvent(QDragEnterEvent *event)
{
    listDragEnter(event, dropRules);
}

void FileDetailsView::dragMoveEvent(QDragMoveEvent *event)
{
    listDragEnter(event, dropRules);
}

void FileDetailsView::dropEvent(QDropEvent *event)
{
    listDrop(event, dropRules);
}

FileIconView::FileIconView(QWidget *parent)
    : QListView(parent)
{
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
}

void FileIconView::startDrag(Qt::DropActions supportedActions)
{
    QListView::startDrag(supportedActions);
    emit dragFinished();
}

void FileIconView::dragEnterEvent(QDragEnterEvent *event)
{
    listDragEnter(event, dropRules);
}

void FileIconView::dragMoveEvent(QDragMoveEvent *event)
{
    listDragEnter(event, dropRules);
}

void FileIconView::dropEvent(QDropEvent *event)
{
    listDrop(event, dropRules);
}

} // namespace views
