// The service on a disk that fills up: a small tmpfs per test. Mounting needs root, so
// a test binary run by another user first enters a user and mount namespace of its own
// (where it is root); the mounts vanish with the process either way.

#include "servertestsupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sched.h>
#include <sys/mount.h>
#include <thread>
#include <unistd.h>

using namespace servertest;

namespace {

bool g_canMount = false;

bool writeFile(const char *path, const std::string &text)
{
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return ok;
}

// Runs before any thread exists, as unshare(CLONE_NEWUSER) requires.
bool enterMountNamespace()
{
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (uid == 0)
        return ::unshare(CLONE_NEWNS) == 0 &&
               ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
        return false;
    writeFile("/proc/self/setgroups", "deny");
    return writeFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") &&
           writeFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1") &&
           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// A tmpfs of the given size over a fresh temporary folder.
class SmallDisk
{
public:
    explicit SmallDisk(int megabytes)
    {
        const std::string options = "size=" + std::to_string(megabytes) + "m";
        m_mounted = ::mount("tmpfs", m_dir.path().c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(m_dir.path().c_str(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }
    std::filesystem::path data() const { return m_dir.path() / "data"; }
    // Fills what is left with one file of that name; returns its path.
    std::filesystem::path fill(const std::string &name) const
    {
        const std::filesystem::path filler = m_dir.path() / name;
        std::ofstream out(filler, std::ios::binary);
        const std::string block(64 * 1024, 'f');
        while (out.write(block.data(), static_cast<std::streamsize>(block.size())))
            out.flush();
        // Whatever the stream buffered and could not write is of no interest.
        return filler;
    }

private:
    TempDir m_dir;
    bool m_mounted = false;
};

#define REQUIRE_SMALL_DISK(disk)                                                                   \
    if (!g_canMount || !(disk).mounted())                                                          \
    GTEST_SKIP() << "no mount namespace: a small filesystem cannot be made here"

Reply checkOut(SoapClient &client, const std::string &path)
{
    return client.call("CheckOut",
                       {{"UserID", "alice"}, {"ServerFilePath", path}, {"LocalFilePath", "w"}});
}

std::size_t uploadsLeft(const std::filesystem::path &data)
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator(data / "uploads"))
        ++count;
    return count;
}

// A check-in larger than the disk fails with a clear fault and leaves the disk as it
// was: the part file is gone, no session stays behind, and the next check-in works.
TEST(FullDisk, ACheckinThatFillsTheDiskFailsCleanlyAndFreesItsRoom)
{
    SmallDisk disk(24);
    REQUIRE_SMALL_DISK(disk);
    ServerProcess server;
    ASSERT_TRUE(server.start(disk.data(), {"--max-upload-size", "100000000"}));
    SoapClient client(server.port());
    ASSERT_EQ(client.logon("alice"), "alice");
    ASSERT_EQ(client.addFile("alice", "", "big.bin", "v1").status, 200);
    ASSERT_EQ(checkOut(client, "big.bin").status, 200);
    const Reply failed = client.checkin("alice", "big.bin", randomBytes(30 * 1000 * 1000, 5));
    EXPECT_EQ(failed.status, 500);
    EXPECT_NE(faultString(failed.body).find("disk"), std::string::npos) << faultString(failed.body);
    EXPECT_EQ(uploadsLeft(disk.data()), 0u);
    const std::string next = randomBytes(3 * 1000 * 1000, 6);
    const Reply again = client.checkin("alice", "big.bin", next);
    EXPECT_EQ(again.status, 200) << faultString(again.body);
    EXPECT_TRUE(client.getFile("alice", "big.bin") == next);
    client.disconnect();
    EXPECT_EQ(server.stop(), 0);
}

// The disk is full while the service is down, with an abandoned upload on it: the
// service starts, frees the abandoned upload, serves reads, refuses writes that find
// no room with a clear fault, and writes again once room is made, without a restart.
TEST(FullDisk, StartsOnAFullDiskServesReadsAndFreesAbandonedUploads)
{
    SmallDisk disk(24);
    REQUIRE_SMALL_DISK(disk);
    const std::string content = randomBytes(500000, 9);
    {
        ServerProcess server;
        ASSERT_TRUE(server.start(disk.data()));
        SoapClient client(server.port());
        ASSERT_EQ(client.logon("alice"), "alice");
        ASSERT_EQ(client.addFile("alice", "", "keep.bin", content).status, 200);
        const Reply abandoned = client.uploadChunk(
            "AddFile", {{"UserID", "alice"}, {"SelectPath", ""}, {"AddFileName", "never.bin"}}, "",
            randomBytes(120000, 2), false);
        ASSERT_EQ(abandoned.status, 200);
        ASSERT_EQ(uploadsLeft(disk.data()), 1u);
        client.disconnect();
        ASSERT_EQ(server.stop(), 0);
    }
    // Seconds are counted whole, hence the margin over the one-second time-out.
    std::this_thread::sleep_for(std::chrono::milliseconds(2200));
    const std::filesystem::path filler = disk.fill("filler");

    ServerProcess server;
    ASSERT_TRUE(server.start(disk.data(), {"--upload-timeout", "1"}));
    EXPECT_EQ(uploadsLeft(disk.data()), 0u);
    // The room the abandoned upload freed is filled too.
    const std::filesystem::path more = disk.fill("filler2");
    SoapClient client(server.port());
    EXPECT_TRUE(client.getFile("alice", "keep.bin") == content);
    EXPECT_EQ(rows(client.call("GetFileList", {{"UserID", "alice"}, {"ParentPath", ""}}).body,
                   "GetFileListResponse/GetFileListResult")
                  .size(),
              1u);
    const Reply refused = client.addFile("alice", "", "new.bin", randomBytes(2000000, 3));
    EXPECT_EQ(refused.status, 500);
    EXPECT_NE(faultString(refused.body).find("disk"), std::string::npos)
        << faultString(refused.body);
    EXPECT_EQ(uploadsLeft(disk.data()), 0u);

    std::filesystem::remove(filler);
    std::filesystem::remove(more);
    const Reply added = client.addFile("alice", "", "new.bin", "after");
    EXPECT_EQ(added.status, 200) << faultString(added.body);
    EXPECT_EQ(client.getFile("alice", "new.bin"), "after");
    client.disconnect();
    EXPECT_EQ(server.stop(), 0);
}

// A part file that reaches the file size limit fails like one on a full disk (EFBIG
// instead of ENOSPC, no small filesystem needed): the fault says so, the part file
// is gone at once, the session is not left busy, and the next upload works.
TEST(FullDisk, AChunkThatCannotBeWrittenDropsItsUploadAtOnce)
{
    TempDir data;
    ServerProcess server;
    server.setFileSizeLimit(2 * 1024 * 1024);
    ASSERT_TRUE(server.start(data.path()));
    SoapClient client(server.port());
    ASSERT_EQ(client.logon("alice"), "alice");
    const std::string content = randomBytes(3 * 1000 * 1000, 4);
    std::string fileId;
    Reply reply;
    std::size_t at = 0;
    for (; at < content.size(); at += 120000) {
        reply = client.uploadChunk(
            "AddFile", {{"UserID", "alice"}, {"SelectPath", ""}, {"AddFileName", "f.bin"}}, fileId,
            content.substr(at, 120000), at + 120000 >= content.size());
        if (reply.status != 200)
            break;
        fileId = value(reply.body, "AddFileResponse/AddFileResult").value_or("");
    }
    ASSERT_LT(at, content.size()) << "the limit was never reached";
    EXPECT_EQ(reply.status, 500);
    EXPECT_NE(faultString(reply.body).find("disk is full"), std::string::npos)
        << faultString(reply.body);
    EXPECT_EQ(uploadsLeft(data.path()), 0u);
    const Reply resent = client.uploadChunk(
        "AddFile", {{"UserID", "alice"}, {"SelectPath", ""}, {"AddFileName", "f.bin"}}, fileId,
        content.substr(at, 120000), false);
    EXPECT_NE(faultString(resent.body).find("unknown or has expired"), std::string::npos)
        << faultString(resent.body);
    EXPECT_EQ(client.addFile("alice", "", "small.bin", "fits").status, 200);
    EXPECT_EQ(client.getFile("alice", "small.bin"), "fits");
}

} // namespace

int main(int argc, char **argv)
{
    g_canMount = enterMountNamespace();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
