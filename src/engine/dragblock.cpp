#include "engine/dragblock.h"

#include <cstring>

namespace engine {

static constexpr std::size_t kHostOffset = 4;
static constexpr std::size_t kPathOffset = kHostOffset + kDragTextRoom; // 265
static constexpr std::size_t kCountOffset = 788;
static constexpr std::size_t kNamesOffset = 792;

static void putU32(std::string &block, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        block[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

static std::uint32_t getU32(std::string_view block, std::size_t offset)
{
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(block[offset + i]))
                 << (8 * i);
    return value;
}

static void putText(std::string &block, std::size_t offset, std::string_view text)
{
    const std::size_t n = std::min(text.size(), kDragTextRoom - 1);
    std::memcpy(block.data() + offset, text.data(), n);
}

static std::string getText(std::string_view block, std::size_t offset)
{
    const std::string_view room = block.substr(offset, kDragTextRoom);
    return std::string(room.substr(0, room.find('\0')));
}

static std::string header(std::string_view host, std::string_view folderPath)
{
    std::string block(kDragBlockSize, '\0');
    putU32(block, 0, kDragBlockSize);
    putText(block, kHostOffset, host);
    putText(block, kPathOffset, folderPath);
    return block;
}

std::string makeZemTreeBlock(std::string_view host, std::string_view folderPath)
{
    return header(host, folderPath);
}

bool isDraggableFileName(std::string_view name)
{
    return !name.empty() && name.find_first_of(std::string_view("\t\0", 2)) == std::string::npos;
}

std::optional<std::string> makeZemListBlock(std::string_view host, std::string_view folderPath,
                                            const std::vector<std::string> &fileNames)
{
    std::string block = header(host, folderPath);
    block.resize(kNamesOffset);
    putU32(block, kCountOffset, static_cast<std::uint32_t>(fileNames.size()));
    for (const std::string &name : fileNames) {
        if (!isDraggableFileName(name))
            return std::nullopt;
        block += name;
        block += '\t';
    }
    // The block was always allocated as the fixed part plus the names plus their zero, and
    // the names start 4 bytes before the end of the fixed part: 4 zero bytes trail.
    const std::size_t names = block.size() - kNamesOffset;
    block.resize(kDragBlockSize + names + 1, '\0');
    return block;
}

static std::optional<DragBlock> readHeader(std::string_view bytes, std::size_t minimum)
{
    if (bytes.size() < minimum || getU32(bytes, 0) != kDragBlockSize)
        return std::nullopt;
    DragBlock block;
    block.host = getText(bytes, kHostOffset);
    block.folderPath = getText(bytes, kPathOffset);
    return block;
}

std::optional<DragBlock> readZemTreeBlock(std::string_view bytes)
{
    return readHeader(bytes, kPathOffset + kDragTextRoom);
}

std::optional<DragBlock> readZemListBlock(std::string_view bytes)
{
    std::optional<DragBlock> block = readHeader(bytes, kDragBlockSize + 1);
    if (!block)
        return std::nullopt;
    block->fileCount = getU32(bytes, kCountOffset);
    std::string_view names = bytes.substr(kNamesOffset);
    names = names.substr(0, names.find('\0'));
    while (!names.empty()) {
        const std::size_t tab = names.find('\t');
        block->fileNames.emplace_back(names.substr(0, tab));
        if (tab == std::string_view::npos)
            break;
        names.remove_prefix(tab + 1);
    }
    return block;
}

} // namespace engine
