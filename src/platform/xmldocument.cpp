#include "platform/xmldocument.h"

#include <pugixml.hpp>

namespace platform {

static bool isContentNode(const pugi::xml_node &n)
{
    switch (n.type()) {
    case pugi::node_element:
    case pugi::node_pcdata:
    case pugi::node_cdata:
        return true;
    default:
        return false;
    }
}

static pugi::xml_node nextContent(pugi::xml_node n)
{
    while (n && !isContentNode(n))
        n = n.next_sibling();
    return n;
}

bool XmlNode::isElement() const
{
    return pugi::xml_node(m_node).type() == pugi::node_element;
}

std::string_view XmlNode::name() const
{
    if (!isElement())
        return {};
    return pugi::xml_node(m_node).name();
}

// Depth-first over the matching children, so the first hit is the first in document order,
// as an XPath location path "a/b" selects it (the first "a" may lack a "b").
static pugi::xml_node selectFrom(const pugi::xml_node &from, std::string_view path)
{
    const std::size_t slash = path.find('/');
    const std::string_view step = path.substr(0, slash);
    const std::string_view rest =
        slash == std::string_view::npos ? std::string_view{} : path.substr(slash + 1);
    for (pugi::xml_node c = from.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element || step != c.name())
            continue;
        if (slash == std::string_view::npos)
            return c;
        if (pugi::xml_node hit = selectFrom(c, rest))
            return hit;
    }
    return {};
}

XmlNode XmlNode::select(std::string_view path) const
{
    if (m_node == nullptr || path.empty())
        return {};
    if (path.find('/') == std::string_view::npos) {
        for (pugi::xml_node c = pugi::xml_node(m_node).first_child(); c; c = c.next_sibling()) {
            if (c.type() == pugi::node_element && path == c.name())
                return XmlNode(c.internal_object());
        }
        return {};
    }
    return XmlNode(selectFrom(pugi::xml_node(m_node), path).internal_object());
}

std::size_t XmlNode::childCount() const
{
    std::size_t n = 0;
    for (XmlNode c = firstChild(); !c.isNull(); c = c.nextSibling())
        ++n;
    return n;
}

XmlNode XmlNode::firstChild() const
{
    if (m_node == nullptr)
        return {};
    return XmlNode(nextContent(pugi::xml_node(m_node).first_child()).internal_object());
}

XmlNode XmlNode::nextSibling() const
{
    if (m_node == nullptr)
        return {};
    return XmlNode(nextContent(pugi::xml_node(m_node).next_sibling()).internal_object());
}

bool XmlNode::visitText(const std::function<bool(std::string_view)> &visit) const
{
    const pugi::xml_node n(m_node);
    if (!n)
        return true;
    auto isText = [](const pugi::xml_node &x) {
        return x.type() == pugi::node_pcdata || x.type() == pugi::node_cdata;
    };
    if (isText(n))
        return visit(n.value());
    // Iterative walk: an answer nested thousands deep must not exhaust the stack.
    for (pugi::xml_node d = n.first_child(); d;) {
        if (isText(d) && !visit(d.value()))
            return false;
        if (d.first_child()) {
            d = d.first_child();
            continue;
        }
        while (d != n && !d.next_sibling())
            d = d.parent();
        if (d == n)
            break;
        d = d.next_sibling();
    }
    return true;
}

std::string XmlNode::text() const
{
    // The common case of a field: an element holding one text node.
    const pugi::xml_node n(m_node);
    if (n.type() == pugi::node_element) {
        const pugi::xml_node only = n.first_child();
        if (!only)
            return {};
        if ((only.type() == pugi::node_pcdata || only.type() == pugi::node_cdata) &&
            !only.next_sibling())
            return only.value();
    }
    std::string out;
    visitText([&](std::string_view piece) {
        out += piece;
        return true;
    });
    return out;
}

struct XmlDocument::Impl
{
    pugi::xml_document doc;
    bool loaded = false;
};

XmlDocument::XmlDocument()
    : m_impl(std::make_unique<Impl>())
{
}
XmlDocument::~XmlDocument() = default;
XmlDocument::XmlDocument(XmlDocument &&) noexcept = default;
XmlDocument &XmlDocument::operator=(XmlDocument &&) noexcept = default;

ResultCode XmlDocument::loadFile(const std::filesystem::path &file)
{
    m_impl->loaded = false;
    // No DOCTYPE processing: the parser expands no external or custom entities.
    const pugi::xml_parse_result r =
        m_impl->doc.load_file(file.c_str(), pugi::parse_default, pugi::encoding_auto);
    if (!r)
        return kUnspecifiedFailure;
    m_impl->loaded = true;
    return 0;
}

XmlNode XmlDocument::root() const
{
    if (!m_impl || !m_impl->loaded)
        return {};
    return XmlNode(m_impl->doc.internal_object());
}

} // namespace platform
