#pragma once

// Who and where the program runs: sent to the service at logon and shown in About.

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

struct MachineIdentity
{
    // Host name up to its first ".", cut to 15 bytes (the service has always received at
    // most 15 characters). Never fails: "localhost" when the system has no name.
    std::string computerName;
    // Login name of the effective user (getpwuid), else $USER, else the numeric user ID.
    std::string userName;
    // First non-loopback IPv4 address of an interface that is up, else "0.0.0.0".
    std::string ipAddress;
    // For About: the user's full name from the password entry (empty when none) and the
    // organisation from $ORGANIZATION or the first line of /etc/organization (empty when none).
    std::string owner;
    std::string organization;

    bool operator==(const MachineIdentity &) const = default;
};

// Reads everything once; blocks only on local system calls; never fails.
MachineIdentity readMachineIdentity();

// The parts, for tests.
// "Jane Doe,Room 1,,": the full name before the first comma; "&" stands for the login name
// with its first letter in capitals.
std::string ownerFromGecos(std::string_view gecos, std::string_view loginName);
// `envValue` when not empty, else the first line of `file` without blanks around it.
std::string organizationFrom(const char *envValue, const std::filesystem::path &file);
// The first label of `hostName`, cut to 15 bytes without splitting a UTF-8 character.
std::string shortComputerName(std::string_view hostName);

} // namespace platform
