#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace server {

// The command line of ravelind-server.
struct ServerOptions
{
    std::string dataDir;
    std::string bindAddress = "127.0.0.1";
    int port = 0;
    std::map<std::string, std::string> users;
    std::string tlsCertificate;
    std::string tlsKey;
    std::size_t chunkBytes = 0;
    std::int64_t uploadTimeoutSeconds = 0;
    std::int64_t maxUploadBytes = 0;
    std::int64_t maxPendingBytes = 0;
    int requestTimeoutSeconds = 0;
    bool seedDemo = false;

    // False with a reason for a command line that cannot be run. usersFromEnvironment
    // is the value of RAVELIND_SERVER_USERS (null when unset): name:password lines,
    // like the --users-file file.
    bool parse(const std::vector<std::string> &arguments, std::string &error,
               const char *usersFromEnvironment = nullptr);
    // Adds the name:password lines of text (blank lines and lines starting with # are
    // skipped); false with a reason naming origin and line.
    bool addUsers(const std::string &text, const std::string &origin, std::string &error);
    static const char *usage();
};

} // namespace server
