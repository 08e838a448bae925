#pragma once

// The reference service run as a child process, and what the end-to-end tests share.

#include <protocol/records.h>

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace integration {

// A fresh temporary folder, removed with everything in it.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::filesystem::path &path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// ravelind-server on port 0 with its own data folder; the port comes from the first line of
// its output. Stopped with SIGTERM by stop() or the destructor.
class ServerProcess
{
public:
    ServerProcess() = default;
    ~ServerProcess();
    ServerProcess(const ServerProcess &) = delete;
    ServerProcess &operator=(const ServerProcess &) = delete;

    // False with a reason when the program did not say it is listening.
    bool start(const std::filesystem::path &dataDir, const std::vector<std::string> &extra,
               std::string &error);
    // SIGTERM, then waits; the exit status, or -1 when it did not exit normally.
    int stop();
    int port() const { return m_port; }

private:
    pid_t m_pid = -1;
    int m_output = -1;
    int m_port = 0;
};

// A profile for the service on 127.0.0.1:port, with HTTP credentials when given.
protocol::ServerProfile localProfile(int port, const std::string &userName = {},
                                     const std::string &password = {});

std::string readFileBytes(const std::filesystem::path &path);
void writeFileBytes(const std::filesystem::path &path, const std::string &bytes);
// Bytes that differ from run to run only by the seed.
std::string randomBytes(std::size_t count, unsigned seed);

} // namespace integration
