#pragma once

// Fixed numbers of the browse window: strings and images of the language module, and the
// drag formats of the program's own windows.

#include <QLatin1StringView>

namespace views {

namespace browsestr {
inline constexpr int MessageColumn = 200;
inline constexpr int FirstFileColumn = 193; // 193 to 199, one per column
inline constexpr int LogUnopenable = 2013;
inline constexpr int OtherServer = 2014;
inline constexpr int FolderCreated = 2015;
inline constexpr int FolderDeleted = 2020;
inline constexpr int FileDeleted = 2021;
inline constexpr int ServerAdded = 2023;
inline constexpr int ServerDeleted = 2024;
inline constexpr int LoggedOn = 2025;
inline constexpr int DeleteFolderPrompt = 2026;
inline constexpr int DeleteFilesPrompt = 2027;
inline constexpr int ServerRenamed = 2039;
inline constexpr int FolderRenamed = 2040;
inline constexpr int NewFolderNeedsName = 2065;
inline constexpr int FilterPlaceholder = 3300;
inline constexpr int FilterCount = 3301;
inline constexpr int LocalNotPresent = 3302;
inline constexpr int LocalReadOnly = 3303;
inline constexpr int LocalWritable = 3304;
inline constexpr int LocalSizeDiffers = 3305;
inline constexpr int UnsafeName = 3306;
inline constexpr int TabInName = 3307;
inline constexpr int CallTimedOut = 3308;
inline constexpr int NoServerAnswer = 3309;
inline constexpr int EmptyFolder = 3310;
inline constexpr int NotLoggedOn = 3311;
inline constexpr int Loading = 3312;
inline constexpr int FilterNoMatch = 3395;
inline constexpr int RootText = 3313;
inline constexpr int FolderMenu = 3314;
inline constexpr int FilesMenu = 3315;
inline constexpr int ChooseWorkFolder = 3316;
} // namespace browsestr

// Indexes into the shared small images (bitmap 133).
namespace browseimg {
inline constexpr int Root = 0;
inline constexpr int ServerConnected = 1;
inline constexpr int ServerOffline = 2;
inline constexpr int Folder = 3;
inline constexpr int FolderOpen = 4;
inline constexpr int PrivateFolder = 5;
inline constexpr int PrivateFolderOpen = 6;
inline constexpr int File = 7;
inline constexpr int FileCheckedOut = 8;
inline constexpr int Failure = 9;
inline constexpr int Success = 10;
inline constexpr int SortAscending = 11;
inline constexpr int SortDescending = 12;
inline constexpr int History = 13;
inline constexpr int DeletedFolder = 14;
} // namespace browseimg

// Drag data between the program's own windows (the blocks of engine/dragblock.h).
inline constexpr QLatin1StringView kMimeZemTree{"application/x-ravelind-zemtree"};
inline constexpr QLatin1StringView kMimeZemList{"application/x-ravelind-zemlist"};

} // namespace views
