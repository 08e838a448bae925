#include <platform/base64.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> bytesOf(std::string_view s)
{
    return {s.begin(), s.end()};
}

std::vector<std::uint8_t> randomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> bytes(n);
    for (auto &b : bytes)
        b = static_cast<std::uint8_t>(rng());
    return bytes;
}

struct EncodeRow
{
    const char *name;
    std::string input;
    std::string text;
};

void PrintTo(const EncodeRow &row, std::ostream *os)
{
    *os << row.name;
}

class Base64EncodeTable : public testing::TestWithParam<EncodeRow>
{
};

TEST_P(Base64EncodeTable, EncodesToServiceText)
{
    const EncodeRow &row = GetParam();
    EXPECT_EQ(platform::base64Encode(bytesOf(row.input)), row.text);
}

const std::string kLineOfA(76, 'A'); // 57 zero bytes

INSTANTIATE_TEST_SUITE_P(
    Rows, Base64EncodeTable,
    testing::Values(EncodeRow{"Empty", "", ""}, EncodeRow{"OneByte", "f", "Zg=="},
                    EncodeRow{"TwoBytes", "fo", "Zm8="}, EncodeRow{"ThreeBytes", "foo", "Zm9v"},
                    EncodeRow{"SixBytes", "foobar", "Zm9vYmFy"},
                    EncodeRow{"HighBits", "\xfb\xff\xbf", "+/+/"},
                    EncodeRow{"OneLineEndsWithCrLf", std::string(57, '\0'), kLineOfA + "\r\n"},
                    EncodeRow{"OneByteShortOfLineHasNoCrLf", std::string(56, '\0'),
                              std::string(72, 'A') + "AAA="},
                    EncodeRow{"OneByteOverLine", std::string(58, '\0'), kLineOfA + "\r\nAA=="},
                    EncodeRow{"TwoLinesEachEndWithCrLf", std::string(114, '\0'),
                              kLineOfA + "\r\n" + kLineOfA + "\r\n"}),
    [](const auto &row) { return std::string(row.param.name); });

// The layout rule checked on every length up to a few lines: lines of 76 characters with
// CR LF between them, and a CR LF at the very end only for a multiple of 57 bytes.
TEST(Base64Layout, LinesOf76WithCrLfOnlyBetweenAndAfterWholeLines)
{
    for (std::size_t n = 1; n <= 400; ++n) {
        const std::string text = platform::base64Encode(randomBytes(n, 7));
        ASSERT_EQ(text.size(), platform::base64EncodedLength(n)) << n;
        const bool endsWithBreak = text.size() >= 2 && text.ends_with("\r\n");
        EXPECT_EQ(endsWithBreak, n % 57 == 0) << n;
        std::size_t lineStart = 0;
        for (std::size_t pos = text.find("\r\n"); pos != std::string::npos;
             pos = text.find("\r\n", lineStart)) {
            EXPECT_EQ(pos - lineStart, 76u) << "n=" << n << " line at " << lineStart;
            lineStart = pos + 2;
        }
        EXPECT_LE(text.size() - lineStart, 76u) << n;
        EXPECT_LT(text.size(), platform::base64RequiredLength(n)) << n;
    }
}

TEST(Base64Layout, RequiredLengthOfFullUploadChunk)
{
    EXPECT_EQ(platform::base64RequiredLength(120000), 164212u);
}

TEST(Base64Layout, RefusesBufferOneShortOfRequiredLength)
{
    const auto bytes = randomBytes(120000, 3);
    std::vector<char> out(platform::base64RequiredLength(bytes.size()));
    const std::vector<char> untouched(out.size(), '\x55');
    out = untouched;
    EXPECT_FALSE(platform::base64Encode(bytes, std::span<char>(out.data(), out.size() - 1)));
    EXPECT_EQ(out, untouched);
    EXPECT_EQ(platform::base64Encode(bytes, out), platform::base64EncodedLength(bytes.size()));
}

struct DecodeRow
{
    const char *name;
    std::string text;
    std::optional<std::string> bytes;
};

void PrintTo(const DecodeRow &row, std::ostream *os)
{
    *os << row.name;
}

class Base64DecodeTable : public testing::TestWithParam<DecodeRow>
{
};

TEST_P(Base64DecodeTable, DecodesServiceText)
{
    const DecodeRow &row = GetParam();
    EXPECT_EQ(platform::base64Decode(row.text), row.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Base64DecodeTable,
    testing::Values(DecodeRow{"Empty", "", std::string()},
                    DecodeRow{"OnlyLineBreaks", "\r\n\r\n", std::string()},
                    DecodeRow{"Padded", "Zm9vYg==", std::string("foob")},
                    DecodeRow{"TwoCharactersGiveOneByte", "Zg", std::string("f")},
                    DecodeRow{"ThreeCharactersGiveTwoBytes", "Zm8", std::string("fo")},
                    DecodeRow{"CrLfBlanksAndTabsSkipped", "Zm\r\n9v Ym\tFy", std::string("foobar")},
                    DecodeRow{"PaddingInsideSkipped", "Zg==Zg==", std::string("f\x06\x60")},
                    DecodeRow{"ForeignCharactersSkipped", "Z*m-9.v", std::string("foo")},
                    DecodeRow{"DanglingCharacterRefused", "Zm9vY", std::nullopt},
                    DecodeRow{"HighBits", "+/+/", std::string("\xfb\xff\xbf")}),
    [](const auto &row) { return std::string(row.param.name); });

// A download child's text arrives in pieces of any size; the bytes must not depend on where
// the pieces are cut, including cuts inside a group and between CR and LF.
TEST(Base64Decoder, SameBytesWhereverTheTextIsCut)
{
    const auto bytes = randomBytes(300, 11);
    const std::string text = platform::base64Encode(bytes);
    for (std::size_t piece = 1; piece <= 9; ++piece) {
        platform::Base64Decoder decoder;
        std::vector<std::uint8_t> out;
        std::vector<std::uint8_t> buffer(platform::Base64Decoder::maxOutput(piece));
        for (std::size_t at = 0; at < text.size(); at += piece) {
            const std::string_view part = std::string_view(text).substr(at, piece);
            const std::size_t got = decoder.feed(part, buffer.data());
            ASSERT_LE(got, buffer.size());
            out.insert(out.end(), buffer.begin(), buffer.begin() + got);
        }
        const auto tail = decoder.finish(buffer.data());
        ASSERT_TRUE(tail);
        out.insert(out.end(), buffer.begin(), buffer.begin() + *tail);
        EXPECT_EQ(out, bytes) << "piece " << piece;
    }
}

TEST(Base64Decoder, RoundTripsEveryLengthUpToSeveralLines)
{
    for (std::size_t n = 0; n <= 400; ++n) {
        const auto bytes = randomBytes(n, static_cast<unsigned>(n));
        const auto decoded = platform::base64Decode(platform::base64Encode(bytes));
        ASSERT_TRUE(decoded) << n;
        EXPECT_EQ(std::vector<std::uint8_t>(decoded->begin(), decoded->end()), bytes) << n;
    }
}

TEST(Base64Decoder, ReadyForNextTextAfterRefusedOne)
{
    platform::Base64Decoder decoder;
    std::uint8_t out[8] = {};
    EXPECT_EQ(decoder.feed("Zm9vY", out), 3u);
    EXPECT_FALSE(decoder.finish(out));
    EXPECT_EQ(decoder.feed("Zg", out), 0u);
    EXPECT_EQ(decoder.finish(out), 1u);
    EXPECT_EQ(out[0], 'f');
}

} // namespace
