#include "engine/operations/operationrunner.h"

#include "engine/operations/workercontext_p.h"

#include <platform/check.h>
#include <protocol/service.h>
#include <protocol/serviceclient.h>

namespace engine {

ServiceFactory serviceClientFactory()
{
    return [](const protocol::ServerProfile &profile) -> std::unique_ptr<protocol::Service> {
        auto client = std::make_unique<protocol::ServiceClient>();
        client->fillFromProfile(profile);
        return client;
    };
}

[[nodiscard]] static platform::ResultCode runKind(WorkerContext &ctx)
{
    switch (ctx.request().kind) {
    case OperationKind::GetFiles:
        return runGetFiles(ctx);
    case OperationKind::CheckOutFiles:
        return runCheckOutFiles(ctx);
    case OperationKind::GetFolder:
        return runGetFolder(ctx);
    case OperationKind::UndoCheckOutFiles:
        return runUndoCheckOutFiles(ctx);
    case OperationKind::CheckOutFolder:
        return runCheckOutFolder(ctx);
    case OperationKind::UndoCheckOutFolder:
        return runUndoCheckOutFolder(ctx);
    case OperationKind::CheckInFiles:
        return runCheckInFiles(ctx);
    case OperationKind::CheckInFolder:
        return runCheckInFolder(ctx);
    case OperationKind::MoveFiles:
        return runMoveFiles(ctx);
    case OperationKind::AddDropped:
        return runAddDropped(ctx);
    case OperationKind::MoveFolder:
        return runMoveFolder(ctx);
    case OperationKind::GetVersion:
        return runGetVersion(ctx);
    }
    RAVELIND_CHECK(!"an operation kind without a worker",
                   return platform::fromWin32(platform::err::InvalidParameter));
}

platform::ResultCode runOperation(Operation &operation, protocol::Service &service)
{
    WorkerContext ctx(operation, service);
    platform::ResultCode rc = runKind(ctx);
    // However the worker noticed it (at an item, in a report, inside a transfer), a cancelled
    // run says so once. A cancel that came after the last item changes nothing.
    if (rc == platform::kCancelled)
        ctx.logCancel();
    return rc;
}

platform::ResultCode runOperation(Operation &operation, const ServiceFactory &factory)
{
    std::unique_ptr<protocol::Service> service = factory(operation.profile());
    if (!service)
        return platform::kUnspecifiedFailure;
    return runOperation(operation, *service);
}

} // namespace engine
