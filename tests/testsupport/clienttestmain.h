#pragma once

// The main() of the test programs that run the real client: its temporary files go to a
// private folder (so a test can check that none is left behind), and no proxy from the
// environment stands between the client and the loopback servers.

#include <platform/httptransport.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace testsupport {

inline int runClientTests(int argc, char **argv, const char *folderPrefix)
{
    ::testing::InitGoogleTest(&argc, argv);
    std::string dir =
        (std::filesystem::temp_directory_path() / (std::string(folderPrefix) + "-XXXXXX"))
            .string();
    if (::mkdtemp(dir.data()) == nullptr)
        return 2;
    ::setenv("TMPDIR", dir.c_str(), 1);
    for (const char *v :
         {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"})
        ::unsetenv(v);
    platform::initHttp();
    const int rc = RUN_ALL_TESTS();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return rc;
}

} // namespace testsupport
