// Writes the deterministic file pairs that bench/compare/run.sh times ravelind-diff and GNU
// diff on:
//   compare-benchgen changed   LINES PERCENT SEED OUT1 OUT2   random lines, PERCENT replaced
//   compare-benchgen unrelated LINES VOCAB SEED OUT1 OUT2     two independent files drawn
//                                                              from VOCAB distinct lines
//   compare-benchgen big       MEGABYTES SEED OUT1 OUT2       a large file and a copy with
//                                                              one changed line in the middle

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using Rng = std::mt19937_64;

std::string randomLine(Rng &rng)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz";
    std::uniform_int_distribution<int> words(3, 9);
    std::uniform_int_distribution<int> wordLength(2, 8);
    std::uniform_int_distribution<int> letter(0, 25);
    std::string line;
    const int count = words(rng);
    for (int w = 0; w < count; ++w) {
        if (w > 0)
            line += ' ';
        const int length = wordLength(rng);
        for (int k = 0; k < length; ++k)
            line += letters[letter(rng)];
    }
    return line;
}

bool writeLines(const char *path, const std::vector<std::string> &lines)
{
    std::FILE *out = std::fopen(path, "wb");
    if (!out)
        return false;
    for (const std::string &line : lines) {
        std::fwrite(line.data(), 1, line.size(), out);
        std::fputc('\n', out);
    }
    return std::fclose(out) == 0;
}

int usage()
{
    std::fputs("usage: compare-benchgen changed LINES PERCENT SEED OUT1 OUT2\n"
               "       compare-benchgen unrelated LINES VOCAB SEED OUT1 OUT2\n"
               "       compare-benchgen big MEGABYTES SEED OUT1 OUT2\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return usage();
    const std::string mode = argv[1];
    std::vector<std::string> a;
    std::vector<std::string> b;
    const char *out1 = nullptr;
    const char *out2 = nullptr;
    if (mode == "changed" && argc == 7) {
        const long lines = std::atol(argv[2]);
        const long percent = std::atol(argv[3]);
        Rng rng(std::strtoull(argv[4], nullptr, 10));
        out1 = argv[5];
        out2 = argv[6];
        for (long i = 0; i < lines; ++i)
            a.push_back(randomLine(rng));
        b = a;
        std::uniform_int_distribution<long> where(0, lines - 1);
        for (long k = 0; k < lines * percent / 100; ++k)
            b[static_cast<std::size_t>(where(rng))] = randomLine(rng);
    } else if (mode == "unrelated" && argc == 7) {
        const long lines = std::atol(argv[2]);
        const long vocab = std::atol(argv[3]);
        Rng rng(std::strtoull(argv[4], nullptr, 10));
        out1 = argv[5];
        out2 = argv[6];
        std::vector<std::string> words;
        for (long i = 0; i < vocab; ++i)
            words.push_back(randomLine(rng));
        std::uniform_int_distribution<long> pick(0, vocab - 1);
        for (long i = 0; i < lines; ++i)
            a.push_back(words[static_cast<std::size_t>(pick(rng))]);
        for (long i = 0; i < lines; ++i)
            b.push_back(words[static_cast<std::size_t>(pick(rng))]);
    } else if (mode == "big" && argc == 6) {
        const long long bytes = std::atoll(argv[2]) * 1024 * 1024;
        Rng rng(std::strtoull(argv[3], nullptr, 10));
        out1 = argv[4];
        out2 = argv[5];
        long long size = 0;
        while (size < bytes) {
            a.push_back(randomLine(rng));
            size += static_cast<long long>(a.back().size()) + 1;
        }
        b = a;
        b[b.size() / 2] = randomLine(rng);
    } else {
        return usage();
    }
    return writeLines(out1, a) && writeLines(out2, b) ? 0 : 1;
}
