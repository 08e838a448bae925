#include "engine/operations/operationrequest.h"

namespace engine {

std::string withTrailingBackslash(std::string path)
{
    if (path.empty() || path.back() != '\\')
        path += '\\';
    return path;
}

std::filesystem::path withTrailingSeparator(std::filesystem::path folder)
{
    const std::string &text = folder.native();
    if (text.empty() || text.back() != std::filesystem::path::preferred_separator)
        folder += std::filesystem::path::preferred_separator;
    return folder;
}

void applyLaunchRules(OperationRequest &request)
{
    const int kind = static_cast<int>(request.kind);
    if (kind < 1 || kind > 8)
        return;
    request.serverPath = withTrailingBackslash(std::move(request.serverPath));
    request.localFolder = withTrailingSeparator(std::move(request.localFolder));
}

std::vector<std::string> splitNames(std::string_view tabSeparated)
{
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= tabSeparated.size()) {
        std::size_t end = tabSeparated.find('\t', start);
        if (end == std::string_view::npos)
            end = tabSeparated.size();
        if (end > start)
            names.emplace_back(tabSeparated.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

} // namespace engine
