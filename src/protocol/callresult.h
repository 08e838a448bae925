#pragma once

// The outcome of one service call, as a value. [[nodiscard]]: every function returning one
// warns when its caller drops it, so no failed call goes unnoticed.

#include <platform/resultcode.h>

#include <string>

namespace protocol {

struct [[nodiscard]] CallResult
{
    // 0 when the exchange happened; negative for local, transport and document failures.
    platform::ResultCode code = 0;
    // Empty on success; the HTTP status text of an answer that is not "OK", or the SOAP
    // fault string of a 500 answer.
    std::string errorText;
    // The HTTP status of the last answer, 0 when none arrived.
    int httpStatus = 0;
    // The transport's own description of a failure (for logs); not part of the outcome.
    std::string detail;

    // A call succeeded only when its code is not negative and no error text came back.
    bool succeeded() const { return code >= 0 && errorText.empty(); }
    // What a user should read about a failure: the error text, else the code's text.
    std::string message() const;

    bool operator==(const CallResult &) const = default;
};

} // namespace protocol
