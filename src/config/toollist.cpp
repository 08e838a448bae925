#include "config/toollist.h"

#include "config/registrykeys.h"

#include <platform/registry.h>

#include <utility>

namespace config {

using platform::fromWin32;
using platform::RegKey;
using platform::RegNamedValue;
using platform::RegType;
using platform::RegValue;
using platform::ResultCode;
namespace err = platform::err;

namespace {

std::string toolKeyPath(std::string_view name)
{
    std::string path(keys::kMenu);
    path += '\\';
    path += name;
    return path;
}

[[nodiscard]] ResultCode checkToolName(std::string_view name)
{
    if (!platform::isValidKeyName(name))
        return fromWin32(err::BadPathname);
    if (name.size() > keys::kMaxKeyName || keys::kMenu.size() + 1 + name.size() > keys::kMaxKeyPath)
        return fromWin32(err::InsufficientBuffer);
    return 0;
}

// All four values are required, each of its own type.
[[nodiscard]] ResultCode toolFromKey(const RegKey &key, ToolEntry &tool)
{
    ToolEntry t;
    t.name = key.name;
    const std::pair<std::string_view, std::string *> texts[] = {
        {keys::kCommandLine, &t.commandLine},
        {keys::kArgument, &t.argument},
        {keys::kCurrentDir, &t.currentDir},
    };
    for (const auto &[name, field] : texts) {
        const RegNamedValue *nv = key.value(name);
        if (!nv)
            return fromWin32(err::FileNotFound);
        if (nv->value.type != RegType::String)
            return fromWin32(err::DatatypeMismatch);
        *field = nv->value.text;
    }
    const RegNamedValue *input = key.value(keys::kInput);
    if (!input)
        return fromWin32(err::FileNotFound);
    if (input->value.type != RegType::Dword)
        return fromWin32(err::DatatypeMismatch);
    t.input = input->value.dword;
    tool = std::move(t);
    return 0;
}

std::vector<RegNamedValue> toolValues(const ToolEntry &tool)
{
    return {
        {std::string(keys::kCommandLine), RegValue::ofString(tool.commandLine)},
        {std::string(keys::kArgument), RegValue::ofString(tool.argument)},
        {std::string(keys::kCurrentDir), RegValue::ofString(tool.currentDir)},
        {std::string(keys::kInput), RegValue::ofDword(tool.input != 0 ? 1 : 0)},
    };
}

} // namespace

ToolLaunch makeToolLaunch(const ToolEntry &tool, const std::string &promptedArgument)
{
    ToolLaunch launch;
    launch.program = tool.commandLine;
    const std::string &argument = promptsForArgument(tool) ? promptedArgument : tool.argument;
    if (!argument.empty())
        launch.arguments.push_back(argument);
    launch.workingDirectory = tool.currentDir;
    return launch;
}

ToolProblem validateTools(const std::vector<ToolEntry> &tools)
{
    for (std::size_t i = 0; i < tools.size(); ++i) {
        const std::string &name = tools[i].name;
        if (name.empty())
            continue;
        const ResultCode rc = checkToolName(name);
        if (rc == fromWin32(err::BadPathname))
            return {ToolProblem::Kind::InvalidName, name};
        if (rc != 0)
            return {ToolProblem::Kind::NameTooLong, name};
        for (std::size_t j = 0; j < i; ++j) {
            if (platform::namesEqual(tools[j].name, name))
                return {ToolProblem::Kind::DuplicateName, name};
        }
    }
    return {};
}

std::vector<ToolEntry> withoutUnnamed(const std::vector<ToolEntry> &tools)
{
    std::vector<ToolEntry> named;
    for (const auto &t : tools) {
        if (!t.name.empty())
            named.push_back(t);
    }
    return named;
}

ToolStore::ToolStore(platform::Registry &registry)
    : m_registry(registry)
{
}

std::size_t ToolStore::count()
{
    std::vector<std::string> names;
    return m_registry.subkeyNames(keys::kMenu, names) == 0 ? names.size() : 0;
}

ResultCode ToolStore::read(std::size_t index, ToolEntry &tool)
{
    std::vector<std::string> names;
    if (const ResultCode rc = m_registry.subkeyNames(keys::kMenu, names); rc != 0)
        return rc;
    if (index >= names.size())
        return fromWin32(err::NoMoreItems);
    if (const ResultCode rc = checkToolName(names[index]); rc != 0)
        return rc;
    RegKey key;
    if (const ResultCode rc = m_registry.readKey(toolKeyPath(names[index]), key); rc != 0)
        return rc;
    return toolFromKey(key, tool);
}

std::vector<ToolEntry> ToolStore::load()
{
    std::vector<ToolEntry> tools;
    RegKey menu;
    if (m_registry.readKey(keys::kMenu, menu) != 0)
        return tools;
    for (const RegKey &key : menu.subkeys) {
        ToolEntry t;
        if (checkToolName(key.name) == 0 && toolFromKey(key, t) == 0)
            tools.push_back(std::move(t));
    }
    return tools;
}

ResultCode ToolStore::write(const ToolEntry &tool)
{
    if (const ResultCode rc = checkToolName(tool.name); rc != 0)
        return rc;
    return m_registry.writeValues(toolKeyPath(tool.name), toolValues(tool));
}

ResultCode ToolStore::save(const std::vector<ToolEntry> &tools)
{
    // One change for the delete and all the writes: a crash in between must not leave the
    // user without tools.
    return m_registry.update([&tools](RegKey &root) {
        if (RegKey *settings = root.find(keys::kSettings))
            settings->removeSubkey("Menu");
        for (const ToolEntry &tool : tools) {
            if (checkToolName(tool.name) != 0)
                continue;
            RegKey *key = root.ensure(toolKeyPath(tool.name));
            for (auto &v : toolValues(tool))
                key->setValue(v.name, std::move(v.value));
        }
        return ResultCode{0};
    });
}

} // namespace config
