#include "platform/filedescriptor.h"

#include <utility>

#include <unistd.h>

namespace platform {

FileDescriptor::~FileDescriptor()
{
    reset();
}

FileDescriptor::FileDescriptor(FileDescriptor &&other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
{
}

FileDescriptor &FileDescriptor::operator=(FileDescriptor &&other) noexcept
{
    if (this != &other)
        reset(std::exchange(other.m_fd, -1));
    return *this;
}

int FileDescriptor::close() noexcept
{
    // Linux releases the descriptor even when close() fails (EINTR included), so it is never
    // closed twice: a retry could close a descriptor another thread has just been given.
    return m_fd < 0 ? 0 : ::close(std::exchange(m_fd, -1));
}

void FileDescriptor::reset(int fd) noexcept
{
    if (m_fd >= 0 && m_fd != fd)
        ::close(m_fd); // a destructor cannot report; writers that care call close() first
    m_fd = fd;
}

int FileDescriptor::release() noexcept
{
    return std::exchange(m_fd, -1);
}

} // namespace platform
