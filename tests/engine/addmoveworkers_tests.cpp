// Add of dropped entries (kind 10) and moves of files and of a folder (kinds 9 and 11)
// against the fake service, with real local trees (symbolic links included).

#include "enginefixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using engine::OperationKind;
using enginetest::FakeService;
namespace fs = std::filesystem;

class AddDroppedTest : public enginetest::EngineTest
{
protected:
    void SetUp() override { service.addFolder("Root"); }
    engine::OperationRequest drop(std::vector<fs::path> paths) const
    {
        engine::OperationRequest r = request(OperationKind::AddDropped);
        r.targetPath = "Root";
        r.comment = "first";
        r.droppedPaths = std::move(paths);
        return r;
    }
    fs::path tree(const std::string &rel) const { return work().parent_path() / "drop" / rel; }
    void makeFile(const std::string &rel, const std::string &content) const
    {
        fs::create_directories(tree(rel).parent_path());
        writeText(tree(rel), content);
    }
};

TEST_F(AddDroppedTest, FolderWithAnEmptySubfolderMakesBothAndCountsOnlyFiles)
{
    makeFile("Proj/readme.txt", "hello");
    makeFile("Proj/src/main.c", "int main;");
    fs::create_directories(tree("Proj/empty"));
    EXPECT_EQ(run(drop({tree("Proj")})), 0);
    EXPECT_EQ(reporter.events.front(), "total 2");
    EXPECT_EQ(service.calls(), (std::vector<std::string>{
                                   "CreateFolder Root\\Proj", "CreateFolder Root\\Proj\\empty",
                                   "AddFile Root\\Proj\\readme.txt", "CreateFolder Root\\Proj\\src",
                                   "AddFile Root\\Proj\\src\\main.c"}));
    EXPECT_EQ(service.file("Root\\Proj\\src\\main.c")->content, "int main;");
    EXPECT_TRUE(service.hasFolder("Root\\Proj\\empty"));
    EXPECT_TRUE(engine::isReadOnly(tree("Proj/readme.txt")));
    EXPECT_EQ(reporter.steps, 2);
    EXPECT_EQ(reporter.lines().front(), "S 2064 Proj");
}

TEST_F(AddDroppedTest, LinkToAParentFolderIsNotFollowedAndTheAddEnds)
{
    makeFile("Loop/a.txt", "a");
    fs::create_directory_symlink("..", tree("Loop/up"));
    EXPECT_EQ(run(drop({tree("Loop")})), 0);
    EXPECT_EQ(service.callsOf("CreateFolder").size(), 1u);
    EXPECT_EQ(reporter.events.front(), "total 1");
    const auto lines = reporter.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "W 2068 " + tree("Loop/up").string()),
              lines.end());
}

TEST_F(AddDroppedTest, LinkToAFileAddsTheFilesContent)
{
    makeFile("Docs/real.txt", "real content");
    makeFile("outside.txt", "outside content");
    fs::create_symlink(tree("outside.txt"), tree("Docs/link.txt"));
    EXPECT_EQ(run(drop({tree("Docs")})), 0);
    EXPECT_EQ(service.file("Root\\Docs\\link.txt")->content, "outside content");
    EXPECT_EQ(reporter.steps, 2);
}

TEST_F(AddDroppedTest, DroppedFilesDeleteLocalAndAMissingEntry)
{
    makeFile("one.txt", "1");
    makeFile("two.txt", "2");
    engine::OperationRequest r = drop({tree("one.txt"), tree("gone.txt"), {}, tree("two.txt")});
    r.deleteLocal = true;
    EXPECT_EQ(run(r), 0);
    EXPECT_EQ(reporter.events.front(), "total 2");
    EXPECT_EQ(reporter.lines(), (std::vector<std::string>{"S 2062 " + tree("one.txt").string(),
                                                          "S 2062 " + tree("two.txt").string()}));
    EXPECT_FALSE(fs::exists(tree("one.txt")));
    EXPECT_FALSE(fs::exists(tree("two.txt")));
    EXPECT_EQ(reporter.steps, 2);
}

TEST_F(AddDroppedTest, DeleteLocalInsideFoldersKeepsTheFolders)
{
    makeFile("P/sub/x.txt", "x");
    engine::OperationRequest r = drop({tree("P")});
    r.deleteLocal = true;
    EXPECT_EQ(run(r), 0);
    EXPECT_FALSE(fs::exists(tree("P/sub/x.txt")));
    EXPECT_TRUE(fs::is_directory(tree("P/sub")));
}

TEST_F(AddDroppedTest, OneFailedFileIsLoggedAndTheOthersAreAdded)
{
    makeFile("a.txt", "a");
    makeFile("b.txt", "b");
    makeFile("c.txt", "c");
    service.failOperation("AddFile", 2, FakeService::message("Name taken."));
    EXPECT_EQ(run(drop({tree("a.txt"), tree("b.txt"), tree("c.txt")})), 0);
    EXPECT_EQ(reporter.lines()[1], "F 2061 " + tree("b.txt").string() + "|Name taken.");
    EXPECT_FALSE(engine::isReadOnly(tree("b.txt")));
    EXPECT_NE(service.file("Root\\c.txt"), nullptr);
}

TEST_F(AddDroppedTest, ExistingServerFolderStillReceivesTheFiles)
{
    service.addFolder("Root\\Proj");
    makeFile("Proj/a.txt", "a");
    EXPECT_EQ(run(drop({tree("Proj")})), 0);
    EXPECT_EQ(reporter.lines().front(), "F 2063 Proj|already exists");
    EXPECT_EQ(service.file("Root\\Proj\\a.txt")->content, "a");
}

class AddCancel : public AddDroppedTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(AddCancel, CancelAtAnyCallStopsTheAddAndSaysSoOnce)
{
    makeFile("P/a.txt", "a");
    makeFile("P/b.txt", "b");
    makeFile("P/s/c.txt", "c");
    engine::Operation op(drop({tree("P")}), &reporter);
    service.beforeCall(GetParam(), [&] { op.cancel(); });
    EXPECT_EQ(run(op), platform::kCancelled);
    EXPECT_EQ(reporter.cancelLines(), 1);
    EXPECT_EQ(service.calls().size(), static_cast<std::size_t>(GetParam()));
    EXPECT_FALSE(engine::isReadOnly(tree("P/s/c.txt")));
}

INSTANTIATE_TEST_SUITE_P(EveryCall, AddCancel, ::testing::Range(1, 5));

class MoveTest : public enginetest::EngineTest
{
protected:
    void SetUp() override
    {
        service.addFile("Root\\From", "a.txt", "a");
        service.addFile("Root\\From", "b.txt", "b");
        service.addFolder("Root\\To");
    }
};

TEST_F(MoveTest, MovesEachNamedFileWithItsReports)
{
    engine::OperationRequest r = request(OperationKind::MoveFiles);
    r.sourcePath = "Root\\From";
    r.targetPath = "Root\\To";
    r.moveNames = engine::splitNames("a.txt\tmissing.txt\tb.txt");
    EXPECT_EQ(run(r), 0);
    EXPECT_EQ(service.calls(), (std::vector<std::string>{"Move Root\\From\\a.txt -> Root\\To",
                                                         "Move Root\\From\\missing.txt -> Root\\To",
                                                         "Move Root\\From\\b.txt -> Root\\To"}));
    EXPECT_EQ(reporter.lines(),
              (std::vector<std::string>{"S 2058 Root\\From\\a.txt",
                                        "F 2057 Root\\From\\missing.txt|no such item",
                                        "S 2058 Root\\From\\b.txt"}));
    EXPECT_EQ(std::vector<std::string>(reporter.events.begin(), reporter.events.begin() + 4),
              (std::vector<std::string>{"total 3", "subtotal 1", "item Root\\From\\a.txt",
                                        "status 2056"}));
    EXPECT_NE(service.file("Root\\To\\b.txt"), nullptr);
}

TEST_F(MoveTest, CancelBetweenFilesStops)
{
    engine::OperationRequest r = request(OperationKind::MoveFiles);
    r.sourcePath = "Root\\From";
    r.targetPath = "Root\\To";
    r.moveNames = {"a.txt", "b.txt"};
    engine::Operation op(r, &reporter);
    service.beforeCall(2, [&] { op.cancel(); });
    EXPECT_EQ(run(op), platform::kCancelled);
    EXPECT_EQ(service.file("Root\\From\\b.txt")->content, "b");
    EXPECT_EQ(reporter.cancelLines(), 1);
}

struct MoveFolderCase
{
    const char *name;
    std::optional<protocol::CallResult> failure;
};

class MoveFolder : public MoveTest, public ::testing::WithParamInterface<MoveFolderCase>
{
};

TEST_P(MoveFolder, TreeChangesOnlyAfterTheServiceAccepted)
{
    engine::OperationRequest r = request(OperationKind::MoveFolder);
    r.sourcePath = "Root\\From";
    r.targetPath = "Root\\To";
    r.movedFolder.name = "From";
    r.movedFolder.comment = "sources";
    r.movedFolder.isPrivate = 1;
    if (GetParam().failure)
        service.failOperation("Move", 1, *GetParam().failure);
    const platform::ResultCode rc = run(r);
    EXPECT_EQ(std::vector<std::string>(reporter.events.begin(), reporter.events.begin() + 4),
              (std::vector<std::string>{"total 1", "subtotal 1", "item Root\\From",
                                        "literal 移動しています。"}));
    if (!GetParam().failure) {
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(reporter.lines(), std::vector<std::string>{"S 2060 Root\\From"});
        ASSERT_EQ(reporter.changes.size(), 1u);
        const auto &moved = std::get<engine::FolderMoved>(reporter.changes[0]);
        EXPECT_EQ(moved.targetPath, "Root\\To");
        EXPECT_EQ(moved.folder, r.movedFolder);
    } else {
        EXPECT_EQ(rc, GetParam().failure->code);
        EXPECT_TRUE(reporter.changes.empty());
        EXPECT_EQ(reporter.count(engine::LogKind::Failure), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, MoveFolder,
    ::testing::Values(MoveFolderCase{"Accepted", std::nullopt},
                      MoveFolderCase{"Refused", FakeService::message("Target is inside.")},
                      MoveFolderCase{"Unreachable", FakeService::code(platform::fromWin32(12029))}),
    enginetest::caseName);

} // namespace
