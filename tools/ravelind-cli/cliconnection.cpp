#include "cliconnection.h"

#include <platform/filedescriptor.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace cli {

std::optional<ServerUrl> parseServerUrl(std::string_view url, std::string &error)
{
    ServerUrl out;
    std::string_view rest;
    if (url.starts_with("http://")) {
        rest = url.substr(7);
    } else if (url.starts_with("https://")) {
        out.secure = true;
        rest = url.substr(8);
    } else {
        error = "the server URL must start with http:// or https://";
        return std::nullopt;
    }
    if (rest.find_first_of("?#") != std::string_view::npos) {
        error = "the server URL must not hold a query or fragment";
        return std::nullopt;
    }
    const std::size_t slash = rest.find('/');
    const std::string_view authority = rest.substr(0, slash);
    out.path = slash == std::string_view::npos ? std::string() : std::string(rest.substr(slash));
    if (authority.find('@') != std::string_view::npos) {
        error = "give the HTTP user with --http-user and the password in RAVELIND_PASSWORD, "
                "not in the URL";
        return std::nullopt;
    }
    std::string_view host = authority;
    std::string_view port;
    if (authority.starts_with("[")) {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) {
            error = "the server URL has an unclosed \"[\"";
            return std::nullopt;
        }
        host = authority.substr(1, close - 1);
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (!after.starts_with(":")) {
                error = "the server URL has text after \"]\"";
                return std::nullopt;
            }
            port = after.substr(1);
        }
    } else if (const std::size_t colon = authority.rfind(':'); colon != std::string_view::npos) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
    }
    if (host.empty()) {
        error = "the server URL names no host";
        return std::nullopt;
    }
    out.host = std::string(host);
    if (!port.empty() || authority.ends_with(":")) {
        const std::optional<int> number = parseNumber(port, 1, 65535);
        if (!number) {
            error = "the port of the server URL must be a number from 1 to 65535";
            return std::nullopt;
        }
        out.port = static_cast<std::uint16_t>(*number);
    } else {
        out.port = out.secure ? 443 : 80;
    }
    if (out.path.size() < 2) {
        error = "the server URL names no object path (for example /Service.asmx)";
        return std::nullopt;
    }
    return out;
}

protocol::ServerProfile profileFromUrl(const ServerUrl &url)
{
    protocol::ServerProfile profile;
    profile.name = url.host;
    profile.server = url.host;
    profile.port = url.port;
    profile.url = url.path;
    profile.useSsl = url.secure ? 1 : 0;
    profile.timeout = 60;
    return profile;
}

void applyIdentity(const GlobalOptions &global, std::string_view logonUserName,
                   protocol::ServerProfile &profile)
{
    if (!global.httpUser.empty() && global.httpUser != profile.userName) {
        profile.userName = global.httpUser;
        profile.password.clear();
    }
    if (global.timeoutSeconds)
        profile.timeout = static_cast<std::uint32_t>(*global.timeoutSeconds);
    if (!global.userId.empty())
        profile.userId = global.userId;
    else if (profile.userId.empty())
        profile.userId = !profile.userName.empty() ? profile.userName : std::string(logonUserName);
}

std::optional<std::string> passwordFrom(const char *environment,
                                        const protocol::ServerProfile &profile)
{
    if (environment)
        return std::string(environment);
    if (!profile.password.empty() || profile.userName.empty())
        return profile.password;
    return std::nullopt;
}

std::optional<std::string> promptPassword(std::string_view prompt)
{
    const platform::FileDescriptor owner(::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY));
    const int tty = owner.get();
    if (tty < 0)
        return std::nullopt;
    struct termios saved
    {
    };
    if (::tcgetattr(tty, &saved) != 0)
        return std::nullopt;
    struct termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    (void)!::write(tty, prompt.data(), prompt.size());
    ::tcsetattr(tty, TCSAFLUSH, &quiet);
    std::string password;
    bool ended = false;
    char c = 0;
    while (true) {
        const ssize_t n = ::read(tty, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        if (c == '\n' || c == '\r') {
            ended = true;
            break;
        }
        password += c;
    }
    ::tcsetattr(tty, TCSAFLUSH, &saved);
    if (!ended && password.empty())
        return std::nullopt;
    return password;
}

} // namespace cli
