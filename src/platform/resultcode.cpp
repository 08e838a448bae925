#include "platform/resultcode.h"

#include <curl/curl.h>

#include <cerrno>
#include <cstdio>

namespace platform {

std::uint32_t win32FromErrno(int errnoValue)
{
    switch (errnoValue) {
    case 0:
        return 0;
    case ENOENT:
        return err::FileNotFound;
    case ENOTDIR:
        return err::PathNotFound;
    case EMFILE:
    case ENFILE:
        return err::TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return err::AccessDenied;
    case EBADF:
        return err::InvalidHandle;
    case ENOMEM:
        return err::NotEnoughMemory;
    case EXDEV:
        return err::NotSameDevice;
    case EBUSY:
    case ETXTBSY:
        return err::SharingViolation;
    case ENOSYS:
    case EOPNOTSUPP:
        return err::NotSupported;
    case EINVAL:
        return err::InvalidParameter;
    case ENOSPC:
    case EDQUOT:
        return err::DiskFull;
    case ENOTEMPTY:
        return err::DirNotEmpty;
    case EEXIST:
        return err::AlreadyExists;
    case ENAMETOOLONG:
        return err::FilenameTooLong;
    case EFBIG:
    case EOVERFLOW:
        return err::FileTooLarge;
    case EILSEQ:
        return err::NoUnicodeTranslation;
    case EIO:
        return err::IoDevice;
    case ECANCELED:
        return err::Cancelled;
    case ELOOP:
        return err::CantResolveFilename;
    default:
        return err::InternalError;
    }
}

ResultCode fromErrno(int errnoValue)
{
    return fromWin32(win32FromErrno(errnoValue));
}

ResultCode fromCurl(int curlCode)
{
    std::uint32_t e = err::InternetInternalError;
    switch (static_cast<CURLcode>(curlCode)) {
    case CURLE_OK:
        return 0;
    case CURLE_ABORTED_BY_CALLBACK:
        return kCancelled;
    case CURLE_OUT_OF_MEMORY:
        return fromWin32(err::NotEnoughMemory);
    case CURLE_UNSUPPORTED_PROTOCOL:
        e = err::InternetUnrecognizedScheme;
        break;
    case CURLE_URL_MALFORMAT:
        e = err::InternetInvalidUrl;
        break;
    case CURLE_COULDNT_RESOLVE_HOST:
        e = err::InternetNameNotResolved;
        break;
    case CURLE_COULDNT_RESOLVE_PROXY:
        e = err::InternetProxyUnreachable;
        break;
    case CURLE_COULDNT_CONNECT:
        e = err::InternetCannotConnect;
        break;
    case CURLE_OPERATION_TIMEDOUT:
        e = err::InternetTimeout;
        break;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_GOT_NOTHING:
    case CURLE_HTTP2:
    case CURLE_BAD_CONTENT_ENCODING:
        e = err::InternetInvalidServerResponse;
        break;
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
        e = err::InternetConnectionAborted;
        break;
    case CURLE_LOGIN_DENIED:
        e = err::InternetLoginFailure;
        break;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
        e = err::InternetSecurityChannelError;
        break;
    case CURLE_PEER_FAILED_VERIFICATION:
        e = err::InternetSecureFailure;
        break;
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
        e = err::InternetInvalidCa;
        break;
    default:
        // Any other libcurl failure: an internal failure of the internet layer. The handle's
        // error buffer still tells the details.
        break;
    }
    return fromWin32(e);
}

static const char *systemText(std::uint32_t e)
{
    switch (e) {
    case err::FileNotFound:
        return "The system cannot find the file specified.";
    case err::PathNotFound:
        return "The system cannot find the path specified.";
    case err::TooManyOpenFiles:
        return "The system cannot open the file: too many files are open.";
    case err::AccessDenied:
        return "Access is denied.";
    case err::InvalidHandle:
        return "The handle is invalid.";
    case err::NotEnoughMemory:
        return "Not enough memory resources are available to process this command.";
    case err::InvalidData:
        return "The data is invalid.";
    case err::NotSameDevice:
        return "The system cannot move the file to a different disk drive.";
    case err::SharingViolation:
        return "The process cannot access the file because it is being used by another "
               "process.";
    case err::HandleEof:
        return "Reached the end of the file.";
    case err::NotSupported:
        return "The request is not supported.";
    case err::CannotMake:
        return "The directory or file cannot be created.";
    case err::InvalidParameter:
        return "The parameter is incorrect.";
    case err::InsufficientBuffer:
        return "The file name is too long.";
    case err::DiskFull:
        return "There is not enough space on the disk.";
    case err::DirNotEmpty:
        return "The directory is not empty.";
    case err::BadPathname:
        return "The specified path is invalid.";
    case err::NoMoreItems:
        return "No more data is available.";
    case err::RegistryCorrupt:
        return "The configuration registry database is corrupt.";
    case err::AlreadyExists:
        return "Cannot create a file when that file already exists.";
    case err::FilenameTooLong:
        return "The filename or extension is too long.";
    case err::FileTooLarge:
        return "The file size exceeds the limit allowed and cannot be saved.";
    case err::FileInvalid:
        return "The file was altered while it was being read, so the copy made of it is not "
               "valid.";
    case err::NoUnicodeTranslation:
        return "No mapping for the Unicode character exists in the target multi-byte code "
               "page.";
    case err::IoDevice:
        return "The request could not be performed because of an I/O device error.";
    case err::Cancelled:
        return "The operation was canceled by the user.";
    case err::InternalError:
        return "An internal error occurred.";
    case err::DatatypeMismatch:
        return "The data supplied is of the wrong type.";
    case err::CantResolveFilename:
        return "The name of the file cannot be resolved by the system.";
    default:
        return nullptr;
    }
}

static const char *internetText(std::uint32_t e)
{
    switch (e) {
    case err::InternetTimeout:
        return "The operation timed out.";
    case err::InternetInternalError:
        return "An internal error occurred in the internet connection.";
    case err::InternetInvalidUrl:
        return "The URL is invalid.";
    case err::InternetUnrecognizedScheme:
        return "The URL does not use a recognized protocol.";
    case err::InternetNameNotResolved:
        return "The server name or address could not be resolved: the host was not found.";
    case err::InternetLoginFailure:
        return "The login attempt failed.";
    case err::InternetCannotConnect:
        return "A connection with the server could not be established: the connection was "
               "refused or the server is unreachable.";
    case err::InternetConnectionAborted:
        return "The connection with the server was terminated abnormally.";
    case err::InternetConnectionReset:
        return "The connection with the server was reset.";
    case err::InternetInvalidCa:
        return "The certificate authority is invalid or incorrect.";
    case err::InternetInvalidServerResponse:
        return "The server returned an invalid or unrecognized response.";
    case err::InternetSecurityChannelError:
        return "An error occurred in the secure channel support.";
    case err::InternetProxyUnreachable:
        return "The designated proxy server cannot be reached.";
    case err::InternetSecureFailure:
        return "The server's certificate could not be verified: it is not trusted or does "
               "not match the server name.";
    default:
        return nullptr;
    }
}

static std::string unknownText(ResultCode rc)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "Unknown error 0x%08X.", static_cast<unsigned>(rc));
    return buf;
}

static std::string textOf(ResultCode rc)
{
    const auto u = static_cast<std::uint32_t>(rc);
    const std::uint32_t facility = u & 0xFFFF0000u;
    const std::uint32_t number = u & 0xFFFFu;
    if (facility == 0x80070000u) {
        if (const char *t = systemText(number))
            return t;
        if (const char *t = internetText(number))
            return t;
        return unknownText(rc);
    }
    if (rc == kMissingResult)
        return "The server's answer lacks an expected result.";
    if (rc == kUnspecifiedFailure)
        return "Unspecified error: the server's answer could not be read as an XML document.";
    if (facility == 0x800C0000u) {
        // 0x800C000D marks a date text that is not in the six-number form.
        if (number == err::InvalidData)
            return "The date in the server's answer is not valid.";
        if (number >= 100 && number <= 999) {
            char buf[96];
            std::snprintf(buf, sizeof buf,
                          "The server's answer is not an XML document (HTTP status %u).", number);
            return buf;
        }
    }
    return unknownText(rc);
}

std::string errorText(ResultCode rc, bool flatten)
{
    if (rc >= 0)
        return {};
    std::string text = textOf(rc);
    if (flatten) {
        for (std::size_t i = text.find("\r\n"); i != std::string::npos;
             i = text.find("\r\n", i + 2))
            text.replace(i, 2, "  ");
    }
    return text;
}

} // namespace platform
