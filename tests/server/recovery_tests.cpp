#include "servertestsupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <ostream>

using namespace servertest;

namespace {

const std::string kFile = "f.bin";

Elements checkinHead()
{
    return {{"UserID", "alice"}, {"ServerFilePath", kFile}};
}

std::size_t versionCount(SoapClient &client)
{
    return rows(client
                    .call("GetHistoryList",
                          {{"UserID", "alice"}, {"FilePath", kFile}, {"IsSubFolder", "false"}})
                    .body,
                "GetHistoryListResponse/GetHistoryListResult")
        .size();
}

std::filesystem::path partFile(const std::filesystem::path &data, const std::string &fileId)
{
    return data / "uploads" / (fileId.substr(0, fileId.find('-')) + ".part");
}

// alice owns f.bin (version 1, "v1") and holds its check-out.
void prepare(SoapClient &client)
{
    ASSERT_EQ(client.logon("alice"), "alice");
    ASSERT_EQ(client.addFile("alice", "", kFile, "v1").status, 200);
    ASSERT_EQ(client
                  .call("CheckOut",
                        {{"UserID", "alice"}, {"ServerFilePath", kFile}, {"LocalFilePath", "w"}})
                  .status,
              200);
}

struct CrashRow
{
    const char *name;
    const char *point;
};

void PrintTo(const CrashRow &row, std::ostream *os)
{
    *os << row.name;
}

class CrashDuringCommit : public testing::TestWithParam<CrashRow>
{
};

// The service dies while it commits the last chunk of a three-chunk check-in. The
// client, seeing no answer, sends the last chunk again with the same FileID after the
// restart: that must give version 2 with exactly the bytes sent, once.
TEST_P(CrashDuringCommit, ResentLastChunkCommitsTheRealContentOnce)
{
    TempDir data;
    const std::string content = randomBytes(320000, 17);
    std::string lastFileId;
    {
        ServerProcess server;
        ASSERT_TRUE(server.start(data.path()));
        SoapClient client(server.port());
        prepare(client);
        std::string fileId;
        for (std::size_t at = 0; at < 240000; at += 120000) {
            const Reply reply = client.uploadChunk("Checkin", checkinHead(), fileId,
                                                   content.substr(at, 120000), false);
            ASSERT_EQ(reply.status, 200) << faultString(reply.body);
            fileId = value(reply.body, "CheckinResponse/CheckinResult").value_or("");
        }
        lastFileId = fileId;
        client.disconnect();
        ASSERT_EQ(server.stop(), 0);
    }
    {
        ServerProcess server;
        server.setEnvironment("RAVELIND_SERVER_CRASH_AT", GetParam().point);
        ASSERT_TRUE(server.start(data.path()));
        SoapClient client(server.port());
        const Reply lost =
            client.uploadChunk("Checkin", checkinHead(), lastFileId, content.substr(240000), true);
        EXPECT_EQ(lost.status, 0) << "the service answered instead of dying";
        int signal = 0;
        ASSERT_TRUE(server.waitForEnd(30, signal));
        EXPECT_EQ(signal, SIGKILL);
    }
    ServerProcess server;
    ASSERT_TRUE(server.start(data.path()));
    SoapClient client(server.port());
    const Reply resent =
        client.uploadChunk("Checkin", checkinHead(), lastFileId, content.substr(240000), true);
    EXPECT_EQ(resent.status, 200) << faultString(resent.body);
    EXPECT_TRUE(client.getFile("alice", kFile) == content) << "the content is not what was sent";
    EXPECT_EQ(versionCount(client), 2u);
    // Sent once more, the answer is the same, and still no third version appears.
    const Reply again =
        client.uploadChunk("Checkin", checkinHead(), lastFileId, content.substr(240000), true);
    EXPECT_EQ(again.status, 200) << faultString(again.body);
    EXPECT_EQ(value(again.body, "CheckinResponse/CheckinResult"),
              value(resent.body, "CheckinResponse/CheckinResult"));
    EXPECT_EQ(versionCount(client), 2u);
    client.disconnect();
    EXPECT_EQ(server.stop(), 0);
}

INSTANTIATE_TEST_SUITE_P(Recovery, CrashDuringCommit,
                         testing::Values(CrashRow{"AfterTheBlobIsPlaced", "blob-placed"},
                                         CrashRow{"AfterTheVersionIsCommitted",
                                                  "version-committed"}),
                         [](const auto &rowInfo) { return std::string(rowInfo.param.name); });

struct DamageRow
{
    const char *name;
    void (*damage)(const std::filesystem::path &part);
};

void PrintTo(const DamageRow &row, std::ostream *os)
{
    *os << row.name;
}

class DamagedPartFile : public testing::TestWithParam<DamageRow>
{
};

// An operator deletes or cuts an upload's part file between two chunks: the next
// chunk must not fill the gap with zeros, and the session is gone afterwards.
TEST_P(DamagedPartFile, RefusesTheNextChunkAndDropsTheUpload)
{
    TempDir data;
    ServerProcess server;
    ASSERT_TRUE(server.start(data.path()));
    SoapClient client(server.port());
    prepare(client);
    const std::string content = randomBytes(250000, 3);
    const Reply first =
        client.uploadChunk("Checkin", checkinHead(), "", content.substr(0, 120000), false);
    ASSERT_EQ(first.status, 200);
    const std::string fileId = value(first.body, "CheckinResponse/CheckinResult").value_or("");
    ASSERT_TRUE(std::filesystem::exists(partFile(data.path(), fileId)));
    GetParam().damage(partFile(data.path(), fileId));

    const Reply next =
        client.uploadChunk("Checkin", checkinHead(), fileId, content.substr(120000, 120000), false);
    EXPECT_EQ(next.status, 500);
    EXPECT_NE(faultString(next.body).find("upload must be started again"), std::string::npos)
        << faultString(next.body);
    const Reply retry =
        client.uploadChunk("Checkin", checkinHead(), fileId, content.substr(120000), true);
    EXPECT_EQ(retry.status, 500);
    EXPECT_NE(faultString(retry.body).find("unknown or has expired"), std::string::npos)
        << faultString(retry.body);
    EXPECT_TRUE(client.getFile("alice", kFile) == "v1") << "version 1 is not the latest";
    EXPECT_EQ(versionCount(client), 1u);
    EXPECT_TRUE(std::filesystem::is_empty(data.path() / "uploads"));
}

INSTANTIATE_TEST_SUITE_P(Recovery, DamagedPartFile,
                         testing::Values(DamageRow{"Deleted",
                                                   [](const std::filesystem::path &part) {
                                                       std::filesystem::remove(part);
                                                   }},
                                         DamageRow{"CutShort",
                                                   [](const std::filesystem::path &part) {
                                                       std::filesystem::resize_file(part, 1000);
                                                   }}),
                         [](const auto &rowInfo) { return std::string(rowInfo.param.name); });

// A part file that went missing while the service was down: the session is dropped
// at start, so the chunk is refused rather than written after a hole.
TEST(Recovery, RestartDropsAnUploadWhosePartFileIsGone)
{
    TempDir data;
    const std::string content = randomBytes(200000, 4);
    std::string fileId;
    {
        ServerProcess server;
        ASSERT_TRUE(server.start(data.path()));
        SoapClient client(server.port());
        prepare(client);
        const Reply first =
            client.uploadChunk("Checkin", checkinHead(), "", content.substr(0, 120000), false);
        ASSERT_EQ(first.status, 200);
        fileId = value(first.body, "CheckinResponse/CheckinResult").value_or("");
        client.disconnect();
        ASSERT_EQ(server.stop(SIGKILL), -1);
    }
    std::filesystem::remove(partFile(data.path(), fileId));
    ServerProcess server;
    ASSERT_TRUE(server.start(data.path()));
    SoapClient client(server.port());
    const Reply last =
        client.uploadChunk("Checkin", checkinHead(), fileId, content.substr(120000), true);
    EXPECT_EQ(last.status, 500);
    EXPECT_TRUE(client.getFile("alice", kFile) == "v1") << "version 1 is not the latest";
}

// The answer to a middle chunk was lost: the client sends the same chunk with the
// same FileID again and gets the same answer, and the upload goes on.
TEST(Recovery, RepeatedChunkGetsTheSameAnswerAgain)
{
    TempDir data;
    ServerProcess server;
    ASSERT_TRUE(server.start(data.path()));
    SoapClient client(server.port());
    prepare(client);
    const std::string content = randomBytes(300000, 8);
    const Reply first =
        client.uploadChunk("Checkin", checkinHead(), "", content.substr(0, 120000), false);
    const std::string id1 = value(first.body, "CheckinResponse/CheckinResult").value_or("");
    const Reply second =
        client.uploadChunk("Checkin", checkinHead(), id1, content.substr(120000, 120000), false);
    ASSERT_EQ(second.status, 200);
    const Reply repeated =
        client.uploadChunk("Checkin", checkinHead(), id1, content.substr(120000, 120000), false);
    EXPECT_EQ(repeated.status, 200) << faultString(repeated.body);
    EXPECT_EQ(value(repeated.body, "CheckinResponse/CheckinResult"),
              value(second.body, "CheckinResponse/CheckinResult"));
    // Other bytes under the same FileID are not a repeat.
    const Reply different =
        client.uploadChunk("Checkin", checkinHead(), id1, content.substr(0, 120000), false);
    EXPECT_EQ(different.status, 500);
    const std::string id2 = value(second.body, "CheckinResponse/CheckinResult").value_or("");
    const Reply last =
        client.uploadChunk("Checkin", checkinHead(), id2, content.substr(240000), true);
    ASSERT_EQ(last.status, 200) << faultString(last.body);
    EXPECT_TRUE(client.getFile("alice", kFile) == content) << "the content is not what was sent";
}

} // namespace
