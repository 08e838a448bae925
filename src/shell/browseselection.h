#pragma once

// What a command applies to: the selected node of the active browse window, its server, its
// server path, its working folders, and the selected file rows. The browse window answers
// through BrowseSelection; the notions themselves are computed here, once, from what it
// reports, so every window and command agrees on them.

#include <protocol/records.h>

#include <optional>
#include <string>
#include <vector>

class QString;

namespace shell {

// The longest server path the service accepts, in bytes.
inline constexpr std::size_t kMaxServerPath = 260;

// One node on the way from the server node down to the selected node.
struct SelectionNode
{
    protocol::ItemKind kind = protocol::ItemKind::Folder; // ServerProfile or Folder
    std::string name;                                     // the node's text
    std::string workFolderPath; // folders: the working folder recorded on the service
};

// Implemented by the browse window. All calls on the UI thread; none block or pop up.
class BrowseSelection
{
public:
    virtual ~BrowseSelection() = default;

    // The server profile of the nearest server node at or above the selected node; nullptr
    // when nothing or only the root is selected.
    virtual const protocol::ServerProfile *selectedServer() const = 0;
    // The nodes from the server node (first) down to the selected node (last); empty when no
    // server is found.
    virtual std::vector<SelectionNode> selectedChain() const = 0;
    // The selected rows of the file list, in list order.
    virtual std::vector<protocol::FileItem> selectedFiles() const = 0;
    // The profiles of the server nodes directly below the tree's root, in tree order, as the
    // nodes hold them (credentials typed at log-on included).
    virtual std::vector<protocol::ServerProfile> serverProfiles() const = 0;
    // Appends one line to the window's message pane (image: img::Success, img::Failure).
    virtual void appendMessage(int image, const QString &text) = 0;
};

// Folder names joined by "\" from the first folder below the server down to the last node;
// empty for a server node, and empty when the path would be longer than kMaxServerPath.
std::string serverPathOf(const std::vector<SelectionNode> &chain);
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

// A name the service sent that may be used as one component of a local path.
bool isSafePathComponent(const std::string &name);

} // namespace shell
