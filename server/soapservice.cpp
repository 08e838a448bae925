#include "soapservice.h"

#include "base64.h"
#include "repository.h"
#include "serverconstants.h"
#include "soapreply.h"
#include "soaprequest.h"
#include "sqlitedatabase.h"
#include "wiretext.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <iostream>
#include <stdexcept>

namespace server {

namespace {

// A request the service cannot act on: a missing or malformed element. Thrown
// inside this file only and answered as a client fault.
class BadRequest : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

HttpReply clientFault(std::string_view text)
{
    return HttpReply{500, SoapReply::fault("Client", text)};
}

HttpReply answer(const Outcome &outcome, std::string body)
{
    if (!outcome.ok())
        return clientFault(outcome.refusal);
    return HttpReply{200, std::move(body)};
}

HttpReply answerEmpty(const Outcome &outcome, std::string_view operation)
{
    return answer(outcome, outcome.ok() ? SoapReply::empty(operation) : std::string());
}

std::string text(const SoapRequest &request, std::string_view name)
{
    std::optional<std::string> value = request.value(name);
    if (!value)
        throw BadRequest("The request has no \"" + std::string(name) + "\" element.");
    return *value;
}

std::size_t characterCount(std::string_view text)
{
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// A text the service stores: no control characters, at most maxCharacters long.
std::string printableText(const SoapRequest &request, std::string_view name,
                          std::size_t maxCharacters)
{
    std::string value = text(request, name);
    if (!isPrintableText(value))
        throw BadRequest("\"" + std::string(name) + "\" holds a control character.");
    if (characterCount(value) > maxCharacters)
        throw BadRequest("\"" + std::string(name) + "\" is longer than the " +
                         std::to_string(maxCharacters) + " characters this service keeps.");
    return value;
}

// A server path, bounded so that no stored upload or answer grows with it.
std::string pathText(const SoapRequest &request, std::string_view name)
{
    std::string value = text(request, name);
    if (characterCount(value) > constants::kMaxServerPathCharacters)
        throw BadRequest("\"" + std::string(name) + "\" is longer than the " +
                         std::to_string(constants::kMaxServerPathCharacters) +
                         " characters a server path may have.");
    return value;
}

bool boolean(const SoapRequest &request, std::string_view name)
{
    bool value = false;
    if (!parseBool(text(request, name), value))
        throw BadRequest("\"" + std::string(name) + "\" is not true or false.");
    return value;
}

std::int64_t integer(const SoapRequest &request, std::string_view name)
{
    std::int64_t value = 0;
    if (!parseInt(text(request, name), value))
        throw BadRequest("\"" + std::string(name) + "\" is not a whole number.");
    return value;
}

std::string decodedData(const SoapRequest &request)
{
    std::optional<std::vector<std::string>> pieces = request.pieces("Data");
    if (!pieces)
        throw BadRequest("The request has no \"Data\" element.");
    std::string data;
    for (const std::string &piece : *pieces) {
        if (!decodeBase64(piece, data))
            throw BadRequest("\"Data\" is not valid base64.");
    }
    return data;
}

} // namespace

namespace {

using constants::kAddFile, constants::kCheckin, constants::kCheckOut, constants::kCheckoutCancel,
    constants::kCreateFolder, constants::kDelete, constants::kGetDeletedList, constants::kGetFile,
    constants::kGetFileList, constants::kGetFolderList, constants::kGetHistoryList,
    constants::kGetItemCount, constants::kMove, constants::kRename, constants::kRepaire,
    constants::kRollBack, constants::kServerDelete, constants::kSetWorkFolderPath,
    constants::kUpdateComment;

} // namespace

// Each operation reads its elements, calls the repository and writes its answer.
namespace {
namespace operations {

HttpReply getFolderList(Repository &repo, const SoapRequest &request, const Caller &caller)
{
    std::vector<FolderRow> rows;
    const Outcome outcome = repo.listFolders(caller, pathText(request, "ParentPath"), rows);
    SoapReply reply(kGetFolderList);
    reply.open("GetFolderListResult");
    for (const FolderRow &row : rows) {
        reply.open("FolderItem");
        reply.field("FolderName", row.name);
        reply.field("WorkFolderName", row.workFolder);
        reply.field("Comment", row.comment);
        reply.field("IsPrivate", row.isPrivate ? "true" : "false");
        reply.close("FolderItem");
    }
    reply.close("GetFolderListResult");
    return answer(outcome, reply.finish());
}

HttpReply getFileList(Repository &repo, const SoapRequest &request, const Caller &caller)
{
    std::vector<FileRow> rows;
    const Outcome outcome = repo.listFiles(caller, pathText(request, "ParentPath"), rows);
    SoapReply reply(kGetFileList);
    reply.open("GetFileListResult");
    for (const FileRow &row : rows) {
        reply.open("FileItem");
        reply.field("FileName", row.name);
        reply.field("CheckoutUser", row.checkoutUser);
        reply.field("CheckoutUserID", row.checkoutUserId);
        reply.field("CheckoutPath", row.checkoutPath);
        reply.field("IPAddress", row.ipAddress);
        reply.field("FileSize", row.size);
        reply.field("UpdateDate", row.updateDate);
        reply.field("CheckinDate", row.checkinDate);
        reply.close("FileItem");
    }
    reply.close("GetFileListResult");
    return answer(outcome, reply.finish());
}

HttpReply createFolder(Repository &repo, const SoapRequest &request, const Caller &caller)
{
    const std::string parent = pathText(request, "ParentPath");
    const std::string name = text(request, "FolderName");
    const std::string comment = printableText(request, "Comment", constants::kMaxCommentCharacters);
    const bool isPrivate = boolean(request, "IsPrivate");
    return answerEmpty(repo.createFolder(caller, parent, name, comment, isPrivate), kCreateFolder);
}

HttpReply rename(Repository &repo, const SoapRequest &request, const Caller &caller)
{
    const std::string path = pathText(request, "SelectPath");
    return answerEmpty(repo.rename(caller, path, text(request, "ChangeName")), kRename);
}

HttpReply move(Repository &repo, const SoapRequest &request, const Caller &caller)
{
    const std::string path = pathText(request, "SelectPath");
    return answerEmpty(repo.move(caller, path, pathText(request, "MovePath")), kMove);
}

HttpReply remove(Repository &repo, const SoapRequest &request, const Caller &caller)
{
    const std::string path = pathText(request, "SelectPath");
    return answerEmpty(repo.remove(caller, path, boolean(request, "IsPurge")), kDelete);
}

HttpReply getHistoryList(Repository &repo, const SoapRequest &request, const Caller &caller)
{
    const std::string path = pathText(request, "FilePath");
    const bool recursive = boolean(request, "IsSubFolder");
    std::vector<HistoryRow> rows;
    const Outcome outcome = repo.history(caller, path, recursive, rows);
    SoapReply reply(kGetHistoryList);
    reply.open("GetHistoryListResult");
    for (const HistoryRow &row : rows) {
        reply.open("HistoryItem");
        reply.field("Version", row.version);
        reply.field("FileName", row.fileName);
        reply.field("FileID", row.fileId);
        reply.field("UpdateDate", row.updateDate);
        reply.field("UpdateUser", row.updateUser);
        reply.field("Comment", row.comment);
        reply.close("HistoryItem");
    }
    reply.close("GetHistoryListResult");
    return answer(outcome, reply.finish());
}

HttpReply setWorkFolderPath(Repository &repo, const SoapRequest &request, const Caller &caller)
{
    const std::string path = pathText(request, "SelectPath");
    const std::string workFolder =
        printableText(request, "WorkFolderPath", constants::kMaxLocalPathCharacters);
    return answerEmpty(repo.setWorkFolder(caller, path, workFolder), kSetWorkFolderPath);
}

HttpReply updateComment(Repository &repo, const SoapRequest &request, const Caller &caller)
{
    const std::string path = pathText(request, "SelectPath");
    const std::int64_t version = integer(request, "Version");
    const std::string comment = printableText(request, "Comment", constants::kMaxCommentCharacters);
    return answerEmpty(repo.updateComment(caller, path, version, comment), kUpdateComment);
}

HttpReply getDeletedList(Repository &repo, const SoapRequest &request, const Caller &caller)
{
    std::vector<DeletedRow> rows;
    const Outcome outcome = repo.listDeleted(caller, pathText(request, "SelectPath"), rows);
    SoapReply reply(kGetDeletedList);
    reply.open("GetDeletedListResult");
    for (const DeletedRow &row : rows) {
        reply.open("DeletedItem");
        reply.field("Name", row.name);
        reply.field("Type", static_cast<std::int64_t>(row.type));
        reply.close("DeletedItem");
    }
    reply.close("GetDeletedListResult");
    return answer(outcome, reply.finish());
}

HttpReply repaire(Repository &repo, const SoapRequest &request, const Caller &caller)
{
    return answerEmpty(repo.restore(caller, pathText(request, "FilePath")), kRepaire);
}

HttpReply getItemCount(Repository &repo, const SoapRequest &request, const Caller &caller)
{
    const std::string path = pathText(request, "FilePath");
    const bool recursive = boolean(request, "IsSubFolder");
    std::int64_t count = 0;
    const Outcome outcome = repo.countFiles(caller, path, recursive, count);
    SoapReply reply(kGetItemCount);
    reply.field("GetItemCountResult", count);
    return answer(outcome, reply.finish());
}

HttpReply rollBack(Repository &repo, const SoapRequest &request, const Caller &caller)
{
    const std::string path = pathText(request, "FilePath");
    return answerEmpty(repo.rollBack(caller, path, integer(request, "Version")), kRollBack);
}

HttpReply serverDelete(Repository &repo, const SoapRequest &, const Caller &caller)
{
    return answerEmpty(repo.forgetUser(caller), kServerDelete);
}

HttpReply upload(Repository &repo, const SoapRequest &request, const Caller &caller,
                 UploadKind kind)
{
    UploadChunk chunk;
    chunk.kind = kind;
    if (kind == UploadKind::AddFile) {
        chunk.path = pathText(request, "SelectPath");
        chunk.name = text(request, "AddFileName");
    } else {
        chunk.path = pathText(request, "ServerFilePath");
    }
    chunk.updateTime = text(request, "UpdateTime");
    chunk.comment = printableText(request, "Comment", constants::kMaxCommentCharacters);
    chunk.fileId = text(request, "FileID");
    chunk.data = decodedData(request);
    chunk.last = boolean(request, "bLast");
    std::string nextFileId;
    const Outcome outcome = repo.upload(caller, chunk, nextFileId);
    const std::string_view operation = kind == UploadKind::AddFile ? kAddFile : kCheckin;
    SoapReply reply(operation);
    reply.field(kind == UploadKind::AddFile ? "AddFileResult" : "CheckinResult", nextFileId);
    return answer(outcome, reply.finish());
}

HttpReply getFile(Repository &repo, const SoapRequest &request, const Caller &caller,
                  std::size_t chunkBytes)
{
    const std::string path = pathText(request, "FilePath");
    const std::int64_t version = integer(request, "Version");
    const std::int64_t offset = integer(request, "Offset");
    FileChunk chunk;
    const Outcome outcome = repo.readFile(caller, path, version, offset, chunkBytes, chunk);
    if (!outcome.ok())
        return clientFault(outcome.refusal);
    SoapReply reply(kGetFile);
    reply.open("GetFileResult");
    if (chunk.data.empty()) {
        reply.field("Data", "");
    } else {
        reply.open("Data");
        const std::string_view data = chunk.data;
        for (std::size_t at = 0; at < data.size(); at += constants::kStringPieceBytes)
            reply.rawField("string", encodeBase64(data.substr(at, constants::kStringPieceBytes)));
        reply.close("Data");
    }
    reply.field("UpdateDate", chunk.updateDate);
    reply.field("TotalSize", chunk.totalSize);
    reply.field("Size", static_cast<std::int64_t>(chunk.data.size()));
    reply.close("GetFileResult");
    return HttpReply{200, reply.finish()};
}

HttpReply checkOut(Repository &repo, const SoapRequest &request, const Caller &caller)
{
    const std::string path = pathText(request, "ServerFilePath");
    const std::string localPath =
        printableText(request, "LocalFilePath", constants::kMaxLocalPathCharacters);
    return answerEmpty(repo.checkOut(caller, path, localPath), kCheckOut);
}

HttpReply checkoutCancel(Repository &repo, const SoapRequest &request, const Caller &caller)
{
    return answerEmpty(repo.cancelCheckOut(caller, pathText(request, "FilePath")), kCheckoutCancel);
}
} // namespace operations
} // namespace

SoapService::SoapService(Repository &repository, std::size_t chunkBytes, bool authenticated)
    : m_repository(repository)
    , m_chunkBytes(chunkBytes)
    , m_authenticated(authenticated)
{
}

// SOAPAction is a URI in double quotes; the quotes are tolerated missing.
static std::string_view actionOperation(std::string_view soapAction)
{
    if (soapAction.size() >= 2 && soapAction.front() == '"' && soapAction.back() == '"')
        soapAction = soapAction.substr(1, soapAction.size() - 2);
    if (soapAction.substr(0, constants::kServiceNamespace.size()) != constants::kServiceNamespace)
        return {};
    return soapAction.substr(constants::kServiceNamespace.size());
}

HttpReply SoapService::handle(std::string_view soapAction, std::string_view body,
                              const std::string &httpUser, const std::string &remoteAddress,
                              const std::string &connection)
{
    if (!isValidUtf8(body))
        return clientFault("The request is not valid UTF-8.");
    // XML cannot carry these even as references; pugixml would take them, and &#0;
    // would silently cut a value short.
    if (const long forbidden = firstForbiddenCharacter(body); forbidden >= 0) {
        char code[24];
        std::snprintf(code, sizeof code, "U+%04lX", forbidden);
        return clientFault(std::string("The request holds the character ") + code +
                           ", which XML does not allow.");
    }
    SoapRequest request;
    std::string error;
    if (!request.parse(body, error))
        return clientFault(error);
    if (actionOperation(soapAction) != request.operation()) {
        return clientFault("The SOAPAction header \"" + std::string(soapAction) +
                           "\" does not name the operation \"" + request.operation() + "\".");
    }
    try {
        return dispatch(request, httpUser, remoteAddress, connection);
    } catch (const BadRequest &e) {
        return clientFault(e.what());
    } catch (const StorageError &e) {
        std::cerr << "ravelind-server: " << request.operation() << ": " << e.what() << std::endl;
        if (e.diskFull()) {
            m_repository.releaseReserve();
            return HttpReply{500, SoapReply::fault("Server", "The service's disk is full; the "
                                                             "request was not carried out.")};
        }
        return HttpReply{500, SoapReply::fault("Server", "The service could not complete the "
                                                         "request: its store failed.")};
    }
}

void SoapService::connectionEnded(const std::string &connection)
{
    m_repository.connectionEnded(connection);
}

HttpReply SoapService::logon(const SoapRequest &request, const std::string &httpUser)
{
    std::string id = text(request, "UserID");
    const std::string pc = printableText(request, "PC", constants::kMaxMachineTextCharacters);
    const std::string logonUser =
        printableText(request, "LogonUserID", constants::kMaxMachineTextCharacters);
    const std::string ip = printableText(request, "IPAddress", constants::kMaxIpAddressCharacters);
    if (m_authenticated && !id.empty() && id != httpUser)
        return clientFault("The user ID \"" + id + "\" belongs to another user.");
    if (id.empty())
        id = m_authenticated ? httpUser : logonUser;
    const Outcome outcome = m_repository.logon(id, pc, logonUser, ip);
    SoapReply reply(constants::kLogon);
    reply.field("LogonResult", id);
    return answer(outcome, reply.finish());
}

HttpReply SoapService::dispatch(const SoapRequest &request, const std::string &httpUser,
                                const std::string &remoteAddress, const std::string &connection)
{
    const std::string &operation = request.operation();
    if (operation == constants::kLogon)
        return logon(request, httpUser);

    using Handler = HttpReply (*)(Repository &, const SoapRequest &, const Caller &);
    static constexpr std::array<std::pair<std::string_view, Handler>, 16> kHandlers = {{
        {kGetFolderList, &operations::getFolderList},
        {kGetFileList, &operations::getFileList},
        {kCreateFolder, &operations::createFolder},
        {kRename, &operations::rename},
        {kMove, &operations::move},
        {kDelete, &operations::remove},
        {kGetHistoryList, &operations::getHistoryList},
        {kSetWorkFolderPath, &operations::setWorkFolderPath},
        {kUpdateComment, &operations::updateComment},
        {kGetDeletedList, &operations::getDeletedList},
        {kRepaire, &operations::repaire},
        {kGetItemCount, &operations::getItemCount},
        {kRollBack, &operations::rollBack},
        {kServerDelete, &operations::serverDelete},
        {kCheckOut, &operations::checkOut},
        {kCheckoutCancel, &operations::checkoutCancel},
    }};
    const bool known = operation == kAddFile || operation == kCheckin || operation == kGetFile ||
                       std::any_of(kHandlers.begin(), kHandlers.end(),
                                   [&](const auto &entry) { return entry.first == operation; });
    if (!known)
        return clientFault("The service has no operation \"" + operation + "\".");

    const Caller caller{text(request, "UserID"), remoteAddress, connection};
    if (m_authenticated && caller.userId != httpUser)
        return clientFault("The user ID \"" + caller.userId + "\" belongs to another user.");
    if (operation == kAddFile)
        return operations::upload(m_repository, request, caller, UploadKind::AddFile);
    if (operation == kCheckin)
        return operations::upload(m_repository, request, caller, UploadKind::Checkin);
    if (operation == kGetFile)
        return operations::getFile(m_repository, request, caller, m_chunkBytes);
    for (const auto &[name, handler] : kHandlers) {
        if (name == operation)
            return handler(m_repository, request, caller);
    }
    return clientFault("The service has no operation \"" + operation + "\".");
}

} // namespace server
