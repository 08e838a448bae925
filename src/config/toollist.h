#pragma once

// User-defined external tools of the Tools menu: one key per tool under
// "Software\Quellvane\Ravelind\Settings\Menu", named after the tool. List position p is menu
// command 1000 + p; only the first 16 can be launched, later ones are shown disabled.

#include <platform/resultcode.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class Registry;
}

namespace config {

struct ToolEntry
{
    std::string name;        // menu text and key name
    std::string commandLine; // the program to run
    std::string argument;    // fixed argument, may be empty
    std::string currentDir;  // working folder; empty: the program's own
    std::uint32_t input = 0; // 1: ask for the argument at every launch

    bool operator==(const ToolEntry &) const = default;
};

inline constexpr int kFirstToolCommand = 1000;
inline constexpr std::size_t kLaunchableTools = 16;

constexpr int toolCommandId(std::size_t position)
{
    return kFirstToolCommand + static_cast<int>(position);
}
constexpr bool isToolLaunchable(std::size_t position)
{
    return position < kLaunchableTools;
}

// What to start for a tool: the program and its arguments as separate strings (no shell,
// no quoting: an argument of several words reaches the program as one argument).
struct ToolLaunch
{
    std::string program;
    std::vector<std::string> arguments; // empty, or the one argument
    std::string workingDirectory;       // empty: the launcher's own

    bool operator==(const ToolLaunch &) const = default;
};

// True when the argument is asked for at launch (the fixed argument is then not used).
inline bool promptsForArgument(const ToolEntry &tool)
{
    return tool.input != 0;
}
// The launch for `tool`; `promptedArgument` is used when the tool prompts, else its argument.
ToolLaunch makeToolLaunch(const ToolEntry &tool, const std::string &promptedArgument = {});

// Why a list cannot be kept as it stands, checked when the customization dialog's OK is
// pressed (after unnamed entries are dropped, see withoutUnnamed).
struct ToolProblem
{
    enum class Kind {
        None,
        DuplicateName, // two tools would become one key (names differ at most in case)
        InvalidName,   // holds "\" or a control character
        NameTooLong,   // would not read back
    };
    Kind kind = Kind::None;
    std::string name; // the offending name as the user typed it (the later of two duplicates)

    explicit operator bool() const { return kind != Kind::None; }
};
ToolProblem validateTools(const std::vector<ToolEntry> &tools);
// The list without entries whose name is empty, order kept.
std::vector<ToolEntry> withoutUnnamed(const std::vector<ToolEntry> &tools);

class ToolStore
{
public:
    explicit ToolStore(platform::Registry &registry);

    // Number of tool keys; 0 when the "Menu" key does not exist.
    std::size_t count();
    // The index-th tool key; all four values required. Errors: 111 name or key path too
    // long, 1629 a value of the wrong type, 2 a value missing, 259 no such index.
    [[nodiscard]] platform::ResultCode read(std::size_t index, ToolEntry &tool);
    // Every tool that reads, in enumeration (creation) order; the others are skipped.
    std::vector<ToolEntry> load();
    // Creates the tool's key and writes its four values.
    [[nodiscard]] platform::ResultCode write(const ToolEntry &tool);
    // At exit: replaces the "Menu" key with one key per tool in list order, in one atomic
    // change, so the next start sees the same list in the same order. Entries with an empty
    // or unstorable name are left out; of two with the same name the later wins.
    [[nodiscard]] platform::ResultCode save(const std::vector<ToolEntry> &tools);

private:
    platform::Registry &m_registry;
};

} // namespace config
