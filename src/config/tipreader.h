#pragma once

// The tips of the day, read one line at a time from a plain text file. Each line is a tip,
// except lines that begin with a tab, a line feed, a space or ";" (blank and comment lines);
// a line longer than a piece of kPieceBytes - 1 bytes is read as several tips. After the last
// tip the file starts over. The reader remembers the byte offset where the next tip is looked
// for, so the next run goes on from there as long as the file has not been replaced.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace config {

class TipReader
{
public:
    // The tips dialog shows at most this many bytes a tip, terminator included.
    static constexpr std::size_t kPieceBytes = 1000;

    enum class Next {
        Tip,          // `tip` holds the next tip, its line feed kept
        NoTips,       // the whole file was read without a single tip line
        RewindFailed, // the end was reached and the file could not be read from the start
        NotOpen,
    };

    TipReader();
    ~TipReader();
    TipReader(const TipReader &) = delete;
    TipReader &operator=(const TipReader &) = delete;

    enum class Opened {
        Yes,
        No,         // the file cannot be opened; the reader stays closed
        SeekFailed, // open, but the position could not be set
    };

    // Opens `path` read-only. When the file's time stamp text differs from `storedTimeStamp`
    // (the file was replaced, or nothing was stored), reading starts at the first byte and
    // timeStampChanged() says the caller should store timeStamp(); else at `position`.
    [[nodiscard]] Opened open(const std::filesystem::path &path, std::uint64_t position,
                              const std::string &storedTimeStamp);
    bool isOpen() const { return m_file != nullptr; }

    // The file's modification time as the C library's ctime text without trailing white
    // space, e.g. "Mon Dec  7 16:44:04 2026".
    const std::string &timeStamp() const { return m_timeStamp; }
    bool timeStampChanged() const { return m_timeStampChanged; }

    // Reads the next tip. Never loops for ever: a file without tip lines gives NoTips.
    [[nodiscard]] Next next(std::string &tip);

    // The byte offset at which the next tip will be looked for.
    std::uint64_t position() const;

private:
    // One piece of a line (at most kPieceBytes - 1 bytes, up to and including its line
    // feed); false at the end of the file.
    bool readPiece(std::string &piece);

    struct Closer
    {
        void operator()(std::FILE *f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> m_fileOwner;
    std::FILE *m_file = nullptr;
    std::string m_timeStamp;
    bool m_timeStampChanged = false;
};

// The ctime text of `time` (local time) without its trailing line feed.
std::string ctimeText(std::int64_t time);

} // namespace config
