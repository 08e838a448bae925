#include "platform/tempfile.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::filesystem::path tempDirectory()
{
    const char *dir = std::getenv("TMPDIR");
    if (dir != nullptr && *dir != '\0')
        return dir;
    return "/tmp";
}

// Creates and opens the file; returns the descriptor or -1 with errno set.
static int createZemFile(std::filesystem::path &name)
{
    std::string pattern = (tempDirectory() / "ZemXXXXXX.tmp").string();
    // mkstemps creates the file with mode 0600 and O_EXCL, so no other user can read a body
    // and no existing file is ever taken over.
    const int fd = ::mkstemps(pattern.data(), 4);
    if (fd < 0)
        return -1;
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    name = pattern;
    return fd;
}

ResultCode makeTempFile(std::filesystem::path &name)
{
    const FileDescriptor fd(createZemFile(name));
    return fd.valid() ? 0 : fromErrno(errno);
}

TempFile::~TempFile()
{
    reset();
}

TempFile::TempFile(TempFile &&other) noexcept
    : m_fd(std::move(other.m_fd))
    , m_path(std::exchange(other.m_path, {}))
{
}

TempFile &TempFile::operator=(TempFile &&other) noexcept
{
    if (this != &other) {
        reset();
        m_fd = std::move(other.m_fd);
        m_path = std::exchange(other.m_path, {});
    }
    return *this;
}

void TempFile::reset() noexcept
{
    m_fd.reset();
    if (!m_path.empty()) {
        std::error_code ec;
        std::filesystem::remove(m_path, ec);
        m_path.clear();
    }
}

ResultCode TempFile::create(TempFile &out)
{
    out.reset();
    std::filesystem::path name;
    const int fd = createZemFile(name);
    if (fd < 0)
        return fromErrno(errno);
    out.m_fd.reset(fd);
    out.m_path = std::move(name);
    return 0;
}

ResultCode TempFile::write(const void *data, std::size_t size)
{
    if (!m_fd.valid())
        return fromWin32(err::InvalidHandle);
    const char *p = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = ::write(m_fd.get(), p, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fromErrno(errno);
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

ResultCode TempFile::read(void *data, std::size_t size, std::size_t &got)
{
    got = 0;
    if (!m_fd.valid())
        return fromWin32(err::InvalidHandle);
    for (;;) {
        const ssize_t n = ::read(m_fd.get(), data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fromErrno(errno);
        }
        got = static_cast<std::size_t>(n);
        return 0;
    }
}

ResultCode TempFile::seek(std::int64_t offset)
{
    if (!m_fd.valid())
        return fromWin32(err::InvalidHandle);
    if (::lseek(m_fd.get(), static_cast<off_t>(offset), SEEK_SET) < 0)
        return fromErrno(errno);
    return 0;
}

ResultCode TempFile::size(std::int64_t &out) const
{
    out = 0;
    if (!m_fd.valid())
        return fromWin32(err::InvalidHandle);
    struct stat st
    {
    };
    if (::fstat(m_fd.get(), &st) != 0)
        return fromErrno(errno);
    out = static_cast<std::int64_t>(st.st_size);
    return 0;
}

} // namespace platform
