#pragma once

// The numbers of the language module strings the engine's runs use, and the one status text
// that is built into the program.

#include <string_view>

namespace engine::msg {

// Dialog titles.
inline constexpr int kTitleGetVersion = 2022;
inline constexpr int kTitleGet = 2028;
inline constexpr int kTitleCheckOut = 2029;
inline constexpr int kTitleUndoCheckOut = 2030;
inline constexpr int kTitleCheckIn = 2031;
inline constexpr int kTitleMoveFolder = 2037;
inline constexpr int kTitleMoveFiles = 2038;

// Status texts.
inline constexpr int kStatusCheckingOut = 2029;
inline constexpr int kStatusWritingLocal = 2042;
inline constexpr int kStatusMovingFiles = 2056;
// A check-in compares the local copy with the server's version.
inline constexpr int kStatusComparing = 2074;
// The folder move's status text is not a string of the module (code page 932 text).
inline constexpr std::string_view kMovingFolderText = "移動しています。";

// Log lines; the arguments are named in brackets.
inline constexpr int kGetFailed = 2043;            // (local path, reason)
inline constexpr int kGot = 2044;                  // (local path)
inline constexpr int kFileListFailed = 2045;       // (result code)
inline constexpr int kFileListRefused = 2046;      // (server message)
inline constexpr int kCheckOutFailed = 2047;       // (local path, reason)
inline constexpr int kCheckedOut = 2048;           // (local path)
inline constexpr int kUndoFailed = 2049;           // (local path, reason)
inline constexpr int kUndone = 2050;               // (local path)
inline constexpr int kCheckOutFailedInWalk = 2051; // (local path, result code)
inline constexpr int kUndoFailedInWalk = 2052;     // (local path, result code)
inline constexpr int kCheckInFailed = 2053;        // (local path, reason)
inline constexpr int kCheckedIn = 2054;            // (local path)
inline constexpr int kCheckInFailedInWalk = 2055;  // (local path, result code)
inline constexpr int kMoveFileFailed = 2057;       // (server path, reason)
inline constexpr int kFileMoved = 2058;            // (server path)
inline constexpr int kMoveFolderFailed = 2059;     // (server path, reason)
inline constexpr int kFolderMoved = 2060;          // (server path)
inline constexpr int kAddFailed = 2061;            // (local path, reason)
inline constexpr int kAdded = 2062;                // (local path)
inline constexpr int kCreateFolderFailed = 2063;   // (folder name, reason)
inline constexpr int kFolderCreated = 2064;        // (folder name)

// Lines for what the older program did not say.
// A get or check-out left a local file alone that holds this user's unsaved check-out.
inline constexpr int kKeptCheckedOut = 2072; // (local path)
// The item count of a folder walk failed; nothing was done.
inline constexpr int kCountFailed = 2066; // (server folder, reason)
// A folder walk ended early because a local folder could not be made.
inline constexpr int kWalkStopped = 2067; // (local folder, reason)
// An add did not follow a symbolic link to a folder.
inline constexpr int kLinkNotFollowed = 2068; // (local path)
// The subfolders of a folder could not be listed; the walk went on without them.
inline constexpr int kFolderListFailed = 2069; // (server folder, reason)
// A name the service sent cannot be a local file name; the item was skipped.
inline constexpr int kUnsafeName = 2070; // (server folder, name)
// A local entry of an add could not be read.
inline constexpr int kAddUnreadable = 2071; // (local path, reason)
// A check-in undid the check-out of an unchanged local copy instead.
inline constexpr int kUnchangedUndone = 2073; // (local path)

} // namespace engine::msg
