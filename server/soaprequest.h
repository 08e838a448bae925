#pragma once

#include <pugixml.hpp>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace server {

// A parsed SOAP 1.1 request. Elements are found by local name, so any prefix the
// sender chose works.
class SoapRequest
{
public:
    // False, with a reason, when body is not an envelope with one operation in its body.
    bool parse(std::string_view body, std::string &error);
    const std::string &operation() const { return m_operation; }
    // The text of the operation's child element name; nullopt when there is none.
    std::optional<std::string> value(std::string_view name) const;
    // The texts of the element children of the child element name ("Data" holds one
    // or more "string" elements); nullopt when name is missing.
    std::optional<std::vector<std::string>> pieces(std::string_view name) const;

private:
    pugi::xml_document m_document;
    pugi::xml_node m_operationNode;
    std::string m_operation;
};

} // namespace server
