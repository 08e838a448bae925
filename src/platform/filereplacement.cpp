#include "platform/filereplacement.h"

#include <cerrno>
#include <cstdint>
#include <random>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

// A failed call that left errno at 0 is still a failure.
[[nodiscard]] ResultCode failureFromErrno(int e)
{
    return e == 0 ? kUnspecifiedFailure : fromErrno(e);
}

// Attempts at a free temporary name; 36^8 names make a clash of 100 in a row mean that
// something other than chance (a full folder, a hostile one) is at work.
constexpr int kNameAttempts = 100;

} // namespace

FileReplacement::~FileReplacement()
{
    if (!m_path.empty() && !m_committed) {
        m_fd.reset();
        ::unlink(m_path.c_str());
    }
}

ResultCode FileReplacement::create(const std::filesystem::path &target, mode_t mode)
{
    std::random_device seed;
    std::mt19937_64 rng((std::uint64_t{seed()} << 32) ^ seed());
    const std::filesystem::path folder =
        target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string name = "." + target.filename().native() + ".Zem";
        static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
        for (std::uint64_t r = rng(), i = 0; i < 8; ++i, r /= 36)
            name += kDigits[r % 36];
        const std::filesystem::path path = folder / name;
        // O_EXCL: an existing file, or a link planted under the name, is never written through.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            m_fd.reset(fd);
            m_path = path;
            m_target = target;
            return 0;
        }
        if (errno != EEXIST)
            return failureFromErrno(errno);
    }
    return fromWin32(err::AlreadyExists);
}

ResultCode FileReplacement::commit(struct stat *st)
{
    return finish(true, st);
}

ResultCode FileReplacement::commitUnsynced()
{
    return finish(false, nullptr);
}

ResultCode FileReplacement::finish(bool durable, struct stat *st)
{
    if (!m_fd.valid())
        return fromWin32(err::InvalidHandle);
    // The content must be on disk before the name points at it, or a crash could leave an
    // empty file where the old one was.
    if (durable && ::fsync(m_fd.get()) != 0)
        return failureFromErrno(errno);
    if (::rename(m_path.c_str(), m_target.c_str()) != 0)
        return failureFromErrno(errno);
    m_committed = true;
    if (st != nullptr && ::fstat(m_fd.get(), st) != 0)
        *st = {};
    const int closed = m_fd.close();
    const int closeError = errno;
    if (durable)
        syncFolder(m_target.parent_path());
    // The rename has happened; a close failure still says the data may not have landed.
    return closed != 0 ? failureFromErrno(closeError) : 0;
}

ResultCode replaceFile(const std::filesystem::path &target, std::string_view data, mode_t mode,
                       struct stat *st)
{
    FileReplacement replacement;
    if (const ResultCode rc = replacement.create(target, mode))
        return rc;
    if (::fchmod(replacement.fd(), mode) != 0)
        return failureFromErrno(errno);
    if (const ResultCode rc = writeAll(replacement.fd(), data))
        return rc;
    return replacement.commit(st);
}

ResultCode writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return failureFromErrno(errno);
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

void syncFolder(const std::filesystem::path &folder)
{
    const FileDescriptor dir(
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid())
        (void)::fsync(dir.get()); // best effort, see the header
}

} // namespace platform
