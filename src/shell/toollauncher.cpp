#include "shell/toollauncher.h"

#include <QProcess>
#include <QStringList>

namespace shell {

ToolStart ToolLauncher::start(const config::ToolEntry &tool, const AskArgument &askArgument)
{
    ToolStart result;
    std::string prompted;
    if (config::promptsForArgument(tool)) {
        const std::optional<QString> answer = askArgument ? askArgument() : std::nullopt;
        if (!answer) {
            result.outcome = ToolStart::Outcome::Cancelled;
            return result;
        }
        prompted = answer->toStdString();
    }
    const config::ToolLaunch launch = config::makeToolLaunch(tool, prompted);
    QStringList arguments;
    for (const std::string &argument : launch.arguments)
        arguments.append(QString::fromStdString(argument));

    // QProcess runs the program itself (fork and exec), so blanks, quotes and shell
    // characters in the argument reach the program unchanged as one argument.
    QProcess process;
    process.setProgram(QString::fromStdString(launch.program));
    process.setArguments(arguments);
    if (!launch.workingDirectory.empty())
        process.setWorkingDirectory(QString::fromStdString(launch.workingDirectory));
    if (launch.program.empty()) {
        result.error = QStringLiteral("execv: No such file or directory");
        return result;
    }
    if (!process.startDetached(&result.pid)) {
        result.error = process.errorString();
        return result;
    }
    result.outcome = ToolStart::Outcome::Started;
    return result;
}

} // namespace shell
