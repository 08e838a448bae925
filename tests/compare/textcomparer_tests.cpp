#include "testfiles.h"

#include <views/compare/fileimage.h>
#include <views/compare/textcomparer.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <ostream>
#include <sstream>
#include <thread>

namespace compare {

void PrintTo(const DiffRow &row, std::ostream *os)
{
    *os << '{' << static_cast<int>(row.kind) << ' ' << row.lineNumber << " \"" << row.text << "\"}";
}

} // namespace compare

namespace {

using compare::CompareStatus;
using compare::DiffRow;
using compare::DiffRowKind;
using compare::FileImage;
using compare::TextComparer;
using compare::VectorRowList;

constexpr const char *kMissing = "\x01missing";

// "S1 I0 D2" = Same line 1, Inserted filler, Deleted line 2 (C = Changed).
struct ExpectedRow
{
    DiffRowKind kind;
    int lineNumber;
};

std::vector<ExpectedRow> layout(const std::string &text)
{
    std::vector<ExpectedRow> rows;
    std::istringstream in(text);
    std::string token;
    while (in >> token) {
        const char k = token[0];
        const DiffRowKind kind = k == 'S'   ? DiffRowKind::Same
                                 : k == 'I' ? DiffRowKind::Inserted
                                 : k == 'C' ? DiffRowKind::Changed
                                            : DiffRowKind::Deleted;
        rows.push_back({kind, std::stoi(token.substr(1))});
    }
    return rows;
}

// The window's side of a comparison: rows built from the files, then the engine run on them.
struct Compared
{
    CompareStatus status;
    std::vector<DiffRow> left;
    std::vector<DiffRow> right;
    std::vector<DiffRow> leftBefore;
    std::vector<DiffRow> rightBefore;
    int error0;
    int error1;
};

Compared compareFiles(const std::string &path0, const std::string &path1,
                      const std::atomic<bool> *cancel = nullptr)
{
    VectorRowList left(FileImage::load(path0).makeRows());
    VectorRowList right(FileImage::load(path1).makeRows());
    Compared result{CompareStatus::Failed, {}, {}, left.rows(), right.rows(), 0, 0};
    TextComparer comparer(cancel);
    comparer.setRows(&left, &right);
    result.status = comparer.compare(path0, path1);
    result.left = left.rows();
    result.right = right.rows();
    result.error0 = comparer.fileError(0);
    result.error1 = comparer.fileError(1);
    return result;
}

void expectLayout(const std::vector<DiffRow> &rows, const std::vector<DiffRow> &lines,
                  const std::string &expected, const char *side)
{
    const std::vector<ExpectedRow> want = layout(expected);
    ASSERT_EQ(rows.size(), want.size()) << side;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(std::string(side) + " row " + std::to_string(i));
        EXPECT_EQ(rows[i].kind, want[i].kind);
        EXPECT_EQ(rows[i].lineNumber, want[i].lineNumber);
        EXPECT_EQ(rows[i].bold, 0);
        // A row keeps its line's text; a filler row has none.
        const std::string text =
            want[i].lineNumber == 0 ? std::string() : lines[want[i].lineNumber - 1].text;
        EXPECT_EQ(rows[i].text, text);
    }
}

struct EdgeCase
{
    const char *name;
    std::string first; // kMissing: a path that does not exist
    std::string second;
    CompareStatus status;
    const char *left;
    const char *right;
};

void PrintTo(const EdgeCase &c, std::ostream *os)
{
    *os << c.name;
}

class TextComparerEdges : public testing::TestWithParam<EdgeCase>
{
};

TEST_P(TextComparerEdges, MarksRowsAsTheWindowShowsThem)
{
    const EdgeCase &c = GetParam();
    comparetest::TempDir dir;
    const std::string path0 =
        c.first == kMissing ? (dir.path() / "nothing0").string() : dir.write("first", c.first);
    const std::string path1 =
        c.second == kMissing ? (dir.path() / "nothing1").string() : dir.write("second", c.second);
    const Compared result = compareFiles(path0, path1);
    EXPECT_EQ(result.status, c.status);
    expectLayout(result.left, result.leftBefore, c.left, "left");
    expectLayout(result.right, result.rightBefore, c.right, "right");
    EXPECT_EQ(result.error0, c.first == kMissing ? ENOENT : 0);
    EXPECT_EQ(result.error1, c.second == kMissing ? ENOENT : 0);
}

const std::string kBinary("a\0b\nc\n", 6);

INSTANTIATE_TEST_SUITE_P(
    Rows, TextComparerEdges,
    testing::Values(
        EdgeCase{"Identical", "a\nb\nc\n", "a\nb\nc\n", CompareStatus::NoDifferences, "S1 S2 S3",
                 "S1 S2 S3"},
        EdgeCase{"BothEmpty", "", "", CompareStatus::NoDifferences, "", ""},
        EdgeCase{"CrLfAgainstLf", "a\r\nb\r\nc\r\n", "a\nb\nc\n", CompareStatus::NoDifferences,
                 "S1 S2 S3", "S1 S2 S3"},
        EdgeCase{"LoneCrIsText", "a\rb\n", "a\nb\n", CompareStatus::Differences, "I0 I0 D1",
                 "I1 I2 D0"},
        EdgeCase{"CtrlZEndsTheData", "a\nb\n\x1aignored\n", "a\nb\n", CompareStatus::NoDifferences,
                 "S1 S2", "S1 S2"},
        EdgeCase{"LastLineWithoutNewlineAgainstWith", "a\nb", "a\nb\n", CompareStatus::Differences,
                 "S1 C2", "S1 C2"},
        EdgeCase{"LastLineWithNewlineAgainstWithout", "a\nb\nc\n", "a\nb\nc",
                 CompareStatus::Differences, "S1 S2 C3", "S1 S2 C3"},
        EdgeCase{"BothLastLinesWithoutNewlineEqual", "a\nb", "a\nb", CompareStatus::NoDifferences,
                 "S1 S2", "S1 S2"},
        EdgeCase{"BothLastLinesWithoutNewlineDifferent", "a\nb", "a\nc", CompareStatus::Differences,
                 "S1 C2", "S1 C2"},
        EdgeCase{"MissingNewlineDoesNotMatchLaterLine", "a", "a\nb\n", CompareStatus::Differences,
                 "I0 I0 D1", "I1 I2 D0"},
        EdgeCase{"FirstFileEmpty", "", "x\ny\nz\n", CompareStatus::Differences, "I0 I0 I0",
                 "I1 I2 I3"},
        EdgeCase{"SecondFileEmpty", "x\ny\n", "", CompareStatus::Differences, "D1 D2", "D0 D0"},
        EdgeCase{"TwoLinesReplacedByTwo", "a\nb\nc\nd\n", "a\nX\nY\nd\n",
                 CompareStatus::Differences, "S1 C2 C3 S4", "S1 C2 C3 S4"},
        EdgeCase{"TwoLinesReplacedByThree", "a\nb\nc\nd\n", "a\nX\nY\nZ\nd\n",
                 CompareStatus::Differences, "S1 I0 I0 I0 D2 D3 S4", "S1 I2 I3 I4 D0 D0 S5"},
        EdgeCase{"ChangesAtBothEnds", "x\na\nb\ny\n", "X\na\nb\nY\n", CompareStatus::Differences,
                 "C1 S2 S3 C4", "C1 S2 S3 C4"},
        // The backward search matches the last blank lines first; shifting moves the insertion
        // down to the last blank line.
        EdgeCase{"BlankLineInsertedAmongBlanks", "x\np\nq\na\n\n\nb\ny\n",
                 "X\nq\np\na\n\n\n\nb\nY\n", CompareStatus::Differences,
                 "I0 D1 D2 S3 I0 S4 S5 S6 I0 S7 C8", "I1 D0 D0 S2 I3 S4 S5 S6 I7 S8 C9"},
        // Next to a change in the other file the insertion stays lined up with it.
        EdgeCase{"BlankLineLinedUpWithChange", "a\nb\n\n\nc\nd\n", "a\nB\n\n\n\nc\nD\n",
                 CompareStatus::Differences, "S1 I0 I0 D2 S3 S4 S5 C6", "S1 I2 I3 D0 S4 S5 S6 C7"},
        EdgeCase{"ZeroByteEarlyLeavesRowsAlone", kBinary, "a\nc\n", CompareStatus::BinaryDiffer,
                 "S1 S2", "S1 S2"},
        EdgeCase{"ZeroByteEarlyInSecondFile", "a\nc\n", kBinary, CompareStatus::BinaryDiffer,
                 "S1 S2", "S1 S2"},
        EdgeCase{"IdenticalBinaryFiles", kBinary, kBinary, CompareStatus::NoDifferences, "S1 S2",
                 "S1 S2"},
        EdgeCase{"FirstFileCannotBeOpened", kMissing, "x\ny\n", CompareStatus::Differences, "I0 I0",
                 "I1 I2"},
        EdgeCase{"SecondFileCannotBeOpened", "x\n", kMissing, CompareStatus::Differences, "D1",
                 "D0"},
        EdgeCase{"NeitherFileCanBeOpened", kMissing, kMissing, CompareStatus::NoDifferences, "",
                 ""}),
    [](const testing::TestParamInfo<EdgeCase> &row) { return std::string(row.param.name); });

TEST(TextComparerBinary, ZeroByteAfterTheFirst8192BytesIsComparedAsText)
{
    comparetest::TempDir dir;
    const std::string blanks(8192, '\n');
    const Compared result = compareFiles(dir.write("first", blanks + std::string("\0\n", 2)),
                                         dir.write("second", blanks));
    EXPECT_EQ(result.status, CompareStatus::Differences);
    ASSERT_EQ(result.left.size(), 8193u);
    EXPECT_EQ(result.left.back().kind, DiffRowKind::Deleted);
    EXPECT_EQ(result.left.back().lineNumber, 8193);
    EXPECT_EQ(result.right.size(), 8193u);
}

TEST(TextComparerCancel, SetFlagReturnsCancelledWithRowsUntouched)
{
    comparetest::TempDir dir;
    const comparetest::TextPair pair =
        comparetest::makePair(7, comparetest::TextShape::Repetitive, 3000, 200);
    const std::string path0 = dir.write("first", pair.first);
    const std::string path1 = dir.write("second", pair.second);
    ASSERT_EQ(compareFiles(path0, path1).status, CompareStatus::Differences);

    const std::atomic<bool> cancel{true};
    const Compared result = compareFiles(path0, path1, &cancel);
    EXPECT_EQ(result.status, CompareStatus::Cancelled);
    EXPECT_EQ(result.left, result.leftBefore);
    EXPECT_EQ(result.right, result.rightBefore);
}

TEST(TextComparerCancel, FlagSetDuringTheSearchStopsIt)
{
    // Very different files keep the search busy; a second thread raises the flag meanwhile.
    const comparetest::TextPair a =
        comparetest::makePair(11, comparetest::TextShape::Repetitive, 200000, 0);
    const comparetest::TextPair b =
        comparetest::makePair(12, comparetest::TextShape::Repetitive, 200000, 0);
    FileImage image0 = FileImage::fromBytes(a.first);
    FileImage image1 = FileImage::fromBytes(b.first);
    std::atomic<bool> cancel{false};
    TextComparer comparer(&cancel);
    comparer.setCostFloor(1 << 30); // never give up early: only the flag can end it soon
    std::thread canceller([&cancel] { cancel.store(true); });
    const CompareStatus status = comparer.compareImages(image0, image1);
    canceller.join();
    EXPECT_EQ(status, CompareStatus::Cancelled);
    EXPECT_TRUE(comparer.script().changes.empty());
}

TEST(TextComparerRows, RowsFromOtherFilesAreLeftAlone)
{
    comparetest::TempDir dir;
    const std::string path0 = dir.write("first", "a\nb\nc\n");
    const std::string path1 = dir.write("second", "a\nb\nc\nd\ne\n");
    VectorRowList left(FileImage::fromBytes("a\nb\nc\n").makeRows());
    VectorRowList right(FileImage::fromBytes("a\n").makeRows()); // too few rows
    const std::vector<DiffRow> leftBefore = left.rows();
    const std::vector<DiffRow> rightBefore = right.rows();
    TextComparer comparer;
    comparer.setRows(&left, &right);
    EXPECT_EQ(comparer.compare(path0, path1), CompareStatus::Differences);
    EXPECT_EQ(left.rows(), leftBefore);
    EXPECT_EQ(right.rows(), rightBefore);
}

} // namespace
