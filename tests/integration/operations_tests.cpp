// The engine's workers against the reference service: a dropped tree added, got, checked out,
// edited, checked in and got back byte-identical; moves of files and of a folder; a get that
// leaves this user's unsaved check-out alone.

#include "servicefixture.h"

#include <engine/engineconstants.h>
#include <engine/localfiles.h>
#include <engine/operations/operation.h>
#include <engine/operations/operationrunner.h>
#include <engine/operations/progressreporter.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace integration {
namespace {

namespace fs = std::filesystem;
using engine::OperationKind;

struct Log final : engine::ProgressReporter
{
    void itemText(std::string_view) override {}
    void statusText(int) override {}
    void subTotal(std::int64_t) override {}
    void subPosition(std::int64_t) override {}
    void total(std::int64_t n) override { totals.push_back(n); }
    void step(std::int64_t n) override { steps += n; }
    void statusLiteral(std::string_view) override {}
    void bytes(std::int64_t, std::int64_t) override {}
    void log(const engine::LogEntry &e) override
    {
        entries.push_back(e);
        byKind[static_cast<int>(e.kind)]++;
    }
    void recordChanged(const engine::RecordChange &c) override { changes.push_back(c); }

    int failures() const { return byKind.count(2) ? byKind.at(2) : 0; }
    int warnings() const { return byKind.count(1) ? byKind.at(1) : 0; }
    bool has(int messageId) const
    {
        for (const auto &e : entries)
            if (e.messageId == messageId)
                return true;
        return false;
    }
    std::vector<std::int64_t> totals;
    std::int64_t steps = 0;
    std::vector<engine::LogEntry> entries;
    std::vector<engine::RecordChange> changes;
    std::map<int, int> byKind;
};

// Every regular file below `root` with its bytes, by relative path.
std::map<std::string, std::string> treeOf(const fs::path &root)
{
    std::map<std::string, std::string> out;
    for (const auto &e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file() && !e.is_symlink())
            out[fs::relative(e.path(), root).string()] = readFileBytes(e.path());
    return out;
}

class OperationsTest : public ServiceTest
{
protected:
    void SetUp() override
    {
        ServiceTest::SetUp();
        protocol::ServiceClient c = client();
        m_userId = registerUser(c, "alice");
        ASSERT_TRUE(c.createFolder(m_userId, "", "Team", "", false).succeeded());
    }

    engine::OperationRequest request(OperationKind kind) const
    {
        engine::OperationRequest r;
        r.kind = kind;
        r.profile = localProfile(m_server.port());
        r.profile.userId = m_userId;
        r.logonUserName = "alice";
        r.ipAddress = "127.0.0.1";
        return r;
    }

    platform::ResultCode run(const engine::OperationRequest &r, Log &log)
    {
        engine::Operation op(r, &log);
        return engine::runOperation(op, engine::serviceClientFactory());
    }

    platform::ResultCode runFolder(OperationKind kind, const std::string &server,
                                   const fs::path &local, Log &log)
    {
        engine::OperationRequest r = request(kind);
        r.serverPath = server;
        r.localFolder = local;
        r.recursive = true;
        r.comment = "round trip";
        return run(r, log);
    }

    std::vector<protocol::FileItem> files(const std::string &folder)
    {
        protocol::ServiceClient c = client();
        std::vector<protocol::FileItem> list;
        EXPECT_TRUE(c.getFileList(m_userId, folder, list).succeeded());
        return list;
    }

    // Proj: a.txt, sub/b.bin (three pieces and a bit), sub/deeper/c.txt, empty/, up -> ..
    fs::path makeDropTree()
    {
        const fs::path proj = local("drop/Proj");
        fs::create_directories(proj / "sub" / "deeper");
        fs::create_directories(proj / "empty");
        writeFileBytes(proj / "a.txt", "alpha\r\n");
        writeFileBytes(proj / "sub" / "b.bin", randomBytes(3 * 120000 + 17, 7));
        writeFileBytes(proj / "sub" / "deeper" / "c.txt", "");
        fs::create_directory_symlink("..", proj / "up");
        return proj;
    }

    std::string m_userId;
};

TEST_F(OperationsTest, DroppedTreeRoundTripsByteIdentical)
{
    const fs::path proj = makeDropTree();
    const auto original = treeOf(proj);

    Log add;
    engine::OperationRequest r = request(OperationKind::AddDropped);
    r.targetPath = "Team";
    r.comment = "first";
    r.droppedPaths = {proj};
    EXPECT_EQ(run(r, add), 0);
    EXPECT_EQ(add.failures(), 0);
    EXPECT_EQ(add.totals, std::vector<std::int64_t>{3});
    EXPECT_TRUE(add.has(2068)); // the link to the parent was not followed
    EXPECT_TRUE(engine::isReadOnly(proj / "a.txt"));

    Log get;
    EXPECT_EQ(runFolder(OperationKind::GetFolder, "Team\\Proj", local("copy1"), get), 0);
    EXPECT_EQ(get.failures(), 0);
    EXPECT_EQ(treeOf(local("copy1")), original);
    EXPECT_TRUE(fs::is_directory(local("copy1/empty")));
    EXPECT_FALSE(fs::exists(local("copy1/up")));
    EXPECT_TRUE(engine::isReadOnly(local("copy1/sub/b.bin")));

    Log out;
    EXPECT_EQ(runFolder(OperationKind::CheckOutFolder, "Team\\Proj", local("copy1"), out), 0);
    EXPECT_EQ(out.failures(), 0);
    EXPECT_FALSE(engine::isReadOnly(local("copy1/sub/b.bin")));
    const std::string edited = randomBytes(200000, 11);
    writeFileBytes(local("copy1/sub/b.bin"), edited);

    Log in;
    EXPECT_EQ(runFolder(OperationKind::CheckInFolder, "Team\\Proj", local("copy1"), in), 0);
    EXPECT_EQ(in.failures(), 0);
    EXPECT_TRUE(engine::isReadOnly(local("copy1/sub/b.bin")));
    for (const auto &f : files("Team\\Proj\\sub"))
        EXPECT_TRUE(f.checkoutUserId.empty()) << f.fileName;

    Log back;
    EXPECT_EQ(runFolder(OperationKind::GetFolder, "Team\\Proj", local("copy2"), back), 0);
    auto want = original;
    want["sub/b.bin"] = edited;
    EXPECT_EQ(treeOf(local("copy2")), want);
}

TEST_F(OperationsTest, MovesFilesAndAFolder)
{
    const fs::path proj = makeDropTree();
    Log add;
    engine::OperationRequest r = request(OperationKind::AddDropped);
    r.targetPath = "Team";
    r.droppedPaths = {proj};
    ASSERT_EQ(run(r, add), 0);
    protocol::ServiceClient c = client();
    ASSERT_TRUE(c.createFolder(m_userId, "Team", "Dest", "", false).succeeded());

    Log moveFiles;
    engine::OperationRequest mf = request(OperationKind::MoveFiles);
    mf.sourcePath = "Team\\Proj";
    mf.targetPath = "Team\\Dest";
    mf.moveNames = engine::splitNames("a.txt");
    EXPECT_EQ(run(mf, moveFiles), 0);
    EXPECT_EQ(moveFiles.failures(), 0);
    ASSERT_EQ(files("Team\\Dest").size(), 1u);
    EXPECT_TRUE(files("Team\\Proj").empty());

    Log moveFolder;
    engine::OperationRequest mv = request(OperationKind::MoveFolder);
    mv.sourcePath = "Team\\Proj\\sub";
    mv.targetPath = "Team\\Dest";
    mv.movedFolder.name = "sub";
    EXPECT_EQ(run(mv, moveFolder), 0);
    ASSERT_EQ(moveFolder.changes.size(), 1u);
    std::vector<protocol::FolderItem> subs;
    ASSERT_TRUE(c.getFolderList(m_userId, "Team\\Dest", subs).succeeded());
    ASSERT_EQ(subs.size(), 1u);
    EXPECT_EQ(subs[0].name, "sub");
    EXPECT_EQ(files("Team\\Dest\\sub").size(), 1u);

    // A move the service refuses changes nothing and is logged.
    Log refused;
    EXPECT_EQ(run(mv, refused), 0);
    EXPECT_EQ(refused.failures(), 1);
    EXPECT_TRUE(refused.changes.empty());
}

TEST_F(OperationsTest, GetLeavesMyWritableCheckOutAlone)
{
    writeFileBytes(local("a.txt"), "one");
    protocol::ServiceClient c = client();
    ASSERT_TRUE(c.addFile(m_userId, "Team", "a.txt", local("a.txt"), "").succeeded());

    const fs::path work = local("work");
    Log out;
    engine::OperationRequest co = request(OperationKind::CheckOutFiles);
    co.serverPath = "Team";
    co.localFolder = work;
    co.multipleFiles = true;
    co.files = {{0, files("Team").at(0)}};
    EXPECT_EQ(run(co, out), 0);
    ASSERT_EQ(out.failures(), 0);
    writeFileBytes(work / "a.txt", "edited, not checked in");

    Log get;
    engine::OperationRequest g = co;
    g.kind = OperationKind::GetFiles;
    g.files = {{0, files("Team").at(0)}}; // the list as the window shows it now
    EXPECT_EQ(run(g, get), 0);
    EXPECT_EQ(readFileBytes(work / "a.txt"), "edited, not checked in");
    EXPECT_TRUE(get.has(engine::msg::kKeptCheckedOut));

    Log folderGet;
    EXPECT_EQ(runFolder(OperationKind::GetFolder, "Team", work, folderGet), 0);
    EXPECT_EQ(readFileBytes(work / "a.txt"), "edited, not checked in");
    EXPECT_TRUE(folderGet.has(engine::msg::kKeptCheckedOut));
}

} // namespace
} // namespace integration
