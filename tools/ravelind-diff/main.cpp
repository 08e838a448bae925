// ravelind-diff FILE1 FILE2: the comparison window's line engine as a command-line diff,
// printing the edit script in the classic "normal" format. Exit status 0 without differences,
// 1 with differences, 2 on trouble.
//
// Files are read as the comparison window reads them: CR LF counts as LF and a 0x1A byte ends
// the data, so the lines printed are the lines the window shows. --raw compares the bytes as
// they are, as POSIX diff programs do. Files without CR or 0x1A print the same either way.

#include <views/compare/fileimage.h>
#include <views/compare/normalformatter.h>
#include <views/compare/textcomparer.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include <unistd.h>

namespace {

constexpr int kExitSame = 0;
constexpr int kExitDifferent = 1;
constexpr int kExitTrouble = 2;

bool writeAll(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

constexpr const char *kUsage =
    "usage: ravelind-diff [--raw] [--cost-floor=N] FILE1 FILE2\n"
    "Compares two text files line by line and prints the differences in diff's normal format.\n"
    "  --raw           compare bytes as they are (no CR LF folding, no 0x1A end)\n"
    "  --cost-floor=N  lowest cost cut-off of the search (default 256; GNU diff uses 4096)\n"
    "  --help          print this text\n";

int usage()
{
    std::fputs(kUsage, stderr);
    return kExitTrouble;
}

} // namespace

int main(int argc, char **argv)
{
    compare::ReadMode mode = compare::ReadMode::Text;
    std::int32_t costFloor = 256;
    std::string paths[2];
    int pathCount = 0;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (options && arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (options && arg == "--") {
            options = false;
        } else if (options && arg == "--raw") {
            mode = compare::ReadMode::Raw;
        } else if (options && arg.starts_with("--cost-floor=")) {
            const std::string_view value = arg.substr(13);
            const auto [end, ec] =
                std::from_chars(value.data(), value.data() + value.size(), costFloor);
            if (ec != std::errc() || end != value.data() + value.size() || costFloor < 1)
                return usage();
        } else if (options && arg.size() > 1 && arg.front() == '-') {
            return usage();
        } else if (pathCount < 2) {
            paths[pathCount++] = std::string(arg);
        } else {
            return usage();
        }
    }
    if (pathCount != 2)
        return usage();

    compare::FileImage images[2];
    for (int f = 0; f < 2; ++f) {
        images[f] = compare::FileImage::load(paths[f]);
        if (images[f].error() != 0) {
            std::fprintf(stderr, "ravelind-diff: %s: %s\n", paths[f].c_str(),
                         std::strerror(images[f].error()));
            return kExitTrouble;
        }
    }

    compare::TextComparer comparer;
    comparer.setReadMode(mode);
    comparer.setCostFloor(costFloor);
    switch (comparer.compareImages(images[0], images[1])) {
    case compare::CompareStatus::NoDifferences:
        return kExitSame;
    case compare::CompareStatus::BinaryDiffer: {
        const std::string text = "Binary files " + paths[0] + " and " + paths[1] + " differ\n";
        return writeAll(text) ? kExitDifferent : kExitTrouble;
    }
    case compare::CompareStatus::Differences: {
        bool written = true;
        compare::NormalFormatter formatter(
            [&written](std::string_view piece) { written = written && writeAll(piece); });
        formatter.write(images[0], images[1], comparer.script());
        if (!written) {
            std::fprintf(stderr, "ravelind-diff: write error: %s\n", std::strerror(errno));
            return kExitTrouble;
        }
        return kExitDifferent;
    }
    case compare::CompareStatus::Cancelled:
    case compare::CompareStatus::Failed:
        break;
    }
    std::fputs("ravelind-diff: out of memory or too many lines\n", stderr);
    return kExitTrouble;
}
