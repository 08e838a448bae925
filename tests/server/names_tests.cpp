#include "servertestsupport.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace servertest;

namespace {

struct CaseRow
{
    const char *name;
    std::string existing;
    std::string added;
};

void PrintTo(const CaseRow &row, std::ostream *os)
{
    *os << row.name;
}

class NamesWithoutCase : public testing::TestWithParam<CaseRow>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.start(m_data.path()));
        m_client = std::make_unique<SoapClient>(m_server.port());
        ASSERT_EQ(m_client->logon("alice"), "alice");
    }

    Reply createFolder(const std::string &parent, const std::string &name)
    {
        return m_client->call("CreateFolder", {{"UserID", "alice"},
                                               {"ParentPath", parent},
                                               {"FolderName", name},
                                               {"Comment", ""},
                                               {"IsPrivate", "false"}});
    }

    std::vector<std::string> names(const std::string &operation, const std::string &field)
    {
        std::vector<std::string> found;
        for (const auto &row :
             rows(m_client->call(operation, {{"UserID", "alice"}, {"ParentPath", ""}}).body,
                  operation + "Response/" + operation + "Result"))
            found.push_back(row.at(field));
        return found;
    }

    TempDir m_data;
    ServerProcess m_server;
    std::unique_ptr<SoapClient> m_client;
};

// Windows servers compare names without regard to case: a second name that differs
// only in case is refused, and the first keeps the case it was given.
TEST_P(NamesWithoutCase, ASecondNameDifferingOnlyInCaseIsRefused)
{
    const CaseRow &row = GetParam();
    ASSERT_EQ(createFolder("", row.existing).status, 200);
    const Reply folder = createFolder("", row.added);
    EXPECT_EQ(folder.status, 500);
    EXPECT_NE(faultString(folder.body).find("already exists"), std::string::npos);
    ASSERT_EQ(m_client->addFile("alice", "", row.existing + ".txt", "x").status, 200);
    const Reply file = m_client->addFile("alice", "", row.added + ".txt", "y");
    EXPECT_EQ(file.status, 500);
    EXPECT_EQ(names("GetFolderList", "FolderName"), std::vector<std::string>{row.existing});
    EXPECT_EQ(names("GetFileList", "FileName"), std::vector<std::string>{row.existing + ".txt"});
    // Any spelling finds the item.
    EXPECT_EQ(m_client->getFile("alice", row.added + ".txt"), "x");
    EXPECT_EQ(createFolder(row.added, "Inner").status, 200);
}

INSTANTIATE_TEST_SUITE_P(
    Names, NamesWithoutCase,
    testing::Values(CaseRow{"Ascii", "Sub", "sub"}, CaseRow{"AsciiUpper", "docs", "DOCS"},
                    CaseRow{"LatinUmlaut", "\xc3\x84rger", "\xc3\xa4rger"},
                    CaseRow{"Greek", "\xce\xb1\xce\xb2", "\xce\x91\xce\x92"},
                    CaseRow{"Cyrillic", "\xd0\xb4\xd0\xb0", "\xd0\x94\xd0\x90"}),
    [](const auto &rowInfo) { return std::string(rowInfo.param.name); });

TEST_F(NamesWithoutCase, RenameMayChangeOnlyTheCase)
{
    ASSERT_EQ(m_client->addFile("alice", "", "readme.txt", "r").status, 200);
    const Reply renamed = m_client->call(
        "Rename",
        {{"UserID", "alice"}, {"SelectPath", "README.TXT"}, {"ChangeName", "ReadMe.txt"}});
    EXPECT_EQ(renamed.status, 200) << faultString(renamed.body);
    EXPECT_EQ(names("GetFileList", "FileName"), std::vector<std::string>{"ReadMe.txt"});
    ASSERT_EQ(m_client->addFile("alice", "", "other.txt", "o").status, 200);
    const Reply clash = m_client->call(
        "Rename", {{"UserID", "alice"}, {"SelectPath", "other.txt"}, {"ChangeName", "README.txt"}});
    EXPECT_EQ(clash.status, 500);
}

TEST_F(NamesWithoutCase, DeletedItemsAreFoundInAnyCase)
{
    ASSERT_EQ(m_client->addFile("alice", "", "gone.txt", "g").status, 200);
    ASSERT_EQ(m_client
                  ->call("Delete",
                         {{"UserID", "alice"}, {"SelectPath", "GONE.txt"}, {"IsPurge", "false"}})
                  .status,
              200);
    EXPECT_EQ(m_client->call("Repaire", {{"UserID", "alice"}, {"FilePath", "Gone.TXT"}}).status,
              200);
    EXPECT_EQ(names("GetFileList", "FileName"), std::vector<std::string>{"gone.txt"});
}

} // namespace
