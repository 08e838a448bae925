#pragma once

// Builds the list records from a loaded answer: one record per child of the result element,
// in order, every field looked up by name, a missing field empty (numbers 0).

#include "protocol/records.h"

#include <platform/resultcode.h>

#include <vector>

namespace protocol {

class ResponseReader;

// Each appends to `list` (never clears it) and returns 0, or kMissingResult with nothing
// appended when the answer has no result element.
[[nodiscard]] platform::ResultCode readFolderItems(ResponseReader &reader,
                                                   std::vector<FolderItem> &list);
[[nodiscard]] platform::ResultCode readFileItems(ResponseReader &reader,
                                                 std::vector<FileItem> &list);
[[nodiscard]] platform::ResultCode readHistoryItems(ResponseReader &reader,
                                                    std::vector<HistoryItem> &list);
[[nodiscard]] platform::ResultCode readDeletedItems(ResponseReader &reader,
                                                    std::vector<DeletedItem> &list);

} // namespace protocol
