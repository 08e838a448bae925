#include "platform/machineidentity.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <ifaddrs.h>
#include <limits.h>
#include <net/if.h>
#include <netinet/in.h>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

// The service has always been sent a computer name of at most 15 characters.
constexpr std::size_t kMaxComputerName = 15;

std::string hostName()
{
    // HOST_NAME_MAX is 64 on Linux; a name that fills the buffer may be cut and unterminated.
    std::vector<char> buffer(HOST_NAME_MAX + 2, '\0');
    if (::gethostname(buffer.data(), buffer.size() - 1) != 0)
        return {};
    return std::string(buffer.data());
}

struct PasswdEntry
{
    std::string name;
    std::string gecos;
};

PasswdEntry passwdEntry()
{
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd pw{};
    passwd *result = nullptr;
    while (::getpwuid_r(::geteuid(), &pw, buffer.data(), buffer.size(), &result) == ERANGE &&
           buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    if (!result)
        return {};
    return {result->pw_name ? result->pw_name : "", result->pw_gecos ? result->pw_gecos : ""};
}

std::string firstIpv4Address()
{
    ifaddrs *list = nullptr;
    if (::getifaddrs(&list) != 0)
        return "0.0.0.0";
    std::string found = "0.0.0.0";
    for (const ifaddrs *a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET)
            continue;
        if ((a->ifa_flags & IFF_UP) == 0 || (a->ifa_flags & IFF_LOOPBACK) != 0)
            continue;
        in_addr address{};
        const auto *sin = reinterpret_cast<const sockaddr_in *>(a->ifa_addr);
        address = sin->sin_addr;
        if ((ntohl(address.s_addr) >> 24) == 127)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        if (::inet_ntop(AF_INET, &address, text, sizeof text)) {
            found = text;
            break;
        }
    }
    ::freeifaddrs(list);
    return found;
}

std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

} // namespace

std::string shortComputerName(std::string_view hostName)
{
    std::string_view name = hostName.substr(0, hostName.find('.'));
    if (name.size() > kMaxComputerName) {
        std::size_t cut = kMaxComputerName;
        // Step back over UTF-8 continuation bytes so no character is split.
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut;
        name = name.substr(0, cut);
    }
    return std::string(name);
}

std::string ownerFromGecos(std::string_view gecos, std::string_view loginName)
{
    const std::string_view fullName = gecos.substr(0, gecos.find(','));
    std::string owner;
    for (const char c : fullName) {
        if (c != '&') {
            owner += c;
            continue;
        }
        std::string login(loginName);
        if (!login.empty() && login[0] >= 'a' && login[0] <= 'z')
            login[0] = static_cast<char>(login[0] - 'a' + 'A');
        owner += login;
    }
    return std::string(trimBlanks(owner));
}

std::string organizationFrom(const char *envValue, const std::filesystem::path &file)
{
    if (envValue && *envValue)
        return std::string(trimBlanks(envValue));
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line))
        return {};
    return std::string(trimBlanks(line));
}

MachineIdentity readMachineIdentity()
{
    MachineIdentity id;
    id.computerName = shortComputerName(hostName());
    if (id.computerName.empty())
        id.computerName = "localhost";

    const PasswdEntry pw = passwdEntry();
    id.userName = pw.name;
    if (id.userName.empty()) {
        const char *user = std::getenv("USER");
        id.userName = user && *user ? user : std::to_string(::geteuid());
    }
    id.owner = ownerFromGecos(pw.gecos, id.userName);
    id.organization = organizationFrom(std::getenv("ORGANIZATION"), "/etc/organization");
    id.ipAddress = firstIpv4Address();
    return id;
}

} // namespace platform
