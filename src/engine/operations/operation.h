#pragma once

// One run of an operation: the request, its cancel flag and where it reports. Made by the
// launcher on its own thread; the worker thread reads it while the run lasts, and only the
// cancel flag is touched by both.

#include "engine/operations/operationrequest.h"

#include <atomic>

namespace engine {

class ProgressReporter;

class Operation
{
public:
    // Applies the launcher's path rules to `request`. `reporter` may be null (nothing is
    // reported; cancel still works) and must outlive the run.
    explicit Operation(OperationRequest request, ProgressReporter *reporter = nullptr);
    Operation(const Operation &) = delete;
    Operation &operator=(const Operation &) = delete;

    const OperationRequest &request() const { return m_request; }
    const protocol::ServerProfile &profile() const { return m_request.profile; }
    OperationKind kind() const { return m_request.kind; }
    ProgressReporter *reporter() const { return m_reporter; }

    // Any thread: asks the run to stop at its next check; never blocks.
    void cancel() { m_cancel.store(true); }
    bool isCancelled() const { return m_cancel.load(); }
    const std::atomic<bool> &cancelFlag() const { return m_cancel; }

private:
    OperationRequest m_request;
    ProgressReporter *m_reporter;
    std::atomic<bool> m_cancel{false};
};

} // namespace engine
