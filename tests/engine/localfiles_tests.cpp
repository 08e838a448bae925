#include <engine/localfiles.h>

#include <platform/resultcode.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const fs::path &p, const std::string &content)
{
    std::ofstream(p, std::ios::binary | std::ios::trunc) << content;
}

mode_t modeOf(const fs::path &p)
{
    struct stat st = {};
    EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
    return st.st_mode & 07777;
}

mode_t currentUmask()
{
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

class LocalFilesTest : public testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "ravelind-localfiles-XXXXXX").native();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override
    {
        std::error_code ec;
        for (const auto &entry : fs::recursive_directory_iterator(m_dir, ec))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(m_dir, ec);
    }

    // How many entries the folder holds: a failed copy must leave no stray file behind.
    std::size_t entriesIn(const fs::path &folder) const
    {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }

    fs::path m_dir;
};

// --- makePath -------------------------------------------------------------------------

TEST_F(LocalFilesTest, MakePathTwoDeepWithTrailingSlashWhoseFirstExists)
{
    fs::create_directory(m_dir / "a");
    const fs::path target = m_dir.native() + "/a/b/";
    EXPECT_EQ(engine::makePath(target), 0u);
    EXPECT_TRUE(fs::is_directory(m_dir / "a" / "b"));
    EXPECT_EQ(engine::makePath(target), 0u) << "second call on an existing chain";
}

TEST_F(LocalFilesTest, MakePathWithoutTrailingSlashMakesTheLastFolderToo)
{
    EXPECT_EQ(engine::makePath(m_dir / "x" / "y" / "z"), 0u);
    EXPECT_TRUE(fs::is_directory(m_dir / "x" / "y" / "z"));
}

TEST_F(LocalFilesTest, MakePathOfRootMakesNothing)
{
    EXPECT_EQ(engine::makePath("/"), 0u);
}

TEST_F(LocalFilesTest, MakePathWithoutFolderPartCannotMake)
{
    EXPECT_EQ(engine::makePath("name"), platform::err::CannotMake);
    EXPECT_EQ(engine::makePath(""), platform::err::CannotMake);
}

TEST_F(LocalFilesTest, MakePathWhereAFileStandsFails)
{
    writeAll(m_dir / "f", "x");
    EXPECT_EQ(engine::makePath(m_dir / "f"), platform::err::AlreadyExists);
    EXPECT_NE(engine::makePath(m_dir / "f" / "sub"), 0u);
    EXPECT_TRUE(fs::is_regular_file(m_dir / "f"));
}

TEST_F(LocalFilesTest, MakePathRelativeMakesFoldersBeforeTheLastSlash)
{
    const fs::path before = fs::current_path();
    fs::current_path(m_dir);
    const auto made = engine::makePath("rel/sub/name");
    const bool subMade = fs::is_directory(m_dir / "rel" / "sub");
    const bool nameMade = fs::exists(m_dir / "rel" / "sub" / "name");
    const auto again = engine::makePath("rel/sub/name");
    fs::current_path(before);
    EXPECT_EQ(made, 0u);
    EXPECT_TRUE(subMade);
    EXPECT_FALSE(nameMade);
    EXPECT_EQ(again, 0u) << "existing folders are success, not 183";
}

// --- copyOver -------------------------------------------------------------------------

TEST_F(LocalFilesTest, CopyOverReadOnlyTargetLeavesItNormalWithNewContentAndSourceTime)
{
    const fs::path source = m_dir / "source";
    const fs::path target = m_dir / "target";
    writeAll(source, "new content");
    writeAll(target, "old");
    const auto stamp = fs::file_time_type::clock::now() - std::chrono::hours(50);
    fs::last_write_time(source, stamp);
    ASSERT_EQ(engine::setReadOnly(target, true), 0u);
    ASSERT_EQ(modeOf(target) & 0222, 0u);

    EXPECT_EQ(engine::copyOver(source, target), 0u);
    EXPECT_EQ(readAll(target), "new content");
    EXPECT_FALSE(engine::isReadOnly(target));
    EXPECT_NE(modeOf(target) & S_IWUSR, 0u);
    EXPECT_EQ(fs::last_write_time(target), stamp);
    EXPECT_EQ(entriesIn(m_dir), 2u);
}

TEST_F(LocalFilesTest, CopyOverWritableTargetKeepsItsMode)
{
    const fs::path target = m_dir / "target";
    writeAll(m_dir / "source", "abc");
    writeAll(target, "old old old");
    fs::permissions(target, static_cast<fs::perms>(0640));
    EXPECT_EQ(engine::copyOver(m_dir / "source", target), 0u);
    EXPECT_EQ(readAll(target), "abc");
    EXPECT_EQ(modeOf(target), 0640u);
}

TEST_F(LocalFilesTest, CopyOverMissingTargetCreatesItWithUmaskMode)
{
    writeAll(m_dir / "source", std::string(300000, 'q'));
    EXPECT_EQ(engine::copyOver(m_dir / "source", m_dir / "new"), 0u);
    EXPECT_EQ(readAll(m_dir / "new"), std::string(300000, 'q'));
    EXPECT_EQ(modeOf(m_dir / "new"), 0666u & ~currentUmask());
}

TEST_F(LocalFilesTest, CopyOverEmptySourceEmptiesTarget)
{
    writeAll(m_dir / "source", "");
    writeAll(m_dir / "target", "old");
    EXPECT_EQ(engine::copyOver(m_dir / "source", m_dir / "target"), 0u);
    EXPECT_EQ(readAll(m_dir / "target"), "");
}

TEST_F(LocalFilesTest, CopyOverWritableTargetThatCannotBeOpenedIsAccessDenied)
{
    writeAll(m_dir / "source", "abc");
    fs::create_directory(m_dir / "target");
    fs::permissions(m_dir / "target", static_cast<fs::perms>(0750));
    EXPECT_EQ(engine::copyOver(m_dir / "source", m_dir / "target"), platform::err::AccessDenied);
    EXPECT_TRUE(fs::is_directory(m_dir / "target"));
    EXPECT_EQ(modeOf(m_dir / "target"), 0750u) << "attributes untouched";
}

TEST_F(LocalFilesTest, CopyOverMissingSourceLeavesTargetAlone)
{
    writeAll(m_dir / "target", "old");
    ASSERT_EQ(engine::setReadOnly(m_dir / "target", true), 0u);
    EXPECT_EQ(engine::copyOver(m_dir / "missing", m_dir / "target"), platform::err::FileNotFound);
    EXPECT_EQ(readAll(m_dir / "target"), "old");
    EXPECT_TRUE(engine::isReadOnly(m_dir / "target"));
}

// A source that opens but fails on read: the old target stays whole, read-only as before,
// and no half-written file is left beside it.
TEST_F(LocalFilesTest, CopyOverFailingSourceReadLeavesOldTargetIntact)
{
    fs::create_directory(m_dir / "unreadable");
    writeAll(m_dir / "target", "precious");
    ASSERT_EQ(engine::setReadOnly(m_dir / "target", true), 0u);
    EXPECT_NE(engine::copyOver(m_dir / "unreadable", m_dir / "target"), 0u);
    EXPECT_EQ(readAll(m_dir / "target"), "precious");
    EXPECT_TRUE(engine::isReadOnly(m_dir / "target"));
    EXPECT_EQ(entriesIn(m_dir), 2u);
}

// The disk fills up half way: simulated with a file size limit, which fails the write the
// same way (and the signal it raises is ignored, as a program that handles errors does).
TEST_F(LocalFilesTest, CopyOverThatRunsOutOfSpaceLeavesOldTargetIntact)
{
    const std::string old(1000, 'o');
    writeAll(m_dir / "source", std::string(1 << 20, 'n'));
    writeAll(m_dir / "target", old);

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto result = engine::copyOver(m_dir / "source", m_dir / "target");
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(result, platform::err::FileTooLarge);
    EXPECT_EQ(readAll(m_dir / "target"), old);
    EXPECT_EQ(entriesIn(m_dir), 2u);
}

TEST_F(LocalFilesTest, CopyOverThroughLinkReplacesTheLinkedFile)
{
    writeAll(m_dir / "source", "new");
    writeAll(m_dir / "real", "old");
    fs::create_symlink(m_dir / "real", m_dir / "link");
    EXPECT_EQ(engine::copyOver(m_dir / "source", m_dir / "link"), 0u);
    EXPECT_TRUE(fs::is_symlink(m_dir / "link"));
    EXPECT_EQ(readAll(m_dir / "real"), "new");
}

// --- deleteLocal and the read-only state ---------------------------------------------------

TEST_F(LocalFilesTest, DeleteLocalOfMissingFileIsMinusOne)
{
    writeAll(m_dir / "other", "x");
    EXPECT_EQ(engine::deleteLocal(m_dir / "missing"), -1);
    EXPECT_EQ(entriesIn(m_dir), 1u);
}

TEST_F(LocalFilesTest, DeleteLocalRemovesReadOnlyFile)
{
    writeAll(m_dir / "f", "x");
    ASSERT_EQ(engine::setReadOnly(m_dir / "f", true), 0u);
    EXPECT_EQ(engine::deleteLocal(m_dir / "f"), 1);
    EXPECT_FALSE(fs::exists(m_dir / "f"));
}

TEST_F(LocalFilesTest, DeleteLocalOfFolderFailsWithZero)
{
    fs::create_directory(m_dir / "d");
    EXPECT_EQ(engine::deleteLocal(m_dir / "d"), 0);
    EXPECT_TRUE(fs::is_directory(m_dir / "d"));
}

TEST_F(LocalFilesTest, ReadOnlyClearsEveryWriteBitAndNormalRestoresOwnerWrite)
{
    writeAll(m_dir / "f", "x");
    fs::permissions(m_dir / "f", static_cast<fs::perms>(0666));
    ASSERT_EQ(engine::setReadOnly(m_dir / "f", true), 0u);
    EXPECT_EQ(modeOf(m_dir / "f"), 0444u);
    EXPECT_TRUE(engine::isReadOnly(m_dir / "f"));
    ASSERT_EQ(engine::setReadOnly(m_dir / "f", false), 0u);
    EXPECT_EQ(modeOf(m_dir / "f"), 0644u);
    EXPECT_EQ(engine::setReadOnly(m_dir / "missing", true), platform::err::FileNotFound);
}

// --- sameContent ----------------------------------------------------------------------

struct SameContentCase
{
    const char *name;
    std::string a;
    std::string b;
    bool same;
};

class SameContent : public LocalFilesTest, public testing::WithParamInterface<SameContentCase>
{
};

TEST_P(SameContent, ComparesEveryByte)
{
    writeAll(m_dir / "a", GetParam().a);
    writeAll(m_dir / "b", GetParam().b);
    EXPECT_EQ(engine::sameContent(m_dir / "a", m_dir / "b"), GetParam().same);
}

// Beyond one 64 KiB read, so that a difference in a later read counts too.
const std::string kLong(200000, 'x');

INSTANTIATE_TEST_SUITE_P(
    Files, SameContent,
    testing::Values(SameContentCase{"Equal", "alpha\n", "alpha\n", true},
                    SameContentCase{"BothEmpty", "", "", true},
                    SameContentCase{"SameSizeOtherBytes", "alpha\n", "alpHa\n", false},
                    SameContentCase{"OneLonger", "alpha", "alpha\n", false},
                    SameContentCase{"LongEqual", kLong, kLong, true},
                    SameContentCase{"LongDifferingAtTheEnd", kLong, kLong.substr(1) + "y", false}),
    [](const testing::TestParamInfo<SameContentCase> &p) { return std::string(p.param.name); });

TEST_F(LocalFilesTest, SameContentOfAMissingFileOrAFolderIsFalse)
{
    writeAll(m_dir / "a", "");
    fs::create_directory(m_dir / "folder");
    EXPECT_FALSE(engine::sameContent(m_dir / "a", m_dir / "missing"));
    EXPECT_FALSE(engine::sameContent(m_dir / "missing", m_dir / "missing"));
    EXPECT_FALSE(engine::sameContent(m_dir / "folder", m_dir / "folder"));
}

} // namespace
