// The operations as the server sees them (exact request bytes and headers) and as the caller
// sees them (records, result codes, error texts).

#include "testhelpers.h"

#include <protocol/envelopewriter.h>
#include <protocol/progresssink.h>
#include <protocol/responsereader.h>
#include <protocol/serviceclient.h>
#include <scriptedserver.h>

#include <gtest/gtest.h>

#include <functional>

namespace {

using protocol::CallResult;
using protocol::ServiceClient;
using testsupport::ScriptedReply;
using testsupport::ScriptedServer;

constexpr std::string_view kNs = "http://quellvane.example/webservices/";

std::string requestBody(std::string_view operation, std::string_view elements)
{
    std::string s = "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                    "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\""
                    " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
                    " xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"><soap:Body><";
    s += operation;
    s += " xmlns=\"";
    s += kNs;
    s += "\">";
    s += elements;
    s += "</";
    s += operation;
    s += "></soap:Body></soap:Envelope>";
    return s;
}

struct RequestRow
{
    const char *name;
    std::function<CallResult(ServiceClient &)> run;
    std::string operation;
    std::string elements;
};

void PrintTo(const RequestRow &r, std::ostream *os)
{
    *os << r.name;
}

class RequestBytes : public ::testing::TestWithParam<RequestRow>
{
};

TEST_P(RequestBytes, AreExactlyTheEnvelopeAndHeadersOfTheOperation)
{
    ScriptedServer server;
    ASSERT_TRUE(server.isListening());
    server.setHandler([](const auto &) { return ScriptedReply::soap("<Any/>"); });
    ServiceClient client;
    client.fillFromProfile(server.profile());
    const CallResult r = GetParam().run(client);
    ASSERT_EQ(server.requests().size(), 1u);
    const testsupport::CapturedRequest req = server.requests()[0];
    const std::string body = requestBody(GetParam().operation, GetParam().elements);
    EXPECT_EQ(req.body, body);
    EXPECT_EQ(req.method, "POST");
    EXPECT_EQ(req.target, "/service.asmx");
    EXPECT_EQ(req.version, "HTTP/1.1");
    EXPECT_EQ(req.header("Content-Type"), "text/xml; charset=utf-8");
    EXPECT_EQ(req.header("Content-Length"), std::to_string(body.size()));
    EXPECT_EQ(req.header("SOAPAction"), "\"" + std::string(kNs) + GetParam().operation + "\"");
    EXPECT_EQ(req.header("User-Agent"), "Brennovar");
    for (const char *once : {"Content-Type", "Content-Length", "SOAPAction", "User-Agent"})
        EXPECT_EQ(req.headerCount(once), 1) << once;
    EXPECT_EQ(req.headerCount("Expect"), 0);
    EXPECT_EQ(req.headerCount("Authorization"), 0);
    EXPECT_TRUE(testhelpers::zemFiles().empty());
    (void)r;
}

const std::string kUtf8 = "Gr\xC3\xBC\xC3\x9F"
                          "e";

INSTANTIATE_TEST_SUITE_P(
    Operations, RequestBytes,
    ::testing::Values(
        RequestRow{"LogonHasFourElementsUserIdFirst",
                   [](ServiceClient &c) {
                       std::optional<std::string> out;
                       return c.logon("u1", "HOST", "ann", "0.0.0.0", out);
                   },
                   "Logon",
                   "<UserID>u1</UserID><PC>HOST</PC><LogonUserID>ann</LogonUserID>"
                   "<IPAddress>0.0.0.0</IPAddress>"},
        RequestRow{"GetFolderList",
                   [](ServiceClient &c) {
                       std::vector<protocol::FolderItem> l;
                       return c.getFolderList("u", "Root\\Sub", l);
                   },
                   "GetFolderList", "<UserID>u</UserID><ParentPath>Root\\Sub</ParentPath>"},
        RequestRow{"GetFileList",
                   [](ServiceClient &c) {
                       std::vector<protocol::FileItem> l;
                       return c.getFileList("u", "R", l);
                   },
                   "GetFileList", "<UserID>u</UserID><ParentPath>R</ParentPath>"},
        RequestRow{"CreateFolderEscapesAndKeepsUtf8",
                   [&](ServiceClient &c) {
                       return c.createFolder("u", "R", "A&B <" + kUtf8 + ">", "c", true);
                   },
                   "CreateFolder",
                   "<UserID>u</UserID><ParentPath>R</ParentPath><FolderName>A&amp;B &lt;" + kUtf8 +
                       "&gt;</FolderName><Comment>c</Comment><IsPrivate>true</IsPrivate>"},
        RequestRow{"Rename", [](ServiceClient &c) { return c.rename("u", "R\\a", "b"); }, "Rename",
                   "<UserID>u</UserID><SelectPath>R\\a</SelectPath><ChangeName>b</ChangeName>"},
        RequestRow{"Move", [](ServiceClient &c) { return c.move("u", "R\\a", "S"); }, "Move",
                   "<UserID>u</UserID><SelectPath>R\\a</SelectPath><MovePath>S</MovePath>"},
        RequestRow{"DeletePurge", [](ServiceClient &c) { return c.deleteItem("u", "R\\a", true); },
                   "Delete",
                   "<UserID>u</UserID><SelectPath>R\\a</SelectPath><IsPurge>true</IsPurge>"},
        RequestRow{"DeleteRestorable",
                   [](ServiceClient &c) { return c.deleteItem("u", "R\\a", false); }, "Delete",
                   "<UserID>u</UserID><SelectPath>R\\a</SelectPath><IsPurge>false</IsPurge>"},
        RequestRow{
            "GetHistoryList",
            [](ServiceClient &c) {
                std::vector<protocol::HistoryItem> l;
                return c.getHistoryList("u", "R\\f.txt", true, l);
            },
            "GetHistoryList",
            "<UserID>u</UserID><FilePath>R\\f.txt</FilePath><IsSubFolder>true</IsSubFolder>"},
        RequestRow{"SetWorkFolderPath",
                   [](ServiceClient &c) { return c.setWorkFolderPath("u", "R", "/home/a/w"); },
                   "SetWorkFolderPath",
                   "<UserID>u</UserID><SelectPath>R</SelectPath>"
                   "<WorkFolderPath>/home/a/w</WorkFolderPath>"},
        RequestRow{"UpdateCommentOfAFolderSendsVersionZero",
                   [](ServiceClient &c) { return c.updateComment("u", "R", 0, "new"); },
                   "UpdateComment",
                   "<UserID>u</UserID><SelectPath>R</SelectPath><Version>0</Version>"
                   "<Comment>new</Comment>"},
        RequestRow{"GetDeletedList",
                   [](ServiceClient &c) {
                       std::vector<protocol::DeletedItem> l;
                       return c.getDeletedList("u", "R", l);
                   },
                   "GetDeletedList", "<UserID>u</UserID><SelectPath>R</SelectPath>"},
        RequestRow{"RepaireKeepsTheWireSpelling",
                   [](ServiceClient &c) { return c.repaire("u", "R\\gone"); }, "Repaire",
                   "<UserID>u</UserID><FilePath>R\\gone</FilePath>"},
        RequestRow{"GetItemCount",
                   [](ServiceClient &c) {
                       std::int64_t n = 0;
                       return c.getItemCount("u", "R", false, n);
                   },
                   "GetItemCount",
                   "<UserID>u</UserID><FilePath>R</FilePath><IsSubFolder>false</IsSubFolder>"},
        RequestRow{"RollBackNegativeVersion",
                   [](ServiceClient &c) { return c.rollBack("u", "R\\f", -2); }, "RollBack",
                   "<UserID>u</UserID><FilePath>R\\f</FilePath><Version>-2</Version>"},
        RequestRow{"ServerDelete", [](ServiceClient &c) { return c.serverDelete("u"); },
                   "ServerDelete", "<UserID>u</UserID>"}),
    testhelpers::RowName());

// --- What the caller receives --------------------------------------------------------------

class Operations : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.isListening());
        m_client.fillFromProfile(m_server.profile());
    }
    void TearDown() override { EXPECT_TRUE(testhelpers::zemFiles().empty()); }

    ScriptedServer m_server;
    ServiceClient m_client;
};

TEST_F(Operations, LogonReturnsTheResultText)
{
    m_server.enqueue(ScriptedReply::soap("<LogonResponse><LogonResult>ok-7</LogonResult>"
                                         "</LogonResponse>"));
    std::optional<std::string> text;
    const CallResult r = m_client.logon("u", "pc", "ann", "1.2.3.4", text);
    EXPECT_TRUE(r.succeeded());
    EXPECT_EQ(text, "ok-7");
}

TEST_F(Operations, LogonWithEmptyResultSucceedsWithoutText)
{
    m_server.enqueue(ScriptedReply::soap("<LogonResponse><LogonResult/></LogonResponse>"));
    std::optional<std::string> text = "stale";
    const CallResult r = m_client.logon("u", "pc", "ann", "1.2.3.4", text);
    EXPECT_TRUE(r.succeeded());
    EXPECT_EQ(text, std::nullopt);
}

TEST_F(Operations, LogonWithoutResultElementIsNoFailure)
{
    m_server.enqueue(ScriptedReply::soap("<LogonResponse/>"));
    std::optional<std::string> text;
    EXPECT_TRUE(m_client.logon("u", "pc", "ann", "1.2.3.4", text).succeeded());
    EXPECT_EQ(text, std::nullopt);
}

TEST_F(Operations, FolderListWithoutSubfoldersIsEmptySuccess)
{
    m_server.enqueue(ScriptedReply::soap(
        "<GetFolderListResponse><GetFolderListResult/></GetFolderListResponse>"));
    std::vector<protocol::FolderItem> list;
    const CallResult r = m_client.getFolderList("u", "R", list);
    EXPECT_EQ(r, (CallResult{0, "", 200, ""}));
    EXPECT_TRUE(list.empty());
}

TEST_F(Operations, FolderListWithoutResultElementIsMissingResult)
{
    m_server.enqueue(ScriptedReply::soap("<GetFolderListResponse/>"));
    std::vector<protocol::FolderItem> list(1);
    const CallResult r = m_client.getFolderList("u", "R", list);
    EXPECT_EQ(r.code, platform::kMissingResult);
    EXPECT_EQ(list.size(), 1u);
}

TEST_F(Operations, FileListRowsAreAppendedInOrder)
{
    m_server.enqueue(
        ScriptedReply::soap("<GetFileListResponse><GetFileListResult>"
                            "<F><FileName>b.txt</FileName><FileSize>3</FileSize></F>"
                            "<F><FileName>a.txt</FileName><FileSize>5000000000</FileSize></F>"
                            "</GetFileListResult></GetFileListResponse>"));
    std::vector<protocol::FileItem> list(1);
    ASSERT_TRUE(m_client.getFileList("u", "R", list).succeeded());
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[1].fileName, "b.txt");
    EXPECT_EQ(list[2].fileName, "a.txt");
    EXPECT_EQ(list[2].fileSize, 5000000000LL);
}

TEST_F(Operations, ItemCountParsesTheResultOrGivesZero)
{
    m_server.enqueue(
        ScriptedReply::soap("<GetItemCountResponse><GetItemCountResult>1234</GetItemCountResult>"
                            "</GetItemCountResponse>"));
    m_server.enqueue(ScriptedReply::soap("<GetItemCountResponse/>"));
    std::int64_t n = -1;
    EXPECT_TRUE(m_client.getItemCount("u", "R", true, n).succeeded());
    EXPECT_EQ(n, 1234);
    EXPECT_TRUE(m_client.getItemCount("u", "R", true, n).succeeded());
    EXPECT_EQ(n, 0);
}

TEST_F(Operations, OperationWithoutResultStillNeedsAnXmlAnswer)
{
    m_server.enqueue(ScriptedReply::text(200, "OK", "done"));
    const CallResult r = m_client.rename("u", "R\\a", "b");
    EXPECT_EQ(r.code, static_cast<platform::ResultCode>(0x800C00C8u));
    EXPECT_FALSE(r.succeeded());
}

TEST_F(Operations, FaultStringOfA500BecomesTheErrorText)
{
    m_server.enqueue(
        ScriptedReply::soap("<soap:Fault><faultcode>soap:Server</faultcode>"
                            "<faultstring>Folder already exists</faultstring></soap:Fault>",
                            500, "Internal Server Error"));
    const CallResult r = m_client.createFolder("u", "R", "x", "", false);
    EXPECT_EQ(r, (CallResult{0, "Folder already exists", 500, ""}));
}

TEST_F(Operations, ExchangePostsARequestWrittenByTheCallerAndLoadsTheAnswer)
{
    m_server.enqueue(ScriptedReply::soap(
        "<CheckinResponse><CheckinResult>id-1</CheckinResult></CheckinResponse>"));
    platform::TempFile request;
    platform::TempFile response;
    ASSERT_EQ(platform::TempFile::create(request), 0);
    ASSERT_EQ(platform::TempFile::create(response), 0);
    protocol::EnvelopeWriter w(request);
    ASSERT_EQ(w.beginEnvelope(), 0);
    ASSERT_EQ(w.beginOperation("Checkin"), 0);
    ASSERT_EQ(w.raw("<Data><string>QUJD</string></Data>"), 0);
    ASSERT_EQ(w.endOperation("Checkin"), 0);
    ASSERT_EQ(w.endEnvelope(), 0);
    {
        protocol::ResponseReader reader(response);
        const CallResult r = m_client.exchange("Checkin", request, reader);
        EXPECT_EQ(r, (CallResult{0, "", 200, ""}));
        EXPECT_EQ(reader.value("CheckinResponse/CheckinResult", 0), "id-1");
    }
    ASSERT_EQ(m_server.requests().size(), 1u);
    EXPECT_EQ(m_server.requests()[0].body,
              requestBody("Checkin", "<Data><string>QUJD</string></Data>"));
}

TEST_F(Operations, InvalidUtf8ArgumentSendsNothing)
{
    const CallResult r = m_client.rename("u", "R\\a", "bad\xC3");
    EXPECT_EQ(r.code, platform::fromWin32(1113));
    EXPECT_TRUE(m_server.requests().empty());
}

// --- Progress and cancel -------------------------------------------------------------------

struct RecordingSink : protocol::ProgressSink
{
    std::vector<std::string> events;
    void itemText(std::string_view t) override { events.push_back("item:" + std::string(t)); }
    void statusText(int id) override { events.push_back("status:" + std::to_string(id)); }
    void subTotal(std::int64_t n) override { events.push_back("total:" + std::to_string(n)); }
    void subPosition(std::int64_t n) override { events.push_back("pos:" + std::to_string(n)); }
};

// A run without a progress display (a worker with no dialog, the command-line client) must
// still be stoppable at every report.
TEST(Notify, WithoutSinkStillSeesTheCancel)
{
    std::atomic<bool> cancel{false};
    ServiceClient client;
    client.setCancelFlag(&cancel);
    EXPECT_EQ(client.notifyItemText("x"), ServiceClient::Notify::GoOn);
    cancel = true;
    EXPECT_EQ(client.notifyItemText("x"), ServiceClient::Notify::Cancelled);
    EXPECT_EQ(client.notifyStatusText(2033), ServiceClient::Notify::Cancelled);
    EXPECT_EQ(client.notifySubTotal(1), ServiceClient::Notify::Cancelled);
    EXPECT_EQ(client.notifySubPosition(1), ServiceClient::Notify::Cancelled);
}

TEST(Notify, WithSinkForwardsUntilCancelled)
{
    std::atomic<bool> cancel{false};
    RecordingSink sink;
    ServiceClient client;
    client.fillFromProfile({}, &sink);
    client.setCancelFlag(&cancel);
    EXPECT_EQ(client.notifyItemText("R\\a"), ServiceClient::Notify::GoOn);
    EXPECT_EQ(client.notifyStatusText(2035), ServiceClient::Notify::GoOn);
    EXPECT_EQ(client.notifySubTotal(6000000000LL), ServiceClient::Notify::GoOn);
    cancel = true;
    EXPECT_EQ(client.notifySubPosition(5), ServiceClient::Notify::Cancelled);
    EXPECT_EQ(sink.events,
              (std::vector<std::string>{"item:R\\a", "status:2035", "total:6000000000"}));
}

TEST(HttpEndpoint, TakesTheConnectionSettingsOfTheProfile)
{
    protocol::ServerProfile p;
    p.server = "vcs.example";
    p.url = "/svc/x.asmx";
    p.port = 8443;
    p.useSsl = 1;
    p.timeout = 30;
    p.userName = "ann";
    p.password = "pw";
    platform::HttpEndpoint e = protocol::httpEndpoint(p);
    EXPECT_EQ(e.host, "vcs.example");
    EXPECT_EQ(e.target, "/svc/x.asmx");
    EXPECT_EQ(e.port, 8443);
    EXPECT_TRUE(e.secure);
    EXPECT_EQ(e.userName, "ann");
    EXPECT_EQ(e.password, "pw");
    EXPECT_EQ(e.timeoutMs, 30000u);
    p.timeout = 5000000; // more than 32 bits of milliseconds
    EXPECT_EQ(protocol::httpEndpoint(p).timeoutMs, 0xFFFFFFFFu);
}

} // namespace
