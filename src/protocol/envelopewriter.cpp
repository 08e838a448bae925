#include "protocol/envelopewriter.h"

#include "protocol/protocolconstants.h"

#include <platform/tempfile.h>

namespace protocol {

std::string escapeXml(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    for (char ch : value) {
        switch (ch) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += ch;
        }
    }
    return out;
}

platform::ResultCode EnvelopeWriter::beginEnvelope()
{
    return m_request.write("<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                           "<soap:Envelope"
                           " xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\""
                           " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
                           " xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\">"
                           "<soap:Body>");
}

platform::ResultCode EnvelopeWriter::beginOperation(std::string_view operation)
{
    std::string tag;
    tag.reserve(operation.size() + names::kNamespace.size() + 12);
    tag += '<';
    tag += operation;
    tag += " xmlns=\"";
    tag += names::kNamespace;
    tag += "\">";
    return m_request.write(tag);
}

platform::ResultCode EnvelopeWriter::element(std::string_view name, std::string_view value)
{
    std::string open;
    open.reserve(name.size() + 2);
    open += '<';
    open += name;
    open += '>';
    if (platform::ResultCode rc = m_request.write(open); rc != 0)
        return rc;
    // Escaped in slices, so a long value (a base64 chunk) needs no second full-size copy.
    constexpr std::size_t kSlice = 16384;
    for (std::size_t at = 0; at < value.size(); at += kSlice) {
        if (platform::ResultCode rc = m_request.write(escapeXml(value.substr(at, kSlice))); rc != 0)
            return rc;
    }
    return endOperation(name);
}

platform::ResultCode EnvelopeWriter::raw(std::string_view text)
{
    return m_request.write(text);
}

platform::ResultCode EnvelopeWriter::endOperation(std::string_view operation)
{
    std::string close;
    close.reserve(operation.size() + 3);
    close += "</";
    close += operation;
    close += '>';
    return m_request.write(close);
}

platform::ResultCode EnvelopeWriter::endEnvelope()
{
    return m_request.write("</soap:Body></soap:Envelope>");
}

} // namespace protocol
