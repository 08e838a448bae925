#pragma once

// Where the program keeps its settings in platform::Registry, and the names of the values.

#include <cstddef>
#include <string_view>

namespace config::keys {

inline constexpr std::string_view kRoot = "Software\\Quellvane\\Ravelind";
inline constexpr std::string_view kSettings = "Software\\Quellvane\\Ravelind\\Settings";
inline constexpr std::string_view kServers = "Software\\Quellvane\\Ravelind\\Servers";
inline constexpr std::string_view kMenu = "Software\\Quellvane\\Ravelind\\Settings\\Menu";

// The longest key name and the longest full key path a profile or a tool may have; longer
// ones have never been readable, so they are refused when written.
inline constexpr std::size_t kMaxKeyName = 260;
inline constexpr std::size_t kMaxKeyPath = 260;
// The stored paths are spelled "SOFTWARE\..." when their length is checked; same length.

// Settings values.
inline constexpr std::string_view kSaveUserPass = "SaveUserPass";
inline constexpr std::string_view kDeleteLocalFile = "DeleteLocalFile";
inline constexpr std::string_view kDisplayUnitSize = "DisplayUnitSize";
inline constexpr std::string_view kDefaultGetFileFolder = "DefaultGetFileFolder";
inline constexpr std::string_view kDefaultLogFolder = "DefaultLogFolder";
inline constexpr std::string_view kMainWindow = "MainWindow";
inline constexpr std::string_view kMainLeft = "MainLeft";
inline constexpr std::string_view kMainTop = "MainTop";
inline constexpr std::string_view kMainRight = "MainRight";
inline constexpr std::string_view kMainBottom = "MainBottom";
inline constexpr std::string_view kClientWindow = "ClientWindow";
inline constexpr std::string_view kClientLeft = "ClientLeft";
inline constexpr std::string_view kClientTop = "ClientTop";
inline constexpr std::string_view kClientRight = "ClientRight";
inline constexpr std::string_view kClientBottom = "ClientBottom";
inline constexpr std::string_view kFolderViewWidth = "FolderViewWidth";
inline constexpr std::string_view kFolderViewHeight = "FolderViewHeight";
inline constexpr std::string_view kSaveWindowSize = "SaveWindowSize";
inline constexpr std::string_view kSaveColumnSize = "SaveColumnSize";
inline constexpr std::string_view kSaveColumnOrder = "SaveColumnOrder";
inline constexpr std::string_view kColMain = "ColMain";
inline constexpr std::string_view kColMainOrder = "ColMainOrder";
inline constexpr std::string_view kColHistory = "ColHistory";
inline constexpr std::string_view kColHistoryOrder = "ColHistoryOrder";
inline constexpr std::string_view kStartUp = "StartUp";
inline constexpr std::string_view kFilePos = "FilePos";
inline constexpr std::string_view kTimeStamp = "TimeStamp";
inline constexpr std::string_view kShowToolbar = "ShowToolbar";
inline constexpr std::string_view kShowStatusBar = "ShowStatusBar";
inline constexpr std::string_view kUndoUnchangedCheckIn = "UndoUnchangedCheckIn";

// Profile values, in the order they are written.
inline constexpr std::string_view kServer = "Server";
inline constexpr std::string_view kUrl = "URL";
inline constexpr std::string_view kUserId = "UserID";
inline constexpr std::string_view kPort = "Port";
inline constexpr std::string_view kTimeout = "Timeout";
inline constexpr std::string_view kProxy = "Proxy";
inline constexpr std::string_view kSsl = "SSL";
inline constexpr std::string_view kProxyServer = "ProxyServer";
inline constexpr std::string_view kUserName = "UserName";
inline constexpr std::string_view kPassword = "Password";
inline constexpr std::string_view kProxyUserName = "ProxyUserName";
inline constexpr std::string_view kProxyPassword = "ProxyPassword";

// Tool values, in the order they are written.
inline constexpr std::string_view kCommandLine = "CommandLine";
inline constexpr std::string_view kArgument = "Argument";
inline constexpr std::string_view kCurrentDir = "CurrentDir";
inline constexpr std::string_view kInput = "Input";

} // namespace config::keys
