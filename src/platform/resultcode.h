#pragma once

// Result codes shaped like COM results, with the Windows error numbers inside, so that
// stored logs and peers see the numbers they always saw. Negative means failure.

#include <cstdint>
#include <string>

namespace platform {

using ResultCode = std::int32_t;

// Windows-numbered system errors (the low 16 bits of a failure code).
namespace err {
constexpr std::uint32_t FileNotFound = 2;
constexpr std::uint32_t PathNotFound = 3;
constexpr std::uint32_t AccessDenied = 5;
constexpr std::uint32_t InvalidData = 13;
constexpr std::uint32_t CannotMake = 82;
constexpr std::uint32_t DiskFull = 112;
constexpr std::uint32_t InsufficientBuffer = 111; // "buffer overflow"
constexpr std::uint32_t AlreadyExists = 183;
constexpr std::uint32_t Cancelled = 1223;
constexpr std::uint32_t TooManyOpenFiles = 4;
constexpr std::uint32_t BadPathname = 161; // invalid key or path name
constexpr std::uint32_t FilenameTooLong = 206;
constexpr std::uint32_t RegistryCorrupt = 1009; // "the configuration registry database is corrupt"
constexpr std::uint32_t IoDevice = 1117;
constexpr std::uint32_t NoMoreItems = 259; // enumeration index past the end
constexpr std::uint32_t DatatypeMismatch = 1629;
// libcurl failures live in the internet range 12000-12999.
constexpr std::uint32_t InternetFirst = 12000;
} // namespace err

constexpr ResultCode fromWin32(std::uint32_t e)
{
    return e == 0 ? 0 : static_cast<ResultCode>(0x80070000u | (e & 0xFFFFu));
}
constexpr ResultCode fromHttpStatus(int status)
{
    return static_cast<ResultCode>(0x800C0000u | (static_cast<std::uint32_t>(status) & 0xFFFFu));
}
constexpr ResultCode kMissingResult = static_cast<ResultCode>(0x800CFFFFu);
constexpr ResultCode kUnspecifiedFailure = static_cast<ResultCode>(0x80004005u);
constexpr ResultCode kCancelled = static_cast<ResultCode>(0x800704C7u);

constexpr bool failed(ResultCode rc)
{
    return rc < 0;
}

// The Windows error number inside a failure code made by fromWin32 (1629 for a type mismatch).
constexpr std::uint32_t win32Error(ResultCode rc)
{
    return static_cast<std::uint32_t>(rc) & 0xFFFFu;
}

} // namespace platform
