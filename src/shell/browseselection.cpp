#include "shell/browseselection.h"

#include "shell/shellconstants.h"

#include <engine/safename.h>
#include <views/common/languagemodule.h>

namespace shell {

bool isSafePathComponent(const std::string &name)
{
    return engine::isSafePathComponent(name);
}

QString browseWindowTitle(const views::LanguageModule &module,
                          const std::vector<SelectionNode> &chain)
{
    if (chain.empty())
        return module.text(str::AppTitle);
    const QString server = QString::fromStdString(chain.front().name);
    // A path too long to name on the service has no server path; the server alone is shown.
    const std::string path = serverPathOf(chain);
    if (path.empty())
        return server;
    return module.text(str::BrowseTitle).arg(server, QString::fromStdString(path));
}

} // namespace shell
