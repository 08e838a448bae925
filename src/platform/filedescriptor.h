#pragma once

// The one owner of a POSIX file descriptor: closes it when destroyed. Move-only, so a
// descriptor has exactly one owner at any time.

namespace platform {

class FileDescriptor
{
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) noexcept
        : m_fd(fd)
    {
    }
    ~FileDescriptor();
    FileDescriptor(FileDescriptor &&other) noexcept;
    FileDescriptor &operator=(FileDescriptor &&other) noexcept;
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

    // Closes now and returns close()'s own result (0, or -1 with errno set): a write error
    // the kernel deferred shows up here, so a writer that must know its data landed checks it.
    // The descriptor is released either way.
    [[nodiscard]] int close() noexcept;
    // Closes the current descriptor (ignoring its close result) and takes `fd`.
    void reset(int fd = -1) noexcept;
    // Gives the descriptor up without closing it.
    [[nodiscard]] int release() noexcept;

private:
    int m_fd = -1;
};

} // namespace platform
