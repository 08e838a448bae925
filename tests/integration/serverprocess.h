#pragma once

// The reference service run as a child process, and what the end-to-end tests share.

#include "servertestsupport.h"

#include <protocol/records.h>

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace integration {

// The service as a child process and temporary folders: the same helpers as the service's
// own tests.
using servertest::ServerProcess;
using servertest::TempDir;

// A profile for the service on 127.0.0.1:port, with HTTP credentials when given.
protocol::ServerProfile localProfile(int port, const std::string &userName = {},
                                     const std::string &password = {});

std::string readFileBytes(const std::filesystem::path &path);
void writeFileBytes(const std::filesystem::path &path, const std::string &bytes);
// Bytes that differ from run to run only by the seed.
std::string randomBytes(std::size_t count, unsigned seed);

} // namespace integration
