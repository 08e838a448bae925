#include <cliarguments.h>
#include <cliconnection.h>
#include <clisession.h>

#include <gtest/gtest.h>

#include <cctype>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string testName(std::string name)
{
    for (char &c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

std::vector<std::string> words(const std::string &line)
{
    std::vector<std::string> out;
    std::istringstream in(line);
    for (std::string word; in >> word;)
        out.push_back(word == "''" ? std::string() : word);
    return out;
}

// A row: the command line (split at blanks; '' stands for an empty argument) and either the
// error expected or a check of the invocation.
struct ParseRow
{
    const char *name;
    std::string line;
    std::string error; // empty: the line is valid
    std::function<void(const cli::Invocation &)> check = {};
};

void PrintTo(const ParseRow &row, std::ostream *os)
{
    *os << row.name << ": " << row.line;
}

class ParseArguments : public ::testing::TestWithParam<ParseRow>
{
};

TEST_P(ParseArguments, AcceptsTheInterfaceAndNothingElse)
{
    const ParseRow &row = GetParam();
    const std::vector<std::string> args = words(row.line);
    const cli::ParseOutcome outcome = cli::parseArguments(args);
    if (!row.error.empty()) {
        EXPECT_FALSE(outcome.invocation) << "accepted";
        EXPECT_EQ(outcome.error, row.error);
        return;
    }
    ASSERT_TRUE(outcome.invocation) << outcome.error;
    if (row.check)
        row.check(*outcome.invocation);
}

using cli::Command;
using cli::Invocation;
const std::string S = "--server http://h/S.asmx ";

INSTANTIATE_TEST_SUITE_P(
    Globals, ParseArguments,
    ::testing::Values(
        ParseRow{"profile", "--profile Work logon", "",
                 [](const Invocation &in) {
                     EXPECT_EQ(in.global.profile, "Work");
                     EXPECT_EQ(in.command, Command::Logon);
                 }},
        ParseRow{"every global option", S + "--user-id u1 --http-user web --timeout 30 logon", "",
                 [](const Invocation &in) {
                     EXPECT_EQ(in.global.server, "http://h/S.asmx");
                     EXPECT_EQ(in.global.userId, "u1");
                     EXPECT_EQ(in.global.httpUser, "web");
                     EXPECT_EQ(in.global.timeoutSeconds, 30);
                 }},
        ParseRow{"equals form", "--profile=Work --timeout=5 logon", "",
                 [](const Invocation &in) {
                     EXPECT_EQ(in.global.profile, "Work");
                     EXPECT_EQ(in.global.timeoutSeconds, 5);
                 }},
        ParseRow{"help needs nothing else", "--help", "",
                 [](const Invocation &in) {
                     EXPECT_TRUE(in.help);
                 }},
        ParseRow{"help after a command", "get --help", "",
                 [](const Invocation &in) {
                     EXPECT_TRUE(in.help);
                 }},
        ParseRow{"no server", "logon", "give --profile NAME or --server URL"},
        ParseRow{"both servers", "--profile P " + S + "logon",
                 "give --profile or --server, not both"},
        ParseRow{"no command", S, "no command given"},
        ParseRow{"unknown command", S + "frobnicate", "unknown command frobnicate"},
        ParseRow{"unknown global option", "--verbose " + S + "logon", "unknown option --verbose"},
        ParseRow{"password is never an option", S + "--password x logon",
                 "unknown option --password"},
        ParseRow{"global option after the command", S + "logon --user-id u",
                 "logon does not take --user-id"},
        ParseRow{"option without value", "--profile", "--profile needs a value"},
        ParseRow{"empty value", "--profile '' logon", "--profile needs a value"},
        ParseRow{"timeout not a number", S + "--timeout soon logon",
                 "--timeout needs a number of seconds from 1 to 86400"},
        ParseRow{"timeout zero", S + "--timeout 0 logon",
                 "--timeout needs a number of seconds from 1 to 86400"},
        ParseRow{"timeout beyond a day", S + "--timeout 86401 logon",
                 "--timeout needs a number of seconds from 1 to 86400"}),
    [](const ::testing::TestParamInfo<ParseRow> &row) { return testName(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Commands, ParseArguments,
    ::testing::Values(
        ParseRow{"ls recursive tsv", S + "ls -r --tsv docs", "",
                 [](const Invocation &in) {
                     EXPECT_EQ(in.command, Command::Ls);
                     EXPECT_TRUE(in.options.recursive);
                     EXPECT_TRUE(in.options.tsv);
                     EXPECT_EQ(in.operands, std::vector<std::string>{"docs"});
                 }},
        ParseRow{"ls needs a folder", S + "ls", "ls needs more arguments"},
        ParseRow{"ls takes one folder", S + "ls a b", "ls takes fewer arguments"},
        ParseRow{"get files", S + "get --writable -C out a/x.txt a\\y.txt", "",
                 [](const Invocation &in) {
                     EXPECT_EQ(in.command, Command::Get);
                     EXPECT_TRUE(in.options.writable);
                     EXPECT_EQ(in.options.localDir, "out");
                     EXPECT_EQ(in.operands.size(), 2u);
                 }},
        ParseRow{"options after operands", S + "get a -r -C out", "",
                 [](const Invocation &in) {
                     EXPECT_TRUE(in.options.recursive);
                     EXPECT_EQ(in.options.localDir, "out");
                     EXPECT_EQ(in.operands, std::vector<std::string>{"a"});
                 }},
        ParseRow{"double dash ends options", S + "rm -- -odd", "",
                 [](const Invocation &in) {
                     EXPECT_EQ(in.operands, std::vector<std::string>{"-odd"});
                 }},
        ParseRow{"get needs -C", S + "get a", "get needs -C LOCALDIR"},
        ParseRow{"get version", S + "get --version 3 -o f.txt a/f.txt", "",
                 [](const Invocation &in) {
                     EXPECT_EQ(in.options.version, 3);
                     EXPECT_EQ(in.options.outputFile, "f.txt");
                 }},
        ParseRow{"get version needs -o", S + "get --version 3 a",
                 "get --version needs -o LOCALFILE"},
        ParseRow{"get version with -C", S + "get --version 3 -o f -C d a",
                 "get --version takes -o LOCALFILE, not -C or -r"},
        ParseRow{"get version of two paths", S + "get --version 3 -o f a b",
                 "get --version fetches exactly one PATH"},
        ParseRow{"get version zero", S + "get --version 0 -o f a",
                 "--version needs a version number from 1 up"},
        ParseRow{"-o without version", S + "get -C d -o f a", "-o goes with get --version"},
        ParseRow{"checkout has no writable", S + "checkout --writable -C d a",
                 "checkout does not take --writable"},
        ParseRow{"undo delete-local", S + "undo -r --delete-local -C d a", "",
                 [](const Invocation &in) {
                     EXPECT_TRUE(in.options.deleteLocal);
                     EXPECT_TRUE(in.options.recursive);
                 }},
        ParseRow{"checkin needs a comment", S + "checkin -C d a", "checkin needs -m COMMENT"},
        ParseRow{"checkin empty comment", S + "checkin -m '' -C d a", "",
                 [](const Invocation &in) {
                     EXPECT_EQ(in.options.comment, "");
                 }},
        ParseRow{"add", S + "add --delete-local -m c docs ./x ./y", "",
                 [](const Invocation &in) {
                     EXPECT_EQ(in.command, Command::Add);
                     EXPECT_EQ(in.operands.size(), 3u);
                 }},
        ParseRow{"add needs a local path", S + "add -m c docs", "add needs more arguments"},
        ParseRow{"add takes no -C", S + "add -C d -m c docs x", "add does not take -C"},
        ParseRow{"mv", S + "mv a b c", "",
                 [](const Invocation &in) {
                     EXPECT_EQ(in.command, Command::Mv);
                 }},
        ParseRow{"mv needs a target", S + "mv a", "mv needs more arguments"},
        ParseRow{"mkdir private with comment", S + "mkdir --private -m why a/b", "",
                 [](const Invocation &in) {
                     EXPECT_TRUE(in.options.isPrivate);
                     EXPECT_EQ(in.options.comment, "why");
                 }},
        ParseRow{"rm purge", S + "rm --purge a b", "",
                 [](const Invocation &in) {
                     EXPECT_TRUE(in.options.purge);
                 }},
        ParseRow{"rename needs two", S + "rename a", "rename needs more arguments"},
        ParseRow{"rollback version", S + "rollback a/f 2", "",
                 [](const Invocation &in) {
                     EXPECT_EQ(in.command, Command::Rollback);
                 }},
        ParseRow{"rollback version not a number", S + "rollback a/f two",
                 "rollback: VERSION must be a version number from 1 up"},
        ParseRow{"rollback version zero", S + "rollback a/f 0",
                 "rollback: VERSION must be a version number from 1 up"},
        ParseRow{"comment of a folder is version 0", S + "comment a 0 text", ""},
        ParseRow{"comment version negative", S + "comment a -1 text", "comment does not take -1"},
        ParseRow{"history recursive", S + "history -r a", "",
                 [](const Invocation &in) {
                     EXPECT_TRUE(in.options.recursive);
                 }},
        ParseRow{"diff takes two", S + "diff a", "diff needs more arguments"},
        ParseRow{"checkouts", S + "checkouts -r /", "",
                 [](const Invocation &in) {
                     EXPECT_EQ(in.command, Command::Checkouts);
                 }},
        ParseRow{"deleted takes no -r", S + "deleted -r a", "deleted does not take -r"},
        ParseRow{"logon takes nothing", S + "logon extra", "logon takes fewer arguments"}),
    [](const ::testing::TestParamInfo<ParseRow> &row) { return testName(row.param.name); });

struct PathRow
{
    const char *text;
    std::optional<std::string> wire;
};

class ServerPath : public ::testing::TestWithParam<PathRow>
{
};

TEST_P(ServerPath, EitherSeparatorFromTheRoot)
{
    EXPECT_EQ(cli::serverPath(GetParam().text), GetParam().wire) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ServerPath,
    ::testing::Values(PathRow{"docs/a.txt", "docs\\a.txt"}, PathRow{"docs\\a.txt", "docs\\a.txt"},
                      PathRow{"/docs//sub/", "docs\\sub"}, PathRow{"\\", ""}, PathRow{"", ""},
                      PathRow{"a b/c d", "a b\\c d"}, PathRow{"docs/../etc", std::nullopt},
                      PathRow{"./docs", std::nullopt}, PathRow{"docs/\x01", std::nullopt}));

TEST(SplitVersion, OnlyAPositiveNumberIsAVersion)
{
    EXPECT_EQ(cli::splitVersion("a/f.txt:3"), (cli::VersionedPath{"a/f.txt", 3}));
    EXPECT_EQ(cli::splitVersion("a/f.txt"), (cli::VersionedPath{"a/f.txt", -1}));
    EXPECT_EQ(cli::splitVersion("a/b:c.txt"), (cli::VersionedPath{"a/b:c.txt", -1}));
    EXPECT_EQ(cli::splitVersion("a/f:0"), (cli::VersionedPath{"a/f:0", -1}));
    EXPECT_EQ(cli::splitVersion(":3"), (cli::VersionedPath{":3", -1}));
}

struct UrlRow
{
    const char *url;
    std::optional<cli::ServerUrl> expected;
};

class ParseServerUrl : public ::testing::TestWithParam<UrlRow>
{
};

TEST_P(ParseServerUrl, SchemeHostPortAndObjectPath)
{
    std::string error;
    EXPECT_EQ(cli::parseServerUrl(GetParam().url, error), GetParam().expected) << error;
    if (!GetParam().expected) {
        EXPECT_FALSE(error.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ParseServerUrl,
    ::testing::Values(
        UrlRow{"http://host/Service.asmx", cli::ServerUrl{false, "host", 80, "/Service.asmx"}},
        UrlRow{"https://host/a/b.asmx", cli::ServerUrl{true, "host", 443, "/a/b.asmx"}},
        UrlRow{"http://127.0.0.1:8080/S", cli::ServerUrl{false, "127.0.0.1", 8080, "/S"}},
        UrlRow{"https://[::1]:8443/S", cli::ServerUrl{true, "::1", 8443, "/S"}},
        UrlRow{"ftp://host/S", std::nullopt}, UrlRow{"host/S", std::nullopt},
        UrlRow{"http://host", std::nullopt}, UrlRow{"http://host/", std::nullopt},
        UrlRow{"http://:80/S", std::nullopt}, UrlRow{"http://host:0/S", std::nullopt},
        UrlRow{"http://host:65536/S", std::nullopt}, UrlRow{"http://host:/S", std::nullopt},
        UrlRow{"http://user:pw@host/S", std::nullopt}, UrlRow{"http://host/S?x=1", std::nullopt},
        UrlRow{"http://[::1/S", std::nullopt}));

struct IdentityRow
{
    const char *name;
    cli::GlobalOptions global;
    protocol::ServerProfile stored;
    std::string userId, userName, password;
    std::uint32_t timeout;
};

void PrintTo(const IdentityRow &row, std::ostream *os)
{
    *os << row.name;
}

class ApplyIdentity : public ::testing::TestWithParam<IdentityRow>
{
};

TEST_P(ApplyIdentity, UserIdDefaultsAsANewProfileDoes)
{
    const IdentityRow &row = GetParam();
    protocol::ServerProfile profile = row.stored;
    cli::applyIdentity(row.global, "logon-user", profile);
    EXPECT_EQ(profile.userId, row.userId);
    EXPECT_EQ(profile.userName, row.userName);
    EXPECT_EQ(profile.password, row.password);
    EXPECT_EQ(profile.timeout, row.timeout);
}

cli::GlobalOptions globals(std::string userId, std::string httpUser,
                           std::optional<int> timeout = std::nullopt)
{
    cli::GlobalOptions g;
    g.userId = std::move(userId);
    g.httpUser = std::move(httpUser);
    g.timeoutSeconds = timeout;
    return g;
}

protocol::ServerProfile stored(std::string userId, std::string userName, std::string password)
{
    protocol::ServerProfile p;
    p.userId = std::move(userId);
    p.userName = std::move(userName);
    p.password = std::move(password);
    p.timeout = 60;
    return p;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ApplyIdentity,
    ::testing::Values(
        IdentityRow{"nothing given: logon user", {}, stored("", "", ""), "logon-user", "", "", 60},
        IdentityRow{"HTTP user", globals("", "web"), stored("", "", ""), "web", "web", "", 60},
        IdentityRow{"explicit ID wins", globals("id7", "web"), stored("", "", ""), "id7", "web", "",
                    60},
        IdentityRow{
            "profile's own ID", {}, stored("stored", "web", "pw"), "stored", "web", "pw", 60},
        IdentityRow{"other HTTP user drops the stored password", globals("", "other"),
                    stored("stored", "web", "pw"), "stored", "other", "", 60},
        IdentityRow{"same HTTP user keeps it", globals("", "web"), stored("", "web", "pw"), "web",
                    "web", "pw", 60},
        IdentityRow{"timeout", globals("", "", 5), stored("", "", ""), "logon-user", "", "", 5}),
    [](const ::testing::TestParamInfo<IdentityRow> &row) { return testName(row.param.name); });

TEST(PasswordFrom, EnvironmentThenStoredThenAsk)
{
    EXPECT_EQ(cli::passwordFrom("env", stored("", "web", "pw")), "env");
    EXPECT_EQ(cli::passwordFrom("", stored("", "web", "pw")), "") << "an empty variable counts";
    EXPECT_EQ(cli::passwordFrom(nullptr, stored("", "web", "pw")), "pw");
    EXPECT_EQ(cli::passwordFrom(nullptr, stored("", "web", "")), std::nullopt);
    EXPECT_EQ(cli::passwordFrom(nullptr, stored("", "", "")), "") << "no user: nothing to ask";
}

TEST(ConsoleText, OneLineAndProgressFigures)
{
    EXPECT_EQ(cli::oneLine("a\r\nb\nc\rd"), "a  b  c  d");
    EXPECT_EQ(cli::formatRate(950), "950 B/s");
    EXPECT_EQ(cli::formatRate(1500), "1.5 KB/s");
    EXPECT_EQ(cli::formatRate(86.7e6), "87 MB/s");
    EXPECT_EQ(cli::formatDuration(7), "0:07");
    EXPECT_EQ(cli::formatDuration(3723), "1:02:03");
    EXPECT_EQ(cli::formatDuration(-3), "0:00");
}

TEST(IsUnreachable, OnlyTheInternetRange)
{
    EXPECT_TRUE(cli::isUnreachable(platform::fromWin32(platform::err::InternetCannotConnect)));
    EXPECT_TRUE(cli::isUnreachable(platform::fromWin32(platform::err::InternetNameNotResolved)));
    EXPECT_FALSE(cli::isUnreachable(platform::fromWin32(platform::err::AccessDenied)));
    EXPECT_FALSE(cli::isUnreachable(platform::fromHttpStatus(401)));
    EXPECT_FALSE(cli::isUnreachable(platform::kCancelled));
    EXPECT_FALSE(cli::isUnreachable(0));
}

} // namespace
