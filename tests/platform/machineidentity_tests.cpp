#include "tempfolder.h"

#include <platform/machineidentity.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>

using namespace platform;

namespace {

struct TextRow
{
    const char *name;
    std::string input;
    std::string extra;
    std::string expected;
};

void PrintTo(const TextRow &row, std::ostream *os)
{
    *os << row.name;
}

class OwnerFromGecosTest : public ::testing::TestWithParam<TextRow>
{
};

TEST_P(OwnerFromGecosTest, GivesTheFullName)
{
    EXPECT_EQ(ownerFromGecos(GetParam().input, GetParam().extra), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Gecos, OwnerFromGecosTest,
    ::testing::Values(TextRow{"NameWithOfficeFields", "Jane Doe,Room 1,555-1,", "jane", "Jane Doe"},
                      TextRow{"NameOnly", "Jane Doe", "jane", "Jane Doe"},
                      TextRow{"Empty", "", "jane", ""}, TextRow{"OnlyCommas", ",,,", "jane", ""},
                      TextRow{"AmpersandIsTheLoginName", "& Smith,,", "bob", "Bob Smith"},
                      TextRow{"Utf8Name", "J\xc3\xa9r\xc3\xb4me", "j", "J\xc3\xa9r\xc3\xb4me"}),
    [](const auto &rowInfo) { return std::string(rowInfo.param.name); });

class ShortComputerNameTest : public ::testing::TestWithParam<TextRow>
{
};

TEST_P(ShortComputerNameTest, FitsFifteenBytes)
{
    const std::string got = shortComputerName(GetParam().input);
    EXPECT_EQ(got, GetParam().expected);
    EXPECT_LE(got.size(), 15u);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ShortComputerNameTest,
    ::testing::Values(TextRow{"Plain", "build7", "", "build7"},
                      TextRow{"FullyQualified", "build7.lab.example.com", "", "build7"},
                      TextRow{"ExactlyFifteen", "abcdefghijklmno", "", "abcdefghijklmno"},
                      TextRow{"SixtyFourBytes", std::string(64, 'h'), "", std::string(15, 'h')},
                      TextRow{"CutBeforeASplitCharacter", "abcdefghijklmn\xc3\xa9xyz", "",
                              "abcdefghijklmn"},
                      TextRow{"Empty", "", "", ""}),
    [](const auto &rowInfo) { return std::string(rowInfo.param.name); });

TEST(OrganizationFrom, EnvironmentWinsThenTheFirstLineOfTheFile)
{
    TempFolder dir;
    const auto file = dir / "organization";
    writeText(file, "  Quellvane Ltd \nsecond line\n");
    EXPECT_EQ(organizationFrom("Acme", file), "Acme");
    EXPECT_EQ(organizationFrom(nullptr, file), "Quellvane Ltd");
    EXPECT_EQ(organizationFrom("", file), "Quellvane Ltd");
    EXPECT_EQ(organizationFrom(nullptr, dir / "missing"), "");
}

TEST(MachineIdentity, ThisMachineGivesUsableValues)
{
    const MachineIdentity id = readMachineIdentity();
    EXPECT_FALSE(id.computerName.empty());
    EXPECT_LE(id.computerName.size(), 15u);
    EXPECT_FALSE(id.userName.empty());
    in_addr address{};
    ASSERT_EQ(::inet_pton(AF_INET, id.ipAddress.c_str(), &address), 1) << id.ipAddress;
    EXPECT_NE(ntohl(address.s_addr) >> 24, 127u) << "a loopback address was taken";
}

} // namespace
