#pragma once

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace comparetest {

// A fresh directory under the system's temporary folder, removed with its files at the end.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    // Writes `bytes` to a file `name` in the directory and returns its path.
    std::string write(const std::string &name, const std::string &bytes) const;
    const std::filesystem::path &path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// The kinds of text the generated pairs are made of.
enum class TextShape {
    Random,     // lines drawn from a large vocabulary: most lines unique
    Repetitive, // a handful of short lines, blank ones included: many equal lines
    Runs,       // long runs of one repeated line
};

struct TextPair
{
    std::string first;
    std::string second;
};

// A seeded text of about `lines` lines and a randomly edited copy (insertions, deletions,
// replacements, whole runs); either may lack its last line feed. No CR, no 0x1A, no NUL.
TextPair makePair(std::uint64_t seed, TextShape shape, int lines, int edits);

// Splits text into lines the way the engine does: a final line without line feed counts.
std::vector<std::string> splitLines(const std::string &text);

struct CommandResult
{
    int exitStatus = -1;
    std::string output;
};

// Runs a program with arguments (no shell) and captures its standard output.
CommandResult runProgram(const std::vector<std::string> &argv);

} // namespace comparetest
