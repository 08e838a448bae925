// Peak memory of one post with a large request body and a large answer. The transport moves
// bodies between temporary files through fixed buffers, so the client's peak resident size
// must not grow with the body size. The server runs in a child process (its memory is not
// counted) and streams its answer without holding it.
//
// Run: ravelind_transport_memory [megabytes ...]   (default: 8 64 256)

#include <platform/httptransport.h>
#include <platform/tempfile.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Reads one request (discarding its body) and answers with `answerBytes` of XML text.
void serveOnce(int listenFd, std::int64_t answerBytes)
{
    const int fd = ::accept(listenFd, nullptr, nullptr);
    if (fd < 0)
        return;
    std::vector<char> buf(65536);
    std::string head;
    std::int64_t length = 0;
    std::int64_t bodyHave = 0;
    for (;;) {
        const ssize_t n = ::recv(fd, buf.data(), buf.size(), 0);
        if (n <= 0)
            return;
        if (length == 0 && head.find("\r\n\r\n") == std::string::npos) {
            head.append(buf.data(), static_cast<std::size_t>(n));
            const std::size_t end = head.find("\r\n\r\n");
            if (end == std::string::npos)
                continue;
            const std::size_t cl = head.find("Content-Length: ");
            length = std::atoll(head.c_str() + cl + 16);
            bodyHave = static_cast<std::int64_t>(head.size() - end - 4);
        } else {
            bodyHave += n;
        }
        if (bodyHave >= length)
            break;
    }
    const std::string prolog = "<?xml version=\"1.0\" encoding=\"utf-8\"?><a>";
    const std::string close = "</a>";
    const std::int64_t fill = answerBytes - static_cast<std::int64_t>(prolog.size() + close.size());
    std::string out = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " +
                      std::to_string(answerBytes) + "\r\n\r\n" + prolog;
    ::send(fd, out.data(), out.size(), MSG_NOSIGNAL);
    std::memset(buf.data(), 'x', buf.size());
    for (std::int64_t sent = 0; sent < fill;) {
        const std::size_t n = static_cast<std::size_t>(
            std::min<std::int64_t>(fill - sent, static_cast<std::int64_t>(buf.size())));
        const ssize_t w = ::send(fd, buf.data(), n, MSG_NOSIGNAL);
        if (w <= 0)
            return;
        sent += w;
    }
    ::send(fd, close.data(), close.size(), MSG_NOSIGNAL);
    ::close(fd);
}

long peakKiB()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

int measure(std::int64_t megabytes)
{
    const std::int64_t bytes = megabytes * 1024 * 1024;
    const int listenFd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(listenFd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd, 1) != 0 ||
        ::getsockname(listenFd, reinterpret_cast<sockaddr *>(&addr), &len) != 0)
        return 1;
    const pid_t child = ::fork();
    if (child == 0) {
        serveOnce(listenFd, bytes);
        ::_exit(0);
    }
    ::close(listenFd);

    platform::TempFile body;
    platform::TempFile response;
    if (platform::TempFile::create(body) != 0 || platform::TempFile::create(response) != 0)
        return 1;
    std::vector<char> chunk(1 << 20, 'b');
    for (std::int64_t i = 0; i < megabytes; ++i) {
        if (body.write(chunk.data(), chunk.size()) != 0)
            return 1;
    }
    const long before = peakKiB();
    platform::HttpEndpoint e;
    e.host = "127.0.0.1";
    e.port = ntohs(addr.sin_port);
    e.target = "/";
    e.timeoutMs = 60000;
    platform::HttpTransport transport;
    platform::HttpReply reply;
    const platform::ResultCode rc = transport.post(e, "SOAPAction: \"x\"", body, response, reply);
    std::int64_t got = 0;
    if (response.size(got) != 0)
        got = -1; // shown as such in the line below
    ::waitpid(child, nullptr, 0);
    std::printf("%6lld MB up and down: rc=%d status=%d answer=%lld bytes, peak RSS %ld KiB "
                "(%ld KiB before the post)\n",
                static_cast<long long>(megabytes), rc, reply.status, static_cast<long long>(got),
                peakKiB(), before);
    std::fflush(stdout); // the measuring child ends with _exit
    return rc == 0 && got == bytes ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::int64_t> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoll(argv[i]));
    if (sizes.empty())
        sizes = {8, 64, 256};
    int failures = 0;
    for (std::int64_t mb : sizes) {
        // A fresh process per size, so each peak is its own.
        const pid_t p = ::fork();
        if (p == 0)
            ::_exit(measure(mb));
        int status = 0;
        ::waitpid(p, &status, 0);
        failures += WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
    }
    return failures == 0 ? 0 : 1;
}
