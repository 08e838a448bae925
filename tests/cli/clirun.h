#pragma once

// Runs the built ravelind-cli as a child process and collects what it said.

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace clitest {

struct CliResult
{
    int status = -1; // the exit status; -1 when the program did not exit normally
    std::string out;
    std::string err;

    std::vector<std::string> lines() const; // standard output, line by line
};

// Runs RAVELIND_CLI_PATH with `args`; standard input is /dev/null. The environment is the
// test's own with RAVELIND_PASSWORD removed, LANG=C, and then `env` applied (an empty value
// removes the variable).
CliResult runCli(const std::vector<std::string> &args,
                 const std::map<std::string, std::string> &env = {});

// A loopback port on which nothing listens (bound, then closed).
int closedPort();

std::string readFile(const std::filesystem::path &path);
void writeFile(const std::filesystem::path &path, const std::string &bytes);

} // namespace clitest
