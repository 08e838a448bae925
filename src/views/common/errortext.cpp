#include "views/common/errortext.h"

#include "views/common/languagemodule.h"

#include <array>
#include <utility>

namespace views {

// Windows error number -> string number of its text.
static constexpr std::array<std::pair<std::uint32_t, int>, 16> kTexts{{
    {platform::err::FileNotFound, 3102},
    {platform::err::PathNotFound, 3103},
    {platform::err::TooManyOpenFiles, 3104},
    {platform::err::AccessDenied, 3105},
    {platform::err::InvalidData, 3113},
    {platform::err::CannotMake, 3182},
    {platform::err::InsufficientBuffer, 3111},
    {platform::err::DiskFull, 3112},
    {platform::err::BadPathname, 3161},
    {platform::err::AlreadyExists, 3183},
    {platform::err::FilenameTooLong, 3106},
    {platform::err::RegistryCorrupt, 3109},
    {platform::err::IoDevice, 3117},
    {platform::err::Cancelled, 3123},
    {platform::err::DatatypeMismatch, 3129},
    {0, 0},
}};
static constexpr int kUnknownText = 3100;

QString errorText(const LanguageModule &module, platform::ResultCode rc)
{
    const std::uint32_t code = static_cast<std::uint32_t>(rc);
    if ((code & 0xFFFF0000u) == 0x80070000u) {
        const std::uint32_t error = platform::win32Error(rc);
        for (const auto &[number, id] : kTexts) {
            if (number == error && id != 0 && module.hasText(id))
                return module.text(id);
        }
    }
    // Codes the module has no wording for (internet errors, HTTP answers, ...) still get
    // the client library's own text rather than a bare number.
    const std::string text = platform::errorText(rc, true);
    if (!text.empty())
        return QString::fromStdString(text);
    return module.text(kUnknownText).arg(QStringLiteral("0x%1").arg(code, 8, 16, QLatin1Char('0')));
}

} // namespace views
