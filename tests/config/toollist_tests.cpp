#include "tempfolder.h"

#include <config/registrykeys.h>
#include <config/toollist.h>

#include <platform/registry.h>

#include <gtest/gtest.h>

using namespace config;
using platform::fromWin32;
using platform::RegValue;

namespace {

ToolEntry tool(std::string name, std::string argument = {}, std::uint32_t input = 0)
{
    return ToolEntry{name, "/usr/bin/" + name, std::move(argument), "/srv/work", input};
}

class ToolStoreTest : public ::testing::Test
{
protected:
    TempFolder m_dir;
    std::filesystem::path m_file = m_dir / "registry.reg";
    platform::Registry m_reg{m_file};
    ToolStore m_store{m_reg};
};

TEST_F(ToolStoreTest, SavedListComesBackInListOrderAndTheSeventeenthIsDisabled)
{
    std::vector<ToolEntry> tools;
    for (int i = 0; i < 17; ++i)
        tools.push_back(tool("tool" + std::string(1, static_cast<char>('q' - i)), "arg", i % 2));
    ASSERT_EQ(m_store.save(tools), 0);

    platform::Registry reopened(m_file);
    ToolStore store(reopened);
    const std::vector<ToolEntry> loaded = store.load();
    ASSERT_EQ(loaded, tools);
    ASSERT_EQ(store.count(), 17u);
    EXPECT_EQ(toolCommandId(15), 1015);
    EXPECT_TRUE(isToolLaunchable(15));
    EXPECT_EQ(toolCommandId(16), 1016);
    EXPECT_FALSE(isToolLaunchable(16));
}

TEST_F(ToolStoreTest, SaveReplacesWhateverTheMenuKeyHeld)
{
    ASSERT_EQ(m_store.write(tool("stale")), 0);
    ASSERT_EQ(m_reg.writeDword(std::string(keys::kMenu) + "\\stale\\Deeper", "X", 1), 0);
    ASSERT_EQ(m_reg.writeDword(keys::kSettings, "StartUp", 1), 0);
    ASSERT_EQ(m_store.save({tool("meld"), tool(""), tool("bad\\name"), tool("kdiff3")}), 0);

    std::vector<std::string> names;
    ASSERT_EQ(m_reg.subkeyNames(keys::kMenu, names), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"meld", "kdiff3"}));
    std::uint32_t d = 0;
    EXPECT_EQ(m_reg.readDword(keys::kSettings, "StartUp", d), 0);
}

TEST_F(ToolStoreTest, TwoToolsOfTheSameNameBecomeOneWithTheLatersValues)
{
    ToolEntry later = tool("Diff", "later");
    ASSERT_EQ(m_store.save({tool("diff", "first"), later}), 0);
    const auto loaded = m_store.load();
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].argument, "later");
}

TEST_F(ToolStoreTest, ToolKeyWithAMissingOrMistypedValueIsSkipped)
{
    ASSERT_EQ(m_store.save({tool("first"), tool("noinput"), tool("textinput"), tool("last")}), 0);
    const std::string menu(keys::kMenu);
    ASSERT_EQ(m_reg.deleteValue(menu + "\\noinput", "Input"), 0);
    ASSERT_EQ(m_reg.writeString(menu + "\\textinput", "Input", "1"), 0);

    ToolEntry t;
    EXPECT_EQ(m_store.read(1, t), fromWin32(platform::err::FileNotFound));
    EXPECT_EQ(m_store.read(2, t), fromWin32(platform::err::DatatypeMismatch));
    EXPECT_EQ(m_store.read(4, t), fromWin32(platform::err::NoMoreItems));
    ASSERT_EQ(m_store.read(3, t), 0);
    EXPECT_EQ(t, tool("last"));
    const auto loaded = m_store.load();
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0].name, "first");
    EXPECT_EQ(loaded[1].name, "last");
}

TEST_F(ToolStoreTest, WriteStoresFourValuesAndInputAsOneOrZero)
{
    ASSERT_EQ(m_store.write(tool("ask", "", 5)), 0);
    std::vector<std::string> names;
    const std::string key = std::string(keys::kMenu) + "\\ask";
    ASSERT_EQ(m_reg.valueNames(key, names), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"CommandLine", "Argument", "CurrentDir", "Input"}));
    std::uint32_t input = 0;
    ASSERT_EQ(m_reg.readDword(key, "Input", input), 0);
    EXPECT_EQ(input, 1u);
    EXPECT_EQ(m_store.write(tool("a\\b")), fromWin32(platform::err::BadPathname));
    EXPECT_EQ(m_store.count(), 1u);
}

struct LaunchRow
{
    const char *name;
    ToolEntry entry;
    std::string prompted;
    ToolLaunch expected;
};

void PrintTo(const LaunchRow &row, std::ostream *os)
{
    *os << row.name;
}

class ToolLaunchTest : public ::testing::TestWithParam<LaunchRow>
{
};

TEST_P(ToolLaunchTest, ProgramAndArgumentStaySeparate)
{
    EXPECT_EQ(makeToolLaunch(GetParam().entry, GetParam().prompted), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Launches, ToolLaunchTest,
                         ::testing::Values(LaunchRow{"NoArgument",
                                                     {"t", "/opt/my tool/run", "", "", 0},
                                                     "",
                                                     {"/opt/my tool/run", {}, ""}},
                                           LaunchRow{"TwoWordsAreOneArgument",
                                                     {"t", "/bin/echo", "two words", "/srv", 0},
                                                     "",
                                                     {"/bin/echo", {"two words"}, "/srv"}},
                                           LaunchRow{"QuotesPassUntouched",
                                                     {"t", "/bin/echo", "say \"hi\"", "", 0},
                                                     "",
                                                     {"/bin/echo", {"say \"hi\""}, ""}},
                                           LaunchRow{"PromptedReplacesTheFixedArgument",
                                                     {"t", "/bin/cat", "fixed", "", 1},
                                                     "/home/u/a file.txt",
                                                     {"/bin/cat", {"/home/u/a file.txt"}, ""}},
                                           LaunchRow{"PromptedEmptyMeansNoArgument",
                                                     {"t", "/bin/cat", "fixed", "", 1},
                                                     "",
                                                     {"/bin/cat", {}, ""}},
                                           LaunchRow{"PromptIgnoredWhenNotAsked",
                                                     {"t", "/bin/cat", "fixed", "", 0},
                                                     "typed",
                                                     {"/bin/cat", {"fixed"}, ""}}),
                         [](const auto &rowInfo) { return std::string(rowInfo.param.name); });

struct ValidateRow
{
    const char *name;
    std::vector<std::string> names;
    ToolProblem::Kind kind;
    std::string offending;
};

void PrintTo(const ValidateRow &row, std::ostream *os)
{
    *os << row.name;
}

class ToolValidateTest : public ::testing::TestWithParam<ValidateRow>
{
};

TEST_P(ToolValidateTest, NamesTheToolThatCannotBeKept)
{
    std::vector<ToolEntry> tools;
    for (const auto &n : GetParam().names)
        tools.push_back(tool(n));
    const ToolProblem problem = validateTools(withoutUnnamed(tools));
    EXPECT_EQ(problem.kind, GetParam().kind);
    EXPECT_EQ(problem.name, GetParam().offending);
    EXPECT_EQ(static_cast<bool>(problem), GetParam().kind != ToolProblem::Kind::None);
}

const std::string kLongestName(keys::kMaxKeyPath - keys::kMenu.size() - 1, 'n');

INSTANTIATE_TEST_SUITE_P(
    Lists, ToolValidateTest,
    ::testing::Values(
        ValidateRow{"Distinct", {"meld", "kdiff3", "vim"}, ToolProblem::Kind::None, ""},
        ValidateRow{"Empty", {}, ToolProblem::Kind::None, ""},
        ValidateRow{"UnnamedAreDroppedFirst", {"", "meld", ""}, ToolProblem::Kind::None, ""},
        ValidateRow{"SameName", {"meld", "vim", "meld"}, ToolProblem::Kind::DuplicateName, "meld"},
        ValidateRow{
            "SameNameOtherCase", {"Diff", "x", "dIFF"}, ToolProblem::Kind::DuplicateName, "dIFF"},
        ValidateRow{"Backslash", {"ok", "a\\b"}, ToolProblem::Kind::InvalidName, "a\\b"},
        ValidateRow{"LineBreak", {"a\nb"}, ToolProblem::Kind::InvalidName, "a\nb"},
        ValidateRow{"LongestFits", {kLongestName}, ToolProblem::Kind::None, ""},
        ValidateRow{
            "TooLong", {kLongestName + "n"}, ToolProblem::Kind::NameTooLong, kLongestName + "n"}),
    [](const auto &rowInfo) { return std::string(rowInfo.param.name); });

} // namespace
