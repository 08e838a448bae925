#pragma once

// The language module's numbered string table, read without Qt, so the command-line client
// prints the very texts the window's message pane shows. The window reads the table from its
// Zem<code page>.rcc; the build installs the same source file, resources/<code page>/strings.txt,
// as strings<code page>.txt beside that module (and copies it beside the programs in the
// build tree), because a Qt resource file can only be read reliably by Qt and the Qt-free
// build has no resource compiler at all.
//
// File format: "number<TAB>text" a line, UTF-8; "\n", "\t" and "\\" are escapes; empty lines
// and lines starting with "#" are skipped.

#include "engine/operations/logentry.h"

#include <platform/resultcode.h>

#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

inline constexpr int kEnglishCodePage = 437;

// The OEM code page of a locale name such as "ja_JP.UTF-8" or "zh_TW": ja 932, zh_CN 936,
// ko 949, zh_TW 950, anything else 437. Traditional Chinese ("Hant", Taiwan, Hong Kong, Macao)
// counts as zh_TW, other Chinese as zh_CN.
int codePageForLocale(std::string_view localeName);

// RAVELIND_CODEPAGE when it holds a positive number, else the code page of the user's locale
// (LC_ALL, LC_MESSAGES, LANG, as the C library orders them). Reads the environment only.
int currentCodePage();

// The folders searched for a table, in order: the executable's folder, then
// ../share/ravelind beside it (the same places as the window's module).
std::vector<std::filesystem::path>
stringTableSearchDirs(const std::filesystem::path &executableDir);
// The folder of the running program (/proc/self/exe); empty when the system does not say.
std::filesystem::path executableDir();
// "strings<code page>.txt".
std::string stringTableFileName(int codePage);

struct StringTableLocation
{
    std::filesystem::path path;
    int codePage = 0;      // the code page of the table found
    bool fellBack = false; // the wanted table was missing and the English one was taken

    bool operator==(const StringTableLocation &) const = default;
};

// The table for `codePage`, else the English one; nothing when neither exists in any of
// `dirs`. Looks at files only.
std::optional<StringTableLocation> findStringTable(int codePage,
                                                   const std::vector<std::filesystem::path> &dirs);

// Replaces the markers %1 to %99 of `pattern` with the arguments in one pass: %n takes
// args[n-1]; a marker without an argument stays as written; the text of an argument is never
// searched for markers again (a file name holding "%2" stays as it is).
std::string formatText(std::string_view pattern, std::span<const std::string> args);

class StringTable
{
public:
    StringTable() = default;

    // Parses a table in the format above; false with `error` ("line 7: ...") on the first
    // malformed line. A number given twice is an error: one of the two texts would silently
    // be lost.
    [[nodiscard]] static bool parse(std::string_view data, StringTable &table, std::string &error);
    // Reads and parses a file; nothing (and `error`) when it cannot. Blocks on the file.
    static std::optional<StringTable> load(const std::filesystem::path &file, std::string &error);

    // The string of that number; "#<number>" when the table lacks it, so a gap shows up
    // instead of an empty line.
    std::string text(int id) const;
    bool hasText(int id) const { return m_strings.count(id) != 0; }
    std::size_t size() const { return m_strings.size(); }

    // text(id) with its markers replaced (formatText).
    std::string format(int id, std::span<const std::string> args) const;
    std::string format(int id, std::initializer_list<std::string> args) const
    {
        return format(id, std::span<const std::string>(args.begin(), args.size()));
    }

    // The line of a run's log entry as the message pane shows it: its string with the
    // arguments in place, a code's text worded as errorText() words it, and for an entry that
    // is only an error (kErrorTextMessage) that error's text.
    std::string formatEntry(const LogEntry &entry) const;

private:
    std::map<int, std::string> m_strings;
};

// The number of the table's text for a result code's system error (0x8007xxxx), when the
// language module words that error itself.
std::optional<int> errorStringId(platform::ResultCode rc);

// What the window shows for a result code: the module's wording of the system error, else the
// client library's own text (internet errors, HTTP answers, ...), else text 3100 with the
// code in hex. Never empty for a failure.
std::string errorText(const StringTable &table, platform::ResultCode rc);

} // namespace engine
