#include "testhelpers.h"

#include <platform/tempfile.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>

namespace {

TEST(TempFile, LivesInTheTempFolderWithZemPrefixAndPrivateMode)
{
    platform::TempFile f;
    ASSERT_EQ(platform::TempFile::create(f), 0);
    EXPECT_EQ(f.path().parent_path(), testhelpers::tempDir());
    EXPECT_TRUE(f.path().filename().string().starts_with("Zem"));
    struct stat st
    {
    };
    ASSERT_EQ(::stat(f.path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_size, 0);
}

TEST(TempFile, IsDeletedByItsOwnerAlsoAfterAMove)
{
    std::filesystem::path name;
    {
        platform::TempFile a;
        ASSERT_EQ(platform::TempFile::create(a), 0);
        name = a.path();
        platform::TempFile b = std::move(a);
        EXPECT_FALSE(a.isOpen());
        EXPECT_TRUE(std::filesystem::exists(name));
    }
    EXPECT_FALSE(std::filesystem::exists(name));
}

TEST(TempFile, ReadsBackWhatWasWrittenAfterRewind)
{
    platform::TempFile f;
    ASSERT_EQ(platform::TempFile::create(f), 0);
    ASSERT_EQ(f.write("hello world"), 0);
    std::int64_t size = 0;
    ASSERT_EQ(f.size(size), 0);
    EXPECT_EQ(size, 11);
    ASSERT_EQ(f.seek(6), 0);
    char buf[16] = {};
    std::size_t got = 0;
    ASSERT_EQ(f.read(buf, sizeof buf, got), 0);
    EXPECT_EQ(std::string(buf, got), "world");
    ASSERT_EQ(f.read(buf, sizeof buf, got), 0);
    EXPECT_EQ(got, 0u);
}

TEST(MakeTempFile, CreatesAnEmptyFileTheCallerOwns)
{
    std::filesystem::path name;
    ASSERT_EQ(platform::makeTempFile(name), 0);
    EXPECT_TRUE(name.filename().string().starts_with("Zem"));
    EXPECT_EQ(std::filesystem::file_size(name), 0u);
    std::filesystem::remove(name);
}

TEST(MakeTempFile, MissingTempFolderGivesTheSystemError)
{
    const std::string saved = testhelpers::tempDir().string();
    ::setenv("TMPDIR", (saved + "/does-not-exist").c_str(), 1);
    std::filesystem::path name;
    const platform::ResultCode rc = platform::makeTempFile(name);
    platform::TempFile f;
    const platform::ResultCode rc2 = platform::TempFile::create(f);
    ::setenv("TMPDIR", saved.c_str(), 1);
    EXPECT_EQ(rc, platform::fromWin32(2));
    EXPECT_EQ(rc2, platform::fromWin32(2));
    EXPECT_FALSE(f.isOpen());
}

} // namespace
