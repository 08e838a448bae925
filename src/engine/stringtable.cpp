#include "engine/stringtable.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

namespace engine {

static std::string lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return out;
}

int codePageForLocale(std::string_view localeName)
{
    // "ja_JP.UTF-8@euro" -> "ja_JP"; the parts may be joined by "_" or "-".
    const std::size_t cut = localeName.find_first_of(".@");
    const std::string name = lower(localeName.substr(0, cut));
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t end = std::min(name.find_first_of("_-", start), name.size());
        parts.push_back(name.substr(start, end - start));
        start = end + 1;
    }
    const std::string &language = parts.front();
    if (language == "ja")
        return 932;
    if (language == "ko")
        return 949;
    if (language == "zh") {
        const bool traditional =
            std::any_of(parts.begin() + 1, parts.end(), [](const std::string &part) {
                return part == "hant" || part == "tw" || part == "hk" || part == "mo";
            });
        return traditional ? 950 : 936;
    }
    return kEnglishCodePage;
}

int currentCodePage()
{
    if (const char *forced = std::getenv("RAVELIND_CODEPAGE")) {
        std::string_view value = forced;
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
            value.remove_prefix(1);
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
            value.remove_suffix(1);
        int number = 0;
        bool digits = !value.empty() && value.size() <= 9;
        for (const char c : value) {
            if (c < '0' || c > '9') {
                digits = false;
                break;
            }
            number = number * 10 + (c - '0');
        }
        if (digits && number > 0)
            return number;
    }
    // The C library's order: LC_ALL wins over LC_MESSAGES, which wins over LANG.
    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char *value = std::getenv(variable);
        if (value && *value)
            return codePageForLocale(value);
    }
    return kEnglishCodePage;
}

std::vector<std::filesystem::path> stringTableSearchDirs(const std::filesystem::path &executableDir)
{
    return {executableDir, (executableDir / ".." / "share" / "ravelind").lexically_normal()};
}

std::filesystem::path executableDir()
{
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : self.parent_path();
}

std::string stringTableFileName(int codePage)
{
    return "strings" + std::to_string(codePage) + ".txt";
}

static std::filesystem::path findIn(int codePage, const std::vector<std::filesystem::path> &dirs)
{
    for (const std::filesystem::path &dir : dirs) {
        if (dir.empty())
            continue;
        const std::filesystem::path file = dir / stringTableFileName(codePage);
        std::error_code ec;
        if (std::filesystem::is_regular_file(file, ec))
            return file;
    }
    return {};
}

std::optional<StringTableLocation> findStringTable(int codePage,
                                                   const std::vector<std::filesystem::path> &dirs)
{
    if (std::filesystem::path file = findIn(codePage, dirs); !file.empty())
        return StringTableLocation{file, codePage, false};
    if (codePage != kEnglishCodePage) {
        if (std::filesystem::path file = findIn(kEnglishCodePage, dirs); !file.empty())
            return StringTableLocation{file, kEnglishCodePage, true};
    }
    return std::nullopt;
}

std::string formatText(std::string_view pattern, std::span<const std::string> args)
{
    std::string out;
    out.reserve(pattern.size() + 64);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c != '%' || i + 1 >= pattern.size() || pattern[i + 1] < '0' || pattern[i + 1] > '9') {
            out += c;
            continue;
        }
        // Up to two digits, as the window's formatting reads its markers.
        std::size_t digits = 1;
        int number = pattern[i + 1] - '0';
        if (i + 2 < pattern.size() && pattern[i + 2] >= '0' && pattern[i + 2] <= '9') {
            number = number * 10 + (pattern[i + 2] - '0');
            digits = 2;
        }
        if (number >= 1 && static_cast<std::size_t>(number) <= args.size()) {
            out += args[static_cast<std::size_t>(number - 1)];
        } else {
            out.append(pattern.substr(i, digits + 1));
        }
        i += digits;
    }
    return out;
}

static bool unescape(std::string_view text, std::string &out)
{
    out.clear();
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return false;
        switch (text[i]) {
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            return false;
        }
    }
    return true;
}

static bool isBlank(std::string_view line)
{
    return std::all_of(line.begin(), line.end(), [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
    });
}

bool StringTable::parse(std::string_view data, StringTable &table, std::string &error)
{
    std::map<int, std::string> strings;
    std::size_t lineNumber = 0;
    while (!data.empty()) {
        ++lineNumber;
        const std::size_t end = std::min(data.find('\n'), data.size());
        std::string_view line = data.substr(0, end);
        data.remove_prefix(std::min(end + 1, data.size()));
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (isBlank(line) || line.front() == '#')
            continue;
        const auto fail = [&](const std::string &why) {
            error = "line " + std::to_string(lineNumber) + ": " + why;
            return false;
        };
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos || tab == 0)
            return fail("no tab after the number");
        const std::string_view digits = line.substr(0, tab);
        if (digits.size() > 9 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return fail("bad number");
        int id = 0;
        for (const char c : digits)
            id = id * 10 + (c - '0');
        std::string value;
        if (!unescape(line.substr(tab + 1), value))
            return fail("bad escape");
        if (!strings.emplace(id, std::move(value)).second)
            return fail("number " + std::to_string(id) + " given twice");
    }
    table.m_strings = std::move(strings);
    return true;
}

std::optional<StringTable> StringTable::load(const std::filesystem::path &file, std::string &error)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = file.string() + ": " + std::generic_category().message(errno);
        return std::nullopt;
    }
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = file.string() + ": cannot be read";
        return std::nullopt;
    }
    StringTable table;
    std::string why;
    if (!parse(data, table, why)) {
        error = file.string() + ": " + why;
        return std::nullopt;
    }
    return table;
}

std::string StringTable::text(int id) const
{
    const auto it = m_strings.find(id);
    if (it != m_strings.end())
        return it->second;
    std::string gap = std::to_string(id);
    gap.insert(gap.begin(), '#');
    return gap;
}

// Windows error number -> string number of its text.
static constexpr std::array<std::pair<std::uint32_t, int>, 15> kErrorTexts{{
    {platform::err::FileNotFound, 3102},
    {platform::err::PathNotFound, 3103},
    {platform::err::TooManyOpenFiles, 3104},
    {platform::err::AccessDenied, 3105},
    {platform::err::InvalidData, 3113},
    {platform::err::CannotMake, 3182},
    {platform::err::InsufficientBuffer, 3111},
    {platform::err::DiskFull, 3112},
    {platform::err::BadPathname, 3161},
    {platform::err::AlreadyExists, 3183},
    {platform::err::FilenameTooLong, 3106},
    {platform::err::RegistryCorrupt, 3109},
    {platform::err::IoDevice, 3117},
    {platform::err::Cancelled, 3123},
    {platform::err::DatatypeMismatch, 3129},
}};
static constexpr int kUnknownErrorText = 3100;

std::optional<int> errorStringId(platform::ResultCode rc)
{
    const auto code = static_cast<std::uint32_t>(rc);
    if ((code & 0xFFFF0000u) != 0x80070000u)
        return std::nullopt;
    const std::uint32_t error = platform::win32Error(rc);
    for (const auto &[number, id] : kErrorTexts) {
        if (number == error)
            return id;
    }
    return std::nullopt;
}

std::string errorText(const StringTable &table, platform::ResultCode rc)
{
    if (const std::optional<int> id = errorStringId(rc); id && table.hasText(*id))
        return table.text(*id);
    // Codes the module has no wording for still get the client library's own text rather
    // than a bare number.
    std::string text = platform::errorText(rc, true);
    if (!text.empty())
        return text;
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08x", static_cast<unsigned>(rc));
    return table.format(kUnknownErrorText, {std::string(hex)});
}

std::string StringTable::format(int id, std::span<const std::string> args) const
{
    return formatText(text(id), args);
}

std::string StringTable::formatEntry(const LogEntry &entry) const
{
    if (entry.messageId == kErrorTextMessage)
        return errorText(*this, entry.code);
    std::vector<std::string> args;
    args.reserve(entry.arguments.size());
    for (const LogArgument &argument : entry.arguments) {
        if (argument.type == LogArgument::Type::CodeText)
            args.push_back(errorText(*this, static_cast<platform::ResultCode>(argument.number)));
        else
            args.push_back(argument.toString());
    }
    return format(entry.messageId, args);
}

} // namespace engine
