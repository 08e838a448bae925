#pragma once

// The modal progress dialog of a long operation (form 171): it runs the engine's worker on a
// thread of its own, shows what the worker reports (queued onto this thread, so the window
// never waits for the service), lets the user cancel, and ends by itself when the worker has
// ended. exec() returns Accepted (IDOK) when the worker ended by itself and Rejected
// (IDCANCEL) when the user cancelled.
//
// A run that is over within half a second never shows the window: until then the dialog
// only keeps the event loop going without user input, so a quick get does not flash.

#include "views/common/formdialog.h"

#include <engine/operations/operationrequest.h>
#include <engine/operations/operationrunner.h>
#include <engine/operations/recordchange.h>
#include <engine/stringtable.h>

#include <platform/resultcode.h>

#include <QElapsedTimer>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

class QEventLoop;
class QLabel;
class QProgressBar;
class QPushButton;
class QThread;

namespace engine {
class Operation;
class ProgressReporter;
struct LogEntry;
} // namespace engine

namespace views {

class LanguageModule;

// One finished line for the message pane: its image (10 success, 9 failure, warning or
// cancellation) and its text.
using LogLineSink = std::function<void(int image, const QString &text)>;
using RecordChangeSink = std::function<void(const engine::RecordChange &change)>;

// The language module's string table as the engine formats it (the same text the
// command-line client prints for a log entry).
engine::StringTable engineStrings(const LanguageModule &module);

// "1.2 MB of 50 MB, 3.4 MB/s, 12 s left" from the module's patterns; the speed and time left
// are left out while nothing is known about them (no time elapsed, total unknown).
QString transferText(const LanguageModule &module, std::int64_t done, std::int64_t total,
                     std::chrono::milliseconds elapsed);

class OperationDialog : public FormDialog
{
    Q_OBJECT
public:
    // The title comes from the kind (2022, 2028-2031, 2037, 2038). `factory` makes the
    // worker's service from the request's profile (engine::serviceClientFactory() for the
    // real one).
    OperationDialog(const LanguageModule &module, engine::OperationRequest request,
                    engine::ServiceFactory factory, QWidget *parent);
    ~OperationDialog() override;

    // Where finished log lines go (the browse window's message pane); called on this thread.
    void setLogSink(LogLineSink sink) { m_logSink = std::move(sink); }
    // Where changed records go (the file list rows, the folder tree); on this thread.
    void setRecordChangeSink(RecordChangeSink sink) { m_changeSink = std::move(sink); }
    // How long a run may take before the window appears (half a second unless changed).
    void setShowDelay(std::chrono::milliseconds delay) { m_showDelay = delay; }

    // Starts the worker and runs modally until it has ended. One run per dialog.
    int exec() override;

    // The worker's last result code (0x800704C7 after a cancel); valid after exec().
    platform::ResultCode resultCode() const { return m_result; }
    // True while the user has cancelled and the worker has not yet reached its next check.
    bool isCancelling() const { return m_state == State::Cancelling; }
    const engine::OperationRequest &request() const { return m_request; }
    // The unchanged-copy question of a check-in was answered "always undo" in this run.
    bool alwaysUndoUnchanged() const { return m_alwaysUndo; }

public slots:
    // The Cancel button, Escape and the close box: stop the worker at its next check.
    void reject() override;

private:
    enum class State { Starting, Running, Cancelling, Closed };
    friend class DialogReporter;

    // Called on this thread through queued calls from the worker.
    void onTotal(std::int64_t count);
    void onStep(std::int64_t count);
    void onSubTotal(std::int64_t total);
    void onSubPosition(std::int64_t position);
    void onItemText(const QString &text);
    void onStatusText(const QString &text);
    void onBytes(std::int64_t done, std::int64_t total);
    void onLog(const engine::LogEntry &entry);
    void onRecordChanged(const engine::RecordChange &change);
    void onWorkerEnded(platform::ResultCode rc);
    void emitLine(int image, const QString &text);
    // The one question of a check-in that meets an unchanged copy; blocks the worker until
    // it returns.
    engine::UnchangedCopy askUnchanged(const QString &localPath);

    engine::OperationRequest m_request;
    engine::ServiceFactory m_factory;
    engine::StringTable m_strings;
    LogLineSink m_logSink;
    RecordChangeSink m_changeSink;
    std::chrono::milliseconds m_showDelay{500};

    std::unique_ptr<engine::ProgressReporter> m_reporter;
    std::unique_ptr<engine::Operation> m_operation;
    QThread *m_thread = nullptr; // owned; joined before the operation goes
    State m_state = State::Starting;
    bool m_workerEnded = false;
    QEventLoop *m_quickWait = nullptr; // the wait before the window shows
    platform::ResultCode m_result = 0;
    bool m_alwaysUndo = false;

    QProgressBar *m_overall;
    QProgressBar *m_item;
    QLabel *m_itemText;
    QLabel *m_statusText;
    QLabel *m_transferText;
    QPushButton *m_cancel;
    std::int64_t m_overallTotal = 0;
    std::int64_t m_overallDone = 0;
    QElapsedTimer m_fileClock;     // since the current file's transfer began
    QElapsedTimer m_transferShown; // since the transfer text last changed
};

} // namespace views
