#pragma once

// The command line of ravelind-cli, parsed into a value. Pure: no file, terminal or network
// access, so every rule is table-tested.
//
//   ravelind-cli (--profile NAME | --server http[s]://HOST[:PORT]/OBJECT/PATH) [--user-id ID]
//                [--http-user NAME] [--timeout SECONDS] COMMAND ARGS...
//
// Global options come before the command; a command's options may stand anywhere among its
// operands, and "--" ends the options. "--name=value" is the same as "--name value".

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

enum class Command {
    Logon,
    Ls,
    Get,
    Checkout,
    Undo,
    Checkin,
    Add,
    Mv,
    Mkdir,
    Rm,
    Rename,
    Deleted,
    Recover,
    History,
    Rollback,
    Comment,
    Diff,
    Checkouts,
};

std::string_view commandName(Command command);
std::optional<Command> commandFromName(std::string_view name);

struct GlobalOptions
{
    std::string profile;  // --profile NAME
    std::string server;   // --server URL
    std::string userId;   // --user-id ID (empty: the default rule)
    std::string httpUser; // --http-user NAME
    std::optional<int> timeoutSeconds;

    bool operator==(const GlobalOptions &) const = default;
};

struct CommandOptions
{
    bool recursive = false;             // -r
    bool tsv = false;                   // --tsv
    bool writable = false;              // --writable
    bool deleteLocal = false;           // --delete-local
    bool isPrivate = false;             // --private
    bool purge = false;                 // --purge
    std::optional<int> version;         // get --version N
    std::string outputFile;             // get -o LOCALFILE
    std::string localDir;               // -C LOCALDIR
    std::optional<std::string> comment; // -m COMMENT

    bool operator==(const CommandOptions &) const = default;
};

struct Invocation
{
    bool help = false; // --help: print the usage and succeed, nothing else is looked at
    GlobalOptions global;
    Command command = Command::Logon;
    CommandOptions options;
    std::vector<std::string> operands;

    bool operator==(const Invocation &) const = default;
};

struct ParseOutcome
{
    std::optional<Invocation> invocation; // set when the line is valid
    std::string error;                    // why it is not (one line, no program name)
};

// Parses the arguments after the program name.
ParseOutcome parseArguments(std::span<const std::string> args);

// The usage text printed for --help and after a usage error.
std::string_view usageText();

// Server paths: names separated by "\" or "/", relative to the server root. Returns the
// wire form (names joined by "\", no leading or trailing separator; the root is ""), or
// nothing for a path holding an empty-looking name such as "." or "..", or a control
// character.
std::optional<std::string> serverPath(std::string_view text);

// "PATH:VERSION" of diff: the path and the version (-1, the latest, without a suffix). A
// suffix that is not a positive number belongs to the path.
struct VersionedPath
{
    std::string path; // as written, not yet normalised
    int version = -1;

    bool operator==(const VersionedPath &) const = default;
};
VersionedPath splitVersion(std::string_view text);

// A whole decimal number in [low, high], or nothing.
std::optional<int> parseNumber(std::string_view text, int low, int high);

} // namespace cli
