#include "normalformatter.h"

#include <cstring>

namespace compare {

namespace {

// Output is handed on in pieces of this size: large enough for few writes, small enough that
// a large script never sits in memory whole.
constexpr std::size_t kFlushSize = 64 * 1024;

// Walks one file's lines forward from the end of the identical prefix.
class LineCursor
{
public:
    LineCursor(const FileImage &image, std::size_t prefixEnd)
        : m_end(image.data() + image.size())
        , m_pos(image.data() + prefixEnd)
        , m_missingNewline(image.missingNewline())
    {
    }

    void skipTo(std::int32_t line)
    {
        while (m_line < line)
            next();
    }

    // The current line without its line feed; `incomplete` when the file's last line had none.
    std::string_view current(bool &incomplete) const
    {
        const char *lf = static_cast<const char *>(std::memchr(m_pos, '\n', m_end - m_pos));
        incomplete = m_missingNewline && lf + 1 == m_end;
        return {m_pos, static_cast<std::size_t>(lf - m_pos)};
    }

    void next()
    {
        m_pos = static_cast<const char *>(std::memchr(m_pos, '\n', m_end - m_pos)) + 1;
        ++m_line;
    }

private:
    const char *m_end;
    const char *m_pos;
    std::int32_t m_line = 0;
    bool m_missingNewline;
};

void appendRange(std::string &out, std::int64_t first, std::int64_t last)
{
    // An empty range prints the line before which nothing was (the last, first - 1).
    if (last > first) {
        out += std::to_string(first);
        out += ',';
    }
    out += std::to_string(last);
}

} // namespace

NormalFormatter::NormalFormatter(std::function<void(std::string_view)> sink)
    : m_sink(std::move(sink))
{
    m_out.reserve(kFlushSize + 4096);
}

void NormalFormatter::flushIfFull()
{
    if (m_out.size() >= kFlushSize) {
        m_sink(m_out);
        m_out.clear();
    }
}

void NormalFormatter::write(const FileImage &image0, const FileImage &image1,
                            const EditScript &script)
{
    LineCursor cursors[2] = {LineCursor(image0, script.prefixEnd[0]),
                             LineCursor(image1, script.prefixEnd[1])};
    for (const ChangeRecord &change : script.changes) {
        const std::int64_t first0 = std::int64_t{change.line0} + script.prefixLines + 1;
        const std::int64_t first1 = std::int64_t{change.line1} + script.prefixLines + 1;
        appendRange(m_out, first0, first0 + change.deleted - 1);
        m_out += change.deleted == 0 ? 'a' : change.inserted == 0 ? 'd' : 'c';
        appendRange(m_out, first1, first1 + change.inserted - 1);
        m_out += '\n';

        const std::int32_t lineStart[2] = {change.line0, change.line1};
        const std::int32_t lineCount[2] = {change.deleted, change.inserted};
        for (int f = 0; f < 2; ++f) {
            if (f == 1 && change.deleted != 0 && change.inserted != 0)
                m_out += "---\n";
            LineCursor &cursor = cursors[f];
            cursor.skipTo(lineStart[f]);
            for (std::int32_t k = 0; k < lineCount[f]; ++k) {
                bool incomplete = false;
                m_out += f == 0 ? "< " : "> ";
                m_out += cursor.current(incomplete);
                m_out += incomplete ? "\n\\ No newline at end of file\n" : "\n";
                cursor.next();
                flushIfFull();
            }
        }
        flushIfFull();
    }
    if (!m_out.empty()) {
        m_sink(m_out);
        m_out.clear();
    }
}

std::string NormalFormatter::format(const FileImage &image0, const FileImage &image1,
                                    const EditScript &script)
{
    std::string all;
    NormalFormatter formatter([&all](std::string_view piece) { all += piece; });
    formatter.write(image0, image1, script);
    return all;
}

} // namespace compare
