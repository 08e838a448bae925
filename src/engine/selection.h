#pragma once

// The selection notions every command and window agrees on: from the chain of nodes between
// a server node and the selected node, the server path, the working folders, and whether
// selected rows are checked out. Plain functions of values.

#include <protocol/records.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace engine {

// The longest server path the service accepts, in bytes.
inline constexpr std::size_t kMaxServerPath = 260;

// One node on the way from the server node down to the selected node.
struct SelectionNode
{
    protocol::ItemKind kind = protocol::ItemKind::Folder; // ServerProfile or Folder
    std::string name;                                     // the node's text
    std::string workFolderPath; // folders: the working folder recorded on the service

    bool operator==(const SelectionNode &) const = default;
};

// Folder names joined by "\" from the first folder below the server down to the last node;
// empty for a server node, and empty when the path would be longer than kMaxServerPath.
std::string serverPathOf(const std::vector<SelectionNode> &chain);
// True when the chain's folder names fit kMaxServerPath once joined.
bool serverPathFits(const std::vector<SelectionNode> &chain);
// serverPath + "\" + file name.
std::string fileServerPath(const std::string &serverPath, const std::string &fileName);

// The node's own working folder: the recorded text without one trailing separator ("\" or
// "/"); nullopt for a server node or a folder without one.
std::optional<std::string> ownWorkingFolder(const std::vector<SelectionNode> &chain);
// The nearest recorded working folder at or above the node, followed by the names of the
// folders below it down to the node, joined by "/" (local paths are native). nullopt when no
// folder up to the server has one, or when a name on the way is not a safe path component
// (empty, ".", "..", holding "/", "\" or NUL): a name from the service never climbs out of
// the working folder.
std::optional<std::string> inheritedWorkingFolder(const std::vector<SelectionNode> &chain);

// A server is found and no selected row is checked out (true with no rows selected).
bool noneCheckedOut(bool serverFound, const std::vector<protocol::FileItem> &selectedFiles);
// A server is found and a selected row is checked out. Without a server this is false, not
// the negation of noneCheckedOut: with nothing selected, nothing is checked out.
bool anyCheckedOut(bool serverFound, const std::vector<protocol::FileItem> &selectedFiles);

} // namespace engine
