#pragma once

// The text shown for a result code of the lower layers (registry, files, processes). The
// texts live in the language module; a code without a text of its own still shows its
// number, never an empty box.

#include <platform/resultcode.h>
#include <protocol/callresult.h>

#include <QString>

namespace views {

class LanguageModule;

QString errorText(const LanguageModule &module, platform::ResultCode rc);
// What a failed service call shows: the text for a negative result code, else the error text
// the service sent (HTTP status text, SOAP fault) unchanged.
QString callFailureText(const LanguageModule &module, const protocol::CallResult &result);

} // namespace views
