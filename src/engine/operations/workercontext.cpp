#include "engine/operations/workercontext_p.h"

#include <platform/tempfile.h>
#include <protocol/service.h>

#include <system_error>

namespace engine {

void TransferSink::subTotal(std::int64_t total)
{
    m_reporter.subTotal(total);
    if (m_transfer) {
        m_total = total;
        m_reporter.bytes(0, total);
    }
}

void TransferSink::subPosition(std::int64_t position)
{
    m_reporter.subPosition(position);
    if (m_transfer)
        m_reporter.bytes(position, m_total);
}

WorkerContext::WorkerContext(Operation &operation, protocol::Service &service)
    : m_operation(operation)
    , m_service(service)
    , m_reporter(operation.reporter() != nullptr ? operation.reporter() : &m_nullReporter)
    , m_sink(*m_reporter)
{
    m_service.setCancelFlag(&m_operation.cancelFlag());
    m_service.setProgressSink(&m_sink);
}

WorkerContext::~WorkerContext()
{
    // The flag and the sink end with the run; the service may outlive it.
    m_service.setProgressSink(nullptr);
    m_service.setCancelFlag(nullptr);
}

bool WorkerContext::cancelledAtItem(bool logIt)
{
    if (!isCancelled())
        return false;
    if (logIt)
        logCancel();
    return true;
}

bool WorkerContext::total(std::int64_t count)
{
    if (isCancelled())
        return false;
    m_reporter->total(count);
    return true;
}

bool WorkerContext::step(std::int64_t count)
{
    if (isCancelled())
        return false;
    m_reporter->step(count);
    return true;
}

bool WorkerContext::itemText(std::string_view text)
{
    if (isCancelled())
        return false;
    m_reporter->itemText(text);
    return true;
}

bool WorkerContext::statusText(int stringId)
{
    if (isCancelled())
        return false;
    m_reporter->statusText(stringId);
    return true;
}

bool WorkerContext::statusLiteral(std::string_view text)
{
    if (isCancelled())
        return false;
    m_reporter->statusLiteral(text);
    return true;
}

bool WorkerContext::subTotal(std::int64_t total)
{
    if (isCancelled())
        return false;
    m_reporter->subTotal(total);
    return true;
}

bool WorkerContext::subPosition(std::int64_t position)
{
    if (isCancelled())
        return false;
    m_reporter->subPosition(position);
    return true;
}

void WorkerContext::log(LogKind kind, int messageId, std::vector<LogArgument> arguments,
                        platform::ResultCode code)
{
    LogEntry entry;
    entry.kind = kind;
    entry.messageId = messageId;
    entry.arguments = std::move(arguments);
    entry.code = code;
    m_reporter->log(entry);
}

void WorkerContext::logError(platform::ResultCode code)
{
    log(LogKind::Failure, kErrorTextMessage, {}, code);
}

void WorkerContext::logCancel()
{
    if (m_cancelLogged)
        return;
    m_cancelLogged = true;
    log(LogKind::Warning, kErrorTextMessage, {}, platform::kCancelled);
}

LogArgument reasonOf(const protocol::CallResult &r)
{
    if (r.code < 0)
        return LogArgument::ofCodeText(r.code);
    return LogArgument::ofText(r.errorText);
}

bool isSafeName(std::string_view name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    return name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

platform::ResultCode TempName::make()
{
    reset();
    return platform::makeTempFile(m_path);
}

void TempName::reset()
{
    if (m_path.empty())
        return;
    std::error_code ec;
    std::filesystem::remove(m_path, ec);
    m_path.clear();
}

} // namespace engine
