#include "protocol/serviceclient.h"

#include "protocol/envelopewriter.h"
#include "protocol/progresssink.h"
#include "protocol/protocolconstants.h"
#include "protocol/responsereader.h"
#include "protocol/utf8.h"

#include <platform/httptransport.h>
#include <platform/tempfile.h>

#include <cstdio>
#include <limits>

namespace protocol {

ServiceClient::ServiceClient() = default;
ServiceClient::~ServiceClient() = default;
ServiceClient::ServiceClient(ServiceClient &&) noexcept = default;
ServiceClient &ServiceClient::operator=(ServiceClient &&) noexcept = default;

platform::HttpEndpoint httpEndpoint(const ServerProfile &profile)
{
    platform::HttpEndpoint endpoint;
    endpoint.host = profile.server;
    endpoint.port = profile.port;
    endpoint.target = profile.url;
    endpoint.secure = profile.useSsl != 0;
    endpoint.userName = profile.userName;
    endpoint.password = profile.password;
    endpoint.useProxy = profile.useProxy != 0;
    endpoint.proxyServer = profile.proxyServer;
    endpoint.proxyUserName = profile.proxyUserName;
    endpoint.proxyPassword = profile.proxyPassword;
    // Seconds to milliseconds without wrapping: a huge stored value means "very long", not
    // a few seconds.
    constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
    endpoint.timeoutMs = profile.timeout > kMax / 1000 ? kMax : profile.timeout * 1000;
    return endpoint;
}

void ServiceClient::fillFromProfile(const ServerProfile &profile, ProgressSink *sink)
{
    m_endpoint = httpEndpoint(profile);
    m_sink = sink;
}

void ServiceClient::setCancelFlag(const std::atomic<bool> *cancel)
{
    m_cancel = cancel;
    if (m_transport)
        m_transport->setCancelFlag(cancel);
}

bool ServiceClient::isCancelled() const
{
    return m_cancel != nullptr && m_cancel->load();
}

ServiceClient::Notify ServiceClient::notifyGate() const
{
    // The cancel flag counts with or without a sink: a worker or a command-line run that shows
    // no progress must still stop at these points.
    return isCancelled() ? Notify::Cancelled : Notify::GoOn;
}

ServiceClient::Notify ServiceClient::notifyItemText(std::string_view text)
{
    const Notify n = notifyGate();
    if (n == Notify::GoOn && m_sink != nullptr)
        m_sink->itemText(text);
    return n;
}

ServiceClient::Notify ServiceClient::notifyStatusText(int stringId)
{
    const Notify n = notifyGate();
    if (n == Notify::GoOn && m_sink != nullptr)
        m_sink->statusText(stringId);
    return n;
}

ServiceClient::Notify ServiceClient::notifySubTotal(std::int64_t total)
{
    const Notify n = notifyGate();
    if (n == Notify::GoOn && m_sink != nullptr)
        m_sink->subTotal(total);
    return n;
}

ServiceClient::Notify ServiceClient::notifySubPosition(std::int64_t position)
{
    const Notify n = notifyGate();
    if (n == Notify::GoOn && m_sink != nullptr)
        m_sink->subPosition(position);
    return n;
}

platform::HttpTransport &ServiceClient::transport()
{
    if (!m_transport) {
        m_transport = std::make_unique<platform::HttpTransport>();
        m_transport->setCancelFlag(m_cancel);
    }
    return *m_transport;
}

[[nodiscard]] static platform::ResultCode writeRequest(platform::TempFile &request,
                                                       std::string_view operation,
                                                       std::span<const RequestElement> elements)
{
    EnvelopeWriter w(request);
    platform::ResultCode rc = w.beginEnvelope();
    if (rc == 0)
        rc = w.beginOperation(operation);
    for (const RequestElement &e : elements) {
        if (rc != 0)
            break;
        rc = e.raw ? w.raw(e.value) : w.element(e.name, e.value);
    }
    if (rc == 0)
        rc = w.endOperation(operation);
    if (rc == 0)
        rc = w.endEnvelope();
    return rc;
}

CallResult ServiceClient::exchange(std::string_view operation, platform::TempFile &request,
                                   ResponseReader &reader)
{
    CallResult result;
    std::string soapAction = "SOAPAction: \"";
    soapAction += names::kNamespace;
    soapAction += operation;
    soapAction += '"';

    platform::HttpReply reply;
    result.code = transport().post(m_endpoint, soapAction, request, reader.response(), reply);
    result.httpStatus = reply.status;
    result.errorText = std::move(reply.statusText);
    result.detail = std::move(reply.detail);
    if (result.code < 0)
        return result;

    const int status = result.httpStatus;
    // A 200 answer is judged by its body; its reason phrase ("OK" or any other) is no error.
    if (result.errorText == "OK" || status == 200)
        result.errorText.clear();

    if (status != 200 && status != 500) {
        // The service refused at the HTTP level. An answer without a reason phrase must not
        // pass for success.
        if (result.errorText.empty())
            result.errorText = "HTTP status " + std::to_string(status);
        return result;
    }
    if (result.code = reader.load(status); result.code != 0)
        return result;
    if (status == 500) {
        std::optional<std::string> fault = reader.text(names::kFaultString);
        if (fault && !fault->empty())
            result.errorText = std::move(*fault);
        // A 500 answer without a fault string is still a failure: keep the status text.
        else if (result.errorText.empty())
            result.errorText = "HTTP status 500";
        return result;
    }
    return result;
}

CallResult
ServiceClient::call(std::string_view operation, std::span<const RequestElement> elements,
                    const std::function<platform::ResultCode(ResponseReader &)> &readResult)
{
    CallResult result;
    for (const RequestElement &e : elements) {
        if (!isValidUtf8(e.value)) {
            result.code = platform::fromWin32(platform::err::NoUnicodeTranslation);
            return result;
        }
    }

    platform::TempFile request;
    platform::TempFile response;
    if (result.code = platform::TempFile::create(request); result.code != 0)
        return result;
    if (result.code = platform::TempFile::create(response); result.code != 0)
        return result;
    if (result.code = writeRequest(request, operation, elements); result.code != 0)
        return result;

    ResponseReader reader(response);
    result = exchange(operation, request, reader);
    if (result.code < 0 || result.httpStatus != 200)
        return result;
    if (readResult)
        result.code = readResult(reader);
    return result;
}

} // namespace protocol
