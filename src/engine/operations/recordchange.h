#pragma once

// Changes a run made to records that the window shows, as values. The window applies them
// on its own thread; the engine holds no pointer into any model.

#include <protocol/records.h>

#include <cstdint>
#include <string>
#include <variant>

namespace engine {

// A selected row's record after a check-out (check-out fields set) or an undo check-out or
// check-in (check-out fields cleared). `row` is the SelectedFile::row the launcher gave.
struct FileRecordChanged
{
    std::uint64_t row = 0;
    protocol::FileItem record;

    bool operator==(const FileRecordChanged &) const = default;
};

// A folder moved on the service: the window inserts `folder` under the target, expands and
// selects the target and removes the old node.
struct FolderMoved
{
    std::string sourcePath;
    std::string targetPath;
    protocol::FolderItem folder;

    bool operator==(const FolderMoved &) const = default;
};

using RecordChange = std::variant<FileRecordChanged, FolderMoved>;

} // namespace engine
