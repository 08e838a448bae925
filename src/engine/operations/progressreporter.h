#pragma once

// How a running operation talks to whoever shows it (the progress dialog, the command-line
// client, a test). All calls come from the worker thread, in the order things happen; an
// implementation must not block for long (the dialog posts to its own thread). The transfer
// calls of protocol::ProgressSink (item text, status text, sub-total, sub-position) reach the
// same object.

#include "engine/operations/logentry.h"
#include "engine/operations/operationrequest.h"
#include "engine/operations/recordchange.h"

#include <protocol/progresssink.h>

#include <cstdint>
#include <string_view>

namespace engine {

class ProgressReporter : public protocol::ProgressSink
{
public:
    // The total of the overall bar (items of the run); the position goes back to 0.
    virtual void total(std::int64_t count) = 0;
    // The overall bar moves on by `count`.
    virtual void step(std::int64_t count) = 0;
    // A status text that is not a string of the language module (the folder move's).
    virtual void statusLiteral(std::string_view text) = 0;
    // Bytes done and the byte total of the file being transferred (for speed and time
    // left); total is -1 when the service did not say.
    virtual void bytes(std::int64_t done, std::int64_t total) = 0;
    // One outcome line.
    virtual void log(const LogEntry &entry) = 0;
    // A record the window shows has changed.
    virtual void recordChanged(const RecordChange &change) = 0;
    // The one question of a check-in that meets a file unchanged since its check-out
    // (UnchangedCopy::Ask): CheckIn or UndoCheckOut, for this file and every later one of the
    // run. The only call that waits for an answer; it must return once the run is cancelled
    // (the answer is then not used). Nobody to ask: check in, as without the question.
    virtual UnchangedCopy unchangedCopy(std::string_view localPath)
    {
        (void)localPath;
        return UnchangedCopy::CheckIn;
    }
};

// A reporter that drops everything, for runs nobody watches.
class NullReporter final : public ProgressReporter
{
public:
    void itemText(std::string_view) override {}
    void statusText(int) override {}
    void subTotal(std::int64_t) override {}
    void subPosition(std::int64_t) override {}
    void total(std::int64_t) override {}
    void step(std::int64_t) override {}
    void statusLiteral(std::string_view) override {}
    void bytes(std::int64_t, std::int64_t) override {}
    void log(const LogEntry &) override {}
    void recordChanged(const RecordChange &) override {}
};

} // namespace engine
