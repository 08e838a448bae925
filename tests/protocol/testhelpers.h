#pragma once

#include <platform/tempfile.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace testhelpers {

// The private temporary folder the test binary runs with ($TMPDIR).
std::filesystem::path tempDir();
// Names of the "Zem*" files now in it.
std::vector<std::string> zemFiles();
// A response file holding exactly `bytes`.
platform::TempFile fileWith(std::string_view bytes);
// The whole content of a file.
std::string readAll(const std::filesystem::path &file);

} // namespace testhelpers

#include <gtest/gtest.h>

namespace testhelpers {

// Names table rows after their `name` field.
struct RowName
{
    template<typename Row> std::string operator()(const ::testing::TestParamInfo<Row> &p) const
    {
        return p.param.name;
    }
};

} // namespace testhelpers
