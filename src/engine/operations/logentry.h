#pragma once

// One outcome line of a run, as data: the window and the command-line client format it from
// the same string table, so the engine never builds a user text itself. Entries never hold
// credentials: their arguments are paths, names, server messages and codes.

#include <platform/resultcode.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

enum class LogKind { Success, Warning, Failure };

// One argument of a message: a text, a number, a result code shown as a number, or the
// readable text of a result code (the "message text of the code").
struct LogArgument
{
    enum class Type { Text, Number, Code, CodeText };

    Type type = Type::Text;
    std::string text;
    std::int64_t number = 0;

    static LogArgument ofText(std::string value);
    static LogArgument ofNumber(std::int64_t value);
    // Shown as 0x%08X.
    static LogArgument ofCode(platform::ResultCode code);
    // Shown as the code's one-line error text.
    static LogArgument ofCodeText(platform::ResultCode code);

    // The argument as it appears in a line.
    std::string toString() const;

    bool operator==(const LogArgument &) const = default;
};

// messageId of an entry whose whole line is the error text of its code (the cancel line and
// the other plain system errors of a run).
inline constexpr int kErrorTextMessage = 0;

struct LogEntry
{
    LogKind kind = LogKind::Success;
    int messageId = kErrorTextMessage;
    std::vector<LogArgument> arguments;
    // The outcome's result code: 0 for a success, the failure's code, or 0 for a failure
    // that only the service's message explains.
    platform::ResultCode code = 0;

    // The image of the line in the message pane: 10 success, 9 failure/warning/cancel.
    int image() const { return kind == LogKind::Success ? 10 : 9; }

    bool operator==(const LogEntry &) const = default;
};

} // namespace engine
