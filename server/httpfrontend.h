#pragma once

#include <map>
#include <memory>
#include <string>

namespace httplib {
class Server;
}

namespace server {

class ConnectionCounter;
class SoapService;

// The HTTP(S) side: one POST object path, optional Basic authentication, a bound on
// request size, everything else answered with a 4xx status.
class HttpFrontEnd
{
public:
    struct Settings
    {
        std::string bindAddress;
        int port = 0;
        std::map<std::string, std::string> users; // name -> password; empty: no authentication
        std::string tlsCertificate;
        std::string tlsKey;
        int requestTimeoutSeconds = 30;
    };

    HttpFrontEnd(SoapService &service, Settings settings);
    ~HttpFrontEnd();
    HttpFrontEnd(const HttpFrontEnd &) = delete;
    HttpFrontEnd &operator=(const HttpFrontEnd &) = delete;

    // Binds the listening socket; returns the port, or -1 with a reason.
    int bind(std::string &error);
    // Serves until stop() is called from another thread; blocks.
    bool serve();
    // Thread-safe; makes serve() return once requests in progress are answered.
    void stop();

private:
    // The authenticated user name, or empty (then also false) when the request must
    // be refused.
    bool authenticate(const std::string &authorization, std::string &user) const;

    SoapService &m_service;
    Settings m_settings;
    std::unique_ptr<ConnectionCounter> m_counter;
    std::unique_ptr<httplib::Server> m_server;
};

} // namespace server
