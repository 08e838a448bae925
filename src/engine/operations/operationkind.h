#pragma once

// The long operations the engine runs, numbered as the progress dialog and the stored logs
// have always numbered them.

#include <optional>
#include <string_view>

namespace engine {

enum class OperationKind : int {
    GetFiles = 1,           // selected files of the file list, latest version
    CheckOutFiles = 2,      // selected files
    GetFolder = 3,          // one folder, optionally with its subfolders
    UndoCheckOutFiles = 4,  // selected files
    CheckOutFolder = 5,     // one folder, optionally with its subfolders
    UndoCheckOutFolder = 6, // one folder, optionally with its subfolders
    CheckInFiles = 7,       // selected files
    CheckInFolder = 8,      // one folder, optionally with its subfolders
    MoveFiles = 9,          // named files of one server folder into another
    AddDropped = 10,        // local files and folders dropped on a server folder
    MoveFolder = 11,        // one folder under another
    GetVersion = 12,        // one version of one file to a given local path
};

// The kind for a number 1-12, nothing otherwise.
std::optional<OperationKind> operationKindFromNumber(int number);

// The number of the language module string that titles the progress dialog of `kind`.
int titleStringId(OperationKind kind);

// Kinds whose progress shows one server folder walk (3, 5, 6, 8).
bool isFolderKind(OperationKind kind);

} // namespace engine
