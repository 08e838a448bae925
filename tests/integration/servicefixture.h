#pragma once

// A test with its own reference service (fresh data folder) and a folder for local files.

#include "serverprocess.h"

#include <protocol/serviceclient.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace integration {

class ServiceTest : public ::testing::Test
{
protected:
    void SetUp() override { startService({}); }
    // The service must still be alive and end cleanly on SIGTERM after what the test did.
    void TearDown() override
    {
        EXPECT_EQ(m_server.stop(), 0) << "the service did not exit cleanly";
    }

    void startService(const std::vector<std::string> &extra)
    {
        m_server.stop();
        ASSERT_TRUE(m_server.start(m_data.path(), extra))
            << "the service did not say it is listening";
    }

    protocol::ServiceClient client(const std::string &userName = {},
                                   const std::string &password = {}) const
    {
        protocol::ServiceClient c;
        c.fillFromProfile(localProfile(m_server.port(), userName, password));
        return c;
    }

    // Logs on with an empty user ID, so the service registers `logonUser`; the ID it gave.
    static std::string registerUser(protocol::ServiceClient &c, const std::string &logonUser)
    {
        std::optional<std::string> id;
        const protocol::CallResult r = c.logon("", "pc-" + logonUser, logonUser, "127.0.0.1", id);
        EXPECT_TRUE(r.succeeded()) << r.message();
        EXPECT_TRUE(id.has_value() && !id->empty());
        return id.value_or(std::string());
    }

    std::filesystem::path local(const std::string &name) const { return m_files.path() / name; }

    TempDir m_data;
    TempDir m_files;
    ServerProcess m_server;
};

} // namespace integration
