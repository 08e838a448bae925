#pragma once

// Which server the command line names, and as whom: the profile built from --profile or
// --server and the identity options. Pure functions, except where a comment says otherwise.

#include "cliarguments.h"

#include <protocol/records.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cli {

struct ServerUrl
{
    bool secure = false;
    std::string host;       // without the brackets of an IPv6 address
    std::uint16_t port = 0; // 80 or 443 when the URL names none
    std::string path;       // the object path, starting with "/"

    bool operator==(const ServerUrl &) const = default;
};

// "http[s]://HOST[:PORT]/OBJECT/PATH"; nothing (and `error`) for anything else: another
// scheme, no host, a port outside 1-65535, no object path, credentials in the URL (they
// would end up in shell histories and process lists), a query or fragment.
std::optional<ServerUrl> parseServerUrl(std::string_view url, std::string &error);

// A profile for --server: the URL's parts, time-out 60 seconds as a new profile has.
protocol::ServerProfile profileFromUrl(const ServerUrl &url);

// The identity options applied to a profile (from the store or from --server): --http-user
// replaces the stored user name and drops a stored password that belonged to it; --timeout
// replaces the time-out; the user ID is --user-id, else the profile's own, else the HTTP
// user name, else `logonUserName` (the window's rule for new profiles).
void applyIdentity(const GlobalOptions &global, std::string_view logonUserName,
                   protocol::ServerProfile &profile);

// The password to use: `environment` (RAVELIND_PASSWORD) when set, else the profile's stored
// one. Nothing means ask for one, which happens only when a user name is set.
std::optional<std::string> passwordFrom(const char *environment,
                                        const protocol::ServerProfile &profile);

// Reads a password from the terminal without echo (blocks on the user); nothing when there is
// no terminal. The prompt goes to the terminal too, never to standard output.
std::optional<std::string> promptPassword(std::string_view prompt);

} // namespace cli
