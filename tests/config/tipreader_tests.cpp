#include <config/tipreader.h>

#include "tempfolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <utime.h>

using config::TipReader;

namespace {

void writeFile(const std::filesystem::path &path, const std::string &text, std::int64_t mtime)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    const utimbuf times{static_cast<time_t>(mtime), static_cast<time_t>(mtime)};
    ::utime(path.c_str(), &times);
}

std::vector<std::string> tips(TipReader &reader, int n)
{
    std::vector<std::string> out;
    std::string tip;
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(reader.next(tip), TipReader::Next::Tip);
        out.push_back(tip);
    }
    return out;
}

class TipReaderTest : public ::testing::Test
{
protected:
    TempFolder m_folder;
    std::filesystem::path m_file = m_folder / "tips437.txt";
};

TEST_F(TipReaderTest, SkipsBlankAndCommentLinesAndWrapsAtTheEnd)
{
    writeFile(m_file, "; comment\nFirst tip\n\n\tindented\n second\nSecond tip\n;last\n", 1000);
    TipReader reader;
    ASSERT_EQ(reader.open(m_file, 0, {}), TipReader::Opened::Yes);
    EXPECT_EQ(tips(reader, 3),
              (std::vector<std::string>{"First tip\n", "Second tip\n", "First tip\n"}));
}

TEST_F(TipReaderTest, GoesOnWhereItStoppedWhileTheFileIsTheSame)
{
    writeFile(m_file, "One\nTwo\nThree\n", 1000);
    TipReader first;
    ASSERT_EQ(first.open(m_file, 0, {}), TipReader::Opened::Yes);
    EXPECT_TRUE(first.timeStampChanged()); // nothing was stored yet
    tips(first, 1);
    const std::uint64_t stoppedAt = first.position();
    const std::string stamp = first.timeStamp();
    EXPECT_EQ(stoppedAt, 4u);

    TipReader again;
    ASSERT_EQ(again.open(m_file, stoppedAt, stamp), TipReader::Opened::Yes);
    EXPECT_FALSE(again.timeStampChanged());
    EXPECT_EQ(tips(again, 1), std::vector<std::string>{"Two\n"});
}

TEST_F(TipReaderTest, AReplacedFileStartsAgainAtItsFirstTip)
{
    writeFile(m_file, "One\nTwo\nThree\n", 1000);
    TipReader first;
    ASSERT_EQ(first.open(m_file, 0, {}), TipReader::Opened::Yes);
    tips(first, 2);
    const std::uint64_t stoppedAt = first.position();
    const std::string stamp = first.timeStamp();

    writeFile(m_file, "New one\nNew two\n", 2000000);
    TipReader again;
    ASSERT_EQ(again.open(m_file, stoppedAt, stamp), TipReader::Opened::Yes);
    EXPECT_TRUE(again.timeStampChanged());
    EXPECT_NE(again.timeStamp(), stamp);
    EXPECT_EQ(tips(again, 1), std::vector<std::string>{"New one\n"});
}

TEST_F(TipReaderTest, ALongLineIsReadAsSeveralTipsOfAtMost999Bytes)
{
    writeFile(m_file, std::string(2500, 'x') + "\n", 1000);
    TipReader reader;
    ASSERT_EQ(reader.open(m_file, 0, {}), TipReader::Opened::Yes);
    const auto got = tips(reader, 4);
    EXPECT_EQ(got[0], std::string(999, 'x'));
    EXPECT_EQ(got[1], std::string(999, 'x'));
    EXPECT_EQ(got[2], std::string(502, 'x') + "\n");
    EXPECT_EQ(got[3], std::string(999, 'x')); // wrapped
}

TEST_F(TipReaderTest, CrLfLinesKeepOneLineFeed)
{
    writeFile(m_file, "Windows tip\r\n;c\r\nOther\r\n", 1000);
    TipReader reader;
    ASSERT_EQ(reader.open(m_file, 0, {}), TipReader::Opened::Yes);
    EXPECT_EQ(tips(reader, 2), (std::vector<std::string>{"Windows tip\n", "Other\n"}));
}

TEST_F(TipReaderTest, AFileWithoutTipLinesEndsTheSearch)
{
    for (const std::string &text :
         {std::string(), std::string("; only\n\n \tx\n"), std::string("\n\n\n")}) {
        writeFile(m_file, text, 1000);
        TipReader reader;
        ASSERT_EQ(reader.open(m_file, 0, {}), TipReader::Opened::Yes);
        std::string tip = "left over";
        EXPECT_EQ(reader.next(tip), TipReader::Next::NoTips) << text;
        EXPECT_EQ(tip, "");
    }
}

TEST_F(TipReaderTest, AMissingFileLeavesTheReaderClosed)
{
    TipReader reader;
    EXPECT_EQ(reader.open(m_folder / "tips932.txt", 0, {}), TipReader::Opened::No);
    EXPECT_FALSE(reader.isOpen());
    std::string tip;
    EXPECT_EQ(reader.next(tip), TipReader::Next::NotOpen);
}

TEST_F(TipReaderTest, APositionPastTheEndWrapsToTheFirstTip)
{
    writeFile(m_file, "One\nTwo\n", 1000);
    TipReader first;
    ASSERT_EQ(first.open(m_file, 0, {}), TipReader::Opened::Yes);
    TipReader reader;
    ASSERT_EQ(reader.open(m_file, 5000, first.timeStamp()), TipReader::Opened::Yes);
    EXPECT_EQ(tips(reader, 1), std::vector<std::string>{"One\n"});
}

TEST(CtimeText, HasNoTrailingWhiteSpace)
{
    const std::string text = config::ctimeText(0);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.back(), ' ');
    EXPECT_EQ(text.size(), 24u); // "Thu Jan  1 00:00:00 1970"
}

} // namespace
