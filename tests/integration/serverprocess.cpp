#include "serverprocess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <random>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

namespace integration {

namespace {

constexpr std::string_view kListening = "ravelind-server listening on ";
constexpr int kStartTimeoutMs = 15000;

} // namespace

TempDir::TempDir()
{
    std::string pattern =
        (std::filesystem::temp_directory_path() / "ravelind-integration-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr)
        m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    if (!m_path.empty())
        std::filesystem::remove_all(m_path, ec);
}

ServerProcess::~ServerProcess()
{
    stop();
}

bool ServerProcess::start(const std::filesystem::path &dataDir,
                          const std::vector<std::string> &extra, std::string &error)
{
    int pipeEnds[2] = {-1, -1};
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        error = "pipe failed";
        return false;
    }
    std::vector<std::string> arguments = {RAVELIND_SERVER_PATH, "--data", dataDir.string(),
                                          "--port", "0"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    std::vector<char *> argv;
    for (std::string &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(pipeEnds[1], STDOUT_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeEnds[1]);
    m_output = pipeEnds[0];
    if (m_pid < 0) {
        error = "fork failed";
        return false;
    }

    // The first line, read byte by byte so nothing after it is taken.
    std::string line;
    while (line.empty() || line.back() != '\n') {
        pollfd wait{m_output, POLLIN, 0};
        if (::poll(&wait, 1, kStartTimeoutMs) <= 0) {
            error = "no output from the server in time";
            return false;
        }
        char c = 0;
        const ssize_t n = ::read(m_output, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = "the server ended before listening; it said: " + line;
            return false;
        }
        line += c;
    }
    line.pop_back();
    const auto portAt = line.rfind(" port ");
    if (line.rfind(kListening, 0) != 0 || portAt == std::string::npos) {
        error = "unexpected first line: " + line;
        return false;
    }
    m_port = std::atoi(line.c_str() + portAt + 6);
    if (m_port <= 0) {
        error = "no port in: " + line;
        return false;
    }
    return true;
}

int ServerProcess::stop()
{
    int result = -1;
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (WIFEXITED(status))
            result = WEXITSTATUS(status);
        m_pid = -1;
    }
    if (m_output >= 0) {
        ::close(m_output);
        m_output = -1;
    }
    return result;
}

protocol::ServerProfile localProfile(int port, const std::string &userName,
                                     const std::string &password)
{
    protocol::ServerProfile profile;
    profile.name = "integration";
    profile.server = "127.0.0.1";
    profile.url = "/Service.asmx";
    profile.port = static_cast<std::uint16_t>(port);
    profile.userName = userName;
    profile.password = password;
    profile.timeout = 30;
    return profile;
}

std::string readFileBytes(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFileBytes(const std::filesystem::path &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string randomBytes(std::size_t count, unsigned seed)
{
    std::mt19937 engine(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string bytes(count, '\0');
    for (char &c : bytes)
        c = static_cast<char>(byte(engine));
    return bytes;
}

} // namespace integration
