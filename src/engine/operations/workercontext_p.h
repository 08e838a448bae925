#pragma once

// What every worker shares: the run's request, service, reporter and cancel flag, and the
// progress and log helpers that follow the run's rules (a report finds the cancel and stops;
// the cancel text is said once).

#include "engine/operations/logentry.h"
#include "engine/operations/operation.h"
#include "engine/operations/progressreporter.h"

#include <platform/resultcode.h>
#include <protocol/callresult.h>
#include <protocol/progresssink.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace protocol {
class Service;
} // namespace protocol

namespace engine {

class WorkerContext;

// The service's progress sink for a run: passes the transfer reports on and, while a
// transfer runs, also the bytes done and total of the file.
class TransferSink final : public protocol::ProgressSink
{
public:
    explicit TransferSink(ProgressReporter &reporter)
        : m_reporter(reporter)
    {
    }
    void itemText(std::string_view text) override { m_reporter.itemText(text); }
    void statusText(int stringId) override { m_reporter.statusText(stringId); }
    void subTotal(std::int64_t total) override;
    void subPosition(std::int64_t position) override;

    void setTransfer(bool on)
    {
        m_transfer = on;
        m_total = -1;
    }

private:
    ProgressReporter &m_reporter;
    bool m_transfer = false;
    std::int64_t m_total = -1;
};

class WorkerContext
{
public:
    WorkerContext(Operation &operation, protocol::Service &service);
    ~WorkerContext();
    WorkerContext(const WorkerContext &) = delete;
    WorkerContext &operator=(const WorkerContext &) = delete;

    const OperationRequest &request() const { return m_operation.request(); }
    protocol::Service &service() { return m_service; }
    ProgressReporter &reporter() { return *m_reporter; }
    const std::string &userId() const { return m_operation.profile().userId; }
    bool isCancelled() const { return m_operation.isCancelled(); }

    // The check at the head of an item: true when the run is cancelled, after saying so
    // (once per run) when `logIt`.
    bool cancelledAtItem(bool logIt = true);

    // The progress reports. Each returns false, without reporting, once the run is
    // cancelled: the caller then stops where its kind says.
    bool total(std::int64_t count);
    bool step(std::int64_t count = 1);
    bool itemText(std::string_view text);
    bool statusText(int stringId);
    bool statusLiteral(std::string_view text);
    bool subTotal(std::int64_t total);
    bool subPosition(std::int64_t position);

    void log(LogKind kind, int messageId, std::vector<LogArgument> arguments,
             platform::ResultCode code = 0);
    // The line that is just the error text of `code` (failure kind).
    void logError(platform::ResultCode code);
    // The cancel text, at most once per run.
    void logCancel();
    bool cancelLogged() const { return m_cancelLogged; }

    // A service transfer runs between these: the reporter also gets bytes done and total.
    void beginTransfer() { m_sink.setTransfer(true); }
    void endTransfer() { m_sink.setTransfer(false); }

private:
    Operation &m_operation;
    protocol::Service &m_service;
    NullReporter m_nullReporter;
    ProgressReporter *m_reporter;
    TransferSink m_sink;
    bool m_cancelLogged = false;
};

// Success only when the code is not negative and no message came back.
inline bool callSucceeded(const protocol::CallResult &r)
{
    return r.succeeded();
}

// The reason argument of a failed call: the service's message, else the code's text.
LogArgument reasonOf(const protocol::CallResult &r);

// A name from the service that can be one local file or folder name: not empty, not "." or
// "..", without "/", "\" or NUL.
bool isSafeName(std::string_view name);

// A local path as the text logs and the service see.
inline std::string pathText(const std::filesystem::path &path)
{
    return path.string();
}

// A temporary file name held for one fetch; the file is deleted with the holder.
class TempName
{
public:
    TempName() = default;
    ~TempName() { reset(); }
    TempName(const TempName &) = delete;
    TempName &operator=(const TempName &) = delete;

    // Makes a new temporary file (the old one is deleted first); 0 or the failure's code.
    [[nodiscard]] platform::ResultCode make();
    void reset();
    const std::filesystem::path &path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// The run's workers, one per kind.
[[nodiscard]] platform::ResultCode runGetFiles(WorkerContext &ctx);
[[nodiscard]] platform::ResultCode runGetFolder(WorkerContext &ctx);
[[nodiscard]] platform::ResultCode runGetVersion(WorkerContext &ctx);
[[nodiscard]] platform::ResultCode runCheckOutFiles(WorkerContext &ctx);
[[nodiscard]] platform::ResultCode runUndoCheckOutFiles(WorkerContext &ctx);
[[nodiscard]] platform::ResultCode runCheckOutFolder(WorkerContext &ctx);
[[nodiscard]] platform::ResultCode runUndoCheckOutFolder(WorkerContext &ctx);
[[nodiscard]] platform::ResultCode runCheckInFiles(WorkerContext &ctx);
[[nodiscard]] platform::ResultCode runCheckInFolder(WorkerContext &ctx);
[[nodiscard]] platform::ResultCode runMoveFiles(WorkerContext &ctx);
[[nodiscard]] platform::ResultCode runAddDropped(WorkerContext &ctx);
[[nodiscard]] platform::ResultCode runMoveFolder(WorkerContext &ctx);

} // namespace engine

namespace engine {

// After a check-in, an add or an undo check-out: the local copy is made read-only again, or
// deleted when the request says so.
void releaseLocalCopy(WorkerContext &ctx, const std::filesystem::path &localPath);
// `record` without its check-out fields.
protocol::FileItem clearedCheckOut(const protocol::FileItem &record);

struct UndoOutcome
{
    platform::ResultCode code = 0; // negative: the call failed with it (kCancelled: stop)
    bool undone = false;           // the service gave the check-out up
};

// CheckoutCancel of one file; once the service took it the local copy is released and
// `doneMessage` (local path) logged. Failures are logged as the undo workers log them: a code
// as its text, or in a folder walk (`inWalk`) as a number; a service message as text.
UndoOutcome undoCheckOutOne(WorkerContext &ctx, const std::string &serverPath,
                            const std::filesystem::path &localPath, bool inWalk, int doneMessage);
// undoCheckOutOne of a row of the file list: the row loses its check-out fields once the
// service gave the check-out up, and `last` keeps a failure's code. False when cancelled.
[[nodiscard]] bool undoCheckOutRow(WorkerContext &ctx, const SelectedFile &file,
                                   const std::string &serverPath,
                                   const std::filesystem::path &localPath, int doneMessage,
                                   platform::ResultCode &last);

} // namespace engine
