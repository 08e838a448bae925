#include <engine/engineconstants.h>
#include <engine/stringtable.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tempfolder.h"

namespace {

// A test name from a row's description.
struct RowName
{
    template<class Row> std::string operator()(const ::testing::TestParamInfo<Row> &row) const
    {
        std::string name = row.param.name;
        for (char &c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    }
};
constexpr RowName rowName;

struct FormatRow
{
    const char *name;
    std::string pattern;
    std::vector<std::string> args;
    std::string expected;
};

void PrintTo(const FormatRow &row, std::ostream *os)
{
    *os << row.name;
}

class FormatText : public ::testing::TestWithParam<FormatRow>
{
};

TEST_P(FormatText, ReplacesMarkersInOnePass)
{
    const FormatRow &row = GetParam();
    EXPECT_EQ(engine::formatText(row.pattern, row.args), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FormatText,
    ::testing::Values(
        FormatRow{"no marker", "Ready", {"x"}, "Ready"},
        FormatRow{"one marker", "%1 was fetched.", {"/tmp/a"}, "/tmp/a was fetched."},
        FormatRow{"markers out of order", "%2 then %1", {"a", "b"}, "b then a"},
        FormatRow{"marker used twice", "%1/%1", {"x"}, "x/x"},
        FormatRow{"marker without argument stays", "%1 and %3", {"a", "b"}, "a and %3"},
        FormatRow{
            "argument holding a marker is not rescanned", "%1: %2", {"100%2", "why"}, "100%2: why"},
        FormatRow{"percent before a marker", "%%1", {"a"}, "%a"},
        FormatRow{"percent at the end", "50%", {"a"}, "50%"},
        FormatRow{"percent before a letter", "%s %1", {"a"}, "%s a"},
        FormatRow{"marker zero stays", "%0 %1", {"a"}, "%0 a"},
        FormatRow{
            "two-digit marker", "%10", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "ten"}, "ten"},
        FormatRow{"two digits read although only one argument", "%12", {"a"}, "%12"},
        FormatRow{"UTF-8 passes unchanged",
                  "「%1」を取得しました。",
                  {"ファイル"},
                  "「ファイル」を取得しました。"}),
    rowName);

struct ParseRow
{
    const char *name;
    std::string data;
    bool ok;
    int id;               // a number to look up when ok
    std::string expected; // its text, or the error when not ok
};

void PrintTo(const ParseRow &row, std::ostream *os)
{
    *os << row.name;
}

class ParseTable : public ::testing::TestWithParam<ParseRow>
{
};

TEST_P(ParseTable, ReadsTheWindowsFormat)
{
    const ParseRow &row = GetParam();
    engine::StringTable table;
    std::string error;
    ASSERT_EQ(engine::StringTable::parse(row.data, table, error), row.ok) << error;
    if (row.ok)
        EXPECT_EQ(table.text(row.id), row.expected);
    else
        EXPECT_EQ(error, row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ParseTable,
    ::testing::Values(
        ParseRow{"plain line", "2044\t%1 was fetched.\n", true, 2044, "%1 was fetched."},
        ParseRow{"comments and blank lines skipped", "# head\n\n   \n128\tRavelind\n", true, 128,
                 "Ravelind"},
        ParseRow{"CR LF line ends", "1\tone\r\n2\ttwo\r\n", true, 2, "two"},
        ParseRow{"last line without line feed", "1\tone\n2\ttwo", true, 2, "two"},
        ParseRow{"escapes", "5\ta\\nb\\tc\\\\d\n", true, 5, "a\nb\tc\\d"},
        ParseRow{"tab inside the text kept", "6\ta\tb\n", true, 6, "a\tb"},
        ParseRow{"empty text", "7\t\n", true, 7, ""},
        ParseRow{"missing number reads as a gap", "1\tone\n", true, 99, "#99"},
        ParseRow{"no tab", "1\tone\n2 two\n", false, 0, "line 2: no tab after the number"},
        ParseRow{"tab first", "\tnothing\n", false, 0, "line 1: no tab after the number"},
        ParseRow{"bad number", "12a\tx\n", false, 0, "line 1: bad number"},
        ParseRow{"negative number", "-3\tx\n", false, 0, "line 1: bad number"},
        ParseRow{"bad escape", "1\ta\\qb\n", false, 0, "line 1: bad escape"},
        ParseRow{"backslash at the end", "1\tab\\\n", false, 0, "line 1: bad escape"},
        ParseRow{"number given twice", "1\tone\n\n1\tagain\n", false, 0,
                 "line 3: number 1 given twice"}),
    rowName);

TEST(ParseTable, FailedParseLeavesTheTableAsItWas)
{
    engine::StringTable table;
    std::string error;
    ASSERT_TRUE(engine::StringTable::parse("1\tone\n", table, error));
    EXPECT_FALSE(engine::StringTable::parse("2\ttwo\n2\tbad\n", table, error));
    EXPECT_EQ(table.text(1), "one");
    EXPECT_FALSE(table.hasText(2));
}

struct LocaleRow
{
    const char *locale;
    int codePage;
};

class CodePageForLocale : public ::testing::TestWithParam<LocaleRow>
{
};

TEST_P(CodePageForLocale, FollowsTheLanguage)
{
    EXPECT_EQ(engine::codePageForLocale(GetParam().locale), GetParam().codePage)
        << GetParam().locale;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CodePageForLocale,
    ::testing::Values(LocaleRow{"ja_JP.UTF-8", 932}, LocaleRow{"ja", 932}, LocaleRow{"ja-JP", 932},
                      LocaleRow{"zh_CN.UTF-8", 936}, LocaleRow{"zh_SG", 936}, LocaleRow{"zh", 936},
                      LocaleRow{"ko_KR.UTF-8", 949}, LocaleRow{"zh_TW.UTF-8", 950},
                      LocaleRow{"zh_HK", 950}, LocaleRow{"zh_MO", 950}, LocaleRow{"zh-Hant", 950},
                      LocaleRow{"zh_Hant_TW", 950}, LocaleRow{"en_US.UTF-8", 437},
                      LocaleRow{"de_DE@euro", 437}, LocaleRow{"C", 437}, LocaleRow{"C.UTF-8", 437},
                      LocaleRow{"POSIX", 437}, LocaleRow{"jam_JM", 437}, LocaleRow{"", 437}));

// Sets environment variables for one test and puts the old values back.
class ScopedEnv
{
public:
    void set(const char *name, const char *value)
    {
        if (const char *old = std::getenv(name))
            m_saved.push_back({name, std::string(old)});
        else
            m_saved.push_back({name, std::nullopt});
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            if (it->second)
                ::setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                ::unsetenv(it->first.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

struct EnvRow
{
    const char *name;
    const char *codePage, *lcAll, *lcMessages, *lang;
    int expected;
};

void PrintTo(const EnvRow &row, std::ostream *os)
{
    *os << row.name;
}

class CurrentCodePage : public ::testing::TestWithParam<EnvRow>
{
};

TEST_P(CurrentCodePage, ForcedNumberThenLocaleInLibraryOrder)
{
    const EnvRow &row = GetParam();
    ScopedEnv env;
    env.set("RAVELIND_CODEPAGE", row.codePage);
    env.set("LC_ALL", row.lcAll);
    env.set("LC_MESSAGES", row.lcMessages);
    env.set("LANG", row.lang);
    EXPECT_EQ(engine::currentCodePage(), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CurrentCodePage,
    ::testing::Values(EnvRow{"nothing set", nullptr, nullptr, nullptr, nullptr, 437},
                      EnvRow{"forced", "932", nullptr, nullptr, "en_US.UTF-8", 932},
                      EnvRow{"forced with blanks", " 1252 ", nullptr, nullptr, nullptr, 1252},
                      EnvRow{"forced not a number", "abc", nullptr, nullptr, "ko_KR", 949},
                      EnvRow{"forced zero", "0", nullptr, nullptr, "ja_JP", 932},
                      EnvRow{"forced negative", "-5", nullptr, nullptr, nullptr, 437},
                      EnvRow{"LANG only", nullptr, nullptr, nullptr, "zh_TW.UTF-8", 950},
                      EnvRow{"LC_MESSAGES over LANG", nullptr, nullptr, "ja_JP", "en_US", 932},
                      EnvRow{"LC_ALL over both", nullptr, "en_US", "ja_JP", "ja_JP", 437},
                      EnvRow{"empty LC_ALL skipped", nullptr, "", nullptr, "ja_JP", 932}),
    rowName);

void writeFile(const std::filesystem::path &file, const std::string &text)
{
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

TEST(FindStringTable, ProgramFolderFirstThenShareThenEnglish)
{
    TempFolder root;
    const std::filesystem::path bin = root / "bin";
    const std::filesystem::path share = root / "share" / "ravelind";
    std::filesystem::create_directories(bin);
    const auto dirs = engine::stringTableSearchDirs(bin);
    ASSERT_EQ(dirs.size(), 2u);
    EXPECT_EQ(dirs[1], share.lexically_normal());

    EXPECT_EQ(engine::findStringTable(932, dirs), std::nullopt) << "no table at all";

    writeFile(share / "strings437.txt", "1\tone\n");
    EXPECT_EQ(engine::findStringTable(932, dirs),
              (engine::StringTableLocation{dirs[1] / "strings437.txt", 437, true}));

    writeFile(share / "strings932.txt", "1\tichi\n");
    EXPECT_EQ(engine::findStringTable(932, dirs),
              (engine::StringTableLocation{dirs[1] / "strings932.txt", 932, false}));

    writeFile(bin / "strings932.txt", "1\tichi\n");
    EXPECT_EQ(engine::findStringTable(932, dirs),
              (engine::StringTableLocation{bin / "strings932.txt", 932, false}));

    std::filesystem::create_directories(bin / "strings437.txt");
    EXPECT_EQ(engine::findStringTable(437, dirs),
              (engine::StringTableLocation{dirs[1] / "strings437.txt", 437, false}))
        << "a folder of that name is not a table";
}

TEST(StringTableLoad, ReportsTheFileAndTheLine)
{
    TempFolder root;
    std::string error;
    EXPECT_FALSE(engine::StringTable::load(root / "missing.txt", error));
    EXPECT_NE(error.find("missing.txt"), std::string::npos) << error;

    writeFile(root / "bad.txt", "1\tone\nbroken\n");
    EXPECT_FALSE(engine::StringTable::load(root / "bad.txt", error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;

    writeFile(root / "good.txt", "1\tone\n");
    const auto table = engine::StringTable::load(root / "good.txt", error);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->format(1, {}), "one");
}

// The table that ships: it must parse, and it must word the errors the workers report.
TEST(ShippedStringTable, ParsesAndWordsTheSystemErrors)
{
    std::string error;
    const auto table = engine::StringTable::load(
        std::filesystem::path(RAVELIND_SOURCE_DIR) / "resources" / "437" / "strings.txt", error);
    ASSERT_TRUE(table) << error;
    for (const platform::ResultCode rc :
         {platform::fromWin32(platform::err::FileNotFound),
          platform::fromWin32(platform::err::AccessDenied), platform::kCancelled,
          platform::fromWin32(platform::err::CannotMake),
          platform::fromWin32(platform::err::AlreadyExists)}) {
        const std::optional<int> id = engine::errorStringId(rc);
        ASSERT_TRUE(id) << rc;
        EXPECT_TRUE(table->hasText(*id)) << *id;
        EXPECT_EQ(engine::errorText(*table, rc), table->text(*id));
    }
}

TEST(ErrorText, ModuleWordingThenLibraryTextThenNumber)
{
    engine::StringTable table;
    std::string error;
    ASSERT_TRUE(
        engine::StringTable::parse("3100\tError %1.\n3105\tNo access here.\n", table, error));
    EXPECT_EQ(engine::errorText(table, platform::fromWin32(platform::err::AccessDenied)),
              "No access here.");
    // Worded by the module in general, but not in this table: the library's text.
    const platform::ResultCode notFound = platform::fromWin32(platform::err::FileNotFound);
    EXPECT_EQ(engine::errorText(table, notFound), platform::errorText(notFound, true));
    EXPECT_FALSE(engine::errorText(table, notFound).empty());
    // Internet errors are not 0x8007xxxx codes: never looked up by their low bits.
    EXPECT_EQ(engine::errorStringId(static_cast<platform::ResultCode>(0x800C0005u)), std::nullopt);
    EXPECT_EQ(engine::errorStringId(platform::fromWin32(platform::err::InternetCannotConnect)),
              std::nullopt);
}

} // namespace

namespace {

TEST(FormatEntry, WordsCodesAsTheModuleDoes)
{
    engine::StringTable table;
    std::string error;
    ASSERT_TRUE(engine::StringTable::parse("2043\t%1 could not be fetched: %2\n"
                                           "2045\tThe file list failed (error %1).\n"
                                           "2051\t%1 failed (%2 of %3).\n"
                                           "3123\tCancelled by you.\n"
                                           "3105\tNo access here.\n",
                                           table, error));
    using engine::LogArgument;
    const platform::ResultCode denied = platform::fromWin32(platform::err::AccessDenied);

    engine::LogEntry fetch{engine::LogKind::Failure,
                           2043,
                           {LogArgument::ofText("/w/a.txt"), LogArgument::ofCodeText(denied)},
                           denied};
    EXPECT_EQ(table.formatEntry(fetch), "/w/a.txt could not be fetched: No access here.");

    engine::LogEntry list{engine::LogKind::Failure, 2045, {LogArgument::ofCode(denied)}, denied};
    EXPECT_EQ(table.formatEntry(list), "The file list failed (error 0x80070005).");

    engine::LogEntry numbers{
        engine::LogKind::Failure,
        2051,
        {LogArgument::ofText("x"), LogArgument::ofNumber(3), LogArgument::ofNumber(-1)},
        denied};
    EXPECT_EQ(table.formatEntry(numbers), "x failed (3 of -1).");

    engine::LogEntry cancelled{
        engine::LogKind::Failure, engine::kErrorTextMessage, {}, platform::kCancelled};
    EXPECT_EQ(table.formatEntry(cancelled), "Cancelled by you.");
}

// Every line a run can log has its wording in the shipped English module, so neither the
// window nor the command-line client ever shows a "#2044" gap.
TEST(ShippedStringTable, HoldsEveryOperationLine)
{
    std::string error;
    const auto table = engine::StringTable::load(
        std::filesystem::path(RAVELIND_SOURCE_DIR) / "resources" / "437" / "strings.txt", error);
    ASSERT_TRUE(table) << error;
    namespace msg = engine::msg;
    for (const int id : {msg::kTitleGetVersion,
                         msg::kTitleGet,
                         msg::kTitleCheckOut,
                         msg::kTitleUndoCheckOut,
                         msg::kTitleCheckIn,
                         msg::kTitleMoveFolder,
                         msg::kTitleMoveFiles,
                         msg::kStatusCheckingOut,
                         msg::kStatusWritingLocal,
                         msg::kStatusMovingFiles,
                         msg::kGetFailed,
                         msg::kGot,
                         msg::kFileListFailed,
                         msg::kFileListRefused,
                         msg::kCheckOutFailed,
                         msg::kCheckedOut,
                         msg::kUndoFailed,
                         msg::kUndone,
                         msg::kCheckOutFailedInWalk,
                         msg::kUndoFailedInWalk,
                         msg::kCheckInFailed,
                         msg::kCheckedIn,
                         msg::kCheckInFailedInWalk,
                         msg::kMoveFileFailed,
                         msg::kFileMoved,
                         msg::kMoveFolderFailed,
                         msg::kFolderMoved,
                         msg::kAddFailed,
                         msg::kAdded,
                         msg::kCreateFolderFailed,
                         msg::kFolderCreated,
                         msg::kKeptCheckedOut,
                         msg::kCountFailed,
                         msg::kWalkStopped,
                         msg::kLinkNotFollowed,
                         msg::kFolderListFailed,
                         msg::kUnsafeName,
                         msg::kAddUnreadable,
                         msg::kUnchangedUndone,
                         msg::kStatusComparing,
                         2032,
                         2033,
                         2034,
                         2035})
        EXPECT_TRUE(table->hasText(id)) << "string " << id << " is missing";
}

} // namespace
