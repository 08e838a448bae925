// Check out and undo check-out (kinds 2, 4, 5, 6) and check in (kinds 7, 8) against the fake
// service, on real files: step order, log lines, record changes, read-only and delete rules,
// and the working-folder rule of the folder walks.

#include "enginefixture.h"

#include <gtest/gtest.h>

namespace {

using engine::OperationKind;
using enginetest::FakeService;
namespace fs = std::filesystem;

std::string codeText(platform::ResultCode rc)
{
    return platform::errorText(rc, true);
}

std::string hex(platform::ResultCode rc)
{
    return engine::LogArgument::ofCode(rc).toString();
}

class CheckOutFilesTest : public enginetest::EngineTest
{
protected:
    void SetUp() override
    {
        service.addFile("Root", "a.txt", "alpha");
        service.addFile("Root", "b.txt", "beta");
    }
    engine::OperationRequest both(OperationKind kind) const
    {
        engine::OperationRequest r = request(kind);
        r.multipleFiles = true;
        r.files = {selected("a.txt", 3), selected("b.txt", 8)};
        return r;
    }
};

TEST_F(CheckOutFilesTest, FetchesRegistersThenWritesWritableAndUpdatesTheRows)
{
    writeLocal("a.txt", "old", true);
    EXPECT_EQ(run(both(OperationKind::CheckOutFiles)), 0);
    EXPECT_EQ(service.calls(),
              (std::vector<std::string>{"GetFile Root\\a.txt -1", "CheckOut Root\\a.txt",
                                        "GetFile Root\\b.txt -1", "CheckOut Root\\b.txt"}));
    EXPECT_EQ(fileText(local("a.txt")), "alpha");
    EXPECT_FALSE(engine::isReadOnly(local("a.txt")));
    EXPECT_EQ(service.file("Root\\a.txt")->checkoutPath, local("a.txt").string());
    EXPECT_EQ(reporter.lines(), (std::vector<std::string>{"S 2048 " + local("a.txt").string(),
                                                          "S 2048 " + local("b.txt").string()}));
    ASSERT_EQ(reporter.changes.size(), 2u);
    const auto &change = std::get<engine::FileRecordChanged>(reporter.changes[0]);
    EXPECT_EQ(change.row, 3u);
    EXPECT_EQ(change.record.fileName, "a.txt");
    EXPECT_EQ(change.record.checkoutPath, local("a.txt").string());
    EXPECT_EQ(change.record.checkoutUser, "alice");
    EXPECT_EQ(change.record.ipAddress, "10.0.0.7");
    // Status texts: registering (2029), then writing the local copy (2042).
    std::vector<std::string> statuses;
    for (const std::string &e : reporter.events)
        if (e.starts_with("status"))
            statuses.push_back(e);
    EXPECT_EQ(statuses, (std::vector<std::string>{"status 2029", "status 2042", "status 2029",
                                                  "status 2042"}));
    EXPECT_TRUE(leftoverTempFiles().empty());
}

struct CheckOutFailCase
{
    const char *name;
    const char *operation;
    protocol::CallResult answer;
};

class CheckOutFilesFailure : public CheckOutFilesTest,
                             public ::testing::WithParamInterface<CheckOutFailCase>
{
};

TEST_P(CheckOutFilesFailure, FailedFileIsLoggedAndNothingIsWrittenForIt)
{
    const CheckOutFailCase &c = GetParam();
    writeLocal("a.txt", "mine", true);
    service.failOperation(c.operation, 1, c.answer);
    (void)run(both(OperationKind::CheckOutFiles));
    EXPECT_EQ(fileText(local("a.txt")), "mine");
    EXPECT_TRUE(engine::isReadOnly(local("a.txt")));
    const std::string reason = c.answer.code < 0 ? codeText(c.answer.code) : c.answer.errorText;
    EXPECT_EQ(reporter.lines(),
              (std::vector<std::string>{"F 2047 " + local("a.txt").string() + "|" + reason,
                                        "S 2048 " + local("b.txt").string()}));
    EXPECT_EQ(reporter.changes.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, CheckOutFilesFailure,
    ::testing::Values(CheckOutFailCase{"GetFileCode", "GetFile",
                                       FakeService::code(platform::fromWin32(12029))},
                      CheckOutFailCase{"GetFileMessage", "GetFile", FakeService::message("Gone.")},
                      CheckOutFailCase{"CheckOutHeldByOther", "CheckOut",
                                       FakeService::message("a.txt is checked out by bob.")},
                      CheckOutFailCase{"CheckOutCode", "CheckOut",
                                       FakeService::code(platform::fromWin32(12031))}),
    enginetest::caseName);

TEST_F(CheckOutFilesTest, CancelInsideTheTransferRegistersNothing)
{
    writeLocal("a.txt", "mine", true);
    engine::Operation op(both(OperationKind::CheckOutFiles), &reporter);
    service.cancelInsideGetFile(1, const_cast<std::atomic<bool> *>(&op.cancelFlag()));
    EXPECT_EQ(run(op), platform::kCancelled);
    EXPECT_EQ(service.calls(), std::vector<std::string>{"GetFile Root\\a.txt -1"});
    EXPECT_EQ(fileText(local("a.txt")), "mine");
    EXPECT_EQ(reporter.lines(), std::vector<std::string>{"W 0"});
    EXPECT_TRUE(leftoverTempFiles().empty());
}

TEST_F(CheckOutFilesTest, CheckingOutAgainWhatIHoldWritableKeepsMyEdits)
{
    writeLocal("a.txt", "edited");
    engine::OperationRequest r = both(OperationKind::CheckOutFiles);
    r.files[0].record.checkoutUserId = enginetest::kUserId;
    r.files[0].record.checkoutPath = local("a.txt").string();
    EXPECT_EQ(run(r), 0);
    EXPECT_EQ(fileText(local("a.txt")), "edited");
    EXPECT_EQ(reporter.lines().front(), "W 2072 " + local("a.txt").string());
}

struct UndoCase
{
    const char *name;
    bool deleteLocal;
};

class UndoCheckOutFiles : public CheckOutFilesTest, public ::testing::WithParamInterface<UndoCase>
{
};

TEST_P(UndoCheckOutFiles, ServiceAcceptsThenTheCopyIsReadOnlyOrGone)
{
    for (const char *name : {"a.txt", "b.txt"}) {
        writeLocal(name, "edited");
        service.file(std::string("Root\\") + name)->checkoutUserId = enginetest::kUserId;
    }
    engine::OperationRequest r = both(OperationKind::UndoCheckOutFiles);
    r.deleteLocal = GetParam().deleteLocal;
    (void)engine::setReadOnly(local("b.txt"), true);
    EXPECT_EQ(run(r), 0);
    EXPECT_EQ(service.calls(), (std::vector<std::string>{"CheckoutCancel Root\\a.txt",
                                                         "CheckoutCancel Root\\b.txt"}));
    for (const char *name : {"a.txt", "b.txt"}) {
        if (GetParam().deleteLocal)
            EXPECT_FALSE(fs::exists(local(name))) << name;
        else
            EXPECT_TRUE(engine::isReadOnly(local(name))) << name;
    }
    EXPECT_EQ(reporter.lines(), (std::vector<std::string>{"S 2050 " + local("a.txt").string(),
                                                          "S 2050 " + local("b.txt").string()}));
    ASSERT_EQ(reporter.changes.size(), 2u);
    EXPECT_TRUE(
        std::get<engine::FileRecordChanged>(reporter.changes[1]).record.checkoutPath.empty());
}

INSTANTIATE_TEST_SUITE_P(Rules, UndoCheckOutFiles,
                         ::testing::Values(UndoCase{"KeepReadOnly", false},
                                           UndoCase{"DeleteLocal", true}),
                         enginetest::caseName);

TEST_F(CheckOutFilesTest, UndoOfAFileNotCheckedOutLeavesTheCopyAlone)
{
    writeLocal("a.txt", "edited");
    engine::OperationRequest r = both(OperationKind::UndoCheckOutFiles);
    r.files.resize(1);
    r.deleteLocal = true;
    EXPECT_EQ(run(r), 0);
    EXPECT_EQ(fileText(local("a.txt")), "edited");
    EXPECT_EQ(reporter.lines(),
              std::vector<std::string>{"F 2049 " + local("a.txt").string() + "|not checked out"});
    EXPECT_TRUE(reporter.changes.empty());
}

TEST_F(CheckOutFilesTest, UndoAlwaysUsesTheWorkingFolderAndTheServersName)
{
    writeLocal("a.txt", "edited");
    service.file("Root\\a.txt")->checkoutUserId = enginetest::kUserId;
    engine::OperationRequest r = both(OperationKind::UndoCheckOutFiles);
    r.files.resize(1);
    r.multipleFiles = false;
    r.localPath = local("elsewhere.txt");
    EXPECT_EQ(run(r), 0);
    EXPECT_TRUE(engine::isReadOnly(local("a.txt")));
}

struct CheckInCase
{
    const char *name;
    bool deleteLocal;
};

class CheckInFiles : public CheckOutFilesTest, public ::testing::WithParamInterface<CheckInCase>
{
};

TEST_P(CheckInFiles, SendsTheLocalCopyThenMakesItReadOnlyOrDeletesIt)
{
    for (const char *name : {"a.txt", "b.txt"}) {
        writeLocal(name, std::string("new ") + name);
        service.file(std::string("Root\\") + name)->checkoutUserId = enginetest::kUserId;
    }
    (void)engine::setReadOnly(local("a.txt"), true);
    engine::OperationRequest r = both(OperationKind::CheckInFiles);
    r.comment = "fixed";
    r.deleteLocal = GetParam().deleteLocal;
    EXPECT_EQ(run(r), 0);
    EXPECT_EQ(service.file("Root\\a.txt")->content, "new a.txt");
    EXPECT_EQ(service.file("Root\\b.txt")->versions, std::vector<std::string>{"beta"});
    for (const char *name : {"a.txt", "b.txt"}) {
        if (GetParam().deleteLocal)
            EXPECT_FALSE(fs::exists(local(name)));
        else
            EXPECT_TRUE(engine::isReadOnly(local(name)));
    }
    EXPECT_EQ(reporter.lines(), (std::vector<std::string>{"S 2054 " + local("a.txt").string(),
                                                          "S 2054 " + local("b.txt").string()}));
    // The rows are no longer checked out and carry the size of the version sent.
    ASSERT_EQ(reporter.changes.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const auto &change = std::get<engine::FileRecordChanged>(reporter.changes[i]);
        EXPECT_TRUE(change.record.checkoutUser.empty());
        EXPECT_EQ(change.record.fileSize, 9) << i; // "new a.txt", "new b.txt"
    }
}

INSTANTIATE_TEST_SUITE_P(Rules, CheckInFiles,
                         ::testing::Values(CheckInCase{"KeepReadOnly", false},
                                           CheckInCase{"DeleteLocal", true}),
                         enginetest::caseName);

TEST_F(CheckOutFilesTest, FailedCheckInKeepsTheWritableCopyEvenWithDeleteLocal)
{
    writeLocal("a.txt", "edited");
    writeLocal("b.txt", "edited b");
    service.file("Root\\b.txt")->checkoutUserId = enginetest::kUserId;
    service.failOperation("Checkin", 2, FakeService::code(platform::fromWin32(12030)));
    engine::OperationRequest r = both(OperationKind::CheckInFiles);
    r.deleteLocal = true;
    EXPECT_EQ(run(r), platform::fromWin32(12030));
    EXPECT_EQ(fileText(local("a.txt")), "edited");
    EXPECT_FALSE(engine::isReadOnly(local("a.txt")));
    EXPECT_EQ(fileText(local("b.txt")), "edited b");
    EXPECT_EQ(reporter.lines(),
              (std::vector<std::string>{"F 2053 " + local("a.txt").string() + "|not checked out",
                                        "F 2053 " + local("b.txt").string() + "|" +
                                            codeText(platform::fromWin32(12030))}));
    EXPECT_TRUE(reporter.changes.empty());
}

class CheckInCancel : public CheckOutFilesTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(CheckInCancel, CancelAtTheNthFileSendsNothingMore)
{
    for (const char *name : {"a.txt", "b.txt"}) {
        writeLocal(name, "edited");
        service.file(std::string("Root\\") + name)->checkoutUserId = enginetest::kUserId;
    }
    engine::Operation op(both(OperationKind::CheckInFiles), &reporter);
    service.beforeCall(GetParam(), [&] { op.cancel(); });
    EXPECT_EQ(run(op), platform::kCancelled);
    EXPECT_EQ(reporter.cancelLines(), 1);
    EXPECT_EQ(service.file("Root\\b.txt")->content, "beta");
    EXPECT_FALSE(engine::isReadOnly(local("b.txt")));
}

INSTANTIATE_TEST_SUITE_P(EveryItem, CheckInCancel, ::testing::Values(1, 2));

// The unchanged-copy rule of a check-in: a.txt is held and untouched, b.txt is held and
// edited. Which files are compared, asked about, undone or checked in.
struct UnchangedCase
{
    const char *name;
    engine::UnchangedCopy rule;
    engine::UnchangedCopy answer;
    bool deleteLocal;
    std::vector<std::string> calls;
    std::vector<std::string> lines; // "a"/"b" stand for the local paths
    int questions;
};

class UnchangedCheckIn : public CheckOutFilesTest,
                         public ::testing::WithParamInterface<UnchangedCase>
{
protected:
    engine::OperationRequest held()
    {
        writeLocal("a.txt", "alpha");
        writeLocal("b.txt", "BETA"); // the server's size, other bytes
        engine::OperationRequest r = both(OperationKind::CheckInFiles);
        for (engine::SelectedFile &f : r.files) {
            service.file("Root\\" + f.record.fileName)->checkoutUserId = enginetest::kUserId;
            f.record.checkoutUserId = enginetest::kUserId;
            f.record.fileSize = static_cast<std::int64_t>(
                service.file("Root\\" + f.record.fileName)->content.size());
        }
        return r;
    }
    std::string expand(std::string line) const
    {
        for (const char *name : {"a", "b"}) {
            const std::string mark = std::string(" ") + name + "$";
            if (const std::size_t at = line.find(mark); at != std::string::npos)
                line.replace(at + 1, 2, local(std::string(name) + ".txt").string());
        }
        return line;
    }
};

TEST_P(UnchangedCheckIn, UndoesOrChecksInAsTheRuleAndTheOneAnswerSay)
{
    const UnchangedCase &c = GetParam();
    engine::OperationRequest r = held();
    r.unchangedCopy = c.rule;
    r.deleteLocal = c.deleteLocal;
    reporter.answer = c.answer;
    EXPECT_EQ(run(r), 0);
    EXPECT_EQ(service.calls(), c.calls);
    std::vector<std::string> expected;
    for (const std::string &line : c.lines)
        expected.push_back(expand(line));
    EXPECT_EQ(reporter.lines(), expected);
    EXPECT_EQ(static_cast<int>(reporter.questions.size()), c.questions);
    if (c.questions > 0) {
        EXPECT_EQ(reporter.questions.front(), local("a.txt").string());
    }
    // Either way the server no longer holds a check-out and no version was added for a.txt.
    EXPECT_TRUE(service.file("Root\\a.txt")->checkoutUserId.empty());
    EXPECT_TRUE(service.file("Root\\a.txt")->versions.empty());
    EXPECT_EQ(service.file("Root\\b.txt")->content, "BETA");
    for (const char *name : {"a.txt", "b.txt"}) {
        if (c.deleteLocal) {
            EXPECT_FALSE(fs::exists(local(name)));
        } else {
            EXPECT_TRUE(engine::isReadOnly(local(name)));
        }
    }
    EXPECT_EQ(reporter.changes.size(), 2u);
    EXPECT_TRUE(leftoverTempFiles().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rules, UnchangedCheckIn,
    ::testing::Values(UnchangedCase{"AskedAndUndone",
                                    engine::UnchangedCopy::Ask,
                                    engine::UnchangedCopy::UndoCheckOut,
                                    false,
                                    {"GetFile Root\\a.txt -1", "CheckoutCancel Root\\a.txt",
                                     "GetFile Root\\b.txt -1", "Checkin Root\\b.txt"},
                                    {"S 2073 a$", "S 2054 b$"},
                                    1},
                      UnchangedCase{"AskedAndUndoneWithDelete",
                                    engine::UnchangedCopy::Ask,
                                    engine::UnchangedCopy::UndoCheckOut,
                                    true,
                                    {"GetFile Root\\a.txt -1", "CheckoutCancel Root\\a.txt",
                                     "GetFile Root\\b.txt -1", "Checkin Root\\b.txt"},
                                    {"S 2073 a$", "S 2054 b$"},
                                    1},
                      UnchangedCase{"AlwaysUndoneWithoutAQuestion",
                                    engine::UnchangedCopy::UndoCheckOut,
                                    engine::UnchangedCopy::CheckIn,
                                    false,
                                    {"GetFile Root\\a.txt -1", "CheckoutCancel Root\\a.txt",
                                     "GetFile Root\\b.txt -1", "Checkin Root\\b.txt"},
                                    {"S 2073 a$", "S 2054 b$"},
                                    0}),
    enginetest::caseName);

TEST_F(UnchangedCheckIn, AnsweredCheckInHoldsForTheRestOfTheRun)
{
    engine::OperationRequest r = held();
    writeLocal("b.txt", "beta"); // untouched too
    r.unchangedCopy = engine::UnchangedCopy::Ask;
    reporter.answer = engine::UnchangedCopy::CheckIn;
    EXPECT_EQ(run(r), 0);
    // One question, one comparison: b.txt is checked in without another download.
    EXPECT_EQ(reporter.questions.size(), 1u);
    EXPECT_EQ(service.calls(),
              (std::vector<std::string>{"GetFile Root\\a.txt -1", "Checkin Root\\a.txt",
                                        "Checkin Root\\b.txt"}));
}

TEST_F(UnchangedCheckIn, OnlyCopiesThisUserHoldsAtTheServersSizeAreCompared)
{
    engine::OperationRequest r = held();
    r.files[0].record.checkoutUserId = "U2"; // someone else's check-out
    writeLocal("b.txt", "beta and more");    // another size: plainly changed
    r.unchangedCopy = engine::UnchangedCopy::UndoCheckOut;
    (void)run(r);
    EXPECT_EQ(service.callsOf("GetFile"), std::vector<std::string>{});
    EXPECT_EQ(service.callsOf("CheckoutCancel"), std::vector<std::string>{});
    EXPECT_EQ(service.file("Root\\b.txt")->content, "beta and more");
}

TEST_F(UnchangedCheckIn, WithoutTheRuleNothingIsCompared)
{
    engine::OperationRequest r = held();
    EXPECT_EQ(run(r), 0);
    EXPECT_EQ(service.calls(),
              (std::vector<std::string>{"Checkin Root\\a.txt", "Checkin Root\\b.txt"}));
    EXPECT_TRUE(reporter.questions.empty());
}

TEST_F(UnchangedCheckIn, ACancelDuringTheQuestionChecksNothingIn)
{
    engine::OperationRequest r = held();
    r.unchangedCopy = engine::UnchangedCopy::Ask;
    reporter.answer = engine::UnchangedCopy::UndoCheckOut;
    engine::Operation op(r, &reporter);
    reporter.onQuestion = [&] {
        op.cancel();
    };
    EXPECT_EQ(run(op), platform::kCancelled);
    EXPECT_EQ(service.calls(), std::vector<std::string>{"GetFile Root\\a.txt -1"});
    EXPECT_EQ(service.file("Root\\a.txt")->checkoutUserId, enginetest::kUserId);
    EXPECT_FALSE(engine::isReadOnly(local("a.txt")));
    EXPECT_TRUE(leftoverTempFiles().empty());
}

TEST_F(UnchangedCheckIn, AFailedUndoIsLoggedAndKeepsTheWritableCopy)
{
    engine::OperationRequest r = held();
    r.unchangedCopy = engine::UnchangedCopy::UndoCheckOut;
    service.failOperation("CheckoutCancel", 1, FakeService::message("locked"));
    (void)run(r);
    EXPECT_EQ(reporter.lines().front(), "F 2049 " + local("a.txt").string() + "|locked");
    EXPECT_FALSE(engine::isReadOnly(local("a.txt")));
    EXPECT_EQ(reporter.changes.size(), 1u); // only b.txt's check-in
}

// Root: f.txt; Root\A (work folder recorded elsewhere): a.txt; Root\A\Deep: d.txt;
// Root\B: b.txt.
class FolderWalkRules : public enginetest::EngineTest
{
protected:
    void SetUp() override
    {
        service.addFile("Root", "f.txt", "f");
        service.addFolder("Root\\A", elsewhere().string());
        service.addFile("Root\\A", "a.txt", "a");
        service.addFile("Root\\A\\Deep", "d.txt", "d");
        service.addFile("Root\\B", "b.txt", "b");
    }
    fs::path elsewhere() const { return work().parent_path() / "elsewhere"; }
    engine::OperationRequest walk(OperationKind kind) const
    {
        engine::OperationRequest r = request(kind);
        r.recursive = true;
        return r;
    }
    void holdAll()
    {
        for (const char *p :
             {"Root\\f.txt", "Root\\A\\a.txt", "Root\\A\\Deep\\d.txt", "Root\\B\\b.txt"})
            service.file(p)->checkoutUserId = enginetest::kUserId;
    }
};

TEST_F(FolderWalkRules, CheckOutUsesTheRecordedWorkFolderOfASubfolder)
{
    EXPECT_EQ(run(walk(OperationKind::CheckOutFolder)), 0);
    EXPECT_EQ(fileText(elsewhere() / "a.txt"), "a");
    EXPECT_EQ(fileText(elsewhere() / "Deep" / "d.txt"), "d");
    EXPECT_EQ(fileText(local("B/b.txt")), "b");
    EXPECT_FALSE(fs::exists(local("A")));
    EXPECT_FALSE(engine::isReadOnly(local("f.txt")));
    EXPECT_EQ(service.file("Root\\A\\a.txt")->checkoutPath, (elsewhere() / "a.txt").string());
    EXPECT_EQ(reporter.count(engine::LogKind::Success), 4);
}

TEST_F(FolderWalkRules, GetIgnoresTheRecordedWorkFolder)
{
    EXPECT_EQ(run(walk(OperationKind::GetFolder)), 0);
    EXPECT_EQ(fileText(local("A/a.txt")), "a");
    EXPECT_FALSE(fs::exists(elsewhere()));
}

TEST_F(FolderWalkRules, WorkFolderOfAnotherSystemFallsBackToTheParentsFolder)
{
    service.addFolder("Root\\B", "C:\\Work\\B");
    EXPECT_EQ(run(walk(OperationKind::CheckOutFolder)), 0);
    EXPECT_EQ(fileText(local("B/b.txt")), "b");
}

TEST_F(FolderWalkRules, CheckOutFailureInAWalkIsLoggedWithItsCodeAndTheWalkGoesOn)
{
    service.failOperation("CheckOut", 2, FakeService::code(platform::fromWin32(12031)));
    EXPECT_EQ(run(walk(OperationKind::CheckOutFolder)), platform::fromWin32(12031));
    EXPECT_EQ(reporter.lines()[1],
              "F 2051 " + (elsewhere() / "a.txt").string() + "|" + hex(platform::fromWin32(12031)));
    EXPECT_FALSE(fs::exists(elsewhere() / "a.txt"));
    EXPECT_EQ(fileText(local("B/b.txt")), "b");
}

TEST_F(FolderWalkRules, UndoWalkMakesNoFoldersAndFollowsTheRules)
{
    holdAll();
    writeLocal("f.txt", "edited");
    fs::create_directories(elsewhere());
    writeText(elsewhere() / "a.txt", "edited a");
    engine::OperationRequest r = walk(OperationKind::UndoCheckOutFolder);
    r.deleteLocal = true;
    EXPECT_EQ(run(r), 0);
    EXPECT_FALSE(fs::exists(local("f.txt")));
    EXPECT_FALSE(fs::exists(elsewhere() / "a.txt"));
    EXPECT_FALSE(fs::exists(local("B")));
    EXPECT_FALSE(fs::exists(elsewhere() / "Deep"));
    EXPECT_TRUE(service.file("Root\\B\\b.txt")->checkoutUserId.empty());
    EXPECT_EQ(reporter.count(engine::LogKind::Success), 4);
}

TEST_F(FolderWalkRules, UndoWalkLogsCodesAsNumbersAndMessagesAsText)
{
    holdAll();
    service.file("Root\\B\\b.txt")->checkoutUserId.clear();
    service.failOperation("CheckoutCancel", 1, FakeService::code(platform::kMissingResult));
    (void)run(walk(OperationKind::UndoCheckOutFolder));
    const auto lines = reporter.lines();
    EXPECT_EQ(lines.front(), "F 2052 " + local("f.txt").string() + "|0x800CFFFF");
    EXPECT_EQ(lines.back(), "F 2049 " + local("B/b.txt").string() + "|not checked out");
}

TEST_F(FolderWalkRules, CheckInWalkWithoutSubfoldersTouchesOnlyTheFolder)
{
    holdAll();
    writeLocal("f.txt", "new f");
    engine::OperationRequest r = walk(OperationKind::CheckInFolder);
    r.recursive = false;
    EXPECT_EQ(run(r), 0);
    EXPECT_EQ(service.calls(), (std::vector<std::string>{"GetItemCount Root", "GetFileList Root",
                                                         "Checkin Root\\f.txt"}));
    EXPECT_EQ(service.file("Root\\f.txt")->content, "new f");
    EXPECT_TRUE(engine::isReadOnly(local("f.txt")));
}

TEST_F(FolderWalkRules, CheckInWalkFindsSubfolderFilesInTheirWorkFolder)
{
    holdAll();
    fs::create_directories(elsewhere() / "Deep");
    writeText(elsewhere() / "Deep" / "d.txt", "new d");
    (void)run(walk(OperationKind::CheckInFolder));
    EXPECT_EQ(service.file("Root\\A\\Deep\\d.txt")->content, "new d");
    // Files with no local copy fail one by one with their code; the walk goes on.
    const auto lines = reporter.lines();
    EXPECT_EQ(lines.front(), "F 2055 " + local("f.txt").string() + "|" +
                                 hex(platform::fromWin32(platform::err::FileNotFound)));
    EXPECT_EQ(reporter.count(engine::LogKind::Success), 1);
    EXPECT_EQ(reporter.count(engine::LogKind::Failure), 3);
}

TEST_F(FolderWalkRules, CheckInWalkUndoesTheCheckOutOfAnUnchangedCopyWhenAnswered)
{
    holdAll();
    writeLocal("f.txt", "f");       // the server's bytes
    writeLocal("B/b.txt", "new b"); // edited
    engine::OperationRequest r = walk(OperationKind::CheckInFolder);
    r.unchangedCopy = engine::UnchangedCopy::Ask;
    reporter.answer = engine::UnchangedCopy::UndoCheckOut;
    (void)run(r);
    EXPECT_EQ(reporter.questions, std::vector<std::string>{local("f.txt").string()});
    EXPECT_TRUE(service.file("Root\\f.txt")->checkoutUserId.empty());
    EXPECT_TRUE(service.file("Root\\f.txt")->versions.empty());
    EXPECT_TRUE(engine::isReadOnly(local("f.txt")));
    EXPECT_EQ(service.file("Root\\B\\b.txt")->content, "new b");
    EXPECT_EQ(reporter.lines().front(), "S 2073 " + local("f.txt").string());
}

} // namespace
