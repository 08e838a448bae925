#include "guardedserver.h"

#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace server {

bool ConnectionCounter::enter(const std::string &address)
{
    std::lock_guard lock(m_mutex);
    std::size_t &open = m_open[address];
    if (open >= m_perAddress)
        return false;
    ++open;
    return true;
}

void ConnectionCounter::leave(const std::string &address)
{
    std::lock_guard lock(m_mutex);
    const auto found = m_open.find(address);
    if (found != m_open.end() && --found->second == 0)
        m_open.erase(found);
}

std::string connectionName(const std::string &address, int port)
{
    return address + " " + std::to_string(port);
}

namespace {

using Clock = std::chrono::steady_clock;

std::string addressText(const sockaddr_storage &address, int &port)
{
    char text[INET6_ADDRSTRLEN] = "";
    if (address.ss_family == AF_INET) {
        const auto &v4 = reinterpret_cast<const sockaddr_in &>(address);
        inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        port = ntohs(v4.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto &v6 = reinterpret_cast<const sockaddr_in6 &>(address);
        inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        port = ntohs(v6.sin6_port);
    }
    return text;
}

bool waitFor(int fd, short events, long milliseconds)
{
    if (milliseconds <= 0)
        return false;
    pollfd entry{fd, events, 0};
    for (;;) {
        const int ready =
            ::poll(&entry, 1, static_cast<int>(std::min<long>(milliseconds, INT_MAX)));
        if (ready < 0 && errno == EINTR)
            continue;
        return ready > 0;
    }
}

// A non-blocking socket, plain or under TLS, read against the current request's
// deadline and written against the write time-out.
class DeadlineStream final : public httplib::Stream
{
public:
    DeadlineStream(int fd, SSL *tls, const ServerTimes &times)
        : m_fd(fd)
        , m_tls(tls)
        , m_times(times)
    {
    }

    void startRequest(Clock::time_point deadline)
    {
        m_deadline = deadline;
        m_failed = false;
    }
    // A read of this request timed out or failed: the connection is out of step.
    bool failed() const { return m_failed; }
    bool hasBufferedInput() const { return m_tls && SSL_pending(m_tls) > 0; }

    bool is_readable() const override
    {
        return hasBufferedInput() || waitFor(m_fd, POLLIN, readWait());
    }
    bool is_writable() const override
    {
        return waitFor(m_fd, POLLOUT, static_cast<long>(m_times.writeSeconds) * 1000);
    }

    ssize_t read(char *ptr, size_t size) override
    {
        const ssize_t got = readSome(ptr, size);
        m_failed = m_failed || got < 0;
        return got;
    }

    ssize_t write(const char *ptr, size_t size) override
    {
        const int chunk = static_cast<int>(std::min<size_t>(size, INT_MAX));
        const long wait = static_cast<long>(m_times.writeSeconds) * 1000;
        for (;;) {
            short waitEvents = POLLOUT;
            if (m_tls) {
                const int wrote = SSL_write(m_tls, ptr, chunk);
                if (wrote > 0)
                    return wrote;
                const int error = SSL_get_error(m_tls, wrote);
                if (error == SSL_ERROR_WANT_READ)
                    waitEvents = POLLIN;
                else if (error != SSL_ERROR_WANT_WRITE)
                    return -1;
            } else {
                const ssize_t wrote = ::send(m_fd, ptr, size, MSG_NOSIGNAL);
                if (wrote >= 0)
                    return wrote;
                if (errno == EINTR)
                    continue;
                if (errno != EAGAIN && errno != EWOULDBLOCK)
                    return -1;
            }
            if (!waitFor(m_fd, waitEvents, wait))
                return -1;
        }
    }
    ssize_t readSome(char *ptr, size_t size)
    {
        const int chunk = static_cast<int>(std::min<size_t>(size, INT_MAX));
        for (;;) {
            if (Clock::now() >= m_deadline)
                return -1;
            short waitEvents = POLLIN;
            if (m_tls) {
                const int got = SSL_read(m_tls, ptr, chunk);
                if (got > 0)
                    return got;
                const int error = SSL_get_error(m_tls, got);
                if (error == SSL_ERROR_ZERO_RETURN)
                    return 0;
                if (error == SSL_ERROR_WANT_WRITE)
                    waitEvents = POLLOUT;
                else if (error != SSL_ERROR_WANT_READ)
                    return -1;
            } else {
                const ssize_t got = ::recv(m_fd, ptr, size, 0);
                if (got >= 0)
                    return got;
                if (errno == EINTR)
                    continue;
                if (errno != EAGAIN && errno != EWOULDBLOCK)
                    return -1;
            }
            if (!waitFor(m_fd, waitEvents, readWait()))
                return -1;
        }
    }

    void get_remote_ip_and_port(std::string &ip, int &port) const override
    {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        port = 0;
        if (::getpeername(m_fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
            ip = addressText(address, port);
    }
    void get_local_ip_and_port(std::string &ip, int &port) const override
    {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        port = 0;
        if (::getsockname(m_fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
            ip = addressText(address, port);
    }
    socket_t socket() const override { return m_fd; }

private:
    // Milliseconds a read may wait: the read time-out, cut at the deadline.
    long readWait() const
    {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - Clock::now())
                .count();
        return std::min<long>(static_cast<long>(m_times.readSeconds) * 1000, left);
    }

    int m_fd;
    SSL *m_tls;
    ServerTimes m_times;
    Clock::time_point m_deadline = Clock::time_point::max();
    bool m_failed = false;
};

bool acceptTls(int fd, SSL *tls, Clock::time_point deadline)
{
    for (;;) {
        const int done = SSL_accept(tls);
        if (done == 1)
            return true;
        const int error = SSL_get_error(tls, done);
        short events = 0;
        if (error == SSL_ERROR_WANT_READ)
            events = POLLIN;
        else if (error == SSL_ERROR_WANT_WRITE)
            events = POLLOUT;
        else
            return false;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (!waitFor(fd, events, static_cast<long>(left)))
            return false;
    }
}

} // namespace

bool serveGuardedConnection(int socket, SSL_CTX *tls, const ConnectionRules &rules,
                            const ServerTimes &times, const std::function<bool()> &stopping,
                            const std::function<bool(httplib::Stream &, bool, bool &)> &process)
{
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    int port = 0;
    const std::string address =
        ::getpeername(socket, reinterpret_cast<sockaddr *>(&peer), &length) == 0
            ? addressText(peer, port)
            : std::string();
    bool served = false;
    if (!rules.counter || rules.counter->enter(address)) {
        ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK);
        SSL *session = nullptr;
        bool ready = true;
        if (tls) {
            session = SSL_new(tls);
            ready = session && SSL_set_fd(session, socket) == 1 &&
                    acceptTls(socket, session, Clock::now() + rules.requestTimeout);
        }
        DeadlineStream stream(socket, session, times);
        for (std::size_t left = times.keepAliveCount; ready && left > 0 && !stopping(); --left) {
            // An idle kept-alive connection waits at most the keep-alive time-out.
            if (!stream.hasBufferedInput() &&
                !waitFor(socket, POLLIN, static_cast<long>(times.keepAliveSeconds) * 1000))
                break;
            stream.startRequest(Clock::now() + rules.requestTimeout);
            bool closed = false;
            served = process(stream, left == 1, closed);
            // After a request that could not be read whole (the 400 is sent), the next
            // bytes are no request's beginning.
            if (!served || closed || stream.failed())
                break;
        }
        if (session) {
            if (ready)
                SSL_shutdown(session);
            SSL_free(session);
        }
        if (rules.counter)
            rules.counter->leave(address);
    }
    ::shutdown(socket, SHUT_RDWR);
    ::close(socket);
    if (rules.ended && !address.empty())
        rules.ended(connectionName(address, port));
    return served;
}

} // namespace server
