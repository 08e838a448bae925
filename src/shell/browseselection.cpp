#include "shell/browseselection.h"

#include <engine/safename.h>

namespace shell {

bool isSafePathComponent(const std::string &name)
{
    return engine::isSafePathComponent(name);
}

} // namespace shell
