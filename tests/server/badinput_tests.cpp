#include "servertestsupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <random>

using namespace servertest;

namespace {

struct BadRequestRow
{
    const char *name;
    std::string body;
    std::string action;
    std::string expectedFault;
};

void PrintTo(const BadRequestRow &row, std::ostream *os)
{
    *os << row.name;
}

std::string addWithData(const std::string &data)
{
    return envelope("AddFile", {{"UserID", "alice"},
                                {"SelectPath", ""},
                                {"AddFileName", "x.bin"},
                                {"UpdateTime", "2026/11/30 08:15:00"},
                                {"Comment", ""},
                                {"FileID", ""},
                                {"#raw", data},
                                {"bLast", "true"}});
}

class BadRequests : public testing::TestWithParam<BadRequestRow>
{
protected:
    static void SetUpTestSuite()
    {
        s_data = std::make_unique<TempDir>();
        s_server = std::make_unique<ServerProcess>();
        ASSERT_TRUE(s_server->start(s_data->path()));
        SoapClient client(s_server->port());
        ASSERT_EQ(client.logon("alice"), "alice");
    }
    static void TearDownTestSuite()
    {
        s_server.reset();
        s_data.reset();
    }
    static std::unique_ptr<TempDir> s_data;
    static std::unique_ptr<ServerProcess> s_server;
};

std::unique_ptr<TempDir> BadRequests::s_data;
std::unique_ptr<ServerProcess> BadRequests::s_server;

// What strict XML parsers refuse and pugixml lets through: control characters other
// than tab, LF and CR, raw or as references, and U+FFFE and U+FFFF.
bool strictParsersAccept(const std::string &xml)
{
    for (std::size_t i = 0; i < xml.size(); ++i) {
        const auto u = static_cast<unsigned char>(xml[i]);
        if (u < 0x20 && xml[i] != '\t' && xml[i] != '\n' && xml[i] != '\r')
            return false;
        if (u == 0xEF && xml.compare(i, 2, "\xEF\xBF") == 0 && i + 2 < xml.size() &&
            (static_cast<unsigned char>(xml[i + 2]) & 0xFE) == 0xBE)
            return false;
        if (xml.compare(i, 2, "&#") == 0) {
            const bool hex = i + 2 < xml.size() && (xml[i + 2] == 'x' || xml[i + 2] == 'X');
            const long cp = std::strtol(xml.c_str() + i + (hex ? 3 : 2), nullptr, hex ? 16 : 10);
            if ((cp < 0x20 && cp != 9 && cp != 10 && cp != 13) || cp == 0xFFFE || cp == 0xFFFF)
                return false;
        }
    }
    return true;
}

std::string createFolder(const std::string &rawName, const std::string &comment = "")
{
    return envelope("CreateFolder", {{"UserID", "alice"},
                                     {"ParentPath", ""},
                                     {"#raw", "<FolderName>" + rawName + "</FolderName>"},
                                     {"Comment", comment},
                                     {"IsPrivate", "false"}});
}

std::string nested(int depth)
{
    std::string open;
    std::string close;
    for (int i = 0; i < depth; ++i) {
        open += "<n>";
        close += "</n>";
    }
    return open + close;
}

std::string repeated(const std::string &element, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += element;
    return text;
}

TEST_P(BadRequests, AreAnsweredWithAClientFaultAndChangeNothing)
{
    SoapClient client(s_server->port());
    const Reply reply = client.post(GetParam().body, GetParam().action);
    EXPECT_EQ(reply.status, 500);
    EXPECT_TRUE(strictParsersAccept(reply.body)) << reply.body;
    EXPECT_EQ(value(reply.body, "soap:Fault/faultcode"), "soap:Client");
    EXPECT_NE(faultString(reply.body).find(GetParam().expectedFault), std::string::npos)
        << faultString(reply.body);
    // Nothing half-written: no file appeared, no upload is pending.
    EXPECT_TRUE(rows(client.call("GetFileList", {{"UserID", "alice"}, {"ParentPath", ""}}).body,
                     "GetFileListResponse/GetFileListResult")
                    .empty());
    EXPECT_TRUE(rows(client.call("GetFolderList", {{"UserID", "alice"}, {"ParentPath", ""}}).body,
                     "GetFolderListResponse/GetFolderListResult")
                    .empty());
    EXPECT_TRUE(std::filesystem::is_empty(s_data->path() / "uploads"));
}

const std::string kListFiles = envelope("GetFileList", {{"UserID", "alice"}, {"ParentPath", ""}});

INSTANTIATE_TEST_SUITE_P(
    Rows, BadRequests,
    testing::Values(
        BadRequestRow{"EmptyBody", "", soapAction("GetFileList"), "not well-formed"},
        BadRequestRow{"TruncatedEnvelope", kListFiles.substr(0, kListFiles.size() - 20),
                      soapAction("GetFileList"), "not well-formed"},
        BadRequestRow{"NotAnEnvelope", "<?xml version=\"1.0\"?><GetFileList/>",
                      soapAction("GetFileList"), "not a SOAP envelope"},
        BadRequestRow{"NoBody", "<soap:Envelope xmlns:soap=\"x\"></soap:Envelope>",
                      soapAction("GetFileList"), "no body"},
        BadRequestRow{"EmptyBodyElement",
                      "<soap:Envelope xmlns:soap=\"x\"><soap:Body></soap:Body></soap:Envelope>",
                      soapAction("GetFileList"), "names no operation"},
        BadRequestRow{"UnknownOperation", envelope("Format", {{"UserID", "alice"}}),
                      soapAction("Format"), "no operation \"Format\""},
        BadRequestRow{"MissingElement", envelope("GetFileList", {{"UserID", "alice"}}),
                      soapAction("GetFileList"), "no \"ParentPath\" element"},
        BadRequestRow{"MissingUserId", envelope("GetFileList", {{"ParentPath", ""}}),
                      soapAction("GetFileList"), "no \"UserID\" element"},
        BadRequestRow{"WrongSoapAction", kListFiles, soapAction("GetFolderList"),
                      "does not name the operation"},
        BadRequestRow{"ForeignSoapActionNamespace", kListFiles,
                      "\"http://example.org/GetFileList\"", "does not name the operation"},
        BadRequestRow{"NoSoapAction", kListFiles, "", "does not name the operation"},
        BadRequestRow{"NotUtf8",
                      envelope("GetFileList", {{"UserID", "alice"}, {"ParentPath", "\xff\xfe"}}),
                      soapAction("GetFileList"), "not valid UTF-8"},
        BadRequestRow{"InvalidBase64", addWithData("<Data><string>YW*j</string></Data>"),
                      soapAction("AddFile"), "not valid base64"},
        BadRequestRow{"MissingData", addWithData(""), soapAction("AddFile"), "no \"Data\" element"},
        BadRequestRow{"BooleanNotBoolean",
                      envelope("GetItemCount",
                               {{"UserID", "alice"}, {"FilePath", ""}, {"IsSubFolder", "yes"}}),
                      soapAction("GetItemCount"), "not true or false"},
        BadRequestRow{
            "IntegerNotInteger",
            envelope("GetFile",
                     {{"UserID", "alice"}, {"FilePath", "x"}, {"Version", "1x"}, {"Offset", "0"}}),
            soapAction("GetFile"), "not a whole number"},
        BadRequestRow{"ControlCharacterInComment",
                      envelope("CreateFolder", {{"UserID", "alice"},
                                                {"ParentPath", ""},
                                                {"FolderName", "f"},
                                                {"Comment", "a\x01"},
                                                {"IsPrivate", "false"}}),
                      soapAction("CreateFolder"), "U+0001, which XML does not allow"},
        BadRequestRow{"ControlCharacterReferenceThatAFaultWouldEcho",
                      envelope("GetFileList",
                               {{"UserID", "alice"}, {"#raw", "<ParentPath>A&#1;B</ParentPath>"}}),
                      soapAction("GetFileList"), "U+0001, which XML does not allow"},
        BadRequestRow{"RawControlCharacterInAPath",
                      envelope("GetFileList", {{"UserID", "alice"},
                                               {"ParentPath", "A\x02"
                                                              "B"}}),
                      soapAction("GetFileList"), "U+0002"},
        BadRequestRow{"NulReferenceThatWouldCutTheName", createFolder("abc&#0;def"),
                      soapAction("CreateFolder"), "U+0000"},
        BadRequestRow{"HexNulReference", createFolder("abc&#x00;def"), soapAction("CreateFolder"),
                      "U+0000"},
        BadRequestRow{"NoncharacterReference", createFolder("a&#xFFFF;"),
                      soapAction("CreateFolder"), "U+FFFF"},
        BadRequestRow{"RawNoncharacter", createFolder("a\xEF\xBF\xBE"), soapAction("CreateFolder"),
                      "U+FFFE"},
        BadRequestRow{
            "TooManyElements",
            envelope("GetFileList",
                     {{"UserID", "alice"}, {"ParentPath", ""}, {"#raw", repeated("<e/>", 5000)}}),
            soapAction("GetFileList"), "more than 4096 elements"},
        BadRequestRow{"NestedTooDeep",
                      envelope("GetFileList",
                               {{"UserID", "alice"}, {"ParentPath", ""}, {"#raw", nested(40)}}),
                      soapAction("GetFileList"), "deeper than 32 levels"},
        BadRequestRow{"CommentTooLong", createFolder("f", std::string(4001, 'c')),
                      soapAction("CreateFolder"), "longer than the 4000 characters"},
        BadRequestRow{"WorkFolderPathTooLong",
                      envelope("SetWorkFolderPath", {{"UserID", "alice"},
                                                     {"SelectPath", ""},
                                                     {"WorkFolderPath", std::string(1025, 'w')}}),
                      soapAction("SetWorkFolderPath"), "longer than the 1024 characters"},
        BadRequestRow{"PcNameTooLong",
                      envelope("Logon", {{"UserID", "alice"},
                                         {"PC", std::string(256, 'p')},
                                         {"LogonUserID", "alice"},
                                         {"IPAddress", "1.2.3.4"}}),
                      soapAction("Logon"), "longer than the 255 characters"},
        BadRequestRow{"IpAddressTooLong",
                      envelope("Logon", {{"UserID", "alice"},
                                         {"PC", "pc"},
                                         {"LogonUserID", "alice"},
                                         {"IPAddress", std::string(65, '1')}}),
                      soapAction("Logon"), "longer than the 64 characters"},
        BadRequestRow{
            "ServerPathTooLong",
            envelope("GetFileList", {{"UserID", "alice"}, {"ParentPath", std::string(4097, 'x')}}),
            soapAction("GetFileList"), "longer than the 4096 characters"}),
    [](const auto &rowInfo) { return std::string(rowInfo.param.name); });

TEST(BadRequestsHttp, OversizedBodiesWrongPathsAndMethodsGetA4xxAndTheServerGoesOn)
{
    TempDir data;
    ServerProcess server;
    ASSERT_TRUE(server.start(data.path()));
    SoapClient client(server.port());
    ASSERT_EQ(client.logon("alice"), "alice");

    const std::string huge =
        addWithData("<Data><string>" + std::string(17 * 1024 * 1024, 'A') + "</string></Data>");
    EXPECT_EQ(client.post(huge, soapAction("AddFile")).status, 413);
    EXPECT_EQ(client.post(kListFiles, soapAction("GetFileList"), "/Other.asmx").status, 404);
    EXPECT_EQ(client.get("/Service.asmx").status, 405);

    SoapClient fresh(server.port());
    EXPECT_EQ(fresh.call("GetFileList", {{"UserID", "alice"}, {"ParentPath", ""}}).status, 200);
    EXPECT_TRUE(std::filesystem::is_empty(data.path() / "uploads"));
}

TEST(BadRequestsHttp, PrefixedRequestElementsAreUnderstood)
{
    TempDir data;
    ServerProcess server;
    ASSERT_TRUE(server.start(data.path()));
    SoapClient client(server.port());
    const std::string body =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><s:Envelope "
        "xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body>"
        "<q:Logon xmlns:q=\"http://quellvane.example/webservices/\"><q:UserID></q:UserID>"
        "<q:PC>pc</q:PC><q:LogonUserID>carol</q:LogonUserID><q:IPAddress>0.0.0.0</q:IPAddress>"
        "</q:Logon></s:Body></s:Envelope>";
    const Reply reply = client.post(body, soapAction("Logon"));
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(value(reply.body, "LogonResponse/LogonResult"), "carol");
}

} // namespace

namespace {

// Seeded random damage to valid requests: every answer is a fault or a success, never
// a dropped connection, and the server keeps serving.
TEST(BadRequestsHttp, DamagedEnvelopesNeverBreakTheServer)
{
    TempDir data;
    ServerProcess server;
    ASSERT_TRUE(server.start(data.path()));
    SoapClient client(server.port());
    ASSERT_EQ(client.logon("alice"), "alice");
    const std::vector<std::pair<std::string, std::string>> originals = {
        {"AddFile",
         addWithData("<Data><string>" + clientBase64(randomBytes(3000, 9)) + "</string></Data>")},
        {"GetFileList", kListFiles},
        {"CreateFolder", envelope("CreateFolder", {{"UserID", "alice"},
                                                   {"ParentPath", ""},
                                                   {"FolderName", "f"},
                                                   {"Comment", "c"},
                                                   {"IsPrivate", "true"}})}};
    std::mt19937 random(1234);
    for (int round = 0; round < 300; ++round) {
        const auto &[operation, original] = originals[random() % originals.size()];
        std::string damaged = original;
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = random() % damaged.size();
            switch (random() % 3) {
            case 0:
                damaged[at] = static_cast<char>(random() & 0xFF);
                break;
            case 1:
                damaged.erase(at, 1 + random() % 8);
                break;
            default:
                damaged.insert(at, 1, "<>&\"'/=x\\"[random() % 9]);
            }
        }
        const Reply reply = client.post(damaged, soapAction(operation));
        ASSERT_TRUE(reply.status == 200 || reply.status == 500) << "round " << round;
        if (reply.status == 500) {
            ASSERT_TRUE(value(reply.body, "soap:Fault/faultstring").has_value())
                << "round " << round;
        }
    }
    EXPECT_EQ(client.call("GetFolderList", {{"UserID", "alice"}, {"ParentPath", ""}}).status, 200);
}

} // namespace
