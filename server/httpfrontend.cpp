#include "httpfrontend.h"

#include "base64.h"
#include "guardedserver.h"
#include "serverconstants.h"
#include "soapreply.h"
#include "soapservice.h"
#include "wiretext.h"

#include <httplib.h>

#include <limits>

namespace server {

HttpFrontEnd::HttpFrontEnd(SoapService &service, Settings settings)
    : m_service(service)
    , m_settings(std::move(settings))
{
}

HttpFrontEnd::~HttpFrontEnd() = default;

// Compares without stopping at the first difference, so the time taken tells
// nothing about how much of a password was right.
static bool sameSecret(const std::string &a, const std::string &b)
{
    unsigned char difference = a.size() == b.size() ? 0 : 1;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ (i < b.size() ? b[i] : 0));
    return difference == 0;
}

bool HttpFrontEnd::authenticate(const std::string &authorization, std::string &user) const
{
    static constexpr std::string_view kBasic = "Basic ";
    if (authorization.size() <= kBasic.size() ||
        authorization.compare(0, kBasic.size(), kBasic) != 0) {
        return false;
    }
    std::string credentials;
    if (!decodeBase64(std::string_view(authorization).substr(kBasic.size()), credentials))
        return false;
    const auto colon = credentials.find(':');
    if (colon == std::string::npos)
        return false;
    const std::string name = credentials.substr(0, colon);
    const auto found = m_settings.users.find(name);
    if (found == m_settings.users.end() ||
        !sameSecret(credentials.substr(colon + 1), found->second))
        return false;
    user = name;
    return true;
}

int HttpFrontEnd::bind(std::string &error)
{
    m_counter = std::make_unique<ConnectionCounter>(constants::kMaxConnectionsPerAddress);
    const ConnectionRules rules{std::chrono::seconds(m_settings.requestTimeoutSeconds),
                                m_counter.get(), [this](const std::string &connection) {
                                    m_service.connectionEnded(connection);
                                }};
    if (!m_settings.tlsCertificate.empty()) {
        auto tls = std::make_unique<GuardedServer<httplib::SSLServer>>(
            rules, m_settings.tlsCertificate.c_str(), m_settings.tlsKey.c_str());
        if (!tls->is_valid()) {
            error = "cannot use the TLS certificate " + m_settings.tlsCertificate + " and key " +
                    m_settings.tlsKey;
            return -1;
        }
        m_server = std::move(tls);
    } else {
        m_server = std::make_unique<GuardedServer<httplib::Server>>(rules);
    }
    httplib::Server &server = *m_server;
    // cpp-httplib takes ownership of the queue it is given (httplib.h, new_task_queue).
    server.new_task_queue = [] {
        return new httplib::ThreadPool(constants::kWorkerThreads);
    };
    server.set_payload_max_length(constants::kMaxRequestBytes);
    // Headers and body go out in separate writes; without this, Nagle's algorithm and
    // the peer's delayed ACK add tens of milliseconds to every answer.
    server.set_tcp_nodelay(true);
    // No cap on the requests of one kept-alive connection: closing one in the middle of
    // a chunked download would make the download go on over a new connection, where it
    // can only be told from another of the same user and file by its offset.
    server.set_keep_alive_max_count(std::numeric_limits<std::size_t>::max());
    // An idle kept-alive connection holds a worker, and stop() waits for it to time
    // out, so keep the wait short; a chunked transfer reuses its connection at once.
    server.set_keep_alive_timeout(2);
    server.set_read_timeout(60);
    server.set_write_timeout(60);

    server.Post(std::string(constants::kObjectPath), [this](const httplib::Request &request,
                                                            httplib::Response &response,
                                                            const httplib::ContentReader &reader) {
        // Read the whole body even when it will be refused, so a kept-alive connection
        // stays in step; beyond the limit the bytes are dropped, not kept.
        std::string body;
        // One allocation of the announced size instead of doublings that briefly hold
        // twice the body.
        std::int64_t announced = 0;
        if (parseInt(request.get_header_value("Content-Length"), announced) && announced > 0 &&
            static_cast<std::uint64_t>(announced) <= constants::kMaxRequestBytes)
            body.reserve(static_cast<std::size_t>(announced));
        bool tooLarge = false;
        const bool complete = reader([&](const char *data, std::size_t length) {
            if (tooLarge || body.size() + length > constants::kMaxRequestBytes) {
                tooLarge = true;
                std::string().swap(body);
                return true;
            }
            body.append(data, length);
            return true;
        });
        if (tooLarge || response.status == 413) {
            response.status = 413;
            return;
        }
        if (!complete) {
            response.status = 400;
            return;
        }
        std::string user;
        if (!m_settings.users.empty() &&
            !authenticate(request.get_header_value("Authorization"), user)) {
            response.status = 401;
            response.set_header("WWW-Authenticate",
                                "Basic realm=\"" + std::string(constants::kRealm) + "\"");
            return;
        }
        HttpReply reply = m_service.handle(
            request.get_header_value("SOAPAction"), body, user, request.remote_addr,
            connectionName(request.remote_addr, request.remote_port));
        response.status = reply.status;
        response.set_content(std::move(reply.body), std::string(constants::kContentType));
    });
    server.Get(std::string(constants::kObjectPath),
               [](const httplib::Request &, httplib::Response &response) {
                   response.status = 405;
                   response.set_header("Allow", "POST");
               });
    server.set_exception_handler(
        [](const httplib::Request &, httplib::Response &response, std::exception_ptr) {
            response.status = 500;
            response.set_content(SoapReply::fault("Server", "The service failed."),
                                 std::string(constants::kContentType));
        });

    const int port =
        m_settings.port == 0
            ? server.bind_to_any_port(m_settings.bindAddress)
            : (server.bind_to_port(m_settings.bindAddress, m_settings.port) ? m_settings.port : -1);
    if (port < 0)
        error = "cannot listen on " + m_settings.bindAddress + " port " +
                std::to_string(m_settings.port);
    return port;
}

bool HttpFrontEnd::serve()
{
    return m_server && m_server->listen_after_bind();
}

void HttpFrontEnd::stop()
{
    if (m_server)
        m_server->stop();
}

} // namespace server
