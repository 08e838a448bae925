#include "platform/httptransport.h"

#include "platform/tempfile.h"

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>
#include <utility>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

// The largest piece libcurl hands over in one callback; bodies pass through buffers of this
// size, so memory does not grow with the body.
static constexpr long kTransferBuffer = 100000;

void initHttp()
{
    // curl_global_init is not thread-safe and must run once before any thread uses libcurl
    // (docs/libcurl/libcurl-thread.md).
    static std::once_flag once;
    std::call_once(once, [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        // With CURLOPT_NOSIGNAL set, a peer that closes a TLS connection can raise SIGPIPE
        // inside the TLS library; the application must ignore it (CURLOPT_NOSIGNAL(3)).
        struct sigaction old
        {
        };
        if (sigaction(SIGPIPE, nullptr, &old) == 0 && old.sa_handler == SIG_DFL)
            std::signal(SIGPIPE, SIG_IGN);
    });
}

namespace {

struct CurlDeleter
{
    void operator()(CURL *c) const { curl_easy_cleanup(c); }
};
struct SlistDeleter
{
    void operator()(curl_slist *l) const { curl_slist_free_all(l); }
};
using CurlPtr = std::unique_ptr<CURL, CurlDeleter>;
using SlistPtr = std::unique_ptr<curl_slist, SlistDeleter>;
using Clock = std::chrono::steady_clock;

// State the callbacks of one post share.
struct PostState
{
    TempFile *body = nullptr;
    TempFile *response = nullptr;
    std::int64_t responseStart = 0;
    HttpReply *reply = nullptr;
    const std::atomic<bool> *cancel = nullptr;
    std::uint32_t timeoutMs = 0;
    Clock::time_point lastActivity;
    curl_off_t lastUp = -1;
    curl_off_t lastDown = -1;
    bool timedOut = false;
    bool basicOffered = false;
    int readErrno = 0;
    int writeErrno = 0;
};

size_t readBody(char *buffer, size_t size, size_t count, void *user)
{
    auto *s = static_cast<PostState *>(user);
    std::size_t got = 0;
    const ResultCode rc = s->body->read(buffer, size * count, got);
    if (rc != 0) {
        s->readErrno = errno != 0 ? errno : EIO;
        return CURL_READFUNC_ABORT;
    }
    return got;
}

// libcurl rewinds the body through this when it must send it again, e.g. after a 401 that
// asks for credentials (CURLOPT_SEEKFUNCTION); the resend then starts at byte 0.
int seekBody(void *user, curl_off_t offset, int origin)
{
    auto *s = static_cast<PostState *>(user);
    if (origin != SEEK_SET)
        return CURL_SEEKFUNC_CANTSEEK;
    return s->body->seek(offset) == 0 ? CURL_SEEKFUNC_OK : CURL_SEEKFUNC_FAIL;
}

size_t writeResponse(char *data, size_t size, size_t count, void *user)
{
    auto *s = static_cast<PostState *>(user);
    const std::size_t n = size * count;
    if (s->response->write(data, n) != 0) {
        s->writeErrno = errno != 0 ? errno : EIO;
        return 0; // libcurl then fails with CURLE_WRITE_ERROR
    }
    return n;
}

size_t readHeader(char *data, size_t size, size_t count, void *user)
{
    auto *s = static_cast<PostState *>(user);
    const std::size_t n = size * count;
    std::string_view line(data, n);
    constexpr std::string_view kChallenge = "www-authenticate: basic";
    if (line.size() >= kChallenge.size() &&
        std::ranges::equal(line.substr(0, kChallenge.size()), kChallenge, [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == b;
        }))
        s->basicOffered = true;
    if (line.starts_with("HTTP/")) {
        // A new status line: an earlier answer (a 401 before the credentials were sent) is
        // over, and only the last answer's body and text count.
        std::string_view rest = line.substr(std::min(line.find(' '), line.size()));
        while (!rest.empty() && rest.front() == ' ')
            rest.remove_prefix(1);
        const std::size_t sp = rest.find(' ');
        std::string_view text =
            sp == std::string_view::npos ? std::string_view{} : rest.substr(sp + 1);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.remove_suffix(1);
        s->reply->statusText.assign(text);
        if (s->response->seek(s->responseStart) != 0 ||
            ::ftruncate(s->response->descriptor(), static_cast<off_t>(s->responseStart)) != 0) {
            s->writeErrno = errno != 0 ? errno : EIO;
            return 0;
        }
    }
    return n;
}

// Sees the user's cancel and watches for a silent server: no byte moved for the time-out.
int onTransferInfo(void *user, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow)
{
    auto *s = static_cast<PostState *>(user);
    if (s->cancel != nullptr && s->cancel->load())
        return 1;
    const auto now = Clock::now();
    if (dlnow != s->lastDown || ulnow != s->lastUp) {
        s->lastDown = dlnow;
        s->lastUp = ulnow;
        s->lastActivity = now;
        return 0;
    }
    if (s->timeoutMs != 0 && now - s->lastActivity >= std::chrono::milliseconds(s->timeoutMs)) {
        s->timedOut = true;
        return 1;
    }
    return 0;
}

// Adds the bundle named by RAVELIND_CA_FILE to the default trust store instead of replacing
// it (CURLOPT_SSL_CTX_FUNCTION, OpenSSL back end).
CURLcode addExtraCa(CURL *, void *sslCtx, void *)
{
    const char *file = std::getenv("RAVELIND_CA_FILE");
    if (file == nullptr || *file == '\0')
        return CURLE_OK;
    X509_STORE *store = SSL_CTX_get_cert_store(static_cast<SSL_CTX *>(sslCtx));
    if (store == nullptr || X509_STORE_load_locations(store, file, nullptr) != 1)
        return CURLE_SSL_CACERT_BADFILE;
    return CURLE_OK;
}

std::mutex s_caMutex;
SystemCaLocations s_caLocations;

// libcurl loads its built-in CA bundle and folder before anything else and fails the whole
// handshake with CURLE_SSL_CACERT_BADFILE when either is missing (CURLOPT_CAINFO(3),
// CURLOPT_CAPATH(3)), as on a machine without ca-certificates. A missing one is left out
// instead, so the RAVELIND_CA_FILE bundle is then trusted on its own and a server no loaded
// authority vouches for fails verification like any other untrusted server.
void useSystemCasThatExist(CURL *c)
{
    SystemCaLocations loc;
    {
        std::lock_guard lock(s_caMutex);
        loc = s_caLocations;
    }
    const char *builtIn = nullptr;
    if (loc.bundle.empty() && curl_easy_getinfo(c, CURLINFO_CAINFO, &builtIn) == CURLE_OK &&
        builtIn != nullptr)
        loc.bundle = builtIn;
    builtIn = nullptr;
    if (loc.folder.empty() && curl_easy_getinfo(c, CURLINFO_CAPATH, &builtIn) == CURLE_OK &&
        builtIn != nullptr)
        loc.folder = builtIn;

    struct stat st
    {
    };
    const bool haveBundle = !loc.bundle.empty() && ::access(loc.bundle.c_str(), R_OK) == 0;
    const bool haveFolder =
        !loc.folder.empty() && ::stat(loc.folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    curl_easy_setopt(c, CURLOPT_CAINFO, haveBundle ? loc.bundle.c_str() : nullptr);
    curl_easy_setopt(c, CURLOPT_CAPATH, haveFolder ? loc.folder.c_str() : nullptr);
}

std::string makeUrl(const HttpEndpoint &e)
{
    std::string url = e.secure ? "https://" : "http://";
    const bool ipv6 = e.host.find(':') != std::string::npos && !e.host.starts_with('[');
    url += ipv6 ? "[" + e.host + "]" : e.host;
    url += ':';
    url += std::to_string(e.port);
    if (!e.target.starts_with('/'))
        url += '/';
    url += e.target;
    return url;
}

} // namespace

void setSystemCaLocations(SystemCaLocations locations)
{
    std::lock_guard lock(s_caMutex);
    s_caLocations = std::move(locations);
}

struct HttpTransport::Handle
{
    CurlPtr curl;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    const std::atomic<bool> *cancel = nullptr;
    // The server and user whose Basic challenge has already been answered: later posts to it
    // send the credentials at once instead of sending every body twice.
    std::string basicAccepted;
    // The last answer came as HTTP/1.0 (with keep-alive, or it would have closed). libcurl
    // sends every later request on such a connection as HTTP/1.0 whatever CURLOPT_HTTP_VERSION
    // asks, so the next post takes a new connection.
    bool lastAnswerHttp10 = false;
};

HttpTransport::HttpTransport()
    : m_handle(std::make_unique<Handle>())
{
    initHttp();
    m_handle->curl.reset(curl_easy_init());
}

HttpTransport::~HttpTransport() = default;
HttpTransport::HttpTransport(HttpTransport &&) noexcept = default;
HttpTransport &HttpTransport::operator=(HttpTransport &&) noexcept = default;

void HttpTransport::setCancelFlag(const std::atomic<bool> *cancel)
{
    if (m_handle)
        m_handle->cancel = cancel;
}

ResultCode HttpTransport::post(const HttpEndpoint &endpoint, const std::string &soapAction,
                               TempFile &body, TempFile &response, HttpReply &reply)
{
    reply = {};
    if (!m_handle || !m_handle->curl)
        return fromWin32(err::NotEnoughMemory);
    if (m_handle->cancel != nullptr && m_handle->cancel->load())
        return kCancelled;

    std::int64_t length = 0;
    if (ResultCode rc = body.size(length); rc != 0)
        return rc;
    if (ResultCode rc = body.rewind(); rc != 0)
        return rc;

    PostState state;
    state.body = &body;
    state.response = &response;
    state.reply = &reply;
    state.cancel = m_handle->cancel;
    state.timeoutMs = endpoint.timeoutMs;
    state.lastActivity = Clock::now();
    {
        const off_t pos = ::lseek(response.descriptor(), 0, SEEK_END);
        if (pos < 0)
            return fromErrno(errno);
        state.responseStart = pos;
    }

    CURL *c = m_handle->curl.get();
    // A reset keeps the connection cache, so the next post to the same server reuses the
    // open connection (curl_easy_reset(3)).
    curl_easy_reset(c);
    m_handle->errorBuffer[0] = '\0';

    SlistPtr headers;
    for (const std::string &h : {std::string("Content-Type: text/xml; charset=utf-8"), soapAction,
                                 std::string("Expect:"), std::string("Accept:")}) {
        curl_slist *grown = curl_slist_append(headers.get(), h.c_str());
        if (grown == nullptr)
            return fromWin32(err::NotEnoughMemory);
        (void)headers.release();
        headers.reset(grown);
    }

    const std::string url = makeUrl(endpoint);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, m_handle->errorBuffer);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    if (m_handle->lastAnswerHttp10)
        curl_easy_setopt(c, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(c, CURLOPT_USERAGENT, "Brennovar");
    curl_easy_setopt(c, CURLOPT_POST, 1L);
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(length));
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_READFUNCTION, readBody);
    curl_easy_setopt(c, CURLOPT_READDATA, &state);
    curl_easy_setopt(c, CURLOPT_SEEKFUNCTION, seekBody);
    curl_easy_setopt(c, CURLOPT_SEEKDATA, &state);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, writeResponse);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &state);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, readHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &state);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, onTransferInfo);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &state);
    curl_easy_setopt(c, CURLOPT_BUFFERSIZE, kTransferBuffer);
    curl_easy_setopt(c, CURLOPT_UPLOAD_BUFFERSIZE, kTransferBuffer);
    if (endpoint.timeoutMs != 0)
        curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(endpoint.timeoutMs));

    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    if (endpoint.secure) {
        useSystemCasThatExist(c);
        curl_easy_setopt(c, CURLOPT_SSL_CTX_FUNCTION, addExtraCa);
    }

    const std::string authKey = url + '\n' + endpoint.userName;
    if (!endpoint.userName.empty()) {
        // Credentials are sent only when the server asks for them; the body is then sent
        // again from its first byte through the seek callback.
        curl_easy_setopt(c, CURLOPT_HTTPAUTH,
                         m_handle->basicAccepted == authKey ? CURLAUTH_BASIC : CURLAUTH_ANY);
        curl_easy_setopt(c, CURLOPT_USERNAME, endpoint.userName.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, endpoint.password.c_str());
    }
    if (endpoint.useProxy && !endpoint.proxyServer.empty()) {
        curl_easy_setopt(c, CURLOPT_PROXY, endpoint.proxyServer.c_str());
        if (!endpoint.proxyUserName.empty()) {
            curl_easy_setopt(c, CURLOPT_PROXYAUTH, CURLAUTH_ANY);
            curl_easy_setopt(c, CURLOPT_PROXYUSERNAME, endpoint.proxyUserName.c_str());
            curl_easy_setopt(c, CURLOPT_PROXYPASSWORD, endpoint.proxyPassword.c_str());
        }
    }

    const CURLcode cc = curl_easy_perform(c);
    // The slist and the state live on this stack frame; the handle must not keep them.
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, nullptr);

    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    long version = 0;
    curl_easy_getinfo(c, CURLINFO_HTTP_VERSION, &version);
    m_handle->lastAnswerHttp10 = version == CURL_HTTP_VERSION_1_0;
    if (cc == CURLE_OK) {
        reply.status = static_cast<int>(status);
        if (status == 401)
            m_handle->basicAccepted.clear();
        else if (state.basicOffered && !endpoint.userName.empty())
            m_handle->basicAccepted = authKey;
        return 0;
    }
    reply.detail =
        m_handle->errorBuffer[0] != '\0' ? m_handle->errorBuffer : curl_easy_strerror(cc);
    reply.status = 0;
    reply.statusText.clear();
    if (state.writeErrno != 0 && (cc == CURLE_WRITE_ERROR || cc == CURLE_ABORTED_BY_CALLBACK))
        return fromErrno(state.writeErrno);
    if (state.readErrno != 0 && (cc == CURLE_READ_ERROR || cc == CURLE_ABORTED_BY_CALLBACK))
        return fromErrno(state.readErrno);
    if (cc == CURLE_ABORTED_BY_CALLBACK && state.timedOut)
        return fromWin32(err::InternetTimeout);
    return fromCurl(cc);
}

} // namespace platform
