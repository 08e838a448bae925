#pragma once

// Which commands are enabled (and which view style is checked) for a selection snapshot.
// Pure functions: the router re-evaluates them on every selection change.

#include "shell/commands/selectionsnapshot.h"

#include <optional>

namespace shell {

// Command IDs of the browse window's commands.
namespace browsecmd {
inline constexpr int AddServer = 32772;
inline constexpr int LogOn = 32800;
inline constexpr int ServerProperties = 32786;
inline constexpr int RenameServer = 32787;
inline constexpr int DeleteServer = 32788;
inline constexpr int ExportProfiles = 32836;
inline constexpr int ImportProfiles = 32837;
inline constexpr int NewFolder = 32773;
inline constexpr int DeleteFolder = 32774;
inline constexpr int RenameFolder = 32777;
inline constexpr int SetWorkFolder = 32776;
inline constexpr int FolderProperties = 32778;
inline constexpr int DeleteFiles = 32789;
inline constexpr int RenameFile = 32790;
inline constexpr int DeleteKey = 32822;
inline constexpr int RenameKey = 32823;
inline constexpr int SelectAll = 57642;
inline constexpr int InvertSelection = 32816;
inline constexpr int ViewSmallIcons = 0xE810;
inline constexpr int ViewLargeIcons = 0xE811;
inline constexpr int ViewList = 0xE812;
inline constexpr int ViewDetails = 0xE813;
inline constexpr int LineUp = 0xE814;
inline constexpr int History = 32771;
inline constexpr int FileHistory = 32796;
inline constexpr int FolderHistory = 32797;
inline constexpr int RollBack = 32812;
inline constexpr int GetVersion = 32815;
inline constexpr int HistoryGetAndOpen = 32813;
inline constexpr int GetFiles = 32795;
inline constexpr int GetFolder = 32779;
inline constexpr int CheckOutFiles = 32793;
inline constexpr int CheckOutFolder = 32780;
inline constexpr int UndoCheckOutFiles = 32792;
inline constexpr int UndoCheckOutFolder = 32782;
inline constexpr int CheckInFiles = 32794;
inline constexpr int CheckInFolder = 32781;
inline constexpr int Get = 32818;
inline constexpr int CheckIn = 32819;
inline constexpr int CheckOut = 32820;
inline constexpr int UndoCheckOut = 32821;
inline constexpr int CheckOutAndOpen = 32785;
inline constexpr int GetAndOpen = 32784;
inline constexpr int CompareFiles = 32783;
inline constexpr int Compare = 32801;
inline constexpr int CompareVersions = 32814;
// The local copy of the selected file against the server's latest version.
inline constexpr int CompareWorkingCopy = 33010;
} // namespace browsecmd

// A server is found for the node and no selected row is checked out.
bool noneCheckedOut(const SelectionSnapshot &s);
// A server is found and a selected row is checked out (false without a server: with no
// server nothing can be checked in).
bool anyCheckedOut(const SelectionSnapshot &s);

// Whether command `id` is enabled; commands without a rule are always enabled.
bool isEnabled(int id, const SelectionSnapshot &s);

// For the view-style commands: whether the command shows the radio mark; nullopt for a
// command that is not checkable.
std::optional<bool> isChecked(int id, const SelectionSnapshot &s);

// What the Delete and Rename keys stand for in this snapshot: the command they run, or 0.
int deleteKeyTarget(const SelectionSnapshot &s);
int renameKeyTarget(const SelectionSnapshot &s);

} // namespace shell
