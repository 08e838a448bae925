// The parts of the operation interface that launchers rely on: path rules, name lists, kinds
// and titles, log entry images and arguments, and the runner's hand-over to the service.

#include "enginefixture.h"

#include <engine/operations/logentry.h>
#include <engine/operations/operationkind.h>
#include <engine/operations/operationrequest.h>

#include <gtest/gtest.h>

#include <thread>

namespace {

using engine::LogArgument;
using engine::LogEntry;
using engine::OperationKind;

struct LaunchCase
{
    const char *name;
    OperationKind kind;
    const char *serverPath;
    const char *localFolder;
    const char *wantServerPath;
    const char *wantLocalFolder;
};

class LaunchRules : public ::testing::TestWithParam<LaunchCase>
{
};

TEST_P(LaunchRules, TrailingSeparatorsAreAddedOnceForKindsOneToEight)
{
    const LaunchCase &c = GetParam();
    engine::OperationRequest r;
    r.kind = c.kind;
    r.serverPath = c.serverPath;
    r.localFolder = c.localFolder;
    engine::Operation op(r);
    EXPECT_EQ(op.request().serverPath, c.wantServerPath);
    EXPECT_EQ(op.request().localFolder.native(), c.wantLocalFolder);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, LaunchRules,
    ::testing::Values(LaunchCase{"GetWithoutSeparators", OperationKind::GetFiles, "Root\\Docs",
                                 "/w/docs", "Root\\Docs\\", "/w/docs/"},
                      LaunchCase{"GetWithSeparators", OperationKind::GetFiles, "Root\\Docs\\",
                                 "/w/docs/", "Root\\Docs\\", "/w/docs/"},
                      LaunchCase{"CheckInFolderEmptyServerPath", OperationKind::CheckInFolder, "",
                                 "/w", "\\", "/w/"},
                      LaunchCase{"MoveFilesUnchanged", OperationKind::MoveFiles, "Root", "/w",
                                 "Root", "/w"},
                      LaunchCase{"GetVersionUnchanged", OperationKind::GetVersion, "Root\\a.txt",
                                 "/w", "Root\\a.txt", "/w"}),
    enginetest::caseName);

TEST(NameList, TabsSeparateAndEmptyNamesAreSkipped)
{
    EXPECT_EQ(engine::splitNames("a.txt"), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(engine::splitNames("a\tb c\t\tc\t"), (std::vector<std::string>{"a", "b c", "c"}));
    EXPECT_TRUE(engine::splitNames("").empty());
    EXPECT_TRUE(engine::splitNames("\t\t").empty());
}

TEST(Kinds, NumbersAndTitles)
{
    EXPECT_FALSE(engine::operationKindFromNumber(0));
    EXPECT_FALSE(engine::operationKindFromNumber(13));
    const int titles[] = {2028, 2029, 2028, 2030, 2029, 2030, 2031, 2031, 2038, 2031, 2037, 2022};
    for (int n = 1; n <= 12; ++n) {
        const auto kind = engine::operationKindFromNumber(n);
        ASSERT_TRUE(kind);
        EXPECT_EQ(static_cast<int>(*kind), n);
        EXPECT_EQ(engine::titleStringId(*kind), titles[n - 1]) << "kind " << n;
        EXPECT_EQ(engine::isFolderKind(*kind), n == 3 || n == 5 || n == 6 || n == 8);
    }
}

TEST(LogEntryImage, SuccessIsTenEverythingElseNine)
{
    LogEntry e;
    e.kind = engine::LogKind::Warning;
    e.messageId = engine::kErrorTextMessage;
    e.code = platform::kCancelled;
    EXPECT_EQ(e.image(), 9);
    e.kind = engine::LogKind::Success;
    EXPECT_EQ(e.image(), 10);
    EXPECT_EQ(LogArgument::ofCode(platform::kCancelled).toString(), "0x800704C7");
    EXPECT_EQ(LogArgument::ofNumber(-3).toString(), "-3");
}

class RunnerTest : public enginetest::EngineTest
{
};

TEST_F(RunnerTest, ServiceSeesTheRunsCancelFlagOnlyWhileItRuns)
{
    service.addFile("Root", "a.txt", "A");
    engine::OperationRequest r = request(OperationKind::GetFiles);
    r.multipleFiles = true;
    r.files = {selected("a.txt", 0)};
    engine::Operation op(r);
    const std::atomic<bool> *seen = nullptr;
    service.beforeCall(1, [&] { seen = service.cancelFlag(); });
    EXPECT_EQ(run(op), 0);
    EXPECT_EQ(seen, &op.cancelFlag());
    EXPECT_EQ(service.cancelFlag(), nullptr);
    EXPECT_EQ(service.progressSink(), nullptr);
}

TEST_F(RunnerTest, FactoryServiceIsUsed)
{
    engine::OperationRequest r = request(OperationKind::GetFiles);
    engine::Operation op(r, &reporter);
    int made = 0;
    const platform::ResultCode rc =
        engine::runOperation(op, [&](const protocol::ServerProfile &profile) {
            ++made;
            EXPECT_EQ(profile.userId, enginetest::kUserId);
            return std::make_unique<enginetest::FakeService>();
        });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(made, 1);
    EXPECT_EQ(reporter.events, std::vector<std::string>{"total 0"});
}

} // namespace

namespace {

// The window runs the worker on a thread of its own and cancels from its user-interface
// thread: the flag is the only thing both touch.
TEST_F(RunnerTest, CancelFromAnotherThreadStopsARunningWorker)
{
    for (int i = 0; i < 5; ++i)
        service.addFile("Root", "f" + std::to_string(i), "content");
    engine::OperationRequest r = request(OperationKind::GetFolder);
    engine::Operation op(r, &reporter);
    std::atomic<bool> inside{false};
    service.beforeCall(3, [&] {
        inside = true;
        while (!op.isCancelled())
            std::this_thread::yield();
    });
    platform::ResultCode rc = 0;
    std::thread worker([&] { rc = run(op); });
    while (!inside)
        std::this_thread::yield();
    op.cancel();
    worker.join();
    EXPECT_EQ(rc, platform::kCancelled);
    EXPECT_EQ(reporter.cancelLines(), 1);
    EXPECT_LE(service.callsOf("GetFile").size(), 2u);
}

} // namespace
