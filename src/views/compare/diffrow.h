#pragma once

#include <cstdint>
#include <string>

namespace compare {

// The kind of a row in a comparison pane. The numbers are kept as they are because the panes
// and their colours are keyed on them; 3 is never used.
enum class DiffRowKind : std::int32_t {
    Same = 0,     // line present in both files
    Inserted = 1, // line only in the second file, or its facing filler row in the first list
    Changed = 2,  // line replaced one-for-one
    Deleted = 4,  // line only in the first file, or its facing filler row in the second list
};

// One row of a comparison pane: a line of one file, or a blank filler row (line number 0).
struct DiffRow
{
    DiffRowKind kind = DiffRowKind::Same;
    std::int32_t lineNumber = 0; // 1-based; 0 for a filler row
    std::int32_t bold = 0;       // non-zero draws the row bold; the engine writes 0
    std::string text;            // the line without its line end; "" for a filler row

    bool operator==(const DiffRow &) const = default;
};

} // namespace compare
