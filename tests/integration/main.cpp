// Runs the end-to-end tests with the client's temporary files in a private folder, and with
// no proxy from the environment between the client and the local service.

#include <platform/httptransport.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    std::string dir =
        (std::filesystem::temp_directory_path() / "ravelind-integration-tmp-XXXXXX").string();
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
