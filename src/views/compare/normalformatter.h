#pragma once

#include "fileimage.h"
#include "textcomparer.h"

#include <functional>
#include <string>
#include <string_view>

namespace compare {

// Writes an edit script in the classic "normal" diff format ("3c3", "5a6,7", "8,9d7", lines
// prefixed "< " and "> ", "---" between, "\ No newline at end of file" after a last line
// without line feed), byte for byte as GNU diff prints it.
class NormalFormatter
{
public:
    // `sink` receives the output in pieces of about 64 KiB.
    explicit NormalFormatter(std::function<void(std::string_view)> sink);

    // The images must be the prepared ones the script was computed from.
    void write(const FileImage &image0, const FileImage &image1, const EditScript &script);

    // The whole output as one string, for small inputs and tests.
    static std::string format(const FileImage &image0, const FileImage &image1,
                              const EditScript &script);

private:
    void flushIfFull();

    std::function<void(std::string_view)> m_sink;
    std::string m_out;
};

} // namespace compare
