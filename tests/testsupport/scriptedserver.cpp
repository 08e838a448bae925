#include "scriptedserver.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

static bool equalsNoCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::optional<std::string> CapturedRequest::header(std::string_view name) const
{
    for (const auto &[k, v] : headers) {
        if (equalsNoCase(k, name))
            return v;
    }
    return std::nullopt;
}

int CapturedRequest::headerCount(std::string_view name) const
{
    return static_cast<int>(
        std::ranges::count_if(headers, [&](const auto &h) { return equalsNoCase(h.first, name); }));
}

std::string soapEnvelope(std::string_view inner)
{
    std::string s = "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                    "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                    "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"><soap:Body>";
    s += inner;
    s += "</soap:Body></soap:Envelope>";
    return s;
}

ScriptedReply ScriptedReply::xml(std::string body, int status, std::string reason)
{
    ScriptedReply r;
    r.status = status;
    r.reason = std::move(reason);
    r.headers = {{"Content-Type", "text/xml; charset=utf-8"}};
    r.body = std::move(body);
    return r;
}

ScriptedReply ScriptedReply::soap(std::string_view inner, int status, std::string reason)
{
    return xml(soapEnvelope(inner), status, std::move(reason));
}

ScriptedReply ScriptedReply::text(int status, std::string reason, std::string body)
{
    ScriptedReply r;
    r.status = status;
    r.reason = std::move(reason);
    r.headers = {{"Content-Type", "text/html"}};
    r.body = std::move(body);
    return r;
}

ScriptedReply ScriptedReply::withMode(Mode mode)
{
    ScriptedReply r;
    r.mode = mode;
    return r;
}

std::optional<TlsFiles> makeTestCertificates(const std::filesystem::path &dir, std::string &error)
{
    std::filesystem::create_directories(dir);
    TlsFiles f{dir / "ca.pem", dir / "server.pem", dir / "server.key"};
    {
        std::ofstream ext(dir / "ext.cnf");
        ext << "subjectAltName=IP:127.0.0.1,DNS:localhost\n"
               "basicConstraints=CA:FALSE\n"
               "keyUsage=digitalSignature,keyEncipherment\n"
               "extendedKeyUsage=serverAuth\n";
    }
    const std::string d = "'" + dir.string() + "'";
    const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    const std::string commands[] = {
        "openssl req -x509" + ec + " -keyout " + d + "/ca.key -out " + d +
            "/ca.pem -days 2 -subj '/CN=Ravelind Test CA'"
            " -addext basicConstraints=critical,CA:TRUE"
            " -addext keyUsage=critical,keyCertSign,cRLSign",
        "openssl req" + ec + " -keyout " + d + "/server.key -out " + d +
            "/server.csr -subj /CN=localhost",
        "openssl x509 -req -in " + d + "/server.csr -CA " + d + "/ca.pem -CAkey " + d +
            "/ca.key -CAcreateserial -out " + d + "/server.pem -days 2 -extfile " + d + "/ext.cnf",
    };
    for (const std::string &c : commands) {
        const std::string quiet = c + " >" + d + "/openssl.log 2>&1";
        if (std::system(quiet.c_str()) != 0) {
            std::ifstream log(dir / "openssl.log");
            std::stringstream ss;
            ss << log.rdbuf();
            error = "openssl failed: " + c + "\n" + ss.str();
            return std::nullopt;
        }
    }
    return f;
}

struct ScriptedServer::Connection
{
    int fd = -1;
    SSL *ssl = nullptr;
    int index = 0;
    std::mutex closeMutex;

    ~Connection()
    {
        if (ssl != nullptr)
            SSL_free(ssl);
        if (fd >= 0)
            ::close(fd);
    }

    // Bytes read, 0 at the end, -1 on failure.
    long readSome(char *buf, std::size_t n)
    {
        if (ssl != nullptr) {
            const int r = SSL_read(ssl, buf, static_cast<int>(n));
            return r > 0 ? r : (SSL_get_error(ssl, r) == SSL_ERROR_ZERO_RETURN ? 0 : -1);
        }
        for (;;) {
            const ssize_t r = ::recv(fd, buf, n, 0);
            if (r < 0 && errno == EINTR)
                continue;
            return static_cast<long>(r);
        }
    }

    bool writeAll(std::string_view data)
    {
        while (!data.empty()) {
            long w = 0;
            if (ssl != nullptr) {
                w = SSL_write(ssl, data.data(), static_cast<int>(data.size()));
            } else {
                w = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
                if (w < 0 && errno == EINTR)
                    continue;
            }
            if (w <= 0)
                return false;
            data.remove_prefix(static_cast<std::size_t>(w));
        }
        return true;
    }
};

struct ScriptedServer::Threads
{
    std::thread acceptor;
    std::vector<std::thread> workers;
};

ScriptedServer::ScriptedServer(std::optional<TlsFiles> tls)
    : m_threads(std::make_unique<Threads>())
{
    // A client that goes away mid-answer must not kill the test binary.
    std::signal(SIGPIPE, SIG_IGN);
    if (tls) {
        SSL_CTX *ctx = SSL_CTX_new(TLS_server_method());
        if (ctx == nullptr ||
            SSL_CTX_use_certificate_chain_file(ctx, tls->serverCert.c_str()) != 1 ||
            SSL_CTX_use_PrivateKey_file(ctx, tls->serverKey.c_str(), SSL_FILETYPE_PEM) != 1) {
            if (ctx != nullptr)
                SSL_CTX_free(ctx);
            return;
        }
        m_sslCtx = ctx;
        m_tls = true;
    }
    if (::pipe2(m_wakePipe, O_CLOEXEC) != 0)
        return;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 ||
        ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0) {
        ::close(fd);
        return;
    }
    m_listenFd = fd;
    m_port = ntohs(addr.sin_port);
    m_threads->acceptor = std::thread([this] { acceptLoop(); });
}

ScriptedServer::~ScriptedServer()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        for (const auto &c : m_open)
            ::shutdown(c->fd, SHUT_RDWR);
    }
    m_changed.notify_all();
    if (m_wakePipe[1] >= 0) {
        const char b = 1;
        [[maybe_unused]] const ssize_t w = ::write(m_wakePipe[1], &b, 1);
    }
    if (m_threads->acceptor.joinable())
        m_threads->acceptor.join();
    for (std::thread &t : m_threads->workers)
        t.join();
    m_open.clear();
    if (m_listenFd >= 0)
        ::close(m_listenFd);
    for (int p : m_wakePipe) {
        if (p >= 0)
            ::close(p);
    }
    if (m_sslCtx != nullptr)
        SSL_CTX_free(static_cast<SSL_CTX *>(m_sslCtx));
}

void ScriptedServer::enqueue(ScriptedReply reply)
{
    std::lock_guard lock(m_mutex);
    m_queue.push_back(std::move(reply));
}

void ScriptedServer::setHandler(Handler handler)
{
    std::lock_guard lock(m_mutex);
    m_handler = std::move(handler);
}

std::vector<CapturedRequest> ScriptedServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

int ScriptedServer::connectionCount() const
{
    std::lock_guard lock(m_mutex);
    return m_connections;
}

bool ScriptedServer::waitForRequests(std::size_t count, std::chrono::milliseconds limit) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, limit, [&] { return m_requests.size() >= count; });
}

protocol::ServerProfile ScriptedServer::profile(std::uint32_t timeoutSeconds) const
{
    protocol::ServerProfile p;
    p.name = "Scripted";
    p.server = "127.0.0.1";
    p.port = m_port;
    p.url = "/service.asmx";
    p.userId = "tester";
    p.useSsl = m_tls ? 1 : 0;
    p.timeout = timeoutSeconds;
    return p;
}

void ScriptedServer::acceptLoop()
{
    for (;;) {
        pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0)
            return;
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        auto c = std::make_shared<Connection>();
        c->fd = fd;
        std::lock_guard lock(m_mutex);
        if (m_stopping)
            return;
        c->index = m_connections++;
        m_open.push_back(c);
        m_threads->workers.emplace_back([this, c] { serve(c); });
    }
}

ScriptedReply ScriptedServer::nextReply(const CapturedRequest &request)
{
    Handler handler;
    {
        std::lock_guard lock(m_mutex);
        if (m_next < m_queue.size())
            return m_queue[m_next++];
        handler = m_handler;
    }
    if (handler)
        return handler(request);
    return ScriptedReply::text(500, "No scripted reply", "no scripted reply");
}

static std::string trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return std::string(s);
}

void ScriptedServer::serve(std::shared_ptr<Connection> c)
{
    if (m_tls) {
        c->ssl = SSL_new(static_cast<SSL_CTX *>(m_sslCtx));
        SSL_set_fd(c->ssl, c->fd);
        if (SSL_accept(c->ssl) != 1)
            return;
    }
    std::string buffer;
    char chunk[65536];
    for (;;) {
        // Head.
        std::size_t headEnd;
        while ((headEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
            const long n = c->readSome(chunk, sizeof chunk);
            if (n <= 0)
                return;
            buffer.append(chunk, static_cast<std::size_t>(n));
        }
        CapturedRequest req;
        req.connection = c->index;
        req.head = buffer.substr(0, headEnd + 4);
        buffer.erase(0, headEnd + 4);
        std::istringstream lines(req.head);
        std::string line;
        std::getline(lines, line);
        {
            std::istringstream rl(line);
            rl >> req.method >> req.target >> req.version;
        }
        std::size_t length = 0;
        while (std::getline(lines, line) && line != "\r" && !line.empty()) {
            const std::size_t colon = line.find(':');
            if (colon == std::string::npos)
                continue;
            std::string name = line.substr(0, colon);
            std::string value = trim(std::string_view(line).substr(colon + 1));
            if (equalsNoCase(name, "Content-Length"))
                length = static_cast<std::size_t>(std::strtoull(value.c_str(), nullptr, 10));
            req.headers.emplace_back(std::move(name), std::move(value));
        }
        std::optional<ScriptedReply> early;
        {
            std::lock_guard lock(m_mutex);
            if (m_next < m_queue.size() && m_queue[m_next].answerBeforeBody)
                early = m_queue[m_next++];
        }
        if (early) {
            req.body = buffer.substr(0, std::min(length, buffer.size()));
            {
                std::lock_guard lock(m_mutex);
                m_requests.push_back(req);
            }
            m_changed.notify_all();
            std::string out =
                "HTTP/1.1 " + std::to_string(early->status) + ' ' + early->reason + "\r\n";
            for (const auto &[k, v] : early->headers)
                out += k + ": " + v + "\r\n";
            out += "Content-Length: " + std::to_string(early->body.size()) +
                   "\r\nConnection: close\r\n\r\n" + early->body;
            c->writeAll(out);
            for (std::size_t have = buffer.size(); have < length;) {
                const long n = c->readSome(chunk, sizeof chunk);
                if (n <= 0)
                    break;
                have += static_cast<std::size_t>(n);
            }
            ::shutdown(c->fd, SHUT_RDWR);
            return;
        }
        // Body.
        while (buffer.size() < length) {
            const long n = c->readSome(chunk, sizeof chunk);
            if (n <= 0)
                return;
            buffer.append(chunk, static_cast<std::size_t>(n));
        }
        req.body = buffer.substr(0, length);
        buffer.erase(0, length);
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(req);
        }
        m_changed.notify_all();

        ScriptedReply reply = nextReply(req);
        using Mode = ScriptedReply::Mode;
        switch (reply.mode) {
        case Mode::CloseImmediately:
            ::shutdown(c->fd, SHUT_RDWR);
            return;
        case Mode::Raw:
            c->writeAll(reply.raw);
            ::shutdown(c->fd, SHUT_RDWR);
            return;
        case Mode::NoAnswer:
            // Silent until the client gives up (its end closes) or the server stops.
            for (;;) {
                {
                    std::lock_guard lock(m_mutex);
                    if (m_stopping)
                        return;
                }
                pollfd p{c->fd, POLLIN, 0};
                if (::poll(&p, 1, 50) > 0) {
                    if (c->readSome(chunk, sizeof chunk) <= 0)
                        return;
                }
            }
        case Mode::Normal:
        case Mode::DropHalfway:
        case Mode::Trickle:
            break;
        }
        std::string out = reply.httpVersion + ' ' + std::to_string(reply.status);
        out += ' ';
        out += reply.reason;
        out += "\r\n";
        for (const auto &[k, v] : reply.headers)
            out += k + ": " + v + "\r\n";
        out += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
        if (reply.closeAfter)
            out += "Connection: close\r\n";
        out += "\r\n";
        if (reply.mode == Mode::DropHalfway) {
            out.append(reply.body, 0, reply.body.size() / 2);
            c->writeAll(out);
            ::shutdown(c->fd, SHUT_RDWR);
            return;
        }
        out += reply.body;
        if (reply.mode == Mode::Trickle && reply.pieces > 1) {
            const std::size_t step = (out.size() + static_cast<std::size_t>(reply.pieces) - 1) /
                                     static_cast<std::size_t>(reply.pieces);
            for (std::size_t at = 0; at < out.size(); at += step) {
                if (at != 0)
                    std::this_thread::sleep_for(reply.pause);
                if (!c->writeAll(std::string_view(out).substr(at, step)))
                    return;
            }
            out.clear();
        }
        if (!c->writeAll(out) || reply.closeAfter) {
            ::shutdown(c->fd, SHUT_RDWR);
            return;
        }
    }
}

} // namespace testsupport
