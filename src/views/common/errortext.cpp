#include "views/common/errortext.h"

#include "views/common/languagemodule.h"

#include <engine/stringtable.h>

#include <optional>

namespace views {

static constexpr int kUnknownText = 3100;

QString errorText(const LanguageModule &module, platform::ResultCode rc)
{
    const std::uint32_t code = static_cast<std::uint32_t>(rc);
    // The same wording as the command-line client's (engine::errorText).
    if (const std::optional<int> id = engine::errorStringId(rc); id && module.hasText(*id))
        return module.text(*id);
    // Codes the module has no wording for (internet errors, HTTP answers, ...) still get
    // the client library's own text rather than a bare number.
    const std::string text = platform::errorText(rc, true);
    if (!text.empty())
        return QString::fromStdString(text);
    return module.text(kUnknownText).arg(QStringLiteral("0x%1").arg(code, 8, 16, QLatin1Char('0')));
}

QString callFailureText(const LanguageModule &module, const protocol::CallResult &result)
{
    if (result.code < 0)
        return errorText(module, result.code);
    return QString::fromStdString(result.errorText);
}

} // namespace views
