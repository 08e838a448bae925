#pragma once

#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <type_traits>
#include <utility>

namespace server {

// Counts the open connections of each peer address, so that one address can never
// hold every worker. Thread-safe.
class ConnectionCounter
{
public:
    explicit ConnectionCounter(std::size_t perAddress)
        : m_perAddress(perAddress)
    {
    }
    // False when address already has its share; otherwise counts one more.
    bool enter(const std::string &address);
    void leave(const std::string &address);

private:
    std::size_t m_perAddress;
    std::mutex m_mutex;
    std::map<std::string, std::size_t> m_open;
};

// How a connection is named to the service: its peer's address and port.
std::string connectionName(const std::string &address, int port);

struct ConnectionRules
{
    // From the first byte of a request to its last: a client that sends its header or
    // body slower than this loses the connection instead of keeping a worker.
    std::chrono::seconds requestTimeout{30};
    ConnectionCounter *counter = nullptr;
    // Called with the connection's name once it is closed and no more of its requests
    // will be served; may be empty.
    std::function<void(const std::string &)> ended;
};

// Serves one connection the way cpp-httplib does (keep-alive, its request parser and
// routing), but over a stream whose reads end at the request's deadline, TLS
// handshake included. Runs on a worker; closes the socket.
struct ServerTimes
{
    std::size_t keepAliveCount = 0;
    time_t keepAliveSeconds = 0;
    time_t readSeconds = 0;
    time_t writeSeconds = 0;
};
bool serveGuardedConnection(int socket, SSL_CTX *tls, const ConnectionRules &rules,
                            const ServerTimes &times, const std::function<bool()> &stopping,
                            const std::function<bool(httplib::Stream &, bool, bool &)> &process);

// cpp-httplib's Server or SSLServer with every connection served by
// serveGuardedConnection. cpp-httplib calls process_and_close_socket on a worker for
// each accepted connection (httplib.h, Server::listen_internal).
template<class Base> class GuardedServer final : public Base
{
public:
    template<class... Arguments>
    explicit GuardedServer(ConnectionRules rules, Arguments &&...arguments)
        : Base(std::forward<Arguments>(arguments)...)
        , m_rules(rules)
    {
    }

private:
    bool process_and_close_socket(socket_t sock) override
    {
        SSL_CTX *tls = nullptr;
        if constexpr (std::is_base_of_v<httplib::SSLServer, Base>)
            tls = this->ssl_context();
        const ServerTimes times{this->keep_alive_max_count_, this->keep_alive_timeout_sec_,
                                this->read_timeout_sec_, this->write_timeout_sec_};
        return serveGuardedConnection(
            sock, tls, m_rules, times, [this] { return this->svr_sock_ == INVALID_SOCKET; },
            [this](httplib::Stream &stream, bool closeConnection, bool &connectionClosed) {
                return this->process_request(stream, closeConnection, connectionClosed, nullptr);
            });
    }

    ConnectionRules m_rules;
};

} // namespace server
