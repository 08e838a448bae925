// The exchange with the server: status handling, authentication, time-outs, broken
// connections, TLS, connection reuse and cancel.

#include "testhelpers.h"

#include <platform/httptransport.h>
#include <protocol/serviceclient.h>
#include <scriptedserver.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using platform::ResultCode;
using protocol::CallResult;
using protocol::ServiceClient;
using testsupport::ScriptedReply;
using testsupport::ScriptedServer;
using Mode = ScriptedReply::Mode;

const std::string kOkBody = testsupport::soapEnvelope("<ServerDeleteResponse/>");

class Transport : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_server.isListening()); }
    void TearDown() override { EXPECT_TRUE(testhelpers::zemFiles().empty()); }

    CallResult callWith(const protocol::ServerProfile &profile)
    {
        m_client.fillFromProfile(profile);
        return m_client.serverDelete("u");
    }
    CallResult callOnce(std::uint32_t timeoutSeconds = 5)
    {
        return callWith(m_server.profile(timeoutSeconds));
    }

    ScriptedServer m_server;
    ServiceClient m_client;
};

struct StatusRow
{
    const char *name;
    ScriptedReply reply;
    CallResult expected;
};

void PrintTo(const StatusRow &r, std::ostream *os)
{
    *os << r.name;
}

class Answers : public Transport, public ::testing::WithParamInterface<StatusRow>
{
};

TEST_P(Answers, GiveCodeAndErrorText)
{
    m_server.enqueue(GetParam().reply);
    EXPECT_EQ(callOnce(), GetParam().expected);
}

ScriptedReply withHeader(ScriptedReply r, std::string name, std::string value)
{
    r.headers.emplace_back(std::move(name), std::move(value));
    return r;
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, Answers,
    ::testing::Values(
        StatusRow{"OkTextNeverReachesTheCaller", ScriptedReply::xml(kOkBody), {0, "", 200, ""}},
        StatusRow{"OtherReasonPhraseOn200IsNoError",
                  ScriptedReply::xml(kOkBody, 200, "Fine"),
                  {0, "", 200, ""}},
        StatusRow{"NotFoundKeepsStatusTextAndSkipsTheBody",
                  ScriptedReply::text(404, "Not Found", "<html>nope</html>"),
                  {0, "Not Found", 404, ""}},
        StatusRow{"UnauthorizedWithoutCredentials",
                  withHeader(ScriptedReply::text(401, "Unauthorized", "login"), "WWW-Authenticate",
                             "Basic realm=\"vcs\""),
                  {0, "Unauthorized", 401, ""}},
        StatusRow{"StatusWithoutReasonPhraseIsStillAFailure",
                  ScriptedReply::text(503, "", ""),
                  {0, "HTTP status 503", 503, ""}},
        StatusRow{"ServerErrorWithoutFaultStringIsNoSuccess",
                  ScriptedReply::soap("<Other/>", 500, "Internal Server Error"),
                  {0, "Internal Server Error", 500, ""}},
        StatusRow{"NonXmlSuccessAnswer",
                  ScriptedReply::text(200, "OK", "<html/>"),
                  {static_cast<ResultCode>(0x800C00C8u), "", 200, ""}},
        StatusRow{"NonXmlServerError",
                  ScriptedReply::text(500, "Internal Server Error", "<html>boom</html>"),
                  {static_cast<ResultCode>(0x800C01F4u), "Internal Server Error", 500, ""}},
        StatusRow{"UpperCasePrologOn200",
                  ScriptedReply::xml("<?xml version=\"1.0\" encoding=\"UTF-8\"?><a/>"),
                  {static_cast<ResultCode>(0x800C00C8u), "", 200, ""}}),
    testhelpers::RowName());

TEST_F(Transport, AuthenticationResendsTheWholeBodyFromItsFirstByte)
{
    // Larger than the transfer buffer, so a resend that did not rewind would be short.
    const std::string comment(300000, 'c');
    m_server.enqueue(withHeader(ScriptedReply::text(401, "Unauthorized", "login"),
                                "WWW-Authenticate", "Basic realm=\"vcs\""));
    m_server.enqueue(ScriptedReply::xml(kOkBody));
    protocol::ServerProfile p = m_server.profile();
    p.userName = "ann";
    p.password = "s3cret";
    m_client.fillFromProfile(p);
    const CallResult r = m_client.updateComment("u", "R", 0, comment);
    EXPECT_TRUE(r.succeeded()) << r.errorText << r.detail;
    const auto reqs = m_server.requests();
    ASSERT_EQ(reqs.size(), 2u);
    EXPECT_EQ(reqs[0].headerCount("Authorization"), 0);
    EXPECT_EQ(reqs[1].header("Authorization"), "Basic YW5uOnMzY3JldA==");
    EXPECT_NE(reqs[0].body.find(comment), std::string::npos);
    EXPECT_EQ(reqs[1].body, reqs[0].body);
    EXPECT_EQ(reqs[1].header("SOAPAction"), reqs[0].header("SOAPAction"));
    EXPECT_EQ(reqs[1].header("Content-Length"), reqs[0].header("Content-Length"));
}

TEST_F(Transport, EarlyAuthenticationRefusalStillGetsTheWholeBodyResent)
{
    // The server answers 401 before it has read the body and closes; the body must be sent
    // again in full on the next connection.
    const std::string comment(500000, 'e');
    ScriptedReply refuse = withHeader(ScriptedReply::text(401, "Unauthorized", ""),
                                      "WWW-Authenticate", "Basic realm=\"vcs\"");
    refuse.answerBeforeBody = true;
    m_server.enqueue(refuse);
    m_server.enqueue(ScriptedReply::xml(kOkBody));
    protocol::ServerProfile p = m_server.profile();
    p.userName = "ann";
    p.password = "pw";
    m_client.fillFromProfile(p);
    const CallResult r = m_client.updateComment("u", "R", 0, comment);
    EXPECT_TRUE(r.succeeded()) << r.message() << " / " << r.detail;
    const auto reqs = m_server.requests();
    ASSERT_EQ(reqs.size(), 2u);
    EXPECT_TRUE(reqs[1].header("Authorization").has_value());
    EXPECT_EQ(reqs[1].header("Content-Length"), std::to_string(reqs[1].body.size()));
    EXPECT_TRUE(reqs[1].body.starts_with("<?xml version=\"1.0\" encoding=\"utf-8\"?>"));
    EXPECT_NE(reqs[1].body.find("<Comment>" + comment + "</Comment>"), std::string::npos);
}

TEST_F(Transport, AcceptedBasicCredentialsGoWithTheNextCallsAtOnce)
{
    m_server.enqueue(withHeader(ScriptedReply::text(401, "Unauthorized", "login"),
                                "WWW-Authenticate", "Basic realm=\"vcs\""));
    m_server.setHandler([](const testsupport::CapturedRequest &req) {
        return req.header("Authorization") ? ScriptedReply::xml(kOkBody)
                                           : ScriptedReply::text(401, "Unauthorized", "");
    });
    protocol::ServerProfile p = m_server.profile();
    p.userName = "ann";
    p.password = "pw";
    m_client.fillFromProfile(p);
    EXPECT_TRUE(m_client.serverDelete("u").succeeded());
    EXPECT_TRUE(m_client.serverDelete("u").succeeded());
    const auto reqs = m_server.requests();
    ASSERT_EQ(reqs.size(), 3u);
    EXPECT_TRUE(reqs[2].header("Authorization").has_value());
}

TEST_F(Transport, WrongPasswordEndsWithUnauthorized)
{
    m_server.setHandler([](const auto &) {
        return withHeader(ScriptedReply::text(401, "Unauthorized", "login"), "WWW-Authenticate",
                          "Basic realm=\"vcs\"");
    });
    protocol::ServerProfile p = m_server.profile();
    p.userName = "ann";
    p.password = "wrong";
    m_client.fillFromProfile(p);
    const CallResult r = m_client.serverDelete("u");
    EXPECT_EQ(r, (CallResult{0, "Unauthorized", 401, ""}));
    EXPECT_FALSE(r.succeeded());
}

TEST_F(Transport, ServerThatNeverAnswersTimesOut)
{
    m_server.enqueue(ScriptedReply::withMode(Mode::NoAnswer));
    const CallResult r = callOnce(1);
    EXPECT_EQ(r.code, platform::fromWin32(12002));
    EXPECT_NE(platform::errorText(r.code).find("timed out"), std::string::npos);
}

TEST_F(Transport, SlowButSteadyAnswerIsNoTimeOut)
{
    // The time-out is the longest silence, not a limit on the whole exchange: five pieces
    // 400 ms apart take longer than the one-second time-out in all.
    ScriptedReply r = ScriptedReply::xml(kOkBody);
    r.mode = Mode::Trickle;
    r.pieces = 5;
    r.pause = std::chrono::milliseconds(400);
    m_server.enqueue(r);
    const CallResult result = callOnce(1);
    EXPECT_TRUE(result.succeeded()) << result.message() << " / " << result.detail;
}

TEST_F(Transport, LargeAnswerArrivesWhole)
{
    // Several transfer buffers' worth of rows.
    std::string rows;
    for (int i = 0; i < 5000; ++i)
        rows += "<F><FileName>f" + std::to_string(i) + "</FileName><FileSize>" + std::to_string(i) +
                "</FileSize></F>";
    m_server.enqueue(ScriptedReply::soap("<GetFileListResponse><GetFileListResult>" + rows +
                                         "</GetFileListResult></GetFileListResponse>"));
    m_client.fillFromProfile(m_server.profile());
    std::vector<protocol::FileItem> list;
    ASSERT_TRUE(m_client.getFileList("u", "R", list).succeeded());
    ASSERT_EQ(list.size(), 5000u);
    EXPECT_EQ(list[4999].fileName, "f4999");
    EXPECT_EQ(list[4999].fileSize, 4999);
}

TEST_F(Transport, ChunkedAnswerIsDecoded)
{
    const std::string half1 = kOkBody.substr(0, 40);
    const std::string half2 = kOkBody.substr(40);
    auto hex = [](std::size_t n) {
        char b[16];
        std::snprintf(b, sizeof b, "%zx", n);
        return std::string(b);
    };
    ScriptedReply r = ScriptedReply::withMode(Mode::Raw);
    r.raw = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nTransfer-Encoding: chunked\r\n\r\n" +
            hex(half1.size()) + "\r\n" + half1 + "\r\n" + hex(half2.size()) + "\r\n" + half2 +
            "\r\n0\r\n\r\n";
    m_server.enqueue(r);
    EXPECT_TRUE(callOnce().succeeded());
}

TEST_F(Transport, AnswerEndedByClosingTheConnectionIsRead)
{
    ScriptedReply r = ScriptedReply::withMode(Mode::Raw);
    r.raw = "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n" + kOkBody;
    m_server.enqueue(r);
    EXPECT_TRUE(callOnce().succeeded());
}

TEST_F(Transport, ConnectionDroppedHalfWayIsAFailure)
{
    ScriptedReply r = ScriptedReply::xml(kOkBody);
    r.mode = Mode::DropHalfway;
    m_server.enqueue(r);
    EXPECT_EQ(callOnce().code, platform::fromWin32(12030));
}

TEST_F(Transport, ConnectionClosedWithoutAnswerIsAFailure)
{
    m_server.enqueue(ScriptedReply::withMode(Mode::CloseImmediately));
    EXPECT_EQ(callOnce().code, platform::fromWin32(12152));
}

TEST_F(Transport, ConsecutiveCallsReuseOneConnection)
{
    m_server.setHandler([](const auto &) { return ScriptedReply::xml(kOkBody); });
    m_client.fillFromProfile(m_server.profile());
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(m_client.serverDelete("u").succeeded());
    EXPECT_EQ(m_server.requests().size(), 3u);
    EXPECT_EQ(m_server.connectionCount(), 1);
}

TEST_F(Transport, ServerClosingAfterAnAnswerGetsANewConnectionNextTime)
{
    ScriptedReply closing = ScriptedReply::xml(kOkBody);
    closing.closeAfter = true;
    m_server.enqueue(closing);
    m_server.enqueue(ScriptedReply::xml(kOkBody));
    m_client.fillFromProfile(m_server.profile());
    EXPECT_TRUE(m_client.serverDelete("u").succeeded());
    EXPECT_TRUE(m_client.serverDelete("u").succeeded());
    EXPECT_EQ(m_server.connectionCount(), 2);
}

TEST_F(Transport, CancelDuringTheWaitForAnAnswerGivesCancelled)
{
    m_server.enqueue(ScriptedReply::withMode(Mode::NoAnswer));
    std::atomic<bool> cancel{false};
    m_client.setCancelFlag(&cancel);
    std::thread canceller([&] {
        m_server.waitForRequests(1, std::chrono::seconds(20));
        cancel = true;
    });
    const CallResult r = callOnce(60);
    canceller.join();
    EXPECT_EQ(r.code, platform::kCancelled);
}

TEST_F(Transport, CancelSetBeforeTheCallSendsNothing)
{
    std::atomic<bool> cancel{true};
    m_client.setCancelFlag(&cancel);
    EXPECT_EQ(callOnce().code, platform::kCancelled);
    EXPECT_TRUE(m_server.requests().empty());
}

TEST_F(Transport, ProxySwitchOnSendsTheRequestThroughTheProxy)
{
    // The scripted server plays the proxy: a proxied request names the whole URL.
    m_server.enqueue(ScriptedReply::xml(kOkBody));
    protocol::ServerProfile p = m_server.profile();
    p.server = "vcs.internal.test";
    p.port = 8080;
    p.useProxy = 1;
    p.proxyServer = "http://127.0.0.1:" + std::to_string(m_server.port());
    EXPECT_TRUE(callWith(p).succeeded());
    ASSERT_EQ(m_server.requests().size(), 1u);
    EXPECT_EQ(m_server.requests()[0].target, "http://vcs.internal.test:8080/service.asmx");
}

TEST_F(Transport, ProxySettingsAreIgnoredWhileTheSwitchIsOff)
{
    m_server.enqueue(ScriptedReply::xml(kOkBody));
    protocol::ServerProfile p = m_server.profile();
    p.useProxy = 0;
    p.proxyServer = "http://127.0.0.1:1"; // would fail if used
    EXPECT_TRUE(callWith(p).succeeded());
    EXPECT_EQ(m_server.requests()[0].target, "/service.asmx");
}

TEST(Unreachable, RefusedConnectionGivesAReadableFailure)
{
    // A port that was free a moment ago: bind, read the number, close.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len), 0);
    ::close(fd);

    protocol::ServerProfile p;
    p.server = "127.0.0.1";
    p.port = ntohs(addr.sin_port);
    p.url = "/service.asmx";
    p.timeout = 5;
    ServiceClient client;
    client.fillFromProfile(p);
    const CallResult r = client.serverDelete("u");
    EXPECT_EQ(r.code, platform::fromWin32(12029));
    EXPECT_EQ(r.errorText, "");
    EXPECT_NE(r.message().find("refused"), std::string::npos) << r.message();
    EXPECT_FALSE(r.detail.empty());
    EXPECT_TRUE(testhelpers::zemFiles().empty());
}

// --- HTTPS -------------------------------------------------------------------------------

class Https : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        std::string error;
        s_files = testsupport::makeTestCertificates(testhelpers::tempDir() / "tls", error);
        if (!s_files)
            s_error = error;
    }
    void TearDown() override { ::unsetenv("RAVELIND_CA_FILE"); }

    static inline std::optional<testsupport::TlsFiles> s_files;
    static inline std::string s_error;
};

TEST_F(Https, TrustsTheServerThroughTheExtraCaFile)
{
    ASSERT_TRUE(s_files) << s_error;
    ScriptedServer server(s_files);
    ASSERT_TRUE(server.isListening());
    server.enqueue(ScriptedReply::xml(kOkBody));
    ::setenv("RAVELIND_CA_FILE", s_files->caCert.c_str(), 1);
    ServiceClient client;
    client.fillFromProfile(server.profile());
    const CallResult r = client.serverDelete("u");
    EXPECT_TRUE(r.succeeded()) << r.message() << " / " << r.detail;
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(Https, RefusesAServerItCannotVerify)
{
    ASSERT_TRUE(s_files) << s_error;
    ScriptedServer server(s_files);
    ASSERT_TRUE(server.isListening());
    ServiceClient client;
    client.fillFromProfile(server.profile());
    const CallResult r = client.serverDelete("u");
    EXPECT_EQ(r.code, platform::fromWin32(12175)) << r.detail;
    EXPECT_NE(r.message().find("certificate could not be verified"), std::string::npos)
        << r.message();
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(Https, MissingExtraCaFileIsReported)
{
    ASSERT_TRUE(s_files) << s_error;
    ScriptedServer server(s_files);
    ::setenv("RAVELIND_CA_FILE", (testhelpers::tempDir() / "no-such-ca.pem").c_str(), 1);
    ServiceClient client;
    client.fillFromProfile(server.profile());
    EXPECT_EQ(client.serverDelete("u").code, platform::fromWin32(12045));
}

TEST_F(Https, PlainClientAgainstTlsServerFails)
{
    ASSERT_TRUE(s_files) << s_error;
    ScriptedServer server(s_files);
    protocol::ServerProfile p = server.profile();
    p.useSsl = 0;
    ServiceClient client;
    client.fillFromProfile(p);
    const CallResult r = client.serverDelete("u");
    EXPECT_LT(r.code, 0);
    EXPECT_FALSE(r.succeeded());
}

// A machine without ca-certificates: neither libcurl's bundle file nor its folder exists.
enum class ExtraCa {
    None,
    ServersCa,
    AnotherCa,
    MissingFile,
};

struct NoSystemCaRow
{
    const char *name;
    ExtraCa extra;
    ResultCode expected; // 0: the call succeeds
    const char *textPart;
};

void PrintTo(const NoSystemCaRow &r, std::ostream *os)
{
    *os << r.name;
}

class WithoutSystemCas : public ::testing::TestWithParam<NoSystemCaRow>
{
protected:
    static void SetUpTestSuite()
    {
        std::string error;
        s_files = testsupport::makeTestCertificates(testhelpers::tempDir() / "tls-own", error);
        if (s_files)
            s_other =
                testsupport::makeTestCertificates(testhelpers::tempDir() / "tls-other", error);
        if (!s_files || !s_other)
            s_error = error;
    }
    void SetUp() override
    {
        const auto hidden = testhelpers::tempDir() / "no-system-cas";
        platform::setSystemCaLocations(
            {(hidden / "ca-certificates.crt").string(), (hidden / "certs").string()});
    }
    void TearDown() override
    {
        platform::setSystemCaLocations({});
        ::unsetenv("RAVELIND_CA_FILE");
    }

    static inline std::optional<testsupport::TlsFiles> s_files;
    static inline std::optional<testsupport::TlsFiles> s_other;
    static inline std::string s_error;
};

TEST_P(WithoutSystemCas, TrustsOnlyTheExtraCaFile)
{
    ASSERT_TRUE(s_files && s_other) << s_error;
    const NoSystemCaRow &row = GetParam();
    ScriptedServer server(s_files);
    ASSERT_TRUE(server.isListening());
    server.enqueue(ScriptedReply::xml(kOkBody));
    switch (row.extra) {
    case ExtraCa::None:
        break;
    case ExtraCa::ServersCa:
        ::setenv("RAVELIND_CA_FILE", s_files->caCert.c_str(), 1);
        break;
    case ExtraCa::AnotherCa:
        ::setenv("RAVELIND_CA_FILE", s_other->caCert.c_str(), 1);
        break;
    case ExtraCa::MissingFile:
        ::setenv("RAVELIND_CA_FILE", (testhelpers::tempDir() / "no-such-ca.pem").c_str(), 1);
        break;
    }
    ServiceClient client;
    client.fillFromProfile(server.profile());
    const CallResult r = client.serverDelete("u");
    EXPECT_EQ(r.code, row.expected) << r.message() << " / " << r.detail;
    EXPECT_NE(r.message().find(row.textPart), std::string::npos) << r.message();
    EXPECT_EQ(server.requests().size(), row.expected == 0 ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Https, WithoutSystemCas,
    ::testing::Values(NoSystemCaRow{"ServersCaAlone", ExtraCa::ServersCa, 0, ""},
                      NoSystemCaRow{"NoExtraCa", ExtraCa::None, platform::fromWin32(12175),
                                    "certificate could not be verified"},
                      NoSystemCaRow{"ExtraCaOfAnotherAuthority", ExtraCa::AnotherCa,
                                    platform::fromWin32(12175),
                                    "certificate could not be verified"},
                      NoSystemCaRow{"ExtraCaFileMissing", ExtraCa::MissingFile,
                                    platform::fromWin32(12045),
                                    "certificate authority is invalid"}),
    [](const auto &row) { return std::string(row.param.name); });

} // namespace
