#pragma once

// Temporary files in the user's temporary folder, named "Zem<unique>.tmp". Request and
// response bodies live in them so that memory does not grow with the body size.

#include "platform/filedescriptor.h"
#include "platform/resultcode.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace platform {

// The temporary folder: $TMPDIR when set, else /tmp.
std::filesystem::path tempDirectory();

// Creates a new, empty, uniquely named file with the prefix "Zem" in the temporary folder
// (mode 0600: bodies may hold private content) and stores its full name in `name`.
// Returns 0 or the failing step's error. The caller deletes the file when done.
[[nodiscard]] ResultCode makeTempFile(std::filesystem::path &name);

// A temporary file opened for reading and writing; the one owner of its descriptor. Closing
// happens and the file is deleted when the owner is destroyed. Move-only.
class TempFile
{
public:
    TempFile() = default;
    ~TempFile();
    TempFile(TempFile &&other) noexcept;
    TempFile &operator=(TempFile &&other) noexcept;
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;

    // Makes the file (makeTempFile) and opens it; on failure `out` stays closed.
    [[nodiscard]] static ResultCode create(TempFile &out);

    bool isOpen() const { return m_fd.valid(); }
    const std::filesystem::path &path() const { return m_path; }
    int descriptor() const { return m_fd.get(); }

    // Writes all `size` bytes at the current position.
    [[nodiscard]] ResultCode write(const void *data, std::size_t size);
    [[nodiscard]] ResultCode write(std::string_view text)
    {
        return write(text.data(), text.size());
    }
    // Reads up to `size` bytes at the current position; `got` is 0 at the end.
    [[nodiscard]] ResultCode read(void *data, std::size_t size, std::size_t &got);
    [[nodiscard]] ResultCode seek(std::int64_t offset);
    [[nodiscard]] ResultCode rewind() { return seek(0); }
    // Length of the file in bytes (64-bit: bodies of several gigabytes are possible).
    [[nodiscard]] ResultCode size(std::int64_t &out) const;

private:
    void reset() noexcept;

    FileDescriptor m_fd;
    std::filesystem::path m_path;
};

} // namespace platform
