#include "clirun.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace clitest {

std::vector<std::string> CliResult::lines() const
{
    std::vector<std::string> result;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

std::string readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::filesystem::path &path, const std::string &bytes)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

CliResult runCli(const std::vector<std::string> &args,
                 const std::map<std::string, std::string> &env)
{
    std::map<std::string, std::string> variables;
    for (char **e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::size_t eq = entry.find('=');
        if (eq != std::string::npos)
            variables[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    variables.erase("RAVELIND_PASSWORD");
    variables.erase("LC_ALL");
    variables.erase("LC_MESSAGES");
    variables["LANG"] = std::string(1, 'C');
    for (const auto &[name, value] : env) {
        if (value.empty())
            variables.erase(name);
        else
            variables[name] = value;
    }
    std::vector<std::string> envText;
    for (const auto &[name, value] : variables) {
        std::string text = name;
        text += '=';
        text += value;
        envText.push_back(std::move(text));
    }
    std::vector<char *> envp;
    for (std::string &text : envText)
        envp.push_back(text.data());
    envp.push_back(nullptr);

    std::vector<std::string> argText{RAVELIND_CLI_PATH};
    argText.insert(argText.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &text : argText)
        argv.push_back(text.data());
    argv.push_back(nullptr);

    char outName[] = "/tmp/ravelind-cli-out-XXXXXX";
    char errName[] = "/tmp/ravelind-cli-err-XXXXXX";
    const int outFd = ::mkstemp(outName);
    const int errFd = ::mkstemp(errName);
    CliResult result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
    pid_t pid = -1;
    // A new session: the program has no controlling terminal, as in CI, so it never prompts.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    if (::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data()) == 0) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (WIFEXITED(status))
            result.status = WEXITSTATUS(status);
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(outFd);
    ::close(errFd);
    result.out = readFile(outName);
    result.err = readFile(errName);
    ::unlink(outName);
    ::unlink(errName);
    return result;
}

int closedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

} // namespace clitest
