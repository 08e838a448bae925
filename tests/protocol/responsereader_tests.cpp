#include "testhelpers.h"

#include <protocol/recordreader.h>
#include <protocol/responsereader.h>
#include <scriptedserver.h>

#include <gtest/gtest.h>

#include <optional>

namespace {

using platform::ResultCode;
using testsupport::soapEnvelope;

constexpr std::string_view kPath = "LogonResponse/LogonResult";

struct ReaderRow
{
    const char *name;
    std::string body;
    int status;
    ResultCode load;
    std::int64_t rows;                // rowCount(kPath) after the load
    std::optional<std::string> value; // value(kPath, 0)
};

void PrintTo(const ReaderRow &r, std::ostream *os)
{
    *os << r.name;
}

class ReaderAnswers : public ::testing::TestWithParam<ReaderRow>
{
};

TEST_P(ReaderAnswers, LoadAndQueries)
{
    const ReaderRow &row = GetParam();
    platform::TempFile response = testhelpers::fileWith(row.body);
    {
        protocol::ResponseReader reader(response);
        EXPECT_EQ(reader.load(row.status), row.load);
        EXPECT_EQ(reader.rowCount(kPath), row.rows);
        EXPECT_EQ(reader.value(kPath, 0), row.value);
    }
    // Only the response file itself is left; the reader's copy is gone.
    EXPECT_EQ(testhelpers::zemFiles().size(), 1u);
}

std::string logon(std::string_view inner)
{
    return soapEnvelope("<LogonResponse xmlns=\"http://quellvane.example/webservices/\">" +
                        std::string(inner) + "</LogonResponse>");
}

const std::string kUpperProlog = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a/>";
const std::string kBom = "\xEF\xBB\xBF" + logon("<LogonResult>x</LogonResult>");

INSTANTIATE_TEST_SUITE_P(
    Values, ReaderAnswers,
    ::testing::Values(
        ReaderRow{"Success", logon("<LogonResult>abc</LogonResult>"), 200, 0, 1, "abc"},
        ReaderRow{"EmptyResultElement", logon("<LogonResult/>"), 200, 0, 0, std::nullopt},
        ReaderRow{"EmptyResultElementWithEndTag", logon("<LogonResult></LogonResult>"), 200, 0, 0,
                  std::nullopt},
        ReaderRow{"MissingResultElement", logon(""), 200, 0, -1, std::nullopt},
        ReaderRow{"NoSoapBody",
                  "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
                  "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"/>",
                  200, 0, -1, std::nullopt},
        ReaderRow{"UnprefixedEnvelopeIsNotMatched",
                  "<?xml version=\"1.0\" encoding=\"utf-8\"?><Envelope><Body><LogonResponse>"
                  "<LogonResult>x</LogonResult></LogonResponse></Body></Envelope>",
                  200, 0, -1, std::nullopt},
        ReaderRow{"NonAsciiText",
                  logon("<LogonResult>Gr\xC3\xBC\xC3\x9F"
                        "e \xE2\x9C\x93</LogonResult>"),
                  200, 0, 1,
                  "Gr\xC3\xBC\xC3\x9F"
                  "e \xE2\x9C\x93"},
        ReaderRow{"EntitiesDecoded", logon("<LogonResult>a &amp; b &lt;c&gt;</LogonResult>"), 200,
                  0, 1, "a & b <c>"},
        ReaderRow{"CdataText", logon("<LogonResult><![CDATA[<raw>]]></LogonResult>"), 200, 0, 1,
                  "<raw>"},
        ReaderRow{"IndentedRowsCountOnlyTheElements",
                  logon("<LogonResult>\r\n  <s>one</s>\r\n  <s>two</s>\r\n</LogonResult>"), 200, 0,
                  2, "one"},
        ReaderRow{"ChildElementText", logon("<LogonResult><s>one</s><s>two</s></LogonResult>"), 200,
                  0, 2, "one"},
        ReaderRow{"UpperCaseEncodingRefused", kUpperProlog, 200,
                  static_cast<ResultCode>(0x800C00C8u), -1, std::nullopt},
        ReaderRow{"ByteOrderMarkRefused", kBom, 500, static_cast<ResultCode>(0x800C01F4u), -1,
                  std::nullopt},
        ReaderRow{"SingleQuotedPrologRefused", "<?xml version='1.0' encoding='utf-8'?><a/>", 200,
                  static_cast<ResultCode>(0x800C00C8u), -1, std::nullopt},
        ReaderRow{"HtmlErrorPage", "<html><body>Server Error</body></html>", 500,
                  static_cast<ResultCode>(0x800C01F4u), -1, std::nullopt},
        ReaderRow{"EmptyBody", "", 200, static_cast<ResultCode>(0x800C00C8u), -1, std::nullopt},
        ReaderRow{"BodyShorterThanProlog", "<?xml version=\"1.0\"", 200,
                  static_cast<ResultCode>(0x800C00C8u), -1, std::nullopt},
        ReaderRow{"PrologThenGarbage", "<?xml version=\"1.0\" encoding=\"utf-8\"?><a><b></a>", 200,
                  platform::kUnspecifiedFailure, -1, std::nullopt},
        ReaderRow{"PrologOnly", "<?xml version=\"1.0\" encoding=\"utf-8\"?>", 200,
                  platform::kUnspecifiedFailure, -1, std::nullopt}),
    testhelpers::RowName());

TEST(ResponseReader, FindsThePathBelowALaterMatchOfItsFirstStep)
{
    // "a/b" selects the first b below any a, as an XPath location path does.
    platform::TempFile response =
        testhelpers::fileWith(soapEnvelope("<a><c>1</c></a><a><b>found</b></a>"));
    protocol::ResponseReader reader(response);
    ASSERT_EQ(reader.load(200), 0);
    EXPECT_EQ(reader.value("a/b", 0), "found");
    EXPECT_EQ(reader.text("a/c"), "1");
}

TEST(ResponseReader, VisitsEveryChildsTextPiecesInOrder)
{
    platform::TempFile response = testhelpers::fileWith(soapEnvelope(
        "<R><Data><string>QUJD</string><string>RE<![CDATA[VG]]>\r\n</string><e/></Data></R>"));
    protocol::ResponseReader reader(response);
    ASSERT_EQ(reader.load(200), 0);
    std::vector<std::pair<std::size_t, std::string>> seen;
    const auto collect = [&](std::size_t child, std::string_view piece) {
        seen.emplace_back(child, std::string(piece));
        return true;
    };
    EXPECT_EQ(reader.visitChildText("R/Data", collect), 3);
    // The line break alone is whitespace between markup, not a text node.
    EXPECT_EQ(seen, (std::vector<std::pair<std::size_t, std::string>>{
                        {0, "QUJD"}, {1, "RE"}, {1, "VG"}}));
    EXPECT_EQ(reader.visitChildText("R/None", collect), -1);
    EXPECT_EQ(reader.visitChildText("R/Data", [](std::size_t, std::string_view) { return false; }),
              -2);
}

TEST(ResponseReader, DeletesItsCopyWhenDestroyedAfterAFailedParse)
{
    platform::TempFile response =
        testhelpers::fileWith("<?xml version=\"1.0\" encoding=\"utf-8\"?><broken");
    std::filesystem::path copy;
    {
        protocol::ResponseReader reader(response);
        ASSERT_EQ(reader.load(200), platform::kUnspecifiedFailure);
        EXPECT_TRUE(reader.isLoaded()); // the prolog check passed
        copy = reader.copyPath();
        EXPECT_TRUE(std::filesystem::exists(copy));
    }
    EXPECT_FALSE(std::filesystem::exists(copy));
}

TEST(ResponseReader, RowFieldOutOfRangeAndMissingFieldGiveNothing)
{
    platform::TempFile response =
        testhelpers::fileWith(soapEnvelope("<R><L><row><F>1</F></row></L></R>"));
    protocol::ResponseReader reader(response);
    ASSERT_EQ(reader.load(200), 0);
    EXPECT_EQ(reader.rowField("R/L", 0, "F"), "1");
    EXPECT_EQ(reader.rowField("R/L", 0, "G"), std::nullopt);
    EXPECT_EQ(reader.rowField("R/L", 1, "F"), std::nullopt);
    EXPECT_EQ(reader.rowField("R/M", 0, "F"), std::nullopt);
    // Switching paths and back gives the same answers.
    EXPECT_EQ(reader.rowCount("R"), 1);
    EXPECT_EQ(reader.rowField("R/L", 0, "F"), "1");
}

// --- Records built from list answers ------------------------------------------------------

std::string fileRows(std::string_view rows)
{
    return soapEnvelope("<GetFileListResponse xmlns=\"http://quellvane.example/webservices/\">"
                        "<GetFileListResult>" +
                        std::string(rows) + "</GetFileListResult></GetFileListResponse>");
}

struct FileRow
{
    const char *name;
    std::string row;
    protocol::FileItem expected;
};

void PrintTo(const FileRow &r, std::ostream *os)
{
    *os << r.name;
}

protocol::FileItem file(std::string name, std::int64_t size, std::string user = "")
{
    protocol::FileItem f;
    f.fileName = std::move(name);
    f.fileSize = size;
    f.checkoutUser = std::move(user);
    return f;
}

class FileRecords : public ::testing::TestWithParam<FileRow>
{
};

TEST_P(FileRecords, ConvertEachField)
{
    platform::TempFile response = testhelpers::fileWith(fileRows(GetParam().row));
    protocol::ResponseReader reader(response);
    ASSERT_EQ(reader.load(200), 0);
    std::vector<protocol::FileItem> list;
    ASSERT_EQ(protocol::readFileItems(reader, list), 0);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0], GetParam().expected);
}

protocol::FileItem allFields()
{
    protocol::FileItem f;
    f.fileName = "a.txt";
    f.checkoutUser = "Ann";
    f.checkoutUserId = "ann";
    f.checkoutPath = "C:\\w\\a.txt";
    f.ipAddress = "10.0.0.7";
    f.fileSize = 42;
    f.updateDate = "2024/01/02 03:04:05";
    f.checkinDate = "2024/01/01 00:00:00";
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    Values, FileRecords,
    ::testing::Values(
        FileRow{"AllFields",
                "<FileInfo><FileName>a.txt</FileName><CheckoutUser>Ann</CheckoutUser>"
                "<CheckoutUserID>ann</CheckoutUserID><CheckoutPath>C:\\w\\a.txt</CheckoutPath>"
                "<IPAddress>10.0.0.7</IPAddress><FileSize>42</FileSize>"
                "<UpdateDate>2024/01/02 03:04:05</UpdateDate>"
                "<CheckinDate>2024/01/01 00:00:00</CheckinDate></FileInfo>",
                allFields()},
        FileRow{"MissingFileSizeIsZero", "<FileInfo><FileName>a</FileName></FileInfo>",
                file("a", 0)},
        FileRow{"SizeBeyond32Bits",
                "<FileInfo><FileName>big</FileName>"
                "<FileSize>6442450944</FileSize></FileInfo>",
                file("big", 6442450944LL)},
        FileRow{"SizeNotANumber", "<FileInfo><FileSize>n/a</FileSize></FileInfo>", file("", 0)},
        FileRow{"SizeWithTrailingText", "<FileInfo><FileSize> 12kB</FileSize></FileInfo>",
                file("", 12)},
        FileRow{"FieldsInAnyOrder",
                "<FileInfo><CheckoutUser>Bo</CheckoutUser>"
                "<FileName>z</FileName><FileSize>7</FileSize></FileInfo>",
                file("z", 7, "Bo")},
        FileRow{"EmptyRowElement", "<FileInfo/>", file("", 0)}),
    testhelpers::RowName());

struct FolderRow
{
    const char *name;
    std::string isPrivate; // element text, or "-" for no element
    std::uint32_t expected;
};

void PrintTo(const FolderRow &r, std::ostream *os)
{
    *os << r.name;
}

class FolderPrivateFlag : public ::testing::TestWithParam<FolderRow>
{
};

TEST_P(FolderPrivateFlag, IsOneOnlyForTrueInAnyCase)
{
    const std::string flag =
        GetParam().isPrivate == "-" ? "" : "<IsPrivate>" + GetParam().isPrivate + "</IsPrivate>";
    platform::TempFile response = testhelpers::fileWith(soapEnvelope(
        "<GetFolderListResponse><GetFolderListResult><FolderInfo><FolderName>F</FolderName>"
        "<WorkFolderName>/w/F</WorkFolderName><Comment>c</Comment>" +
        flag + "</FolderInfo></GetFolderListResult></GetFolderListResponse>"));
    protocol::ResponseReader reader(response);
    ASSERT_EQ(reader.load(200), 0);
    std::vector<protocol::FolderItem> list;
    ASSERT_EQ(protocol::readFolderItems(reader, list), 0);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0], (protocol::FolderItem{"F", "/w/F", GetParam().expected, "c"}));
}

INSTANTIATE_TEST_SUITE_P(Values, FolderPrivateFlag,
                         ::testing::Values(FolderRow{"Lower", "true", 1},
                                           FolderRow{"Capitals", "TRUE", 1},
                                           FolderRow{"Mixed", "True", 1},
                                           FolderRow{"False", "false", 0}, FolderRow{"One", "1", 0},
                                           FolderRow{"TrueWithBlank", "true ", 0},
                                           FolderRow{"Missing", "-", 0}),
                         testhelpers::RowName());

struct DeletedRow
{
    const char *name;
    std::string type; // "-" for no element
    protocol::DeletedItem::Type expected;
};

void PrintTo(const DeletedRow &r, std::ostream *os)
{
    *os << r.name;
}

class DeletedType : public ::testing::TestWithParam<DeletedRow>
{
};

TEST_P(DeletedType, IsFolderOnlyForOne)
{
    const std::string type = GetParam().type == "-" ? "" : "<Type>" + GetParam().type + "</Type>";
    platform::TempFile response = testhelpers::fileWith(
        soapEnvelope("<GetDeletedListResponse><GetDeletedListResult><DeletedInfo><Name>n</Name>" +
                     type + "</DeletedInfo></GetDeletedListResult></GetDeletedListResponse>"));
    protocol::ResponseReader reader(response);
    ASSERT_EQ(reader.load(200), 0);
    std::vector<protocol::DeletedItem> list;
    ASSERT_EQ(protocol::readDeletedItems(reader, list), 0);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0], (protocol::DeletedItem{"n", GetParam().expected}));
}

using T = protocol::DeletedItem::Type;
INSTANTIATE_TEST_SUITE_P(Values, DeletedType,
                         ::testing::Values(DeletedRow{"Zero", "0", T::File},
                                           DeletedRow{"One", "1", T::Folder},
                                           DeletedRow{"Two", "2", T::File},
                                           DeletedRow{"OneWithBlank", " 1", T::File},
                                           DeletedRow{"Missing", "-", T::File}),
                         testhelpers::RowName());

TEST(HistoryRecords, KeepRowOrderAndAppendToTheCallersList)
{
    platform::TempFile response = testhelpers::fileWith(soapEnvelope(
        "<GetHistoryListResponse><GetHistoryListResult>"
        "<H><Version>3</Version><FileName>a</FileName><FileID>id3</FileID>"
        "<UpdateDate>d3</UpdateDate><UpdateUser>u</UpdateUser><Comment>third</Comment></H>"
        "<H><Version>x</Version><FileName>a</FileName></H>"
        "</GetHistoryListResult></GetHistoryListResponse>"));
    protocol::ResponseReader reader(response);
    ASSERT_EQ(reader.load(200), 0);
    std::vector<protocol::HistoryItem> list(1);
    ASSERT_EQ(protocol::readHistoryItems(reader, list), 0);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0], protocol::HistoryItem{});
    EXPECT_EQ(list[1], (protocol::HistoryItem{"a", "id3", "d3", "u", 3, "third"}));
    EXPECT_EQ(list[2], (protocol::HistoryItem{"a", "", "", "", 0, ""}));
}

TEST(ListRecords, MissingResultElementAppendsNothing)
{
    platform::TempFile response = testhelpers::fileWith(soapEnvelope("<Other/>"));
    protocol::ResponseReader reader(response);
    ASSERT_EQ(reader.load(200), 0);
    std::vector<protocol::FileItem> files(2);
    std::vector<protocol::FolderItem> folders;
    EXPECT_EQ(protocol::readFileItems(reader, files), platform::kMissingResult);
    EXPECT_EQ(protocol::readFolderItems(reader, folders), platform::kMissingResult);
    EXPECT_EQ(files.size(), 2u);
    EXPECT_TRUE(folders.empty());
}

} // namespace
