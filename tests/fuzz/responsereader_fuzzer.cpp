// libFuzzer target for the response reader: any answer body, as the service or a proxy in
// between might send it, is loaded and queried the way the operations query it, without a
// crash, a leak or a read outside the document.

#include <protocol/responsereader.h>

#include <platform/tempfile.h>

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

// The paths the operations ask, plus a few that only a hostile answer would make interesting.
constexpr std::string_view kPaths[] = {
    "soap:Fault/faultstring",
    "LogonResponse/LogonResult",
    "GetFileListResponse/GetFileListResult",
    "GetFileResponse/GetFileResult/Data",
    "GetFileResponse/GetFileResult/Size",
    "AddFileResponse/AddFileResult",
    "a/b/c/d/e/f",
    "",
    "/",
};

constexpr std::string_view kFields[] = {"FileName", "FileSize", "Name", "Type", ""};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    platform::TempFile response;
    if (platform::TempFile::create(response) != 0)
        std::abort();
    if (response.write(data, size) != 0)
        std::abort();

    protocol::ResponseReader reader(response);
    const int status = size > 0 && (data[0] & 1) ? 500 : 200;
    if (reader.load(status) != 0)
        return 0;
    for (const std::string_view path : kPaths) {
        const std::int64_t rows = reader.rowCount(path);
        for (std::size_t i = 0; i < 3; ++i)
            (void)reader.value(path, i);
        for (std::int64_t row = 0; row < rows && row < 8; ++row) {
            for (const std::string_view field : kFields)
                (void)reader.rowField(path, static_cast<std::size_t>(row), field);
        }
        (void)reader.rowField(path, static_cast<std::size_t>(rows < 0 ? 0 : rows), "FileName");
    }
    return 0;
}
