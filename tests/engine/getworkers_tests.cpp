// The get workers against the fake service: selected files (kind 1), folder walks (kind 3)
// and one version (kind 12), on real files.

#include "enginefixture.h"

#include <engine/engineconstants.h>

#include <gtest/gtest.h>

namespace {

using engine::OperationKind;
using enginetest::FakeService;
namespace fs = std::filesystem;

std::string codeText(platform::ResultCode rc)
{
    return platform::errorText(rc, true);
}

class GetFilesTest : public enginetest::EngineTest
{
protected:
    void SetUp() override
    {
        service.addFile("Root", "a.txt", "alpha");
        service.addFile("Root", "b.txt", "beta");
        service.addFile("Root", "c.txt", "gamma");
    }

    engine::OperationRequest threeFiles() const
    {
        engine::OperationRequest r = request(OperationKind::GetFiles);
        r.multipleFiles = true;
        r.files = {selected("a.txt", 4), selected("b.txt", 5), selected("c.txt", 9)};
        return r;
    }
};

TEST_F(GetFilesTest, FetchesEachSelectedFileInOrderReadOnly)
{
    EXPECT_EQ(run(threeFiles()), 0);
    EXPECT_EQ(service.calls(),
              (std::vector<std::string>{"GetFile Root\\a.txt -1", "GetFile Root\\b.txt -1",
                                        "GetFile Root\\c.txt -1"}));
    EXPECT_EQ(fileText(local("a.txt")), "alpha");
    EXPECT_EQ(fileText(local("c.txt")), "gamma");
    for (const char *name : {"a.txt", "b.txt", "c.txt"})
        EXPECT_TRUE(engine::isReadOnly(local(name))) << name;
    EXPECT_EQ(reporter.lines(), (std::vector<std::string>{"S 2044 " + local("a.txt").string(),
                                                          "S 2044 " + local("b.txt").string(),
                                                          "S 2044 " + local("c.txt").string()}));
    EXPECT_EQ(reporter.events.front(), "total 3");
    EXPECT_EQ(reporter.steps, 3);
    EXPECT_TRUE(leftoverTempFiles().empty());
}

TEST_F(GetFilesTest, ReportsEachFileWritingStepThenLogThenStep)
{
    engine::OperationRequest r = request(OperationKind::GetFiles);
    r.multipleFiles = true;
    r.files = {selected("a.txt", 0)};
    EXPECT_EQ(run(r), 0);
    EXPECT_EQ(reporter.events,
              (std::vector<std::string>{"total 1", "subtotal 5", "subpos 5", "status 2042",
                                        "log S 2044 " + local("a.txt").string(), "step 1"}));
    // A transfer's bytes also arrive as done/total pairs.
    EXPECT_EQ(reporter.bytesReports,
              (std::vector<std::pair<std::int64_t, std::int64_t>>{{0, 5}, {5, 5}}));
}

TEST_F(GetFilesTest, KeepWritableLeavesFilesWritable)
{
    engine::OperationRequest r = threeFiles();
    r.keepWritable = true;
    EXPECT_EQ(run(r), 0);
    EXPECT_FALSE(engine::isReadOnly(local("b.txt")));
}

TEST_F(GetFilesTest, SingleFileGoesToItsLocalPath)
{
    engine::OperationRequest r = request(OperationKind::GetFiles);
    r.files = {selected("b.txt", 0)};
    r.localPath = local("other-name.txt");
    EXPECT_EQ(run(r), 0);
    EXPECT_EQ(fileText(local("other-name.txt")), "beta");
    EXPECT_FALSE(fs::exists(local("b.txt")));
}

TEST_F(GetFilesTest, ReadOnlyLocalCopyIsReplacedAndStaysReadOnly)
{
    writeLocal("a.txt", "old", true);
    EXPECT_EQ(run(threeFiles()), 0);
    EXPECT_EQ(fileText(local("a.txt")), "alpha");
    EXPECT_TRUE(engine::isReadOnly(local("a.txt")));
}

struct FailCase
{
    const char *name;
    int failingCall; // which GetFile fails
    protocol::CallResult answer;
};

class GetFilesFailure : public GetFilesTest, public ::testing::WithParamInterface<FailCase>
{
};

TEST_P(GetFilesFailure, FailedFileIsLoggedUntouchedAndTheOthersAreFetched)
{
    const FailCase &c = GetParam();
    const char *names[] = {"a.txt", "b.txt", "c.txt"};
    const std::string failing = names[c.failingCall - 1];
    writeLocal(failing, "mine");
    service.failOperation("GetFile", c.failingCall, c.answer);

    const platform::ResultCode rc = run(threeFiles());

    EXPECT_EQ(rc, c.answer.code < 0 ? c.answer.code : 0);
    EXPECT_EQ(fileText(local(failing)), "mine");
    const std::string reason = c.answer.code < 0 ? codeText(c.answer.code) : c.answer.errorText;
    std::vector<std::string> want;
    for (const char *name : names)
        want.push_back(name == failing ? "F 2043 " + local(name).string() + "|" + reason
                                       : "S 2044 " + local(name).string());
    EXPECT_EQ(reporter.lines(), want);
    EXPECT_EQ(reporter.steps, 3);
    EXPECT_TRUE(leftoverTempFiles().empty());
}

INSTANTIATE_TEST_SUITE_P(
    NthCall, GetFilesFailure,
    ::testing::Values(FailCase{"FirstWithCode", 1, FakeService::code(platform::fromWin32(12029))},
                      FailCase{"SecondWithMessage", 2, FakeService::message("The file is locked.")},
                      FailCase{"LastWithCode", 3, FakeService::code(platform::kMissingResult)}),
    enginetest::caseName);

class GetFilesCancel : public GetFilesTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(GetFilesCancel, CancelBeforeTheNthFileStopsThereAndSaysSoOnce)
{
    // 0: cancelled before the run starts; n: the cancel comes as the n-th fetch begins.
    const int n = GetParam();
    writeLocal("c.txt", "mine");
    engine::Operation op(threeFiles(), &reporter);
    if (n == 0)
        op.cancel();
    else
        service.beforeCall(n, [&] { op.cancel(); });

    EXPECT_EQ(run(op), platform::kCancelled);
    EXPECT_EQ(reporter.cancelLines(), 1);
    EXPECT_EQ(fileText(local("c.txt")), "mine");
    EXPECT_EQ(service.callsOf("GetFile").size(), static_cast<std::size_t>(n));
    EXPECT_EQ(reporter.count(engine::LogKind::Success), n == 0 ? 0 : n - 1);
    EXPECT_EQ(reporter.count(engine::LogKind::Failure), 0);
    EXPECT_TRUE(leftoverTempFiles().empty());
}

INSTANTIATE_TEST_SUITE_P(EveryItem, GetFilesCancel, ::testing::Values(0, 1, 2, 3));

TEST_F(GetFilesTest, CancelInsideATransferLeavesTheLocalFileAsItWas)
{
    writeLocal("b.txt", "mine", true);
    engine::Operation op(threeFiles(), &reporter);
    std::atomic<bool> *flag = const_cast<std::atomic<bool> *>(&op.cancelFlag());
    service.cancelInsideGetFile(2, flag);

    EXPECT_EQ(run(op), platform::kCancelled);
    EXPECT_EQ(fileText(local("b.txt")), "mine");
    EXPECT_TRUE(engine::isReadOnly(local("b.txt")));
    EXPECT_FALSE(fs::exists(local("c.txt")));
    EXPECT_EQ(reporter.lines(),
              (std::vector<std::string>{"S 2044 " + local("a.txt").string(), "W 0"}));
    EXPECT_TRUE(leftoverTempFiles().empty());
}

TEST_F(GetFilesTest, CancelWorksWithoutAReporter)
{
    engine::Operation op(threeFiles());
    service.beforeCall(1, [&] { op.cancel(); });
    EXPECT_EQ(run(op), platform::kCancelled);
    EXPECT_EQ(service.calls().size(), 1u);
}

// A writable local copy that this user checked out to that very path may hold edits that are
// not checked in yet: a get must leave it alone and say why.
struct OwnCheckOutCase
{
    const char *name;
    const char *holderId;
    bool samePath;
    bool readOnly;
    bool kept;
};

class GetFilesOwnCheckOut : public GetFilesTest,
                            public ::testing::WithParamInterface<OwnCheckOutCase>
{
};

TEST_P(GetFilesOwnCheckOut, WritableOwnCheckOutIsNeverOverwritten)
{
    const OwnCheckOutCase &c = GetParam();
    writeLocal("a.txt", "edited", c.readOnly);
    engine::OperationRequest r = request(OperationKind::GetFiles);
    r.multipleFiles = true;
    r.files = {selected("a.txt", 0)};
    r.files[0].record.checkoutUserId = c.holderId;
    r.files[0].record.checkoutUser = "alice";
    r.files[0].record.checkoutPath = c.samePath ? local("a.txt").string() : "/elsewhere/a.txt";

    EXPECT_EQ(run(r), 0);
    if (c.kept) {
        EXPECT_EQ(fileText(local("a.txt")), "edited");
        EXPECT_TRUE(service.callsOf("GetFile").empty());
        EXPECT_EQ(reporter.lines(), std::vector<std::string>{"W 2072 " + local("a.txt").string()});
    } else {
        EXPECT_EQ(fileText(local("a.txt")), "alpha");
    }
    EXPECT_EQ(reporter.steps, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Holders, GetFilesOwnCheckOut,
    ::testing::Values(OwnCheckOutCase{"MineHereWritable", "U1", true, false, true},
                      OwnCheckOutCase{"MineHereReadOnly", "U1", true, true, false},
                      OwnCheckOutCase{"MineElsewhere", "U1", false, false, false},
                      OwnCheckOutCase{"SomeoneElses", "U2", true, false, false}),
    enginetest::caseName);

TEST_F(GetFilesTest, NameThatIsNoLocalNameIsRefused)
{
    engine::OperationRequest r = request(OperationKind::GetFiles);
    r.multipleFiles = true;
    r.files = {selected("../escape.txt", 0), selected("a.txt", 1)};
    EXPECT_EQ(run(r), 0);
    EXPECT_EQ(service.calls(), std::vector<std::string>{"GetFile Root\\a.txt -1"});
    EXPECT_EQ(reporter.lines().front(), "F 2070 Root\\|../escape.txt");
    EXPECT_FALSE(fs::exists(work().parent_path() / "escape.txt"));
}

TEST_F(GetFilesTest, LocalFolderThatCannotBeMadeEndsBeforeAnyCall)
{
    writeText(work(), "a file where the folder should be");
    EXPECT_LT(run(threeFiles()), 0);
    EXPECT_TRUE(service.calls().empty());
    ASSERT_EQ(reporter.entries.size(), 1u);
    EXPECT_EQ(reporter.entries[0].kind, engine::LogKind::Failure);
}

} // namespace

namespace {

// Root: r1.txt; Root\A: a1.txt, a2.txt; Root\A\Deep: d.txt; Root\B (empty); Root\C: c.txt.
class GetFolderTest : public enginetest::EngineTest
{
protected:
    void SetUp() override
    {
        service.addFile("Root", "r1.txt", "r1");
        service.addFile("Root\\A", "a1.txt", "a1");
        service.addFile("Root\\A", "a2.txt", "a2");
        service.addFile("Root\\A\\Deep", "d.txt", "d");
        service.addFolder("Root\\B");
        service.addFile("Root\\C", "c.txt", "c");
    }
    engine::OperationRequest walk(bool recursive = true) const
    {
        engine::OperationRequest r = request(OperationKind::GetFolder);
        r.recursive = recursive;
        return r;
    }
    std::string got(const std::string &rel) const { return "S 2044 " + local(rel).string(); }
};

const std::vector<std::string> kWholeWalk = {
    "GetItemCount Root",           "GetFileList Root",
    "GetFile Root\\r1.txt -1",     "GetFolderList Root",
    "GetFileList Root\\A",         "GetFile Root\\A\\a1.txt -1",
    "GetFile Root\\A\\a2.txt -1",  "GetFolderList Root\\A",
    "GetFileList Root\\A\\Deep",   "GetFile Root\\A\\Deep\\d.txt -1",
    "GetFolderList Root\\A\\Deep", "GetFileList Root\\B",
    "GetFolderList Root\\B",       "GetFileList Root\\C",
    "GetFile Root\\C\\c.txt -1",   "GetFolderList Root\\C"};

TEST_F(GetFolderTest, FilesBeforeSubfoldersDepthFirst)
{
    EXPECT_EQ(run(walk()), 0);
    EXPECT_EQ(service.calls(), kWholeWalk);
    EXPECT_EQ(reporter.events.front(), "total 5");
    EXPECT_EQ(reporter.steps, 5);
    EXPECT_EQ(fileText(local("A/Deep/d.txt")), "d");
    EXPECT_TRUE(fs::is_directory(local("B")));
    EXPECT_TRUE(engine::isReadOnly(local("C/c.txt")));
    EXPECT_EQ(reporter.lines().size(), 5u);
}

TEST_F(GetFolderTest, WithoutSubfoldersOnlyTheFolderItself)
{
    EXPECT_EQ(run(walk(false)), 0);
    EXPECT_EQ(service.calls(), (std::vector<std::string>{"GetItemCount Root", "GetFileList Root",
                                                         "GetFile Root\\r1.txt -1"}));
    EXPECT_FALSE(fs::exists(local("A")));
}

TEST_F(GetFolderTest, EmptyFolderSetsTotalZeroAndSaysNothing)
{
    engine::OperationRequest r = walk(false);
    r.serverPath = "Root\\B";
    EXPECT_EQ(run(r), 0);
    EXPECT_EQ(reporter.events, std::vector<std::string>{"total 0"});
}

// A failed file, even the last of a folder, no longer ends the walk.
TEST_F(GetFolderTest, WalkGoesOnAfterTheLastFileOfAFolderFailed)
{
    service.failOperation("GetFile", 3, FakeService::code(platform::fromWin32(12031)));
    EXPECT_EQ(run(walk()), platform::fromWin32(12031));
    EXPECT_EQ(service.calls(), kWholeWalk);
    EXPECT_EQ(reporter.lines()[2],
              "F 2043 " + local("A/a2.txt").string() + "|" + codeText(platform::fromWin32(12031)));
    EXPECT_EQ(fileText(local("C/c.txt")), "c");
}

struct CountCase
{
    const char *name;
    protocol::CallResult answer;
};

class GetFolderCount : public GetFolderTest, public ::testing::WithParamInterface<CountCase>
{
};

TEST_P(GetFolderCount, FailedItemCountIsLogged)
{
    service.failOperation("GetItemCount", 1, GetParam().answer);
    EXPECT_LT(run(walk()), 0);
    EXPECT_EQ(service.calls(), std::vector<std::string>{"GetItemCount Root"});
    const std::string reason =
        GetParam().answer.code < 0 ? codeText(GetParam().answer.code) : GetParam().answer.errorText;
    EXPECT_EQ(reporter.lines(), std::vector<std::string>{"F 2066 Root|" + reason});
}

INSTANTIATE_TEST_SUITE_P(
    Answers, GetFolderCount,
    ::testing::Values(CountCase{"Code", FakeService::code(platform::fromWin32(12002))},
                      CountCase{"Message", FakeService::message("No such folder.")}),
    enginetest::caseName);

TEST_F(GetFolderTest, RefusedFileListIsLoggedAndTheWalkGoesOn)
{
    service.failOperation("GetFileList", 2, FakeService::message("Private folder."));
    EXPECT_LT(run(walk()), 0);
    EXPECT_EQ(reporter.lines()[1], "F 2046 Private folder.");
    EXPECT_EQ(service.callsOf("GetFile").size(), 3u); // r1, d, c
    EXPECT_FALSE(fs::exists(local("A/a1.txt")));
    EXPECT_EQ(fileText(local("A/Deep/d.txt")), "d");
}

TEST_F(GetFolderTest, FailedFolderListIsLoggedAndTheWalkGoesOn)
{
    service.failOperation("GetFolderList", 2, FakeService::code(platform::kMissingResult));
    EXPECT_EQ(run(walk()), platform::kMissingResult);
    EXPECT_NE(std::find(reporter.lines().begin(), reporter.lines().end(),
                        "F 2069 Root\\A|" + codeText(platform::kMissingResult)),
              reporter.lines().end());
    EXPECT_FALSE(fs::exists(local("A/Deep")));
    EXPECT_EQ(fileText(local("C/c.txt")), "c");
}

TEST_F(GetFolderTest, LocalFolderThatCannotBeMadeStopsTheWalkAndSaysWhere)
{
    fs::create_directories(work());
    writeText(local("A"), "a file in the way");
    const platform::ResultCode rc = run(walk());
    EXPECT_LT(rc, 0);
    const std::string last = reporter.lines().back();
    EXPECT_EQ(last, "F 2067 " + local("A/").string() + "|" + codeText(rc));
    EXPECT_TRUE(service.callsOf("GetFileList Root\\C").empty());
}

class GetFolderCancel : public GetFolderTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(GetFolderCancel, CancelAtAnyCallEndsTheWalkThereAndSaysSoOnce)
{
    const int n = GetParam();
    fs::create_directories(local("C"));
    writeText(local("C/c.txt"), "mine");
    engine::Operation op(walk(), &reporter);
    service.beforeCall(n, [&] { op.cancel(); });
    EXPECT_EQ(run(op), platform::kCancelled);
    EXPECT_EQ(reporter.cancelLines(), 1);
    // At most the one call already on its way when the cancel came is answered refused.
    EXPECT_LE(service.calls().size(), static_cast<std::size_t>(n) + 1);
    EXPECT_EQ(fileText(local("C/c.txt")), "mine");
    EXPECT_TRUE(leftoverTempFiles().empty());
}

INSTANTIATE_TEST_SUITE_P(EveryCall, GetFolderCancel, ::testing::Range(1, 16));

TEST_F(GetFolderTest, OwnWritableCheckOutInTheFolderIsKept)
{
    writeLocal("A/a1.txt", "edited");
    enginetest::FakeFile *f = service.file("Root\\A\\a1.txt");
    f->checkoutUserId = enginetest::kUserId;
    f->checkoutPath = local("A/a1.txt").string();
    EXPECT_EQ(run(walk()), 0);
    EXPECT_EQ(fileText(local("A/a1.txt")), "edited");
    EXPECT_TRUE(service.callsOf("GetFile Root\\A\\a1.txt").empty());
    EXPECT_EQ(reporter.lines()[1], "W 2072 " + local("A/a1.txt").string());
    EXPECT_EQ(reporter.steps, 5);
}

TEST_F(GetFolderTest, NameFromTheServiceThatIsNoLocalNameIsSkipped)
{
    service.addFolder("Root\\..");
    EXPECT_EQ(run(walk()), 0);
    EXPECT_NE(std::find(reporter.lines().begin(), reporter.lines().end(), "F 2070 Root|.."),
              reporter.lines().end());
    EXPECT_TRUE(service.callsOf("GetFileList Root\\..").empty());
}

class GetVersionTest : public enginetest::EngineTest
{
protected:
    void SetUp() override
    {
        service.addFile("Root", "a.txt", "version two");
        service.file("Root\\a.txt")->versions = {"version one"};
    }
    engine::OperationRequest version(std::int32_t v) const
    {
        engine::OperationRequest r = request(OperationKind::GetVersion);
        r.serverPath = "Root\\a.txt";
        r.version = v;
        r.localPath = local("cmp/a.v.txt");
        r.localFolder = local("cmp");
        return r;
    }
};

TEST_F(GetVersionTest, FetchesTheAskedVersionToTheGivenPath)
{
    EXPECT_EQ(run(version(1)), 0);
    EXPECT_EQ(service.calls(), std::vector<std::string>{"GetFile Root\\a.txt 1"});
    EXPECT_EQ(fileText(local("cmp/a.v.txt")), "version one");
    EXPECT_EQ(reporter.lines(),
              std::vector<std::string>{"S 2044 " + local("cmp/a.v.txt").string()});
}

TEST_F(GetVersionTest, MissingVersionLogsTheMessageAndLeavesThePathAlone)
{
    writeLocal("cmp/a.v.txt", "before");
    EXPECT_EQ(run(version(9)), 0);
    EXPECT_EQ(fileText(local("cmp/a.v.txt")), "before");
    EXPECT_EQ(reporter.lines(), std::vector<std::string>{"F 2043 " + local("cmp/a.v.txt").string() +
                                                         "|no such version"});
}

TEST_F(GetVersionTest, CancelledBeforeTheFetch)
{
    engine::Operation op(version(1), &reporter);
    op.cancel();
    EXPECT_EQ(run(op), platform::kCancelled);
    EXPECT_TRUE(service.calls().empty());
    EXPECT_EQ(reporter.cancelLines(), 1);
}

} // namespace
