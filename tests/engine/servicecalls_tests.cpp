#include <engine/servicecalls.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using protocol::CallResult;

// Records every call; the n-th call (1-based) fails with a server message.
struct Script
{
    std::vector<std::string> calls;
    int failAt = 0;
    std::optional<std::string> logonAnswer;
    std::vector<protocol::FolderItem> folders;
    std::vector<protocol::FileItem> files;

    CallResult next(std::string call)
    {
        calls.push_back(std::move(call));
        if (static_cast<int>(calls.size()) == failAt)
            return CallResult{0, "refused", 500, {}};
        return {};
    }
};

class FakeService final : public protocol::Service
{
public:
    explicit FakeService(Script &s)
        : m_s(s)
    {
    }
    void setCancelFlag(const std::atomic<bool> *) override {}
    void setProgressSink(protocol::ProgressSink *) override {}
    CallResult logon(std::string_view userId, std::string_view pc, std::string_view logonUser,
                     std::string_view ip, std::optional<std::string> &result) override
    {
        result = m_s.logonAnswer;
        return m_s.next("Logon " + std::string(userId) + " " + std::string(pc) + " " +
                        std::string(logonUser) + " " + std::string(ip));
    }
    CallResult getFolderList(std::string_view u, std::string_view p,
                             std::vector<protocol::FolderItem> &list) override
    {
        list = m_s.folders;
        return m_s.next("GetFolderList " + std::string(u) + " " + std::string(p));
    }
    CallResult getFileList(std::string_view u, std::string_view p,
                           std::vector<protocol::FileItem> &list) override
    {
        list = m_s.files;
        return m_s.next("GetFileList " + std::string(u) + " " + std::string(p));
    }
    CallResult getHistoryList(std::string_view, std::string_view, bool,
                              std::vector<protocol::HistoryItem> &) override
    {
        return m_s.next("GetHistoryList");
    }
    CallResult getDeletedList(std::string_view, std::string_view,
                              std::vector<protocol::DeletedItem> &) override
    {
        return m_s.next("GetDeletedList");
    }
    CallResult getItemCount(std::string_view, std::string_view, bool, std::int64_t &) override
    {
        return m_s.next("GetItemCount");
    }
    CallResult createFolder(std::string_view, std::string_view parent, std::string_view name,
                            std::string_view, bool isPrivate) override
    {
        return m_s.next("CreateFolder " + std::string(parent) + " " + std::string(name) +
                        (isPrivate ? " private" : ""));
    }
    CallResult rename(std::string_view, std::string_view path, std::string_view name) override
    {
        return m_s.next("Rename " + std::string(path) + " " + std::string(name));
    }
    CallResult move(std::string_view, std::string_view, std::string_view) override
    {
        return m_s.next("Move");
    }
    CallResult deleteItem(std::string_view, std::string_view path, bool purge) override
    {
        return m_s.next("Delete " + std::string(path) + (purge ? " purge" : ""));
    }
    CallResult repaire(std::string_view, std::string_view) override { return m_s.next("Repaire"); }
    CallResult rollBack(std::string_view, std::string_view, std::int32_t) override
    {
        return m_s.next("RollBack");
    }
    CallResult setWorkFolderPath(std::string_view, std::string_view folder,
                                 std::string_view work) override
    {
        return m_s.next("SetWorkFolderPath " + std::string(folder) + " " + std::string(work));
    }
    CallResult updateComment(std::string_view, std::string_view, std::int32_t,
                             std::string_view) override
    {
        return m_s.next("UpdateComment");
    }
    CallResult serverDelete(std::string_view userId) override
    {
        return m_s.next("ServerDelete " + std::string(userId));
    }
    CallResult addFile(std::string_view, std::string_view, std::string_view,
                       const std::filesystem::path &, std::string_view) override
    {
        return m_s.next("AddFile");
    }
    CallResult checkin(std::string_view, std::string_view, std::string_view,
                       const std::filesystem::path &) override
    {
        return m_s.next("Checkin");
    }
    CallResult getFile(std::string_view, std::string_view, std::int32_t,
                       const std::filesystem::path &) override
    {
        return m_s.next("GetFile");
    }
    CallResult checkOut(std::string_view, std::string_view, std::string_view) override
    {
        return m_s.next("CheckOut");
    }
    CallResult checkoutCancel(std::string_view, std::string_view) override
    {
        return m_s.next("CheckoutCancel");
    }

private:
    Script &m_s;
};

class ServiceCallsTest : public ::testing::Test
{
protected:
    engine::ServiceCalls calls()
    {
        return engine::ServiceCalls([this](const protocol::ServerProfile &p) {
            m_profilesSeen.push_back(p);
            return std::make_unique<FakeService>(m_script);
        });
    }
    protocol::ServerProfile profile() const
    {
        protocol::ServerProfile p;
        p.name = "Local";
        p.userId = "u1";
        return p;
    }
    Script m_script;
    std::vector<protocol::ServerProfile> m_profilesSeen;
};

TEST_F(ServiceCallsTest, LogonKeepsTheServicesUserIdOnlyWhenItSendsOne)
{
    const platform::MachineIdentity me{"PC", "ann", "10.0.0.2", {}, {}};
    struct Row
    {
        const char *situation;
        std::optional<std::string> answer;
        std::string kept;
    };
    for (const Row &row : {Row{"no answer", std::nullopt, "u1"}, Row{"empty answer", "", "u1"},
                           Row{"new ID", "u7", "u7"}}) {
        m_script = {};
        m_script.logonAnswer = row.answer;
        const engine::LogonOutcome out = calls().logon(profile(), me);
        EXPECT_TRUE(out.result.succeeded()) << row.situation;
        EXPECT_EQ(out.userId, row.kept) << row.situation;
        EXPECT_EQ(m_script.calls, std::vector<std::string>{"Logon u1 PC ann 10.0.0.2"});
    }
}

TEST_F(ServiceCallsTest, ListNodeAsksFoldersThenFilesAndStopsAtAFolderFailure)
{
    m_script.folders = {protocol::FolderItem{"Sub", "", 0, ""}};
    protocol::FileItem file;
    file.fileName = "a.txt";
    m_script.files = {file};
    engine::NodeListing ok = calls().listNode(profile(), "Docs", true);
    EXPECT_EQ(m_script.calls,
              (std::vector<std::string>{"GetFolderList u1 Docs", "GetFileList u1 Docs"}));
    EXPECT_EQ(ok.failure(), nullptr);
    EXPECT_EQ(ok.folders.size(), 1u);
    EXPECT_EQ(ok.files.size(), 1u);

    m_script.calls.clear();
    m_script.failAt = 1;
    engine::NodeListing failed = calls().listNode(profile(), "Docs", true);
    EXPECT_EQ(m_script.calls, std::vector<std::string>{"GetFolderList u1 Docs"});
    ASSERT_NE(failed.failure(), nullptr);
    EXPECT_EQ(failed.failure()->errorText, "refused");
    EXPECT_TRUE(failed.folders.empty());
    EXPECT_FALSE(failed.filesAsked);

    m_script.calls.clear();
    m_script.failAt = 0;
    engine::NodeListing filesOnly = calls().listNode(profile(), "", false);
    EXPECT_EQ(m_script.calls, std::vector<std::string>{"GetFileList u1 "});
    EXPECT_FALSE(filesOnly.foldersAsked);
}

TEST_F(ServiceCallsTest, DeleteStopsAtTheFirstFailureAndTellsWhatWasDeleted)
{
    m_script.failAt = 2;
    const engine::DeleteOutcome out =
        calls().deleteItems(profile(), {"D\\a", "D\\b", "D\\c"}, true);
    EXPECT_EQ(m_script.calls, (std::vector<std::string>{"Delete D\\a purge", "Delete D\\b purge"}));
    EXPECT_EQ(out.deleted, std::vector<std::string>{"D\\a"});
    EXPECT_FALSE(out.failure.succeeded());
}

TEST_F(ServiceCallsTest, DirectCallsAreAlwaysBoundedByATimeout)
{
    protocol::ServerProfile p = profile();
    p.timeout = 0;
    EXPECT_EQ(engine::directCallTimeout(p), engine::kDirectCallFallbackTimeout);
    p.timeout = 5;
    EXPECT_EQ(engine::directCallTimeout(p), 5u);
}

TEST_F(ServiceCallsTest, EachCallGetsItsOwnClientFromTheProfile)
{
    ASSERT_TRUE(calls().rename(profile(), "A\\b.txt", "c.txt").succeeded());
    ASSERT_TRUE(calls().createFolder(profile(), "A", "New", "why", true).succeeded());
    ASSERT_TRUE(calls().setWorkFolder(profile(), "A", "/w").succeeded());
    ASSERT_TRUE(calls().serverDelete(profile()).succeeded());
    EXPECT_EQ(m_script.calls,
              (std::vector<std::string>{"Rename A\\b.txt c.txt", "CreateFolder A New private",
                                        "SetWorkFolderPath A /w", "ServerDelete u1"}));
    EXPECT_EQ(m_profilesSeen.size(), 4u);
}

} // namespace
