#pragma once

// The parsed SOAP answer of one call, queried by paths below "soap:Envelope/soap:Body".

#include <platform/resultcode.h>
#include <platform/tempfile.h>
#include <platform/xmldocument.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace protocol {

class ResponseReader
{
public:
    // The response file is not owned and must outlive the reader.
    explicit ResponseReader(platform::TempFile &response);
    // Deletes the temporary copy, also after a failed load.
    ~ResponseReader();
    ResponseReader(const ResponseReader &) = delete;
    ResponseReader &operator=(const ResponseReader &) = delete;

    // Copies the response into a temporary file, refuses a body that does not begin with the
    // exact prolog <?xml version="1.0" encoding="utf-8"?> (0x800C0000 | status), and parses
    // it (kUnspecifiedFailure when that fails). 0 on success.
    [[nodiscard]] platform::ResultCode load(int httpStatus);
    bool isLoaded() const { return m_loaded; }

    // Text of child number `index` of the node at `path`; nothing when the body, the node or
    // the child is missing (an empty element has no child).
    std::optional<std::string> value(std::string_view path, std::size_t index = 0);
    // All text inside the node at `path` (the fault string); nothing when it is missing.
    std::optional<std::string> text(std::string_view path);
    // Number of child nodes of the node at `path`, or -1 when it is missing.
    std::int64_t rowCount(std::string_view path);
    // All text of the first `field` element below child number `row` of the node at `path`;
    // nothing when any step finds nothing. O(1) per row after the first call for a path.
    std::optional<std::string> rowField(std::string_view path, std::size_t row,
                                        std::string_view field);

    // Hands the text pieces of every child of the node at `path` to `visit(child, piece)`,
    // in document order and without copies (for large base64 content). Returns the number of
    // children, -1 when the node is missing, -2 when `visit` returned false.
    std::int64_t visitChildText(std::string_view path,
                                const std::function<bool(std::size_t, std::string_view)> &visit);

    // The response file the reader reads (the transport fills it).
    platform::TempFile &response() { return m_response; }

    // Where the temporary copy lives (empty before load); for tests.
    const std::filesystem::path &copyPath() const { return m_copy.path(); }

private:
    platform::XmlNode body();
    // The children of the node at `path`, cached for the last path asked; nullptr if missing.
    const std::vector<platform::XmlNode> *children(std::string_view path);

    platform::TempFile &m_response;
    platform::TempFile m_copy; // the parsed copy; deleted with the reader
    platform::XmlDocument m_document;
    bool m_loaded = false;
    bool m_parsed = false;

    std::string m_cachedPath;
    bool m_cacheValid = false;
    bool m_cachedMissing = false;
    std::vector<platform::XmlNode> m_cachedChildren;
};

} // namespace protocol
