#include "servertestsupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <iostream>
#include <mutex>
#include <set>
#include <thread>

using namespace servertest;

namespace {

constexpr auto kDuration = std::chrono::seconds(6);

// The TotalSize of the latest version's chunk at offset, as the user "shared" sees it:
// it tells which version the chunk came from.
std::string latestTotalAt(SoapClient &client, const std::string &path, long long offset)
{
    const Reply reply = client.call("GetFile", {{"UserID", "shared"},
                                                {"FilePath", path},
                                                {"Version", "-1"},
                                                {"Offset", std::to_string(offset)}});
    return value(reply.body, "GetFileResponse/GetFileResult/TotalSize").value_or("?");
}

bool checkInNewVersion(SoapClient &writer, const std::string &path, std::size_t size)
{
    return writer.call("CheckOut",
                       {{"UserID", "writer"}, {"ServerFilePath", path}, {"LocalFilePath", "w"}})
                   .status == 200 &&
           writer.checkin("writer", path, randomBytes(size, static_cast<unsigned>(size))).status ==
               200;
}

// Two clients of one user ID (two sessions of one --user account) download the latest
// version of one file again and again in 1000-byte chunks while a third user checks
// in new versions as fast as it can. Every download must be one whole version: a
// download that started on one version and went on with another is spliced.
TEST(Splice, TwoDownloadsOfOneUserIdNeverMixTwoVersions)
{
    TempDir data;
    ServerProcess server;
    ASSERT_TRUE(server.start(data.path(), {"--chunk-size", "1000"}));
    std::mutex mutex;
    std::set<std::string> sent;
    {
        SoapClient setup(server.port());
        ASSERT_EQ(setup.logon("shared"), "shared");
        ASSERT_EQ(setup.logon("writer"), "writer");
        const std::string first = randomBytes(9000, 1);
        sent.insert(first);
        ASSERT_EQ(setup.addFile("writer", "", "hot.bin", first).status, 200);
    }
    const auto end = std::chrono::steady_clock::now() + kDuration;
    std::atomic<int> downloads = 0;
    std::atomic<int> spliced = 0;
    std::atomic<int> failed = 0;
    std::atomic<int> checkins = 0;
    // What the failed calls answered, so that a failure says which call it was.
    std::vector<std::string> failures;
    const auto fail = [&](const std::string &what) {
        ++failed;
        std::lock_guard lock(mutex);
        if (failures.size() < 5)
            failures.push_back(what);
    };
    std::vector<std::thread> threads;
    for (int reader = 0; reader < 2; ++reader) {
        threads.emplace_back([&] {
            SoapClient client(server.port());
            while (std::chrono::steady_clock::now() < end) {
                std::string failure;
                const std::optional<std::string> got =
                    client.getFile("shared", "hot.bin", -1, &failure);
                ++downloads;
                if (!got) {
                    fail(failure);
                    continue;
                }
                std::lock_guard lock(mutex);
                if (!sent.contains(*got))
                    ++spliced;
            }
        });
    }
    threads.emplace_back([&] {
        SoapClient client(server.port());
        unsigned seed = 100;
        while (std::chrono::steady_clock::now() < end) {
            const Reply checkedOut = client.call(
                "CheckOut",
                {{"UserID", "writer"}, {"ServerFilePath", "hot.bin"}, {"LocalFilePath", "w"}});
            if (checkedOut.status != 200) {
                fail(describe("CheckOut", checkedOut));
                continue;
            }
            // Sizes jump about, so a newer version is as often shorter than the one a
            // download is on as longer.
            const std::string content = randomBytes(8000 + seed * 1237 % 3000, seed);
            ++seed;
            {
                std::lock_guard lock(mutex);
                sent.insert(content);
            }
            const Reply checkedIn = client.checkin("writer", "hot.bin", content);
            if (checkedIn.status == 200)
                ++checkins;
            else
                fail(describe("Checkin", checkedIn));
        }
    });
    for (std::thread &thread : threads)
        thread.join();
    std::cout << "downloads " << downloads << ", spliced " << spliced << ", check-ins " << checkins
              << "\n";
    EXPECT_EQ(spliced.load(), 0);
    EXPECT_EQ(failed.load(), 0) << testing::PrintToString(failures);
    EXPECT_GT(checkins.load(), 10);
    EXPECT_GT(downloads.load(), 10);
}

// A client whose kept-alive connection closed between two chunks goes on over a new
// one: the chunk at the offset its download had reached still comes from its version.
TEST(Splice, ADownloadThatGoesOnOverANewConnectionKeepsItsVersion)
{
    TempDir data;
    ServerProcess server;
    ASSERT_TRUE(server.start(data.path(), {"--chunk-size", "1000"}));
    SoapClient reader(server.port());
    SoapClient writer(server.port());
    ASSERT_EQ(reader.logon("shared"), "shared");
    ASSERT_EQ(writer.logon("writer"), "writer");
    ASSERT_EQ(writer.addFile("writer", "", "f.bin", randomBytes(2500, 1)).status, 200);
    EXPECT_EQ(latestTotalAt(reader, "f.bin", 0), "2500");
    reader.disconnect();
    ASSERT_TRUE(checkInNewVersion(writer, "f.bin", 4000));
    EXPECT_EQ(latestTotalAt(reader, "f.bin", 1000), "2500");
    reader.disconnect();
    EXPECT_EQ(latestTotalAt(reader, "f.bin", 2000), "2500");
    EXPECT_EQ(latestTotalAt(reader, "f.bin", 2500), "2500");
    // Finished: the next download is of the new latest version.
    EXPECT_EQ(latestTotalAt(reader, "f.bin", 0), "4000");
}

// Two downloads of one user ID stand at the same offset on two versions, and one goes
// on over a new connection: it is the one whose connection ended, so each keeps its
// own version, whichever of them reconnects and whether or not the service has seen
// the old connection end when the new one's chunk arrives.
TEST(Splice, DownloadsAtOneOffsetOnTwoVersionsKeepTheirsAcrossANewConnection)
{
    TempDir data;
    ServerProcess server;
    ASSERT_TRUE(server.start(data.path(), {"--chunk-size", "1000"}));
    SoapClient older(server.port());
    SoapClient newer(server.port());
    SoapClient writer(server.port());
    ASSERT_EQ(older.logon("shared"), "shared");
    ASSERT_EQ(writer.logon("writer"), "writer");
    ASSERT_EQ(writer.addFile("writer", "", "f.bin", randomBytes(2500, 1)).status, 200);
    ASSERT_EQ(latestTotalAt(older, "f.bin", 0), "2500");
    ASSERT_TRUE(checkInNewVersion(writer, "f.bin", 4000));
    ASSERT_EQ(latestTotalAt(newer, "f.bin", 0), "4000");

    older.disconnect();
    EXPECT_EQ(latestTotalAt(older, "f.bin", 1000), "2500");
    EXPECT_EQ(latestTotalAt(newer, "f.bin", 1000), "4000");
    newer.disconnect();
    EXPECT_EQ(latestTotalAt(newer, "f.bin", 2000), "4000");
    EXPECT_EQ(latestTotalAt(older, "f.bin", 2000), "2500");
    // Both go on over new connections, one after the other.
    older.disconnect();
    newer.disconnect();
    EXPECT_EQ(latestTotalAt(newer, "f.bin", 3000), "4000");
    EXPECT_EQ(latestTotalAt(older, "f.bin", 2500), "2500");
}

// The chunk on the new connection arrives before the service has seen the old one end
// (the client closed it, but its worker has not noticed yet): the chunk waits for the
// end instead of taking the latest version.
TEST(Splice, AChunkOnANewConnectionWaitsForTheOldConnectionToEnd)
{
    TempDir data;
    ServerProcess server;
    ASSERT_TRUE(server.start(data.path(), {"--chunk-size", "1000"}));
    SoapClient older(server.port());
    SoapClient newer(server.port());
    SoapClient writer(server.port());
    ASSERT_EQ(older.logon("shared"), "shared");
    ASSERT_EQ(writer.logon("writer"), "writer");
    ASSERT_EQ(writer.addFile("writer", "", "f.bin", randomBytes(2500, 1)).status, 200);
    ASSERT_EQ(latestTotalAt(older, "f.bin", 0), "2500");
    ASSERT_TRUE(checkInNewVersion(writer, "f.bin", 4000));
    ASSERT_EQ(latestTotalAt(newer, "f.bin", 0), "4000");

    // The old connection stays open until the chunk on the new one is in the service.
    SoapClient olderAgain(server.port());
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        older.disconnect();
    });
    EXPECT_EQ(latestTotalAt(olderAgain, "f.bin", 1000), "2500");
    closer.join();
    EXPECT_EQ(latestTotalAt(newer, "f.bin", 1000), "4000");
}

} // namespace
