#include "fileimage.h"

#include <platform/filedescriptor.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace compare {

namespace {

// Room kept after the data: one byte for an appended line feed and eight zero bytes, so the
// prefix scan may read a whole 8-byte word at the end of either buffer.
constexpr std::size_t kSlack = 32;
// A zero byte this early makes a file binary. 8192 is the least common multiple of the 8-byte
// compare word and the 8192-byte block the files were probed with.
constexpr std::size_t kProbeBytes = 8192;
// Buffer size for files whose size is not known in advance (pipes); doubled when full.
constexpr std::size_t kInitialBuffer = 8192;
// One read() asks for at most this much, so each piece is scanned for line feeds, CR and
// 0x1A while it is still in the cache instead of in separate passes over the whole file.
constexpr std::size_t kMaxReadChunk = std::size_t{256} << 10;
constexpr char kTextEnd = 0x1A;
// Transparent huge page size on x86-64 and most arm64 kernels; buffers this large get them.
constexpr std::size_t kHugePage = std::size_t{2} << 20;

} // namespace

void ImageBufferRelease::operator()(char *buffer) const
{
    if (mapSize != 0)
        ::munmap(mapBase, mapSize);
    else
        delete[] buffer;
}

void FileImage::allocate(std::size_t dataCapacity)
{
    const std::size_t bytes = dataCapacity + kSlack;
    std::unique_ptr<char[], ImageBufferRelease> buffer;
    if (bytes >= kHugePage) {
        // A large file goes into its own mapping on 2 MiB boundaries with transparent huge
        // pages requested: faulting in 4 KiB pages one by one costs more than reading them.
        const std::size_t mapSize = bytes + kHugePage;
        void *base =
            ::mmap(nullptr, mapSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base == MAP_FAILED)
            throw std::bad_alloc();
        const auto address = reinterpret_cast<std::uintptr_t>(base);
        char *aligned = reinterpret_cast<char *>((address + kHugePage - 1) & ~(kHugePage - 1));
        ::madvise(aligned, bytes, MADV_HUGEPAGE); // advice only; failure changes nothing
        buffer =
            std::unique_ptr<char[], ImageBufferRelease>(aligned, ImageBufferRelease{base, mapSize});
    } else {
        buffer = std::unique_ptr<char[], ImageBufferRelease>(new char[bytes], ImageBufferRelease{});
    }
    if (m_size > 0)
        std::memcpy(buffer.get(), m_buffer.get(), m_size);
    m_buffer = std::move(buffer);
    m_capacity = dataCapacity;
}

void FileImage::readAll(int fd)
{
    // A regular file is read into a buffer of its own size (plus one byte, so the read that
    // sees the end needs no growth); this keeps the peak at one copy of the file.
    struct stat st;
    std::size_t expected = kInitialBuffer;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        expected = static_cast<std::size_t>(st.st_size) + 1;
    allocate(expected);

    for (;;) {
        if (m_size == m_capacity)
            allocate(m_capacity * 2);
        const std::size_t room = std::min(m_capacity - m_size, kMaxReadChunk);
        const ssize_t got = ::read(fd, m_buffer.get() + m_size, room);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            // A file that cannot be read is compared as an empty one, like one that cannot be
            // opened; half a file would show differences that are not there.
            m_error = errno;
            m_size = 0;
            break;
        }
        if (got == 0)
            break;
        scan(m_size, m_size + static_cast<std::size_t>(got));
        m_size += static_cast<std::size_t>(got);
    }
    if (m_error != 0)
        m_scan = {};
}

void FileImage::scan(std::size_t from, std::size_t to)
{
    const char *const buf = m_buffer.get();
    m_scan.lineFeeds += static_cast<std::size_t>(std::count(buf + from, buf + to, '\n'));
    if (m_scan.firstTextEnd == kNotFound) {
        if (const void *hit = std::memchr(buf + from, kTextEnd, to - from))
            m_scan.firstTextEnd = static_cast<std::size_t>(static_cast<const char *>(hit) - buf);
    }
    if (m_scan.firstCr == kNotFound) {
        if (const void *hit = std::memchr(buf + from, '\r', to - from))
            m_scan.firstCr = static_cast<std::size_t>(static_cast<const char *>(hit) - buf);
    }
}

FileImage FileImage::load(const std::string &path)
{
    FileImage image;
    image.m_path = path;
    const bool standardInput = path == "-";
    const int fd = standardInput ? 0 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        image.m_error = errno;
        image.allocate(0);
        image.m_scanned = true;
        return image;
    }
    // Standard input stays open for whoever reads it next.
    const platform::FileDescriptor owner(standardInput ? -1 : fd);
    try {
        image.readAll(fd);
    } catch (const std::bad_alloc &) {
        // Too large to hold: compared as empty, like a file that cannot be read.
        image.m_error = ENOMEM;
        image.m_size = 0;
        image.m_buffer.reset();
        image.m_scan = {};
        image.allocate(0);
    }
    image.m_scanned = true;
    image.probe();
    return image;
}

FileImage FileImage::fromBytes(std::string_view bytes)
{
    FileImage image;
    try {
        image.allocate(bytes.size());
        if (!bytes.empty())
            std::memcpy(image.m_buffer.get(), bytes.data(), bytes.size());
        image.m_size = bytes.size();
        image.scan(0, image.m_size);
    } catch (const std::bad_alloc &) {
        image.m_error = ENOMEM;
        image.allocate(0);
    }
    image.m_scanned = true;
    image.probe();
    return image;
}

void FileImage::probe()
{
    const std::size_t n = std::min(m_size, kProbeBytes);
    m_binary = n > 0 && std::memchr(m_buffer.get(), 0, n) != nullptr;
}

void FileImage::prepareText(ReadMode mode)
{
    if (m_prepared)
        return;
    m_prepared = true;
    char *buf = m_buffer.get();
    if (mode == ReadMode::Text) {
        if (!m_scanned) {
            m_scan = {};
            scan(0, m_size);
            m_scanned = true;
        }
        m_size = std::min(m_size, m_scan.firstTextEnd);
        // CR LF becomes LF; a CR not followed by LF stays.
        if (m_scan.firstCr < m_size) {
            char *const cr = buf + m_scan.firstCr;
            char *out = cr;
            const char *end = buf + m_size;
            for (const char *in = cr; in < end; ++in) {
                if (*in == '\r' && in + 1 < end && in[1] == '\n')
                    continue;
                *out++ = *in;
            }
            m_size = static_cast<std::size_t>(out - buf);
        }
    }
    m_missingNewline = m_size > 0 && buf[m_size - 1] != '\n';
    if (m_missingNewline)
        buf[m_size++] = '\n';
    std::memset(buf + m_size, 0, 8);
}

std::vector<DiffRow> FileImage::makeRows(ReadMode mode)
{
    prepareText(mode);
    std::vector<DiffRow> rows;
    const char *p = data();
    const char *end = p + m_size;
    std::int32_t line = 0;
    while (p < end) {
        const char *lf = static_cast<const char *>(std::memchr(p, '\n', end - p));
        if (line == std::numeric_limits<std::int32_t>::max())
            break; // rows carry 32-bit line numbers
        DiffRow row;
        row.lineNumber = ++line;
        row.text.assign(p, lf);
        rows.push_back(std::move(row));
        p = lf + 1;
    }
    return rows;
}

} // namespace compare
