// Runs the protocol tests in a private temporary folder, so that every test can check that no
// temporary file of the client is left behind.

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
        (std::filesystem::temp_directory_path() / "ravelind-protocol-XXXXXX").string();
    if (::mkdtemp(dir.data()) == nullptr)
        return 2;
    ::setenv("TMPDIR", dir.c_str(), 1);
    // No test may reach a real proxy.
    for (const char *v :
         {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"})
        ::unsetenv(v);
    platform::initHttp();
    const int rc = RUN_ALL_TESTS();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return rc;
}
