// Times the base64 codec over a file the way the coreutils tool is used: read the file in
// blocks, encode (or decode) each block, write the text to the output file. Prints MB/s.
//
//   ravelind_base64_bench encode IN OUT
//   ravelind_base64_bench decode IN OUT

#include <platform/base64.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// A whole number of 57-byte lines, so that encoding block by block gives the same text as
// encoding the file in one piece.
constexpr std::size_t kEncodeBlock = platform::kBase64LineBytes * 18396; // about 1 MiB
constexpr std::size_t kDecodeBlock = 1 << 20;

struct FileCloser
{
    void operator()(std::FILE *f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

int encodeFile(std::FILE *in, std::FILE *out, std::size_t &bytes)
{
    std::vector<std::uint8_t> raw(kEncodeBlock);
    std::vector<char> text(platform::base64RequiredLength(kEncodeBlock));
    for (;;) {
        const std::size_t n = std::fread(raw.data(), 1, raw.size(), in);
        if (n == 0)
            break;
        bytes += n;
        const auto written = platform::base64Encode({raw.data(), n}, text);
        if (!written || std::fwrite(text.data(), 1, *written, out) != *written)
            return 1;
    }
    return std::ferror(in) ? 1 : 0;
}

int decodeFile(std::FILE *in, std::FILE *out, std::size_t &bytes)
{
    std::vector<char> text(kDecodeBlock);
    std::vector<std::uint8_t> raw(platform::Base64Decoder::maxOutput(kDecodeBlock));
    platform::Base64Decoder decoder;
    for (;;) {
        const std::size_t n = std::fread(text.data(), 1, text.size(), in);
        if (n == 0)
            break;
        const std::size_t got = decoder.feed({text.data(), n}, raw.data());
        bytes += got;
        if (std::fwrite(raw.data(), 1, got, out) != got)
            return 1;
    }
    const auto tail = decoder.finish(raw.data());
    if (!tail || std::fwrite(raw.data(), 1, *tail, out) != *tail)
        return 1;
    bytes += *tail;
    return std::ferror(in) ? 1 : 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4 || (std::strcmp(argv[1], "encode") != 0 && std::strcmp(argv[1], "decode") != 0)) {
        std::fprintf(stderr, "usage: %s encode|decode IN OUT\n", argv[0]);
        return 2;
    }
    File in(std::fopen(argv[2], "rb"));
    File out(std::fopen(argv[3], "wb"));
    if (!in || !out) {
        std::perror("open");
        return 1;
    }
    const bool encode = std::strcmp(argv[1], "encode") == 0;
    std::size_t bytes = 0;
    const auto start = std::chrono::steady_clock::now();
    int rc =
        encode ? encodeFile(in.get(), out.get(), bytes) : decodeFile(in.get(), out.get(), bytes);
    if (std::fflush(out.get()) != 0)
        rc = 1;
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (rc != 0) {
        std::fprintf(stderr, "%s failed\n", argv[1]);
        return rc;
    }
    std::printf("ravelind %s: %.1f MB (raw) in %.3f s = %.0f MB/s\n", argv[1], bytes / 1e6,
                took.count(), bytes / 1e6 / took.count());
    return 0;
}
