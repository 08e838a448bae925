#include "localfiles.h"

#include <platform/filedescriptor.h>
#include <platform/filereplacement.h>
#include <platform/resultcode.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace engine {

namespace {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

// Copy buffer: big enough that a large file does not cost a system call per few kilobytes,
// small enough to stay a fixed cost on a worker thread.
constexpr std::size_t kCopyBuffer = 256 * 1024;

[[nodiscard]] SystemError lastError()
{
    return platform::win32FromErrno(errno);
}

bool isDirectory(const std::string &path)
{
    struct stat st = {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// mkdir and the judgement "the folder is there afterwards".
[[nodiscard]] SystemError makeLastFolder(const std::string &path)
{
    if (::mkdir(path.c_str(), 0777) == 0)
        return 0;
    if (errno != EEXIST)
        return lastError();
    return isDirectory(path) ? 0 : platform::err::AlreadyExists;
}

[[nodiscard]] SystemError copyContent(int from, int to)
{
    const auto buffer = std::make_unique<char[]>(kCopyBuffer);
    for (;;) {
        const ssize_t got = ::read(from, buffer.get(), kCopyBuffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return lastError();
        }
        if (got == 0)
            return 0;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(to, buffer.get() + done, static_cast<size_t>(got - done));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                return lastError();
            }
            done += put;
        }
    }
}

} // namespace

SystemError makePath(const std::filesystem::path &path)
{
    const std::string &text = path.native();
    const std::size_t lastSlash = text.rfind('/');
    if (text.empty() || lastSlash == std::string::npos)
        return platform::err::CannotMake;

    const bool absolute = text.front() == '/';
    std::string working = absolute ? "/" : "";
    SystemError remembered = 0;
    bool anyName = false;
    // Each folder of the chain in turn; a failure does not stop the walk, since a later
    // folder can still exist (for example below a folder we may not list).
    for (std::size_t begin = 0; begin <= lastSlash;) {
        const std::size_t end = text.find('/', begin);
        if (end > begin) {
            working.append(text, begin, end - begin);
            anyName = true;
            if (::mkdir(working.c_str(), 0777) != 0)
                remembered = lastError();
            working += '/';
        }
        begin = end + 1;
    }

    if (absolute) {
        if (text.find_first_not_of('/') == std::string::npos)
            return 0; // the root itself
        return makeLastFolder(text);
    }
    if (!anyName)
        return platform::err::CannotMake;
    if (isDirectory(working))
        return 0;
    return remembered != 0 ? remembered : platform::err::PathNotFound;
}

SystemError copyOver(const std::filesystem::path &source, const std::filesystem::path &target)
{
    const platform::FileDescriptor from(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (!from.valid())
        return lastError();
    struct stat sourceStat = {};
    if (::fstat(from.get(), &sourceStat) != 0)
        return lastError();

    // Replace the file a link points to, not the link.
    std::filesystem::path real = target;
    struct stat targetStat = {};
    bool exists = ::lstat(target.c_str(), &targetStat) == 0;
    int statError = exists ? 0 : errno;
    if (exists && S_ISLNK(targetStat.st_mode)) {
        std::error_code ec;
        const auto resolved = std::filesystem::canonical(target, ec);
        if (ec) {
            exists = false; // a dangling link: the new file takes its place
            statError = ENOENT;
        } else {
            real = resolved;
            exists = ::stat(real.c_str(), &targetStat) == 0;
            statError = exists ? 0 : errno;
        }
    }
    if (!exists && statError != ENOENT)
        return platform::win32FromErrno(statError);

    mode_t finalMode = 0;
    if (exists) {
        if (S_ISDIR(targetStat.st_mode))
            return platform::err::AccessDenied;
        const bool readOnly = (targetStat.st_mode & kWriteBits) == 0;
        if (readOnly) {
            // Clearing the read-only state needs the right to change the mode.
            if (::geteuid() != 0 && ::geteuid() != targetStat.st_uid)
                return platform::err::AccessDenied;
        } else {
            const platform::FileDescriptor probe(
                ::open(real.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK));
            if (!probe.valid())
                return platform::err::AccessDenied;
        }
        finalMode = (targetStat.st_mode & 07777) | S_IWUSR;
    }

    platform::FileReplacement replacement;
    // A new target takes the mode the umask gives; a replaced one is private until its final
    // mode is set, so its content is never readable by more people than the old target's.
    if (const platform::ResultCode rc = replacement.create(real, exists ? 0600 : 0666))
        return platform::win32Error(rc);
    if (const SystemError e = copyContent(from.get(), replacement.fd()))
        return e;
    if (exists && ::fchmod(replacement.fd(), finalMode) != 0)
        return lastError();
    const struct timespec times[2] = {sourceStat.st_atim, sourceStat.st_mtim};
    if (::futimens(replacement.fd(), times) != 0)
        return lastError();
    // When an old file is replaced, the content must be on disk before the name points at it,
    // or a crash could leave an empty file where the old one was. A new file replaces nothing:
    // syncing it would only make a get of many new files wait on the disk for each one (a
    // crash leaves at worst a short new file, which a get fetches again).
    const platform::ResultCode rc = exists ? replacement.commit() : replacement.commitUnsynced();
    if (rc != 0)
        return platform::win32Error(rc);
    return 0;
}

int deleteLocal(const std::filesystem::path &path)
{
    struct stat st = {};
    if (::lstat(path.c_str(), &st) != 0)
        return -1;
    if (!S_ISLNK(st.st_mode) && (st.st_mode & kWriteBits) == 0 &&
        ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) != 0)
        return 0;
    return ::unlink(path.c_str()) == 0 ? 1 : 0;
}

SystemError setReadOnly(const std::filesystem::path &path, bool readOnly)
{
    struct stat st = {};
    if (::stat(path.c_str(), &st) != 0)
        return lastError();
    const mode_t mode =
        readOnly ? (st.st_mode & 07777 & ~kWriteBits) : (st.st_mode & 07777) | S_IWUSR;
    return ::chmod(path.c_str(), mode) == 0 ? 0 : lastError();
}

bool isReadOnly(const std::filesystem::path &path)
{
    struct stat st = {};
    return ::stat(path.c_str(), &st) == 0 && (st.st_mode & kWriteBits) == 0;
}

namespace {

// Reads up to `size` bytes, fewer only at the end of the file; -1 on a read error.
ssize_t readFull(int fd, char *buffer, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, buffer + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

} // namespace

bool sameContent(const std::filesystem::path &a, const std::filesystem::path &b)
{
    const platform::FileDescriptor fa(::open(a.c_str(), O_RDONLY | O_CLOEXEC));
    const platform::FileDescriptor fb(::open(b.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fa.valid() || !fb.valid())
        return false;
    struct stat sa = {}, sb = {};
    if (::fstat(fa.get(), &sa) != 0 || ::fstat(fb.get(), &sb) != 0 || !S_ISREG(sa.st_mode) ||
        !S_ISREG(sb.st_mode) || sa.st_size != sb.st_size)
        return false;
    constexpr std::size_t kChunk = 64 * 1024;
    const auto bufferA = std::make_unique<char[]>(kChunk);
    const auto bufferB = std::make_unique<char[]>(kChunk);
    for (;;) {
        const ssize_t na = readFull(fa.get(), bufferA.get(), kChunk);
        const ssize_t nb = readFull(fb.get(), bufferB.get(), kChunk);
        if (na < 0 || nb < 0 || na != nb)
            return false;
        if (na == 0)
            return true;
        if (std::memcmp(bufferA.get(), bufferB.get(), static_cast<std::size_t>(na)) != 0)
            return false;
    }
}

} // namespace engine
