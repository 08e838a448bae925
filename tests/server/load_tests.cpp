#include "servertestsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <thread>

using namespace servertest;

namespace {

constexpr int kClients = 8;
constexpr int kFiles = 12;
constexpr auto kDuration = std::chrono::seconds(20);

std::string filePath(int index)
{
    return "Shared\\file" + std::to_string(index) + ".bin";
}

struct Ledger
{
    std::mutex mutex;
    // Per file: the content of every version, in version order (index 0 = version 1).
    std::vector<std::vector<std::string>> versions = std::vector<std::vector<std::string>>(kFiles);
    // Per file: content being checked in, which a concurrent get may already see.
    std::vector<std::vector<std::string>> pending = std::vector<std::vector<std::string>>(kFiles);
};

// Eight clients check out, check in and get files of one shared folder for 20 seconds;
// the first two share one user ID, as two sessions of one account do. Afterwards
// every version's content must be what its author sent, every download must have
// been one whole version, and no request may have failed other than the refusals
// that exclusive check-outs call for.
TEST(Load, EightClientsKeepEveryVersionIntact)
{
    TempDir data;
    ServerProcess server;
    ASSERT_TRUE(server.start(data.path()));
    Ledger ledger;
    {
        SoapClient setup(server.port());
        ASSERT_EQ(setup.logon("owner"), "owner");
        ASSERT_EQ(setup
                      .call("CreateFolder", {{"UserID", "owner"},
                                             {"ParentPath", ""},
                                             {"FolderName", "Shared"},
                                             {"Comment", ""},
                                             {"IsPrivate", "false"}})
                      .status,
                  200);
        for (int i = 0; i < kFiles; ++i) {
            const std::string content = randomBytes(1000 + i, static_cast<unsigned>(i));
            ASSERT_EQ(setup.addFile("owner", "Shared", "file" + std::to_string(i) + ".bin", content)
                          .status,
                      200);
            ledger.versions[static_cast<std::size_t>(i)].push_back(content);
        }
    }

    std::atomic<int> failures = 0;
    std::atomic<int> refusals = 0;
    std::atomic<int> checkins = 0;
    std::atomic<int> gets = 0;
    std::mutex messageMutex;
    std::vector<std::string> messages;
    auto fail = [&](const std::string &what) {
        ++failures;
        std::lock_guard lock(messageMutex);
        if (messages.size() < 10)
            messages.push_back(what);
    };

    const auto end = std::chrono::steady_clock::now() + kDuration;
    std::vector<std::thread> workers;
    for (int c = 0; c < kClients; ++c) {
        workers.emplace_back([&, c] {
            const std::string user = "user" + std::to_string(c == 1 ? 0 : c);
            const bool sharedId = c <= 1;
            SoapClient client(server.port());
            if (client.logon(user) != user) {
                fail(user + ": logon");
                return;
            }
            std::mt19937 random(static_cast<unsigned>(c) * 7919u + 1u);
            unsigned seed = static_cast<unsigned>(c) << 20;
            while (std::chrono::steady_clock::now() < end) {
                const int file = static_cast<int>(random() % kFiles);
                const std::string path = filePath(file);
                if (random() % 3 == 0) {
                    const std::optional<std::string> got = client.getFile(user, path);
                    ++gets;
                    std::lock_guard lock(ledger.mutex);
                    const auto &known = ledger.versions[static_cast<std::size_t>(file)];
                    const auto &coming = ledger.pending[static_cast<std::size_t>(file)];
                    if (!got || (std::find(known.begin(), known.end(), *got) == known.end() &&
                                 std::find(coming.begin(), coming.end(), *got) == coming.end()))
                        fail(user + ": latest of " + path + " is no version that was sent");
                    continue;
                }
                const Reply out = client.call(
                    "CheckOut",
                    {{"UserID", user}, {"ServerFilePath", path}, {"LocalFilePath", "w"}});
                if (out.status == 500 &&
                    faultString(out.body).find("checked out by") != std::string::npos) {
                    ++refusals;
                    continue;
                }
                if (out.status != 200) {
                    fail(user + ": CheckOut " + path + ": " + faultString(out.body));
                    continue;
                }
                // Up to three chunks of the client's 120000 bytes.
                const std::string content = randomBytes(1 + random() % 300000, ++seed);
                {
                    std::lock_guard lock(ledger.mutex);
                    ledger.pending[static_cast<std::size_t>(file)].push_back(content);
                }
                const Reply in = client.checkin(user, path, content);
                // The other session of a shared ID may have checked the file in first,
                // which ends the check-out both of them had; another user may then have
                // checked it out already.
                if (sharedId && in.status == 500 &&
                    (faultString(in.body).find("not checked out") != std::string::npos ||
                     faultString(in.body).find("checked out by") != std::string::npos)) {
                    ++refusals;
                    continue;
                }
                if (in.status != 200) {
                    fail(user + ": Checkin " + path + ": " + faultString(in.body));
                    continue;
                }
                ++checkins;
                const auto history =
                    rows(client
                             .call("GetHistoryList",
                                   {{"UserID", user}, {"FilePath", path}, {"IsSubFolder", "false"}})
                             .body,
                         "GetHistoryListResponse/GetHistoryListResult");
                const std::string fileId =
                    value(in.body, "CheckinResponse/CheckinResult").value_or("?");
                std::size_t version = 0;
                for (const auto &row : history) {
                    if (row.at("FileID") == fileId)
                        version = static_cast<std::size_t>(std::stoul(row.at("Version")));
                }
                std::lock_guard lock(ledger.mutex);
                auto &known = ledger.versions[static_cast<std::size_t>(file)];
                // Another client may record a later version of this file first.
                if (version == 0 || (version <= known.size() && !known[version - 1].empty())) {
                    fail(user + ": " + path + " got version " + std::to_string(version));
                    continue;
                }
                known.resize(std::max(known.size(), version));
                known[version - 1] = content;
            }
        });
    }
    for (std::thread &worker : workers)
        worker.join();

    EXPECT_EQ(failures.load(), 0) << (messages.empty() ? "" : messages.front());
    EXPECT_GT(checkins.load(), 0);
    EXPECT_GT(gets.load(), 0);
    SoapClient verifier(server.port());
    ASSERT_EQ(verifier.logon("verifier"), "verifier");
    for (int file = 0; file < kFiles; ++file) {
        const auto &known = ledger.versions[static_cast<std::size_t>(file)];
        for (std::size_t v = 0; v < known.size(); ++v) {
            EXPECT_FALSE(known[v].empty())
                << filePath(file) << " version " << v + 1 << " was never recorded";
            EXPECT_EQ(verifier.getFile("verifier", filePath(file), static_cast<int>(v + 1)),
                      known[v])
                << filePath(file) << " version " << v + 1;
        }
    }
    std::cout << "checkins " << checkins << ", gets " << gets << ", refused check-outs " << refusals
              << "\n";
    verifier.disconnect();
    EXPECT_EQ(server.stop(), 0);
}

} // namespace
