#pragma once

// The numbers of the language module's strings that ravelind-cli prints. The message pane's
// own lines keep their numbers; the 45xx block words outcomes the window shows in message
// boxes instead of the pane.

namespace cli::str {

// Message pane lines of the direct operations.
constexpr int FolderCreated = 2015;   // folder name
constexpr int FolderRecovered = 2018; // server path
constexpr int FileRecovered = 2019;   // server path
constexpr int FolderDeleted = 2020;   // server path
constexpr int FileDeleted = 2021;     // server path

// The command-line client's own lines.
constexpr int Renamed = 4500;            // path, new name
constexpr int RenameFailed = 4501;       // path, reason
constexpr int DeleteFailed = 4502;       // path, reason
constexpr int RecoverFailed = 4503;      // path, reason
constexpr int RolledBack = 4504;         // path, version
constexpr int RollBackFailed = 4505;     // path, version, reason
constexpr int CommentChanged = 4506;     // path, version
constexpr int CommentFailed = 4507;      // path, version, reason
constexpr int NotOnServer = 4508;        // path
constexpr int CreateFolderFailed = 4509; // folder name, reason
constexpr int LogonFailed = 4510;        // reason
constexpr int ListFailed = 4511;         // folder path, reason
constexpr int HistoryFailed = 4512;      // path, reason
constexpr int DeletedListFailed = 4513;  // folder path, reason
constexpr int VersionFetchFailed = 4514; // path, version, reason
constexpr int LocalUnreadable = 4515;    // local path, reason
constexpr int LatestVersion = 4516;      // the word for "latest" in diff labels
constexpr int BinaryFilesDiffer = 4517;  // label 1, label 2
constexpr int NotAFolder = 4518;         // path
constexpr int NotAFile = 4519;           // path
constexpr int NoStringTable = 4520;      // never read from a table: see main.cpp

} // namespace cli::str
