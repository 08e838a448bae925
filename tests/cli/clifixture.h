#pragma once

// A test with its own reference service, a folder for local files and the client run as a
// program against it.

#include "clirun.h"

#include <servertestsupport.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace clitest {

class CliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.start(m_data.path(), serverArguments()))
            << "the service did not say it is listening";
        m_url = "http://127.0.0.1:" + std::to_string(m_server.port()) + "/Service.asmx";
    }
    void TearDown() override { EXPECT_EQ(m_server.stop(), 0) << "the service did not end"; }

    virtual std::vector<std::string> serverArguments() const { return {}; }

    // ravelind-cli --server <this service> --user-id <user> args...
    CliResult cli(std::vector<std::string> args, const std::string &user = "alice",
                  const std::map<std::string, std::string> &env = {}) const
    {
        std::vector<std::string> all{"--server", m_url, "--user-id", user};
        all.insert(all.end(), args.begin(), args.end());
        return runCli(all, env);
    }

    // Logs `user` on through the program, so the service knows it.
    void logon(const std::string &user = "alice")
    {
        const CliResult r = cli({"logon"}, user);
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        ASSERT_EQ(r.lines(), std::vector<std::string>{user});
    }

    std::filesystem::path local(const std::string &name) const { return m_files.path() / name; }
    std::string localText(const std::string &name) const { return local(name).string(); }

    static bool isWritable(const std::filesystem::path &file)
    {
        struct stat st
        {
        };
        return ::stat(file.c_str(), &st) == 0 && (st.st_mode & 0222) != 0;
    }

    servertest::TempDir m_data;
    servertest::TempDir m_files;
    servertest::ServerProcess m_server;
    std::string m_url;
};

} // namespace clitest
