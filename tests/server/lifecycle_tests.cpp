#include "servertestsupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <set>
#include <sys/stat.h>

using namespace servertest;

namespace {

TEST(Lifecycle, FirstLineNamesBindAndPortAndSigtermStopsCleanly)
{
    TempDir data;
    ServerProcess server;
    ASSERT_TRUE(server.start(data.path()));
    EXPECT_EQ(server.firstLine(),
              "ravelind-server listening on 127.0.0.1 port " + std::to_string(server.port()));
    EXPECT_EQ(server.stop(), 0);
}

TEST(Lifecycle, SigintStopsCleanlyToo)
{
    TempDir data;
    ServerProcess server;
    ASSERT_TRUE(server.start(data.path()));
    {
        SoapClient client(server.port());
        ASSERT_EQ(client.logon("alice"), "alice");
    }
    EXPECT_EQ(server.stop(SIGINT), 0);
}

TEST(Lifecycle, AnUnusableDataFolderStopsStartUp)
{
    TempDir data;
    std::ofstream(data.path() / "file") << "not a folder";
    ServerProcess server;
    EXPECT_FALSE(server.start(data.path() / "file"));
    EXPECT_EQ(server.stop(), 1);
}

// The store holds everyone's files: whatever umask the service was started with,
// nothing in its data folder is readable by other local users.
TEST(Lifecycle, DataFolderAndEveryFileInItAreTheUsersOnly)
{
    TempDir parent;
    const std::filesystem::path data = parent.path() / "store";
    const mode_t previous = ::umask(022);
    ServerProcess server;
    const bool started = server.start(data);
    ::umask(previous);
    ASSERT_TRUE(started);
    SoapClient client(server.port());
    ASSERT_EQ(client.logon("alice"), "alice");
    ASSERT_EQ(client.addFile("alice", "", "f.txt", "content").status, 200);
    ASSERT_EQ(client
                  .uploadChunk("AddFile",
                               {{"UserID", "alice"}, {"SelectPath", ""}, {"AddFileName", "g.txt"}},
                               "", "part", false)
                  .status,
              200);
    std::vector<std::filesystem::path> everything{data};
    for (const auto &entry : std::filesystem::recursive_directory_iterator(data))
        everything.push_back(entry.path());
    std::set<std::string> seen;
    for (const std::filesystem::path &path : everything) {
        const auto perms = std::filesystem::status(path).permissions();
        const auto others = std::filesystem::perms::group_all | std::filesystem::perms::others_all;
        EXPECT_EQ(perms & others, std::filesystem::perms::none) << path;
        seen.insert(path.extension().string());
    }
    // The database with its -wal and -shm, a blob and a part file were all looked at.
    EXPECT_TRUE(seen.contains(".db") && seen.contains(".db-wal") && seen.contains(".db-shm") &&
                seen.contains(".part"));
    client.disconnect();
    EXPECT_EQ(server.stop(), 0);
}

TEST(Lifecycle, RestartKeepsTreeVersionsCheckOutsUsersAndUploads)
{
    TempDir data;
    const std::string content = randomBytes(250000, 21);
    std::string pendingFileId;
    {
        ServerProcess server;
        ASSERT_TRUE(server.start(data.path()));
        SoapClient client(server.port());
        ASSERT_EQ(client.logon("alice"), "alice");
        ASSERT_EQ(client
                      .call("CreateFolder", {{"UserID", "alice"},
                                             {"ParentPath", ""},
                                             {"FolderName", "Keep"},
                                             {"Comment", "kept"},
                                             {"IsPrivate", "true"}})
                      .status,
                  200);
        ASSERT_EQ(client.addFile("alice", "Keep", "k.bin", content).status, 200);
        ASSERT_EQ(client
                      .call("CheckOut", {{"UserID", "alice"},
                                         {"ServerFilePath", "Keep\\k.bin"},
                                         {"LocalFilePath", "/w/k.bin"}})
                      .status,
                  200);
        ASSERT_EQ(client.addFile("alice", "Keep", "gone.txt", "g").status, 200);
        ASSERT_EQ(
            client
                .call("Delete",
                      {{"UserID", "alice"}, {"SelectPath", "Keep\\gone.txt"}, {"IsPurge", "false"}})
                .status,
            200);
        const Reply first =
            client.post(envelope("AddFile", {{"UserID", "alice"},
                                             {"SelectPath", "Keep"},
                                             {"AddFileName", "later.txt"},
                                             {"UpdateTime", "2026/11/30 08:15:00"},
                                             {"Comment", ""},
                                             {"FileID", ""},
                                             {"#raw", "<Data><string>YWJj</string></Data>"},
                                             {"bLast", "false"}}),
                        soapAction("AddFile"));
        ASSERT_EQ(first.status, 200);
        pendingFileId = value(first.body, "AddFileResponse/AddFileResult").value_or("");
        client.disconnect();
        ASSERT_EQ(server.stop(), 0);
    }
    ServerProcess server;
    ASSERT_TRUE(server.start(data.path()));
    SoapClient client(server.port());
    // No new logon: the ID is still known.
    const auto folders =
        rows(client.call("GetFolderList", {{"UserID", "alice"}, {"ParentPath", ""}}).body,
             "GetFolderListResponse/GetFolderListResult");
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders[0].at("IsPrivate"), "true");
    const auto files =
        rows(client.call("GetFileList", {{"UserID", "alice"}, {"ParentPath", "Keep"}}).body,
             "GetFileListResponse/GetFileListResult");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].at("CheckoutPath"), "/w/k.bin");
    EXPECT_EQ(client.getFile("alice", "Keep\\k.bin"), content);
    EXPECT_EQ(
        rows(client.call("GetDeletedList", {{"UserID", "alice"}, {"SelectPath", "Keep"}}).body,
             "GetDeletedListResponse/GetDeletedListResult")
            .size(),
        1u);
    const Reply last =
        client.post(envelope("AddFile", {{"UserID", "alice"},
                                         {"SelectPath", "Keep"},
                                         {"AddFileName", "later.txt"},
                                         {"UpdateTime", "2026/11/30 08:15:00"},
                                         {"Comment", ""},
                                         {"FileID", pendingFileId},
                                         {"#raw", "<Data><string>ZGVm</string></Data>"},
                                         {"bLast", "true"}}),
                    soapAction("AddFile"));
    EXPECT_EQ(last.status, 200) << faultString(last.body);
    EXPECT_EQ(client.getFile("alice", "Keep\\later.txt"), "abcdef");
}

TEST(Lifecycle, SeedDemoFillsAnEmptyFolderWithSomethingForEveryView)
{
    TempDir data;
    ServerProcess server;
    ASSERT_TRUE(server.start(data.path(), {"--seed-demo"}));
    SoapClient client(server.port());
    ASSERT_EQ(client.logon("visitor"), "visitor");
    const auto count = client.call(
        "GetItemCount", {{"UserID", "visitor"}, {"FilePath", ""}, {"IsSubFolder", "true"}});
    EXPECT_GE(std::stoi(value(count.body, "GetItemCountResponse/GetItemCountResult").value_or("0")),
              8);
    const auto website = rows(
        client.call("GetFileList", {{"UserID", "visitor"}, {"ParentPath", "Projects\\Website"}})
            .body,
        "GetFileListResponse/GetFileListResult");
    bool heldByOther = false;
    for (const auto &row : website)
        heldByOther = heldByOther || !row.at("CheckoutUserID").empty();
    EXPECT_TRUE(heldByOther);
    EXPECT_FALSE(
        rows(
            client.call("GetDeletedList", {{"UserID", "visitor"}, {"SelectPath", "Projects"}}).body,
            "GetDeletedListResponse/GetDeletedListResult")
            .empty());
    EXPECT_GE(rows(client
                       .call("GetHistoryList", {{"UserID", "visitor"},
                                                {"FilePath", "Projects\\Website\\index.html"},
                                                {"IsSubFolder", "false"}})
                       .body,
                   "GetHistoryListResponse/GetHistoryListResult")
                  .size(),
              3u);
    client.disconnect();
    EXPECT_EQ(server.stop(), 0);
    // A second start with --seed-demo leaves the data as it is.
    ServerProcess again;
    ASSERT_TRUE(again.start(data.path(), {"--seed-demo"}));
    SoapClient second(again.port());
    const auto after = second.call(
        "GetItemCount", {{"UserID", "visitor"}, {"FilePath", ""}, {"IsSubFolder", "true"}});
    EXPECT_EQ(value(after.body, "GetItemCountResponse/GetItemCountResult"),
              value(count.body, "GetItemCountResponse/GetItemCountResult"));
}

TEST(Authentication, EveryRequestNeedsValidBasicCredentials)
{
    TempDir data;
    ServerProcess server;
    ASSERT_TRUE(server.start(data.path(), {"--user", "alice:s3cret", "--user", "bob:pw"}));
    SoapClient anonymous(server.port());
    const Reply refused = anonymous.call(
        "Logon", {{"UserID", ""}, {"PC", "pc"}, {"LogonUserID", "x"}, {"IPAddress", "0.0.0.0"}});
    EXPECT_EQ(refused.status, 401);
    EXPECT_EQ(refused.headers.at("WWW-Authenticate"), "Basic realm=\"Ravelind\"");
    SoapClient wrong(server.port(), ClientOptions{false, "", "alice", "guess"});
    EXPECT_EQ(
        wrong
            .call("Logon",
                  {{"UserID", ""}, {"PC", "pc"}, {"LogonUserID", "x"}, {"IPAddress", "0.0.0.0"}})
            .status,
        401);

    SoapClient alice(server.port(), ClientOptions{false, "", "alice", "s3cret"});
    // The service ID is the HTTP user name, whatever the operating-system user is called.
    EXPECT_EQ(alice.logon("localuser"), "alice");
    EXPECT_EQ(alice.call("GetFolderList", {{"UserID", "alice"}, {"ParentPath", ""}}).status, 200);
    SoapClient bob(server.port(), ClientOptions{false, "", "bob", "pw"});
    const Reply impostor = bob.call("GetFolderList", {{"UserID", "alice"}, {"ParentPath", ""}});
    EXPECT_EQ(impostor.status, 500);
    EXPECT_NE(faultString(impostor.body).find("belongs to another user"), std::string::npos);
}

TEST(Tls, ServesOverHttpsWithAVerifiedCertificate)
{
    TempDir data;
    if (!makeCertificates(data.path()))
        GTEST_SKIP() << "openssl is not available";
    ServerProcess server;
    ASSERT_TRUE(
        server.start(data.path() / "store", {"--tls-cert", (data.path() / "server.pem").string(),
                                             "--tls-key", (data.path() / "server.key").string()}));
    SoapClient client(server.port(),
                      ClientOptions{true, (data.path() / "ca.pem").string(), "", ""});
    EXPECT_EQ(client.logon("alice"), "alice");
    EXPECT_EQ(client.addFile("alice", "", "t.txt", "over tls").status, 200);
    EXPECT_EQ(client.getFile("alice", "t.txt"), "over tls");
    SoapClient plain(server.port());
    EXPECT_NE(plain.call("GetFolderList", {{"UserID", "alice"}, {"ParentPath", ""}}).status, 200);
}

TEST(Tls, RefusesToStartWithAnUnusableCertificate)
{
    TempDir data;
    ServerProcess server;
    EXPECT_FALSE(
        server.start(data.path() / "store", {"--tls-cert", (data.path() / "missing.pem").string(),
                                             "--tls-key", (data.path() / "missing.key").string()}));
    EXPECT_EQ(server.stop(), 1);
}

} // namespace
