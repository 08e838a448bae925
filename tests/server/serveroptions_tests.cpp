#include "serveroptions.h"
#include "servertestsupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <sys/stat.h>

using namespace servertest;

namespace {

struct UsersRow
{
    const char *name;
    std::string fileText; // written to users.txt when not empty
    mode_t fileMode;
    std::vector<std::string> arguments; // "FILE" stands for the users file's path
    const char *environment;
    std::map<std::string, std::string> expectedUsers;
    std::string expectedError; // a part of it; empty when the line must be accepted
};

void PrintTo(const UsersRow &row, std::ostream *os)
{
    *os << row.name;
}

class UserOptions : public testing::TestWithParam<UsersRow>
{
};

TEST_P(UserOptions, TakeCredentialsOnlyFromPrivatePlacesAndNeverAnEmptyPassword)
{
    const UsersRow &row = GetParam();
    TempDir dir;
    const std::filesystem::path file = dir.path() / "users.txt";
    if (!row.fileText.empty()) {
        std::ofstream(file) << row.fileText;
        ::chmod(file.c_str(), row.fileMode);
    }
    std::vector<std::string> arguments{"--data", dir.path().string()};
    for (const std::string &argument : row.arguments)
        arguments.push_back(argument == "FILE" ? file.string() : argument);
    server::ServerOptions options;
    std::string error;
    const bool parsed = options.parse(arguments, error, row.environment);
    if (row.expectedError.empty()) {
        EXPECT_TRUE(parsed) << error;
        EXPECT_EQ(options.users, row.expectedUsers);
    } else {
        EXPECT_FALSE(parsed);
        EXPECT_NE(error.find(row.expectedError), std::string::npos) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Options, UserOptions,
    testing::Values(
        UsersRow{"UsersFile",
                 "# team\nalice:s3cret\n\nbob:pw:with:colons\r\n",
                 0600,
                 {"--users-file", "FILE"},
                 nullptr,
                 {{"alice", "s3cret"}, {"bob", "pw:with:colons"}},
                 ""},
        UsersRow{"UsersFileReadableByOthers",
                 "alice:s3cret\n",
                 0644,
                 {"--users-file", "FILE"},
                 nullptr,
                 {},
                 "chmod 600"},
        UsersRow{"UsersFileWritableByGroup",
                 "alice:s3cret\n",
                 0620,
                 {"--users-file", "FILE"},
                 nullptr,
                 {},
                 "chmod 600"},
        UsersRow{"UsersFileMissing",
                 "",
                 0600,
                 {"--users-file", "FILE"},
                 nullptr,
                 {},
                 "cannot read the users file"},
        UsersRow{"UsersFileEmptyPassword",
                 "alice:s3cret\nbob:\n",
                 0600,
                 {"--users-file", "FILE"},
                 nullptr,
                 {},
                 "line 2: the password of bob is empty"},
        UsersRow{"UsersFileNoColon",
                 "alice\n",
                 0600,
                 {"--users-file", "FILE"},
                 nullptr,
                 {},
                 "line 1 needs NAME:PASSWORD"},
        UsersRow{"Environment",
                 "",
                 0,
                 {},
                 "carol:pw1\ndave:pw2",
                 {{"carol", "pw1"}, {"dave", "pw2"}},
                 ""},
        UsersRow{"EnvironmentEmptyPassword", "", 0, {}, "carol:", {}, "password of carol is empty"},
        UsersRow{"CommandLine", "", 0, {"--user", "erin:x"}, nullptr, {{"erin", "x"}}, ""},
        UsersRow{"CommandLineEmptyPassword",
                 "",
                 0,
                 {"--user", "erin:"},
                 nullptr,
                 {},
                 "password of erin is empty"}),
    [](const auto &rowInfo) { return std::string(rowInfo.param.name); });

TEST(UserOptions, AServiceStartedWithAUsersFileAuthenticatesItsUsers)
{
    TempDir dir;
    const std::filesystem::path file = dir.path() / "users.txt";
    std::ofstream(file) << "alice:s3cret\n";
    ::chmod(file.c_str(), 0600);
    ServerProcess server;
    ASSERT_TRUE(server.start(dir.path() / "data", {"--users-file", file.string()}));
    SoapClient anonymous(server.port());
    EXPECT_EQ(anonymous.call("GetFolderList", {{"UserID", "alice"}, {"ParentPath", ""}}).status,
              401);
    ClientOptions options;
    options.user = "alice";
    options.password = "s3cret";
    SoapClient alice(server.port(), options);
    EXPECT_EQ(alice.logon("someone"), "alice");
}

} // namespace
