// Compare commands: Compare files and Compare from the browse window's file list, Compare and
// Compare versions from a history window, and Compare with working copy (the local copy of a
// file against the server's latest version). Each presets the compare dialog and opens a
// comparison window on what the dialog yields; fetched versions belong to that window.

#include "shell/commands/commandcontext.h"
#include "shell/commands/commandrouter.h"
#include "shell/commands/enablerules.h"

#include "shell/cmainframe.h"
#include "shell/czemapp.h"

#include <engine/operations/operationrunner.h>
#include <engine/selection.h>
#include <views/browse/browsewindow.h>
#include <views/common/languagemodule.h>
#include <views/diff/comparedialog.h>
#include <views/diff/czemdiffchildframe.h>
#include <views/history/czemhistorychildframe.h>

#include <QFile>

#include <filesystem>

namespace shell {

namespace {

constexpr int kDiffTitle = 183;

struct CompareSide
{
    std::string path; // empty: the entry starts empty
    std::int32_t version = -1;
    QString localFile; // instead of a server path: this local file
};

QString entryOf(const CompareSide &side)
{
    if (!side.localFile.isEmpty())
        return side.localFile;
    if (side.path.empty())
        return {};
    return QStringLiteral("%1:%2").arg(QString::fromStdString(side.path)).arg(side.version);
}

void compare(CommandContext &c, const protocol::ServerProfile &profile, const CompareSide &first,
             const CompareSide &second, QWidget *parent)
{
    views::CompareDialog dialog(
        c.app.module(), profile,
        c.compareFactory ? c.compareFactory : engine::serviceClientFactory(), parent);
    dialog.setEntries(entryOf(first), entryOf(second));
    if (dialog.exec() != QDialog::Accepted)
        return;
    views::DiffRequest request;
    request.leftPath = dialog.firstFile();
    request.rightPath = dialog.secondFile();
    request.leftLabel = dialog.firstEntry();
    request.rightLabel = dialog.secondEntry();
    request.title = c.app.module().text(kDiffTitle).arg(request.leftLabel, request.rightLabel);
    request.temporaryFiles = dialog.temporaryFiles();
    if (!c.frame.openDiffWindow(request)) {
        for (const QString &f : request.temporaryFiles)
            QFile::remove(f);
    }
}

void compareFiles(CommandContext &c)
{
    views::BrowseWindow *w = c.browse();
    if (!w)
        return;
    const protocol::ServerProfile *p = w->selectedServer();
    const std::optional<std::string> folder = w->selectedFolderPath();
    const std::vector<protocol::FileItem> files = w->selectedFiles();
    if (!p || !folder || files.empty() || files.size() > 2)
        return;
    CompareSide sides[2];
    for (std::size_t i = 0; i < files.size(); ++i)
        sides[i].path = engine::fileServerPath(*folder, files[i].fileName);
    compare(c, *p, sides[0], sides[1], w);
}

void compareVersions(CommandContext &c)
{
    views::CZemHistoryChildFrame *h = c.history();
    if (!h)
        return;
    const std::vector<int> rows = h->list()->selectedRows();
    if (rows.empty() || rows.size() > 2)
        return;
    CompareSide sides[2];
    for (std::size_t i = 0; i < rows.size(); ++i) {
        sides[i].path = h->rowPath(rows[i]);
        sides[i].version = h->model().item(rows[i]).version;
    }
    compare(c, h->profile(), sides[0], sides[1], h);
}

void compareWithWorkingCopy(CommandContext &c)
{
    views::BrowseWindow *w = c.browse();
    if (!w)
        return;
    const protocol::ServerProfile *p = w->selectedServer();
    const std::optional<std::string> folder = w->selectedFolderPath();
    const std::vector<protocol::FileItem> files = w->selectedFiles();
    const std::optional<std::string> local = engine::inheritedWorkingFolder(w->selectedChain());
    if (!p || !folder || files.size() != 1)
        return;
    CompareSide server;
    server.path = engine::fileServerPath(*folder, files.front().fileName);
    CompareSide mine;
    if (local && !local->empty())
        mine.localFile = QString::fromStdString(
            (std::filesystem::path(*local) / files.front().fileName).string());
    // The local copy first, as the user edits it; the dialog checks that it exists.
    compare(c, *p, mine, server, w);
}

} // namespace

void registerCompareCommands(CommandContext &context)
{
    CommandRouter &r = context.router;
    r.add(browsecmd::CompareFiles, [&context] { compareFiles(context); });
    r.add(browsecmd::Compare, [&context] {
        if (context.history())
            compareVersions(context);
        else
            compareFiles(context);
    });
    r.add(browsecmd::CompareVersions, [&context] { compareVersions(context); });
    r.add(browsecmd::CompareWorkingCopy, [&context] { compareWithWorkingCopy(context); });
}

} // namespace shell
