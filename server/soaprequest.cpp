#include "soaprequest.h"

#include "serverconstants.h"

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

// Counts the elements of body and their deepest nesting without building anything,
// so a request of millions of empty elements is refused before it costs memory.
// Comments, CDATA sections, processing instructions and quoted attribute values are
// stepped over; markup the parser would refuse may be counted loosely.
static bool checkShape(std::string_view body, std::string &error)
{
    std::size_t elements = 0;
    std::size_t depth = 0;
    const auto skipTo = [&](std::size_t from, std::string_view end) {
        const std::size_t found = body.find(end, from);
        return found == std::string_view::npos ? body.size() : found + end.size();
    };
    for (std::size_t i = body.find('<'); i < body.size(); i = body.find('<', i)) {
        const std::string_view rest = body.substr(i);
        if (rest.starts_with("<!--")) {
            i = skipTo(i + 4, "-->");
        } else if (rest.starts_with("<![CDATA[")) {
            i = skipTo(i + 9, "]]>");
        } else if (rest.starts_with("<?") || rest.starts_with("<!")) {
            i = skipTo(i + 2, ">");
        } else if (rest.starts_with("</")) {
            depth -= depth > 0 ? 1 : 0;
            i = skipTo(i + 2, ">");
        } else {
            std::size_t at = i + 1;
            char quote = 0;
            for (; at < body.size(); ++at) {
                if (quote) {
                    quote = body[at] == quote ? 0 : quote;
                } else if (body[at] == '"' || body[at] == '\'') {
                    quote = body[at];
                } else if (body[at] == '>') {
                    break;
                }
            }
            const bool empty = at < body.size() && body[at - 1] == '/';
            if (++elements > constants::kMaxRequestElements) {
                error = "The request has more than " +
                        std::to_string(constants::kMaxRequestElements) + " elements.";
                return false;
            }
            if (!empty && ++depth > constants::kMaxRequestDepth) {
                error = "The request nests elements deeper than " +
                        std::to_string(constants::kMaxRequestDepth) + " levels.";
                return false;
            }
            i = at;
        }
    }
    return true;
}

bool SoapRequest::parse(std::string_view body, std::string &error)
{
    if (!checkShape(body, error))
        return false;
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
