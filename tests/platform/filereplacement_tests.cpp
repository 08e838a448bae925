#include "tempfolder.h"

#include <platform/filedescriptor.h>
#include <platform/filereplacement.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;

namespace {

bool isOpenDescriptor(int fd)
{
    return ::fcntl(fd, F_GETFD) != -1;
}

std::vector<std::string> namesIn(const std::filesystem::path &folder)
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

// --- FileDescriptor ------------------------------------------------------------------------

TEST(FileDescriptor, ClosesWhenDestroyedAndOnlyOnceAfterAMove)
{
    int raw = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(raw, 0);
    {
        FileDescriptor first(raw);
        FileDescriptor second(std::move(first));
        EXPECT_FALSE(first.valid()); // NOLINT(bugprone-use-after-move): the move is the test
        EXPECT_EQ(second.get(), raw);
        FileDescriptor third;
        third = std::move(second);
        EXPECT_EQ(third.get(), raw);
        EXPECT_TRUE(isOpenDescriptor(raw));
    }
    EXPECT_FALSE(isOpenDescriptor(raw));
}

TEST(FileDescriptor, ReleaseGivesTheDescriptorUpAndCloseReportsItsResult)
{
    FileDescriptor owner(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    const int raw = owner.release();
    EXPECT_FALSE(owner.valid());
    EXPECT_TRUE(isOpenDescriptor(raw));

    FileDescriptor again(raw);
    EXPECT_EQ(again.close(), 0);
    EXPECT_FALSE(again.valid());
    EXPECT_FALSE(isOpenDescriptor(raw));
    EXPECT_EQ(again.close(), 0); // nothing left to close, and no second close of `raw`
}

TEST(FileDescriptor, ResetClosesThePreviousDescriptor)
{
    const int first = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    FileDescriptor owner(first);
    owner.reset(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    // The new descriptor was opened while the first was still open, so the numbers differ.
    EXPECT_NE(owner.get(), first);
    EXPECT_FALSE(isOpenDescriptor(first));
    EXPECT_TRUE(owner.valid());
}

// --- FileReplacement -----------------------------------------------------------------------

struct ReplaceRow
{
    const char *name;
    bool targetExists;
    unsigned mode;
};

void PrintTo(const ReplaceRow &row, std::ostream *os)
{
    *os << row.name;
}

class ReplaceFileTest : public ::testing::TestWithParam<ReplaceRow>
{
};

TEST_P(ReplaceFileTest, LeavesTheNewContentWithTheModeAndNoTemporaryFile)
{
    const ReplaceRow &row = GetParam();
    TempFolder dir;
    const auto target = dir / "settings.reg";
    if (row.targetExists) {
        writeText(target, "old content that is longer than the new one");
        ::chmod(target.c_str(), 0644);
    }
    struct stat st = {};
    ASSERT_EQ(replaceFile(target, "new", row.mode, &st), 0);
    EXPECT_EQ(fileText(target), "new");
    EXPECT_EQ(fileMode(target), row.mode);
    EXPECT_EQ(st.st_size, 3);
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"settings.reg"});
}

INSTANTIATE_TEST_SUITE_P(Targets, ReplaceFileTest,
                         ::testing::Values(ReplaceRow{"NewPrivateFile", false, 0600},
                                           ReplaceRow{"ExistingFileBecomesPrivate", true, 0600},
                                           ReplaceRow{"ExistingFileReadOnly", true, 0400}),
                         [](const auto &row) { return std::string(row.param.name); });

TEST(FileReplacement, AnUncommittedReplacementLeavesTheTargetAndNoTemporaryFile)
{
    TempFolder dir;
    const auto target = dir / "file.txt";
    writeText(target, "old");
    {
        FileReplacement replacement;
        ASSERT_EQ(replacement.create(target, 0600), 0);
        EXPECT_EQ(replacement.temporaryPath().parent_path(), dir.path());
        ASSERT_EQ(writeAll(replacement.fd(), "half of the new"), 0);
        // Destroyed without commit(), as after a failed copy.
    }
    EXPECT_EQ(fileText(target), "old");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"file.txt"});
}

TEST(FileReplacement, ReplacesTheTargetAndNotALinkPlantedUnderATemporaryName)
{
    TempFolder dir;
    const auto target = dir / "file.txt";
    writeText(target, "old");
    FileReplacement replacement;
    ASSERT_EQ(replacement.create(target, 0600), 0);
    const std::string name = replacement.temporaryPath().filename().string();
    EXPECT_EQ(name.rfind(".file.txt.Zem", 0), 0u) << name;
    ASSERT_EQ(writeAll(replacement.fd(), "new"), 0);
    ASSERT_EQ(replacement.commit(), 0);
    EXPECT_EQ(fileText(target), "new");
    EXPECT_FALSE(std::filesystem::exists(replacement.temporaryPath()));
}

TEST(FileReplacement, AnUnsyncedCommitMakesANewFileUnderTheTargetName)
{
    TempFolder dir;
    const auto target = dir / "new.txt";
    FileReplacement replacement;
    ASSERT_EQ(replacement.create(target, 0644), 0);
    ASSERT_EQ(writeAll(replacement.fd(), "fresh"), 0);
    ASSERT_EQ(replacement.commitUnsynced(), 0);
    EXPECT_EQ(fileText(target), "fresh");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"new.txt"});
}

TEST(FileReplacement, AFolderThatCannotBeWrittenFailsAndChangesNothing)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into any folder";
    TempFolder dir;
    const auto target = dir / "file.txt";
    writeText(target, "old");
    ::chmod(dir.path().c_str(), 0500);
    FileReplacement replacement;
    EXPECT_EQ(replacement.create(target, 0600), fromWin32(err::AccessDenied));
    ::chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(fileText(target), "old");
}

TEST(FileReplacement, CommitWithoutAFileFails)
{
    FileReplacement replacement;
    EXPECT_EQ(replacement.commit(), fromWin32(err::InvalidHandle));
}

TEST(FileReplacement, AMissingFolderIsReportedAsNotFound)
{
    TempFolder dir;
    EXPECT_EQ(replaceFile(dir / "no-such-folder" / "file.txt", "x", 0600), fromErrno(ENOENT));
}

} // namespace
