// ravelind-diff against GNU diff: on text without CR both implement the same algorithm, so
// every byte of the output and the exit status must agree. A difference is a fault.

#include "testfiles.h"

#include <views/compare/fileimage.h>
#include <views/compare/normalformatter.h>
#include <views/compare/textcomparer.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

namespace {

using compare::CompareStatus;
using compare::FileImage;
using compare::NormalFormatter;
using compare::TextComparer;
using comparetest::TextShape;

const std::string kGnuDiff = GNU_DIFF_PROGRAM;
const std::string kRavelindDiff = RAVELIND_DIFF_PROGRAM;
// GNU diff 3.4 and later never cut the search off below this cost.
constexpr std::int32_t kGnuCostFloor = 4096;

class GnuDiffAgreement : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // "\ No newline at end of file" is translated in other locales.
        ::setenv("LC_ALL", "C", 1);
    }

    void SetUp() override
    {
        ASSERT_EQ(::access(kGnuDiff.c_str(), X_OK), 0)
            << kGnuDiff << " is missing: install GNU diffutils to run these tests";
    }

    // Compares in-process and formats as the program does; returns output and exit status.
    static comparetest::CommandResult ours(const std::string &first, const std::string &second,
                                           std::int32_t costFloor = 256)
    {
        FileImage image0 = FileImage::fromBytes(first);
        FileImage image1 = FileImage::fromBytes(second);
        TextComparer comparer;
        comparer.setCostFloor(costFloor);
        const CompareStatus status = comparer.compareImages(image0, image1);
        if (status == CompareStatus::NoDifferences)
            return {0, {}};
        return {1, NormalFormatter::format(image0, image1, comparer.script())};
    }

    comparetest::CommandResult gnu(const std::string &first, const std::string &second)
    {
        return comparetest::runProgram(
            {kGnuDiff, m_dir.write("first", first), m_dir.write("second", second)});
    }

    comparetest::TempDir m_dir;
};

// Reports the first line where the outputs part, not two whole outputs.
void expectSame(const comparetest::CommandResult &ours, const comparetest::CommandResult &gnu)
{
    EXPECT_EQ(ours.exitStatus, gnu.exitStatus);
    if (ours.output == gnu.output)
        return;
    const std::vector<std::string> a = comparetest::splitLines(ours.output);
    const std::vector<std::string> b = comparetest::splitLines(gnu.output);
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    ADD_FAILURE() << "outputs part at line " << i + 1 << ": ours \""
                  << (i < a.size() ? a[i] : "<end>") << "\", GNU diff \""
                  << (i < b.size() ? b[i] : "<end>") << "\" (" << a.size() << " against "
                  << b.size() << " lines)";
}

struct Shape
{
    TextShape shape;
    int lines;
    int edits;
    int pairs;
};

TEST_F(GnuDiffAgreement, GeneratedPairsPrintTheSameScript)
{
    // Kept small enough that the cost cut-off (ours 256, GNU's 4096) is never reached.
    const Shape shapes[] = {
        {TextShape::Random, 200, 8, 40},     {TextShape::Random, 40, 30, 30},
        {TextShape::Repetitive, 200, 8, 50}, {TextShape::Repetitive, 60, 40, 40},
        {TextShape::Runs, 400, 8, 50},       {TextShape::Repetitive, 2, 2, 30},
    };
    std::uint64_t seed = 500;
    for (const Shape &s : shapes) {
        for (int n = 0; n < s.pairs; ++n, ++seed) {
            SCOPED_TRACE("seed " + std::to_string(seed));
            const comparetest::TextPair pair =
                comparetest::makePair(seed, s.shape, s.lines, s.edits);
            expectSame(ours(pair.first, pair.second), gnu(pair.first, pair.second));
            if (HasFailure())
                return;
        }
    }
}

TEST_F(GnuDiffAgreement, CutOffPathMatchesWithGnusCostFloor)
{
    // Unrelated files of a small vocabulary: the search gives up at the cut-off many times.
    for (std::uint64_t seed = 900; seed < 901; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const std::string first =
            comparetest::makePair(seed, TextShape::Repetitive, 12000, 0).first;
        const std::string second =
            comparetest::makePair(seed + 50, TextShape::Repetitive, 12000, 0).first;
        expectSame(ours(first, second, kGnuCostFloor), gnu(first, second));
    }
}

struct Named
{
    const char *name;
    std::string first;
    std::string second;
};

void PrintTo(const Named &c, std::ostream *os)
{
    *os << c.name;
}

class GnuDiffAgreementRows : public GnuDiffAgreement, public testing::WithParamInterface<Named>
{
};

TEST_P(GnuDiffAgreementRows, PrintsWhatGnuDiffPrints)
{
    const Named &c = GetParam();
    expectSame(ours(c.first, c.second), gnu(c.first, c.second));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, GnuDiffAgreementRows,
    testing::Values(Named{"Identical", "a\nb\n", "a\nb\n"}, Named{"BothEmpty", "", ""},
                    Named{"FirstEmpty", "", "a\nb\n"}, Named{"SecondEmpty", "a\nb\n", ""},
                    Named{"OneLineChanged", "a\nb\nc\n", "a\nB\nc\n"},
                    Named{"LinesAdded", "a\nb\n", "a\nx\ny\nb\n"},
                    Named{"LinesDeleted", "a\nb\nc\nd\n", "a\nd\n"},
                    Named{"FirstMissingNewline", "a\nb", "a\nb\n"},
                    Named{"SecondMissingNewline", "a\nb\n", "a\nb"},
                    Named{"BothMissingNewlineDifferent", "a\nb", "a\nc"},
                    Named{"MissingNewlineOnEmptyLastLine", "a\n", "a\n\n"},
                    Named{"OnlyLineWithoutNewline", "a", "b"},
                    Named{"DeletedLastLineWithoutNewline", "a\nb", "a\n"},
                    Named{"EmptyLines", "\n\n\n", "\n\n"},
                    Named{"TabsAndSpaces", "a\tb\n c\n", "a b\n c \n"},
                    Named{"NonAsciiBytes", "\xc3\xa4\n\xff\n", "\xc3\xa4\n\xfe\n"},
                    // Lines are hashed eight bytes at a time: lines that part only after a
                    // word, or only in length, must stay apart.
                    Named{"LinesPartingAfterAWord",
                          "abcdefgh1\nabcdefgh2\nabcdefgh\nabcdefghabcdefgh\nabcdefg\n",
                          "abcdefgh2\nabcdefgh\nabcdefgh1\nabcdefghabcdefgX\nabcdefgh\n"},
                    Named{"LinesPartingInATrailingZeroByte",
                          std::string(9000, 'x') + "\na\nb\n" + std::string("a\0\nb\n", 5),
                          std::string(9000, 'x') + "\n" + std::string("a\0\nb\n", 5) + "a\nb\n"},
                    Named{"LastLineWithoutNewlineMatchesNoCompleteLine", "x\na\ny\n",
                          "a\nx\ny\na"}),
    [](const testing::TestParamInfo<Named> &row) { return std::string(row.param.name); });

TEST_F(GnuDiffAgreement, ProgramPrintsAndExitsLikeGnuDiff)
{
    for (std::uint64_t seed = 700; seed < 708; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const comparetest::TextPair pair =
            comparetest::makePair(seed, TextShape::Repetitive, 150, seed % 3 == 0 ? 0 : 10);
        const std::string path0 = m_dir.write("first", pair.first);
        const std::string path1 = m_dir.write("second", pair.second);
        expectSame(comparetest::runProgram({kRavelindDiff, path0, path1}),
                   comparetest::runProgram({kGnuDiff, path0, path1}));
    }
}

TEST_F(GnuDiffAgreement, ProgramReportsBinaryFilesAndTrouble)
{
    const std::string binary0 = m_dir.write("binary0", std::string("a\0b\n", 4));
    const std::string binary1 = m_dir.write("binary1", std::string("a\0c\n", 4));
    const std::string text = m_dir.write("text", "a\n");
    const std::string missing = (m_dir.path() / "missing").string();
    for (const auto &[path0, path1] : {std::pair{binary0, binary1}, std::pair{binary0, binary0},
                                       std::pair{text, missing}, std::pair{missing, text}}) {
        SCOPED_TRACE(path0 + " " + path1);
        expectSame(comparetest::runProgram({kRavelindDiff, path0, path1}),
                   comparetest::runProgram({kGnuDiff, path0, path1}));
    }
}

TEST_F(GnuDiffAgreement, ProgramReadsCrLfAsTheWindowDoesUnlessRaw)
{
    const std::string crlf = m_dir.write("crlf", "a\r\nb\r\n");
    const std::string lf = m_dir.write("lf", "a\nb\n");
    const comparetest::CommandResult text = comparetest::runProgram({kRavelindDiff, crlf, lf});
    EXPECT_EQ(text.exitStatus, 0);
    EXPECT_EQ(text.output, "");
    expectSame(comparetest::runProgram({kRavelindDiff, "--raw", crlf, lf}),
               comparetest::runProgram({kGnuDiff, crlf, lf}));
}

} // namespace
