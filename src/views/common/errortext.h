#pragma once

// The text shown for a result code of the lower layers (registry, files, processes). The
// texts live in the language module; a code without a text of its own still shows its
// number, never an empty box.

#include <platform/resultcode.h>

#include <QString>

namespace views {

class LanguageModule;

QString errorText(const LanguageModule &module, platform::ResultCode rc);

} // namespace views
