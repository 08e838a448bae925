// GetFileList answers of 1,000 to 100,000 rows read into FileItem records, the way the
// operation does it: copy and prolog check, parse, then every field of every row by name.
// The items/s figure must stay flat as the row count grows (no per-row walk from the start).

#include <platform/tempfile.h>
#include <protocol/recordreader.h>
#include <protocol/responsereader.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string fileListAnswer(int rows)
{
    std::string s = "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                    "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">"
                    "<soap:Body><GetFileListResponse><GetFileListResult>";
    for (int i = 0; i < rows; ++i) {
        const std::string n = std::to_string(i);
        s += "<FileInfo><FileName>file" + n +
             ".txt</FileName><CheckoutUser>Ann</CheckoutUser>"
             "<CheckoutUserID>ann</CheckoutUserID><CheckoutPath>/home/ann/w/file" +
             n + ".txt</CheckoutPath><IPAddress>10.0.0.7</IPAddress><FileSize>" + n +
             "</FileSize><UpdateDate>2024/01/02 03:04:05</UpdateDate>"
             "<CheckinDate>2024/01/01 00:00:00</CheckinDate></FileInfo>";
    }
    s += "</GetFileListResult></GetFileListResponse></soap:Body></soap:Envelope>";
    return s;
}

void readFileList(benchmark::State &state)
{
    const int rows = static_cast<int>(state.range(0));
    platform::TempFile response;
    if (platform::TempFile::create(response) != 0 || response.write(fileListAnswer(rows)) != 0) {
        state.SkipWithError("cannot write the answer file");
        return;
    }
    for (auto _ : state) {
        protocol::ResponseReader reader(response);
        std::vector<protocol::FileItem> list;
        if (reader.load(200) != 0 || protocol::readFileItems(reader, list) != 0 ||
            list.size() != static_cast<std::size_t>(rows)) {
            state.SkipWithError("reading failed");
            return;
        }
        benchmark::DoNotOptimize(list.data());
    }
    state.SetItemsProcessed(state.iterations() * rows);
}

// Only the record building on an answer that is already loaded: the part that would turn
// quadratic if each row were found by walking the result element's children from the start.
void buildRecords(benchmark::State &state)
{
    const int rows = static_cast<int>(state.range(0));
    platform::TempFile response;
    if (platform::TempFile::create(response) != 0 || response.write(fileListAnswer(rows)) != 0) {
        state.SkipWithError("cannot write the answer file");
        return;
    }
    protocol::ResponseReader reader(response);
    if (reader.load(200) != 0) {
        state.SkipWithError("load failed");
        return;
    }
    for (auto _ : state) {
        std::vector<protocol::FileItem> list;
        if (protocol::readFileItems(reader, list) != 0) {
            state.SkipWithError("reading failed");
            return;
        }
        benchmark::DoNotOptimize(list.data());
    }
    state.SetItemsProcessed(state.iterations() * rows);
}

BENCHMARK(readFileList)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(buildRecords)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
