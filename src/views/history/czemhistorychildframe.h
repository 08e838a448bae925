#pragma once

// A history window: the history of one file or of a folder, as GetHistoryList returned it,
// in one list (CZemHistoryListView). The frame carries what the history command handed it:
// the layout, the path, the rows and its own copy of the server profile; the list keeps its
// column widths and order in the settings when the window goes.

#include "views/browse/browseresources.h"
#include "views/history/historymodel.h"

#include <protocol/records.h>

#include <QPointer>
#include <QTreeView>
#include <QWidget>

#include <string>
#include <vector>

namespace config {
class Settings;
}

namespace views {

class BrowseWindow;

// What the history command hands a new history window.
struct HistoryRequest
{
    HistoryLayout layout = HistoryLayout::File;
    // A folder's path, or the folder path, "\" and the file name of a file.
    std::string path;
    protocol::ServerProfile profile;
    std::vector<protocol::HistoryItem> items;
    // The browse window whose selection the history came from; its tree decides the server
    // paths of the compare and get commands.
    QPointer<BrowseWindow> origin;
};

class CZemHistoryListView : public QTreeView
{
    Q_OBJECT
public:
    CZemHistoryListView(HistoryModel &model, QWidget *parent = nullptr);

    HistoryModel &historyModel() { return m_model; }
    // The selected rows (model rows) in the order the list shows them.
    std::vector<int> selectedRows() const;
    // The focused row when it is selected, else -1.
    int focusedSelectedRow() const;
    void selectAllRows();
    void invertSelection();

signals:
    void contextMenuRequested(const QPoint &globalPos);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    HistoryModel &m_model;
};

class CZemHistoryChildFrame : public QWidget
{
    Q_OBJECT
public:
    CZemHistoryChildFrame(const BrowseResources &resources, config::Settings &settings,
                          HistoryRequest request, QWidget *parent = nullptr);
    ~CZemHistoryChildFrame() override;

    // The window title (string 187 for a file, 192 for a folder, with the path).
    QString title() const;
    HistoryLayout layout() const { return m_model.layout(); }
    const std::string &path() const { return m_path; }
    const protocol::ServerProfile &profile() const { return m_profile; }
    BrowseWindow *origin() const { return m_origin.data(); }

    CZemHistoryListView *list() const { return m_list; }
    HistoryModel &model() { return m_model; }
    int rowCount() const { return m_model.rowCount(); }

    // The server path of the file of model row `row`: the window's own path for a file's
    // history, the row's name (the service names it from the top) for a folder's.
    std::string rowPath(int row) const;
    // The name of that file without its folders.
    std::string rowFileName(int row) const;

    // A roll back of `path` to `version` happened: when the path is this window's, the rows
    // below the first row of that version go.
    void rolledBack(std::int32_t version, const std::string &path);

    // Writes the shown layout's column widths and order into "ColHistory"/"ColHistoryOrder";
    // the other layout's entries keep their values. Also done when the window goes.
    void saveColumns();

signals:
    void selectionChanged();
    void contextMenuRequested(const QPoint &globalPos);

private:
    void applyColumns();

    const BrowseResources &m_resources;
    config::Settings &m_settings;
    std::string m_path;
    protocol::ServerProfile m_profile;
    QPointer<BrowseWindow> m_origin;
    HistoryModel m_model;
    CZemHistoryListView *m_list = nullptr;
    bool m_saved = false;
};

} // namespace views
