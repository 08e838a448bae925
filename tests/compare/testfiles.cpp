#include "testfiles.h"

#include <fstream>
#include <stdexcept>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace comparetest {

TempDir::TempDir()
{
    std::string pattern =
        (std::filesystem::temp_directory_path() / "ravelind-compare-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary directory");
    m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string TempDir::write(const std::string &name, const std::string &bytes) const
{
    const std::filesystem::path file = m_path / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
    return file.string();
}

namespace {

std::string makeLine(std::mt19937_64 &rng, TextShape shape)
{
    switch (shape) {
    case TextShape::Random:
        return "line " + std::to_string(rng() % 100000);
    case TextShape::Repetitive: {
        static const char *const lines[] = {"", "", "{", "}", "a", "b", "return 0;", "\t"};
        return lines[rng() % std::size(lines)];
    }
    case TextShape::Runs:
        return rng() % 4 == 0 ? std::string() : std::string(1, static_cast<char>('a' + rng() % 3));
    }
    return {};
}

void appendLines(std::vector<std::string> &into, std::mt19937_64 &rng, TextShape shape,
                 std::size_t count)
{
    if (shape == TextShape::Runs) {
        // Runs of 1 to 40 equal lines.
        while (count > 0) {
            const std::string line = makeLine(rng, shape);
            const std::size_t run = std::min<std::size_t>(count, 1 + rng() % 40);
            into.insert(into.end(), run, line);
            count -= run;
        }
        return;
    }
    for (std::size_t i = 0; i < count; ++i)
        into.push_back(makeLine(rng, shape));
}

std::string joinLines(const std::vector<std::string> &lines, bool finalNewline)
{
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += lines[i];
        if (i + 1 < lines.size() || finalNewline)
            text += '\n';
    }
    return text;
}

} // namespace

TextPair makePair(std::uint64_t seed, TextShape shape, int lines, int edits)
{
    std::mt19937_64 rng(seed);
    std::vector<std::string> first;
    appendLines(first, rng, shape, static_cast<std::size_t>(lines));
    std::vector<std::string> second = first;
    for (int e = 0; e < edits; ++e) {
        const std::size_t at = second.empty() ? 0 : rng() % (second.size() + 1);
        const std::size_t length = 1 + rng() % (rng() % 4 == 0 ? 12 : 2);
        switch (rng() % 3) {
        case 0: {
            std::vector<std::string> added;
            appendLines(added, rng, shape, length);
            second.insert(second.begin() + static_cast<std::ptrdiff_t>(at), added.begin(),
                          added.end());
            break;
        }
        case 1: {
            const std::size_t end = std::min(second.size(), at + length);
            if (at < end)
                second.erase(second.begin() + static_cast<std::ptrdiff_t>(at),
                             second.begin() + static_cast<std::ptrdiff_t>(end));
            break;
        }
        default:
            for (std::size_t k = at; k < std::min(second.size(), at + length); ++k)
                second[k] = makeLine(rng, shape);
            break;
        }
    }
    // A last line without line feed on either side, now and then.
    const bool firstNewline = rng() % 5 != 0;
    const bool secondNewline = rng() % 5 != 0;
    return {joinLines(first, firstNewline), joinLines(second, secondNewline)};
}

std::vector<std::string> splitLines(const std::string &text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t lf = text.find('\n', start);
        if (lf == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, lf - start));
        start = lf + 1;
    }
    return lines;
}

CommandResult runProgram(const std::vector<std::string> &argv)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
    std::vector<char *> args;
    for (const std::string &arg : argv)
        args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    CommandResult result;
    if (spawned != 0) {
        ::close(pipeFds[0]);
        throw std::runtime_error("cannot start " + argv[0]);
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n > 0)
            result.output.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace comparetest
