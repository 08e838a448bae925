#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace server {

// File contents, stored once per distinct content under their SHA-256 in
// <data>/blobs/<first two hex digits>/<hex>. A blob file is complete or absent:
// it only ever appears by rename. I/O failures throw StorageError.
class BlobStore
{
public:
    explicit BlobStore(std::filesystem::path root);

    // Hashes a finished file and flushes it to disk; returns the hex digest.
    static std::string hashAndSync(const std::filesystem::path &file);
    // The hex SHA-256 of bytes.
    static std::string hashBytes(std::string_view bytes);
    // Makes the finished file's content the blob under hash, leaving the file where it
    // is (a hard link, so a crash before the version is committed leaves the upload
    // whole). Returns false when the store already held that content.
    bool place(const std::filesystem::path &file, const std::string &hash);
    // Copies up to maxBytes from offset into out; false when the blob is missing.
    bool read(const std::string &hash, std::int64_t offset, std::size_t maxBytes,
              std::string &out) const;
    // Removes the blob, and its folder when that becomes empty.
    void remove(const std::string &hash);
    std::filesystem::path pathOf(const std::string &hash) const;
    const std::filesystem::path &root() const { return m_root; }

private:
    std::filesystem::path m_root;
};

} // namespace server
