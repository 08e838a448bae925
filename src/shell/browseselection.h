#pragma once

// What a command applies to: the selected node of the active browse window, its server, its
// server path, its working folders, and the selected file rows. The browse window answers
// through BrowseSelection; the notions themselves are computed here, once, from what it
// reports, so every window and command agrees on them.

#include <engine/selection.h>
#include <protocol/records.h>

#include <optional>
#include <string>
#include <vector>

class QString;

namespace views {
class LanguageModule;
}

namespace shell {

using engine::kMaxServerPath;
using engine::SelectionNode;

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

using engine::anyCheckedOut;
using engine::fileServerPath;
using engine::inheritedWorkingFolder;
using engine::noneCheckedOut;
using engine::ownWorkingFolder;
using engine::serverPathOf;

// The title of a browse window whose selected node is the last of `chain`: the server's name,
// followed by the server path below it when a folder is selected; the program's title when
// no server is selected.
QString browseWindowTitle(const views::LanguageModule &module,
                          const std::vector<SelectionNode> &chain);

// A name the service sent that may be used as one component of a local path.
bool isSafePathComponent(const std::string &name);

} // namespace shell
