#include "protocol/responsereader.h"

#include "protocol/protocolconstants.h"

#include <cstring>
#include <memory>

namespace protocol {

// The client writes exactly this prolog and the service answers with it; anything else (a
// BOM, upper-case "UTF-8", single quotes, an HTML error page) is not a service answer.
static constexpr std::string_view kProlog = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";
// Copies move through a buffer of this size, so memory does not grow with the answer.
static constexpr std::size_t kCopyBuffer = 100000;

ResponseReader::ResponseReader(platform::TempFile &response)
    : m_response(response)
{
}

ResponseReader::~ResponseReader() = default;

platform::ResultCode ResponseReader::load(int httpStatus)
{
    m_cacheValid = false;
    m_parsed = false;
    m_copy = platform::TempFile();
    if (platform::ResultCode rc = platform::TempFile::create(m_copy); rc != 0)
        return rc;
    if (platform::ResultCode rc = m_response.rewind(); rc != 0)
        return rc;
    {
        auto buffer = std::make_unique<char[]>(kCopyBuffer);
        for (;;) {
            std::size_t got = 0;
            platform::ResultCode rc = m_response.read(buffer.get(), kCopyBuffer, got);
            if (rc == 0 && got == 0)
                break;
            if (rc == 0)
                rc = m_copy.write(buffer.get(), got);
            if (rc != 0) {
                m_copy = platform::TempFile();
                return rc;
            }
        }
    }

    char head[kProlog.size()];
    std::size_t have = 0;
    platform::ResultCode rc = m_response.rewind();
    while (rc == 0 && have < sizeof head) {
        std::size_t got = 0;
        rc = m_response.read(head + have, sizeof head - have, got);
        if (got == 0)
            break;
        have += got;
    }
    if (rc != 0) {
        m_copy = platform::TempFile();
        return rc;
    }
    if (have != sizeof head || std::memcmp(head, kProlog.data(), sizeof head) != 0) {
        m_copy = platform::TempFile();
        return platform::fromHttpStatus(httpStatus);
    }

    m_loaded = true;
    if (rc = m_document.loadFile(m_copy.path()); rc != 0)
        return rc;
    m_parsed = true;
    return 0;
}

platform::XmlNode ResponseReader::body()
{
    if (!m_parsed)
        return {};
    return m_document.root().select(names::kSoapBody);
}

const std::vector<platform::XmlNode> *ResponseReader::children(std::string_view path)
{
    // List reading asks for every field of every row under the same path; walking to child
    // number `row` each time would make reading a list quadratic in its length.
    if (!m_cacheValid || m_cachedPath != path) {
        m_cachedPath.assign(path);
        m_cachedChildren.clear();
        m_cacheValid = true;
        const platform::XmlNode node = body().select(path);
        m_cachedMissing = node.isNull();
        for (platform::XmlNode c = node.firstChild(); !c.isNull(); c = c.nextSibling())
            m_cachedChildren.push_back(c);
    }
    return m_cachedMissing ? nullptr : &m_cachedChildren;
}

std::optional<std::string> ResponseReader::value(std::string_view path, std::size_t index)
{
    const std::vector<platform::XmlNode> *kids = children(path);
    if (kids == nullptr || index >= kids->size())
        return std::nullopt;
    return (*kids)[index].text();
}

std::optional<std::string> ResponseReader::text(std::string_view path)
{
    const platform::XmlNode node = body().select(path);
    if (node.isNull())
        return std::nullopt;
    return node.text();
}

std::int64_t
ResponseReader::visitChildText(std::string_view path,
                               const std::function<bool(std::size_t, std::string_view)> &visit)
{
    const std::vector<platform::XmlNode> *kids = children(path);
    if (kids == nullptr)
        return -1;
    for (std::size_t i = 0; i < kids->size(); ++i) {
        if (!(*kids)[i].visitText([&](std::string_view piece) { return visit(i, piece); }))
            return -2;
    }
    return static_cast<std::int64_t>(kids->size());
}

std::int64_t ResponseReader::rowCount(std::string_view path)
{
    const std::vector<platform::XmlNode> *kids = children(path);
    if (kids == nullptr)
        return -1;
    return static_cast<std::int64_t>(kids->size());
}

std::optional<std::string> ResponseReader::rowField(std::string_view path, std::size_t row,
                                                    std::string_view field)
{
    const std::vector<platform::XmlNode> *kids = children(path);
    if (kids == nullptr || row >= kids->size())
        return std::nullopt;
    const platform::XmlNode node = (*kids)[row].select(field);
    if (node.isNull())
        return std::nullopt;
    return node.text();
}

} // namespace protocol
