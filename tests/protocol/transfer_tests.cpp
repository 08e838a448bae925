// AddFile, Checkin, GetFile, CheckOut and CheckoutCancel against the scripted loopback
// server: what goes over the wire chunk by chunk, what lands in the local file, and what a
// cancel or a bad answer returns.

#include "testhelpers.h"

#include <protocol/progresssink.h>
#include <protocol/serviceclient.h>

#include <platform/base64.h>

#include <scriptedserver.h>

#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using protocol::CallResult;
using testsupport::CapturedRequest;
using testsupport::ScriptedReply;

namespace {

constexpr std::uint32_t kCancelled = 0x800704C7u;

// Text between <name> and </name> of the first such element; "?" when absent.
std::string elementOf(const std::string &body, const std::string &name)
{
    const std::string open = "<" + name + ">";
    const auto begin = body.find(open);
    const auto end = body.find("</" + name + ">", begin);
    if (begin == std::string::npos || end == std::string::npos)
        return "?";
    return body.substr(begin + open.size(), end - begin - open.size());
}

std::string randomContent(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto &c : s)
        c = static_cast<char>(rng());
    return s;
}

void writeFile(const fs::path &p, const std::string &content)
{
    std::ofstream(p, std::ios::binary | std::ios::trunc) << content;
}

std::time_t localTime(int y, int mo, int d, int h, int mi, int s)
{
    struct tm t = {};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

std::time_t mtimeOf(const fs::path &p)
{
    struct stat st = {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0);
    return st.st_mtime;
}

// Records what the client reports and, on a chosen report, sets the run's cancel flag.
class RecordingSink : public protocol::ProgressSink
{
public:
    explicit RecordingSink(std::atomic<bool> &cancel)
        : m_cancel(cancel)
    {
    }

    void itemText(std::string_view text) override { record("item " + std::string(text)); }
    void statusText(int id) override { record("status " + std::to_string(id)); }
    void subTotal(std::int64_t total) override { record("total " + std::to_string(total)); }
    void subPosition(std::int64_t pos) override { record("position " + std::to_string(pos)); }

    // Cancel once a report starting with `prefix` has been seen.
    std::string cancelAfter;
    std::vector<std::string> events;

private:
    void record(std::string event)
    {
        if (!cancelAfter.empty() && event.starts_with(cancelAfter))
            m_cancel = true;
        events.push_back(std::move(event));
    }
    std::atomic<bool> &m_cancel;
};

class TransferTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.isListening());
        m_client.fillFromProfile(m_server.profile(), &m_sink);
        m_client.setCancelFlag(&m_cancel);
        m_dir = testhelpers::tempDir() / ("transfer-" + std::to_string(++s_counter));
        fs::create_directories(m_dir);
    }
    void TearDown() override
    {
        // Every request and response body lives in a temporary file of the call.
        EXPECT_TRUE(testhelpers::zemFiles().empty());
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    // Answers every upload call with the FileID "id-<n>" for call n (1-based).
    void answerUploadsWithIds(std::string_view operation)
    {
        // The server may copy the handler per request, so the count lives outside it.
        auto calls = std::make_shared<int>(0);
        m_server.setHandler([op = std::string(operation), calls](const CapturedRequest &) {
            return ScriptedReply::soap("<" + op + "Response xmlns=\"http://quellvane.example/" +
                                       "webservices/\"><" + op + "Result>id-" +
                                       std::to_string(++*calls) + "</" + op + "Result></" + op +
                                       "Response>");
        });
    }

    static ScriptedReply getFileAnswer(const std::string &data, const std::string &updateDate,
                                       const std::string &totalSize, const std::string &size)
    {
        return ScriptedReply::soap(
            "<GetFileResponse xmlns=\"http://quellvane.example/webservices/\"><GetFileResult>"
            "<Data>" +
            data + "</Data><UpdateDate>" + updateDate + "</UpdateDate><TotalSize>" + totalSize +
            "</TotalSize><Size>" + size + "</Size></GetFileResult></GetFileResponse>");
    }

    testsupport::ScriptedServer m_server;
    std::atomic<bool> m_cancel{false};
    RecordingSink m_sink{m_cancel};
    protocol::ServiceClient m_client;
    fs::path m_dir;
    static inline int s_counter = 0;
};

// --- uploads ----------------------------------------------------------------------------

struct ChunkRow
{
    const char *name;
    std::size_t fileSize;
    std::vector<std::string> bLast; // per call, in order
};

void PrintTo(const ChunkRow &row, std::ostream *os)
{
    *os << row.name;
}

class UploadChunking : public TransferTest, public testing::WithParamInterface<ChunkRow>
{
};

TEST_P(UploadChunking, SendsPiecesOf120000WithFileIdThreadedAndLastMarked)
{
    const ChunkRow &row = GetParam();
    const std::string content = randomContent(row.fileSize, 5);
    writeFile(m_dir / "a.bin", content);
    answerUploadsWithIds("AddFile");

    const CallResult result = m_client.addFile("u1", "Root\\Docs", "a.bin", m_dir / "a.bin", "c");
    EXPECT_TRUE(result.succeeded()) << result.code << " " << result.errorText;

    const auto requests = m_server.requests();
    ASSERT_EQ(requests.size(), row.bLast.size());
    std::string received;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const std::string &body = requests[i].body;
        EXPECT_EQ(elementOf(body, "bLast"), row.bLast[i]) << "call " << i;
        EXPECT_EQ(elementOf(body, "FileID"), i == 0 ? "" : "id-" + std::to_string(i))
            << "call " << i;
        const auto piece = platform::base64Decode(elementOf(body, "string"));
        ASSERT_TRUE(piece) << "call " << i;
        EXPECT_EQ(piece->size(), std::min<std::size_t>(120000, row.fileSize - received.size()));
        received += *piece;
    }
    EXPECT_EQ(received, content);
    EXPECT_EQ(m_sink.events.back(), "position " + std::to_string(row.fileSize));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UploadChunking,
    testing::Values(ChunkRow{"EmptyFileGoesAsOneEmptyLastPiece", 0, {"true"}},
                    ChunkRow{"OneByte", 1, {"true"}}, ChunkRow{"ExactlyOneChunk", 120000, {"true"}},
                    ChunkRow{"OneByteOverOneChunk", 120001, {"false", "true"}},
                    ChunkRow{"ExactlyTwoChunks", 240000, {"false", "true"}},
                    ChunkRow{"TwoFullChunksAndAPart", 250000, {"false", "false", "true"}}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(TransferTest, AddFileRequestCarriesElementsInWireOrder)
{
    writeFile(m_dir / "a.txt", "A");
    const std::time_t stamp = localTime(2021, 3, 4, 5, 6, 7);
    const struct timespec times[2] = {{stamp, 0}, {stamp, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (m_dir / "a.txt").c_str(), times, 0), 0);
    answerUploadsWithIds("AddFile");

    EXPECT_TRUE(
        m_client.addFile("u1", "Root\\Docs", "a.txt", m_dir / "a.txt", "x & y").succeeded());
    const auto requests = m_server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(requests[0].body.find(
                  "<AddFile xmlns=\"http://quellvane.example/webservices/\"><UserID>u1</UserID>"
                  "<SelectPath>Root\\Docs</SelectPath><AddFileName>a.txt</AddFileName>"
                  "<UpdateTime>2021/03/04 05:06:07</UpdateTime><Comment>x &amp; y</Comment>"
                  "<FileID></FileID><Data><string>QQ==</string></Data><bLast>true</bLast>"
                  "</AddFile>"),
              std::string::npos)
        << requests[0].body;
    EXPECT_EQ(requests[0].header("SOAPAction").value_or(""),
              "\"http://quellvane.example/webservices/AddFile\"");
    EXPECT_EQ(m_sink.events, (std::vector<std::string>{"item Root\\Docs\\a.txt", "status 2032",
                                                       "total 1", "position 1"}));
}

TEST_F(TransferTest, CheckinRequestCarriesElementsInWireOrder)
{
    writeFile(m_dir / "b.txt", "");
    const std::time_t stamp = localTime(2020, 12, 31, 23, 59, 58);
    const struct timespec times[2] = {{stamp, 0}, {stamp, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (m_dir / "b.txt").c_str(), times, 0), 0);
    answerUploadsWithIds("Checkin");

    EXPECT_TRUE(m_client.checkin("u1", "Root\\b.txt", "done", m_dir / "b.txt").succeeded());
    const auto requests = m_server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(requests[0].body.find(
                  "<Checkin xmlns=\"http://quellvane.example/webservices/\"><UserID>u1</UserID>"
                  "<ServerFilePath>Root\\b.txt</ServerFilePath>"
                  "<UpdateTime>2020/12/31 23:59:58</UpdateTime><Comment>done</Comment>"
                  "<FileID></FileID><Data><string></string></Data><bLast>true</bLast>"
                  "</Checkin>"),
              std::string::npos)
        << requests[0].body;
    EXPECT_EQ(m_sink.events.front(), "item " + (m_dir / "b.txt").string());
    EXPECT_EQ(m_sink.events[1], "status 2031");
}

TEST_F(TransferTest, UploadStopsAtServiceFaultWithItsText)
{
    writeFile(m_dir / "a.bin", randomContent(250000, 1));
    m_server.enqueue(ScriptedReply::soap("<AddFileResponse><AddFileResult>id-1</AddFileResult>"
                                         "</AddFileResponse>"));
    m_server.enqueue(ScriptedReply::soap(
        "<soap:Fault><faultcode>soap:Server</faultcode><faultstring>Quota exceeded</faultstring>"
        "</soap:Fault>",
        500, "Internal Server Error"));
    const CallResult result = m_client.addFile("u", "Root", "a.bin", m_dir / "a.bin", "");
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.errorText, "Quota exceeded");
    EXPECT_EQ(m_server.requests().size(), 2u);
}

// A middle answer without a FileID would make the next piece start a new file.
TEST_F(TransferTest, UploadAnswerWithoutFileIdStopsBeforeNextPiece)
{
    writeFile(m_dir / "a.bin", randomContent(250000, 2));
    m_server.enqueue(ScriptedReply::soap("<AddFileResponse><AddFileResult/></AddFileResponse>"));
    const CallResult result = m_client.addFile("u", "Root", "a.bin", m_dir / "a.bin", "");
    EXPECT_EQ(static_cast<std::uint32_t>(result.code), 0x800CFFFFu);
    EXPECT_EQ(m_server.requests().size(), 1u);
}

// The local file changes while it goes up: the service must never be told "bLast" for content
// that is not the file, and never get a piece after the last one.
TEST_F(TransferTest, UploadOfFileThatShrinksMidwayFails)
{
    const fs::path local = m_dir / "a.bin";
    writeFile(local, randomContent(250000, 3));
    auto calls = std::make_shared<int>(0);
    m_server.setHandler([local, calls](const CapturedRequest &) {
        if (++*calls == 1)
            fs::resize_file(local, 130000);
        return ScriptedReply::soap("<AddFileResponse><AddFileResult>id-" + std::to_string(*calls) +
                                   "</AddFileResult></AddFileResponse>");
    });
    const CallResult result = m_client.addFile("u", "Root", "a.bin", local, "");
    EXPECT_EQ(static_cast<std::uint32_t>(result.code), 0x80070026u); // ERROR_HANDLE_EOF
    ASSERT_EQ(m_server.requests().size(), 1u);
    EXPECT_EQ(elementOf(m_server.requests()[0].body, "bLast"), "false");
}

TEST_F(TransferTest, UploadOfFileThatGrowsMidwaySendsTheSizeItStartedWith)
{
    const fs::path local = m_dir / "a.bin";
    writeFile(local, randomContent(130000, 4));
    auto calls = std::make_shared<int>(0);
    m_server.setHandler([local, calls](const CapturedRequest &) {
        if (++*calls == 1)
            std::ofstream(local, std::ios::binary | std::ios::app) << std::string(200000, 'g');
        return ScriptedReply::soap("<AddFileResponse><AddFileResult>id-" + std::to_string(*calls) +
                                   "</AddFileResult></AddFileResponse>");
    });
    EXPECT_TRUE(m_client.addFile("u", "Root", "a.bin", local, "").succeeded());
    const auto requests = m_server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(elementOf(requests[1].body, "bLast"), "true");
    EXPECT_EQ(platform::base64Decode(elementOf(requests[1].body, "string"))->size(), 10000u);
}

TEST_F(TransferTest, UploadOfMissingLocalFileSendsNothing)
{
    const CallResult result = m_client.checkin("u", "Root\\x", "", m_dir / "missing");
    EXPECT_EQ(static_cast<std::uint32_t>(result.code), 0x80070002u);
    EXPECT_TRUE(m_server.requests().empty());
}

struct CancelRow
{
    const char *name;
    const char *cancelAfter; // the report after which the user cancels
    std::size_t requests;    // calls that reach the service before the cancel is seen
};

void PrintTo(const CancelRow &row, std::ostream *os)
{
    *os << row.name;
}

class UploadCancel : public TransferTest, public testing::WithParamInterface<CancelRow>
{
};

TEST_P(UploadCancel, ReturnsCancelledAndLeavesLocalFileAlone)
{
    const CancelRow &row = GetParam();
    const std::string content = randomContent(250000, 9);
    writeFile(m_dir / "a.bin", content);
    ::chmod((m_dir / "a.bin").c_str(), 0444);
    answerUploadsWithIds("Checkin");
    m_sink.cancelAfter = row.cancelAfter;

    const CallResult result = m_client.checkin("u", "Root\\a.bin", "", m_dir / "a.bin");
    EXPECT_EQ(static_cast<std::uint32_t>(result.code), kCancelled);
    EXPECT_FALSE(result.succeeded());
    EXPECT_EQ(m_server.requests().size(), row.requests);
    EXPECT_EQ(testhelpers::readAll(m_dir / "a.bin"), content);
    struct stat st = {};
    ASSERT_EQ(::stat((m_dir / "a.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
}

INSTANTIATE_TEST_SUITE_P(Rows, UploadCancel,
                         testing::Values(CancelRow{"AfterItemText", "item", 0},
                                         CancelRow{"AfterStatusText", "status", 0},
                                         CancelRow{"AfterSubTotal", "total", 0},
                                         CancelRow{"AfterFirstPiece", "position", 1}),
                         [](const auto &row) { return std::string(row.param.name); });

TEST_F(TransferTest, CancelAfterLastPieceStillReportsTheFinishedUpload)
{
    writeFile(m_dir / "a.bin", "abc");
    answerUploadsWithIds("Checkin");
    m_sink.cancelAfter = "position";
    EXPECT_TRUE(m_client.checkin("u", "Root\\a.bin", "", m_dir / "a.bin").succeeded());
    EXPECT_EQ(m_server.requests().size(), 1u);
}

// --- downloads --------------------------------------------------------------------------

TEST_F(TransferTest, DownloadDecodesEveryDataChildAndStampsTheFile)
{
    writeFile(m_dir / "out", "");
    // Each child is a text of its own (the first ends in a short group); a text may come in
    // several pieces (text and CDATA) that split a group.
    m_server.enqueue(getFileAnswer("<string>Zg==</string><string>Zm9v</string>"
                                   "<string>Ym<![CDATA[Fy\r\nY]]>g==</string><string/>",
                                   "2021/03/04 05:06:07", "8", "8"));
    m_server.enqueue(getFileAnswer("", "2021/03/04 05:06:07", "8", "0"));

    const CallResult result = m_client.getFile("u1", "Root\\f.txt", -1, m_dir / "out");
    EXPECT_TRUE(result.succeeded()) << result.code << " " << result.errorText;
    EXPECT_EQ(testhelpers::readAll(m_dir / "out"), "ffoobarb");
    EXPECT_EQ(mtimeOf(m_dir / "out"), localTime(2021, 3, 4, 5, 6, 7));

    const auto requests = m_server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[0].body.find("<GetFile xmlns=\"http://quellvane.example/webservices/\">"
                                    "<UserID>u1</UserID><FilePath>Root\\f.txt</FilePath>"
                                    "<Version>-1</Version><Offset>0</Offset></GetFile>"),
              std::string::npos)
        << requests[0].body;
    EXPECT_EQ(elementOf(requests[1].body, "Offset"), "8");
    EXPECT_EQ(m_sink.events,
              (std::vector<std::string>{"item Root\\f.txt", "status 2035", "status 2033", "total 8",
                                        "position 8", "status 2033"}));
}

TEST_F(TransferTest, DownloadWithSizeZeroAtOnceWritesNothingAndStampsTheFile)
{
    writeFile(m_dir / "out", "");
    m_server.enqueue(getFileAnswer("", "2019/07/08 09:10:11", "0", "0"));
    EXPECT_TRUE(m_client.getFile("u", "Root\\e", 3, m_dir / "out").succeeded());
    EXPECT_EQ(testhelpers::readAll(m_dir / "out"), "");
    EXPECT_EQ(mtimeOf(m_dir / "out"), localTime(2019, 7, 8, 9, 10, 11));
    ASSERT_EQ(m_server.requests().size(), 1u);
    EXPECT_EQ(elementOf(m_server.requests()[0].body, "Version"), "3");
}

TEST_F(TransferTest, DownloadTotalSizeBeyond32BitsReachesTheProgress)
{
    writeFile(m_dir / "out", "");
    m_server.enqueue(getFileAnswer("", "", "5000000000", "0"));
    EXPECT_TRUE(m_client.getFile("u", "Root\\big", -1, m_dir / "out").succeeded());
    EXPECT_NE(std::find(m_sink.events.begin(), m_sink.events.end(), "total 5000000000"),
              m_sink.events.end());
}

struct BadAnswerRow
{
    const char *name;
    std::string data;
    std::string updateDate;
    std::string size;
    std::uint32_t code;
    std::string contentAfter;
};

void PrintTo(const BadAnswerRow &row, std::ostream *os)
{
    *os << row.name;
}

class DownloadBadAnswer : public TransferTest, public testing::WithParamInterface<BadAnswerRow>
{
};

TEST_P(DownloadBadAnswer, FailsWithItsCode)
{
    const BadAnswerRow &row = GetParam();
    writeFile(m_dir / "out", "");
    const std::time_t before = mtimeOf(m_dir / "out");
    m_server.enqueue(getFileAnswer(row.data, row.updateDate, row.size, row.size));
    m_server.enqueue(getFileAnswer("", row.updateDate, row.size, "0"));
    const CallResult result = m_client.getFile("u", "Root\\f", -1, m_dir / "out");
    EXPECT_EQ(static_cast<std::uint32_t>(result.code), row.code);
    EXPECT_EQ(testhelpers::readAll(m_dir / "out"), row.contentAfter);
    if (row.code != 0x800C000Du) {
        EXPECT_EQ(mtimeOf(m_dir / "out"), before);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DownloadBadAnswer,
    testing::Values(BadAnswerRow{"UpdateDateNotSixNumbers", "<string>Zm9v</string>", "yesterday",
                                 "3", 0x800C000Du, "foo"},
                    BadAnswerRow{"UpdateDateImpossibleDay", "<string>Zm9v</string>",
                                 "2021/02/30 00:00:00", "3", 0x800C000Du, "foo"},
                    BadAnswerRow{"DanglingBase64Character", "<string>Zm9vY</string>",
                                 "2021/01/01 00:00:00", "4", 0x800CFFFFu, "foo"},
                    BadAnswerRow{"SizeDisagreesWithData", "<string>Zm9v</string>",
                                 "2021/01/01 00:00:00", "5", 0x8007000Du, "foo"}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(TransferTest, DownloadAnswerWithoutDataIsMissingResult)
{
    writeFile(m_dir / "out", "");
    m_server.enqueue(ScriptedReply::soap(
        "<GetFileResponse><GetFileResult><Size>3</Size></GetFileResult></GetFileResponse>"));
    const CallResult result = m_client.getFile("u", "Root\\f", -1, m_dir / "out");
    EXPECT_EQ(static_cast<std::uint32_t>(result.code), 0x800CFFFFu);
    EXPECT_EQ(m_server.requests().size(), 1u);
}

TEST_F(TransferTest, DownloadOntoFullDiskReportsTheSystemError)
{
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    m_server.enqueue(getFileAnswer("<string>Zm9v</string>", "2021/01/01 00:00:00", "3", "3"));
    const CallResult result = m_client.getFile("u", "Root\\f", -1, "/dev/full");
    EXPECT_EQ(static_cast<std::uint32_t>(result.code), 0x80070070u); // ERROR_DISK_FULL
    EXPECT_EQ(m_server.requests().size(), 1u);
}

TEST_F(TransferTest, DownloadServiceFaultGivesItsText)
{
    writeFile(m_dir / "out", "");
    m_server.enqueue(ScriptedReply::soap(
        "<soap:Fault><faultcode>soap:Server</faultcode><faultstring>No such file</faultstring>"
        "</soap:Fault>",
        500, "Internal Server Error"));
    const CallResult result = m_client.getFile("u", "Root\\f", -1, m_dir / "out");
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.errorText, "No such file");
}

class DownloadCancel : public TransferTest, public testing::WithParamInterface<CancelRow>
{
};

// A download cut short must never look finished: the caller would copy the part over the
// user's file.
TEST_P(DownloadCancel, ReturnsCancelled)
{
    const CancelRow &row = GetParam();
    writeFile(m_dir / "out", "");
    m_server.enqueue(getFileAnswer("<string>Zm9v</string>", "2021/01/01 00:00:00", "6", "3"));
    m_server.enqueue(getFileAnswer("<string>YmFy</string>", "2021/01/01 00:00:00", "6", "3"));
    m_server.enqueue(getFileAnswer("", "2021/01/01 00:00:00", "6", "0"));
    m_sink.cancelAfter = row.cancelAfter;
    const CallResult result = m_client.getFile("u", "Root\\f", -1, m_dir / "out");
    EXPECT_EQ(static_cast<std::uint32_t>(result.code), kCancelled);
    EXPECT_EQ(m_server.requests().size(), row.requests);
}

INSTANTIATE_TEST_SUITE_P(Rows, DownloadCancel,
                         testing::Values(CancelRow{"AfterItemText", "item", 0},
                                         CancelRow{"AfterDownloadStart", "status 2035", 0},
                                         CancelRow{"AfterChunkStatus", "status 2033", 0},
                                         CancelRow{"AfterSubTotal", "total", 1},
                                         CancelRow{"AfterFirstChunk", "position 3", 1}),
                         [](const auto &row) { return std::string(row.param.name); });

// --- lock operations ----------------------------------------------------------------------

TEST_F(TransferTest, CheckOutSendsItsElements)
{
    m_server.enqueue(ScriptedReply::soap("<CheckOutResponse/>"));
    EXPECT_TRUE(m_client.checkOut("u1", "Root\\f.txt", "/home/me/f.txt").succeeded());
    ASSERT_EQ(m_server.requests().size(), 1u);
    EXPECT_NE(m_server.requests()[0].body.find(
                  "<CheckOut xmlns=\"http://quellvane.example/webservices/\"><UserID>u1</UserID>"
                  "<ServerFilePath>Root\\f.txt</ServerFilePath>"
                  "<LocalFilePath>/home/me/f.txt</LocalFilePath></CheckOut>"),
              std::string::npos);
    EXPECT_EQ(m_sink.events, (std::vector<std::string>{"item Root\\f.txt", "total 1"}));
}

TEST_F(TransferTest, CheckoutCancelSendsItsElements)
{
    m_server.enqueue(ScriptedReply::soap("<CheckoutCancelResponse/>"));
    EXPECT_TRUE(m_client.checkoutCancel("u1", "Root\\f.txt").succeeded());
    ASSERT_EQ(m_server.requests().size(), 1u);
    EXPECT_NE(m_server.requests()[0].body.find(
                  "<CheckoutCancel xmlns=\"http://quellvane.example/webservices/\">"
                  "<UserID>u1</UserID><FilePath>Root\\f.txt</FilePath></CheckoutCancel>"),
              std::string::npos);
    EXPECT_EQ(m_sink.events,
              (std::vector<std::string>{"item Root\\f.txt", "status 2034", "total 1"}));
}

struct LockCancelRow
{
    const char *name;
    bool undo;
    const char *cancelAfter;
};

void PrintTo(const LockCancelRow &row, std::ostream *os)
{
    *os << row.name;
}

class LockCancel : public TransferTest, public testing::WithParamInterface<LockCancelRow>
{
};

TEST_P(LockCancel, ReturnsCancelledAndSendsNothing)
{
    const LockCancelRow &row = GetParam();
    m_sink.cancelAfter = row.cancelAfter;
    const CallResult result = row.undo ? m_client.checkoutCancel("u", "Root\\f")
                                       : m_client.checkOut("u", "Root\\f", "/tmp/f");
    EXPECT_EQ(static_cast<std::uint32_t>(result.code), kCancelled);
    EXPECT_TRUE(m_server.requests().empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, LockCancel,
                         testing::Values(LockCancelRow{"CheckOutAfterItem", false, "item"},
                                         LockCancelRow{"CheckOutAfterTotal", false, "total"},
                                         LockCancelRow{"UndoAfterItem", true, "item"},
                                         LockCancelRow{"UndoAfterStatus", true, "status"},
                                         LockCancelRow{"UndoAfterTotal", true, "total"}),
                         [](const auto &row) { return std::string(row.param.name); });

TEST_F(TransferTest, CheckOutWithCancelAlreadySetSendsNothing)
{
    m_cancel = true;
    EXPECT_EQ(static_cast<std::uint32_t>(m_client.checkOut("u", "Root\\f", "/tmp/f").code),
              kCancelled);
    EXPECT_TRUE(m_server.requests().empty());
}

} // namespace
