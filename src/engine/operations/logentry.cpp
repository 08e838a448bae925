#include "engine/operations/logentry.h"

#include <platform/check.h>

#include <cstdio>

namespace engine {

LogArgument LogArgument::ofText(std::string value)
{
    LogArgument a;
    a.type = Type::Text;
    a.text = std::move(value);
    return a;
}

LogArgument LogArgument::ofNumber(std::int64_t value)
{
    LogArgument a;
    a.type = Type::Number;
    a.number = value;
    return a;
}

LogArgument LogArgument::ofCode(platform::ResultCode code)
{
    LogArgument a;
    a.type = Type::Code;
    a.number = code;
    return a;
}

LogArgument LogArgument::ofCodeText(platform::ResultCode code)
{
    LogArgument a;
    a.type = Type::CodeText;
    a.number = code;
    return a;
}

std::string LogArgument::toString() const
{
    switch (type) {
    case Type::Text:
        return text;
    case Type::Number:
        return std::to_string(number);
    case Type::Code: {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "0x%08X",
                      static_cast<unsigned>(static_cast<platform::ResultCode>(number)));
        return buffer;
    }
    case Type::CodeText:
        return platform::errorText(static_cast<platform::ResultCode>(number), true);
    }
    RAVELIND_CHECK(!"a log argument of no known type", return {});
}

} // namespace engine
