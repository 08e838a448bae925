#pragma once

// Fixed numbers and names of the Qt shell: command IDs, string and bitmap numbers of the
// language module, dialog forms, clipboard formats.

#include <views/browse/browseconstants.h>

#include <QLatin1StringView>

namespace shell {

// Command IDs. The numbers are the program's historic ones; the browse, history and diff
// windows use the same numbers for the commands they add.
namespace cmd {
inline constexpr int New = 57600;
inline constexpr int Exit = 57665;
inline constexpr int About = 57664;
inline constexpr int TipOfTheDay = 32827;
inline constexpr int HelpContents = 32829;
inline constexpr int Options = 32798;
inline constexpr int ServerProfiles = 32828;
inline constexpr int Tools = 32825;
inline constexpr int ExportProfiles = 32836;
inline constexpr int ImportProfiles = 32837;
inline constexpr int ViewToolbar = 59392;
inline constexpr int ViewStatusBar = 59393;
inline constexpr int WindowCascade = 57650;
inline constexpr int WindowTile = 57651;
inline constexpr int WindowCloseAll = 57652;
inline constexpr int WindowClose = 57602;
inline constexpr int WindowNext = 57680;
inline constexpr int WindowPrevious = 57681;
} // namespace cmd

// Strings of the language module.
namespace str {
inline constexpr int TipsHeading = 106;
inline constexpr int TipsFileMissing = 109;
inline constexpr int TipsPositionFailed = 110;
inline constexpr int AppTitle = 128;
inline constexpr int PaneUser = 131;
inline constexpr int PaneWorkFolder = 132;
inline constexpr int PaneComment = 173;
// The lamps of the keyboard's lock keys.
inline constexpr int IndicatorCaps = 59137;
inline constexpr int IndicatorNum = 59138;
inline constexpr int IndicatorScroll = 59139;
inline constexpr int ProfileFileFilter = 174;
inline constexpr int ToolsMenu = 176;
inline constexpr int ToolFolderTitle = 177;
inline constexpr int ProfileColumn = 178;
inline constexpr int ExportTitle = 184;
inline constexpr int ImportTitle = 185;
inline constexpr int ImportQuestion = 2010;
inline constexpr int ImportDone = 2011;
inline constexpr int ProfileDeletedLog = 2041;
inline constexpr int MenuFile = 3000;
inline constexpr int MenuView = 3001;
inline constexpr int MenuWindow = 3002;
inline constexpr int MenuHelp = 3003;
inline constexpr int ToolProgramFilter = 3020;
inline constexpr int ToolProgramTitle = 3021;
inline constexpr int ToolArgumentTitle = 3022;
inline constexpr int ToolCannotStart = 3030;
inline constexpr int ToolDuplicateName = 3031;
inline constexpr int ToolInvalidName = 3032;
inline constexpr int ToolNameTooLong = 3037;
inline constexpr int ToolsNotSaved = 3033;
inline constexpr int ToolWithoutProgram = 3034;
inline constexpr int NewTool = 3035;
inline constexpr int DeleteTool = 3036;
inline constexpr int ProfileNeedsName = 3040;
inline constexpr int ProfileExists = 3041;
inline constexpr int ProfileNeedsServer = 3042;
inline constexpr int ProfileBadPort = 3043;
inline constexpr int ProfileBadTimeout = 3044;
inline constexpr int ProfileNotSaved = 3045;
inline constexpr int ProfileNotDeleted = 3046;
inline constexpr int ProfileNewTitle = 3047;
inline constexpr int ProfileEditTitle = 3048;
inline constexpr int ProfileNeedsUrl = 3049;
inline constexpr int ExportFailed = 3050;
inline constexpr int ImportRefused = 3051;
inline constexpr int ImportFailed = 3052;
inline constexpr int NothingToExport = 3053;
inline constexpr int ProfileNeedsProxy = 3054;
inline constexpr int ProfileNameInvalid = 3055;
inline constexpr int ProfileNameTooLong = 3056;
inline constexpr int ProfileDeleteQuestion = 3057;
inline constexpr int ProfilesDeleteQuestion = 3058;
inline constexpr int SettingsUnreadable = 3060;
inline constexpr int SettingsSetAside = 3061;
inline constexpr int ModuleFellBack = 3062;
inline constexpr int FormDamaged = 3063;
inline constexpr int GuideMissing = 3070;
inline constexpr int BrowseTitle = 3072;
inline constexpr int HelpBack = 3073;
inline constexpr int HelpForward = 3074;
inline constexpr int HelpHome = 3075;
inline constexpr int AboutVersion = 3080;
inline constexpr int OptionsNotSaved = 3090;
inline constexpr int OptionsGetFolderTitle = 3091;
inline constexpr int OptionsLogFolderTitle = 3092;
inline constexpr int TipsNone = 3095;
inline constexpr int Ready = 57345;
} // namespace str

// Dialog forms of the language module.
namespace form {
inline constexpr int About = 100;
inline constexpr int Tips = 103;
inline constexpr int ProfileList = 172;
inline constexpr int Tools = 175;
inline constexpr int ToolArgument = 178;
inline constexpr int ProfileEdit = 190;
inline constexpr int Options = 191;
} // namespace form

// Bitmaps of the language module.
namespace bmp {
inline constexpr int Tips = 102;
inline constexpr int Splash = 114;
inline constexpr int SmallImages = 133;
inline constexpr int Header = 149;
} // namespace bmp

// Indexes into the shared small images (bitmap 133): the browse window's list.
namespace img = views::browseimg;

// The only text built into the program: the language module is what is missing.
inline constexpr char kModuleMissingText[] = "Resource file is not found!";
inline constexpr int kModuleMissingExitCode = 2;

} // namespace shell
