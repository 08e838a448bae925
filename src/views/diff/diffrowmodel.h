#pragma once

// The rows of both panes of a comparison window: one per line of each file plus the blank
// filler rows of the comparison engine, so that equal lines face each other. The file texts
// are held once, in the images the engine read; a row is 8 bytes, and nothing is allocated per
// row, so a million-line comparison costs little beyond the files themselves.

#include <views/compare/diffrow.h>
#include <views/compare/fileimage.h>
#include <views/compare/textcomparer.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace views {

class DiffRowModel
{
public:
    static constexpr int kLeft = 0;  // the first file
    static constexpr int kRight = 1; // the second file

    // A run of rows of one kind other than Same, the same rows on both sides.
    struct Block
    {
        std::size_t firstRow = 0;
        std::size_t rowCount = 0;
        compare::DiffRowKind kind = compare::DiffRowKind::Changed;
    };

    struct Result
    {
        std::unique_ptr<DiffRowModel> model; // null when cancelled or out of memory
        compare::CompareStatus status = compare::CompareStatus::Failed;
        int fileError[2] = {0, 0}; // errno of a file that could not be read (compared as empty)
    };

    // Reads and compares both files and builds the rows; blocks, on the calling thread, and
    // polls `cancel` (may be null) often enough to return within moments of it being set.
    static Result compareFiles(const std::string &path0, const std::string &path1,
                               const std::atomic<bool> *cancel = nullptr);

    // The rows of two images the engine has compared into `script` (or of two images compared
    // as binary data, with an empty script: all rows Same). Null when cancelled.
    static std::unique_ptr<DiffRowModel> build(compare::FileImage image0, compare::FileImage image1,
                                               const compare::EditScript &script,
                                               const std::atomic<bool> *cancel = nullptr);

    std::size_t rowCount() const { return m_rows[kLeft].size(); } // the same on both sides
    compare::DiffRowKind kind(int side, std::size_t row) const
    {
        return static_cast<compare::DiffRowKind>(m_rows[side][row].kind);
    }
    std::int32_t lineNumber(int side, std::size_t row) const
    {
        return m_rows[side][row].lineNumber;
    }
    // The line without its line end; empty for a filler row. Valid while the model lives.
    std::string_view text(int side, std::size_t row) const;
    bool bold(int side, std::size_t row) const { return m_rows[side][row].bold != 0; }
    void setBold(int side, std::size_t row, bool bold);
    std::size_t boldCount(int side) const { return m_boldCount[side]; }
    // The row as the engine's record, for comparing with what the engine marks.
    compare::DiffRow diffRow(int side, std::size_t row) const;

    const std::vector<Block> &blocks() const { return m_blocks; }
    // What the model holds in memory, texts included.
    std::size_t memoryBytes() const;

private:
    struct Row
    {
        std::int32_t lineNumber; // 0 for a filler row
        std::uint8_t kind;       // a compare::DiffRowKind
        std::uint8_t bold;
    };

    DiffRowModel() = default;

    compare::FileImage m_images[2];
    std::vector<std::size_t> m_lineStarts[2]; // one more than lines: the end of the last
    std::vector<Row> m_rows[2];
    std::vector<Block> m_blocks;
    std::size_t m_boldCount[2] = {0, 0};
};

} // namespace views
