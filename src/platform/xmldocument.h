#pragma once

// A read-only XML document loaded from a file, with the few queries the service answers need.
// The only place that knows the XML parser.

#include "platform/resultcode.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace pugi {
struct xml_node_struct;
}

namespace platform {

// A light, copyable view of one node of an XmlDocument; valid while the document lives.
// A null node answers every query with nothing.
class XmlNode
{
public:
    XmlNode() = default;

    bool isNull() const { return m_node == nullptr; }
    bool isElement() const;
    // The element's name as written, prefix included ("soap:Body"); empty for text nodes.
    std::string_view name() const;

    // The first node matching `path` ("a/b/c", element names compared exactly as written,
    // prefixes included, namespace URIs ignored) below this node, in document order; null
    // when nothing matches.
    XmlNode select(std::string_view path) const;

    // Child nodes: elements, text and CDATA sections; whitespace-only text is not a node.
    std::size_t childCount() const;
    XmlNode firstChild() const;
    XmlNode nextSibling() const;

    // All text inside the node, concatenated in document order.
    std::string text() const;
    // Hands the text pieces inside the node (text and CDATA, document order) to `visit`
    // without copying them; stops and returns false as soon as `visit` returns false.
    bool visitText(const std::function<bool(std::string_view)> &visit) const;

private:
    friend class XmlDocument;
    explicit XmlNode(pugi::xml_node_struct *node)
        : m_node(node)
    {
    }

    pugi::xml_node_struct *m_node = nullptr;
};

// Owner of a parsed document. Move-only.
class XmlDocument
{
public:
    XmlDocument();
    ~XmlDocument();
    XmlDocument(XmlDocument &&) noexcept;
    XmlDocument &operator=(XmlDocument &&) noexcept;

    // Parses the file; kUnspecifiedFailure when it is not a well-formed document.
    [[nodiscard]] ResultCode loadFile(const std::filesystem::path &file);
    // The document node (parent of the root element); null before a successful load.
    XmlNode root() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace platform
