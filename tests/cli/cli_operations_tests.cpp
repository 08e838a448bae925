// ravelind-cli's long operations against the reference service: add, get, check out, check in,
// undo and move, through the engine's workers, end to end.

#include "clifixture.h"

#include <servertestsupport.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace clitest {
namespace {

namespace fs = std::filesystem;

bool hasLine(const CliResult &r, const std::string &line)
{
    const std::vector<std::string> lines = r.lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Every regular file below `root`, by its path relative to it, with its content.
std::map<std::string, std::string> treeContent(const fs::path &root)
{
    std::map<std::string, std::string> files;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file() && !entry.is_symlink())
            files[fs::relative(entry.path(), root).string()] = readFile(entry.path());
    }
    return files;
}

class OperationsTest : public CliTest
{
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        logon("alice");
        logon("bob");
    }

    // A local tree: text, an empty file, binaries of more than one upload chunk, a subfolder
    // two deep and an empty folder.
    void makeTree(const fs::path &root)
    {
        writeFile(root / "readme.txt", "first\nsecond\n");
        writeFile(root / "empty.txt", "");
        writeFile(root / "big.bin", servertest::randomBytes(250001, 1));
        writeFile(root / "sub" / "notes.txt", "a\nb\n");
        writeFile(root / "sub" / "deeper" / "image.bin", servertest::randomBytes(120000, 2));
        fs::create_directories(root / "hollow");
    }
};

TEST_F(OperationsTest, TreeGotCheckedOutEditedCheckedInAndGotBackByteIdentical)
{
    makeTree(local("src/tree"));
    CliResult r = cli({"add", "-m", "first", "/", localText("src/tree")});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(hasLine(r, "Folder tree was created.")) << r.out;
    EXPECT_TRUE(hasLine(r, localText("src/tree/big.bin") + " was added.")) << r.out;
    EXPECT_FALSE(isWritable(local("src/tree/big.bin"))) << "an added file is read-only";

    r = cli({"get", "-r", "-C", localText("got"), "tree"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(treeContent(local("got")), treeContent(local("src/tree")));
    EXPECT_TRUE(fs::is_directory(local("got/hollow")));

    r = cli({"checkout", "-r", "-C", localText("work"), "tree"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(hasLine(r, localText("work/sub/deeper/image.bin") + " was checked out.")) << r.out;
    EXPECT_TRUE(isWritable(local("work/readme.txt")));
    r = cli({"checkouts", "-r", "tree"});
    EXPECT_EQ(r.lines().size(), 5u) << r.out;

    writeFile(local("work/readme.txt"), "first\nchanged\nthird\n");
    writeFile(local("work/sub/deeper/image.bin"), servertest::randomBytes(360001, 3));
    r = cli({"checkin", "-r", "-m", "edited", "-C", localText("work"), "tree"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(hasLine(r, localText("work/readme.txt") + " was checked in.")) << r.out;
    EXPECT_FALSE(isWritable(local("work/readme.txt")));
    EXPECT_EQ(cli({"checkouts", "-r", "tree"}).out, "");

    r = cli({"get", "-r", "-C", localText("again"), "tree"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(treeContent(local("again")), treeContent(local("work")));

    r = cli({"history", "tree/readme.txt"});
    ASSERT_EQ(r.lines().size(), 2u) << r.out;
    r = cli({"diff", "tree/readme.txt:1", "tree/readme.txt"});
    EXPECT_EQ(r.out, "2c2,3\n< second\n---\n> changed\n> third\n");
}

TEST_F(OperationsTest, NamedFilesCheckedOutUndoneAndCheckedIn)
{
    makeTree(local("src/tree"));
    ASSERT_EQ(cli({"add", "-m", "first", "/", localText("src/tree")}).status, 0);

    CliResult r = cli({"checkout", "-C", localText("w"), "tree/readme.txt", "tree/sub/notes.txt"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.lines(),
              (std::vector<std::string>{localText("w/readme.txt") + " was checked out.",
                                        localText("w/notes.txt") + " was checked out."}));

    r = cli({"checkout", "-C", localText("bobs"), "tree/readme.txt"}, "bob");
    EXPECT_EQ(r.status, 1) << "alice holds it: " << r.out << r.err;
    EXPECT_TRUE(r.out.starts_with(localText("bobs/readme.txt") + " could not be checked out: "))
        << r.out;
    EXPECT_FALSE(fs::exists(local("bobs/readme.txt")));

    r = cli({"undo", "--delete-local", "-C", localText("w"), "tree/sub/notes.txt"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.lines(), std::vector<std::string>{"The check-out of " + localText("w/notes.txt") +
                                                  " was undone."});
    EXPECT_FALSE(fs::exists(local("w/notes.txt")));

    writeFile(local("w/readme.txt"), "mine\n");
    r = cli({"checkin", "--delete-local", "-m", "mine", "-C", localText("w"), "tree/readme.txt"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_FALSE(fs::exists(local("w/readme.txt")));
    r = cli({"get", "-C", localText("g"), "tree/readme.txt"}, "bob");
    EXPECT_EQ(readFile(local("g/readme.txt")), "mine\n");
}

TEST_F(OperationsTest, GetKeepsAFileCheckedOutHereWithItsEdits)
{
    makeTree(local("src/tree"));
    ASSERT_EQ(cli({"add", "-m", "first", "/", localText("src/tree")}).status, 0);
    ASSERT_EQ(cli({"checkout", "-C", localText("w"), "tree/readme.txt"}).status, 0);
    writeFile(local("w/readme.txt"), "not yet checked in\n");

    const CliResult r = cli({"get", "-C", localText("w"), "tree/readme.txt", "tree/empty.txt"});
    EXPECT_EQ(r.status, 1) << "the skipped file counts: " << r.out << r.err;
    EXPECT_TRUE(hasLine(r, localText("w/readme.txt") +
                               " was not overwritten: it is checked out to you there and may "
                               "hold changes not yet checked in."))
        << r.out;
    EXPECT_EQ(readFile(local("w/readme.txt")), "not yet checked in\n");
    EXPECT_TRUE(hasLine(r, localText("w/empty.txt") + " was fetched.")) << r.out;
}

TEST_F(OperationsTest, AddOfAFolderWithAnEmptySubfolderAndALinkLoop)
{
    writeFile(local("drop/top/file.txt"), "content\n");
    fs::create_directories(local("drop/top/nothing"));
    writeFile(local("elsewhere.txt"), "linked content\n");
    fs::create_symlink(local("elsewhere.txt"), local("drop/top/link.txt"));
    fs::create_directory_symlink("..", local("drop/top/nothing/up"));
    ASSERT_EQ(cli({"mkdir", "target"}).status, 0);

    const CliResult r = cli({"add", "-m", "dropped", "target", localText("drop/top")});
    EXPECT_EQ(r.status, 1) << "the link not followed counts: " << r.out << r.err;
    EXPECT_TRUE(hasLine(r, "Folder top was created.")) << r.out;
    EXPECT_TRUE(hasLine(r, "Folder nothing was created.")) << r.out;
    EXPECT_TRUE(hasLine(r, localText("drop/top/nothing/up") +
                               " is a link to a folder and was not followed."))
        << r.out;

    CliResult listing = cli({"ls", "-r", "--tsv", "target"});
    std::vector<std::string> names;
    for (const std::string &line : listing.lines())
        names.push_back(line.substr(0, line.find('\t')));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"top\\", "top\\file.txt", "top\\link.txt",
                                               "top\\nothing\\"}))
        << listing.out;
    const CliResult got = cli({"get", "-C", localText("back"), "target/top/link.txt"});
    ASSERT_EQ(got.status, 0) << got.out;
    EXPECT_EQ(readFile(local("back/link.txt")), "linked content\n")
        << "a link to a file adds the file's content";
}

TEST_F(OperationsTest, AddWithDeleteLocalRemovesTheFilesAndKeepsTheFolders)
{
    writeFile(local("drop/f/a.txt"), "a");
    writeFile(local("drop/f/s/b.txt"), "b");
    writeFile(local("drop/single.txt"), "s");
    const CliResult r = cli({"add", "--delete-local", "-m", "c", "/", localText("drop/f"),
                             localText("drop/single.txt")});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_FALSE(fs::exists(local("drop/f/a.txt")));
    EXPECT_FALSE(fs::exists(local("drop/f/s/b.txt")));
    EXPECT_FALSE(fs::exists(local("drop/single.txt")));
    EXPECT_TRUE(fs::is_directory(local("drop/f/s")));
}

TEST_F(OperationsTest, MoveOfFilesAndOfAFolder)
{
    writeFile(local("a/one.txt"), "1");
    writeFile(local("a/two.txt"), "2");
    writeFile(local("b/three.txt"), "3");
    fs::create_directories(local("dest"));
    ASSERT_EQ(
        cli({"add", "-m", "c", "/", localText("a"), localText("b"), localText("dest")}).status, 0);

    CliResult r = cli({"mv", "a/one.txt", "b/three.txt", "a\\two.txt", "dest"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.lines(), (std::vector<std::string>{"a\\one.txt was moved.", "a\\two.txt was moved.",
                                                   "b\\three.txt was moved."}))
        << "one move run per source folder, in the order named";
    r = cli({"ls", "--tsv", "dest"});
    EXPECT_EQ(r.lines().size(), 3u) << r.out;

    r = cli({"mv", "b", "dest"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.lines(), std::vector<std::string>{"Folder b was moved."});
    r = cli({"ls", "--tsv", "dest"});
    EXPECT_TRUE(hasLine(r, "b\\")) << r.out;

    r = cli({"mv", "a", "dest/one.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.lines(), std::vector<std::string>{"dest\\one.txt is not a folder on the server."});
    r = cli({"mv", "nothing.txt", "dest"});
    EXPECT_EQ(r.status, 1);
}

} // namespace
} // namespace clitest
