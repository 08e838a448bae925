#include "base64.h"

#include "platform/check.h"

#include <array>
#include <cstring>

// Table-driven base64 in the manner of the classic "modp_b64": the encoder looks up two
// output characters per 12 input bits, and the decoder ORs four pre-shifted table entries so
// that one test catches any character outside the alphabet. Input that is laid out in clean
// lines thus runs through the fast loops; only line breaks and padding take the slow path.

namespace platform {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

using CharPair = std::array<char, 2>;

constexpr std::array<CharPair, 4096> makePairTable()
{
    std::array<CharPair, 4096> table{};
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = {kAlphabet[i >> 6], kAlphabet[i & 0x3F]};
    return table;
}

constexpr std::array<CharPair, 4096> kPairs = makePairTable();

// Set in a decode table entry for a character outside the alphabet; above the 24 data bits.
constexpr std::uint32_t kSkip = 0x01000000u;

constexpr std::array<std::uint32_t, 256> makeDecodeTable(int shift)
{
    std::array<std::uint32_t, 256> table{};
    for (auto &entry : table)
        entry = kSkip;
    for (std::uint32_t i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = i << shift;
    return table;
}

constexpr std::array<std::uint32_t, 256> kDecode0 = makeDecodeTable(18);
constexpr std::array<std::uint32_t, 256> kDecode1 = makeDecodeTable(12);
constexpr std::array<std::uint32_t, 256> kDecode2 = makeDecodeTable(6);
constexpr std::array<std::uint32_t, 256> kDecode3 = makeDecodeTable(0);

inline void encodeGroups(const std::uint8_t *in, std::size_t groups, char *out)
{
    for (std::size_t g = 0; g < groups; ++g, in += 3, out += 4) {
        const std::uint32_t v = (std::uint32_t{in[0]} << 16) | (std::uint32_t{in[1]} << 8) | in[2];
        std::memcpy(out, kPairs[v >> 12].data(), 2);
        std::memcpy(out + 2, kPairs[v & 0xFFF].data(), 2);
    }
}

inline void putGroup(std::uint32_t bits, std::uint8_t *out)
{
    out[0] = static_cast<std::uint8_t>(bits >> 16);
    out[1] = static_cast<std::uint8_t>(bits >> 8);
    out[2] = static_cast<std::uint8_t>(bits);
}

} // namespace

std::size_t base64EncodedLength(std::size_t n)
{
    return (n + 2) / 3 * 4 + 2 * (n / kBase64LineBytes);
}

std::size_t base64RequiredLength(std::size_t n)
{
    const std::size_t b = 4 * n / 3 + n % 3;
    return (b + 3) / 4 * 4 + 2 * (b / kBase64LineChars) + 2;
}

std::optional<std::size_t> base64Encode(std::span<const std::uint8_t> in, std::span<char> out)
{
    if (out.size() < base64RequiredLength(in.size()))
        return std::nullopt;

    const std::uint8_t *src = in.data();
    char *dst = out.data();
    for (std::size_t line = in.size() / kBase64LineBytes; line > 0; --line) {
        encodeGroups(src, kBase64LineBytes / 3, dst);
        src += kBase64LineBytes;
        dst += kBase64LineChars;
        *dst++ = '\r';
        *dst++ = '\n';
    }

    const std::size_t rest = in.size() % kBase64LineBytes;
    encodeGroups(src, rest / 3, dst);
    src += rest / 3 * 3;
    dst += rest / 3 * 4;
    if (rest % 3 == 1) {
        const std::uint32_t v = std::uint32_t{src[0]} << 16;
        *dst++ = kAlphabet[v >> 18];
        *dst++ = kAlphabet[(v >> 12) & 0x3F];
        *dst++ = '=';
        *dst++ = '=';
    } else if (rest % 3 == 2) {
        const std::uint32_t v = (std::uint32_t{src[0]} << 16) | (std::uint32_t{src[1]} << 8);
        *dst++ = kAlphabet[v >> 18];
        *dst++ = kAlphabet[(v >> 12) & 0x3F];
        *dst++ = kAlphabet[(v >> 6) & 0x3F];
        *dst++ = '=';
    }
    return static_cast<std::size_t>(dst - out.data());
}

std::string base64Encode(std::span<const std::uint8_t> in)
{
    std::string text(base64RequiredLength(in.size()), '\0');
    const auto written = base64Encode(in, std::span<char>(text.data(), text.size()));
    text.resize(written.value_or(0));
    return text;
}

std::size_t Base64Decoder::feed(std::string_view text, std::uint8_t *out)
{
    const auto *s = reinterpret_cast<const unsigned char *>(text.data());
    const auto *end = s + text.size();
    std::uint8_t *o = out;
    while (s < end) {
        if (m_count == 0) {
            while (end - s >= 4) {
                const std::uint32_t x =
                    kDecode0[s[0]] | kDecode1[s[1]] | kDecode2[s[2]] | kDecode3[s[3]];
                if (x & kSkip)
                    break;
                putGroup(x, o);
                o += 3;
                s += 4;
            }
            if (s == end)
                break;
        }
        // One character at a time up to the end of the group that the fast loop refused.
        const std::uint32_t v = kDecode3[*s++];
        if (v & kSkip)
            continue;
        m_bits = (m_bits << 6) | v;
        if (++m_count == 4) {
            putGroup(m_bits, o);
            o += 3;
            m_bits = 0;
            m_count = 0;
        }
    }
    return static_cast<std::size_t>(o - out);
}

std::optional<std::size_t> Base64Decoder::finish(std::uint8_t *out)
{
    const std::uint32_t bits = m_bits;
    const int count = m_count;
    m_bits = 0;
    m_count = 0;
    switch (count) {
    case 0:
        return 0;
    case 2:
        out[0] = static_cast<std::uint8_t>(bits >> 4);
        return 1;
    case 3:
        out[0] = static_cast<std::uint8_t>(bits >> 10);
        out[1] = static_cast<std::uint8_t>(bits >> 2);
        return 2;
    case 1:
        return std::nullopt; // one character cannot stand for a byte: not base64
    default:
        // decode() hands on every fourth character's group at once.
        RAVELIND_CHECK(!"more than three characters left over", return std::nullopt);
    }
}

std::optional<std::string> base64Decode(std::string_view text)
{
    std::string bytes(Base64Decoder::maxOutput(text.size()), '\0');
    auto *out = reinterpret_cast<std::uint8_t *>(bytes.data());
    Base64Decoder decoder;
    std::size_t n = decoder.feed(text, out);
    const auto tail = decoder.finish(out + n);
    if (!tail)
        return std::nullopt;
    bytes.resize(n + *tail);
    return bytes;
}

} // namespace platform
