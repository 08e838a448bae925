#include "protocol/callresult.h"

namespace protocol {

std::string CallResult::message() const
{
    if (code < 0)
        return platform::errorText(code, true);
    return errorText;
}

} // namespace protocol
