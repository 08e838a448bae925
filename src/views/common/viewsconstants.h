#pragma once

// Fixed numbers of the views: command IDs, strings and images of the language module.

namespace views {

namespace cmd {
inline constexpr int NextDifference = 32803;
inline constexpr int PreviousDifference = 32804;
inline constexpr int ToggleBookmark = 32807;
inline constexpr int NextBookmark = 32808;
inline constexpr int PreviousBookmark = 32809;
inline constexpr int ClearBookmarks = 32810;
inline constexpr int Find = 32775;
} // namespace cmd

namespace str {
inline constexpr int LegendDeleted = 134;
inline constexpr int LegendChanged = 136;
inline constexpr int LegendInserted = 139;
inline constexpr int NoMoreDifferences = 2012;
inline constexpr int DiffComparing = 3200;
inline constexpr int DiffFailed = 3201;
inline constexpr int DiffBinary = 3202;
inline constexpr int DiffSame = 3203;
inline constexpr int DiffCancelled = 3204;
inline constexpr int FindTitle = 3230;
inline constexpr int FindWhat = 3231;
inline constexpr int FindMatchCase = 3232;
inline constexpr int FindDirection = 3233;
inline constexpr int FindUp = 3234;
inline constexpr int FindDown = 3235;
inline constexpr int FindNext = 3236;
inline constexpr int FindCancel = 3237;
} // namespace str

// The diff window's toolbar strip: 16 x 16 images in the order of kToolbarCommands.
inline constexpr char kDiffToolbarImage[] = "toolbar130.png";
inline constexpr int kDiffToolbarCommands[] = {cmd::PreviousDifference,
                                               cmd::NextDifference,
                                               cmd::ToggleBookmark,
                                               cmd::PreviousBookmark,
                                               cmd::NextBookmark,
                                               cmd::ClearBookmarks,
                                               cmd::Find};

} // namespace views
