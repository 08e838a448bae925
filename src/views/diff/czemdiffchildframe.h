#pragma once

// The comparison window: two panes side by side (first file left, second right) with an
// overview bar, its own toolbar, and a status bar whose three parts are the colour legend.
// The comparison runs on a worker thread: the window shows at once with a busy indicator and
// can be closed while it runs. The temporary files it was given are deleted when it closes,
// and when the program ends with the window still open. Everything here is for the UI thread.

#include <views/common/viewtexts.h>
#include <views/compare/textcomparer.h>

#include <QMainWindow>
#include <QStringList>

#include <atomic>
#include <map>
#include <memory>
#include <thread>

class QAction;
class QLabel;
class QProgressBar;

namespace views {

class CZemDiffView;
class DiffOverviewBar;
class DiffRowModel;
class FindDialog;

struct DiffRequest
{
    QString leftPath;
    QString rightPath;
    QString leftLabel; // the panes' column titles
    QString rightLabel;
    QString title; // the window's title
    // Files this window owns (fetched versions): deleted when it closes.
    QStringList temporaryFiles;
};

class CZemDiffChildFrame : public QMainWindow
{
    Q_OBJECT
public:
    explicit CZemDiffChildFrame(ViewTexts texts, QWidget *parent = nullptr);
    // Stops the comparison if it still runs (waits for it), then deletes the temporary files.
    ~CZemDiffChildFrame() override;

    // Starts comparing the two files and returns at once; comparisonFinished() follows. Once
    // per window.
    void start(const DiffRequest &request);
    bool isComparing() const { return m_comparing; }
    compare::CompareStatus status() const { return m_status; }
    const DiffRowModel *model() const { return m_model.get(); }
    const DiffRequest &request() const { return m_request; }

    CZemDiffView *leftPane() const { return m_panes[0]; }
    CZemDiffView *rightPane() const { return m_panes[1]; }
    // The pane the commands apply to: the one that last had the focus (the left at first).
    CZemDiffView *activePane() const { return m_active; }
    DiffOverviewBar *overviewBar() const { return m_overview; }
    FindDialog *findDialog() const { return m_findDialog; }
    QAction *action(int id) const;

    // The commands of the toolbar. The difference commands show message 2012 (a plain
    // message box) when there is no further difference.
    void nextDifference();
    void previousDifference();
    void toggleBookmark();
    void nextBookmark();
    void previousBookmark();
    void clearBookmarks();
    // Opens the find dialog, unless one is open.
    void find();
    // What the find dialog's "Find Next" asks for, on the active pane.
    void findNext(const QString &text, bool down, bool matchCase);

    // Deletes the temporary files now; a failure is ignored. Done once.
    void deleteTemporaryFiles();

signals:
    void comparisonFinished();

private:
    void buildActions();
    void buildStatusBar();
    void updateCommandStates();
    void setActive(CZemDiffView *pane);
    void finish(std::unique_ptr<DiffRowModel> model, compare::CompareStatus status);
    void stopWorker();
    void showNoMoreDifferences();

    ViewTexts m_texts;
    DiffRequest m_request;
    CZemDiffView *m_panes[2] = {nullptr, nullptr};
    CZemDiffView *m_active = nullptr;
    DiffOverviewBar *m_overview = nullptr;
    FindDialog *m_findDialog = nullptr;
    QLabel *m_busyText = nullptr;
    QProgressBar *m_busy = nullptr;
    std::map<int, QAction *> m_actions;
    std::unique_ptr<DiffRowModel> m_model;
    compare::CompareStatus m_status = compare::CompareStatus::NoDifferences;
    bool m_comparing = false;
    bool m_started = false;
    bool m_filesDeleted = false;
    std::atomic<bool> m_cancel{false};
    std::thread m_worker;
};

} // namespace views
