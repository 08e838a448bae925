#include "engine/operations/operation.h"

namespace engine {

Operation::Operation(OperationRequest request, ProgressReporter *reporter)
    : m_request(std::move(request))
    , m_reporter(reporter)
{
    applyLaunchRules(m_request);
}

} // namespace engine
