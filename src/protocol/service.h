#pragma once

// The twenty operations of the version-control service, as an interface: the workers and the
// window's direct calls go through it, so tests can put a scripted fake in place of the
// real client. Every operation blocks its thread until the exchange is over; texts are UTF-8.

#include "protocol/callresult.h"
#include "protocol/records.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace protocol {

class ProgressSink;

class Service
{
public:
    virtual ~Service() = default;

    // The run's cancel flag, set by another thread (may be null). A running transfer or lock
    // operation then stops with 0x800704C7, with or without a progress sink.
    virtual void setCancelFlag(const std::atomic<bool> *cancel) = 0;
    // Receives the transfers' progress (may be null); it must outlive the calls.
    virtual void setProgressSink(ProgressSink *sink) = 0;

    // --- Browsing and administration ---------------------------------------------------
    // Every operation takes the service user ID first and reports code and error text.

    // `result` receives LogonResult's text, or nothing when the answer has none.
    [[nodiscard]] virtual CallResult logon(std::string_view userId, std::string_view pc,
                                           std::string_view logonUserId, std::string_view ipAddress,
                                           std::optional<std::string> &result) = 0;
    // The list operations append to the caller's list (never clear it).
    [[nodiscard]] virtual CallResult getFolderList(std::string_view userId,
                                                   std::string_view parentPath,
                                                   std::vector<FolderItem> &list) = 0;
    [[nodiscard]] virtual CallResult getFileList(std::string_view userId,
                                                 std::string_view parentPath,
                                                 std::vector<FileItem> &list) = 0;
    [[nodiscard]] virtual CallResult getHistoryList(std::string_view userId, std::string_view path,
                                                    bool subFolders,
                                                    std::vector<HistoryItem> &list) = 0;
    [[nodiscard]] virtual CallResult getDeletedList(std::string_view userId,
                                                    std::string_view folderPath,
                                                    std::vector<DeletedItem> &list) = 0;
    // `count` is 0 when the answer has no number.
    [[nodiscard]] virtual CallResult getItemCount(std::string_view userId, std::string_view path,
                                                  bool subFolders, std::int64_t &count) = 0;
    [[nodiscard]] virtual CallResult createFolder(std::string_view userId,
                                                  std::string_view parentPath,
                                                  std::string_view folderName,
                                                  std::string_view comment, bool isPrivate) = 0;
    [[nodiscard]] virtual CallResult rename(std::string_view userId, std::string_view itemPath,
                                            std::string_view newName) = 0;
    [[nodiscard]] virtual CallResult move(std::string_view userId, std::string_view itemPath,
                                          std::string_view destinationPath) = 0;
    // The "Delete" operation; `purge` removes the item for good instead of restorably.
    [[nodiscard]] virtual CallResult deleteItem(std::string_view userId, std::string_view itemPath,
                                                bool purge) = 0;
    [[nodiscard]] virtual CallResult repaire(std::string_view userId,
                                             std::string_view itemPath) = 0;
    [[nodiscard]] virtual CallResult rollBack(std::string_view userId, std::string_view filePath,
                                              std::int32_t version) = 0;
    [[nodiscard]] virtual CallResult setWorkFolderPath(std::string_view userId,
                                                       std::string_view folderPath,
                                                       std::string_view workFolderPath) = 0;
    // `version` 0 changes a folder's own comment.
    [[nodiscard]] virtual CallResult updateComment(std::string_view userId, std::string_view path,
                                                   std::int32_t version,
                                                   std::string_view comment) = 0;
    [[nodiscard]] virtual CallResult serverDelete(std::string_view userId) = 0;

    // --- Content transfer (worker threads; report through the sink, see the cancel) ----------

    [[nodiscard]] virtual CallResult
    addFile(std::string_view userId, std::string_view serverFolderPath, std::string_view fileName,
            const std::filesystem::path &localFile, std::string_view comment) = 0;
    [[nodiscard]] virtual CallResult checkin(std::string_view userId,
                                             std::string_view serverFilePath,
                                             std::string_view comment,
                                             const std::filesystem::path &localFile) = 0;
    // `version` -1 is the latest. The local file must exist; it is overwritten with the
    // version's content.
    [[nodiscard]] virtual CallResult getFile(std::string_view userId,
                                             std::string_view serverFilePath, std::int32_t version,
                                             const std::filesystem::path &localFile) = 0;
    [[nodiscard]] virtual CallResult checkOut(std::string_view userId,
                                              std::string_view serverFilePath,
                                              std::string_view localFilePath) = 0;
    [[nodiscard]] virtual CallResult checkoutCancel(std::string_view userId,
                                                    std::string_view serverFilePath) = 0;
};

} // namespace protocol
