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
        EXPECT_EQ(reporter.lines(), std::vector<std::string>{"W 2065 " + local("a.txt").string()});
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
