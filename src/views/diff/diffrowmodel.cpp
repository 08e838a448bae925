#include "diffrowmodel.h"

#include <cstring>
#include <limits>
#include <new>

namespace views {

using compare::DiffRowKind;

namespace {

// Rows built between two looks at the cancel flag.
constexpr std::size_t kCancelStride = std::size_t{1} << 16;

bool cancelled(const std::atomic<bool> *cancel)
{
    return cancel && cancel->load(std::memory_order_relaxed);
}

// The start of every line of a prepared text, and its end; the same lines the engine and
// FileImage::makeRows count, at most as many as a row can number.
bool findLineStarts(const compare::FileImage &image, std::vector<std::size_t> &starts,
                    const std::atomic<bool> *cancel)
{
    const char *const begin = image.data();
    const char *const end = begin + image.size();
    starts.clear();
    starts.reserve(image.lineCountHint() + 1);
    const char *p = begin;
    while (p < end) {
        if (starts.size() == std::size_t(std::numeric_limits<std::int32_t>::max()))
            break;
        if ((starts.size() & (kCancelStride - 1)) == 0 && cancelled(cancel))
            return false;
        starts.push_back(static_cast<std::size_t>(p - begin));
        p = static_cast<const char *>(std::memchr(p, '\n', static_cast<std::size_t>(end - p))) + 1;
    }
    starts.push_back(static_cast<std::size_t>(p - begin));
    return true;
}

} // namespace

DiffRowModel::Result DiffRowModel::compareFiles(const std::string &path0, const std::string &path1,
                                                const std::atomic<bool> *cancel)
{
    Result result;
    compare::FileImage image0 = compare::FileImage::load(path0);
    if (cancelled(cancel)) {
        result.status = compare::CompareStatus::Cancelled;
        return result;
    }
    compare::FileImage image1 = compare::FileImage::load(path1);
    result.fileError[0] = image0.error();
    result.fileError[1] = image1.error();
    compare::TextComparer comparer(cancel);
    result.status = comparer.compareImages(image0, image1);
    if (result.status == compare::CompareStatus::Cancelled ||
        result.status == compare::CompareStatus::Failed)
        return result;
    result.model = build(std::move(image0), std::move(image1), comparer.script(), cancel);
    if (!result.model)
        result.status =
            cancelled(cancel) ? compare::CompareStatus::Cancelled : compare::CompareStatus::Failed;
    return result;
}

std::unique_ptr<DiffRowModel> DiffRowModel::build(compare::FileImage image0,
                                                  compare::FileImage image1,
                                                  const compare::EditScript &script,
                                                  const std::atomic<bool> *cancel)
{
    try {
        std::unique_ptr<DiffRowModel> model(new DiffRowModel);
        model->m_images[kLeft] = std::move(image0);
        model->m_images[kRight] = std::move(image1);
        for (int side : {kLeft, kRight}) {
            model->m_images[side].prepareText(compare::ReadMode::Text);
            if (!findLineStarts(model->m_images[side], model->m_lineStarts[side], cancel))
                return nullptr;
        }
        const std::size_t lines[2] = {model->m_lineStarts[kLeft].size() - 1,
                                      model->m_lineStarts[kRight].size() - 1};

        // Where the script names lines the texts lack, the rows stay as they are (all Same),
        // as the engine leaves rows alone that were not built from the compared files.
        std::size_t fillers[2] = {0, 0};
        bool fits = true;
        for (const compare::ChangeRecord &change : script.changes) {
            const std::size_t first0 = std::size_t(script.prefixLines) + std::size_t(change.line0);
            const std::size_t first1 = std::size_t(script.prefixLines) + std::size_t(change.line1);
            fits = fits && first0 + std::size_t(change.deleted) <= lines[0] &&
                   first1 + std::size_t(change.inserted) <= lines[1];
            if (change.deleted != change.inserted) {
                fillers[0] += std::size_t(change.inserted);
                fillers[1] += std::size_t(change.deleted);
            }
        }
        const std::vector<compare::ChangeRecord> none;
        const std::vector<compare::ChangeRecord> &changes = fits ? script.changes : none;
        if (!fits)
            fillers[0] = fillers[1] = 0;

        std::vector<Row> &left = model->m_rows[kLeft];
        std::vector<Row> &right = model->m_rows[kRight];
        left.reserve(lines[0] + fillers[0]);
        right.reserve(lines[1] + fillers[1]);
        std::int32_t next[2] = {0, 0};
        auto line = [&](std::vector<Row> &rows, int side, DiffRowKind kind) {
            rows.push_back(Row{++next[side], std::uint8_t(kind), 0});
        };
        auto filler = [](std::vector<Row> &rows, DiffRowKind kind) {
            rows.push_back(Row{0, std::uint8_t(kind), 0});
        };
        auto sameUpTo = [&](std::size_t end0, std::size_t end1) {
            while (std::size_t(next[0]) < end0) {
                if ((left.size() & (kCancelStride - 1)) == 0 && cancelled(cancel))
                    return false;
                line(left, kLeft, DiffRowKind::Same);
            }
            while (std::size_t(next[1]) < end1)
                line(right, kRight, DiffRowKind::Same);
            return true;
        };
        for (const compare::ChangeRecord &change : changes) {
            if (!sameUpTo(std::size_t(script.prefixLines + change.line0),
                          std::size_t(script.prefixLines + change.line1)))
                return nullptr;
            const std::size_t row = left.size();
            if (change.deleted == change.inserted) {
                for (std::int32_t k = 0; k < change.deleted; ++k) {
                    line(left, kLeft, DiffRowKind::Changed);
                    line(right, kRight, DiffRowKind::Changed);
                }
                model->m_blocks.push_back({row, std::size_t(change.deleted), DiffRowKind::Changed});
                continue;
            }
            // The new lines first, facing blank rows, then the old lines, facing blank rows.
            for (std::int32_t k = 0; k < change.inserted; ++k) {
                filler(left, DiffRowKind::Inserted);
                line(right, kRight, DiffRowKind::Inserted);
            }
            for (std::int32_t k = 0; k < change.deleted; ++k) {
                line(left, kLeft, DiffRowKind::Deleted);
                filler(right, DiffRowKind::Deleted);
            }
            if (change.inserted > 0)
                model->m_blocks.push_back(
                    {row, std::size_t(change.inserted), DiffRowKind::Inserted});
            if (change.deleted > 0)
                model->m_blocks.push_back({row + std::size_t(change.inserted),
                                           std::size_t(change.deleted), DiffRowKind::Deleted});
        }
        if (!sameUpTo(lines[0], lines[1]))
            return nullptr;
        return model;
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

std::string_view DiffRowModel::text(int side, std::size_t row) const
{
    const std::int32_t number = m_rows[side][row].lineNumber;
    if (number == 0)
        return {};
    const std::vector<std::size_t> &starts = m_lineStarts[side];
    const std::size_t begin = starts[std::size_t(number) - 1];
    const std::size_t end = starts[std::size_t(number)] - 1; // before the line feed
    return {m_images[side].data() + begin, end - begin};
}

void DiffRowModel::setBold(int side, std::size_t row, bool bold)
{
    Row &r = m_rows[side][row];
    if ((r.bold != 0) == bold)
        return;
    r.bold = bold ? 1 : 0;
    if (bold)
        ++m_boldCount[side];
    else
        --m_boldCount[side];
}

compare::DiffRow DiffRowModel::diffRow(int side, std::size_t row) const
{
    const Row &r = m_rows[side][row];
    return compare::DiffRow{kind(side, row), r.lineNumber, r.bold, std::string(text(side, row))};
}

std::size_t DiffRowModel::memoryBytes() const
{
    std::size_t bytes = sizeof *this + m_blocks.capacity() * sizeof(Block);
    for (int side : {kLeft, kRight}) {
        bytes += m_images[side].size() + m_lineStarts[side].capacity() * sizeof(std::size_t) +
                 m_rows[side].capacity() * sizeof(Row);
    }
    return bytes;
}

} // namespace views
