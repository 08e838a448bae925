// The engine's runs against a running service, timed: a recursive get of a folder of many
// small files (files per second), and a check-in and a get of one large file (MB/s each way),
// with the client's peak resident memory. For each run it also prints where the time went:
// the client's own CPU, the service's CPU (when its process id is given) and the rest, which
// is waiting on the wire and the protocol's round trips.
//
//   ravelind_engine_bench --port N [--server-pid P] (--files COUNT | --mib M)
//
// Run one process per size: peak memory only grows within a process.

#include <engine/localfiles.h>
#include <engine/operations/operation.h>
#include <engine/operations/operationrunner.h>
#include <engine/operations/progressreporter.h>

#include <platform/tempfile.h>
#include <protocol/serviceclient.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Options
{
    std::uint16_t port = 0;
    long serverPid = 0;
    int files = 0;
    std::int64_t mib = 0;
};

bool parse(int argc, char **argv, Options &o)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const char *value = argv[i + 1];
        if (key == "--port")
            o.port = static_cast<std::uint16_t>(std::atoi(value));
        else if (key == "--server-pid")
            o.serverPid = std::atol(value);
        else if (key == "--files")
            o.files = std::atoi(value);
        else if (key == "--mib")
            o.mib = std::atoll(value);
        else
            return false;
    }
    return argc % 2 == 1 && o.port != 0 && (o.files > 0) != (o.mib > 0);
}

long peakRssKib()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double selfCpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// User and system time of another process from /proc/<pid>/stat (fields 14 and 15).
double processCpuSeconds(long pid)
{
    if (pid <= 0)
        return 0;
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::vector<std::string> fields;
    std::size_t at = close + 2;
    while (at < text.size()) {
        const std::size_t sp = text.find(' ', at);
        fields.push_back(text.substr(at, sp - at));
        if (sp == std::string::npos)
            break;
        at = sp + 1;
    }
    if (fields.size() < 13)
        return 0;
    const double ticks = static_cast<double>(::sysconf(_SC_CLK_TCK));
    return (std::atof(fields[11].c_str()) + std::atof(fields[12].c_str())) / ticks;
}

struct Counter final : engine::ProgressReporter
{
    void itemText(std::string_view) override {}
    void statusText(int) override {}
    void subTotal(std::int64_t) override {}
    void subPosition(std::int64_t) override {}
    void total(std::int64_t) override {}
    void step(std::int64_t) override {}
    void statusLiteral(std::string_view) override {}
    void bytes(std::int64_t, std::int64_t) override {}
    void log(const engine::LogEntry &e) override
    {
        if (e.kind != engine::LogKind::Success)
            ++failures;
    }
    void recordChanged(const engine::RecordChange &) override {}
    int failures = 0;
};

struct Split
{
    double wall = 0;
    double client = 0;
    double server = 0;
};

template<class F> Split timed(long serverPid, F &&run)
{
    const double c0 = selfCpuSeconds();
    const double s0 = processCpuSeconds(serverPid);
    const auto t0 = Clock::now();
    run();
    Split s;
    s.wall = std::chrono::duration<double>(Clock::now() - t0).count();
    s.client = selfCpuSeconds() - c0;
    s.server = processCpuSeconds(serverPid) - s0;
    return s;
}

void printSplit(const char *what, const Split &s, long serverPid)
{
    std::printf("  %s split: client CPU %.2f s (%.0f%%)", what, s.client, 100 * s.client / s.wall);
    if (serverPid > 0)
        std::printf(", service CPU %.2f s (%.0f%%), waiting %.2f s", s.server,
                    100 * s.server / s.wall, std::max(0.0, s.wall - s.client - s.server));
    std::printf("\n");
}

bool makeRandomFile(const fs::path &name, std::int64_t bytes, unsigned seed)
{
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    std::mt19937_64 rng(seed);
    std::vector<std::uint64_t> block((1 << 20) / sizeof(std::uint64_t));
    for (std::int64_t done = 0; done < bytes && out;) {
        for (auto &w : block)
            w = rng();
        const std::int64_t n = std::min<std::int64_t>(bytes - done, 1 << 20);
        out.write(reinterpret_cast<const char *>(block.data()), static_cast<std::streamsize>(n));
        done += n;
    }
    return static_cast<bool>(out);
}

bool sameBytes(const fs::path &a, const fs::path &b)
{
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    std::vector<char> p(1 << 20), q(1 << 20);
    while (x && y) {
        x.read(p.data(), static_cast<std::streamsize>(p.size()));
        y.read(q.data(), static_cast<std::streamsize>(q.size()));
        if (x.gcount() != y.gcount() || !std::equal(p.begin(), p.begin() + x.gcount(), q.begin()))
            return false;
    }
    return x.eof() && y.eof();
}

} // namespace

int main(int argc, char **argv)
{
    Options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr, "usage: %s --port N [--server-pid P] (--files COUNT | --mib M)\n",
                     argv[0]);
        return 2;
    }
    protocol::ServerProfile profile;
    profile.server = "127.0.0.1";
    profile.port = o.port;
    profile.url = "/Service.asmx";
    profile.timeout = 120;

    protocol::ServiceClient client;
    client.fillFromProfile(profile);
    std::optional<std::string> id;
    if (!client.logon("", "bench", "bench", "127.0.0.1", id).succeeded() || !id) {
        std::fprintf(stderr, "logon failed\n");
        return 1;
    }
    profile.userId = *id;
    const std::string folder = "bench-" + std::to_string(::getpid());
    if (!client.createFolder(profile.userId, "", folder, "", false).succeeded()) {
        std::fprintf(stderr, "cannot create %s\n", folder.c_str());
        return 1;
    }
    const fs::path work = platform::tempDirectory() / folder;
    fs::create_directories(work / "src");

    auto request = [&](engine::OperationKind kind) {
        engine::OperationRequest r;
        r.kind = kind;
        r.profile = profile;
        r.serverPath = folder;
        r.targetPath = folder;
        return r;
    };
    Counter counter;
    auto run = [&](engine::OperationRequest r) {
        engine::Operation op(std::move(r), &counter);
        return engine::runOperation(op, engine::serviceClientFactory());
    };

    if (o.files > 0) {
        for (int i = 0; i < o.files; ++i)
            std::ofstream(work / "src" / ("f" + std::to_string(i) + ".txt"))
                << "small file number " << i << "\n";
        engine::OperationRequest add = request(engine::OperationKind::AddDropped);
        for (int i = 0; i < o.files; ++i)
            add.droppedPaths.push_back(work / "src" / ("f" + std::to_string(i) + ".txt"));
        const Split up = timed(o.serverPid, [&] { (void)run(add); });

        // The bare round trips, without the engine: what one call and one small get cost.
        constexpr int kCalls = 200;
        std::int64_t count = 0;
        const Split calls = timed(o.serverPid, [&] {
            for (int i = 0; i < kCalls; ++i)
                (void)client.getItemCount(profile.userId, folder, false, count);
        });
        std::printf("GetItemCount round trip: %.2f ms\n", 1000 * calls.wall / kCalls);
        printSplit("round trips", calls, o.serverPid);
        const fs::path one = work / "one.tmp";
        std::ofstream(one).flush();
        const Split gets = timed(o.serverPid, [&] {
            for (int i = 0; i < kCalls; ++i)
                (void)client.getFile(profile.userId, folder + "\\f0.txt", -1, one);
        });
        std::printf("GetFile of one small file (two calls): %.2f ms\n", 1000 * gets.wall / kCalls);
        printSplit("small gets", gets, o.serverPid);

        std::printf("add of %d small files: %.2f s, %.0f files/s\n", o.files, up.wall,
                    o.files / up.wall);
        printSplit("add", up, o.serverPid);

        engine::OperationRequest get = request(engine::OperationKind::GetFolder);
        get.localFolder = work / "got";
        get.recursive = true;
        const Split down = timed(o.serverPid, [&] { (void)run(get); });
        std::printf("get -r of %d small files: %.2f s, %.0f files/s (goal >= 200)\n", o.files,
                    down.wall, o.files / down.wall);
        printSplit("get", down, o.serverPid);
    } else {
        const std::int64_t bytes = o.mib << 20;
        const fs::path original = work / "src" / "big.bin";
        if (!makeRandomFile(original, bytes, 1)) {
            std::fprintf(stderr, "cannot write %s\n", original.c_str());
            return 1;
        }
        if (!client.addFile(profile.userId, folder, "big.bin", original, "").succeeded() ||
            !client.checkOut(profile.userId, folder + "\\big.bin", "/bench/big.bin").succeeded()) {
            std::fprintf(stderr, "cannot prepare the file\n");
            return 1;
        }
        fs::create_directories(work / "co");
        const fs::path edited = work / "co" / "big.bin";
        (void)makeRandomFile(edited, bytes, 2);
        const long rssBefore = peakRssKib();

        engine::OperationRequest in = request(engine::OperationKind::CheckInFiles);
        in.localFolder = work / "co";
        in.files = {{0, {}}};
        in.files[0].record.fileName = "big.bin";
        const Split up = timed(o.serverPid, [&] { (void)run(in); });

        engine::OperationRequest get = request(engine::OperationKind::GetFiles);
        get.localFolder = work / "got";
        get.multipleFiles = true;
        get.files = in.files;
        const Split down = timed(o.serverPid, [&] { (void)run(get); });

        const double mb = static_cast<double>(bytes) / 1e6;
        std::printf("%lld MiB: check-in %.1f MB/s, get %.1f MB/s, client peak RSS %ld KiB "
                    "(%ld KiB before the runs)%s\n",
                    static_cast<long long>(o.mib), mb / up.wall, mb / down.wall, peakRssKib(),
                    rssBefore, sameBytes(edited, work / "got" / "big.bin") ? "" : " MISMATCH");
        printSplit("check-in", up, o.serverPid);
        printSplit("get", down, o.serverPid);
    }
    std::error_code ec;
    for (const auto &e : fs::recursive_directory_iterator(work, ec))
        (void)engine::setReadOnly(e.path(), false);
    fs::remove_all(work, ec);
    if (counter.failures != 0) {
        std::printf("%d items failed\n", counter.failures);
        return 1;
    }
    return 0;
}
