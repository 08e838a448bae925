#include "testhelpers.h"

#include <platform/resultcode.h>
#include <protocol/callresult.h>

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <cerrno>

namespace {

using platform::ResultCode;

struct ErrnoRow
{
    const char *name;
    int errnoValue;
    std::uint32_t win32;
};

void PrintTo(const ErrnoRow &r, std::ostream *os)
{
    *os << r.name;
}

class ErrnoMapping : public ::testing::TestWithParam<ErrnoRow>
{
};

TEST_P(ErrnoMapping, GivesTheWindowsNumber)
{
    EXPECT_EQ(platform::win32FromErrno(GetParam().errnoValue), GetParam().win32);
    EXPECT_EQ(platform::fromErrno(GetParam().errnoValue), platform::fromWin32(GetParam().win32));
}

INSTANTIATE_TEST_SUITE_P(
    Values, ErrnoMapping,
    ::testing::Values(ErrnoRow{"None", 0, 0}, ErrnoRow{"NoEntry", ENOENT, 2},
                      ErrnoRow{"NotADirectory", ENOTDIR, 3}, ErrnoRow{"Access", EACCES, 5},
                      ErrnoRow{"Permission", EPERM, 5}, ErrnoRow{"ReadOnlyFs", EROFS, 5},
                      ErrnoRow{"Exists", EEXIST, 183}, ErrnoRow{"NoSpace", ENOSPC, 112},
                      ErrnoRow{"Quota", EDQUOT, 112}, ErrnoRow{"NoMemory", ENOMEM, 8},
                      ErrnoRow{"Busy", EBUSY, 32}, ErrnoRow{"NameTooLong", ENAMETOOLONG, 206},
                      ErrnoRow{"TooBig", EFBIG, 223}, ErrnoRow{"BadSequence", EILSEQ, 1113},
                      ErrnoRow{"Io", EIO, 1117},
                      ErrnoRow{"UnknownErrnoIsInternalError", EDOM, 1359}),
    testhelpers::RowName());

struct CurlRow
{
    const char *name;
    CURLcode curl;
    ResultCode code;
};

void PrintTo(const CurlRow &r, std::ostream *os)
{
    *os << r.name;
}

class CurlMapping : public ::testing::TestWithParam<CurlRow>
{
};

TEST_P(CurlMapping, LandsInTheInternetRange)
{
    EXPECT_EQ(platform::fromCurl(GetParam().curl), GetParam().code);
}

constexpr ResultCode inet(std::uint32_t e)
{
    return platform::fromWin32(e);
}

INSTANTIATE_TEST_SUITE_P(
    Values, CurlMapping,
    ::testing::Values(CurlRow{"Ok", CURLE_OK, 0},
                      CurlRow{"Cancel", CURLE_ABORTED_BY_CALLBACK, platform::kCancelled},
                      CurlRow{"HostNotFound", CURLE_COULDNT_RESOLVE_HOST, inet(12007)},
                      CurlRow{"Refused", CURLE_COULDNT_CONNECT, inet(12029)},
                      CurlRow{"Timeout", CURLE_OPERATION_TIMEDOUT, inet(12002)},
                      CurlRow{"NothingBack", CURLE_GOT_NOTHING, inet(12152)},
                      CurlRow{"PartialBody", CURLE_PARTIAL_FILE, inet(12030)},
                      CurlRow{"ReceiveError", CURLE_RECV_ERROR, inet(12030)},
                      CurlRow{"BadUrl", CURLE_URL_MALFORMAT, inet(12005)},
                      CurlRow{"Handshake", CURLE_SSL_CONNECT_ERROR, inet(12157)},
                      CurlRow{"UntrustedPeer", CURLE_PEER_FAILED_VERIFICATION, inet(12175)},
                      CurlRow{"BadCaFile", CURLE_SSL_CACERT_BADFILE, inet(12045)},
                      CurlRow{"ProxyNotFound", CURLE_COULDNT_RESOLVE_PROXY, inet(12165)},
                      CurlRow{"OutOfMemory", CURLE_OUT_OF_MEMORY, platform::fromWin32(8)},
                      CurlRow{"UnknownIsInternal", CURLE_TFTP_NOTFOUND, inet(12004)}),
    testhelpers::RowName());

struct TextRow
{
    const char *name;
    ResultCode code;
    const char *contains;
};

void PrintTo(const TextRow &r, std::ostream *os)
{
    *os << r.name;
}

class ErrorText : public ::testing::TestWithParam<TextRow>
{
};

TEST_P(ErrorText, SaysWhatHappened)
{
    const std::string text = platform::errorText(GetParam().code);
    EXPECT_NE(text.find(GetParam().contains), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Values, ErrorText,
    ::testing::Values(
        TextRow{"FileNotFound", platform::fromWin32(2), "cannot find the file"},
        TextRow{"DiskFull", platform::fromWin32(112), "not enough space"},
        TextRow{"Cancelled", platform::kCancelled, "canceled by the user"},
        TextRow{"SettingsFileCorrupt", platform::fromWin32(1009), "registry database is corrupt"},
        TextRow{"Refused", platform::fromCurl(CURLE_COULDNT_CONNECT), "refused"},
        TextRow{"HostNotFound", platform::fromCurl(CURLE_COULDNT_RESOLVE_HOST), "not found"},
        TextRow{"Timeout", platform::fromCurl(CURLE_OPERATION_TIMEDOUT), "timed out"},
        TextRow{"UntrustedCertificate", platform::fromCurl(CURLE_PEER_FAILED_VERIFICATION),
                "certificate"},
        TextRow{"NotXml200", platform::fromHttpStatus(200),
                "not an XML document (HTTP status 200)"},
        TextRow{"NotXml500", platform::fromHttpStatus(500), "HTTP status 500"},
        TextRow{"MissingResult", platform::kMissingResult, "lacks an expected result"},
        TextRow{"Unparsable", platform::kUnspecifiedFailure, "could not be read"},
        TextRow{"BadDate", static_cast<ResultCode>(0x800C000Du), "date"},
        TextRow{"UnknownSystemNumber", static_cast<ResultCode>(0x8007FFFFu),
                "Unknown error 0x8007FFFF"},
        TextRow{"UnknownFacility", static_cast<ResultCode>(0x80010105u),
                "Unknown error 0x80010105"}),
    testhelpers::RowName());

TEST(ErrorText, IsEmptyForCodesThatAreNoFailure)
{
    EXPECT_EQ(platform::errorText(0), "");
    EXPECT_EQ(platform::errorText(1), "");
}

TEST(CallResult, SucceedsOnlyWithNonNegativeCodeAndNoErrorText)
{
    EXPECT_TRUE((protocol::CallResult{0, "", 200, ""}).succeeded());
    EXPECT_FALSE((protocol::CallResult{0, "Not Found", 404, ""}).succeeded());
    EXPECT_FALSE((protocol::CallResult{platform::kMissingResult, "", 200, ""}).succeeded());
}

TEST(CallResult, MessagePrefersTheCodeTextForFailures)
{
    EXPECT_EQ((protocol::CallResult{0, "Folder exists", 500, ""}).message(), "Folder exists");
    EXPECT_EQ((protocol::CallResult{platform::kCancelled, "", 0, ""}).message(),
              platform::errorText(platform::kCancelled));
}

} // namespace
