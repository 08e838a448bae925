#pragma once

// Fixed numbers of the server-profile dialogs: forms, strings and bitmaps of the language
// module.

namespace views {

namespace dlgform {
inline constexpr int InfoPage = 108;
inline constexpr int WorkFolder = 138;
inline constexpr int LogonPage = 140;
inline constexpr int ProxyPage = 111;
} // namespace dlgform

namespace dlgstr {
inline constexpr int AppTitle = 128;
inline constexpr int InfoPageTitle = 144;
inline constexpr int InfoHeaderTitle = 146;
inline constexpr int InfoHeaderSubtitle = 148;
inline constexpr int ProxyPageTitle = 156;
inline constexpr int ProxyHeaderTitle = 158;
inline constexpr int ProxyHeaderSubtitle = 160;
inline constexpr int LogonPageTitle = 162;
inline constexpr int LogonHeaderTitle = 163;
inline constexpr int LogonHeaderSubtitle = 164;
inline constexpr int InfoTab = 179;
inline constexpr int WorkFolderBrowseTitle = 180;
inline constexpr int ProxyTab = 201;
inline constexpr int LogonTab = 202;
inline constexpr int DeleteServerQuestion = 2000;
inline constexpr int CreateWorkFolder = 2001;
inline constexpr int ProfileNeedsName = 3040;
inline constexpr int ProfileExists = 3041;
inline constexpr int ProfileBadPort = 3043;
inline constexpr int ProfileBadTimeout = 3044;
inline constexpr int ProfileNotSaved = 3045;
inline constexpr int ProfileNameInvalid = 3055;
inline constexpr int ProfileNameTooLong = 3056;
inline constexpr int WorkFolderNotAbsolute = 3059;
} // namespace dlgstr

namespace dlgbmp {
inline constexpr int Header = 149;
} // namespace dlgbmp

// The caption of both wizards.
inline constexpr char kWizardCaption[] = "A";

} // namespace views
