#pragma once

// HTTP(S) POST of a body held in a temporary file, with the answer streamed into another one.
// The only place that knows libcurl.

#include "platform/resultcode.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class TempFile;

// Where and how one request goes.
struct HttpEndpoint
{
    std::string host;
    std::uint16_t port = 0;
    std::string target;   // request target, sent unchanged
    bool secure = false;  // HTTPS; certificates are always verified
    std::string userName; // HTTP authentication, used when the server asks for it
    std::string password;
    bool useProxy = false; // on: the proxy below; off: http_proxy/https_proxy/no_proxy apply
    std::string proxyServer;
    std::string proxyUserName;
    std::string proxyPassword;
    std::uint32_t timeoutMs = 60000; // connect time-out, and longest time without data; 0 = none
};

// What came back from a post. `status` is 0 when no answer arrived.
struct HttpReply
{
    int status = 0;
    std::string statusText; // the reason phrase of the final status line, as sent
    std::string detail;     // libcurl's own description of a failure; never shown alone
};

// One libcurl easy handle, kept for the owner's life so that consecutive posts reuse the
// connection. Belongs to one thread at a time; never shared between threads. Move-only.
class HttpTransport
{
public:
    HttpTransport();
    ~HttpTransport();
    HttpTransport(HttpTransport &&) noexcept;
    HttpTransport &operator=(HttpTransport &&) noexcept;

    // A flag another thread may set to stop a running post; the post then returns kCancelled.
    // The flag must outlive the transport or be reset to nullptr.
    void setCancelFlag(const std::atomic<bool> *cancel);

    // Posts the whole of `body` (from its first byte, again from its first byte whenever the
    // server asks for it to be resent, e.g. for authentication) with the headers
    // Content-Type: text/xml; charset=utf-8, Content-Length and `soapAction` (a complete
    // header line without CR LF), and appends the answer's body to `response`.
    // Blocks the calling thread. Returns 0 when an answer arrived (whatever its status),
    // otherwise a failure code: the internet range for transport failures, an errno-based
    // code for file failures, kCancelled when the cancel flag was seen.
    [[nodiscard]] ResultCode post(const HttpEndpoint &endpoint, const std::string &soapAction,
                                  TempFile &body, TempFile &response, HttpReply &reply);

private:
    struct Handle;
    std::unique_ptr<Handle> m_handle;
};

// Where the system's certificate authorities are looked for. Empty members stand for
// libcurl's built-in bundle file and folder.
struct SystemCaLocations
{
    std::string bundle;
    std::string folder;
};

// Replaces the system's locations for the posts that follow, in every thread. Tests use it to
// stand in for a machine without ca-certificates; the program never calls it.
void setSystemCaLocations(SystemCaLocations locations);

// Calls curl_global_init once for the process. Call it before the first thread that posts
// starts (the transport also calls it, which is enough for single-threaded programs).
void initHttp();

} // namespace platform
