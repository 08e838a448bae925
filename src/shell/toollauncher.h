#pragma once

// Starts a user-defined tool: the program and its one argument as separate arguments, no
// shell in between, without waiting for it.

#include <config/toollist.h>

#include <QString>

#include <functional>
#include <optional>

namespace shell {

struct ToolStart
{
    enum class Outcome { Started, Cancelled, Failed };
    Outcome outcome = Outcome::Failed;
    QString error; // Failed: the system's reason ("execv: No such file or directory")
    qint64 pid = 0;
};

class ToolLauncher
{
public:
    // Asks for the argument when the tool prompts for it (nullopt: the user cancelled and
    // nothing starts). May open a modal dialog.
    using AskArgument = std::function<std::optional<QString>()>;

    // Starts `tool` detached, in its working folder when it names one. Does not block on
    // the program.
    static ToolStart start(const config::ToolEntry &tool, const AskArgument &askArgument);
};

} // namespace shell
