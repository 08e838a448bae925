#pragma once

// The drag data blocks of the program's own windows, byte for byte as every version of the
// program has exchanged them: "ZemTree" for a folder dragged from the tree, "ZemList" for
// files dragged from the file list. Texts are UTF-8 (the multibyte code page here).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

// Size stored in the first 4 bytes of both blocks, and the whole size of a "ZemTree" block.
inline constexpr std::uint32_t kDragBlockSize = 796;
// Room for each of the two texts (host name, folder path), the terminating zero included.
inline constexpr std::size_t kDragTextRoom = 261;

struct DragBlock
{
    std::string host;       // the server host name of the profile
    std::string folderPath; // the folder's server path ("\" between names)
    std::uint32_t fileCount = 0;
    std::vector<std::string> fileNames; // "ZemList" only

    bool operator==(const DragBlock &) const = default;
};

// Bytes 0-3 the size 796, 4-264 the host (zero-terminated), 265-525 the folder path
// (zero-terminated), the rest zero. Texts longer than 260 bytes are cut.
std::string makeZemTreeBlock(std::string_view host, std::string_view folderPath);

// As the tree block up to byte 525, bytes 526-787 zero, 788-791 the number of names, from 792
// each name followed by one TAB, then one zero byte, then zeros up to N + 797 bytes for N
// bytes of names and TABs.
// nullopt when a name is empty or holds a TAB or NUL: the names travel TAB-separated, so
// such a name would make the drop side move other files than the ones dragged.
std::optional<std::string> makeZemListBlock(std::string_view host, std::string_view folderPath,
                                            const std::vector<std::string> &fileNames);

// A name that can travel in a "ZemList" block.
bool isDraggableFileName(std::string_view name);

// Reads either block back; nullopt for a block that is too short or whose size field is not
// 796. For a "ZemTree" block fileCount is 0 and fileNames empty.
std::optional<DragBlock> readZemTreeBlock(std::string_view bytes);
std::optional<DragBlock> readZemListBlock(std::string_view bytes);

} // namespace engine
