#pragma once

// Names the service sends (files, folders, working folders) are never trusted as parts of a
// local path: a name could climb out of the working folder or name another file.

#include <string>
#include <string_view>

namespace engine {

// A name that may be used as one component of a local path: not empty, not "." or "..", and
// without "/", "\" or NUL.
bool isSafePathComponent(std::string_view name);

} // namespace engine
