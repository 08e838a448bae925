#include "base64.h"

#include <array>
#include <cstdint>

namespace server {

static constexpr char kAlphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string encodeBase64(std::string_view bytes)
{
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t group = (static_cast<unsigned char>(bytes[i]) << 16) |
                                    (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                                    static_cast<unsigned char>(bytes[i + 2]);
        text += kAlphabet[(group >> 18) & 63];
        text += kAlphabet[(group >> 12) & 63];
        text += kAlphabet[(group >> 6) & 63];
        text += kAlphabet[group & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2)
            group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        text += kAlphabet[(group >> 18) & 63];
        text += kAlphabet[(group >> 12) & 63];
        text += rest == 2 ? kAlphabet[(group >> 6) & 63] : '=';
        text += '=';
    }
    return text;
}

static constexpr std::array<signed char, 256> makeDecodeTable()
{
    std::array<signed char, 256> table{};
    for (auto &entry : table)
        entry = -1;
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<signed char>(i);
    return table;
}

bool decodeBase64(std::string_view text, std::string &out)
{
    static constexpr auto kDecode = makeDecodeTable();
    std::uint32_t group = 0;
    int count = 0;
    bool padding = false;
    for (char c : text) {
        if (c == '\r' || c == '\n' || c == ' ' || c == '\t')
            continue;
        if (c == '=') {
            padding = true;
            continue;
        }
        const signed char value = kDecode[static_cast<unsigned char>(c)];
        if (value < 0 || padding)
            return false;
        group = (group << 6) | static_cast<std::uint32_t>(value);
        if (++count == 4) {
            out += static_cast<char>((group >> 16) & 0xFF);
            out += static_cast<char>((group >> 8) & 0xFF);
            out += static_cast<char>(group & 0xFF);
            group = 0;
            count = 0;
        }
    }
    if (count == 1)
        return false;
    if (count == 2) {
        out += static_cast<char>((group >> 4) & 0xFF);
    } else if (count == 3) {
        out += static_cast<char>((group >> 10) & 0xFF);
        out += static_cast<char>((group >> 2) & 0xFF);
    }
    return true;
}

} // namespace server
