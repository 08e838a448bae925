// Refusals of the service reach the caller as failures with the service's own words, never as
// a success: unknown users, a lock held by someone else, and HTTP authentication.

#include "servicefixture.h"

#include <gtest/gtest.h>

namespace integration {
namespace {

using protocol::CallResult;
using protocol::FolderItem;
using protocol::ServiceClient;

void expectRefused(const CallResult &r, const std::string &words)
{
    EXPECT_FALSE(r.succeeded());
    // A refusal is an answer, not a local or transport failure.
    EXPECT_GE(r.code, 0);
    EXPECT_EQ(r.httpStatus, 500);
    EXPECT_NE(r.errorText.find(words), std::string::npos)
        << "error text: " << r.errorText << "\nexpected to contain: " << words;
}

using RefusalTest = ServiceTest;

TEST_F(RefusalTest, UnknownUserIsToldToLogOnFirst)
{
    ServiceClient c = client();
    std::vector<FolderItem> list;
    expectRefused(c.getFolderList("nobody", "", list), "Unknown user ID \"nobody\": log on first.");
    EXPECT_TRUE(list.empty());
    expectRefused(c.createFolder("nobody", "", "Docs", "", false), "log on first");

    // After the logon the same ID is served.
    std::optional<std::string> id;
    ASSERT_TRUE(c.logon("nobody", "pc", "nobody", "127.0.0.1", id).succeeded());
    EXPECT_TRUE(c.getFolderList("nobody", "", list).succeeded());
}

TEST_F(RefusalTest, FileHeldByAnotherUserIsRefusedNamingTheHolder)
{
    ServiceClient alice = client();
    ServiceClient bob = client();
    const std::string aliceId = registerUser(alice, "alice");
    const std::string bobId = registerUser(bob, "bob");
    ASSERT_FALSE(aliceId.empty());
    ASSERT_FALSE(bobId.empty());
    ASSERT_NE(aliceId, bobId);
    ASSERT_TRUE(alice.createFolder(aliceId, "", "Docs", "", false).succeeded());
    const auto work = local("plan.txt");
    writeFileBytes(work, "alice's plan\n");
    ASSERT_TRUE(alice.addFile(aliceId, "Docs", "plan.txt", work, "").succeeded());
    ASSERT_TRUE(alice.checkOut(aliceId, "Docs\\plan.txt", work.string()).succeeded());

    const std::string heldBy = "checked out by \"alice\"";
    expectRefused(bob.checkOut(bobId, "Docs\\plan.txt", "/tmp/bob/plan.txt"), heldBy);
    expectRefused(bob.checkoutCancel(bobId, "Docs\\plan.txt"), heldBy);
    const auto bobs = local("bobs.txt");
    writeFileBytes(bobs, "bob's version\n");
    expectRefused(bob.checkin(bobId, "Docs\\plan.txt", "", bobs), heldBy);

    // Nothing of bob's reached the file: alice still holds one version of her own.
    std::vector<protocol::HistoryItem> versions;
    ASSERT_TRUE(alice.getHistoryList(aliceId, "Docs\\plan.txt", false, versions).succeeded());
    EXPECT_EQ(versions.size(), 1u);
    std::vector<protocol::FileItem> files;
    ASSERT_TRUE(bob.getFileList(bobId, "Docs", files).succeeded());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].checkoutUserId, aliceId);

    // Once alice's ID is removed from the service, her lock goes with it and her ID must log
    // on again.
    ASSERT_TRUE(alice.serverDelete(aliceId).succeeded());
    expectRefused(alice.getFileList(aliceId, "Docs", files), "log on first");
    const CallResult taken = bob.checkOut(bobId, "Docs\\plan.txt", "/tmp/bob/plan.txt");
    EXPECT_TRUE(taken.succeeded()) << taken.message();
}

struct Credentials
{
    const char *name;
    const char *user;
    const char *password;
    bool accepted;
};

class AuthenticationTest : public ServiceTest, public ::testing::WithParamInterface<Credentials>
{
protected:
    void SetUp() override { startService({"--user", "carol:s3cret"}); }
};

TEST_P(AuthenticationTest, OnlyTheRightCredentialsAreServed)
{
    const Credentials &creds = GetParam();
    ServiceClient c = client(creds.user, creds.password);
    std::optional<std::string> id;
    const CallResult logon = c.logon("", "pc", "someone", "127.0.0.1", id);
    std::vector<FolderItem> list;
    const CallResult listed = c.getFolderList("carol", "", list);
    if (creds.accepted) {
        ASSERT_TRUE(logon.succeeded()) << logon.message();
        // Without an ID of its own the user is the HTTP user.
        EXPECT_EQ(id.value_or(""), "carol");
        EXPECT_TRUE(listed.succeeded()) << listed.message();
    } else {
        for (const CallResult &r : {logon, listed}) {
            EXPECT_FALSE(r.succeeded());
            EXPECT_EQ(r.httpStatus, 401);
            EXPECT_FALSE(r.errorText.empty());
        }
        EXPECT_FALSE(id.has_value());
    }
}

INSTANTIATE_TEST_SUITE_P(Profiles, AuthenticationTest,
                         ::testing::Values(Credentials{"Right", "carol", "s3cret", true},
                                           Credentials{"WrongPassword", "carol", "secret", false},
                                           Credentials{"UnknownUser", "mallory", "s3cret", false},
                                           Credentials{"None", "", "", false}),
                         [](const ::testing::TestParamInfo<Credentials> &row) {
                             return std::string(row.param.name);
                         });

} // namespace
} // namespace integration
