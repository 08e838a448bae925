// libFuzzer target for the base64 decoder: any text must decode without touching memory
// outside the buffers, give the same bytes however it is cut into pieces, and every byte
// string must come back unchanged from encode then decode.

#include <platform/base64.h>

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

// Decodes `text` fed in pieces of `piece` characters; false for a refused text.
bool decodeInPieces(std::string_view text, std::size_t piece, std::vector<std::uint8_t> &out)
{
    platform::Base64Decoder decoder;
    std::vector<std::uint8_t> buffer(platform::Base64Decoder::maxOutput(piece));
    for (std::size_t at = 0; at < text.size(); at += piece) {
        const std::size_t got = decoder.feed(text.substr(at, piece), buffer.data());
        if (got > buffer.size())
            std::abort();
        out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(got));
    }
    const auto tail = decoder.finish(buffer.data());
    if (!tail)
        return false;
    out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(*tail));
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);

    const auto whole = platform::base64Decode(text);
    const std::size_t piece = size == 0 ? 1 : 1 + data[0] % 7;
    std::vector<std::uint8_t> pieces;
    const bool accepted = decodeInPieces(text, piece, pieces);
    if (accepted != whole.has_value())
        std::abort();
    if (whole && std::string_view(*whole) !=
                     std::string_view(reinterpret_cast<const char *>(pieces.data()), pieces.size()))
        std::abort();

    const std::string encoded = platform::base64Encode({data, size});
    if (encoded.size() != platform::base64EncodedLength(size))
        std::abort();
    const auto back = platform::base64Decode(encoded);
    if (!back || *back != text)
        std::abort();
    return 0;
}
