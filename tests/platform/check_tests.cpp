#include <platform/check.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Report
{
    std::string condition;
    std::string file;
    int line = 0;
};

std::vector<Report> g_reports;

void record(const char *condition, const char *file, int line)
{
    g_reports.push_back({condition, file, line});
}

class CheckTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_reports.clear();
        m_previous = platform::setCheckHandler(&record);
    }
    void TearDown() override { platform::setCheckHandler(m_previous); }

private:
    platform::CheckHandler m_previous = nullptr;
};

int g_checkLine = 0;

int valueAt(const std::vector<int> &values, std::size_t index)
{
    g_checkLine = __LINE__ + 1;
    RAVELIND_CHECK(index < values.size(), return -1);
    return values[index];
}

TEST_F(CheckTest, AHoldingConditionReportsNothingAndGoesOn)
{
    EXPECT_EQ(valueAt({7, 8}, 1), 8);
    EXPECT_TRUE(g_reports.empty());
}

TEST_F(CheckTest, AFailedConditionIsReportedWithFileAndLineAndTakesTheRecovery)
{
    EXPECT_EQ(valueAt({7, 8}, 2), -1);
    ASSERT_EQ(g_reports.size(), 1u);
    EXPECT_EQ(g_reports[0].condition, "index < values.size()");
    EXPECT_NE(g_reports[0].file.find("check_tests.cpp"), std::string::npos);
    EXPECT_EQ(g_reports[0].line, g_checkLine);
}

TEST_F(CheckTest, TheRecoveryMayBeAnyStatement)
{
    int skipped = 0;
    for (int i = 0; i < 4; ++i) {
        RAVELIND_CHECK(i % 2 == 0, ++skipped; continue);
    }
    EXPECT_EQ(skipped, 2);
    EXPECT_EQ(g_reports.size(), 2u);
}

TEST(Check, WithoutAHandlerTheReportGoesToStandardError)
{
    ::testing::internal::CaptureStderr();
    bool recovered = false;
    RAVELIND_CHECK(1 + 1 == 3, recovered = true);
    const std::string text = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(recovered);
    EXPECT_NE(text.find("1 + 1 == 3"), std::string::npos) << text;
    EXPECT_NE(text.find("check_tests.cpp:"), std::string::npos) << text;
}

} // namespace
