#include "serveroptions.h"

#include "serverconstants.h"
#include "wiretext.h"

namespace server {

const char *ServerOptions::usage()
{
    return "usage: ravelind-server --data DIR [--port N] [--bind ADDR] [--user NAME:PASSWORD]...\n"
           "                       [--tls-cert FILE --tls-key FILE] [--chunk-size BYTES]\n"
           "                       [--upload-timeout SECONDS] [--max-upload-size BYTES]\n"
           "                       [--max-pending-uploads BYTES] [--seed-demo]\n";
}

bool ServerOptions::parse(const std::vector<std::string> &arguments, std::string &error)
{
    chunkBytes = constants::kDefaultChunkBytes;
    uploadTimeoutSeconds = constants::kDefaultUploadTimeoutSeconds;
    maxUploadBytes = constants::kDefaultMaxUploadBytes;
    maxPendingBytes = constants::kDefaultMaxPendingBytes;
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
            const auto colon = value.find(':');
            if (colon == std::string::npos || colon == 0) {
                error = "--user needs NAME:PASSWORD";
                return false;
            }
            users[value.substr(0, colon)] = value.substr(colon + 1);
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
