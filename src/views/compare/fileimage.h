#pragma once

#include "diffrow.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace compare {

// How a file's bytes become the text that is compared.
enum class ReadMode {
    Text, // the comparison window's reading: CR LF arrives as LF, a 0x1A byte ends the data
    Raw,  // bytes as they are (what POSIX tools such as GNU diff compare)
};

// Frees a file image's buffer: large ones are page mappings, small ones come from new[].
struct ImageBufferRelease
{
    void *mapBase = nullptr;
    std::size_t mapSize = 0;
    void operator()(char *buffer) const;
};

// One file held whole in memory for a comparison. Loading never fails outright: a file that
// cannot be opened or read becomes an empty image whose error() tells why.
class FileImage
{
public:
    FileImage() = default;
    FileImage(FileImage &&) noexcept = default;
    FileImage &operator=(FileImage &&) noexcept = default;

    // Reads the whole file; blocks. "-" reads standard input.
    static FileImage load(const std::string &path);
    static FileImage fromBytes(std::string_view bytes);

    const std::string &path() const { return m_path; }
    int error() const { return m_error; } // errno of a failed open or read, 0 otherwise
    // A zero byte among the first 8192 bytes as stored on disk.
    bool isBinary() const { return m_binary; }

    // Turns the raw bytes into text (once): applies the read mode, appends a line feed when the
    // last line has none, and stores eight zero bytes after the data.
    void prepareText(ReadMode mode);
    bool isPrepared() const { return m_prepared; }
    bool missingNewline() const { return m_missingNewline; }

    // Raw bytes before prepareText(); afterwards the text, appended line feed included.
    const char *data() const { return m_buffer.get(); }
    char *data() { return m_buffer.get(); }
    std::size_t size() const { return m_size; }

    // About the number of lines of the text, from the reading, to size tables with; 0 when not
    // known. Only memory and speed may depend on it.
    std::size_t lineCountHint() const { return m_scanned ? m_scan.lineFeeds + 1 : 0; }

    // The rows of a comparison pane for this file, one per line, kind Same. Prepares the text
    // with `mode` first, so the rows match the lines the engine compares.
    std::vector<DiffRow> makeRows(ReadMode mode = ReadMode::Text);

private:
    void allocate(std::size_t dataCapacity);
    void readAll(int fd); // may throw std::bad_alloc
    void probe();
    void scan(std::size_t from, std::size_t to); // adds bytes [from, to) to m_scan

    static constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);
    // What the reading saw in the raw bytes, so the text preparation and the comparison need
    // no passes of their own over a large file.
    struct Scan
    {
        std::size_t lineFeeds = 0;
        std::size_t firstTextEnd = kNotFound; // first 0x1A byte
        std::size_t firstCr = kNotFound;
    };

    std::string m_path;
    std::unique_ptr<char[], ImageBufferRelease> m_buffer;
    std::size_t m_capacity = 0; // bytes usable for data; the slack after it is extra
    std::size_t m_size = 0;
    int m_error = 0;
    bool m_binary = false;
    bool m_prepared = false;
    bool m_missingNewline = false;
    bool m_scanned = false;
    Scan m_scan;
};

} // namespace compare
