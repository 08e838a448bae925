#pragma once

// Base64 text of file content as the service exchanges it: the RFC 2045 alphabet, lines of
// 76 characters separated by CR LF. Encoding and decoding run over caller-owned fixed
// buffers, so a transfer never holds more than one chunk in memory.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace platform {

// Input bytes per encoded line: 19 groups of three bytes give one 76-character line.
constexpr std::size_t kBase64LineBytes = 57;
constexpr std::size_t kBase64LineChars = 76;

// Exact number of characters base64Encode writes for n input bytes.
std::size_t base64EncodedLength(std::size_t n);

// The buffer size the encoder insists on for n input bytes (a little above the exact
// length; peers size their buffers with this formula, so it stays as it is).
std::size_t base64RequiredLength(std::size_t n);

// Encodes `in` into `out`. Lines of 76 characters are separated by CR LF; no CR LF follows
// the last line, except that an input whose length is a multiple of 57 bytes ends with one.
// Returns the number of characters written, or nothing (and writes nothing) when
// out.size() < base64RequiredLength(in.size()).
std::optional<std::size_t> base64Encode(std::span<const std::uint8_t> in, std::span<char> out);

// Convenience for small inputs.
std::string base64Encode(std::span<const std::uint8_t> in);

// Streaming decoder for one base64 text that may arrive in pieces. Characters outside the
// alphabet (CR, LF, blanks, "=") are skipped; every four alphabet characters give three
// bytes; a last group of two or three characters gives one or two bytes.
class Base64Decoder
{
public:
    // Largest number of bytes one feed() of `textLength` characters can produce.
    static constexpr std::size_t maxOutput(std::size_t textLength) { return textLength + 3; }

    // Decodes `text` into `out`, which must hold maxOutput(text.size()) bytes. Characters
    // of an unfinished group are kept for the next call. Returns the bytes written.
    std::size_t feed(std::string_view text, std::uint8_t *out);

    // Ends the text: writes the bytes of a last short group (at most 2) into `out` and
    // returns their number, or nothing when a single character is left over, which no
    // encoder produces. The decoder is ready for a new text afterwards either way.
    std::optional<std::size_t> finish(std::uint8_t *out);

private:
    std::uint32_t m_bits = 0; // the sextets of the unfinished group, lowest last
    int m_count = 0;          // how many sextets m_bits holds (0 to 3)
};

// Convenience for small texts: the decoded bytes, or nothing for a dangling character.
std::optional<std::string> base64Decode(std::string_view text);

} // namespace platform
