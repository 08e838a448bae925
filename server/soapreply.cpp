#include "soapreply.h"

#include "serverconstants.h"
#include "wiretext.h"

namespace server {

static std::string envelopeBegin()
{
    std::string bytes(constants::kProlog);
    bytes += "<soap:Envelope xmlns:soap=\"";
    bytes += constants::kSoapNamespace;
    bytes += "\" xmlns:xsi=\"";
    bytes += constants::kXsiNamespace;
    bytes += "\" xmlns:xsd=\"";
    bytes += constants::kXsdNamespace;
    bytes += "\"><soap:Body>";
    return bytes;
}

static constexpr std::string_view kEnvelopeEnd = "</soap:Body></soap:Envelope>";

SoapReply::SoapReply(std::string_view operation)
    : m_operation(operation)
    , m_bytes(envelopeBegin())
{
    m_bytes += '<';
    m_bytes += m_operation;
    m_bytes += "Response xmlns=\"";
    m_bytes += constants::kServiceNamespace;
    m_bytes += "\">";
}

void SoapReply::open(std::string_view name)
{
    m_bytes += '<';
    m_bytes += name;
    m_bytes += '>';
}

void SoapReply::close(std::string_view name)
{
    m_bytes += "</";
    m_bytes += name;
    m_bytes += '>';
}

void SoapReply::field(std::string_view name, std::string_view text)
{
    if (text.empty()) {
        m_bytes += '<';
        m_bytes += name;
        m_bytes += " />";
        return;
    }
    open(name);
    appendEscaped(m_bytes, text);
    close(name);
}

void SoapReply::field(std::string_view name, std::int64_t number)
{
    rawField(name, std::to_string(number));
}

void SoapReply::rawField(std::string_view name, std::string_view content)
{
    open(name);
    m_bytes += content;
    close(name);
}

std::string SoapReply::finish()
{
    m_bytes += "</";
    m_bytes += m_operation;
    m_bytes += "Response>";
    m_bytes += kEnvelopeEnd;
    return std::move(m_bytes);
}

std::string SoapReply::empty(std::string_view operation)
{
    std::string bytes = envelopeBegin();
    bytes += '<';
    bytes += operation;
    bytes += "Response xmlns=\"";
    bytes += constants::kServiceNamespace;
    bytes += "\" />";
    bytes += kEnvelopeEnd;
    return bytes;
}

std::string SoapReply::fault(std::string_view code, std::string_view text)
{
    std::string bytes = envelopeBegin();
    bytes += "<soap:Fault><faultcode>soap:";
    bytes += code;
    bytes += "</faultcode><faultstring>";
    appendEscaped(bytes, text);
    bytes += "</faultstring></soap:Fault>";
    bytes += kEnvelopeEnd;
    return bytes;
}

} // namespace server
