#include "cliarguments.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <utility>

namespace cli {

namespace {

struct CommandInfo
{
    Command command;
    std::string_view name;
    std::string_view flags; // the options it takes, each between blanks
    std::size_t minOperands;
    std::size_t maxOperands; // SIZE_MAX: no limit
};

constexpr std::size_t kMany = static_cast<std::size_t>(-1);

constexpr std::array<CommandInfo, 18> kCommands{{
    {Command::Logon, "logon", " ", 0, 0},
    {Command::Ls, "ls", " -r --tsv ", 1, 1},
    {Command::Get, "get", " -r --writable -C --version -o ", 1, kMany},
    {Command::Checkout, "checkout", " -r -C ", 1, kMany},
    {Command::Undo, "undo", " -r --delete-local -C ", 1, kMany},
    {Command::Checkin, "checkin", " -r --delete-local -m -C ", 1, kMany},
    {Command::Add, "add", " --delete-local -m ", 2, kMany},
    {Command::Mv, "mv", " ", 2, kMany},
    {Command::Mkdir, "mkdir", " --private -m ", 1, 1},
    {Command::Rm, "rm", " --purge ", 1, kMany},
    {Command::Rename, "rename", " ", 2, 2},
    {Command::Deleted, "deleted", " ", 1, 1},
    {Command::Recover, "recover", " ", 1, kMany},
    {Command::History, "history", " -r ", 1, 1},
    {Command::Rollback, "rollback", " ", 2, 2},
    {Command::Comment, "comment", " ", 3, 3},
    {Command::Diff, "diff", " ", 2, 2},
    {Command::Checkouts, "checkouts", " -r ", 1, 1},
}};

const CommandInfo &info(Command command)
{
    return *std::find_if(kCommands.begin(), kCommands.end(),
                         [command](const CommandInfo &c) { return c.command == command; });
}

bool takes(const CommandInfo &command, std::string_view flag)
{
    std::string key = " ";
    key += flag;
    key += ' ';
    return command.flags.find(key) != std::string_view::npos;
}

// An option and its value: "--name value", "--name=value" or "-C value".
struct OptionReader
{
    std::span<const std::string> args;
    std::size_t &index;
    std::string &error;

    // The value of the option at args[index] (whose name part is `name`); advances past it.
    std::optional<std::string> value(std::string_view arg, std::string_view name)
    {
        if (arg.size() > name.size() && arg[name.size()] == '=')
            return std::string(arg.substr(name.size() + 1));
        if (index + 1 >= args.size()) {
            error = std::string(name) + " needs a value";
            return std::nullopt;
        }
        return args[++index];
    }
};

// The option name of an argument: "--timeout=5" -> "--timeout".
std::string_view optionName(std::string_view arg)
{
    if (arg.starts_with("--"))
        return arg.substr(0, std::min(arg.find('='), arg.size()));
    return arg;
}

bool parseGlobal(std::span<const std::string> args, std::size_t &index, Invocation &out,
                 std::string &error)
{
    OptionReader reader{args, index, error};
    for (; index < args.size(); ++index) {
        const std::string_view arg = args[index];
        if (arg == "--help" || arg == "-h") {
            out.help = true;
            return true;
        }
        if (!arg.starts_with("-"))
            return true; // the command
        const std::string_view name = optionName(arg);
        std::string *target = nullptr;
        if (name == "--profile")
            target = &out.global.profile;
        else if (name == "--server")
            target = &out.global.server;
        else if (name == "--user-id")
            target = &out.global.userId;
        else if (name == "--http-user")
            target = &out.global.httpUser;
        if (target) {
            const std::optional<std::string> value = reader.value(arg, name);
            if (!value)
                return false;
            if (value->empty()) {
                error = std::string(name) + " needs a value";
                return false;
            }
            *target = *value;
            continue;
        }
        if (name == "--timeout") {
            const std::optional<std::string> value = reader.value(arg, name);
            if (!value)
                return false;
            // The profile dialog's range: one second to one day.
            out.global.timeoutSeconds = parseNumber(*value, 1, 86400);
            if (!out.global.timeoutSeconds) {
                error = "--timeout needs a number of seconds from 1 to 86400";
                return false;
            }
            continue;
        }
        error = "unknown option " + std::string(name);
        return false;
    }
    return true;
}

bool parseCommandLine(std::span<const std::string> args, std::size_t index, Invocation &out,
                      std::string &error)
{
    const CommandInfo &command = info(out.command);
    OptionReader reader{args, index, error};
    bool options = true;
    for (; index < args.size(); ++index) {
        const std::string_view arg = args[index];
        if (!options || arg == "-" || !arg.starts_with("-")) {
            out.operands.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            options = false;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            out.help = true;
            return true;
        }
        const std::string_view name = optionName(arg);
        if (!takes(command, name)) {
            error = std::string(command.name) + " does not take " + std::string(name);
            return false;
        }
        CommandOptions &o = out.options;
        if (name == "-r") {
            o.recursive = true;
        } else if (name == "--tsv") {
            o.tsv = true;
        } else if (name == "--writable") {
            o.writable = true;
        } else if (name == "--delete-local") {
            o.deleteLocal = true;
        } else if (name == "--private") {
            o.isPrivate = true;
        } else if (name == "--purge") {
            o.purge = true;
        } else {
            const std::optional<std::string> value = reader.value(arg, name);
            if (!value)
                return false;
            if (name == "--version") {
                o.version = parseNumber(*value, 1, 0x7FFFFFFF);
                if (!o.version) {
                    error = "--version needs a version number from 1 up";
                    return false;
                }
            } else if (name == "-m") {
                o.comment = *value;
            } else if (value->empty()) {
                error = std::string(name) + " needs a value";
                return false;
            } else if (name == "-C") {
                o.localDir = *value;
            } else {
                o.outputFile = *value; // -o
            }
        }
    }
    return true;
}

// Rules that tie a command's options and operands together.
bool checkCommand(const Invocation &in, std::string &error)
{
    const CommandInfo &command = info(in.command);
    const std::string name(command.name);
    const std::size_t count = in.operands.size();
    const CommandOptions &o = in.options;
    if (in.command == Command::Get && o.version) {
        if (!o.localDir.empty() || o.recursive) {
            error = "get --version takes -o LOCALFILE, not -C or -r";
            return false;
        }
        if (o.outputFile.empty()) {
            error = "get --version needs -o LOCALFILE";
            return false;
        }
        if (count != 1) {
            error = "get --version fetches exactly one PATH";
            return false;
        }
        return true;
    }
    if (!o.outputFile.empty()) {
        error = "-o goes with get --version";
        return false;
    }
    if (count < command.minOperands) {
        error = name + " needs more arguments";
        return false;
    }
    if (count > command.maxOperands) {
        error = name + " takes fewer arguments";
        return false;
    }
    if (takes(command, "-C") && o.localDir.empty()) {
        error = name + " needs -C LOCALDIR";
        return false;
    }
    if ((in.command == Command::Checkin || in.command == Command::Add) && !o.comment) {
        error = name + " needs -m COMMENT";
        return false;
    }
    // Version 0 of a comment is a folder's own comment.
    const int lowest = in.command == Command::Comment ? 0 : 1;
    if ((in.command == Command::Rollback || in.command == Command::Comment) &&
        !parseNumber(in.operands[1], lowest, 0x7FFFFFFF)) {
        error = name + ": VERSION must be a version number from " + std::to_string(lowest) + " up";
        return false;
    }
    return true;
}

} // namespace

std::string_view commandName(Command command)
{
    return info(command).name;
}

std::optional<Command> commandFromName(std::string_view name)
{
    for (const CommandInfo &c : kCommands) {
        if (c.name == name)
            return c.command;
    }
    return std::nullopt;
}

ParseOutcome parseArguments(std::span<const std::string> args)
{
    ParseOutcome outcome;
    Invocation in;
    std::size_t index = 0;
    if (!parseGlobal(args, index, in, outcome.error))
        return outcome;
    if (in.help)
        return {in, {}};
    if (index >= args.size()) {
        outcome.error = "no command given";
        return outcome;
    }
    const std::optional<Command> command = commandFromName(args[index]);
    if (!command) {
        outcome.error = "unknown command " + args[index];
        return outcome;
    }
    in.command = *command;
    if (!parseCommandLine(args, index + 1, in, outcome.error))
        return outcome;
    if (in.help)
        return {in, {}};
    if (in.global.profile.empty() == in.global.server.empty()) {
        outcome.error = in.global.profile.empty() ? "give --profile NAME or --server URL"
                                                  : "give --profile or --server, not both";
        return outcome;
    }
    if (!checkCommand(in, outcome.error))
        return outcome;
    outcome.invocation = std::move(in);
    return outcome;
}

std::optional<int> parseNumber(std::string_view text, int low, int high)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < low ||
        value > high)
        return std::nullopt;
    return value;
}

std::optional<std::string> serverPath(std::string_view text)
{
    std::string path;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find_first_of("\\/", start), text.size());
        const std::string_view name = text.substr(start, end - start);
        start = end + 1;
        if (name.empty())
            continue;
        if (name == "." || name == "..")
            return std::nullopt;
        if (std::any_of(name.begin(), name.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
            return std::nullopt;
        if (!path.empty())
            path += '\\';
        path += name;
    }
    return path;
}

VersionedPath splitVersion(std::string_view text)
{
    const std::size_t colon = text.rfind(':');
    if (colon != std::string_view::npos && colon > 0) {
        if (const std::optional<int> version = parseNumber(text.substr(colon + 1), 1, 0x7FFFFFFF))
            return {std::string(text.substr(0, colon)), *version};
    }
    return {std::string(text), -1};
}

std::string_view usageText()
{
    return "usage: ravelind-cli (--profile NAME | --server http[s]://HOST[:PORT]/OBJECT/PATH)\n"
           "                    [--user-id ID] [--http-user NAME] [--timeout SECONDS]\n"
           "                    COMMAND ARGS...\n"
           "\n"
           "Commands (server paths take \"\\\" or \"/\" between names, from the server root):\n"
           "  logon                                  log on; prints the user ID the server "
           "gave\n"
           "  ls [-r] [--tsv] FOLDER                 folders, then files, with their state\n"
           "  get [-r] [--writable] -C LOCALDIR PATH...   latest versions of files or folders\n"
           "  get --version N [--writable] -o LOCALFILE PATH   one version of one file\n"
           "  checkout [-r] -C LOCALDIR PATH...\n"
           "  undo [-r] [--delete-local] -C LOCALDIR PATH...\n"
           "  checkin [-r] [--delete-local] -m COMMENT -C LOCALDIR PATH...\n"
           "  add [--delete-local] -m COMMENT FOLDER LOCALPATH...\n"
           "  mv PATH... FOLDER                      files, or one folder, into FOLDER\n"
           "  mkdir [--private] [-m COMMENT] PATH\n"
           "  rm [--purge] PATH...\n"
           "  rename PATH NEWNAME\n"
           "  deleted FOLDER                         deleted items of FOLDER\n"
           "  recover PATH...\n"
           "  history [-r] PATH\n"
           "  rollback PATH VERSION\n"
           "  comment PATH VERSION TEXT\n"
           "  diff PATH[:VERSION] (PATH[:VERSION] | LOCALFILE)\n"
           "  checkouts [-r] FOLDER                  checked-out files below FOLDER\n"
           "\n"
           "The HTTP password comes from RAVELIND_PASSWORD, or is asked for on a terminal.\n"
           "--user-id defaults to the HTTP user name, else the logon user name.\n"
           "In diff, a second argument that names an existing local file is that file.\n"
           "Exit status: 0 all succeeded, 1 an item failed or was refused, 2 usage error or\n"
           "the server cannot be reached.\n";
}

} // namespace cli
