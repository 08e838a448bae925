#pragma once

// The rows of the service's lists and the stored server profiles. Plain values:
// texts are UTF-8, copies are cheap enough for lists of one folder, and == compares
// every field so tests can compare records whole.

#include <cstdint>
#include <string>

namespace protocol {

// What a tree node or list row holds; the first thing every such record tells.
enum class ItemKind : std::uint8_t { ServerProfile = 1, Folder = 2, File = 3 };

struct ServerProfile
{
    static constexpr ItemKind kind = ItemKind::ServerProfile;

    std::string name;   // shown and stored under this name
    std::string server; // host name or address
    std::string url;    // object path on the host (stored value "URL")
    std::string userId; // the service user ID sent as "UserID"
    std::uint16_t port = 0;
    std::string userName; // HTTP authentication
    std::string password;
    std::uint32_t useProxy = 0;
    std::uint32_t useSsl = 0;
    std::string proxyServer;
    std::string proxyUserName;
    std::string proxyPassword;
    std::uint32_t connected = 0; // 1 once a Logon succeeded in this run; never stored
    std::uint32_t timeout = 0;   // seconds

    bool operator==(const ServerProfile &) const = default;
};

// One row of GetFolderList.
struct FolderItem
{
    static constexpr ItemKind kind = ItemKind::Folder;

    std::string name;
    std::string workFolderPath; // local working folder recorded on the service, or empty
    std::uint32_t isPrivate = 0;
    std::string comment;

    bool operator==(const FolderItem &) const = default;
};

// One row of GetFileList. Sizes are 64-bit: files of several gigabytes exist.
struct FileItem
{
    static constexpr ItemKind kind = ItemKind::File;

    std::string fileName;
    std::string checkoutUser;
    std::string checkoutUserId;
    std::string checkoutPath;
    std::string ipAddress;
    std::string checkinDate;    // as received, not parsed
    std::string updateDate;     // as received, not parsed
    std::int64_t fileSize = -1; // -1 until filled from a response

    bool operator==(const FileItem &) const = default;
};

// One row of GetHistoryList.
struct HistoryItem
{
    std::string fileName;
    std::string fileId;
    std::string updateDate;
    std::string updateUser;
    std::int32_t version = -1; // -1 until filled from a response
    std::string comment;

    bool operator==(const HistoryItem &) const = default;
};

// One row of GetDeletedList.
struct DeletedItem
{
    enum class Type : std::int32_t { Folder = 1, File = 2 };

    std::string name;
    Type type = Type::File;

    bool operator==(const DeletedItem &) const = default;
};

} // namespace protocol
