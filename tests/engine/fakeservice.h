#pragma once

// A service in memory for the worker tests: a tree of folders and files, every call recorded
// in order, and scripted failures on the n-th call (of all calls, or of one operation).

#include <protocol/progresssink.h>
#include <protocol/service.h>

#include <atomic>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace enginetest {

struct FakeFile
{
    std::string content;
    std::string checkoutUser;
    std::string checkoutUserId;
    std::string checkoutPath;
    std::string ipAddress;
    std::vector<std::string> versions; // older contents, version 1 first
};

struct FakeFolder
{
    std::string workFolderPath;
    // Kept in the order they were made: the service lists in this order.
    std::vector<std::string> order;
    std::map<std::string, FakeFile> files;
    std::vector<std::string> folderOrder;
};

class FakeService final : public protocol::Service
{
public:
    // --- the tree (paths are "A\B", "" is the root) ---
    void addFolder(const std::string &path, const std::string &workFolderPath = {});
    void addFile(const std::string &folder, const std::string &name, const std::string &content);
    FakeFile *file(const std::string &path);
    bool hasFolder(const std::string &path) const { return m_folders.count(path) != 0; }

    // --- what happened ---
    // One line per call: the operation and its main argument, e.g. "GetFile A\x.txt".
    const std::vector<std::string> &calls() const { return m_calls; }
    std::vector<std::string> callsOf(const std::string &operation) const;

    // --- scripted trouble ---
    // The n-th call overall (1-based) answers `result` without doing anything.
    void failCall(int n, protocol::CallResult result);
    // The n-th call of `operation` (1-based) answers `result` without doing anything.
    void failOperation(const std::string &operation, int n, protocol::CallResult result);
    // Runs before the n-th call overall (1-based) is handled, e.g. to cancel the run.
    void beforeCall(int n, std::function<void()> action);
    // The n-th GetFile writes half the content, then the run is cancelled (by setting the
    // flag it was given) and the call ends as a cancelled transfer does.
    void cancelInsideGetFile(int n, std::atomic<bool> *flag);

    static protocol::CallResult message(const std::string &text);
    static protocol::CallResult code(platform::ResultCode rc);

    // --- protocol::Service ---
    void setCancelFlag(const std::atomic<bool> *cancel) override { m_cancel = cancel; }
    void setProgressSink(protocol::ProgressSink *sink) override { m_sink = sink; }
    const std::atomic<bool> *cancelFlag() const { return m_cancel; }
    protocol::ProgressSink *progressSink() const { return m_sink; }

    protocol::CallResult logon(std::string_view, std::string_view, std::string_view,
                               std::string_view, std::optional<std::string> &) override;
    protocol::CallResult getFolderList(std::string_view userId, std::string_view parentPath,
                                       std::vector<protocol::FolderItem> &list) override;
    protocol::CallResult getFileList(std::string_view userId, std::string_view parentPath,
                                     std::vector<protocol::FileItem> &list) override;
    protocol::CallResult getHistoryList(std::string_view, std::string_view, bool,
                                        std::vector<protocol::HistoryItem> &) override;
    protocol::CallResult getDeletedList(std::string_view, std::string_view,
                                        std::vector<protocol::DeletedItem> &) override;
    protocol::CallResult getItemCount(std::string_view userId, std::string_view path,
                                      bool subFolders, std::int64_t &count) override;
    protocol::CallResult createFolder(std::string_view userId, std::string_view parentPath,
                                      std::string_view folderName, std::string_view comment,
                                      bool isPrivate) override;
    protocol::CallResult rename(std::string_view, std::string_view, std::string_view) override;
    protocol::CallResult move(std::string_view userId, std::string_view itemPath,
                              std::string_view destinationPath) override;
    protocol::CallResult deleteItem(std::string_view, std::string_view, bool) override;
    protocol::CallResult repaire(std::string_view, std::string_view) override;
    protocol::CallResult rollBack(std::string_view, std::string_view, std::int32_t) override;
    protocol::CallResult setWorkFolderPath(std::string_view, std::string_view,
                                           std::string_view) override;
    protocol::CallResult updateComment(std::string_view, std::string_view, std::int32_t,
                                       std::string_view) override;
    protocol::CallResult serverDelete(std::string_view) override;
    protocol::CallResult addFile(std::string_view userId, std::string_view serverFolderPath,
                                 std::string_view fileName, const std::filesystem::path &localFile,
                                 std::string_view comment) override;
    protocol::CallResult checkin(std::string_view userId, std::string_view serverFilePath,
                                 std::string_view comment,
                                 const std::filesystem::path &localFile) override;
    protocol::CallResult getFile(std::string_view userId, std::string_view serverFilePath,
                                 std::int32_t version,
                                 const std::filesystem::path &localFile) override;
    protocol::CallResult checkOut(std::string_view userId, std::string_view serverFilePath,
                                  std::string_view localFilePath) override;
    protocol::CallResult checkoutCancel(std::string_view userId,
                                        std::string_view serverFilePath) override;

    // The user the fake takes every caller for, and its logon name.
    std::string userName = "alice";

private:
    // Records the call; a scripted answer when one is due.
    std::optional<protocol::CallResult> enter(const std::string &operation,
                                              std::string_view argument);
    FakeFolder *folder(std::string_view path);

    std::map<std::string, FakeFolder> m_folders{{"", {}}};
    std::vector<std::string> m_calls;
    std::map<int, protocol::CallResult> m_failCall;
    std::map<std::pair<std::string, int>, protocol::CallResult> m_failOperation;
    std::map<std::string, int> m_operationCount;
    std::map<int, std::function<void()>> m_before;
    int m_cancelGetFile = 0;
    std::atomic<bool> *m_cancelGetFileFlag = nullptr;
    const std::atomic<bool> *m_cancel = nullptr;
    protocol::ProgressSink *m_sink = nullptr;
};

} // namespace enginetest
