#pragma once

// Result codes shaped like COM results, with the Windows error numbers inside, so that
// stored logs and peers see the numbers they always saw. Negative means failure.

#include <cstdint>
#include <string>

namespace platform {

using ResultCode = std::int32_t;

// The Windows-numbered error for an errno value; ERROR_INTERNAL_ERROR (1359) for an errno
// that has no counterpart, never 0 for a non-zero errno.
std::uint32_t win32FromErrno(int errnoValue);
// fromWin32(win32FromErrno(e)); 0 for e == 0.
[[nodiscard]] ResultCode fromErrno(int errnoValue);
// A libcurl failure (CURLcode as int) as a result code in the internet range 12000-12999;
// CURLE_ABORTED_BY_CALLBACK is the user's cancel (kCancelled). 0 for CURLE_OK.
[[nodiscard]] ResultCode fromCurl(int curlCode);

// A readable text for a result code: system and internet errors, the "answer is not XML"
// family (0x800C0000 | HTTP status), a missing result element, and an explicit text for any
// code it does not know. Empty for a code that is not a failure. `flatten` replaces every
// CR LF by two blanks, for one-line log entries.
std::string errorText(ResultCode rc, bool flatten = false);

// Windows-numbered system errors (the low 16 bits of a failure code).
namespace err {
constexpr std::uint32_t FileNotFound = 2;
constexpr std::uint32_t PathNotFound = 3;
constexpr std::uint32_t AccessDenied = 5;
constexpr std::uint32_t InvalidData = 13;
// Further system numbers the transport and temporary files produce.
constexpr std::uint32_t InvalidHandle = 6;
constexpr std::uint32_t NotEnoughMemory = 8;
constexpr std::uint32_t NotSameDevice = 17;
constexpr std::uint32_t SharingViolation = 32;
constexpr std::uint32_t HandleEof = 38;
constexpr std::uint32_t NotSupported = 50;
constexpr std::uint32_t InvalidParameter = 87;
constexpr std::uint32_t DirNotEmpty = 145;
constexpr std::uint32_t FileTooLarge = 223;
// ERROR_FILE_INVALID: a download found another version of the file between its pieces.
constexpr std::uint32_t FileInvalid = 1006;
constexpr std::uint32_t NoUnicodeTranslation = 1113;
constexpr std::uint32_t InternalError = 1359;
constexpr std::uint32_t CantResolveFilename = 1921;
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

// The internet-range numbers libcurl failures are mapped to (WinInet's numbering).
constexpr std::uint32_t InternetTimeout = 12002;
constexpr std::uint32_t InternetInternalError = 12004;
constexpr std::uint32_t InternetInvalidUrl = 12005;
constexpr std::uint32_t InternetUnrecognizedScheme = 12006;
constexpr std::uint32_t InternetNameNotResolved = 12007;
constexpr std::uint32_t InternetLoginFailure = 12015;
constexpr std::uint32_t InternetCannotConnect = 12029;
constexpr std::uint32_t InternetConnectionAborted = 12030;
constexpr std::uint32_t InternetConnectionReset = 12031;
constexpr std::uint32_t InternetInvalidCa = 12045;
constexpr std::uint32_t InternetInvalidServerResponse = 12152;
constexpr std::uint32_t InternetSecurityChannelError = 12157;
constexpr std::uint32_t InternetProxyUnreachable = 12165;
constexpr std::uint32_t InternetSecureFailure = 12175;
constexpr std::uint32_t InternetLast = 12999;
} // namespace err

[[nodiscard]] constexpr ResultCode fromWin32(std::uint32_t e)
{
    return e == 0 ? 0 : static_cast<ResultCode>(0x80070000u | (e & 0xFFFFu));
}
[[nodiscard]] constexpr ResultCode fromHttpStatus(int status)
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
