#pragma once

// The client of the version-control service: the connection settings of one server and one
// method per service operation. A client belongs to one thread; it keeps one HTTP connection
// for its life, so consecutive calls and chunks reuse it. Every method blocks the calling
// thread until the exchange is over. Texts are UTF-8.

#include "protocol/callresult.h"
#include "protocol/records.h"

#include <platform/resultcode.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class HttpTransport;
class TempFile;
} // namespace platform

namespace protocol {

class ProgressSink;
class ResponseReader;

// One piece of a request, written in order inside the operation element.
struct RequestElement
{
    std::string_view name;  // element name; unused for raw text
    std::string_view value; // UTF-8 value (escaped when written), or the raw text
    bool raw = false;       // written unchanged, without tags

    static RequestElement text(std::string_view name, std::string_view value)
    {
        return {name, value, false};
    }
    static RequestElement rawText(std::string_view text) { return {{}, text, true}; }
};

class ServiceClient
{
public:
    // Answer of notify: the caller goes on, or stops because the user cancelled.
    enum class Notify { GoOn, Cancelled };

    ServiceClient();
    ~ServiceClient();
    ServiceClient(ServiceClient &&) noexcept;
    ServiceClient &operator=(ServiceClient &&) noexcept;
    ServiceClient(const ServiceClient &) = delete;
    ServiceClient &operator=(const ServiceClient &) = delete;

    // Takes the connection settings of `profile`; the profile's timeout is in seconds.
    // `sink` (may be null) receives progress; it must outlive the client's calls.
    void fillFromProfile(const ServerProfile &profile, ProgressSink *sink = nullptr);
    // The run's cancel flag, set by another thread (may be null). Seen by notify and by a
    // running transfer, which then stops with 0x800704C7.
    void setCancelFlag(const std::atomic<bool> *cancel);
    void setProgressSink(ProgressSink *sink) { m_sink = sink; }

    // Progress with cancellation. Without a sink: GoOn at once, never Cancelled. With one:
    // Cancelled when the cancel flag is set (nothing is reported), else reports and GoOn.
    // Never blocks.
    [[nodiscard]] Notify notifyItemText(std::string_view text);
    [[nodiscard]] Notify notifyStatusText(int stringId);
    [[nodiscard]] Notify notifySubTotal(std::int64_t total);
    [[nodiscard]] Notify notifySubPosition(std::int64_t position);

    // One call of the common shape: envelope with `elements`, post, and for a 200 or 500
    // answer the body loaded into a reader. For 500 the error text becomes the fault string
    // (the status text when there is none). For 200, `readResult` (may be empty) reads the
    // answer and its code becomes the call's. Any other status leaves the status text as
    // error text ("HTTP status N" when the server sent none) and the body unread.
    // Text values must be valid UTF-8 (else 0x80070459 and nothing is sent).
    CallResult call(std::string_view operation, std::span<const RequestElement> elements,
                    const std::function<platform::ResultCode(ResponseReader &)> &readResult = {});
    CallResult call(std::string_view operation, std::initializer_list<RequestElement> elements,
                    const std::function<platform::ResultCode(ResponseReader &)> &readResult = {})
    {
        return call(operation, std::span<const RequestElement>(elements.begin(), elements.size()),
                    readResult);
    }

    // The second half of call(), for a request the caller wrote itself (an EnvelopeWriter over
    // `request`, e.g. a chunk encoded straight into the file): posts it with the SOAPAction
    // of `operation`, and for a 200 or 500 answer loads it into `reader` (made over an empty
    // response file of the caller); status texts and faults as in call(). `reader` holds the
    // answer when the result's httpStatus is 200 and its code is not negative.
    CallResult exchange(std::string_view operation, platform::TempFile &request,
                        ResponseReader &reader);

    // --- Browsing and administration ---------------------------------------------------
    // Every operation takes the service user ID first and reports code and error text.

    // `result` receives LogonResult's text, or nothing when the answer has none.
    CallResult logon(std::string_view userId, std::string_view pc, std::string_view logonUserId,
                     std::string_view ipAddress, std::optional<std::string> &result);
    // The list operations append to the caller's list (never clear it).
    CallResult getFolderList(std::string_view userId, std::string_view parentPath,
                             std::vector<FolderItem> &list);
    CallResult getFileList(std::string_view userId, std::string_view parentPath,
                           std::vector<FileItem> &list);
    CallResult getHistoryList(std::string_view userId, std::string_view path, bool subFolders,
                              std::vector<HistoryItem> &list);
    CallResult getDeletedList(std::string_view userId, std::string_view folderPath,
                              std::vector<DeletedItem> &list);
    // `count` is 0 when the answer has no number.
    CallResult getItemCount(std::string_view userId, std::string_view path, bool subFolders,
                            std::int64_t &count);
    CallResult createFolder(std::string_view userId, std::string_view parentPath,
                            std::string_view folderName, std::string_view comment, bool isPrivate);
    CallResult rename(std::string_view userId, std::string_view itemPath, std::string_view newName);
    CallResult move(std::string_view userId, std::string_view itemPath,
                    std::string_view destinationPath);
    // The "Delete" operation; `purge` removes the item for good instead of restorably.
    CallResult deleteItem(std::string_view userId, std::string_view itemPath, bool purge);
    CallResult repaire(std::string_view userId, std::string_view itemPath);
    CallResult rollBack(std::string_view userId, std::string_view filePath, std::int32_t version);
    CallResult setWorkFolderPath(std::string_view userId, std::string_view folderPath,
                                 std::string_view workFolderPath);
    // `version` 0 changes a folder's own comment.
    CallResult updateComment(std::string_view userId, std::string_view path, std::int32_t version,
                             std::string_view comment);
    CallResult serverDelete(std::string_view userId);

    // --- Content transfer (worker threads; report through the sink, see the cancel) ----------

    CallResult addFile(std::string_view userId, std::string_view serverFolderPath,
                       std::string_view fileName, const std::filesystem::path &localFile,
                       std::string_view comment);
    CallResult checkin(std::string_view userId, std::string_view serverFilePath,
                       std::string_view comment, const std::filesystem::path &localFile);
    // `version` -1 is the latest. The local file must exist; it is overwritten with the
    // version's content.
    CallResult getFile(std::string_view userId, std::string_view serverFilePath,
                       std::int32_t version, const std::filesystem::path &localFile);
    CallResult checkOut(std::string_view userId, std::string_view serverFilePath,
                        std::string_view localFilePath);
    CallResult checkoutCancel(std::string_view userId, std::string_view serverFilePath);

    // Settings, for tests and the operations.
    const std::string &server() const { return m_server; }
    const std::string &objectPath() const { return m_objectPath; }
    std::uint16_t port() const { return m_port; }
    bool secure() const { return m_secure; }
    std::uint32_t timeoutMs() const { return m_timeoutMs; }
    bool isCancelled() const;

private:
    Notify notifyGate() const;
    platform::HttpTransport &transport();

    const std::atomic<bool> *m_cancel = nullptr;
    std::string m_server;
    std::string m_objectPath;
    bool m_useProxy = false;
    std::string m_proxyServer;
    std::string m_proxyUserName;
    std::string m_proxyPassword;
    std::string m_userName;
    std::string m_password;
    bool m_secure = false;
    std::uint16_t m_port = 0;
    std::uint32_t m_timeoutMs = 60000;
    ProgressSink *m_sink = nullptr;
    std::unique_ptr<platform::HttpTransport> m_transport;
};

} // namespace protocol
