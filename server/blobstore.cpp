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
    throw StorageError(what + " " + path.string() + ": " + std::strerror(errno));
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
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

std::filesystem::path BlobStore::pathOf(const std::string &hash) const
{
    return m_root / hash.substr(0, 2) / hash;
}

void BlobStore::adopt(const std::filesystem::path &file, const std::string &hash)
{
    const std::filesystem::path target = pathOf(hash);
    std::error_code ec;
    if (std::filesystem::exists(target, ec)) {
        std::filesystem::remove(file, ec);
        return;
    }
    std::filesystem::create_directories(target.parent_path(), ec);
    if (ec)
        throw StorageError("cannot make " + target.parent_path().string() + ": " + ec.message());
    if (::rename(file.c_str(), target.c_str()) != 0)
        fail("rename to", target);
    syncDirectory(target.parent_path());
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
    std::error_code ec;
    std::filesystem::remove(pathOf(hash), ec);
}

} // namespace server
