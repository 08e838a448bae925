// Server commands: Add server, Log on, Server properties, Rename server, Delete server; the
// logon wizard for a server node that is expanded before it is logged on, the rename of a
// server node after a label edit, and the work-folder dialog the folder commands open.

#include "shell/commands/commandcontext.h"
#include "shell/commands/commandrouter.h"
#include "shell/commands/enablerules.h"

#include "shell/childwindowtemplates.h"
#include "shell/cmainframe.h"
#include "shell/czemapp.h"

#include <config/profilestore.h>
#include <config/settings.h>
#include <views/browse/browseconstants.h>
#include <views/browse/browsewindow.h>
#include <views/common/languagemodule.h>
#include <views/dialogs/serverflows.h>
#include <views/dialogs/workfolderdialog.h>
#include <views/history/czemhistorychildframe.h>

#include <QMdiArea>
#include <QMdiSubWindow>

namespace shell {

using views::BrowseWindow;
using views::FolderTreeModel;

static views::ServerFlowContext flowContext(CommandContext &c, BrowseWindow &w)
{
    return views::ServerFlowContext{c.app.module(), c.app.profiles(),
                                    c.app.settings().values().saveUserPass != 0, c.app.identity(),
                                    w.calls()};
}

static QString text(CommandContext &c, int id, const std::string &name)
{
    return c.app.module().text(id).arg(QString::fromStdString(name));
}

// The selected node when it is a server node; invalid otherwise.
static QPersistentModelIndex selectedServerNode(BrowseWindow &w)
{
    const QModelIndex node = w.selectedNode();
    if (w.treeModel().kind(node) != FolderTreeModel::NodeKind::Server)
        return {};
    return QPersistentModelIndex(node);
}

// Puts what a dialog left in the node's own record (a node owns its profile).
static void storeInNode(BrowseWindow &w, const QPersistentModelIndex &node,
                        const protocol::ServerProfile &profile)
{
    if (!node.isValid())
        return;
    if (protocol::ServerProfile *own = w.treeModel().profile(node)) {
        *own = profile;
        w.treeModel().recordChanged(node);
    }
}

// The browse window whose tree Add server adds to. The command is offered while any child
// window is active: with a history window active it is the window the history came from,
// with a comparison window (which keeps no such link) the first browse window open.
static BrowseWindow *documentBrowse(CommandContext &c)
{
    if (BrowseWindow *w = c.browse())
        return w;
    if (views::CZemHistoryChildFrame *h = c.history(); h && h->origin())
        return h->origin();
    for (QMdiSubWindow *child :
         ChildWindowTemplates::children(ChildKind::Browse, *c.frame.mdiArea()))
        if (auto *w = qobject_cast<BrowseWindow *>(child->widget()))
            return w;
    return nullptr;
}

static void addServer(CommandContext &c)
{
    BrowseWindow *w = documentBrowse(c);
    if (!w)
        return;
    const std::optional<views::AddedServer> added = views::addServer(flowContext(c, *w), w);
    if (!added)
        return;
    const QModelIndex node = w->treeModel().addServer(added->profile);
    if (!platform::failed(added->saved))
        w->appendMessage(views::browseimg::Success,
                         text(c, views::browsestr::ServerAdded, added->profile.name));
    w->selectNode(node);
}

static bool logOnNode(CommandContext &c, BrowseWindow &w, const QPersistentModelIndex &node,
                      bool withProxyRule)
{
    const protocol::ServerProfile *p = w.treeModel().profile(node);
    if (!p)
        return false;
    const views::LogonFlow flow = views::logOn(flowContext(c, w), *p, withProxyRule, &w);
    storeInNode(w, node, flow.profile);
    return flow.finished && node.isValid();
}

static void logOn(CommandContext &c)
{
    BrowseWindow *w = c.browse();
    if (!w)
        return;
    const QPersistentModelIndex node = selectedServerNode(*w);
    if (!node.isValid() || !logOnNode(c, *w, node, true))
        return;
    w->selectNode(node);
    w->refresh(node);
    w->appendMessage(views::browseimg::Success,
                     text(c, views::browsestr::LoggedOn, w->treeModel().profile(node)->name));
}

static void serverProperties(CommandContext &c)
{
    BrowseWindow *w = c.browse();
    if (!w)
        return;
    const QPersistentModelIndex node = selectedServerNode(*w);
    const protocol::ServerProfile *p = node.isValid() ? w->treeModel().profile(node) : nullptr;
    if (!p)
        return;
    const protocol::ServerProfile before = *p;
    std::optional<protocol::ServerProfile> edited =
        views::editServer(flowContext(c, *w), before, node.data(Qt::DisplayRole).toString(), w);
    if (!edited)
        return;
    edited->connected = before.connected;
    storeInNode(*w, node, *edited);
    emit w->selectionChanged();
}

static void renameServer(CommandContext &c, BrowseWindow &w, const QPersistentModelIndex &node,
                         const QString &newName)
{
    const protocol::ServerProfile *p = w.treeModel().profile(node);
    if (!p || w.treeModel().kind(node) != FolderTreeModel::NodeKind::Server)
        return;
    const std::optional<protocol::ServerProfile> renamed =
        views::renameServer(flowContext(c, w), *p, newName, &w);
    if (!renamed)
        return;
    storeInNode(w, node, *renamed);
    w.appendMessage(views::browseimg::Success,
                    text(c, views::browsestr::ServerRenamed, renamed->name));
}

static void deleteServer(CommandContext &c)
{
    BrowseWindow *w = c.browse();
    if (!w)
        return;
    const QPersistentModelIndex node = selectedServerNode(*w);
    const protocol::ServerProfile *p = node.isValid() ? w->treeModel().profile(node) : nullptr;
    if (!p)
        return;
    const protocol::ServerProfile profile = *p;
    if (!views::deleteServer(flowContext(c, *w), profile, w) || !node.isValid())
        return;
    w->treeModel().removeNode(node);
    w->appendMessage(views::browseimg::Success,
                     text(c, views::browsestr::ServerDeleted, profile.name));
}

static std::optional<std::string> workFolderDialog(CommandContext &c, BrowseWindow &w,
                                                   const std::string &serverPath,
                                                   const std::string &current)
{
    const protocol::ServerProfile *p = w.selectedServer();
    std::optional<protocol::ServerProfile> server;
    if (p)
        server = *p;
    views::WorkFolderDialog dialog(c.app.module(), QString::fromStdString(serverPath),
                                   QString::fromStdString(current), server, w.calls(), &w);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.workFolder().toStdString();
}

void registerServerCommands(CommandContext &context)
{
    CommandRouter &r = context.router;
    r.add(browsecmd::AddServer, [&context] { addServer(context); });
    r.add(browsecmd::LogOn, [&context] { logOn(context); });
    r.add(browsecmd::ServerProperties, [&context] { serverProperties(context); });
    r.add(browsecmd::RenameServer, [&context] {
        if (BrowseWindow *w = context.browse(); w && selectedServerNode(*w).isValid())
            w->startRenameNode();
    });
    r.add(browsecmd::DeleteServer, [&context] { deleteServer(context); });
    context.workFolderDialog = [&context](BrowseWindow &w, const std::string &serverPath,
                                          const std::string &current) {
        return workFolderDialog(context, w, serverPath, current);
    };
}

void installServerHooks(CommandContext &context, BrowseWindow &window)
{
    window.logonHandler = [&context](BrowseWindow &w, const QModelIndex &server) {
        return logOnNode(context, w, QPersistentModelIndex(server), false);
    };
    window.serverRenameHandler = [&context](BrowseWindow &w, const QModelIndex &server,
                                            const QString &newName) {
        renameServer(context, w, QPersistentModelIndex(server), newName);
    };
}

} // namespace shell
