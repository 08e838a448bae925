// The operations that move or lock file content: AddFile, Checkin, GetFile, CheckOut and
// CheckoutCancel. Uploads go in chunks of 120000 bytes, each chunk one call; downloads take
// whatever each answer carries until the service answers with a Size of 0.

#include "protocol/serviceclient.h"

#include "protocol/protocolconstants.h"
#include "protocol/responsereader.h"
#include "protocol/utf8.h"

#include <platform/base64.h>
#include <platform/filedescriptor.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace protocol {

namespace {

using platform::ResultCode;
using E = RequestElement;

// Bytes of the local file per upload call. The service takes each call as one piece; its
// base64 text (164212 characters at most) travels in one request body.
constexpr std::size_t kUploadChunk = 120000;

// Characters of a download child decoded per step, so the output buffer stays fixed however
// long the text is.
constexpr std::size_t kDecodeSlice = 64 * 1024;

// The year/month/day hour:minute:second form, local time, that the service uses for times.
constexpr const char *kDateFormat = "%04d/%02d/%02d %02d:%02d:%02d";

// 0x800C0000 | ERROR_INVALID_DATA: a date text of the answer that is not a time.
constexpr ResultCode kBadDate = platform::fromHttpStatus(platform::err::InvalidData);

// A download whose pieces came from two versions of the file.
constexpr ResultCode kOtherVersion = platform::fromWin32(platform::err::FileInvalid);
// A download that meets another version starts over this many times before the file fails:
// once is enough for one check-in during the download; a file changed again and again fails.
constexpr int kDownloadRestarts = 1;
// A piece lost to a dropped connection is asked for again up to this many times in a row,
// after these pauses (a restarting server or a flaky link gets a moment, a dead one costs
// about 1.5 s before the file fails).
constexpr int kChunkRetries = 3;
constexpr std::chrono::milliseconds kRetryPauses[kChunkRetries] = {std::chrono::milliseconds(100),
                                                                   std::chrono::milliseconds(400),
                                                                   std::chrono::milliseconds(1000)};
// How often a pause looks at the cancel flag.
constexpr std::chrono::milliseconds kCancelPoll(5);

class LocalFile
{
public:
    explicit LocalFile(int fd)
        : m_fd(fd)
    {
    }

    bool isOpen() const { return m_fd.valid(); }
    int fd() const { return m_fd.get(); }

    // Reads until `size` bytes or the end of the file; `got` is short only at the end.
    [[nodiscard]] ResultCode readFull(char *data, std::size_t size, std::size_t &got)
    {
        got = 0;
        while (got < size) {
            const ssize_t n = ::read(m_fd.get(), data + got, size - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return platform::fromErrno(errno);
            if (n == 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        return 0;
    }

    [[nodiscard]] ResultCode writeAll(const std::uint8_t *data, std::size_t size)
    {
        while (size > 0) {
            const ssize_t n = ::write(m_fd.get(), data, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return platform::fromErrno(errno);
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return 0;
    }

private:
    platform::FileDescriptor m_fd;
};

CallResult failure(ResultCode code)
{
    CallResult r;
    r.code = code;
    return r;
}

[[nodiscard]] ResultCode formatUpdateTime(const struct stat &st, std::string &out)
{
    struct tm local = {};
    if (::localtime_r(&st.st_mtim.tv_sec, &local) == nullptr)
        return platform::fromErrno(errno != 0 ? errno : EOVERFLOW);
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), kDateFormat, local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    out = text.data();
    return 0;
}

// The service's time text as a local time; nothing when it is not six numbers naming a
// real moment.
std::optional<std::time_t> parseUpdateDate(const std::string &text)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (std::sscanf(text.c_str(), "%d/%d/%d %d:%d:%d", &year, &month, &day, &hour, &minute,
                    &second) != 6)
        return std::nullopt;
    if (year < 1601 || year > 30827 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return std::nullopt;
    struct tm local = {};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const std::time_t t = std::mktime(&local);
    if (t == static_cast<std::time_t>(-1) || local.tm_mday != day)
        return std::nullopt; // mktime moved an impossible day such as 31 April
    return t;
}

// Decodes the base64 children of a download answer straight out of the parsed document into
// the local file, through one fixed buffer: memory does not follow the size of the content.
class ChunkWriter
{
public:
    explicit ChunkWriter(LocalFile &file)
        : m_file(file)
        , m_bytes(platform::Base64Decoder::maxOutput(kDecodeSlice))
    {
    }

    // Appends the decoded text of every child of `path` (each child one base64 text; a child
    // without text adds nothing). Returns 0, kMissingResult for a missing node or a text that
    // is not base64, or the write's failure; `written` counts the bytes written.
    [[nodiscard]] ResultCode writeChildren(ResponseReader &reader, std::string_view path,
                                           std::int64_t &written)
    {
        m_written = 0;
        ResultCode failure = 0;
        std::optional<std::size_t> current;
        const std::int64_t count =
            reader.visitChildText(path, [&](std::size_t child, std::string_view piece) {
                if (current && *current != child)
                    failure = finishText();
                current = child;
                if (failure == 0)
                    failure = feed(piece);
                return failure == 0;
            });
        if (count == -1)
            return platform::kMissingResult;
        if (failure == 0 && current)
            failure = finishText();
        written = m_written;
        return failure;
    }

private:
    [[nodiscard]] ResultCode feed(std::string_view text)
    {
        for (std::size_t at = 0; at < text.size(); at += kDecodeSlice) {
            const std::size_t n = m_decoder.feed(text.substr(at, kDecodeSlice), m_bytes.data());
            if (const ResultCode rc = m_file.writeAll(m_bytes.data(), n); rc != 0)
                return rc;
            m_written += static_cast<std::int64_t>(n);
        }
        return 0;
    }

    [[nodiscard]] ResultCode finishText()
    {
        const auto tail = m_decoder.finish(m_bytes.data());
        if (!tail)
            return platform::kMissingResult;
        m_written += static_cast<std::int64_t>(*tail);
        return m_file.writeAll(m_bytes.data(), *tail);
    }

    LocalFile &m_file;
    std::vector<std::uint8_t> m_bytes;
    platform::Base64Decoder m_decoder;
    std::int64_t m_written = 0;
};

// One upload, AddFile or Checkin: what differs between the two.
struct Upload
{
    std::string_view operation;
    std::string_view resultPath;
    int statusText;
    std::string itemText;
    // The operation's own elements, which come before "UpdateTime", in wire order.
    std::vector<RequestElement> leading;
    std::string_view comment;
};

} // namespace

// Shared by AddFile and Checkin; see the header for the wire layout.
static CallResult upload(ServiceClient &client, Upload &job, const std::filesystem::path &local)
{
    using Notify = ServiceClient::Notify;
    if (client.notifyItemText(job.itemText) == Notify::Cancelled)
        return failure(platform::kCancelled);
    if (client.notifyStatusText(job.statusText) == Notify::Cancelled)
        return failure(platform::kCancelled);

    LocalFile file(::open(local.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.isOpen())
        return failure(platform::fromErrno(errno));
    struct stat st = {};
    if (::fstat(file.fd(), &st) != 0)
        return failure(platform::fromErrno(errno));
    const std::int64_t size = st.st_size;
    if (client.notifySubTotal(size) == Notify::Cancelled)
        return failure(platform::kCancelled);
    std::string updateTime;
    if (const ResultCode rc = formatUpdateTime(st, updateTime); rc != 0)
        return failure(rc);

    const auto raw = std::make_unique<char[]>(kUploadChunk);
    std::vector<char> text(platform::base64RequiredLength(kUploadChunk));
    std::string fileId; // empty until the service has named the upload
    std::int64_t sent = 0;
    // An empty file still goes as one call with empty content and "bLast" true: sending
    // nothing would report success for a file the service never received.
    do {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::int64_t>(kUploadChunk, size - sent));
        std::size_t got = 0;
        if (const ResultCode rc = file.readFull(raw.get(), want, got); rc != 0)
            return failure(rc);
        if (got < want) // the file shrank since its size was taken: what was sent is not it
            return failure(platform::fromWin32(platform::err::HandleEof));
        const auto encoded =
            platform::base64Encode({reinterpret_cast<const std::uint8_t *>(raw.get()), got}, text);
        if (!encoded)
            return failure(static_cast<ResultCode>(0x8007FFFFu));
        sent += static_cast<std::int64_t>(got);
        const bool last = sent == size;

        std::vector<RequestElement> elements = job.leading;
        elements.push_back(E::text(names::kUpdateTime, updateTime));
        elements.push_back(E::text(names::kComment, job.comment));
        elements.push_back(E::text(names::kFileId, fileId));
        elements.push_back(E::rawText(names::kDataOpen));
        elements.push_back(E::text(names::kDataString, std::string_view(text.data(), *encoded)));
        elements.push_back(E::rawText(names::kDataClose));
        elements.push_back(E::text(names::kBLast, last ? "true" : "false"));

        std::optional<std::string> nextId;
        if (client.isCancelled())
            return failure(platform::kCancelled);
        CallResult result = client.call(job.operation, elements, [&](ResponseReader &reader) {
            nextId = reader.value(job.resultPath, 0);
            return ResultCode{0};
        });
        if (!result.succeeded())
            return result;
        // Without the FileID the next piece would start a new file on the service.
        if (!last && (!nextId || nextId->empty()))
            return failure(platform::kMissingResult);
        const bool cancelled = client.notifySubPosition(sent) == Notify::Cancelled;
        if (last)
            return result; // all of it is on the service: a late cancel changes nothing
        if (cancelled)
            return failure(platform::kCancelled);
        fileId = std::move(*nextId);
    } while (sent < size);
    return {};
}

CallResult ServiceClient::addFile(std::string_view userId, std::string_view serverFolderPath,
                                  std::string_view fileName, const std::filesystem::path &localFile,
                                  std::string_view comment)
{
    Upload job{names::kAddFile,
               names::kAddFileResult,
               names::kStringAddFile,
               std::string(serverFolderPath) + "\\" + std::string(fileName),
               {E::text(names::kUserId, userId), E::text(names::kSelectPath, serverFolderPath),
                E::text(names::kAddFileName, fileName)},
               comment};
    return upload(*this, job, localFile);
}

CallResult ServiceClient::checkin(std::string_view userId, std::string_view serverFilePath,
                                  std::string_view comment, const std::filesystem::path &localFile)
{
    Upload job{names::kCheckin,
               names::kCheckinResult,
               names::kStringCheckin,
               localFile.string(),
               {E::text(names::kUserId, userId), E::text(names::kServerFilePath, serverFilePath)},
               comment};
    return upload(*this, job, localFile);
}

// A piece whose exchange broke off with the connection (reset, closed half way, nothing
// answered, refused while the server restarts) is asked for again from the same offset: what
// was written before stays, and a long download is not lost to one dropped connection.
static bool isDroppedConnection(ResultCode rc)
{
    switch (platform::win32Error(rc)) {
    case platform::err::InternetCannotConnect:
    case platform::err::InternetConnectionAborted:
    case platform::err::InternetConnectionReset:
    case platform::err::InternetInvalidServerResponse:
        return (static_cast<std::uint32_t>(rc) & 0xFFFF0000u) == 0x80070000u;
    default:
        return false;
    }
}

// Waits `wait` unless the run is cancelled first; false when it was.
static bool pauseUnlessCancelled(const ServiceClient &client, std::chrono::milliseconds wait)
{
    const auto until = std::chrono::steady_clock::now() + wait;
    while (std::chrono::steady_clock::now() < until) {
        if (client.isCancelled())
            return false;
        std::this_thread::sleep_for(kCancelPoll);
    }
    return !client.isCancelled();
}

CallResult ServiceClient::getFile(std::string_view userId, std::string_view serverFilePath,
                                  std::int32_t version, const std::filesystem::path &localFile)
{
    if (notifyItemText(serverFilePath) == Notify::Cancelled)
        return failure(platform::kCancelled);
    if (notifyStatusText(names::kStringDownloadStart) == Notify::Cancelled)
        return failure(platform::kCancelled);
    // Opening the file empties it, so look before that, or a cancelled run would lose the
    // user's local copy.
    if (isCancelled())
        return failure(platform::kCancelled);

    // The caller makes the file; it ends up holding exactly the version's bytes.
    LocalFile file(::open(localFile.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    if (!file.isOpen())
        return failure(platform::fromErrno(errno));

    const std::string versionText = std::to_string(version);
    // Every answer names the version it comes from by UpdateDate and TotalSize. Pieces of two
    // versions (someone checked in between two pieces) must never make one file.
    std::string updateDate;
    std::int64_t totalSize = 0;
    std::int64_t offset = 0;
    bool first = true;
    int restartsLeft = kDownloadRestarts;
    int retriesLeft = kChunkRetries;
    ChunkWriter writer(file);

    for (;;) {
        const std::string offsetText = std::to_string(offset);
        if (notifyStatusText(names::kStringDownloadChunk) == Notify::Cancelled)
            return failure(platform::kCancelled);

        std::int64_t size = 0;
        bool otherVersion = false;
        CallResult result =
            call(names::kGetFile,
                 {E::text(names::kUserId, userId), E::text(names::kFilePath, serverFilePath),
                  E::text(names::kVersion, versionText), E::text(names::kOffset, offsetText)},
                 [&](ResponseReader &reader) -> ResultCode {
                     const std::int64_t count = reader.rowCount(names::kGetFileData);
                     if (count < 0)
                         return platform::kMissingResult;
                     std::string date = reader.value(names::kGetFileUpdateDate, 0).value_or("");
                     const std::int64_t total =
                         parseDecimal(reader.value(names::kGetFileTotalSize, 0).value_or(""));
                     if (!first && (date != updateDate || total != totalSize)) {
                         otherVersion = true; // checked before a byte of it is written
                         return kOtherVersion;
                     }
                     updateDate = std::move(date);
                     totalSize = total;
                     size = parseDecimal(reader.value(names::kGetFileSize, 0).value_or(""));
                     if (first && notifySubTotal(total) == Notify::Cancelled)
                         return platform::kCancelled;
                     std::int64_t written = 0;
                     if (const ResultCode rc =
                             writer.writeChildren(reader, names::kGetFileData, written);
                         rc != 0)
                         return rc;
                     // The next offset is counted from Size; bytes that disagree with it
                     // would put every later piece in the wrong place.
                     if (written != std::max<std::int64_t>(size, 0))
                         return platform::fromWin32(platform::err::InvalidData);
                     return 0;
                 });
        if (otherVersion) {
            if (restartsLeft == 0)
                return failure(kOtherVersion);
            --restartsLeft;
            if (::ftruncate(file.fd(), 0) != 0 || ::lseek(file.fd(), 0, SEEK_SET) != 0)
                return failure(platform::fromErrno(errno));
            offset = 0;
            first = true;
            updateDate.clear();
            continue;
        }
        if (result.code < 0 && !isCancelled() && isDroppedConnection(result.code) &&
            retriesLeft > 0) {
            // Nothing of the broken piece was written: the answer is read whole first.
            const auto wait = kRetryPauses[static_cast<std::size_t>(kChunkRetries - retriesLeft)];
            --retriesLeft;
            if (!pauseUnlessCancelled(*this, wait))
                return failure(platform::kCancelled);
            continue;
        }
        if (!result.succeeded())
            return result;
        retriesLeft = kChunkRetries;
        first = false;
        if (size <= 0)
            break;
        offset += size;
        if (notifySubPosition(offset) == Notify::Cancelled)
            return failure(platform::kCancelled);
    }

    if (!updateDate.empty()) {
        const auto when = parseUpdateDate(updateDate);
        if (!when)
            return failure(kBadDate);
        const struct timespec times[2] = {{0, UTIME_OMIT}, {*when, 0}};
        if (::futimens(file.fd(), times) != 0)
            return failure(
                platform::fromHttpStatus(static_cast<int>(platform::win32FromErrno(errno))));
    }
    return {};
}

CallResult ServiceClient::checkOut(std::string_view userId, std::string_view serverFilePath,
                                   std::string_view localFilePath)
{
    if (notifyItemText(serverFilePath) == Notify::Cancelled ||
        notifySubTotal(1) == Notify::Cancelled || isCancelled())
        return failure(platform::kCancelled);
    return call(names::kCheckOut,
                {E::text(names::kUserId, userId), E::text(names::kServerFilePath, serverFilePath),
                 E::text(names::kLocalFilePath, localFilePath)});
}

CallResult ServiceClient::checkoutCancel(std::string_view userId, std::string_view serverFilePath)
{
    if (notifyItemText(serverFilePath) == Notify::Cancelled ||
        notifyStatusText(names::kStringUndoCheckout) == Notify::Cancelled ||
        notifySubTotal(1) == Notify::Cancelled || isCancelled())
        return failure(platform::kCancelled);
    return call(names::kCheckoutCancel,
                {E::text(names::kUserId, userId), E::text(names::kFilePath, serverFilePath)});
}

} // namespace protocol
