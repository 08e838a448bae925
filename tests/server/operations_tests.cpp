#include "servertestsupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <regex>

using namespace servertest;

namespace {

const std::string kHead = "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
                          "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                          "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                          "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"><soap:Body>";
const std::string kTail = "</soap:Body></soap:Envelope>";
const std::string kNs = " xmlns=\"http://quellvane.example/webservices/\"";

// Arrival times change from run to run; everything else is compared byte for byte.
std::string maskArrival(const std::string &body)
{
    static const std::regex kArrival(
        "<CheckinDate>\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d</CheckinDate>");
    return std::regex_replace(body, kArrival, "<CheckinDate>*</CheckinDate>");
}

// One server per test, with user alice, folder "Docs" and file "Docs\a.txt" in two
// versions.
class ServiceTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.start(m_data.path() / "data", extraArguments()));
        m_client = std::make_unique<SoapClient>(m_server.port());
        ASSERT_EQ(m_client->logon("alice"), "alice");
        ASSERT_EQ(call("CreateFolder", {{"UserID", "alice"},
                                        {"ParentPath", ""},
                                        {"FolderName", "Docs"},
                                        {"Comment", "Team docs"},
                                        {"IsPrivate", "false"}})
                      .status,
                  200);
        ASSERT_EQ(m_client->addFile("alice", "Docs", "a.txt", "hello", "first").status, 200);
        ASSERT_EQ(checkOut("alice", "Docs\\a.txt").status, 200);
        ASSERT_EQ(m_client->checkin("alice", "Docs\\a.txt", "hello world", "second & more").status,
                  200);
    }

    virtual std::vector<std::string> extraArguments() const { return {}; }

    Reply call(const std::string &operation, const Elements &elements)
    {
        return m_client->call(operation, elements);
    }

    Reply checkOut(const std::string &user, const std::string &path)
    {
        return call("CheckOut",
                    {{"UserID", user}, {"ServerFilePath", path}, {"LocalFilePath", "/w/" + path}});
    }

    void expectOk(const Reply &reply) { EXPECT_EQ(reply.status, 200) << faultString(reply.body); }

    TempDir m_data;
    ServerProcess m_server;
    std::unique_ptr<SoapClient> m_client;
};

struct AnswerRow
{
    const char *name;
    std::function<void(SoapClient &)> setup;
    std::string operation;
    Elements elements;
    std::string expectedResponse; // between the body tags, arrival times masked
};

void PrintTo(const AnswerRow &row, std::ostream *os)
{
    *os << row.name;
}

class AnswerBytes : public ServiceTest, public testing::WithParamInterface<AnswerRow>
{
};

TEST_P(AnswerBytes, MatchTheFormTheClientReads)
{
    const AnswerRow &row = GetParam();
    if (row.setup)
        row.setup(*m_client);
    const Reply reply = call(row.operation, row.elements);
    EXPECT_EQ(reply.status, 200) << faultString(reply.body);
    EXPECT_EQ(reply.headers.at("Content-Type"), "text/xml; charset=utf-8");
    EXPECT_EQ(maskArrival(reply.body), kHead + row.expectedResponse + kTail);
}

std::string emptyResponse(const std::string &operation)
{
    return "<" + operation + "Response" + kNs + " />";
}

void deleteA(SoapClient &client)
{
    client.call("Delete",
                {{"UserID", "alice"}, {"SelectPath", "Docs\\a.txt"}, {"IsPurge", "false"}});
}

void checkOutA(SoapClient &client)
{
    client.call("CheckOut",
                {{"UserID", "alice"}, {"ServerFilePath", "Docs\\a.txt"}, {"LocalFilePath", "x"}});
}

INSTANTIATE_TEST_SUITE_P(
    Operations, AnswerBytes,
    testing::Values(
        AnswerRow{
            "LogonKnownId",
            nullptr,
            "Logon",
            {{"UserID", "alice"}, {"PC", "pc"}, {"LogonUserID", "alice"}, {"IPAddress", "1.2.3.4"}},
            "<LogonResponse" + kNs + "><LogonResult>alice</LogonResult></LogonResponse>"},
        AnswerRow{"GetFolderList",
                  nullptr,
                  "GetFolderList",
                  {{"UserID", "alice"}, {"ParentPath", ""}},
                  "<GetFolderListResponse" + kNs +
                      "><GetFolderListResult><FolderItem>"
                      "<FolderName>Docs</FolderName><WorkFolderName /><Comment>Team docs</Comment>"
                      "<IsPrivate>false</IsPrivate></FolderItem></GetFolderListResult>"
                      "</GetFolderListResponse>"},
        AnswerRow{"GetFolderListEmpty",
                  nullptr,
                  "GetFolderList",
                  {{"UserID", "alice"}, {"ParentPath", "Docs"}},
                  "<GetFolderListResponse" + kNs +
                      "><GetFolderListResult></GetFolderListResult>"
                      "</GetFolderListResponse>"},
        AnswerRow{"GetFileList",
                  checkOutA,
                  "GetFileList",
                  {{"UserID", "alice"}, {"ParentPath", "Docs"}},
                  "<GetFileListResponse" + kNs +
                      "><GetFileListResult><FileItem>"
                      "<FileName>a.txt</FileName><CheckoutUser>alice</CheckoutUser>"
                      "<CheckoutUserID>alice</CheckoutUserID><CheckoutPath>x</CheckoutPath>"
                      "<IPAddress>10.1.2.3</IPAddress><FileSize>11</FileSize>"
                      "<UpdateDate>2026/11/30 08:15:00</UpdateDate><CheckinDate>*</CheckinDate>"
                      "</FileItem></GetFileListResult></GetFileListResponse>"},
        AnswerRow{"CreateFolder",
                  nullptr,
                  "CreateFolder",
                  {{"UserID", "alice"},
                   {"ParentPath", "Docs"},
                   {"FolderName", "Sub"},
                   {"Comment", ""},
                   {"IsPrivate", "true"}},
                  emptyResponse("CreateFolder")},
        AnswerRow{"Rename",
                  nullptr,
                  "Rename",
                  {{"UserID", "alice"}, {"SelectPath", "Docs\\a.txt"}, {"ChangeName", "b.txt"}},
                  emptyResponse("Rename")},
        AnswerRow{"Move",
                  nullptr,
                  "Move",
                  {{"UserID", "alice"}, {"SelectPath", "Docs\\a.txt"}, {"MovePath", ""}},
                  emptyResponse("Move")},
        AnswerRow{"Delete",
                  nullptr,
                  "Delete",
                  {{"UserID", "alice"}, {"SelectPath", "Docs\\a.txt"}, {"IsPurge", "false"}},
                  emptyResponse("Delete")},
        AnswerRow{"GetHistoryListOfFile",
                  nullptr,
                  "GetHistoryList",
                  {{"UserID", "alice"}, {"FilePath", "Docs\\a.txt"}, {"IsSubFolder", "false"}},
                  "<GetHistoryListResponse" + kNs +
                      "><GetHistoryListResult><HistoryItem>"
                      "<Version>1</Version><FileName>a.txt</FileName><FileID>1</FileID>"
                      "<UpdateDate>2026/11/30 08:15:00</UpdateDate><UpdateUser>alice</UpdateUser>"
                      "<Comment>first</Comment></HistoryItem><HistoryItem><Version>2</Version>"
                      "<FileName>a.txt</FileName><FileID>2</FileID>"
                      "<UpdateDate>2026/11/30 08:15:00</UpdateDate><UpdateUser>alice</UpdateUser>"
                      "<Comment>second &amp; more</Comment></HistoryItem></GetHistoryListResult>"
                      "</GetHistoryListResponse>"},
        AnswerRow{"SetWorkFolderPath",
                  nullptr,
                  "SetWorkFolderPath",
                  {{"UserID", "alice"}, {"SelectPath", "Docs"}, {"WorkFolderPath", "/home/a/docs"}},
                  emptyResponse("SetWorkFolderPath")},
        AnswerRow{"UpdateComment",
                  nullptr,
                  "UpdateComment",
                  {{"UserID", "alice"},
                   {"SelectPath", "Docs\\a.txt"},
                   {"Version", "1"},
                   {"Comment", "better"}},
                  emptyResponse("UpdateComment")},
        AnswerRow{"GetDeletedList",
                  deleteA,
                  "GetDeletedList",
                  {{"UserID", "alice"}, {"SelectPath", "Docs"}},
                  "<GetDeletedListResponse" + kNs +
                      "><GetDeletedListResult><DeletedItem>"
                      "<Name>a.txt</Name><Type>2</Type></DeletedItem></GetDeletedListResult>"
                      "</GetDeletedListResponse>"},
        AnswerRow{"Repaire",
                  deleteA,
                  "Repaire",
                  {{"UserID", "alice"}, {"FilePath", "Docs\\a.txt"}},
                  emptyResponse("Repaire")},
        AnswerRow{"GetItemCount",
                  nullptr,
                  "GetItemCount",
                  {{"UserID", "alice"}, {"FilePath", ""}, {"IsSubFolder", "true"}},
                  "<GetItemCountResponse" + kNs +
                      "><GetItemCountResult>1</GetItemCountResult>"
                      "</GetItemCountResponse>"},
        AnswerRow{"RollBack",
                  nullptr,
                  "RollBack",
                  {{"UserID", "alice"}, {"FilePath", "Docs\\a.txt"}, {"Version", "1"}},
                  emptyResponse("RollBack")},
        AnswerRow{"ServerDelete",
                  nullptr,
                  "ServerDelete",
                  {{"UserID", "alice"}},
                  emptyResponse("ServerDelete")},
        AnswerRow{"AddFileLastChunk",
                  nullptr,
                  "AddFile",
                  {{"UserID", "alice"},
                   {"SelectPath", "Docs"},
                   {"AddFileName", "n.txt"},
                   {"UpdateTime", "2026/11/30 08:15:00"},
                   {"Comment", ""},
                   {"FileID", ""},
                   {"#raw", "<Data><string>bmV3</string></Data>"},
                   {"bLast", "true"}},
                  "<AddFileResponse" + kNs + "><AddFileResult>3</AddFileResult></AddFileResponse>"},
        AnswerRow{"CheckinLastChunk",
                  checkOutA,
                  "Checkin",
                  {{"UserID", "alice"},
                   {"ServerFilePath", "Docs\\a.txt"},
                   {"UpdateTime", "2026/12/01 09:00:00"},
                   {"Comment", "third"},
                   {"FileID", ""},
                   {"#raw", "<Data><string>bmV3</string></Data>"},
                   {"bLast", "true"}},
                  "<CheckinResponse" + kNs + "><CheckinResult>3</CheckinResult></CheckinResponse>"},
        AnswerRow{
            "GetFile",
            nullptr,
            "GetFile",
            {{"UserID", "alice"}, {"FilePath", "Docs\\a.txt"}, {"Version", "-1"}, {"Offset", "0"}},
            "<GetFileResponse" + kNs +
                "><GetFileResult><Data><string>aGVsbG8gd29ybGQ="
                "</string></Data><UpdateDate>2026/11/30 08:15:00</UpdateDate>"
                "<TotalSize>11</TotalSize><Size>11</Size></GetFileResult></GetFileResponse>"},
        AnswerRow{
            "GetFileEnd",
            nullptr,
            "GetFile",
            {{"UserID", "alice"}, {"FilePath", "Docs\\a.txt"}, {"Version", "1"}, {"Offset", "5"}},
            "<GetFileResponse" + kNs +
                "><GetFileResult><Data /><UpdateDate>2026/11/30 "
                "08:15:00</UpdateDate><TotalSize>5</TotalSize><Size>0</Size></GetFileResult>"
                "</GetFileResponse>"},
        AnswerRow{
            "CheckOut",
            nullptr,
            "CheckOut",
            {{"UserID", "alice"}, {"ServerFilePath", "Docs\\a.txt"}, {"LocalFilePath", "/w/a.txt"}},
            emptyResponse("CheckOut")},
        AnswerRow{"CheckoutCancel",
                  checkOutA,
                  "CheckoutCancel",
                  {{"UserID", "alice"}, {"FilePath", "Docs\\a.txt"}},
                  emptyResponse("CheckoutCancel")}),
    [](const auto &rowInfo) { return std::string(rowInfo.param.name); });

TEST_F(ServiceTest, LogonWithEmptyIdRegistersTheLogonUser)
{
    SoapClient other(m_server.port());
    EXPECT_EQ(other.logon("bob"), "bob");
    expectOk(other.call("GetFolderList", {{"UserID", "bob"}, {"ParentPath", ""}}));
}

TEST_F(ServiceTest, ChunkedUploadThreadsFileIdsAndKeepsEveryByte)
{
    const std::string content = randomBytes(2 * 120000 + 777, 7);
    // Each answer carries a new FileID, so a replayed chunk cannot be appended twice.
    std::vector<std::string> fileIds;
    std::string fileId;
    for (std::size_t sent = 0; sent < content.size();) {
        const std::string piece = content.substr(sent, 120000);
        sent += piece.size();
        const Reply reply = m_client->post(
            envelope("AddFile",
                     {{"UserID", "alice"},
                      {"SelectPath", "Docs"},
                      {"AddFileName", "big.bin"},
                      {"UpdateTime", "2026/11/30 08:15:00"},
                      {"Comment", "big"},
                      {"FileID", fileId},
                      {"#raw", "<Data><string>" + clientBase64(piece) + "</string></Data>"},
                      {"bLast", sent == content.size() ? "true" : "false"}}),
            soapAction("AddFile"));
        ASSERT_EQ(reply.status, 200) << faultString(reply.body);
        fileId = value(reply.body, "AddFileResponse/AddFileResult").value_or("");
        fileIds.push_back(fileId);
    }
    ASSERT_EQ(fileIds.size(), 3u);
    EXPECT_NE(fileIds[0], fileIds[1]);
    EXPECT_EQ(m_client->getFile("alice", "Docs\\big.bin"), content);
    const auto history =
        rows(call("GetHistoryList",
                  {{"UserID", "alice"}, {"FilePath", "Docs\\big.bin"}, {"IsSubFolder", "false"}})
                 .body,
             "GetHistoryListResponse/GetHistoryListResult");
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].at("FileID"), fileIds.back());
}

TEST_F(ServiceTest, DownloadSplitsLargeAnswersIntoStringPieces)
{
    const std::string content = randomBytes(300000, 3);
    ASSERT_EQ(m_client->addFile("alice", "Docs", "c.bin", content).status, 200);
    const Reply reply = call(
        "GetFile",
        {{"UserID", "alice"}, {"FilePath", "Docs\\c.bin"}, {"Version", "-1"}, {"Offset", "0"}});
    EXPECT_EQ(rows(reply.body, "GetFileResponse/GetFileResult/Data").size(), 3u);
    EXPECT_EQ(value(reply.body, "GetFileResponse/GetFileResult/Size"), "300000");
    EXPECT_EQ(m_client->getFile("alice", "Docs\\c.bin"), content);
}

TEST_F(ServiceTest, OlderVersionsStayReadableAndRollBackRemovesLaterOnes)
{
    EXPECT_EQ(m_client->getFile("alice", "Docs\\a.txt", 1), "hello");
    EXPECT_EQ(m_client->getFile("alice", "Docs\\a.txt", 2), "hello world");
    expectOk(
        call("RollBack", {{"UserID", "alice"}, {"FilePath", "Docs\\a.txt"}, {"Version", "1"}}));
    EXPECT_EQ(m_client->getFile("alice", "Docs\\a.txt"), "hello");
    EXPECT_EQ(m_client->getFile("alice", "Docs\\a.txt", 2), std::nullopt);
    // The next version after a roll-back is numbered on from the one kept.
    ASSERT_EQ(checkOut("alice", "Docs\\a.txt").status, 200);
    ASSERT_EQ(m_client->checkin("alice", "Docs\\a.txt", "again").status, 200);
    EXPECT_EQ(m_client->getFile("alice", "Docs\\a.txt", 2), "again");
}

TEST_F(ServiceTest, CheckinReleasesTheCheckOutAndRecordsTheFileTime)
{
    const auto files = rows(call("GetFileList", {{"UserID", "alice"}, {"ParentPath", "Docs"}}).body,
                            "GetFileListResponse/GetFileListResult");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].at("CheckoutUserID"), "");
    EXPECT_EQ(files[0].at("UpdateDate"), "2026/11/30 08:15:00");
}

TEST_F(ServiceTest, PrivateFoldersAreListedOnlyToTheirCreator)
{
    expectOk(call("CreateFolder", {{"UserID", "alice"},
                                   {"ParentPath", "Docs"},
                                   {"FolderName", "Mine"},
                                   {"Comment", ""},
                                   {"IsPrivate", "true"}}));
    expectOk(call("CreateFolder", {{"UserID", "alice"},
                                   {"ParentPath", "Docs\\Mine"},
                                   {"FolderName", "Deeper"},
                                   {"Comment", ""},
                                   {"IsPrivate", "false"}}));
    ASSERT_EQ(m_client->addFile("alice", "Docs\\Mine", "secret.txt", "s").status, 200);
    SoapClient bob(m_server.port());
    bob.logon("bob");
    const auto own = rows(call("GetFolderList", {{"UserID", "alice"}, {"ParentPath", "Docs"}}).body,
                          "GetFolderListResponse/GetFolderListResult");
    ASSERT_EQ(own.size(), 1u);
    EXPECT_EQ(own[0].at("IsPrivate"), "true");
    EXPECT_TRUE(rows(bob.call("GetFolderList", {{"UserID", "bob"}, {"ParentPath", "Docs"}}).body,
                     "GetFolderListResponse/GetFolderListResult")
                    .empty());
    EXPECT_EQ(
        bob.call("GetFolderList", {{"UserID", "bob"}, {"ParentPath", "Docs\\Mine\\Deeper"}}).status,
        500);
    EXPECT_EQ(bob.getFile("bob", "Docs\\Mine\\secret.txt"), std::nullopt);
    const Reply count =
        bob.call("GetItemCount", {{"UserID", "bob"}, {"FilePath", ""}, {"IsSubFolder", "true"}});
    EXPECT_EQ(value(count.body, "GetItemCountResponse/GetItemCountResult"), "1");
}

TEST_F(ServiceTest, FolderHistoryListsFilesBelowByServerPathOldestFirst)
{
    expectOk(call("CreateFolder", {{"UserID", "alice"},
                                   {"ParentPath", "Docs"},
                                   {"FolderName", "Sub"},
                                   {"Comment", ""},
                                   {"IsPrivate", "false"}}));
    ASSERT_EQ(m_client->addFile("alice", "Docs\\Sub", "s.txt", "s").status, 200);
    const auto flat =
        rows(call("GetHistoryList",
                  {{"UserID", "alice"}, {"FilePath", "Docs"}, {"IsSubFolder", "false"}})
                 .body,
             "GetHistoryListResponse/GetHistoryListResult");
    ASSERT_EQ(flat.size(), 2u);
    EXPECT_EQ(flat[0].at("FileName"), "Docs\\a.txt");
    const auto deep = rows(
        call("GetHistoryList", {{"UserID", "alice"}, {"FilePath", "Docs"}, {"IsSubFolder", "true"}})
            .body,
        "GetHistoryListResponse/GetHistoryListResult");
    ASSERT_EQ(deep.size(), 3u);
    EXPECT_EQ(deep[2].at("FileName"), "Docs\\Sub\\s.txt");
    EXPECT_EQ(value(call("GetItemCount",
                         {{"UserID", "alice"}, {"FilePath", "Docs"}, {"IsSubFolder", "false"}})
                        .body,
                    "GetItemCountResponse/GetItemCountResult"),
              "1");
}

TEST_F(ServiceTest, DeletedItemsCanBeRestoredOrPurged)
{
    expectOk(
        call("Delete", {{"UserID", "alice"}, {"SelectPath", "Docs\\a.txt"}, {"IsPurge", "false"}}));
    EXPECT_TRUE(rows(call("GetFileList", {{"UserID", "alice"}, {"ParentPath", "Docs"}}).body,
                     "GetFileListResponse/GetFileListResult")
                    .empty());
    expectOk(call("Repaire", {{"UserID", "alice"}, {"FilePath", "Docs\\a.txt"}}));
    EXPECT_EQ(m_client->getFile("alice", "Docs\\a.txt", 1), "hello");

    expectOk(call("Delete", {{"UserID", "alice"}, {"SelectPath", "Docs"}, {"IsPurge", "false"}}));
    const auto deleted =
        rows(call("GetDeletedList", {{"UserID", "alice"}, {"SelectPath", ""}}).body,
             "GetDeletedListResponse/GetDeletedListResult");
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_EQ(deleted[0].at("Type"), "1");
    expectOk(call("Delete", {{"UserID", "alice"}, {"SelectPath", "Docs"}, {"IsPurge", "true"}}));
    EXPECT_TRUE(rows(call("GetDeletedList", {{"UserID", "alice"}, {"SelectPath", ""}}).body,
                     "GetDeletedListResponse/GetDeletedListResult")
                    .empty());
    EXPECT_EQ(call("Repaire", {{"UserID", "alice"}, {"FilePath", "Docs"}}).status, 500);
}

TEST_F(ServiceTest, EqualContentIsStoredOnceAndPurgeFreesIt)
{
    const std::string content = randomBytes(5000, 11);
    ASSERT_EQ(m_client->addFile("alice", "Docs", "one.bin", content).status, 200);
    ASSERT_EQ(m_client->addFile("alice", "Docs", "two.bin", content).status, 200);
    auto blobCount = [&] {
        int count = 0;
        for (const auto &entry :
             std::filesystem::recursive_directory_iterator(m_data.path() / "data" / "blobs")) {
            count += entry.is_regular_file() ? 1 : 0;
        }
        return count;
    };
    EXPECT_EQ(blobCount(), 3); // "hello", "hello world" and the shared content
    expectOk(call("Delete",
                  {{"UserID", "alice"}, {"SelectPath", "Docs\\one.bin"}, {"IsPurge", "true"}}));
    EXPECT_EQ(blobCount(), 3);
    expectOk(call("Delete",
                  {{"UserID", "alice"}, {"SelectPath", "Docs\\two.bin"}, {"IsPurge", "true"}}));
    EXPECT_EQ(blobCount(), 2);
    // The last blob of a folder takes the folder with it.
    expectOk(call("Delete", {{"UserID", "alice"}, {"SelectPath", "Docs"}, {"IsPurge", "true"}}));
    EXPECT_EQ(blobCount(), 0);
    EXPECT_TRUE(std::filesystem::is_empty(m_data.path() / "data" / "blobs"));
}

TEST_F(ServiceTest, WorkFoldersAndCommentsBelongToTheirItems)
{
    expectOk(call(
        "SetWorkFolderPath",
        {{"UserID", "alice"}, {"SelectPath", "Docs"}, {"WorkFolderPath", "/home/alice/docs"}}));
    expectOk(call("UpdateComment", {{"UserID", "alice"},
                                    {"SelectPath", "Docs"},
                                    {"Version", "0"},
                                    {"Comment", "new <note>"}}));
    const auto folders = rows(call("GetFolderList", {{"UserID", "alice"}, {"ParentPath", ""}}).body,
                              "GetFolderListResponse/GetFolderListResult");
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders[0].at("WorkFolderName"), "/home/alice/docs");
    EXPECT_EQ(folders[0].at("Comment"), "new <note>");
    SoapClient bob(m_server.port());
    bob.logon("bob");
    const auto seenByBob =
        rows(bob.call("GetFolderList", {{"UserID", "bob"}, {"ParentPath", ""}}).body,
             "GetFolderListResponse/GetFolderListResult");
    ASSERT_EQ(seenByBob.size(), 1u);
    EXPECT_EQ(seenByBob[0].at("WorkFolderName"), "");
}

TEST_F(ServiceTest, ServerDeleteForgetsTheUserAndReleasesItsCheckOuts)
{
    ASSERT_EQ(checkOut("alice", "Docs\\a.txt").status, 200);
    expectOk(call("ServerDelete", {{"UserID", "alice"}}));
    EXPECT_EQ(call("GetFolderList", {{"UserID", "alice"}, {"ParentPath", ""}}).status, 500);
    SoapClient bob(m_server.port());
    bob.logon("bob");
    expectOk(
        bob.call("CheckOut",
                 {{"UserID", "bob"}, {"ServerFilePath", "Docs\\a.txt"}, {"LocalFilePath", "b"}}));
}

TEST_F(ServiceTest, MoveAndRenameKeepHistory)
{
    expectOk(call("CreateFolder", {{"UserID", "alice"},
                                   {"ParentPath", ""},
                                   {"FolderName", "Old"},
                                   {"Comment", ""},
                                   {"IsPrivate", "false"}}));
    expectOk(
        call("Move", {{"UserID", "alice"}, {"SelectPath", "Docs\\a.txt"}, {"MovePath", "Old"}}));
    expectOk(call("Rename",
                  {{"UserID", "alice"}, {"SelectPath", "Old\\a.txt"}, {"ChangeName", "b.txt"}}));
    expectOk(call("Move", {{"UserID", "alice"}, {"SelectPath", "Old"}, {"MovePath", "Docs"}}));
    EXPECT_EQ(m_client->getFile("alice", "Docs\\Old\\b.txt", 1), "hello");
}

class SmallChunkServiceTest : public ServiceTest
{
protected:
    std::vector<std::string> extraArguments() const override { return {"--chunk-size", "1000"}; }
};

TEST_F(SmallChunkServiceTest, DownloadComesInChunkSizedAnswersUntilSizeZero)
{
    const std::string content = randomBytes(4500, 5);
    ASSERT_EQ(m_client->addFile("alice", "Docs", "d.bin", content).status, 200);
    const Reply first = call(
        "GetFile",
        {{"UserID", "alice"}, {"FilePath", "Docs\\d.bin"}, {"Version", "-1"}, {"Offset", "4000"}});
    EXPECT_EQ(value(first.body, "GetFileResponse/GetFileResult/Size"), "500");
    EXPECT_EQ(value(first.body, "GetFileResponse/GetFileResult/TotalSize"), "4500");
    EXPECT_EQ(m_client->getFile("alice", "Docs\\d.bin"), content);
}

} // namespace

namespace {

TEST_F(SmallChunkServiceTest, DownloadOfLatestStaysOnItsVersionWhenACheckinLandsBetweenChunks)
{
    const std::string first = randomBytes(2500, 1);
    const std::string second = randomBytes(3000, 2);
    ASSERT_EQ(m_client->addFile("alice", "Docs", "e.bin", first).status, 200);
    auto chunkAt = [&](long long offset) {
        const Reply reply = call("GetFile", {{"UserID", "alice"},
                                             {"FilePath", "Docs\\e.bin"},
                                             {"Version", "-1"},
                                             {"Offset", std::to_string(offset)}});
        EXPECT_EQ(reply.status, 200) << faultString(reply.body);
        return value(reply.body, "GetFileResponse/GetFileResult/TotalSize").value_or("");
    };
    EXPECT_EQ(chunkAt(0), "2500");
    SoapClient bob(m_server.port());
    bob.logon("bob");
    ASSERT_EQ(
        bob.call("CheckOut",
                 {{"UserID", "bob"}, {"ServerFilePath", "Docs\\e.bin"}, {"LocalFilePath", "b"}})
            .status,
        200);
    ASSERT_EQ(bob.checkin("bob", "Docs\\e.bin", second).status, 200);
    EXPECT_EQ(chunkAt(1000), "2500");
    EXPECT_EQ(chunkAt(2000), "2500");
    EXPECT_EQ(chunkAt(2500), "2500");
    // The next download starts afresh on the new latest version.
    EXPECT_EQ(m_client->getFile("alice", "Docs\\e.bin"), second);
}

} // namespace
