#include "testhelpers.h"

#include <protocol/envelopewriter.h>

#include <gtest/gtest.h>

namespace {

struct EscapeRow
{
    const char *name;
    std::string value;
    std::string written;
};

void PrintTo(const EscapeRow &r, std::ostream *os)
{
    *os << r.name;
}

class EscapeXml : public ::testing::TestWithParam<EscapeRow>
{
};

TEST_P(EscapeXml, WritesEntityReferencesForAmpersandAndAngleBrackets)
{
    EXPECT_EQ(protocol::escapeXml(GetParam().value), GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(
    Values, EscapeXml,
    ::testing::Values(EscapeRow{"Plain", "Docs\\Plans", "Docs\\Plans"},
                      EscapeRow{"Ampersand", "R&D", "R&amp;D"},
                      EscapeRow{"AngleBrackets", "<b>x</b>", "&lt;b&gt;x&lt;/b&gt;"},
                      EscapeRow{"AlreadyAnEntity", "&amp;", "&amp;amp;"},
                      EscapeRow{"QuotesStay", "say \"hi\" 'x'", "say \"hi\" 'x'"},
                      EscapeRow{"Utf8Unchanged",
                                "Gr\xC3\xBC\xC3\x9F"
                                "e \xE2\x9C\x93",
                                "Gr\xC3\xBC\xC3\x9F"
                                "e \xE2\x9C\x93"},
                      EscapeRow{"Empty", "", ""}),
    testhelpers::RowName());

TEST(EnvelopeWriter, WritesOneOperationWithoutAnyWhitespace)
{
    platform::TempFile f;
    ASSERT_EQ(platform::TempFile::create(f), 0);
    protocol::EnvelopeWriter w(f);
    ASSERT_EQ(w.beginEnvelope(), 0);
    ASSERT_EQ(w.beginOperation("Rename"), 0);
    ASSERT_EQ(w.element("UserID", "u&1"), 0);
    ASSERT_EQ(w.raw("<Data>"), 0);
    ASSERT_EQ(w.element("string", "QUJD"), 0);
    ASSERT_EQ(w.raw("</Data>"), 0);
    ASSERT_EQ(w.element("Comment", ""), 0);
    ASSERT_EQ(w.endOperation("Rename"), 0);
    ASSERT_EQ(w.endEnvelope(), 0);

    EXPECT_EQ(testhelpers::readAll(f.path()),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
              "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\""
              " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
              " xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"><soap:Body>"
              "<Rename xmlns=\"http://quellvane.example/webservices/\">"
              "<UserID>u&amp;1</UserID><Data><string>QUJD</string></Data><Comment></Comment>"
              "</Rename></soap:Body></soap:Envelope>");
}

TEST(EnvelopeWriter, EscapesAValueLongerThanOneWriteSlice)
{
    // A value longer than the writer's internal slices, with entities across slice edges.
    std::string value;
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        value += "a&<";
        expected += "a&amp;&lt;";
    }
    platform::TempFile f;
    ASSERT_EQ(platform::TempFile::create(f), 0);
    ASSERT_EQ(protocol::EnvelopeWriter(f).element("Comment", value), 0);
    EXPECT_EQ(testhelpers::readAll(f.path()), "<Comment>" + expected + "</Comment>");
}

TEST(EnvelopeWriter, WriteOnClosedFileFails)
{
    platform::TempFile closed;
    EXPECT_LT(protocol::EnvelopeWriter(closed).beginEnvelope(), 0);
}

} // namespace
