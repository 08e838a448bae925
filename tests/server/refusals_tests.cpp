#include "servertestsupport.h"

#include <gtest/gtest.h>

#include <ostream>
#include <thread>

using namespace servertest;

namespace {

struct RefusalRow
{
    const char *name;
    std::string operation;
    Elements elements;
    std::string expectedFault; // a part of the fault string
};

void PrintTo(const RefusalRow &row, std::ostream *os)
{
    *os << row.name;
}

Elements upload(const std::string &user, const std::string &path,
                const std::string &time = "2026/11/30 08:15:00")
{
    return {{"UserID", user},     {"ServerFilePath", path},
            {"UpdateTime", time}, {"Comment", ""},
            {"FileID", ""},       {"#raw", "<Data><string>eA==</string></Data>"},
            {"bLast", "true"}};
}

Elements add(const std::string &folder, const std::string &name,
             const std::string &time = "2026/11/30 08:15:00")
{
    return {{"UserID", "alice"},
            {"SelectPath", folder},
            {"AddFileName", name},
            {"UpdateTime", time},
            {"Comment", ""},
            {"FileID", ""},
            {"#raw", "<Data><string>eA==</string></Data>"},
            {"bLast", "true"}};
}

// alice and bob share "Docs" (a.txt; held.txt checked out by bob; Sub; a live and a
// deleted old.txt) and "Docs2" (a.txt); bob has the private folder "BobOnly".
class Refusals : public testing::TestWithParam<RefusalRow>
{
protected:
    static void SetUpTestSuite()
    {
        s_data = std::make_unique<TempDir>();
        s_server = std::make_unique<ServerProcess>();
        ASSERT_TRUE(s_server->start(s_data->path()));
        SoapClient alice(s_server->port());
        SoapClient bob(s_server->port());
        ASSERT_EQ(alice.logon("alice"), "alice");
        ASSERT_EQ(bob.logon("bob"), "bob");
        auto folder = [&](SoapClient &client, const std::string &user, const std::string &parent,
                          const std::string &name, const char *isPrivate) {
            ASSERT_EQ(client
                          .call("CreateFolder", {{"UserID", user},
                                                 {"ParentPath", parent},
                                                 {"FolderName", name},
                                                 {"Comment", ""},
                                                 {"IsPrivate", isPrivate}})
                          .status,
                      200);
        };
        folder(alice, "alice", "", "Docs", "false");
        folder(alice, "alice", "", "Docs2", "false");
        folder(alice, "alice", "Docs", "Sub", "false");
        folder(bob, "bob", "", "BobOnly", "true");
        ASSERT_EQ(alice.addFile("alice", "Docs", "a.txt", "a").status, 200);
        ASSERT_EQ(alice.addFile("alice", "Docs2", "a.txt", "a").status, 200);
        ASSERT_EQ(alice.addFile("alice", "Docs", "old.txt", "old").status, 200);
        ASSERT_EQ(
            alice
                .call("Delete",
                      {{"UserID", "alice"}, {"SelectPath", "Docs\\old.txt"}, {"IsPurge", "false"}})
                .status,
            200);
        ASSERT_EQ(alice.addFile("alice", "Docs", "old.txt", "new").status, 200);
        ASSERT_EQ(bob.addFile("bob", "Docs", "held.txt", "h").status, 200);
        ASSERT_EQ(bob.call("CheckOut", {{"UserID", "bob"},
                                        {"ServerFilePath", "Docs\\held.txt"},
                                        {"LocalFilePath", "C:\\b\\held.txt"}})
                      .status,
                  200);
    }

    static void TearDownTestSuite()
    {
        s_server.reset();
        s_data.reset();
    }

    static std::unique_ptr<TempDir> s_data;
    static std::unique_ptr<ServerProcess> s_server;
};

std::unique_ptr<TempDir> Refusals::s_data;
std::unique_ptr<ServerProcess> Refusals::s_server;

TEST_P(Refusals, AreSoapFaultsNamingTheReason)
{
    SoapClient client(s_server->port());
    const Reply reply = client.call(GetParam().operation, GetParam().elements);
    EXPECT_EQ(reply.status, 500);
    EXPECT_EQ(value(reply.body, "soap:Fault/faultcode"), "soap:Client");
    EXPECT_NE(faultString(reply.body).find(GetParam().expectedFault), std::string::npos)
        << faultString(reply.body);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Refusals,
    testing::Values(
        RefusalRow{"UnknownUser",
                   "GetFolderList",
                   {{"UserID", "nobody"}, {"ParentPath", ""}},
                   "log on first"},
        RefusalRow{
            "EmptyUser", "GetFileList", {{"UserID", ""}, {"ParentPath", ""}}, "log on first"},
        RefusalRow{
            "CheckOutHeldByOther",
            "CheckOut",
            {{"UserID", "alice"}, {"ServerFilePath", "Docs\\held.txt"}, {"LocalFilePath", "x"}},
            "checked out by \"bob\""},
        RefusalRow{"CheckinWithoutCheckOut", "Checkin", upload("alice", "Docs\\a.txt"),
                   "not checked out"},
        RefusalRow{"CheckinHeldByOther", "Checkin", upload("alice", "Docs\\held.txt"),
                   "checked out by \"bob\""},
        RefusalRow{"CancelWithoutCheckOut",
                   "CheckoutCancel",
                   {{"UserID", "alice"}, {"FilePath", "Docs\\a.txt"}},
                   "not checked out"},
        RefusalRow{"CancelHeldByOther",
                   "CheckoutCancel",
                   {{"UserID", "alice"}, {"FilePath", "Docs\\held.txt"}},
                   "checked out by \"bob\""},
        RefusalRow{"AddFileExisting", "AddFile", add("Docs", "a.txt"), "already exists"},
        RefusalRow{"AddFileBadName", "AddFile", add("Docs", "a/b.txt"), "not a valid name"},
        RefusalRow{"AddFileBadTime", "AddFile", add("Docs", "t.txt", "yesterday"), "not a date"},
        RefusalRow{"CreateFolderClash",
                   "CreateFolder",
                   {{"UserID", "alice"},
                    {"ParentPath", ""},
                    {"FolderName", "Docs"},
                    {"Comment", ""},
                    {"IsPrivate", "false"}},
                   "already exists"},
        RefusalRow{"CreateFolderTooLongName",
                   "CreateFolder",
                   {{"UserID", "alice"},
                    {"ParentPath", ""},
                    {"FolderName", std::string(256, 'x')},
                    {"Comment", ""},
                    {"IsPrivate", "false"}},
                   "not a valid name"},
        RefusalRow{"CreateFolderInFile",
                   "CreateFolder",
                   {{"UserID", "alice"},
                    {"ParentPath", "Docs\\a.txt"},
                    {"FolderName", "x"},
                    {"Comment", ""},
                    {"IsPrivate", "false"}},
                   "is not a folder"},
        RefusalRow{"RenameClash",
                   "Rename",
                   {{"UserID", "alice"}, {"SelectPath", "Docs\\a.txt"}, {"ChangeName", "Sub"}},
                   "already exists"},
        RefusalRow{
            "RenameHeldByOther",
            "Rename",
            {{"UserID", "alice"}, {"SelectPath", "Docs\\held.txt"}, {"ChangeName", "h2.txt"}},
            "checked out by \"bob\""},
        RefusalRow{"RenameRoot",
                   "Rename",
                   {{"UserID", "alice"}, {"SelectPath", ""}, {"ChangeName", "x"}},
                   "root"},
        RefusalRow{"MoveClash",
                   "Move",
                   {{"UserID", "alice"}, {"SelectPath", "Docs\\a.txt"}, {"MovePath", "Docs2"}},
                   "already exists"},
        RefusalRow{"MoveIntoItself",
                   "Move",
                   {{"UserID", "alice"}, {"SelectPath", "Docs"}, {"MovePath", "Docs\\Sub"}},
                   "into itself"},
        RefusalRow{"MoveFolderHoldingOthersCheckOut",
                   "Move",
                   {{"UserID", "alice"}, {"SelectPath", "Docs"}, {"MovePath", "Docs2"}},
                   "checked out by \"bob\""},
        RefusalRow{"DeleteHeldByOther",
                   "Delete",
                   {{"UserID", "alice"}, {"SelectPath", "Docs\\held.txt"}, {"IsPurge", "false"}},
                   "checked out by \"bob\""},
        RefusalRow{"DeleteMissing",
                   "Delete",
                   {{"UserID", "alice"}, {"SelectPath", "Docs\\none.txt"}, {"IsPurge", "false"}},
                   "does not exist"},
        RefusalRow{"PurgeAmbiguous",
                   "Delete",
                   {{"UserID", "alice"}, {"SelectPath", "Docs\\old.txt"}, {"IsPurge", "true"}},
                   "Both a live item and a deleted item"},
        RefusalRow{"RepaireOverLiveItem",
                   "Repaire",
                   {{"UserID", "alice"}, {"FilePath", "Docs\\old.txt"}},
                   "exists"},
        RefusalRow{"RepaireNothingDeleted",
                   "Repaire",
                   {{"UserID", "alice"}, {"FilePath", "Docs\\a.txt"}},
                   "no deleted item"},
        RefusalRow{"RollBackUnknownVersion",
                   "RollBack",
                   {{"UserID", "alice"}, {"FilePath", "Docs\\a.txt"}, {"Version", "5"}},
                   "has no version 5"},
        RefusalRow{"RollBackHeldByOther",
                   "RollBack",
                   {{"UserID", "alice"}, {"FilePath", "Docs\\held.txt"}, {"Version", "1"}},
                   "checked out by \"bob\""},
        RefusalRow{
            "GetFileUnknownVersion",
            "GetFile",
            {{"UserID", "alice"}, {"FilePath", "Docs\\a.txt"}, {"Version", "9"}, {"Offset", "0"}},
            "has no version 9"},
        RefusalRow{
            "GetFileOffsetBeyondEnd",
            "GetFile",
            {{"UserID", "alice"}, {"FilePath", "Docs\\a.txt"}, {"Version", "-1"}, {"Offset", "2"}},
            "outside the file"},
        RefusalRow{"GetFileOfFolder",
                   "GetFile",
                   {{"UserID", "alice"}, {"FilePath", "Docs"}, {"Version", "-1"}, {"Offset", "0"}},
                   "is not a file"},
        RefusalRow{"UpdateCommentFolderVersion",
                   "UpdateComment",
                   {{"UserID", "alice"}, {"SelectPath", "Docs"}, {"Version", "1"}, {"Comment", ""}},
                   "give version 0"},
        RefusalRow{
            "UpdateCommentUnknownVersion",
            "UpdateComment",
            {{"UserID", "alice"}, {"SelectPath", "Docs\\a.txt"}, {"Version", "3"}, {"Comment", ""}},
            "has no version 3"},
        RefusalRow{"ListMissingFolder",
                   "GetFileList",
                   {{"UserID", "alice"}, {"ParentPath", "Nope"}},
                   "\"Nope\" does not exist"},
        RefusalRow{"ListFileAsFolder",
                   "GetFolderList",
                   {{"UserID", "alice"}, {"ParentPath", "Docs\\a.txt"}},
                   "is not a folder"},
        RefusalRow{"OthersPrivateFolder",
                   "GetFileList",
                   {{"UserID", "alice"}, {"ParentPath", "BobOnly"}},
                   "does not exist"},
        RefusalRow{"WorkFolderOfFile",
                   "SetWorkFolderPath",
                   {{"UserID", "alice"}, {"SelectPath", "Docs\\a.txt"}, {"WorkFolderPath", "/w"}},
                   "is not a folder"}),
    [](const auto &rowInfo) { return std::string(rowInfo.param.name); });

class UploadSessions : public testing::Test
{
protected:
    void start(const std::vector<std::string> &extra = {})
    {
        ASSERT_TRUE(m_server.start(m_data.path(), extra));
        m_alice = std::make_unique<SoapClient>(m_server.port());
        m_bob = std::make_unique<SoapClient>(m_server.port());
        ASSERT_EQ(m_alice->logon("alice"), "alice");
        ASSERT_EQ(m_bob->logon("bob"), "bob");
    }

    static std::string chunk(const std::string &user, const std::string &fileId, bool last,
                             const std::string &name = "f.txt")
    {
        return envelope("AddFile", {{"UserID", user},
                                    {"SelectPath", ""},
                                    {"AddFileName", name},
                                    {"UpdateTime", "2026/11/30 08:15:00"},
                                    {"Comment", ""},
                                    {"FileID", fileId},
                                    {"#raw", "<Data><string>YWJj</string></Data>"},
                                    {"bLast", last ? "true" : "false"}});
    }

    std::string firstChunk()
    {
        const Reply reply = m_alice->post(chunk("alice", "", false), soapAction("AddFile"));
        EXPECT_EQ(reply.status, 200) << faultString(reply.body);
        return value(reply.body, "AddFileResponse/AddFileResult").value_or("");
    }

    TempDir m_data;
    ServerProcess m_server;
    std::unique_ptr<SoapClient> m_alice;
    std::unique_ptr<SoapClient> m_bob;
};

TEST_F(UploadSessions, StaleFileIdIsRefused)
{
    start();
    const std::string first = firstChunk();
    const Reply second = m_alice->post(chunk("alice", first, false), soapAction("AddFile"));
    ASSERT_EQ(second.status, 200);
    const Reply replayed = m_alice->post(chunk("alice", first, true), soapAction("AddFile"));
    EXPECT_EQ(replayed.status, 500);
    EXPECT_NE(faultString(replayed.body).find("stale"), std::string::npos);
}

TEST_F(UploadSessions, ForeignFileIdIsRefused)
{
    start();
    const std::string first = firstChunk();
    const Reply byBob = m_bob->post(chunk("bob", first, true), soapAction("AddFile"));
    EXPECT_EQ(byBob.status, 500);
    EXPECT_NE(faultString(byBob.body).find("another upload"), std::string::npos);
    const Reply otherFile =
        m_alice->post(chunk("alice", first, true, "other.txt"), soapAction("AddFile"));
    EXPECT_EQ(otherFile.status, 500);
    // The rightful owner can still finish it.
    const Reply finish = m_alice->post(chunk("alice", first, true), soapAction("AddFile"));
    EXPECT_EQ(finish.status, 200) << faultString(finish.body);
    EXPECT_EQ(m_alice->getFile("alice", "f.txt"), "abcabc");
}

TEST_F(UploadSessions, UnfinishedUploadLeavesNoFile)
{
    start();
    firstChunk();
    EXPECT_TRUE(rows(m_alice->call("GetFileList", {{"UserID", "alice"}, {"ParentPath", ""}}).body,
                     "GetFileListResponse/GetFileListResult")
                    .empty());
}

TEST_F(UploadSessions, AbandonedSessionIsDroppedAfterTheTimeOut)
{
    start({"--upload-timeout", "1"});
    const std::string first = firstChunk();
    // Idle for more than the time-out; seconds are counted whole, hence the margin.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    const Reply late = m_alice->post(chunk("alice", first, true), soapAction("AddFile"));
    EXPECT_EQ(late.status, 500);
    EXPECT_NE(faultString(late.body).find("expired"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(m_data.path() / "uploads"));
}

TEST_F(UploadSessions, CheckinIsRefusedWhenTheCheckOutWasLostMidUpload)
{
    start();
    ASSERT_EQ(m_alice->addFile("alice", "", "g.txt", "v1").status, 200);
    ASSERT_EQ(m_alice
                  ->call("CheckOut",
                         {{"UserID", "alice"}, {"ServerFilePath", "g.txt"}, {"LocalFilePath", "x"}})
                  .status,
              200);
    auto checkinChunk = [](const std::string &fileId, bool last) {
        return envelope("Checkin", {{"UserID", "alice"},
                                    {"ServerFilePath", "g.txt"},
                                    {"UpdateTime", "2026/11/30 08:15:00"},
                                    {"Comment", ""},
                                    {"FileID", fileId},
                                    {"#raw", "<Data><string>YWJj</string></Data>"},
                                    {"bLast", last ? "true" : "false"}});
    };
    const Reply first = m_alice->post(checkinChunk("", false), soapAction("Checkin"));
    ASSERT_EQ(first.status, 200);
    ASSERT_EQ(m_alice->call("CheckoutCancel", {{"UserID", "alice"}, {"FilePath", "g.txt"}}).status,
              200);
    ASSERT_EQ(m_bob
                  ->call("CheckOut",
                         {{"UserID", "bob"}, {"ServerFilePath", "g.txt"}, {"LocalFilePath", "y"}})
                  .status,
              200);
    const Reply last = m_alice->post(
        checkinChunk(value(first.body, "CheckinResponse/CheckinResult").value_or(""), true),
        soapAction("Checkin"));
    EXPECT_EQ(last.status, 500);
    EXPECT_EQ(m_alice->getFile("alice", "g.txt"), "v1");
}

} // namespace
