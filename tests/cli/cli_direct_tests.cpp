// ravelind-cli against the reference service: getting content, the direct operations, the
// listings and the exit status.

#include "clifixture.h"

#include <config/profilestore.h>
#include <platform/registry.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace clitest {
namespace {

namespace fs = std::filesystem;

// A repository made through the wire directly, so these tests need nothing of the client
// but the commands under test.
class SeededTest : public CliTest
{
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        logon();
        servertest::SoapClient soap(m_server.port());
        const auto folder = [&](const std::string &parent, const std::string &name) {
            const servertest::Reply r = soap.call("CreateFolder", {{"UserID", "alice"},
                                                                   {"ParentPath", parent},
                                                                   {"FolderName", name},
                                                                   {"Comment", "made"},
                                                                   {"IsPrivate", "false"}});
            ASSERT_EQ(r.status, 200) << r.body;
        };
        const auto file = [&](const std::string &folderPath, const std::string &name,
                              const std::string &content) {
            const servertest::Reply r = soap.addFile("alice", folderPath, name, content);
            ASSERT_EQ(r.status, 200) << r.body;
            m_content[folderPath.empty() ? name : folderPath + "\\" + name] = content;
        };
        folder("", "proj");
        folder("proj", "sub");
        folder("proj\\sub", "deeper");
        folder("proj", "empty");
        file("proj", "readme.txt", "line one\nline two\n");
        file("proj", "data.bin", servertest::randomBytes(300000, 7));
        file("proj\\sub", "notes.txt", "a\nb\nc\n");
        file("proj\\sub\\deeper", "deep.txt", "");
        // A second version of readme.txt: a check-in needs the check-out first.
        ASSERT_EQ(soap.call("CheckOut", {{"UserID", "alice"},
                                         {"ServerFilePath", "proj\\readme.txt"},
                                         {"LocalFilePath", "/x/readme.txt"}})
                      .status,
                  200);
        ASSERT_EQ(
            soap.checkin("alice", "proj\\readme.txt", "line one\nline 2\nline three\n", "second")
                .status,
            200);
        m_content["proj\\readme.txt"] = "line one\nline 2\nline three\n";
    }

    std::map<std::string, std::string> m_content; // server path -> latest content
};

TEST_F(SeededTest, GetOfATreeIsByteIdenticalAndReadOnly)
{
    const CliResult r = cli({"get", "-r", "-C", localText("got"), "proj"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    for (const auto &[serverPath, content] : m_content) {
        std::string relative = serverPath.substr(5); // below "proj\"
        std::replace(relative.begin(), relative.end(), '\\', '/');
        const fs::path file = local("got") / relative;
        EXPECT_EQ(readFile(file), content) << file;
        EXPECT_FALSE(isWritable(file)) << file;
        EXPECT_NE(std::find(r.lines().begin(), r.lines().end(), file.string() + " was fetched."),
                  r.lines().end())
            << r.out;
    }
    EXPECT_TRUE(fs::is_directory(local("got/empty"))) << "a folder without files is made too";
    EXPECT_EQ(r.lines().size(), m_content.size()) << "one line per file: " << r.out;
    EXPECT_TRUE(r.err.empty()) << "no progress without a terminal: " << r.err;
}

TEST_F(SeededTest, GetWithoutRecursionTakesOnlyThatFolder)
{
    const CliResult r = cli({"get", "-C", localText("top"), "proj"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.lines().size(), 2u) << r.out;
    EXPECT_FALSE(fs::exists(local("top/sub/notes.txt")));
}

TEST_F(SeededTest, GetOfNamedFilesInTwoFoldersWritable)
{
    const CliResult r = cli(
        {"get", "--writable", "-C", localText("some"), "proj/readme.txt", "PROJ\\SUB\\notes.txt"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(readFile(local("some/readme.txt")), m_content["proj\\readme.txt"]);
    EXPECT_EQ(readFile(local("some/notes.txt")), m_content["proj\\sub\\notes.txt"]);
    EXPECT_TRUE(isWritable(local("some/notes.txt")));
}

TEST_F(SeededTest, GetOfAMissingPathFailsWithoutStoppingTheOthers)
{
    const CliResult r =
        cli({"get", "-C", localText("part"), "proj/nothing.txt", "proj/readme.txt"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(r.lines().front(), "proj\\nothing.txt is neither a file nor a folder on the server.");
    EXPECT_EQ(readFile(local("part/readme.txt")), m_content["proj\\readme.txt"]);
}

TEST_F(SeededTest, GetVersionAndDiffBetweenVersionsAndALocalFile)
{
    CliResult r = cli({"get", "--version", "1", "-o", localText("v1/old.txt"), "proj/readme.txt"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(readFile(local("v1/old.txt")), "line one\nline two\n");
    EXPECT_EQ(r.lines(), std::vector<std::string>{localText("v1/old.txt") + " was fetched."});

    r = cli({"diff", "proj/readme.txt:1", "proj/readme.txt"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "2c2,3\n< line two\n---\n> line 2\n> line three\n");

    writeFile(local("mine.txt"), "line one\nline two\n");
    r = cli({"diff", "proj/readme.txt:1", localText("mine.txt")});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "") << "no difference, nothing printed";

    r = cli({"diff", "proj/readme.txt:9", "proj/readme.txt"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    ASSERT_EQ(r.lines().size(), 1u) << r.out;
}

TEST_F(SeededTest, ListingsTabSeparated)
{
    CliResult r = cli({"ls", "--tsv", "proj"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::vector<std::string> lines = r.lines();
    ASSERT_EQ(lines.size(), 4u) << r.out;
    // Folders first (in the service's order), then files.
    EXPECT_EQ(
        (std::vector<std::string>{std::min(lines[0], lines[1]), std::max(lines[0], lines[1])}),
        (std::vector<std::string>{"empty\\", "sub\\"}));
    // name, size, check-in date, update date, check-out user, check-out path, IP
    const std::string &readme = lines[2].starts_with("readme.txt") ? lines[2] : lines[3];
    EXPECT_EQ(std::count(readme.begin(), readme.end(), '\t'), 6) << readme;
    EXPECT_TRUE(readme.starts_with("readme.txt\t27\t")) << readme;

    r = cli({"ls", "-r", "--tsv", "proj"});
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("sub\\deeper\\deep.txt\t0\t"), std::string::npos) << r.out;

    r = cli({"checkouts", "-r", "/"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "") << "nothing is checked out";
    servertest::SoapClient soap(m_server.port());
    ASSERT_EQ(soap.call("CheckOut", {{"UserID", "alice"},
                                     {"ServerFilePath", "proj\\sub\\notes.txt"},
                                     {"LocalFilePath", "/w/notes.txt"}})
                  .status,
              200);
    r = cli({"checkouts", "-r", "/"});
    ASSERT_EQ(r.lines().size(), 1u) << r.out;
    // path, user (the logon user name the service keeps for alice), since, address, local path
    EXPECT_TRUE(r.lines()[0].starts_with("proj\\sub\\notes.txt\t")) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\t'), 4) << r.out;
    EXPECT_TRUE(r.lines()[0].ends_with("\t/w/notes.txt")) << r.out;
    r = cli({"checkouts", "proj"});
    EXPECT_EQ(r.out, "") << "without -r only the folder's own files";
}

TEST_F(SeededTest, HistoryRollbackAndComment)
{
    CliResult r = cli({"history", "proj/readme.txt"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.lines().size(), 2u) << r.out;

    r = cli({"rollback", "proj/readme.txt", "1"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.lines(),
              std::vector<std::string>{"proj\\readme.txt was rolled back to version 1."});
    r = cli({"get", "-C", localText("rb"), "proj/readme.txt"});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(readFile(local("rb/readme.txt")), "line one\nline two\n");

    r = cli({"comment", "proj/readme.txt", "1", "first words"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    r = cli({"history", "proj/readme.txt"});
    EXPECT_NE(r.out.find("\tfirst words\n"), std::string::npos) << r.out;

    r = cli({"rollback", "proj/readme.txt", "40"});
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(r.out.starts_with("proj\\readme.txt could not be rolled back to version 40: "))
        << r.out;
}

TEST_F(SeededTest, MkdirRenameDeleteAndRecover)
{
    CliResult r = cli({"mkdir", "-m", "why", "proj/new"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.lines(), std::vector<std::string>{"Folder new was created."});
    r = cli({"mkdir", "proj/new"});
    EXPECT_EQ(r.status, 1) << "refused: it exists";
    EXPECT_TRUE(r.out.starts_with("Folder new could not be created: ")) << r.out;

    r = cli({"rename", "proj/new", "renamed"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.lines(), std::vector<std::string>{"proj\\new was renamed to renamed."});

    r = cli({"rm", "proj/renamed", "proj/sub/notes.txt"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.lines(), (std::vector<std::string>{"Folder proj\\renamed was deleted.",
                                                   "File proj\\sub\\notes.txt was deleted."}));
    r = cli({"deleted", "proj"});
    EXPECT_EQ(r.lines(), std::vector<std::string>{"renamed\\"});
    r = cli({"recover", "proj/renamed", "proj/sub/notes.txt"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.lines(), (std::vector<std::string>{"Folder proj\\renamed was recovered.",
                                                   "File proj\\sub\\notes.txt was recovered."}));

    r = cli({"rm", "--purge", "proj/sub/notes.txt"});
    ASSERT_EQ(r.status, 0) << r.out;
    r = cli({"deleted", "proj/sub"});
    EXPECT_EQ(r.out, "") << "a purged file cannot be recovered";
    r = cli({"recover", "proj/sub/notes.txt"});
    EXPECT_EQ(r.status, 1);
}

struct ExitRow
{
    const char *name;
    std::vector<std::string> args; // after --server URL --user-id alice, unless noServer
    int status;
    bool noServer = false;
};

void PrintTo(const ExitRow &row, std::ostream *os)
{
    *os << row.name;
}

class ExitStatus : public SeededTest, public ::testing::WithParamInterface<ExitRow>
{
};

TEST_P(ExitStatus, ZeroOneOrTwo)
{
    const ExitRow &row = GetParam();
    const CliResult r = row.noServer ? runCli(row.args) : cli(row.args);
    EXPECT_EQ(r.status, row.status) << r.out << r.err;
    if (row.status == 2 && row.noServer) {
        EXPECT_NE(r.err.find("ravelind-cli: "), std::string::npos) << r.err;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ExitStatus,
    ::testing::Values(ExitRow{"help", {"--help"}, 0, true}, ExitRow{"no arguments", {}, 2, true},
                      ExitRow{"no server", {"logon"}, 2, true},
                      ExitRow{"unknown command", {"frobnicate"}, 2},
                      ExitRow{"missing option", {"get", "proj"}, 2},
                      ExitRow{"bad server URL", {"--server", "ftp://x/y", "logon"}, 2, true},
                      ExitRow{"unknown profile", {"--profile", "NoSuchProfile", "logon"}, 2, true},
                      ExitRow{"not a server path", {"ls", "proj/../x"}, 2},
                      ExitRow{"all succeeded", {"ls", "proj"}, 0},
                      ExitRow{"refused: no such folder", {"ls", "nothing"}, 1},
                      ExitRow{"refused: delete of a missing file", {"rm", "proj/none.txt"}, 1},
                      ExitRow{"refused: rename onto a sibling", {"rename", "proj/sub", "empty"}, 1},
                      ExitRow{"refused: unknown user", {"--user-id", "mallory", "ls", "proj"}, 1}),
    [](const ::testing::TestParamInfo<ExitRow> &row) {
        std::string name = row.param.name;
        for (char &c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

TEST(Unreachable, EveryKindOfCommandExitsWithTwo)
{
    const std::string url = "http://127.0.0.1:" + std::to_string(closedPort()) + "/Service.asmx";
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"logon"},
          {"ls", "/"},
          {"rm", "a"},
          {"get", "-r", "-C", "/tmp/ravelind-cli-never", "a"},
          {"get", "--version", "1", "-o", "/tmp/ravelind-cli-never/x", "a"}}) {
        std::vector<std::string> all{"--server", url, "--timeout", "5"};
        all.insert(all.end(), args.begin(), args.end());
        const CliResult r = runCli(all);
        EXPECT_EQ(r.status, 2) << args.front() << ": " << r.out << r.err;
        EXPECT_FALSE(r.out.empty()) << args.front() << ": the failure has its line";
    }
    EXPECT_FALSE(fs::exists("/tmp/ravelind-cli-never/x"));
}

TEST(StringTable, MissingEverywhereStopsWithTheBuiltInText)
{
    // A copy of the program without its table beside it (and no share folder).
    servertest::TempDir dir;
    const fs::path copy = dir.path() / "bin" / "ravelind-cli";
    fs::create_directories(copy.parent_path());
    fs::copy_file(RAVELIND_CLI_PATH, copy);
    const std::string command = copy.string() + " --server http://127.0.0.1:9/S logon 2>&1";
    FILE *pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char buffer[256] = {};
    const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, pipe);
    const int status = ::pclose(pipe);
    EXPECT_EQ(std::string(buffer, n), "ravelind-cli: Resource file is not found!\n");
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

// --profile reads the window's stored profiles; the password comes from the environment.
class AuthenticatedTest : public CliTest
{
protected:
    std::vector<std::string> serverArguments() const override { return {"--user", "web:secret"}; }
};

TEST_F(AuthenticatedTest, ProfileFromTheStoreAndPasswordFromTheEnvironment)
{
    servertest::TempDir config;
    {
        platform::Registry registry(config.path() / "registry.reg");
        config::ProfileStore store(registry);
        protocol::ServerProfile profile;
        profile.name = "Work";
        profile.server = "127.0.0.1";
        profile.url = "/Service.asmx";
        profile.port = static_cast<std::uint16_t>(m_server.port());
        profile.userName = "web";
        profile.timeout = 30;
        ASSERT_EQ(store.write(profile, true), 0);
    }
    const std::map<std::string, std::string> env{{"RAVELIND_CONFIG_DIR", config.path().string()},
                                                 {"RAVELIND_PASSWORD", "secret"}};
    CliResult r = runCli({"--profile", "work", "logon"}, env);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.lines(), std::vector<std::string>{"web"})
        << "the user ID defaults to the HTTP user";

    r = runCli({"--profile", "Work", "logon"},
               {{"RAVELIND_CONFIG_DIR", config.path().string()}, {"RAVELIND_PASSWORD", "wrong"}});
    EXPECT_EQ(r.status, 1) << "refused, not unreachable: " << r.out << r.err;
    EXPECT_TRUE(r.out.starts_with("Logon failed: ")) << r.out;

    r = runCli({"--server", m_url, "--http-user", "web", "logon"},
               {{"RAVELIND_PASSWORD", "secret"}});
    EXPECT_EQ(r.status, 0) << r.out << r.err;

    r = runCli({"--server", m_url, "--http-user", "web", "logon"});
    EXPECT_EQ(r.status, 1) << "no terminal to ask on: no password, refused";
}

} // namespace
} // namespace clitest
