#pragma once

#include "fileimage.h"
#include "rowlist.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace compare {

// One block of the edit script: `deleted` lines of the first file replaced by `inserted`
// lines of the second. Line indexes are 0-based and counted from the end of the identical
// prefix; with nothing deleted, line0 is the line before which the lines are inserted (and
// likewise line1 with nothing inserted).
struct ChangeRecord
{
    std::int32_t line0 = 0;
    std::int32_t line1 = 0;
    std::int32_t deleted = 0;
    std::int32_t inserted = 0;

    bool operator==(const ChangeRecord &) const = default;
};

struct EditScript
{
    std::vector<ChangeRecord> changes; // ascending line order
    std::int32_t prefixLines = 0;      // lines of the identical prefix, not in `changes`
    std::size_t prefixEnd[2] = {0, 0}; // byte offset of line 0 of each file's compared part

    bool operator==(const EditScript &) const = default;
};

enum class CompareStatus {
    NoDifferences = 0,
    Differences = 1,  // a non-empty script was found (and applied to the rows, if given)
    BinaryDiffer = 2, // compared as binary data and different; rows untouched
    Cancelled,        // the cancel flag was seen; rows untouched
    Failed,           // out of memory, or more lines than a row can number; rows untouched
};

// The line comparison engine: Myers' O(ND) difference algorithm with a cost cut-off,
// prefix/suffix trimming, discarding of confusing lines and boundary shifting, the way GNU
// diff does it. One comparer per comparison; it keeps nothing between calls but the script.
class TextComparer
{
public:
    // `cancel`, if given, is polled (without waiting) inside the search.
    explicit TextComparer(const std::atomic<bool> *cancel = nullptr);

    // The panes' rows to mark; both null (the default) leaves marking out.
    void setRows(RowList *leftRows, RowList *rightRows);
    void setReadMode(ReadMode mode) { m_readMode = mode; }
    // The cost cut-off never drops below this (256 by default). GNU diff 3.4 and later use
    // 4096; the setting exists so the engine can be checked against it on very different files.
    void setCostFloor(std::int32_t floor) { m_costFloor = floor; }

    // Blocks on the calling thread: reads both files, compares them and marks the rows.
    // A file that cannot be opened is compared as an empty file (see fileError()).
    CompareStatus compare(const std::string &path0, const std::string &path1);
    int fileError(int file) const { return m_fileError[file]; }

    // The same on two loaded images, which keep their text for printing the script.
    CompareStatus compareImages(FileImage &image0, FileImage &image1);

    const EditScript &script() const { return m_script; }

    // Marks the rows: sets the kinds of differing rows and inserts filler rows so that equal
    // lines face each other. Returns false, touching nothing, when the rows are too few for
    // the script (they were not built from the compared files).
    static bool applyScript(const EditScript &script, RowList &leftRows, RowList &rightRows);
    // The same result on rows held in vectors, built in one pass instead of one insertion
    // per filler row (which costs time in proportion to rows times fillers).
    static bool applyScript(const EditScript &script, std::vector<DiffRow> &leftRows,
                            std::vector<DiffRow> &rightRows);

private:
    const std::atomic<bool> *m_cancel = nullptr;
    RowList *m_leftRows = nullptr;
    RowList *m_rightRows = nullptr;
    ReadMode m_readMode = ReadMode::Text;
    std::int32_t m_costFloor = 256;
    int m_fileError[2] = {0, 0};
    EditScript m_script;
};

} // namespace compare
