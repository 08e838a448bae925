#pragma once

// Writes a SOAP 1.1 request envelope into a request file, piece by piece, as raw UTF-8 bytes
// with no whitespace, line break or byte-order mark anywhere.

#include <platform/resultcode.h>

#include <string>
#include <string_view>

namespace platform {
class TempFile;
}

namespace protocol {

class EnvelopeWriter
{
public:
    explicit EnvelopeWriter(platform::TempFile &request)
        : m_request(request)
    {
    }

    // Each returns 0, or the failure code of the write; the caller ends the call with it.
    [[nodiscard]] platform::ResultCode beginEnvelope();
    [[nodiscard]] platform::ResultCode beginOperation(std::string_view operation);
    // <name>value</name>, with & < > in the value written as entity references.
    [[nodiscard]] platform::ResultCode element(std::string_view name, std::string_view value);
    // Text written unchanged (the "<Data>" and "</Data>" around an upload chunk).
    [[nodiscard]] platform::ResultCode raw(std::string_view text);
    [[nodiscard]] platform::ResultCode endOperation(std::string_view operation);
    [[nodiscard]] platform::ResultCode endEnvelope();

private:
    platform::TempFile &m_request;
};

// & < > replaced by &amp; &lt; &gt;; everything else unchanged.
std::string escapeXml(std::string_view value);

} // namespace protocol
