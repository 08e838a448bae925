#include "serveroptions.h"

#include "serverconstants.h"
#include "wiretext.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace server {

const char *ServerOptions::usage()
{
    return "usage: ravelind-server --data DIR [--port N] [--bind ADDR] [--users-file FILE]\n"
           "                       [--user NAME:PASSWORD]...\n"
           "                       [--tls-cert FILE --tls-key FILE] [--chunk-size BYTES]\n"
           "                       [--upload-timeout SECONDS] [--max-upload-size BYTES]\n"
           "                       [--max-pending-uploads BYTES] [--request-timeout SECONDS]\n"
           "                       [--seed-demo]\n";
}

static bool addUser(std::map<std::string, std::string> &users, const std::string &entry,
                    const std::string &where, std::string &error)
{
    const auto colon = entry.find(':');
    if (colon == std::string::npos || colon == 0) {
        error = where + " needs NAME:PASSWORD";
        return false;
    }
    if (colon + 1 == entry.size()) {
        error = where + ": the password of " + entry.substr(0, colon) + " is empty";
        return false;
    }
    users[entry.substr(0, colon)] = entry.substr(colon + 1);
    return true;
}

bool ServerOptions::addUsers(const std::string &text, const std::string &origin, std::string &error)
{
    std::size_t lineNumber = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line.front() == '#')
            continue;
        if (!addUser(users, line, origin + " line " + std::to_string(lineNumber), error))
            return false;
    }
    return true;
}

// The users file holds passwords: refused unless only its owner may read it.
static bool readUsersFile(const std::string &path, std::string &text, std::string &error)
{
    struct stat status
    {
    };
    if (::stat(path.c_str(), &status) != 0) {
        error = "cannot read the users file " + path + ": " + std::strerror(errno);
        return false;
    }
    if ((status.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        error = "the users file " + path +
                " may be read or changed by other users; allow only its owner (chmod 600)";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read the users file " + path;
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
    return true;
}

bool ServerOptions::parse(const std::vector<std::string> &arguments, std::string &error,
                          const char *usersFromEnvironment)
{
    if (usersFromEnvironment && !addUsers(usersFromEnvironment, "RAVELIND_SERVER_USERS", error))
        return false;
    chunkBytes = constants::kDefaultChunkBytes;
    uploadTimeoutSeconds = constants::kDefaultUploadTimeoutSeconds;
    maxUploadBytes = constants::kDefaultMaxUploadBytes;
    maxPendingBytes = constants::kDefaultMaxPendingBytes;
    requestTimeoutSeconds = constants::kDefaultRequestTimeoutSeconds;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string &option = arguments[i];
        if (option == "--seed-demo") {
            seedDemo = true;
            continue;
        }
        if (i + 1 >= arguments.size()) {
            error = option == "--help" ? "" : "unknown option or missing value: " + option;
            return false;
        }
        const std::string &value = arguments[++i];
        std::int64_t number = 0;
        if (option == "--data") {
            dataDir = value;
        } else if (option == "--bind") {
            bindAddress = value;
        } else if (option == "--port") {
            if (!parseInt(value, number) || number < 0 || number > 65535) {
                error = "--port needs a number from 0 to 65535";
                return false;
            }
            port = static_cast<int>(number);
        } else if (option == "--user") {
            if (!addUser(users, value, "--user", error))
                return false;
        } else if (option == "--users-file") {
            std::string text;
            if (!readUsersFile(value, text, error) || !addUsers(text, value, error))
                return false;
        } else if (option == "--tls-cert") {
            tlsCertificate = value;
        } else if (option == "--tls-key") {
            tlsKey = value;
        } else if (option == "--chunk-size") {
            // The answer carries the chunk as base64 and must stay under the 16 MiB that
            // a request may have, so a peer of the same kind could relay it.
            if (!parseInt(value, number) || number < 1 || number > 8 * 1024 * 1024) {
                error = "--chunk-size needs a number of bytes from 1 to 8388608";
                return false;
            }
            chunkBytes = static_cast<std::size_t>(number);
        } else if (option == "--upload-timeout") {
            if (!parseInt(value, number) || number < 1) {
                error = "--upload-timeout needs a positive number of seconds";
                return false;
            }
            uploadTimeoutSeconds = number;
        } else if (option == "--request-timeout") {
            if (!parseInt(value, number) || number < 1 || number > 3600) {
                error = "--request-timeout needs a number of seconds from 1 to 3600";
                return false;
            }
            requestTimeoutSeconds = static_cast<int>(number);
        } else if (option == "--max-upload-size" || option == "--max-pending-uploads") {
            if (!parseInt(value, number) || number < 1) {
                error = option + " needs a positive number of bytes";
                return false;
            }
            (option == "--max-upload-size" ? maxUploadBytes : maxPendingBytes) = number;
        } else {
            error = "unknown option: " + option;
            return false;
        }
    }
    if (dataDir.empty()) {
        error = "--data DIR is required";
        return false;
    }
    if (tlsCertificate.empty() != tlsKey.empty()) {
        error = "--tls-cert and --tls-key go together";
        return false;
    }
    return true;
}

} // namespace server
