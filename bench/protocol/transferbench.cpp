// Uploads (AddFile) and downloads (GetFile) one file of a given size through a running
// service and prints MB/s each way and the client's peak resident memory. Run it once per size
// (peak memory only grows within a process) and compare the peaks: they must not follow the
// file size.
//
//   ravelind_transfer_bench --port N [--host H] [--path /Service.asmx] [--mib M]
//                           [--folder NAME]

#include <protocol/serviceclient.h>

#include <platform/tempfile.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

struct Options
{
    std::string host = "127.0.0.1";
    std::uint16_t port = 0;
    std::string path = "/Service.asmx";
    std::int64_t mib = 1;
    std::string folder;
};

bool parse(int argc, char **argv, Options &o)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const char *value = argv[i + 1];
        if (key == "--host")
            o.host = value;
        else if (key == "--port")
            o.port = static_cast<std::uint16_t>(std::atoi(value));
        else if (key == "--path")
            o.path = value;
        else if (key == "--mib")
            o.mib = std::atoll(value);
        else if (key == "--folder")
            o.folder = value;
        else
            return false;
    }
    return argc % 2 == 1 && o.port != 0 && o.mib > 0;
}

long peakRssKib()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss; // kilobytes on Linux
}

// Writes `mib` MiB of pseudo-random bytes one MiB at a time.
bool makeFile(const std::string &name, std::int64_t mib)
{
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    std::mt19937_64 rng(42);
    std::vector<std::uint64_t> block((1 << 20) / sizeof(std::uint64_t));
    for (std::int64_t i = 0; i < mib && out; ++i) {
        for (auto &w : block)
            w = rng();
        out.write(reinterpret_cast<const char *>(block.data()),
                  static_cast<std::streamsize>(block.size() * sizeof(std::uint64_t)));
    }
    return static_cast<bool>(out);
}

bool sameContent(const std::string &a, const std::string &b)
{
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    std::vector<char> ba(1 << 20), bb(1 << 20);
    while (fa && fb) {
        fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
        fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
        if (fa.gcount() != fb.gcount() ||
            std::memcmp(ba.data(), bb.data(), static_cast<std::size_t>(fa.gcount())) != 0)
            return false;
    }
    return !fa && !fb;
}

bool check(const char *what, const protocol::CallResult &r)
{
    if (r.succeeded())
        return true;
    std::fprintf(stderr, "%s failed: %s\n", what, r.message().c_str());
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    Options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr, "usage: %s --port N [--host H] [--path P] [--mib M] [--folder NAME]\n",
                     argv[0]);
        return 2;
    }
    if (o.folder.empty())
        o.folder = "bench" + std::to_string(::getpid());

    protocol::ServerProfile profile;
    profile.server = o.host;
    profile.port = o.port;
    profile.url = o.path;
    profile.timeout = 300;
    protocol::ServiceClient client;
    client.fillFromProfile(profile);

    std::optional<std::string> userId;
    if (!check("Logon", client.logon("", "bench", "bench", "127.0.0.1", userId)))
        return 1;
    if (!userId) {
        std::fprintf(stderr, "Logon gave no user ID\n");
        return 1;
    }
    if (!check("CreateFolder", client.createFolder(*userId, "", o.folder, "bench", false)))
        return 1;

    std::filesystem::path source, copy;
    if (platform::makeTempFile(source) != 0 || platform::makeTempFile(copy) != 0)
        return 1;
    const std::string name = std::to_string(o.mib) + "MiB.bin";
    if (!makeFile(source, o.mib))
        return 1;
    const double mb = static_cast<double>(o.mib) * 1048576.0 / 1e6;

    const auto t0 = std::chrono::steady_clock::now();
    const bool uploaded = check("AddFile", client.addFile(*userId, o.folder, name, source, ""));
    const auto t1 = std::chrono::steady_clock::now();
    const bool downloaded =
        uploaded && check("GetFile", client.getFile(*userId, o.folder + "\\" + name, -1, copy));
    const auto t2 = std::chrono::steady_clock::now();
    const bool same = downloaded && sameContent(source, copy);
    std::filesystem::remove(source);
    std::filesystem::remove(copy);
    if (!same) {
        if (downloaded)
            std::fprintf(stderr, "downloaded content differs from the upload\n");
        return 1;
    }

    const double up = std::chrono::duration<double>(t1 - t0).count();
    const double down = std::chrono::duration<double>(t2 - t1).count();
    std::printf("%5lld MiB  upload %7.1f MB/s (%.2f s)  download %7.1f MB/s (%.2f s)  "
                "client peak RSS %.1f MiB\n",
                static_cast<long long>(o.mib), mb / up, up, mb / down, down,
                static_cast<double>(peakRssKib()) / 1024.0);
    return 0;
}
