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
    std::vector<std::thread> threads;
    for (int reader = 0; reader < 2; ++reader) {
        threads.emplace_back([&] {
            SoapClient client(server.port());
            while (std::chrono::steady_clock::now() < end) {
                const std::optional<std::string> got = client.getFile("shared", "hot.bin");
                ++downloads;
                if (!got) {
                    ++failed;
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
            if (client
                    .call("CheckOut", {{"UserID", "writer"},
                                       {"ServerFilePath", "hot.bin"},
                                       {"LocalFilePath", "w"}})
                    .status != 200) {
                ++failed;
                continue;
            }
            const std::string content = randomBytes(8000 + seed % 3000, seed);
            ++seed;
            {
                std::lock_guard lock(mutex);
                sent.insert(content);
            }
            if (client.checkin("writer", "hot.bin", content).status == 200)
                ++checkins;
            else
                ++failed;
        }
    });
    for (std::thread &thread : threads)
        thread.join();
    std::cout << "downloads " << downloads << ", spliced " << spliced << ", check-ins " << checkins
              << "\n";
    EXPECT_EQ(spliced.load(), 0);
    EXPECT_EQ(failed.load(), 0);
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
    auto totalAt = [&](long long offset) {
        const Reply reply = reader.call("GetFile", {{"UserID", "shared"},
                                                    {"FilePath", "f.bin"},
                                                    {"Version", "-1"},
                                                    {"Offset", std::to_string(offset)}});
        return value(reply.body, "GetFileResponse/GetFileResult/TotalSize").value_or("?");
    };
    EXPECT_EQ(totalAt(0), "2500");
    reader.disconnect();
    ASSERT_EQ(writer
                  .call("CheckOut",
                        {{"UserID", "writer"}, {"ServerFilePath", "f.bin"}, {"LocalFilePath", "w"}})
                  .status,
              200);
    ASSERT_EQ(writer.checkin("writer", "f.bin", randomBytes(4000, 2)).status, 200);
    EXPECT_EQ(totalAt(1000), "2500");
    reader.disconnect();
    EXPECT_EQ(totalAt(2000), "2500");
    EXPECT_EQ(totalAt(2500), "2500");
    // Finished: the next download is of the new latest version.
    EXPECT_EQ(totalAt(0), "4000");
}

} // namespace
