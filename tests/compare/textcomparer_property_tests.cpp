#include "testfiles.h"

#include <views/compare/fileimage.h>
#include <views/compare/textcomparer.h>

#include <gtest/gtest.h>

namespace {

using compare::CompareStatus;
using compare::DiffRow;
using compare::DiffRowKind;
using compare::EditScript;
using compare::FileImage;
using compare::TextComparer;
using compare::VectorRowList;
using comparetest::TextShape;

struct PropertyCase
{
    const char *name;
    TextShape shape;
    int lines;
    int edits;
    int pairs;
};

void PrintTo(const PropertyCase &c, std::ostream *os)
{
    *os << c.name;
}

// A row list of the kind a window model provides: one insertion per filler row.
class ModelRowList final : public compare::RowList
{
public:
    explicit ModelRowList(std::vector<DiffRow> rows)
        : m_rows(std::move(rows))
    {
    }
    std::size_t rowCount() const override { return m_rows.size(); }
    void setKind(std::size_t index, DiffRowKind kind) override { m_rows.at(index).kind = kind; }
    void insertRow(std::size_t index, DiffRow row) override
    {
        ASSERT_LE(index, m_rows.size());
        m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(index), std::move(row));
    }
    const std::vector<DiffRow> &rows() const { return m_rows; }

private:
    std::vector<DiffRow> m_rows;
};

class TextComparerProperties : public testing::TestWithParam<PropertyCase>
{
};

// Replays the script on the first file's lines; the result must be the second file's lines.
std::vector<std::string> applyToLines(const EditScript &script,
                                      const std::vector<std::string> &first,
                                      const std::vector<std::string> &second)
{
    std::vector<std::string> out;
    std::size_t at = 0;
    for (const compare::ChangeRecord &change : script.changes) {
        const std::size_t line0 = static_cast<std::size_t>(script.prefixLines + change.line0);
        const std::size_t line1 = static_cast<std::size_t>(script.prefixLines + change.line1);
        while (at < line0 && at < first.size())
            out.push_back(first[at++]);
        at += static_cast<std::size_t>(change.deleted);
        for (int k = 0; k < change.inserted && line1 + k < second.size(); ++k)
            out.push_back(second[line1 + static_cast<std::size_t>(k)]);
    }
    while (at < first.size())
        out.push_back(first[at++]);
    return out;
}

// The rows rebuild both files: the left rows without fillers are the first file, the right
// ones the second, numbered 1, 2, ...; fillers face lines of the other file; equal rows face
// equal lines; 3 is never a kind.
void checkRows(const std::vector<DiffRow> &left, const std::vector<DiffRow> &right,
               const std::vector<std::string> &first, const std::vector<std::string> &second)
{
    ASSERT_EQ(left.size(), right.size());
    std::size_t next0 = 0;
    std::size_t next1 = 0;
    for (std::size_t i = 0; i < left.size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        const DiffRow &l = left[i];
        const DiffRow &r = right[i];
        for (const DiffRow *row : {&l, &r}) {
            const auto kind = static_cast<int>(row->kind);
            ASSERT_TRUE(kind == 0 || kind == 1 || kind == 2 || kind == 4) << kind;
        }
        ASSERT_EQ(l.kind == DiffRowKind::Same, r.kind == DiffRowKind::Same);
        ASSERT_EQ(l.kind == DiffRowKind::Changed, r.kind == DiffRowKind::Changed);
        if (l.lineNumber == 0) {
            ASSERT_EQ(l.kind, DiffRowKind::Inserted);
            ASSERT_EQ(r.kind, DiffRowKind::Inserted);
            ASSERT_EQ(l.text, "");
        } else {
            ASSERT_LT(next0, first.size());
            ASSERT_EQ(l.lineNumber, static_cast<int>(next0 + 1));
            ASSERT_EQ(l.text, first[next0++]);
        }
        if (r.lineNumber == 0) {
            ASSERT_EQ(r.kind, DiffRowKind::Deleted);
            ASSERT_EQ(l.kind, DiffRowKind::Deleted);
            ASSERT_EQ(r.text, "");
        } else {
            ASSERT_LT(next1, second.size());
            ASSERT_EQ(r.lineNumber, static_cast<int>(next1 + 1));
            ASSERT_EQ(r.text, second[next1++]);
        }
        if (l.kind == DiffRowKind::Same) {
            ASSERT_EQ(l.text, r.text);
        }
    }
    EXPECT_EQ(next0, first.size());
    EXPECT_EQ(next1, second.size());
}

TEST_P(TextComparerProperties, ScriptTurnsFirstIntoSecondAndRowsRebuildBoth)
{
    const PropertyCase &c = GetParam();
    for (int n = 0; n < c.pairs; ++n) {
        const std::uint64_t seed = 1000003u * static_cast<std::uint64_t>(c.shape) + n;
        SCOPED_TRACE("seed " + std::to_string(seed));
        const comparetest::TextPair pair = comparetest::makePair(seed, c.shape, c.lines, c.edits);
        FileImage image0 = FileImage::fromBytes(pair.first);
        FileImage image1 = FileImage::fromBytes(pair.second);
        VectorRowList left(FileImage::fromBytes(pair.first).makeRows());
        VectorRowList right(FileImage::fromBytes(pair.second).makeRows());

        TextComparer comparer;
        const CompareStatus status = comparer.compareImages(image0, image1);
        ASSERT_EQ(status, pair.first == pair.second ? CompareStatus::NoDifferences
                                                    : CompareStatus::Differences);
        const std::vector<std::string> first = comparetest::splitLines(pair.first);
        const std::vector<std::string> second = comparetest::splitLines(pair.second);
        ASSERT_EQ(applyToLines(comparer.script(), first, second), second);
        // Line feeds matter: a last line with and without one must not be paired as equal.
        if (pair.first != pair.second && first == second) {
            ASSERT_FALSE(comparer.script().changes.empty());
        }

        ASSERT_TRUE(TextComparer::applyScript(comparer.script(), left, right));
        checkRows(left.rows(), right.rows(), first, second);
        // Row by row insertion, as a window model does it, gives the very same rows.
        ModelRowList modelLeft(FileImage::fromBytes(pair.first).makeRows());
        ModelRowList modelRight(FileImage::fromBytes(pair.second).makeRows());
        ASSERT_TRUE(TextComparer::applyScript(comparer.script(), modelLeft, modelRight));
        ASSERT_EQ(modelLeft.rows(), left.rows());
        ASSERT_EQ(modelRight.rows(), right.rows());
        if (testing::Test::HasFatalFailure())
            return;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Generated, TextComparerProperties,
    testing::Values(PropertyCase{"RandomFewEdits", TextShape::Random, 300, 6, 60},
                    PropertyCase{"RandomManyEdits", TextShape::Random, 300, 120, 30},
                    PropertyCase{"RepetitiveFewEdits", TextShape::Repetitive, 300, 6, 60},
                    PropertyCase{"RepetitiveManyEdits", TextShape::Repetitive, 400, 150, 30},
                    PropertyCase{"LongRunsOfEqualLines", TextShape::Runs, 600, 10, 60},
                    PropertyCase{"TinyFiles", TextShape::Repetitive, 3, 2, 100},
                    // Large and very different: the cost cut-off splits the ranges.
                    PropertyCase{"CutOffOnLargeRewrites", TextShape::Repetitive, 3000, 1200, 2}),
    [](const testing::TestParamInfo<PropertyCase> &row) { return std::string(row.param.name); });

} // namespace
