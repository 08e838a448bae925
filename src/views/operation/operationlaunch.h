#pragma once

// Runs one job of the operation engine behind the progress dialog on a browse window: the
// job's lines go to the window's message pane (and so into zem.log), its record changes to
// the file list rows and the folder tree at once, without a reload.

#include <engine/operations/operationrequest.h>
#include <engine/operations/operationrunner.h>

#include <platform/resultcode.h>

#include <QPersistentModelIndex>

namespace views {

class BrowseWindow;

struct JobOutcome
{
    bool cancelled = false;        // the dialog closed with IDCANCEL
    platform::ResultCode code = 0; // the worker's last result code
};

// Fills the machine identity of the request (logon user, address) from the window's
// resources and runs the dialog modally. `server` is the server node the job works for (its
// folder nodes take a moved folder); invalid: the server of the selected node.
JobOutcome runJob(BrowseWindow &window, engine::OperationRequest request,
                  const engine::ServiceFactory &factory = engine::serviceClientFactory(),
                  QPersistentModelIndex server = {});

} // namespace views
