// GetFile when the world misbehaves: pieces of two versions, connections that drop half way,
// a run cancelled without a progress sink; and the request line against a host that answers
// HTTP/1.0 with keep-alive.

#include "testhelpers.h"

#include <protocol/serviceclient.h>

#include <platform/resultcode.h>

#include <gtest/gtest.h>
#include <scriptedserver.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using protocol::CallResult;
using testsupport::CapturedRequest;
using testsupport::ScriptedReply;

const platform::ResultCode kOtherVersion = platform::fromWin32(platform::err::FileInvalid);

std::string base64(const std::string &bytes)
{
    static const char *alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                           static_cast<unsigned char>(bytes[i + 2]);
        for (int k = 3; k >= 0; --k)
            out += alphabet[(v >> (6 * k)) & 63];
    }
    if (i < bytes.size()) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? alphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

// The offset a GetFile request asks for.
std::int64_t offsetOf(const CapturedRequest &r)
{
    const auto at = r.body.find("<Offset>");
    if (at == std::string::npos)
        return -1;
    return std::stoll(r.body.substr(at + 8));
}

ScriptedReply piece(const std::string &bytes, const std::string &date, std::int64_t total)
{
    return ScriptedReply::soap(
        "<GetFileResponse xmlns=\"http://quellvane.example/webservices/\"><GetFileResult><Data>" +
        (bytes.empty() ? std::string() : "<string>" + base64(bytes) + "</string>") +
        "</Data><UpdateDate>" + date + "</UpdateDate><TotalSize>" + std::to_string(total) +
        "</TotalSize><Size>" + std::to_string(bytes.size()) + "</Size></GetFileResult>" +
        "</GetFileResponse>");
}

// A service holding versions of one file, served in pieces of `pieceSize` bytes; a script
// decides per request what goes wrong.
class VersionedFile
{
public:
    struct Version
    {
        std::string content;
        std::string date;
    };

    explicit VersionedFile(std::size_t pieceSize)
        : m_pieceSize(pieceSize)
    {
    }

    void setVersion(Version v)
    {
        std::lock_guard lock(m_mutex);
        m_current = std::move(v);
    }
    // Called with the 1-based number of the request before it is answered; may change the
    // version or return a reply that stands instead of the piece.
    std::function<std::optional<ScriptedReply>(int)> script;

    ScriptedReply answer(const CapturedRequest &r)
    {
        const int n = ++m_requests;
        if (script) {
            if (auto special = script(n))
                return *special;
        }
        std::lock_guard lock(m_mutex);
        const auto offset = static_cast<std::size_t>(offsetOf(r));
        const std::string bytes = offset >= m_current.content.size()
                                      ? std::string()
                                      : m_current.content.substr(offset, m_pieceSize);
        return piece(bytes, m_current.date, static_cast<std::int64_t>(m_current.content.size()));
    }

private:
    std::size_t m_pieceSize;
    std::mutex m_mutex;
    Version m_current;
    std::atomic<int> m_requests{0};
};

class DownloadResilience : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.isListening());
        m_client.fillFromProfile(m_server.profile());
        m_client.setCancelFlag(&m_cancel);
        m_file = std::make_shared<VersionedFile>(4);
        m_server.setHandler([file = m_file](const CapturedRequest &r) { return file->answer(r); });
        m_out = testhelpers::tempDir() / ("resilience-" + std::to_string(++s_counter));
        std::ofstream(m_out).flush();
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove(m_out, ec);
        EXPECT_TRUE(testhelpers::zemFiles().empty());
    }

    std::vector<std::int64_t> offsets() const
    {
        std::vector<std::int64_t> out;
        for (const CapturedRequest &r : m_server.requests())
            out.push_back(offsetOf(r));
        return out;
    }

    testsupport::ScriptedServer m_server;
    std::atomic<bool> m_cancel{false};
    protocol::ServiceClient m_client;
    std::shared_ptr<VersionedFile> m_file;
    fs::path m_out;
    static inline int s_counter = 0;
};

const VersionedFile::Version kOld{"old content!", "2024/05/01 10:00:00"};
const VersionedFile::Version kNew{"NEW CONTENT, longer", "2024/05/01 10:05:00"};

TEST_F(DownloadResilience, OneVersionThroughoutIsWrittenAsIs)
{
    m_file->setVersion(kOld);
    EXPECT_TRUE(m_client.getFile("u", "Root\\f", -1, m_out).succeeded());
    EXPECT_EQ(testhelpers::readAll(m_out), kOld.content);
    EXPECT_EQ(offsets(), (std::vector<std::int64_t>{0, 4, 8, 12}));
}

// Someone checks in between two pieces: the pieces already written belong to the old
// version, so the download starts over and the file holds only the new one.
TEST_F(DownloadResilience, CheckInBetweenPiecesStartsOverOnce)
{
    m_file->setVersion(kOld);
    m_file->script = [file = m_file.get()](int n) -> std::optional<ScriptedReply> {
        if (n == 2)
            file->setVersion(kNew);
        return std::nullopt;
    };
    const CallResult r = m_client.getFile("u", "Root\\f", -1, m_out);
    EXPECT_TRUE(r.succeeded()) << r.message();
    EXPECT_EQ(testhelpers::readAll(m_out), kNew.content);
    EXPECT_EQ(offsets().at(2), 0);
}

TEST_F(DownloadResilience, VersionChangingAgainAfterTheRestartFailsTheFile)
{
    m_file->setVersion(kOld);
    m_file->script = [file = m_file.get()](int n) -> std::optional<ScriptedReply> {
        if (n == 2)
            file->setVersion(kNew);
        if (n == 4)
            file->setVersion({"third version....", "2024/05/01 10:09:00"});
        return std::nullopt;
    };
    const CallResult r = m_client.getFile("u", "Root\\f", -1, m_out);
    EXPECT_EQ(r.code, kOtherVersion);
    EXPECT_FALSE(r.succeeded());
    EXPECT_FALSE(platform::errorText(r.code).empty());
}

TEST_F(DownloadResilience, SameDateButAnotherSizeCountsAsAnotherVersion)
{
    m_file->setVersion(kOld);
    m_file->script = [file = m_file.get()](int n) -> std::optional<ScriptedReply> {
        if (n == 2)
            file->setVersion({"old content!!!", kOld.date});
        return std::nullopt;
    };
    EXPECT_TRUE(m_client.getFile("u", "Root\\f", -1, m_out).succeeded());
    EXPECT_EQ(testhelpers::readAll(m_out), "old content!!!");
}

struct DropRow
{
    const char *name;
    ScriptedReply::Mode mode;
};

class DownloadDrop : public DownloadResilience, public testing::WithParamInterface<DropRow>
{
};

// The connection breaks under the second piece: it is asked for again from the same offset,
// and the file comes out whole.
TEST_P(DownloadDrop, DroppedConnectionResumesFromTheOffsetWritten)
{
    m_file->setVersion(kOld);
    const ScriptedReply::Mode mode = GetParam().mode;
    m_file->script = [mode](int n) -> std::optional<ScriptedReply> {
        if (n == 2 || n == 3) {
            ScriptedReply broken = piece("xxxx", kOld.date, 12);
            broken.mode = mode;
            return broken;
        }
        return std::nullopt;
    };
    const CallResult r = m_client.getFile("u", "Root\\f", -1, m_out);
    EXPECT_TRUE(r.succeeded()) << r.message();
    EXPECT_EQ(testhelpers::readAll(m_out), kOld.content);
    EXPECT_EQ(offsets(), (std::vector<std::int64_t>{0, 4, 4, 4, 8, 12}));
}

INSTANTIATE_TEST_SUITE_P(Modes, DownloadDrop,
                         testing::Values(DropRow{"HalfAnAnswer", ScriptedReply::Mode::DropHalfway},
                                         DropRow{"ClosedWithoutAByte",
                                                 ScriptedReply::Mode::CloseImmediately}),
                         testhelpers::RowName{});

TEST_F(DownloadResilience, ResumeThatFindsAnotherVersionStartsOver)
{
    m_file->setVersion(kOld);
    m_file->script = [file = m_file.get()](int n) -> std::optional<ScriptedReply> {
        if (n == 2) {
            file->setVersion(kNew);
            return ScriptedReply::withMode(ScriptedReply::Mode::CloseImmediately);
        }
        return std::nullopt;
    };
    EXPECT_TRUE(m_client.getFile("u", "Root\\f", -1, m_out).succeeded());
    EXPECT_EQ(testhelpers::readAll(m_out), kNew.content);
}

TEST_F(DownloadResilience, ConnectionThatStaysDeadFailsAfterAFewTries)
{
    m_file->setVersion(kOld);
    m_file->script = [](int n) -> std::optional<ScriptedReply> {
        if (n >= 2)
            return ScriptedReply::withMode(ScriptedReply::Mode::CloseImmediately);
        return std::nullopt;
    };
    const CallResult r = m_client.getFile("u", "Root\\f", -1, m_out);
    EXPECT_LT(r.code, 0);
    EXPECT_NE(r.code, platform::kCancelled);
    // The first piece, then 1 + 3 tries of the second (libcurl may add one fresh connect of its
    // own to a try whose reused connection died at once).
    EXPECT_GE(m_server.requests().size(), 5u);
    EXPECT_LE(m_server.requests().size(), 9u);
}

TEST_F(DownloadResilience, CancelDuringTheRetryPauseEndsAtOnce)
{
    m_file->setVersion(kOld);
    std::atomic<bool> *cancel = &m_cancel;
    m_file->script = [cancel](int n) -> std::optional<ScriptedReply> {
        if (n == 2) {
            cancel->store(true);
            return ScriptedReply::withMode(ScriptedReply::Mode::CloseImmediately);
        }
        return std::nullopt;
    };
    EXPECT_EQ(m_client.getFile("u", "Root\\f", -1, m_out).code, platform::kCancelled);
    EXPECT_EQ(m_server.requests().size(), 2u);
}

// No progress sink at all: the run's cancel still stops the download between pieces.
TEST_F(DownloadResilience, CancelWithoutAProgressSinkStopsBetweenPieces)
{
    m_file->setVersion(kOld);
    std::atomic<bool> *cancel = &m_cancel;
    m_file->script = [cancel](int n) -> std::optional<ScriptedReply> {
        if (n == 2)
            cancel->store(true);
        return std::nullopt;
    };
    EXPECT_EQ(m_client.getFile("u", "Root\\f", -1, m_out).code, platform::kCancelled);
    EXPECT_EQ(m_server.requests().size(), 2u);
}

// Some hosts answer "HTTP/1.0" with "Connection: keep-alive". libcurl then speaks HTTP/1.0
// on that connection from the next request on; every request must still be HTTP/1.1.
TEST(RequestLine, StaysHttp11AfterAnHttp10KeepAliveAnswer)
{
    testsupport::ScriptedServer server;
    ASSERT_TRUE(server.isListening());
    server.setHandler([](const CapturedRequest &) {
        ScriptedReply r = ScriptedReply::soap("<CreateFolderResponse/>");
        r.httpVersion = "HTTP/1.0";
        r.headers.emplace_back("Connection", "keep-alive");
        return r;
    });
    protocol::ServiceClient client;
    client.fillFromProfile(server.profile());
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(
            client.createFolder("u", "Root", "F" + std::to_string(i), "", false).succeeded());
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    for (const CapturedRequest &r : requests)
        EXPECT_EQ(r.version, "HTTP/1.1") << r.head;
}

} // namespace
