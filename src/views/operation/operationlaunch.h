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
    bool ran = false; // the dialog ran the job (false: it could not even start)
    // The job did not run to its end: the dialog closed with IDCANCEL, or it never ran. A
    // caller that goes on with the job's files goes on only when this is false.
    bool cancelled = true;
    platform::ResultCode code = platform::kUnspecifiedFailure; // the worker's last result code
    // The user answered the unchanged-copy question of a check-in with "always".
    bool alwaysUndoUnchanged = false;
};

// Fills the machine identity of the request (logon user, address) from the window's
// resources and runs the dialog modally. A window without a language module has no form
// to show the job in: nothing runs and the outcome says so. `server` is the server node the job
// works for (its folder nodes take a moved folder); invalid: the server of the selected node.
JobOutcome runJob(BrowseWindow &window, engine::OperationRequest request,
                  const engine::ServiceFactory &factory = engine::serviceClientFactory(),
                  QPersistentModelIndex server = {});

} // namespace views
