#pragma once

// The client of the version-control service: the connection settings of one server and one
// method per service operation. A client belongs to one thread; it keeps one HTTP connection
// for its life, so consecutive calls and chunks reuse it. Every method blocks the calling
// thread until the exchange is over. Texts are UTF-8.

#include "protocol/callresult.h"
#include "protocol/records.h"
#include "protocol/service.h"

#include <platform/httptransport.h>
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

// The connection settings a profile stands for.
platform::HttpEndpoint httpEndpoint(const ServerProfile &profile);

class ServiceClient final : public Service
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
    // Also seen by notify, which then answers Cancelled.
    void setCancelFlag(const std::atomic<bool> *cancel) override;
    void setProgressSink(ProgressSink *sink) override { m_sink = sink; }

    // Progress with cancellation: Cancelled when the cancel flag is set (nothing is reported),
    // else reports to the sink when there is one and GoOn. Never blocks.
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
    [[nodiscard]] CallResult
    call(std::string_view operation, std::span<const RequestElement> elements,
         const std::function<platform::ResultCode(ResponseReader &)> &readResult = {});
    [[nodiscard]] CallResult
    call(std::string_view operation, std::initializer_list<RequestElement> elements,
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
    [[nodiscard]] CallResult exchange(std::string_view operation, platform::TempFile &request,
                                      ResponseReader &reader);

    // --- The operations of Service (documented there) -----------------------------------

    CallResult logon(std::string_view userId, std::string_view pc, std::string_view logonUserId,
                     std::string_view ipAddress, std::optional<std::string> &result) override;
    CallResult getFolderList(std::string_view userId, std::string_view parentPath,
                             std::vector<FolderItem> &list) override;
    CallResult getFileList(std::string_view userId, std::string_view parentPath,
                           std::vector<FileItem> &list) override;
    CallResult getHistoryList(std::string_view userId, std::string_view path, bool subFolders,
                              std::vector<HistoryItem> &list) override;
    CallResult getDeletedList(std::string_view userId, std::string_view folderPath,
                              std::vector<DeletedItem> &list) override;
    CallResult getItemCount(std::string_view userId, std::string_view path, bool subFolders,
                            std::int64_t &count) override;
    CallResult createFolder(std::string_view userId, std::string_view parentPath,
                            std::string_view folderName, std::string_view comment,
                            bool isPrivate) override;
    CallResult rename(std::string_view userId, std::string_view itemPath,
                      std::string_view newName) override;
    CallResult move(std::string_view userId, std::string_view itemPath,
                    std::string_view destinationPath) override;
    CallResult deleteItem(std::string_view userId, std::string_view itemPath, bool purge) override;
    CallResult repaire(std::string_view userId, std::string_view itemPath) override;
    CallResult rollBack(std::string_view userId, std::string_view filePath,
                        std::int32_t version) override;
    CallResult setWorkFolderPath(std::string_view userId, std::string_view folderPath,
                                 std::string_view workFolderPath) override;
    CallResult updateComment(std::string_view userId, std::string_view path, std::int32_t version,
                             std::string_view comment) override;
    CallResult serverDelete(std::string_view userId) override;

    CallResult addFile(std::string_view userId, std::string_view serverFolderPath,
                       std::string_view fileName, const std::filesystem::path &localFile,
                       std::string_view comment) override;
    CallResult checkin(std::string_view userId, std::string_view serverFilePath,
                       std::string_view comment, const std::filesystem::path &localFile) override;
    CallResult getFile(std::string_view userId, std::string_view serverFilePath,
                       std::int32_t version, const std::filesystem::path &localFile) override;
    CallResult checkOut(std::string_view userId, std::string_view serverFilePath,
                        std::string_view localFilePath) override;
    CallResult checkoutCancel(std::string_view userId, std::string_view serverFilePath) override;

    bool isCancelled() const;

private:
    Notify notifyGate() const;
    platform::HttpTransport &transport();

    const std::atomic<bool> *m_cancel = nullptr;
    platform::HttpEndpoint m_endpoint;
    ProgressSink *m_sink = nullptr;
    std::unique_ptr<platform::HttpTransport> m_transport;
};

} // namespace protocol
