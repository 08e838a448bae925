#include "blobstore.h"

#include "sqlitedatabase.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace server {

namespace {

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd)
        : m_fd(fd)
    {
    }
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

struct DigestDeleter
{
    void operator()(EVP_MD_CTX *context) const { EVP_MD_CTX_free(context); }
};

[[noreturn]] void fail(const std::string &what, const std::filesystem::path &path)
{
    const int error = errno;
    throw StorageError(what + " " + path.string() + ": " + std::strerror(error),
                       StorageError::isFullErrno(error));
}

std::string hexOf(const unsigned char *digest, unsigned int length)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

void syncDirectory(const std::filesystem::path &directory)
{
    FileDescriptor fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0 || ::fsync(fd.get()) != 0)
        fail("sync", directory);
}

} // namespace

BlobStore::BlobStore(std::filesystem::path root)
    : m_root(std::move(root))
{
    std::filesystem::create_directories(m_root);
}

std::string BlobStore::hashAndSync(const std::filesystem::path &file)
{
    FileDescriptor fd(::open(file.c_str(), O_RDWR | O_CLOEXEC));
    if (fd.get() < 0)
        fail("open", file);
    std::unique_ptr<EVP_MD_CTX, DigestDeleter> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        throw StorageError("SHA-256 is not available");
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            fail("read", file);
        }
        if (got == 0)
            break;
        EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(got));
    }
    if (::fsync(fd.get()) != 0)
        fail("sync", file);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context.get(), digest, &length);
    return hexOf(digest, length);
}

std::string BlobStore::hashBytes(std::string_view bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1)
        throw StorageError("SHA-256 is not available");
    return hexOf(digest, length);
}

std::filesystem::path BlobStore::pathOf(const std::string &hash) const
{
    return m_root / hash.substr(0, 2) / hash;
}

bool BlobStore::place(const std::filesystem::path &file, const std::string &hash)
{
    const std::filesystem::path target = pathOf(hash);
    std::error_code ec;
    if (std::filesystem::exists(target, ec))
        return false;
    std::filesystem::create_directories(target.parent_path(), ec);
    if (ec)
        throw StorageError("cannot make " + target.parent_path().string() + ": " + ec.message(),
                           StorageError::isFullErrno(ec.value()));
    if (::link(file.c_str(), target.c_str()) != 0) {
        // A filesystem without hard links: the file moves, and a crash before the
        // commit then leaves an upload without its part file, which recovery drops.
        if ((errno != EPERM && errno != EXDEV && errno != ENOTSUP) ||
            ::rename(file.c_str(), target.c_str()) != 0)
            fail("link to", target);
    }
    syncDirectory(target.parent_path());
    return true;
}

bool BlobStore::read(const std::string &hash, std::int64_t offset, std::size_t maxBytes,
                     std::string &out) const
{
    const std::filesystem::path path = pathOf(hash);
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT)
            return false;
        fail("open", path);
    }
    out.resize(maxBytes);
    std::size_t done = 0;
    while (done < maxBytes) {
        const ssize_t got = ::pread(fd.get(), out.data() + done, maxBytes - done,
                                    static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            fail("read", path);
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    out.resize(done);
    return true;
}

void BlobStore::remove(const std::string &hash)
{
    const std::filesystem::path path = pathOf(hash);
    std::error_code ec;
    std::filesystem::remove(path, ec);
    // Fails, as it should, while the folder holds other blobs.
    ::rmdir(path.parent_path().c_str());
}

} // namespace server
