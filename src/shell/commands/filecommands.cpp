// File commands: Delete files, Rename file, the Delete and Rename keys, Select all, Invert
// selection.

#include "shell/commands/commandcontext.h"
#include "shell/commands/commandrouter.h"
#include "shell/commands/enablerules.h"

#include "shell/cmainframe.h"
#include "shell/czemapp.h"

#include <views/browse/browseconstants.h>
#include <views/browse/browsewindow.h>
#include <views/browse/deletedialog.h>
#include <views/common/languagemodule.h>
#include <views/history/czemhistorychildframe.h>

namespace shell {

using views::BrowseWindow;

static void deleteFiles(CommandContext &c)
{
    BrowseWindow *w = c.browse();
    if (!w || !w->selectedNode().isValid())
        return;
    const std::optional<std::string> folder = w->selectedFolderPath();
    const protocol::ServerProfile *p = w->selectedServer();
    if (!folder || !p)
        return;
    const protocol::ServerProfile profile = *p;
    const engine::ServiceCalls calls = w->calls();
    const views::LanguageModule &module = c.app.module();
    views::DeleteDialog dialog(
        module, views::DeleteDialog::Mode::Files,
        [&](bool purge) {
            // The selected rows in the order the list shows them, read at OK: a retry after
            // a failure goes on with what is still selected. (Sorting the model rows would
            // delete in the service's order, not the user's, and stop at another file.)
            const std::vector<int> rows = w->selectedRows();
            std::vector<std::string> paths;
            std::vector<std::string> names;
            for (int row : rows) {
                names.push_back(w->fileModel().file(row).fileName);
                paths.push_back(engine::fileServerPath(*folder, names.back()));
            }
            const engine::DeleteOutcome out = w->runner().wait<engine::DeleteOutcome>(
                [&] { return calls.deleteItems(profile, paths, purge); });
            for (const std::string &deleted : out.deleted)
                w->appendMessage(views::browseimg::Success,
                                 module.text(views::browsestr::FileDeleted)
                                     .arg(QString::fromStdString(deleted)));
            if (out.failure.succeeded())
                return true;
            // What was deleted before the failure is gone on the server: its rows go too.
            std::vector<int> gone;
            for (std::size_t i = 0; i < out.deleted.size(); ++i)
                gone.push_back(w->fileModel().rowOf(names[i]));
            w->fileModel().removeRowsAt(gone);
            w->showCallFailure(out.failure, profile);
            return false;
        },
        w);
    if (dialog.exec() != QDialog::Accepted)
        return;
    w->setUpdatesEnabled(false);
    w->fileModel().removeRowsAt(w->selectedRows());
    w->setUpdatesEnabled(true);
}

void registerFileCommands(CommandContext &context)
{
    CommandRouter &r = context.router;
    r.add(browsecmd::DeleteFiles, [&context] { deleteFiles(context); });
    r.add(browsecmd::RenameFile, [&context] {
        if (BrowseWindow *w = context.browse())
            w->startRenameFile();
    });
    r.add(browsecmd::DeleteKey, [&context] {
        if (const int target = deleteKeyTarget(context.router.snapshot()))
            context.router.dispatch(target);
    });
    r.add(browsecmd::RenameKey, [&context] {
        if (const int target = renameKeyTarget(context.router.snapshot()))
            context.router.dispatch(target);
    });
    r.add(browsecmd::SelectAll, [&context] {
        if (views::CZemHistoryChildFrame *h = context.history())
            h->list()->selectAllRows();
        else if (BrowseWindow *w = context.browse())
            w->selectAllFiles();
    });
    r.add(browsecmd::InvertSelection, [&context] {
        if (views::CZemHistoryChildFrame *h = context.history())
            h->list()->invertSelection();
        else if (BrowseWindow *w = context.browse())
            w->invertFileSelection();
    });
}

} // namespace shell
