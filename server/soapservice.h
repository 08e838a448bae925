#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace server {

class Repository;
class SoapRequest;
struct Caller;

struct HttpReply
{
    int status = 200;
    std::string body;
};

// The 20 operations of the service over a Repository: reads a request envelope,
// checks it, runs the operation and writes the answer envelope. Runs on any server
// thread; blocks on the store.
class SoapService
{
public:
    SoapService(Repository &repository, std::size_t chunkBytes, bool authenticated);

    // soapAction is the header's value; httpUser is the authenticated user name, empty
    // when authentication is off; connection names the peer's connection (address and
    // port), which keeps a chunked download on one version.
    HttpReply handle(std::string_view soapAction, std::string_view body,
                     const std::string &httpUser, const std::string &remoteAddress,
                     const std::string &connection = {});

    // The named connection is closed; none of its requests is in progress. Thread-safe.
    void connectionEnded(const std::string &connection);

private:
    HttpReply dispatch(const SoapRequest &request, const std::string &httpUser,
                       const std::string &remoteAddress, const std::string &connection);
    HttpReply logon(const SoapRequest &request, const std::string &httpUser);

    Repository &m_repository;
    std::size_t m_chunkBytes;
    bool m_authenticated;
};

} // namespace server
