// File content over the wire: uploads in chunks, downloads, locks and versions, with the
// client's chunking and base64 against the service's.

#include "servicefixture.h"

#include <platform/resultcode.h>
#include <protocol/progresssink.h>

#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

namespace integration {
namespace {

using protocol::CallResult;
using protocol::FileItem;
using protocol::HistoryItem;
using protocol::ServiceClient;

constexpr std::size_t kChunk = 120000;

// Local time as the wire writes it, and the file time that stands for it.
struct Stamp
{
    std::string text;
    std::time_t time = 0;
};

Stamp localStamp(int year, int month, int day, int hour, int minute, int second)
{
    struct tm local = {};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    Stamp stamp;
    stamp.time = std::mktime(&local);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d %02d:%02d:%02d", year, month, day, hour,
                  minute, second);
    stamp.text = buffer;
    return stamp;
}

void setModified(const std::filesystem::path &path, std::time_t when)
{
    const struct timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

std::time_t modified(const std::filesystem::path &path)
{
    struct stat st = {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mtim.tv_sec;
}

std::vector<FileItem> files(ServiceClient &c, const std::string &uid, const std::string &path)
{
    std::vector<FileItem> list;
    const CallResult r = c.getFileList(uid, path, list);
    EXPECT_TRUE(r.succeeded()) << path << ": " << r.message();
    return list;
}

FileItem fileRow(ServiceClient &c, const std::string &uid, const std::string &folder,
                 const std::string &name)
{
    for (const FileItem &item : files(c, uid, folder)) {
        if (item.fileName == name)
            return item;
    }
    ADD_FAILURE() << name << " not listed in " << folder;
    return {};
}

std::vector<HistoryItem> history(ServiceClient &c, const std::string &uid, const std::string &path)
{
    std::vector<HistoryItem> list;
    const CallResult r = c.getHistoryList(uid, path, false, list);
    EXPECT_TRUE(r.succeeded()) << path << ": " << r.message();
    return list;
}

// Downloads into a file that already holds other, longer bytes: the result must be exactly
// the version's content.
std::string download(ServiceClient &c, const std::string &uid, const std::string &path,
                     std::int32_t version, const std::filesystem::path &target)
{
    writeFileBytes(target, std::string(3 * kChunk, 'x'));
    const CallResult r = c.getFile(uid, path, version, target);
    EXPECT_TRUE(r.succeeded()) << path << " v" << version << ": " << r.message();
    return readFileBytes(target);
}

struct Upload
{
    const char *name;
    std::size_t size;
};

class TransferTest : public ServiceTest, public ::testing::WithParamInterface<Upload>
{
};

// Empty, exactly one chunk, and two chunks plus a part chunk.
TEST_P(TransferTest, AddedFileListsAndDownloadsWithItsBytesAndDate)
{
    const Upload &u = GetParam();
    ServiceClient c = client();
    const std::string uid = registerUser(c, "alice");
    ASSERT_FALSE(uid.empty());
    ASSERT_TRUE(c.createFolder(uid, "", "Docs", "", false).succeeded());

    const std::string content = randomBytes(u.size, static_cast<unsigned>(u.size) + 7);
    const auto source = local("source.bin");
    writeFileBytes(source, content);
    const Stamp stamp = localStamp(2021, 3, 4, 5, 6, 7);
    setModified(source, stamp.time);
    const CallResult added = c.addFile(uid, "Docs", "data.bin", source, "added");
    ASSERT_TRUE(added.succeeded()) << added.message();

    const FileItem row = fileRow(c, uid, "Docs", "data.bin");
    EXPECT_EQ(row.fileSize, static_cast<std::int64_t>(u.size));
    EXPECT_EQ(row.updateDate, stamp.text);
    EXPECT_FALSE(row.checkinDate.empty());
    EXPECT_TRUE(row.checkoutUserId.empty());

    const auto target = local("target.bin");
    EXPECT_TRUE(download(c, uid, "Docs\\data.bin", -1, target) == content)
        << "downloaded bytes differ from the uploaded ones";
    EXPECT_EQ(modified(target), stamp.time);
}

INSTANTIATE_TEST_SUITE_P(Sizes, TransferTest,
                         ::testing::Values(Upload{"Empty", 0}, Upload{"OneChunk", kChunk},
                                           Upload{"TwoChunksAndAPart", 2 * kChunk + 777}),
                         [](const ::testing::TestParamInfo<Upload> &row) {
                             return std::string(row.param.name);
                         });

class SmallChunkTest : public ServiceTest
{
protected:
    // An odd chunk size: every answer but the last ends inside a base64 group of the file.
    void SetUp() override { startService({"--chunk-size", "70001"}); }
};

TEST_F(SmallChunkTest, DownloadOfManyChunksJoinsThemAtTheRightOffsets)
{
    ServiceClient c = client();
    const std::string uid = registerUser(c, "alice");
    ASSERT_FALSE(uid.empty());
    const std::string content = randomBytes(5 * 70001 + 3, 9);
    const auto source = local("source.bin");
    writeFileBytes(source, content);
    ASSERT_TRUE(c.addFile(uid, "", "big.bin", source, "").succeeded());
    EXPECT_EQ(fileRow(c, uid, "", "big.bin").fileSize, static_cast<std::int64_t>(content.size()));
    EXPECT_TRUE(download(c, uid, "big.bin", -1, local("target.bin")) == content)
        << "downloaded bytes differ from the uploaded ones";
}

using VersionTest = ServiceTest;

TEST_F(VersionTest, CheckOutCheckinHistoryRollBackAndComments)
{
    ServiceClient c = client();
    const std::string uid = registerUser(c, "alice");
    ASSERT_FALSE(uid.empty());
    ASSERT_TRUE(c.createFolder(uid, "", "Docs", "", false).succeeded());
    const std::string path = "Docs\\data.bin";
    const std::string first = randomBytes(2 * kChunk + 777, 1);
    const std::string second = randomBytes(kChunk + 5, 2);
    const auto work = local("data.bin");
    writeFileBytes(work, first);
    ASSERT_TRUE(c.addFile(uid, "Docs", "data.bin", work, "first version").succeeded());

    // The holder, as the service records it.
    ASSERT_TRUE(c.checkOut(uid, path, work.string()).succeeded());
    FileItem held = fileRow(c, uid, "Docs", "data.bin");
    EXPECT_EQ(held.checkoutUserId, uid);
    EXPECT_EQ(held.checkoutUser, "alice");
    EXPECT_EQ(held.checkoutPath, work.string());

    writeFileBytes(work, second);
    const Stamp stamp = localStamp(2022, 11, 30, 23, 59, 58);
    setModified(work, stamp.time);
    const CallResult checkedIn = c.checkin(uid, path, "second version", work);
    ASSERT_TRUE(checkedIn.succeeded()) << checkedIn.message();
    FileItem after = fileRow(c, uid, "Docs", "data.bin");
    EXPECT_EQ(after.fileSize, static_cast<std::int64_t>(second.size()));
    EXPECT_EQ(after.updateDate, stamp.text);

    std::vector<HistoryItem> versions = history(c, uid, path);
    ASSERT_EQ(versions.size(), 2u);
    EXPECT_EQ(versions[0].version, 1);
    EXPECT_EQ(versions[0].comment, "first version");
    EXPECT_EQ(versions[1].version, 2);
    EXPECT_EQ(versions[1].comment, "second version");
    EXPECT_EQ(versions[1].updateDate, stamp.text);
    EXPECT_EQ(versions[1].fileName, "data.bin");

    const auto target = local("download.bin");
    EXPECT_TRUE(download(c, uid, path, 1, target) == first) << "version 1 differs";
    EXPECT_TRUE(download(c, uid, path, -1, target) == second) << "latest version differs";

    const CallResult rolled = c.rollBack(uid, path, 1);
    ASSERT_TRUE(rolled.succeeded()) << rolled.message();
    versions = history(c, uid, path);
    ASSERT_EQ(versions.size(), 1u);
    EXPECT_EQ(versions[0].version, 1);
    EXPECT_TRUE(download(c, uid, path, -1, target) == first) << "rolled-back content differs";

    ASSERT_TRUE(c.updateComment(uid, path, 1, "reviewed: fine").succeeded());
    versions = history(c, uid, path);
    ASSERT_EQ(versions.size(), 1u);
    EXPECT_EQ(versions[0].comment, "reviewed: fine");

    // Undo a check-out: the holder is gone.
    ASSERT_TRUE(c.checkOut(uid, path, work.string()).succeeded());
    EXPECT_EQ(fileRow(c, uid, "Docs", "data.bin").checkoutUserId, uid);
    const CallResult undone = c.checkoutCancel(uid, path);
    ASSERT_TRUE(undone.succeeded()) << undone.message();
    held = fileRow(c, uid, "Docs", "data.bin");
    EXPECT_TRUE(held.checkoutUserId.empty());
    EXPECT_TRUE(held.checkoutUser.empty());
}

class RecordingSink : public protocol::ProgressSink
{
public:
    void itemText(std::string_view) override { ++calls; }
    void statusText(int) override { ++calls; }
    void subTotal(std::int64_t) override { ++calls; }
    void subPosition(std::int64_t) override { ++calls; }
    int calls = 0;
};

struct CancelCase
{
    const char *name;
    bool withSink;
};

class CancelTest : public ServiceTest, public ::testing::WithParamInterface<CancelCase>
{
};

// A run cancelled before the download starts must not touch the user's local file, whether
// or not the client reports progress.
TEST_P(CancelTest, DownloadCancelledBeforehandLeavesTheLocalFileAlone)
{
    ServiceClient c = client();
    const std::string uid = registerUser(c, "alice");
    ASSERT_FALSE(uid.empty());
    ASSERT_TRUE(c.createFolder(uid, "", "Docs", "", false).succeeded());
    const auto source = local("source.bin");
    const std::string content = randomBytes(kChunk + 1, 3);
    writeFileBytes(source, content);
    ASSERT_TRUE(c.addFile(uid, "Docs", "data.bin", source, "").succeeded());

    const auto target = local("mine.txt");
    const std::string mine = "the user's own edits\n";
    writeFileBytes(target, mine);
    const Stamp stamp = localStamp(2020, 1, 2, 3, 4, 5);
    setModified(target, stamp.time);

    RecordingSink sink;
    if (GetParam().withSink)
        c.setProgressSink(&sink);
    std::atomic<bool> cancel = true;
    c.setCancelFlag(&cancel);
    const CallResult r = c.getFile(uid, "Docs\\data.bin", -1, target);
    EXPECT_EQ(static_cast<std::uint32_t>(r.code), 0x800704C7u);
    EXPECT_FALSE(r.succeeded());
    EXPECT_EQ(sink.calls, 0);
    EXPECT_EQ(readFileBytes(target), mine);
    EXPECT_EQ(modified(target), stamp.time);

    // The same client goes on once the flag is down.
    cancel = false;
    const CallResult again = c.getFile(uid, "Docs\\data.bin", -1, target);
    ASSERT_TRUE(again.succeeded()) << again.message();
    EXPECT_TRUE(readFileBytes(target) == content);
}

INSTANTIATE_TEST_SUITE_P(Clients, CancelTest,
                         ::testing::Values(CancelCase{"WithProgress", true},
                                           CancelCase{"WithoutProgress", false}),
                         [](const ::testing::TestParamInfo<CancelCase> &row) {
                             return std::string(row.param.name);
                         });

} // namespace
} // namespace integration
