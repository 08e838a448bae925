#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace server::constants {

// The wire names are the client's own, spelling included ("Repaire").
inline constexpr std::string_view kServiceNamespace = "http://quellvane.example/webservices/";
inline constexpr std::string_view kSoapNamespace = "http://schemas.xmlsoap.org/soap/envelope/";
inline constexpr std::string_view kXsiNamespace = "http://www.w3.org/2001/XMLSchema-instance";
inline constexpr std::string_view kXsdNamespace = "http://www.w3.org/2001/XMLSchema";
// The client's reader refuses anything that does not begin with exactly these bytes.
inline constexpr std::string_view kProlog = R"(<?xml version="1.0" encoding="utf-8"?>)";
inline constexpr std::string_view kObjectPath = "/Service.asmx";
inline constexpr std::string_view kContentType = "text/xml; charset=utf-8";
inline constexpr std::string_view kRealm = "Ravelind";

inline constexpr std::string_view kLogon = "Logon";
inline constexpr std::string_view kGetFolderList = "GetFolderList";
inline constexpr std::string_view kGetFileList = "GetFileList";
inline constexpr std::string_view kCreateFolder = "CreateFolder";
inline constexpr std::string_view kRename = "Rename";
inline constexpr std::string_view kMove = "Move";
inline constexpr std::string_view kDelete = "Delete";
inline constexpr std::string_view kGetHistoryList = "GetHistoryList";
inline constexpr std::string_view kSetWorkFolderPath = "SetWorkFolderPath";
inline constexpr std::string_view kUpdateComment = "UpdateComment";
inline constexpr std::string_view kGetDeletedList = "GetDeletedList";
inline constexpr std::string_view kRepaire = "Repaire";
inline constexpr std::string_view kGetItemCount = "GetItemCount";
inline constexpr std::string_view kRollBack = "RollBack";
inline constexpr std::string_view kServerDelete = "ServerDelete";
inline constexpr std::string_view kAddFile = "AddFile";
inline constexpr std::string_view kCheckin = "Checkin";
inline constexpr std::string_view kGetFile = "GetFile";
inline constexpr std::string_view kCheckOut = "CheckOut";
inline constexpr std::string_view kCheckoutCancel = "CheckoutCancel";

// Whole request bodies are held in memory; the client's largest request is one
// 120000-byte chunk (about 164 KB of base64), so 16 MiB leaves ample room.
inline constexpr std::size_t kMaxRequestBytes = 16u * 1024u * 1024u;
// The client's largest request has a dozen elements, five deep; these bounds keep
// a hostile request from costing more than a few megabytes of parse tree.
inline constexpr std::size_t kMaxRequestElements = 4096;
inline constexpr std::size_t kMaxRequestDepth = 32;
// Lengths, in characters, of the texts the service stores and lists again.
inline constexpr std::size_t kMaxCommentCharacters = 4000;
inline constexpr std::size_t kMaxLocalPathCharacters = 1024;
inline constexpr std::size_t kMaxMachineTextCharacters = 255;
inline constexpr std::size_t kMaxIpAddressCharacters = 64;
inline constexpr std::size_t kMaxServerPathCharacters = 4096;
// Raw bytes per GetFile answer unless --chunk-size says otherwise.
inline constexpr std::size_t kDefaultChunkBytes = 1024u * 1024u;
// Raw bytes per <string> child of a GetFile answer: the size of the client's own
// upload pieces, so no single text node grows with the chunk size.
inline constexpr std::size_t kStringPieceBytes = 120000;
// An upload session that has seen no chunk for this long is dropped with its data.
inline constexpr std::int64_t kDefaultUploadTimeoutSeconds = 30 * 60;
// Without --user anyone may upload, so an upload that never ends must not fill the
// disk: one upload may hold 2 GiB, all unfinished ones together 4 GiB.
inline constexpr std::int64_t kDefaultMaxUploadBytes = 2ll * 1024 * 1024 * 1024;
inline constexpr std::int64_t kDefaultMaxPendingBytes = 4ll * 1024 * 1024 * 1024;
// Enough workers that eight keep-alive clients plus a GUI never queue behind each other.
inline constexpr std::size_t kWorkerThreads = 32;
// One peer address may hold at most half of them, so slow or hostile clients at one
// address leave room for everyone else.
inline constexpr std::size_t kMaxConnectionsPerAddress = kWorkerThreads / 2;
// From the first byte of a request to its last, unless --request-timeout says otherwise.
inline constexpr int kDefaultRequestTimeoutSeconds = 30;
inline constexpr std::size_t kMaxNameCharacters = 255;

} // namespace server::constants
