#include <engine/localstate.h>
#include <engine/safename.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace {

class LocalStateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() /
                ("ravelind-localstate-" + std::to_string(std::random_device{}()));
        fs::create_directories(m_dir);
    }
    void TearDown() override
    {
        for (const auto &e : fs::recursive_directory_iterator(m_dir))
            fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(m_dir);
    }
    void write(const std::string &name, const std::string &content, bool readOnly)
    {
        std::ofstream(m_dir / name, std::ios::binary) << content;
        if (readOnly)
            fs::permissions(m_dir / name,
                            fs::perms::owner_write | fs::perms::group_write |
                                fs::perms::others_write,
                            fs::perm_options::remove);
    }
    fs::path m_dir;
};

TEST_F(LocalStateTest, EachStateOfOneFolder)
{
    write("same.txt", "12345", true);
    write("stale.txt", "123", true);
    write("edited.txt", "123456789", false);
    fs::create_directories(m_dir / "folder.txt");
    const std::vector<engine::LocalProbe> probes = {
        {"same.txt", 5},    {"stale.txt", 5},  {"edited.txt", 5},
        {"missing.txt", 5}, {"folder.txt", 0}, {"..", 0},
    };
    using S = engine::LocalState;
    EXPECT_EQ(engine::localStates(m_dir, probes),
              (std::vector<S>{S::ReadOnly, S::SizeDiffers, S::Writable, S::NotPresent,
                              S::NotPresent, S::Unknown}));
}

TEST_F(LocalStateTest, NoWorkingFolderOrCancelledLeavesUnknown)
{
    write("a", "1", true);
    using S = engine::LocalState;
    EXPECT_EQ(engine::localStates({}, {{"a", 1}}), std::vector<S>{S::Unknown});
    const std::atomic<bool> cancel{true};
    EXPECT_EQ(engine::localStates(m_dir, {{"a", 1}}, &cancel), std::vector<S>{S::Unknown});
}

struct SafeCase
{
    const char *situation;
    std::string name;
    bool safe;
};

class SafeName : public ::testing::TestWithParam<SafeCase>
{
};

TEST_P(SafeName, NamesFromTheServiceNeverLeaveTheFolder)
{
    EXPECT_EQ(engine::isSafePathComponent(GetParam().name), GetParam().safe);
}

INSTANTIATE_TEST_SUITE_P(
    Names, SafeName,
    ::testing::Values(SafeCase{"Plain", "notes.txt", true}, SafeCase{"Dots", "a..b", true},
                      SafeCase{"Empty", "", false}, SafeCase{"Dot", ".", false},
                      SafeCase{"DotDot", "..", false}, SafeCase{"Slash", "a/b", false},
                      SafeCase{"Backslash", "a\\b", false},
                      SafeCase{"Nul", std::string("a\0", 2), false}),
    [](const auto &row) { return std::string(row.param.situation); });

} // namespace
