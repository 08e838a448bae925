#include "engine/selection.h"

#include "engine/safename.h"

namespace engine {

std::string serverPathOf(const std::vector<SelectionNode> &chain)
{
    std::string path;
    for (const SelectionNode &node : chain) {
        if (node.kind != protocol::ItemKind::Folder)
            continue;
        if (!path.empty())
            path += '\\';
        path += node.name;
    }
    return path.size() > kMaxServerPath ? std::string() : path;
}

bool serverPathFits(const std::vector<SelectionNode> &chain)
{
    std::size_t length = 0;
    bool first = true;
    for (const SelectionNode &node : chain) {
        if (node.kind != protocol::ItemKind::Folder)
            continue;
        length += node.name.size() + (first ? 0 : 1);
        first = false;
    }
    return length <= kMaxServerPath;
}

std::string fileServerPath(const std::string &serverPath, const std::string &fileName)
{
    return serverPath + '\\' + fileName;
}

static std::string withoutTrailingSeparator(std::string folder)
{
    if (folder.size() > 1 && (folder.back() == '\\' || folder.back() == '/'))
        folder.pop_back();
    return folder;
}

std::optional<std::string> ownWorkingFolder(const std::vector<SelectionNode> &chain)
{
    if (chain.empty() || chain.back().kind != protocol::ItemKind::Folder ||
        chain.back().workFolderPath.empty())
        return std::nullopt;
    return withoutTrailingSeparator(chain.back().workFolderPath);
}

std::optional<std::string> inheritedWorkingFolder(const std::vector<SelectionNode> &chain)
{
    for (std::size_t i = chain.size(); i-- > 0;) {
        const SelectionNode &node = chain[i];
        if (node.kind != protocol::ItemKind::Folder)
            return std::nullopt; // reached the server without finding one
        if (node.workFolderPath.empty())
            continue;
        std::string folder = withoutTrailingSeparator(node.workFolderPath);
        for (std::size_t below = i + 1; below < chain.size(); ++below) {
            if (!isSafePathComponent(chain[below].name))
                return std::nullopt;
            if (folder.back() != '/')
                folder += '/';
            folder += chain[below].name;
        }
        return folder;
    }
    return std::nullopt;
}

bool noneCheckedOut(bool serverFound, const std::vector<protocol::FileItem> &selectedFiles)
{
    if (!serverFound)
        return false;
    for (const protocol::FileItem &file : selectedFiles) {
        if (!file.checkoutUser.empty())
            return false;
    }
    return true;
}

bool anyCheckedOut(bool serverFound, const std::vector<protocol::FileItem> &selectedFiles)
{
    return serverFound && !noneCheckedOut(serverFound, selectedFiles);
}

} // namespace engine
