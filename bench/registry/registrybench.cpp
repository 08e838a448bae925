// How the one-file settings store scales with the number of stored profiles: a change
// re-reads and rewrites the whole file under its lock and waits for fsync; a read is free
// while the file is unchanged and re-parses it once another process changed it.
// Run: build/.../bench/registry/ravelind_registry_bench (TMPDIR picks the file system).

#include <config/profilestore.h>

#include <platform/registry.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class Store
{
public:
    explicit Store(std::int64_t profiles)
    {
        std::string tmpl =
            (std::filesystem::temp_directory_path() / "ravelind-bench-XXXXXX").string();
        m_dir = ::mkdtemp(tmpl.data()) ? tmpl : std::string();
        m_reg = std::make_unique<platform::Registry>(m_dir / "registry.reg");
        platform::RegKey servers;
        for (std::int64_t i = 0; i < profiles; ++i) {
            protocol::ServerProfile p;
            p.name = "Server " + std::to_string(i);
            p.server = "vcs" + std::to_string(i) + ".example.com";
            p.url = "/Service.asmx";
            p.userId = "user" + std::to_string(i);
            p.port = 443;
            p.useSsl = 1;
            p.timeout = 60;
            platform::RegKey *key = servers.ensure(p.name);
            key->setValue("Server", platform::RegValue::ofString(p.server));
            key->setValue("URL", platform::RegValue::ofString(p.url));
            key->setValue("UserID", platform::RegValue::ofString(p.userId));
            key->setValue("Port", platform::RegValue::ofDword(p.port));
            key->setValue("Timeout", platform::RegValue::ofDword(p.timeout));
            key->setValue("Proxy", platform::RegValue::ofDword(0));
            key->setValue("SSL", platform::RegValue::ofDword(1));
            key->setValue("ProxyServer", platform::RegValue::ofString(""));
        }
        m_ok = m_reg->replaceKey("Software\\Quellvane\\Ravelind\\Servers", servers) == 0;
    }
    ~Store()
    {
        m_reg.reset();
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    // False when the profiles could not be written: the numbers would mean nothing.
    bool ok() const { return m_ok; }
    platform::Registry &registry() { return *m_reg; }
    std::filesystem::path file() const { return m_dir / "registry.reg"; }

private:
    std::filesystem::path m_dir;
    std::unique_ptr<platform::Registry> m_reg;
    bool m_ok = false;
};

void BM_WriteOneValue(benchmark::State &state)
{
    Store store(state.range(0));
    if (!store.ok()) {
        state.SkipWithError("cannot write the profiles");
        return;
    }
    std::uint32_t n = 0;
    for (auto _ : state) {
        if (store.registry().writeDword("Software\\Quellvane\\Ravelind\\Settings", "FilePos",
                                        ++n) != 0)
            state.SkipWithError("write failed");
    }
}
BENCHMARK(BM_WriteOneValue)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_ReadAllProfilesUnchanged(benchmark::State &state)
{
    Store store(state.range(0));
    if (!store.ok()) {
        state.SkipWithError("cannot write the profiles");
        return;
    }
    config::ProfileStore profiles(store.registry());
    for (auto _ : state)
        benchmark::DoNotOptimize(profiles.readAll());
}
BENCHMARK(BM_ReadAllProfilesUnchanged)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_ReadAllProfilesAfterOtherWriter(benchmark::State &state)
{
    Store store(state.range(0));
    if (!store.ok()) {
        state.SkipWithError("cannot write the profiles");
        return;
    }
    platform::Registry other(store.file());
    config::ProfileStore profiles(store.registry());
    std::uint32_t n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (other.writeDword("Software\\Quellvane\\Ravelind\\Settings", "FilePos", ++n) != 0) {
            state.SkipWithError("cannot write the settings file");
            state.ResumeTiming();
            break;
        }
        state.ResumeTiming();
        benchmark::DoNotOptimize(profiles.readAll());
    }
}
BENCHMARK(BM_ReadAllProfilesAfterOtherWriter)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond);

} // namespace
