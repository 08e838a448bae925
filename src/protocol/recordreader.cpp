#include "protocol/recordreader.h"

#include "protocol/protocolconstants.h"
#include "protocol/responsereader.h"
#include "protocol/utf8.h"

#include <algorithm>
#include <limits>
#include <string_view>

namespace protocol {

namespace n = names;

static bool equalsIgnoreCase(std::string_view a, std::string_view b)
{
    auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    };
    return std::ranges::equal(a, b, [&](char x, char y) { return lower(x) == lower(y); });
}

static std::int32_t toInt32(std::string_view text)
{
    const std::int64_t v = parseDecimal(text);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// Reads every row below `path` with `makeRow(field)`, appending to `list`.
template<typename Item, typename MakeRow>
[[nodiscard]] static platform::ResultCode readRows(ResponseReader &reader, std::string_view path,
                                                   std::vector<Item> &list, MakeRow makeRow)
{
    const std::int64_t count = reader.rowCount(path);
    if (count < 0)
        return platform::kMissingResult;
    list.reserve(list.size() + static_cast<std::size_t>(count));
    for (std::int64_t row = 0; row < count; ++row) {
        auto field = [&](std::string_view name) {
            return reader.rowField(path, static_cast<std::size_t>(row), name).value_or("");
        };
        list.push_back(makeRow(field));
    }
    return 0;
}

platform::ResultCode readFolderItems(ResponseReader &reader, std::vector<FolderItem> &list)
{
    return readRows(reader, n::kFolderListResult, list, [](auto field) {
        FolderItem item;
        item.name = field(n::kFolderName);
        item.workFolderPath = field(n::kWorkFolderName);
        item.comment = field(n::kComment);
        item.isPrivate = equalsIgnoreCase(field(n::kIsPrivate), "true") ? 1 : 0;
        return item;
    });
}

platform::ResultCode readFileItems(ResponseReader &reader, std::vector<FileItem> &list)
{
    return readRows(reader, n::kFileListResult, list, [](auto field) {
        FileItem item;
        item.fileName = field(n::kFileName);
        item.checkoutUser = field(n::kCheckoutUser);
        item.checkoutUserId = field(n::kCheckoutUserId);
        item.checkoutPath = field(n::kCheckoutPath);
        item.ipAddress = field(n::kIpAddress);
        item.fileSize = parseDecimal(field(n::kFileSize));
        item.updateDate = field(n::kUpdateDate);
        item.checkinDate = field(n::kCheckinDate);
        return item;
    });
}

platform::ResultCode readHistoryItems(ResponseReader &reader, std::vector<HistoryItem> &list)
{
    return readRows(reader, n::kHistoryListResult, list, [](auto field) {
        HistoryItem item;
        item.version = toInt32(field(n::kVersion));
        item.fileName = field(n::kFileName);
        item.fileId = field(n::kFileId);
        item.updateDate = field(n::kUpdateDate);
        item.updateUser = field(n::kUpdateUser);
        item.comment = field(n::kComment);
        return item;
    });
}

platform::ResultCode readDeletedItems(ResponseReader &reader, std::vector<DeletedItem> &list)
{
    return readRows(reader, n::kDeletedListResult, list, [](auto field) {
        DeletedItem item;
        item.name = field(n::kName);
        item.type = field(n::kType) == "1" ? DeletedItem::Type::Folder : DeletedItem::Type::File;
        return item;
    });
}

} // namespace protocol
