#include <engine/dragblock.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using engine::makeZemListBlock;
using engine::makeZemTreeBlock;

std::string le32(std::uint32_t v)
{
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

std::string padded(const std::string &text, std::size_t room)
{
    std::string s = text;
    s.resize(room, '\0');
    return s;
}

TEST(DragBlock, TreeBlockIsSizeHostPathAndZeros)
{
    const std::string block = makeZemTreeBlock("vcs.example", "Projects\\Website");
    const std::string expected = le32(796) + padded("vcs.example", 261) +
                                 padded("Projects\\Website", 261) +
                                 std::string(796 - 4 - 261 - 261, '\0');
    ASSERT_EQ(block.size(), 796u);
    EXPECT_EQ(block, expected);
}

TEST(DragBlock, ListBlockOfTwoFilesByteForByte)
{
    const auto block = makeZemListBlock("127.0.0.1", "Docs", {"a.txt", "b.txt"});
    ASSERT_TRUE(block);
    const std::string names = "a.txt\tb.txt\t";
    const std::string expected = le32(796) + padded("127.0.0.1", 261) + padded("Docs", 261) +
                                 std::string(788 - 526, '\0') + le32(2) + names +
                                 std::string(5, '\0');
    EXPECT_EQ(block->size(), names.size() + 797);
    EXPECT_EQ(*block, expected);
    EXPECT_EQ(block->substr(788, 4), le32(2));
    EXPECT_EQ(block->substr(792, 13), std::string("a.txt\tb.txt\t\0", 13));
}

TEST(DragBlock, LongTextsAreCutToTheirRoom)
{
    const std::string longHost(300, 'h');
    const std::string block = makeZemTreeBlock(longHost, "p");
    EXPECT_EQ(block.substr(4, 261), std::string(260, 'h') + '\0');
    EXPECT_EQ(block.substr(265, 2), std::string("p\0", 2));
}

struct NameCase
{
    const char *situation;
    std::string name;
    bool draggable;
};

class DraggableName : public ::testing::TestWithParam<NameCase>
{
};

TEST_P(DraggableName, OnlyNamesThatSurviveTheTabSeparation)
{
    const NameCase &c = GetParam();
    EXPECT_EQ(engine::isDraggableFileName(c.name), c.draggable);
    EXPECT_EQ(makeZemListBlock("h", "p", {"ok.txt", c.name}).has_value(), c.draggable);
}

INSTANTIATE_TEST_SUITE_P(Names, DraggableName,
                         ::testing::Values(NameCase{"Plain", "a.txt", true},
                                           NameCase{"Spaces", "my file.txt", true},
                                           NameCase{"Tab", "a\tb.txt", false},
                                           NameCase{"Empty", "", false},
                                           NameCase{"Nul", std::string("a\0b", 3), false},
                                           NameCase{"Utf8", "\xc3\xa4nderung.txt", true}),
                         [](const auto &row) { return std::string(row.param.situation); });

TEST(DragBlock, ReadBackGivesWhatWasWritten)
{
    const auto list = makeZemListBlock("host", "A\\B", {"x", "y.z"});
    ASSERT_TRUE(list);
    const auto read = engine::readZemListBlock(*list);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, (engine::DragBlock{"host", "A\\B", 2, {"x", "y.z"}}));
    const auto tree = engine::readZemTreeBlock(makeZemTreeBlock("host", "A"));
    ASSERT_TRUE(tree);
    EXPECT_EQ(*tree, (engine::DragBlock{"host", "A", 0, {}}));
}

TEST(DragBlock, DamagedBlocksAreRefused)
{
    std::string block = makeZemTreeBlock("h", "p");
    EXPECT_FALSE(engine::readZemTreeBlock(block.substr(0, 100)));
    block[0] = 1;
    EXPECT_FALSE(engine::readZemTreeBlock(block));
    EXPECT_FALSE(engine::readZemListBlock(makeZemTreeBlock("h", "p")));
}

} // namespace
