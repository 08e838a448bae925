#pragma once

#include "diffrow.h"

#include <cstddef>
#include <vector>

namespace compare {

// The three things the engine needs from a pane's rows. A comparison window implements this
// over its own model; the engine never sees a widget. Called on the thread that runs the
// comparison.
class RowList
{
public:
    virtual ~RowList() = default;
    virtual std::size_t rowCount() const = 0;
    virtual void setKind(std::size_t index, DiffRowKind kind) = 0;
    // Inserts before `index` (== rowCount() appends); the rows from `index` on move down.
    virtual void insertRow(std::size_t index, DiffRow row) = 0;
};

// A row list held in a vector: for tools, tests and a window that copies rows afterwards.
class VectorRowList final : public RowList
{
public:
    VectorRowList() = default;
    explicit VectorRowList(std::vector<DiffRow> rows)
        : m_rows(std::move(rows))
    {
    }

    std::size_t rowCount() const override { return m_rows.size(); }
    void setKind(std::size_t index, DiffRowKind kind) override { m_rows[index].kind = kind; }
    void insertRow(std::size_t index, DiffRow row) override
    {
        m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(index), std::move(row));
    }

    const std::vector<DiffRow> &rows() const { return m_rows; }
    std::vector<DiffRow> &rows() { return m_rows; }

private:
    std::vector<DiffRow> m_rows;
};

} // namespace compare
