#include "engine/operations/operationkind.h"

#include "engine/engineconstants.h"

#include <platform/check.h>

namespace engine {

std::optional<OperationKind> operationKindFromNumber(int number)
{
    if (number < 1 || number > 12)
        return std::nullopt;
    return static_cast<OperationKind>(number);
}

int titleStringId(OperationKind kind)
{
    switch (kind) {
    case OperationKind::GetFiles:
    case OperationKind::GetFolder:
        return msg::kTitleGet;
    case OperationKind::CheckOutFiles:
    case OperationKind::CheckOutFolder:
        return msg::kTitleCheckOut;
    case OperationKind::UndoCheckOutFiles:
    case OperationKind::UndoCheckOutFolder:
        return msg::kTitleUndoCheckOut;
    case OperationKind::CheckInFiles:
    case OperationKind::CheckInFolder:
    case OperationKind::AddDropped:
        return msg::kTitleCheckIn;
    case OperationKind::MoveFiles:
        return msg::kTitleMoveFiles;
    case OperationKind::MoveFolder:
        return msg::kTitleMoveFolder;
    case OperationKind::GetVersion:
        return msg::kTitleGetVersion;
    }
    RAVELIND_CHECK(!"an operation kind without a title", return msg::kTitleGet);
}

bool isFolderKind(OperationKind kind)
{
    return kind == OperationKind::GetFolder || kind == OperationKind::CheckOutFolder ||
           kind == OperationKind::UndoCheckOutFolder || kind == OperationKind::CheckInFolder;
}

} // namespace engine
