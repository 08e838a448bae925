#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace server {

// Writes an answer envelope byte for byte as the client's reader expects: the exact
// prolog, "soap"-prefixed envelope and body, unprefixed result elements in the
// service namespace, no whitespace between elements.
class SoapReply
{
public:
    // Opens <operationResponse xmlns="...">.
    explicit SoapReply(std::string_view operation);

    // Adds <name>text</name>, or <name /> for an empty text.
    void field(std::string_view name, std::string_view text);
    void field(std::string_view name, std::int64_t number);
    void open(std::string_view name);
    void close(std::string_view name);
    // An element whose content is written as it stands (base64 text, numbers).
    void rawField(std::string_view name, std::string_view content);
    // Closes the response and the envelope and hands over the bytes.
    std::string finish();

    // <operationResponse xmlns="..." /> in an envelope.
    static std::string empty(std::string_view operation);
    // A soap:Fault with faultcode "soap:<code>" ("Client" or "Server").
    static std::string fault(std::string_view code, std::string_view text);

private:
    std::string m_operation;
    std::string m_bytes;
};

} // namespace server
