#pragma once

// Runs an operation's worker on the calling thread, against a service the caller chooses:
// the window and the command-line client pass a real ServiceClient (through the factory),
// tests a fake.

#include "engine/operations/operation.h"

#include <platform/resultcode.h>

#include <functional>
#include <memory>

namespace protocol {
class Service;
} // namespace protocol

namespace engine {

// Makes the service a run talks to, from the run's copied profile.
using ServiceFactory =
    std::function<std::unique_ptr<protocol::Service>(const protocol::ServerProfile &profile)>;

// A ServiceClient filled from the profile.
ServiceFactory serviceClientFactory();

// Runs the worker of `operation.kind()` to its end on the calling thread (blocks; service
// calls and local files). Gives `service` the run's cancel flag and reporter for the time of
// the run. Returns the run's last result code: 0x800704C7 when it was cancelled.
[[nodiscard]] platform::ResultCode runOperation(Operation &operation, protocol::Service &service);

// The same with a service made by `factory` for this run.
[[nodiscard]] platform::ResultCode runOperation(Operation &operation,
                                                const ServiceFactory &factory);

} // namespace engine
