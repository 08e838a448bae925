#pragma once

// Fixed wire names of the service: namespace, operations, request elements, result paths.

#include <string_view>

namespace protocol::names {

// The service namespace; SOAPAction is this URI followed by the operation name.
inline constexpr std::string_view kNamespace = "http://quellvane.example/webservices/";
inline constexpr std::string_view kUserAgent = "Brennovar";

// Operations (the last part of their SOAPAction too; "Repaire" is the wire spelling).
inline constexpr std::string_view kLogon = "Logon";
inline constexpr std::string_view kGetFolderList = "GetFolderList";
inline constexpr std::string_view kGetFileList = "GetFileList";
inline constexpr std::string_view kGetHistoryList = "GetHistoryList";
inline constexpr std::string_view kGetDeletedList = "GetDeletedList";
inline constexpr std::string_view kGetItemCount = "GetItemCount";
inline constexpr std::string_view kCreateFolder = "CreateFolder";
inline constexpr std::string_view kRename = "Rename";
inline constexpr std::string_view kMove = "Move";
inline constexpr std::string_view kDelete = "Delete";
inline constexpr std::string_view kRepaire = "Repaire";
inline constexpr std::string_view kRollBack = "RollBack";
inline constexpr std::string_view kSetWorkFolderPath = "SetWorkFolderPath";
inline constexpr std::string_view kUpdateComment = "UpdateComment";
inline constexpr std::string_view kServerDelete = "ServerDelete";
inline constexpr std::string_view kAddFile = "AddFile";
inline constexpr std::string_view kCheckin = "Checkin";
inline constexpr std::string_view kGetFile = "GetFile";
inline constexpr std::string_view kCheckOut = "CheckOut";
inline constexpr std::string_view kCheckoutCancel = "CheckoutCancel";

// Request elements.
inline constexpr std::string_view kUserId = "UserID";
inline constexpr std::string_view kPc = "PC";
inline constexpr std::string_view kLogonUserId = "LogonUserID";
inline constexpr std::string_view kIpAddress = "IPAddress";
inline constexpr std::string_view kParentPath = "ParentPath";
inline constexpr std::string_view kFolderName = "FolderName";
inline constexpr std::string_view kComment = "Comment";
inline constexpr std::string_view kIsPrivate = "IsPrivate";
inline constexpr std::string_view kSelectPath = "SelectPath";
inline constexpr std::string_view kChangeName = "ChangeName";
inline constexpr std::string_view kMovePath = "MovePath";
inline constexpr std::string_view kIsPurge = "IsPurge";
inline constexpr std::string_view kFilePath = "FilePath";
inline constexpr std::string_view kIsSubFolder = "IsSubFolder";
inline constexpr std::string_view kWorkFolderPath = "WorkFolderPath";
inline constexpr std::string_view kVersion = "Version";
inline constexpr std::string_view kAddFileName = "AddFileName";
inline constexpr std::string_view kUpdateTime = "UpdateTime";
inline constexpr std::string_view kFileId = "FileID";
inline constexpr std::string_view kBLast = "bLast";
inline constexpr std::string_view kServerFilePath = "ServerFilePath";
inline constexpr std::string_view kLocalFilePath = "LocalFilePath";
inline constexpr std::string_view kOffset = "Offset";
inline constexpr std::string_view kDataOpen = "<Data>";
inline constexpr std::string_view kDataClose = "</Data>";
inline constexpr std::string_view kDataString = "string";

// Result paths below soap:Envelope/soap:Body.
inline constexpr std::string_view kSoapBody = "soap:Envelope/soap:Body";
inline constexpr std::string_view kFaultString = "soap:Fault/faultstring";
inline constexpr std::string_view kLogonResult = "LogonResponse/LogonResult";
inline constexpr std::string_view kFolderListResult = "GetFolderListResponse/GetFolderListResult";
inline constexpr std::string_view kFileListResult = "GetFileListResponse/GetFileListResult";
inline constexpr std::string_view kHistoryListResult =
    "GetHistoryListResponse/GetHistoryListResult";
inline constexpr std::string_view kDeletedListResult =
    "GetDeletedListResponse/GetDeletedListResult";
inline constexpr std::string_view kItemCountResult = "GetItemCountResponse/GetItemCountResult";
inline constexpr std::string_view kAddFileResult = "AddFileResponse/AddFileResult";
inline constexpr std::string_view kCheckinResult = "CheckinResponse/CheckinResult";
inline constexpr std::string_view kGetFileData = "GetFileResponse/GetFileResult/Data";
inline constexpr std::string_view kGetFileUpdateDate = "GetFileResponse/GetFileResult/UpdateDate";
inline constexpr std::string_view kGetFileTotalSize = "GetFileResponse/GetFileResult/TotalSize";
inline constexpr std::string_view kGetFileSize = "GetFileResponse/GetFileResult/Size";

// Row fields.
inline constexpr std::string_view kWorkFolderName = "WorkFolderName";
inline constexpr std::string_view kFileName = "FileName";
inline constexpr std::string_view kCheckoutUser = "CheckoutUser";
inline constexpr std::string_view kCheckoutUserId = "CheckoutUserID";
inline constexpr std::string_view kCheckoutPath = "CheckoutPath";
inline constexpr std::string_view kFileSize = "FileSize";
inline constexpr std::string_view kUpdateDate = "UpdateDate";
inline constexpr std::string_view kCheckinDate = "CheckinDate";
inline constexpr std::string_view kUpdateUser = "UpdateUser";
inline constexpr std::string_view kName = "Name";
inline constexpr std::string_view kType = "Type";

// Activity texts (numbers of strings in the language module).
inline constexpr int kStringCheckin = 2031;
inline constexpr int kStringAddFile = 2032;
inline constexpr int kStringDownloadChunk = 2033;
inline constexpr int kStringUndoCheckout = 2034;
inline constexpr int kStringDownloadStart = 2035;

} // namespace protocol::names
