#include "soaprequest.h"

#include <cstring>

namespace server {

static std::string_view localName(const pugi::xml_node &node)
{
    std::string_view name = node.name();
    const auto colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

static pugi::xml_node firstElement(const pugi::xml_node &parent)
{
    for (pugi::xml_node child : parent.children()) {
        if (child.type() == pugi::node_element)
            return child;
    }
    return {};
}

static pugi::xml_node childElement(const pugi::xml_node &parent, std::string_view name)
{
    for (pugi::xml_node child : parent.children()) {
        if (child.type() == pugi::node_element && localName(child) == name)
            return child;
    }
    return {};
}

static std::string textOf(const pugi::xml_node &node)
{
    std::string text;
    for (pugi::xml_node child : node.children()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
            text += child.value();
    }
    return text;
}

bool SoapRequest::parse(std::string_view body, std::string &error)
{
    const pugi::xml_parse_result result =
        m_document.load_buffer(body.data(), body.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!result) {
        error = std::string("The request is not well-formed XML: ") + result.description() +
                " at offset " + std::to_string(result.offset) + ".";
        return false;
    }
    const pugi::xml_node envelope = m_document.document_element();
    if (localName(envelope) != "Envelope") {
        error = "The request is not a SOAP envelope.";
        return false;
    }
    const pugi::xml_node soapBody = childElement(envelope, "Body");
    if (!soapBody) {
        error = "The SOAP envelope has no body.";
        return false;
    }
    m_operationNode = firstElement(soapBody);
    if (!m_operationNode) {
        error = "The SOAP body names no operation.";
        return false;
    }
    m_operation = std::string(localName(m_operationNode));
    return true;
}

std::optional<std::string> SoapRequest::value(std::string_view name) const
{
    const pugi::xml_node node = childElement(m_operationNode, name);
    if (!node)
        return std::nullopt;
    return textOf(node);
}

std::optional<std::vector<std::string>> SoapRequest::pieces(std::string_view name) const
{
    const pugi::xml_node node = childElement(m_operationNode, name);
    if (!node)
        return std::nullopt;
    std::vector<std::string> texts;
    for (pugi::xml_node child : node.children()) {
        if (child.type() == pugi::node_element)
            texts.push_back(textOf(child));
    }
    return texts;
}

} // namespace server
