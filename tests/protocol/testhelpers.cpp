#include "testhelpers.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace testhelpers {

std::filesystem::path tempDir()
{
    return platform::tempDirectory();
}

std::vector<std::string> zemFiles()
{
    std::vector<std::string> names;
    for (const auto &e : std::filesystem::directory_iterator(tempDir())) {
        const std::string n = e.path().filename().string();
        if (n.starts_with("Zem"))
            names.push_back(n);
    }
    return names;
}

platform::TempFile fileWith(std::string_view bytes)
{
    platform::TempFile f;
    EXPECT_EQ(platform::TempFile::create(f), 0);
    EXPECT_EQ(f.write(bytes), 0);
    return f;
}

std::string readAll(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

} // namespace testhelpers
