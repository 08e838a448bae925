// The operations that move no file content: logon, the lists, counts and the changes of the
// server-side tree.

#include "protocol/serviceclient.h"

#include "protocol/protocolconstants.h"
#include "protocol/recordreader.h"
#include "protocol/responsereader.h"
#include "protocol/utf8.h"

namespace protocol {

namespace n = names;
using E = RequestElement;

static std::string_view boolText(bool b)
{
    return b ? "true" : "false";
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
    return call(n::kGetFolderList,
                {E::text(n::kUserId, userId), E::text(n::kParentPath, parentPath)},
                [&](ResponseReader &r) { return readFolderItems(r, list); });
}

CallResult ServiceClient::getFileList(std::string_view userId, std::string_view parentPath,
                                      std::vector<FileItem> &list)
{
    return call(n::kGetFileList, {E::text(n::kUserId, userId), E::text(n::kParentPath, parentPath)},
                [&](ResponseReader &r) { return readFileItems(r, list); });
}

CallResult ServiceClient::getHistoryList(std::string_view userId, std::string_view path,
                                         bool subFolders, std::vector<HistoryItem> &list)
{
    return call(n::kGetHistoryList,
                {E::text(n::kUserId, userId), E::text(n::kFilePath, path),
                 E::text(n::kIsSubFolder, boolText(subFolders))},
                [&](ResponseReader &r) { return readHistoryItems(r, list); });
}

CallResult ServiceClient::getDeletedList(std::string_view userId, std::string_view folderPath,
                                         std::vector<DeletedItem> &list)
{
    return call(n::kGetDeletedList,
                {E::text(n::kUserId, userId), E::text(n::kSelectPath, folderPath)},
                [&](ResponseReader &r) { return readDeletedItems(r, list); });
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
