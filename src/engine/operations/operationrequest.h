#pragma once

// What one run of an operation is given, as a value: the launcher copies it from the
// selection before the worker starts, and the worker reads nothing else (no widget, no model).

#include "engine/operations/operationkind.h"

#include <protocol/records.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

// A selected row of the file list: its record as the list showed it, and the caller's name
// for the row so that record changes can find it again (the engine never interprets it).
struct SelectedFile
{
    std::uint64_t row = 0;
    protocol::FileItem record;

    bool operator==(const SelectedFile &) const = default;
};

// What a check-in (7, 8) does with a file this user holds whose local copy is still the
// server's latest version: nothing to store, so the check-out may be undone instead (users
// check in untouched files by mistake).
enum class UnchangedCopy : std::uint8_t {
    CheckIn,      // check it in all the same (no comparison is made)
    Ask,          // ask the reporter at the first such file; the answer holds for the run
    UndoCheckOut, // undo its check-out instead
};

struct OperationRequest
{
    OperationKind kind = OperationKind::GetFiles;
    // The server whose connection and service user ID the run uses (a copy).
    protocol::ServerProfile profile;
    // Who this machine is: written into a row's check-out fields after a check-out.
    std::string logonUserName;
    std::string ipAddress;

    // Server folder of the selected files (1, 2, 4, 7), folder to walk (3, 5, 6, 8), or the
    // full server path of the file (12). Server paths keep "\" between names.
    std::string serverPath;
    // Local working folder that receives or supplies the local copies (1-8, 12).
    std::filesystem::path localFolder;
    // The local path of the single selected file (1, 2 without multipleFiles), or the
    // destination of the version (12).
    std::filesystem::path localPath;
    // Selected rows in ascending list order (1, 2, 4, 7).
    std::vector<SelectedFile> files;
    // File names inside sourcePath to move (9), in order.
    std::vector<std::string> moveNames;
    // Dropped local entries, in drop order (10).
    std::vector<std::filesystem::path> droppedPaths;
    // The moved folder's record (11): the folder-moved change carries a copy of it.
    protocol::FolderItem movedFolder;

    bool multipleFiles = false; // each file's local path is localFolder + its name (1, 2)
    bool keepWritable = false;  // a fetched file stays writable (1, 3, 12)
    bool recursive = false;     // subfolders too (3, 5, 6, 8)
    bool deleteLocal = false;   // delete the local file after check-in, add, undo (4, 6-8, 10)
    bool folderOption = false;  // private flag of every folder an add creates (10)
    std::string comment;        // with each check-in or add (7, 8, 10)
    std::string sourcePath;     // folder holding moveNames (9); folder to move (11)
    std::string targetPath;     // destination folder (9, 10, 11)
    std::int32_t version = -1;  // version to fetch (12)
    UnchangedCopy unchangedCopy = UnchangedCopy::CheckIn; // (7, 8)

    bool operator==(const OperationRequest &) const = default;
};

// The launcher's path rules: for kinds 1-8, serverPath ends in exactly one more "\" when it
// did not end in one, and localFolder ends in a separator. Other kinds are unchanged.
void applyLaunchRules(OperationRequest &request);

// "a" -> "a\"; "a\" stays; "" -> "\".
std::string withTrailingBackslash(std::string path);
// The same for a local folder, with the native separator.
std::filesystem::path withTrailingSeparator(std::filesystem::path folder);

// Splits a tab-separated list of names (the form a file drag carries), skipping empty names.
std::vector<std::string> splitNames(std::string_view tabSeparated);

} // namespace engine
