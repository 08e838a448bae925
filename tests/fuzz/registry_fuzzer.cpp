// Settings and profile files come from the user's disk and from other machines (.rvl
// imports): any bytes must parse or be refused without a bad read, and whatever parses must
// be written back into text that parses to the same tree.

#include <platform/registry.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    platform::RegKey root;
    std::string why;
    if (platform::Registry::parse(text, root, why) != 0)
        return 0;
    platform::RegKey again;
    if (platform::Registry::parse(platform::Registry::format(root), again, why) != 0 ||
        !(again == root))
        __builtin_trap();
    return 0;
}
