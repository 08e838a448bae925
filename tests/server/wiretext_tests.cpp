#include "base64.h"
#include "wiretext.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct Base64Row
{
    const char *name;
    std::string text;
    bool valid;
    std::string bytes;
};

void PrintTo(const Base64Row &row, std::ostream *os)
{
    *os << row.name;
}

class Base64Decode : public testing::TestWithParam<Base64Row>
{
};

TEST_P(Base64Decode, GivesTheBytesOrRefuses)
{
    std::string out;
    const bool ok = server::decodeBase64(GetParam().text, out);
    ASSERT_EQ(ok, GetParam().valid);
    if (ok) {
        EXPECT_EQ(out, GetParam().bytes);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Base64Decode,
    testing::Values(Base64Row{"Empty", "", true, ""}, Base64Row{"OnePadded", "Zg==", true, "f"},
                    Base64Row{"TwoPadded", "Zm8=", true, "fo"},
                    Base64Row{"Full", "Zm9vYmFy", true, "foobar"},
                    Base64Row{"Unpadded", "Zm9vYg", true, "foob"},
                    Base64Row{"ClientLineBreaks", "Zm9v\r\nYmFy\r\n", true, "foobar"},
                    Base64Row{"AllBytes", "AP8A/w==", true, std::string("\0\xff\0\xff", 4)},
                    Base64Row{"ForeignCharacter", "Zm9v*mFy", false, ""},
                    Base64Row{"UrlAlphabet", "Zm9v-_Fy", false, ""},
                    Base64Row{"DataAfterPadding", "Zg==Zg==", false, ""},
                    Base64Row{"DanglingCharacter", "Zm9vY", false, ""}),
    [](const auto &rowInfo) { return std::string(rowInfo.param.name); });

TEST(Base64Encode, RoundTripsEveryLength)
{
    std::string bytes;
    for (int length = 0; length < 200; ++length) {
        std::string decoded;
        ASSERT_TRUE(server::decodeBase64(server::encodeBase64(bytes), decoded));
        ASSERT_EQ(decoded, bytes) << "length " << length;
        bytes += static_cast<char>(length * 37 + 11);
    }
    EXPECT_EQ(server::encodeBase64("foob"), "Zm9vYg==");
}

struct NameRow
{
    const char *name;
    std::string text;
    bool valid;
};

void PrintTo(const NameRow &row, std::ostream *os)
{
    *os << row.name;
}

class ItemName : public testing::TestWithParam<NameRow>
{
};

TEST_P(ItemName, IsAcceptedOnlyWhenSafe)
{
    EXPECT_EQ(server::isValidName(GetParam().text), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ItemName,
    testing::Values(NameRow{"Plain", "report.txt", true}, NameRow{"Blanks", "my file.txt", true},
                    NameRow{"NonAscii",
                            "B\xc3\xbc"
                            "cher",
                            true},
                    NameRow{"Max255Characters", std::string(255, 'a'), true},
                    NameRow{"Max255MultiByte",
                            [] {
                                std::string s;
                                for (int i = 0; i < 255; ++i)
                                    s += "\xc3\xa9";
                                return s;
                            }(),
                            true},
                    NameRow{"Empty", "", false}, NameRow{"TooLong", std::string(256, 'a'), false},
                    NameRow{"Backslash", "a\\b", false}, NameRow{"Slash", "a/b", false},
                    NameRow{"Tab", "a\tb", false}, NameRow{"Dot", ".", false},
                    NameRow{"DotDot", "..", false}, NameRow{"BrokenUtf8", "a\xc3", false}),
    [](const auto &rowInfo) { return std::string(rowInfo.param.name); });

struct TimeRow
{
    const char *name;
    std::string text;
    bool valid;
    std::string canonical;
};

void PrintTo(const TimeRow &row, std::ostream *os)
{
    *os << row.name;
}

class WireTime : public testing::TestWithParam<TimeRow>
{
};

TEST_P(WireTime, IsReadAsTheClientWritesIt)
{
    std::string canonical;
    ASSERT_EQ(server::normalizeWireTime(GetParam().text, canonical), GetParam().valid);
    if (GetParam().valid) {
        EXPECT_EQ(canonical, GetParam().canonical);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WireTime,
    testing::Values(TimeRow{"Canonical", "2026/11/30 08:15:00", true, "2026/11/30 08:15:00"},
                    TimeRow{"Unpadded", "2026/1/2 3:4:5", true, "2026/01/02 03:04:05"},
                    TimeRow{"LeapDay", "2024/02/29 00:00:00", true, "2024/02/29 00:00:00"},
                    TimeRow{"NoLeapDay", "2025/02/29 00:00:00", false, ""},
                    TimeRow{"Month13", "2026/13/01 00:00:00", false, ""},
                    TimeRow{"FiveNumbers", "2026/11/30 08:15", false, ""},
                    TimeRow{"Trailing", "2026/11/30 08:15:00 UTC", false, ""},
                    TimeRow{"IsoForm", "2026-11-30T08:15:00", false, ""},
                    TimeRow{"Empty", "", false, ""}),
    [](const auto &rowInfo) { return std::string(rowInfo.param.name); });

TEST(ServerPath, SkipsEmptyNamesSoALeadingBackslashNamesTheRoot)
{
    EXPECT_TRUE(server::splitServerPath("").empty());
    EXPECT_TRUE(server::splitServerPath("\\").empty());
    EXPECT_EQ(server::splitServerPath("\\a.txt"), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(server::splitServerPath("a\\b\\c"), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(Escaping, EscapesMarkupAndKeepsCarriageReturns)
{
    std::string out;
    server::appendEscaped(out, "a<b>&\"c\"\r\n");
    EXPECT_EQ(out, "a&lt;b&gt;&amp;&quot;c&quot;&#13;\n");
}

} // namespace

namespace {

TEST(Escaping, ReplacesWhatXmlCannotCarryWithTheReplacementCharacter)
{
    std::string out;
    server::appendEscaped(out, std::string("a\x01"
                                           "b\0c",
                                           5) +
                                   "\xEF\xBF\xBF"
                                   "d\xEF\xBF\xBD"
                                   "\t");
    EXPECT_EQ(out, "a\xEF\xBF\xBD"
                   "b\xEF\xBF\xBD"
                   "c\xEF\xBF\xBD"
                   "d\xEF\xBF\xBD"
                   "\t");
}

struct ForbiddenRow
{
    const char *name;
    std::string xml;
    long expected;
};

void PrintTo(const ForbiddenRow &row, std::ostream *os)
{
    *os << row.name;
}

class ForbiddenCharacter : public testing::TestWithParam<ForbiddenRow>
{
};

TEST_P(ForbiddenCharacter, IsFoundRawOrAsReference)
{
    EXPECT_EQ(server::firstForbiddenCharacter(GetParam().xml), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    WireText, ForbiddenCharacter,
    testing::Values(ForbiddenRow{"Plain", "<a>text &amp; &#65; &#x263A;</a>", -1},
                    ForbiddenRow{"TabLfCrAllowed", "<a>\t\r\n&#9;&#10;&#13;</a>", -1},
                    ForbiddenRow{"RawControl", "<a>\x01</a>", 1},
                    ForbiddenRow{"DecimalNul", "<a>abc&#0;def</a>", 0},
                    ForbiddenRow{"HexNulWithZeros", "<a>&#x0000;</a>", 0},
                    ForbiddenRow{"DecimalControl", "<a>A&#1;B</a>", 1},
                    ForbiddenRow{"HexNoncharacter", "<a>&#xFFFF;</a>", 0xFFFF},
                    ForbiddenRow{"RawNoncharacter", "<a>\xEF\xBF\xBE</a>", 0xFFFE},
                    ForbiddenRow{"HugeReference", "<a>&#99999999999;</a>", 0x7FFFFFFF},
                    ForbiddenRow{"MalformedReferenceLeftToTheParser", "<a>&#12x;</a>", -1},
                    ForbiddenRow{"SupplementaryAllowed", "<a>\xF0\x9F\x98\x80&#x1F600;</a>", -1}),
    [](const auto &rowInfo) { return std::string(rowInfo.param.name); });

struct KeyRow
{
    const char *name;
    std::string a;
    std::string b;
    bool same;
};

void PrintTo(const KeyRow &row, std::ostream *os)
{
    *os << row.name;
}

class NameKey : public testing::TestWithParam<KeyRow>
{
};

TEST_P(NameKey, ComparesWithoutCase)
{
    EXPECT_EQ(server::sameName(GetParam().a, GetParam().b), GetParam().same);
}

INSTANTIATE_TEST_SUITE_P(WireText, NameKey,
                         testing::Values(KeyRow{"Ascii", "Docs\\Read.Me", "docs\\READ.me", true},
                                         KeyRow{"Different", "a.txt", "b.txt", false},
                                         KeyRow{"Umlaut", "\xC3\x84rger", "\xC3\xA4RGER", true},
                                         KeyRow{"SharpSStaysItself",
                                                "stra\xC3\x9F"
                                                "e",
                                                "STRASSE", false},
                                         KeyRow{"AccentMatters", "cafe", "caf\xC3\xA9", false}),
                         [](const auto &rowInfo) { return std::string(rowInfo.param.name); });

} // namespace
