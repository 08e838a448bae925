// The operations that move no file content: logon, the lists, counts and the changes of the
// server-side tree.

#include "protocol/serviceclient.h"

#include "protocol/protocolconstants.h"
#include "protocol/responsereader.h"
#include "protocol/utf8.h"

#include <algorithm>
#include <limits>

namespace protocol {

namespace n = names;
using E = RequestElement;

static std::string_view boolText(bool b)
{
    return b ? "true" : "false";
}

static bool equalsIgnoreCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) {
        auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
        };
        return lower(x) == lower(y);
    });
}

static std::int32_t toInt32(std::string_view text)
{
    const std::int64_t v = parseDecimal(text);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// Reads every row below `path` with `makeRow(row)`, appending to `list`; a missing result
// element is a failure (nothing appended).
template<typename Item, typename MakeRow>
static platform::ResultCode readRows(ResponseReader &reader, std::string_view path,
                                     std::vector<Item> &list, MakeRow makeRow)
{
    const std::int64_t count = reader.rowCount(path);
    if (count < 0)
        return platform::kMissingResult;
    list.reserve(list.size() + static_cast<std::size_t>(count));
    for (std::int64_t row = 0; row < count; ++row)
        list.push_back(makeRow(static_cast<std::size_t>(row)));
    return 0;
}

CallResult ServiceClient::logon(std::string_view userId, std::string_view pc,
                                std::string_view logonUserId, std::string_view ipAddress,
                                std::optional<std::string> &result)
{
    result.reset();
    return call(n::kLogon,
                {E::text(n::kUserId, userId), E::text(n::kPc, pc),
                 E::text(n::kLogonUserId, logonUserId), E::text(n::kIpAddress, ipAddress)},
                [&](ResponseReader &r) -> platform::ResultCode {
                    result = r.value(n::kLogonResult, 0);
                    return 0;
                });
}

CallResult ServiceClient::getFolderList(std::string_view userId, std::string_view parentPath,
                                        std::vector<FolderItem> &list)
{
    return call(
        n::kGetFolderList, {E::text(n::kUserId, userId), E::text(n::kParentPath, parentPath)},
        [&](ResponseReader &r) {
            const std::string_view path = n::kFolderListResult;
            return readRows(r, path, list, [&](std::size_t row) {
                FolderItem item;
                item.name = r.rowField(path, row, n::kFolderName).value_or("");
                item.workFolderPath = r.rowField(path, row, n::kWorkFolderName).value_or("");
                item.comment = r.rowField(path, row, n::kComment).value_or("");
                item.isPrivate =
                    equalsIgnoreCase(r.rowField(path, row, n::kIsPrivate).value_or(""), "true");
                return item;
            });
        });
}

CallResult ServiceClient::getFileList(std::string_view userId, std::string_view parentPath,
                                      std::vector<FileItem> &list)
{
    return call(n::kGetFileList, {E::text(n::kUserId, userId), E::text(n::kParentPath, parentPath)},
                [&](ResponseReader &r) {
                    const std::string_view path = n::kFileListResult;
                    return readRows(r, path, list, [&](std::size_t row) {
                        auto field = [&](std::string_view name) {
                            return r.rowField(path, row, name).value_or("");
                        };
                        FileItem item;
                        item.fileName = field(n::kFileName);
                        item.checkoutUser = field(n::kCheckoutUser);
                        item.checkoutUserId = field(n::kCheckoutUserId);
                        item.checkoutPath = field(n::kCheckoutPath);
                        item.ipAddress = field(n::kIpAddress);
                        item.fileSize = parseDecimal(field(n::kFileSize));
                        item.updateDate = field(n::kUpdateDate);
                        item.checkinDate = field(n::kCheckinDate);
                        return item;
                    });
                });
}

CallResult ServiceClient::getHistoryList(std::string_view userId, std::string_view path,
                                         bool subFolders, std::vector<HistoryItem> &list)
{
    return call(n::kGetHistoryList,
                {E::text(n::kUserId, userId), E::text(n::kFilePath, path),
                 E::text(n::kIsSubFolder, boolText(subFolders))},
                [&](ResponseReader &r) {
                    const std::string_view result = n::kHistoryListResult;
                    return readRows(r, result, list, [&](std::size_t row) {
                        auto field = [&](std::string_view name) {
                            return r.rowField(result, row, name).value_or("");
                        };
                        HistoryItem item;
                        item.version = toInt32(field(n::kVersion));
                        item.fileName = field(n::kFileName);
                        item.fileId = field(n::kFileId);
                        item.updateDate = field(n::kUpdateDate);
                        item.updateUser = field(n::kUpdateUser);
                        item.comment = field(n::kComment);
                        return item;
                    });
                });
}

CallResult ServiceClient::getDeletedList(std::string_view userId, std::string_view folderPath,
                                         std::vector<DeletedItem> &list)
{
    return call(n::kGetDeletedList,
                {E::text(n::kUserId, userId), E::text(n::kSelectPath, folderPath)},
                [&](ResponseReader &r) {
                    const std::string_view path = n::kDeletedListResult;
                    return readRows(r, path, list, [&](std::size_t row) {
                        DeletedItem item;
                        item.name = r.rowField(path, row, n::kName).value_or("");
                        item.type = r.rowField(path, row, n::kType).value_or("") == "1"
                                        ? DeletedItem::Type::Folder
                                        : DeletedItem::Type::File;
                        return item;
                    });
                });
}

CallResult ServiceClient::getItemCount(std::string_view userId, std::string_view path,
                                       bool subFolders, std::int64_t &count)
{
    count = 0;
    return call(n::kGetItemCount,
                {E::text(n::kUserId, userId), E::text(n::kFilePath, path),
                 E::text(n::kIsSubFolder, boolText(subFolders))},
                [&](ResponseReader &r) -> platform::ResultCode {
                    count = parseDecimal(r.value(n::kItemCountResult, 0).value_or(""));
                    return 0;
                });
}

CallResult ServiceClient::createFolder(std::string_view userId, std::string_view parentPath,
                                       std::string_view folderName, std::string_view comment,
                                       bool isPrivate)
{
    return call(n::kCreateFolder,
                {E::text(n::kUserId, userId), E::text(n::kParentPath, parentPath),
                 E::text(n::kFolderName, folderName), E::text(n::kComment, comment),
                 E::text(n::kIsPrivate, boolText(isPrivate))});
}

CallResult ServiceClient::rename(std::string_view userId, std::string_view itemPath,
                                 std::string_view newName)
{
    return call(n::kRename, {E::text(n::kUserId, userId), E::text(n::kSelectPath, itemPath),
                             E::text(n::kChangeName, newName)});
}

CallResult ServiceClient::move(std::string_view userId, std::string_view itemPath,
                               std::string_view destinationPath)
{
    return call(n::kMove, {E::text(n::kUserId, userId), E::text(n::kSelectPath, itemPath),
                           E::text(n::kMovePath, destinationPath)});
}

CallResult ServiceClient::deleteItem(std::string_view userId, std::string_view itemPath, bool purge)
{
    return call(n::kDelete, {E::text(n::kUserId, userId), E::text(n::kSelectPath, itemPath),
                             E::text(n::kIsPurge, boolText(purge))});
}

CallResult ServiceClient::repaire(std::string_view userId, std::string_view itemPath)
{
    return call(n::kRepaire, {E::text(n::kUserId, userId), E::text(n::kFilePath, itemPath)});
}

CallResult ServiceClient::rollBack(std::string_view userId, std::string_view filePath,
                                   std::int32_t version)
{
    const std::string v = std::to_string(version);
    return call(n::kRollBack, {E::text(n::kUserId, userId), E::text(n::kFilePath, filePath),
                               E::text(n::kVersion, v)});
}

CallResult ServiceClient::setWorkFolderPath(std::string_view userId, std::string_view folderPath,
                                            std::string_view workFolderPath)
{
    return call(n::kSetWorkFolderPath,
                {E::text(n::kUserId, userId), E::text(n::kSelectPath, folderPath),
                 E::text(n::kWorkFolderPath, workFolderPath)});
}

CallResult ServiceClient::updateComment(std::string_view userId, std::string_view path,
                                        std::int32_t version, std::string_view comment)
{
    const std::string v = std::to_string(version);
    return call(n::kUpdateComment, {E::text(n::kUserId, userId), E::text(n::kSelectPath, path),
                                    E::text(n::kVersion, v), E::text(n::kComment, comment)});
}

CallResult ServiceClient::serverDelete(std::string_view userId)
{
    return call(n::kServerDelete, {E::text(n::kUserId, userId)});
}

} // namespace protocol
