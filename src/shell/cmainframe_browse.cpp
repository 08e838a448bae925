// The main window's part of the browse window: the resources it draws from the language
// module, the command groups behind the router, the Folder and Files menus, the context
// menus of menu 137, and the factory that makes each browse window.

#include "shell/browsechild.h"
#include "shell/cmainframe.h"
#include "shell/commands/commandcontext.h"
#include "shell/commands/commandrouter.h"
#include "shell/commands/enablerules.h"
#include "shell/czemapp.h"
#include "shell/shellconstants.h"

#include <config/profilestore.h>
#include <config/settings.h>
#include <views/browse/browseconstants.h>
#include <views/common/errortext.h>
#include <views/common/languagemodule.h>
#include <views/history/czemhistorychildframe.h>

#include <QActionGroup>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

namespace shell {

views::BrowseWindow *CommandContext::browse() const
{
    return frame.activeBrowseWindow();
}

views::BrowseWindow *CMainFrame::activeBrowseWindow() const
{
    QMdiSubWindow *child = m_mdiArea ? m_mdiArea->activeSubWindow() : nullptr;
    return child ? qobject_cast<views::BrowseWindow *>(child->widget()) : nullptr;
}

// The commands of each sub-menu of menu 137 (0 root and servers, 1 folders, 2 files), 0 a
// separator.
// The menu of the server commands.
static constexpr int kServerMenu = 3210;
// The menu of the history commands.
static constexpr int kHistoryMenu = 3330;

static const std::vector<int> kContextMenus[] = {
    {browsecmd::AddServer, browsecmd::LogOn, 0, browsecmd::NewFolder, 0, browsecmd::RenameServer,
     browsecmd::DeleteServer, 0, browsecmd::ServerProperties},
    {browsecmd::Get, browsecmd::CheckOut, browsecmd::UndoCheckOut, browsecmd::CheckIn, 0,
     browsecmd::NewFolder, browsecmd::RenameFolder, browsecmd::DeleteFolder, 0,
     browsecmd::SetWorkFolder, browsecmd::FolderProperties},
    {browsecmd::Get, browsecmd::CheckOut, browsecmd::UndoCheckOut, browsecmd::CheckIn,
     browsecmd::CheckOutAndOpen, browsecmd::GetAndOpen, 0, browsecmd::RenameFile,
     browsecmd::DeleteFiles, 0, browsecmd::SelectAll, browsecmd::InvertSelection, 0,
     browsecmd::FileHistory, browsecmd::CompareFiles, browsecmd::CompareWorkingCopy},
    // 3: the rows of a history window.
    {browsecmd::GetVersion, browsecmd::HistoryGetAndOpen, 0, browsecmd::Compare,
     browsecmd::CompareVersions, browsecmd::RollBack, 0, browsecmd::SelectAll,
     browsecmd::InvertSelection},
};

void CMainFrame::installBrowseCommands()
{
    const views::LanguageModule &module = m_app.module();
    m_browseResources = std::make_unique<views::BrowseResources>();
    m_browseResources->module = &module;
    m_browseResources->text = [&module](int id) {
        return module.text(id);
    };
    m_browseResources->images = m_smallImages;
    m_browseResources->errorText = [&module](platform::ResultCode rc) {
        return views::errorText(module, rc);
    };
    m_browseResources->identity = m_app.identity();

    m_router = std::make_unique<CommandRouter>([this] {
        QMdiSubWindow *child = m_mdiArea->activeSubWindow();
        SelectionSnapshot::Child kind = SelectionSnapshot::Child::None;
        if (child) {
            const QVariant k = child->property("ravelindChildKind");
            kind = k.toInt() == int(ChildKind::History) ? SelectionSnapshot::Child::History
                   : k.toInt() == int(ChildKind::Diff)  ? SelectionSnapshot::Child::Diff
                                                        : SelectionSnapshot::Child::Browse;
        }
        SelectionSnapshot s = snapshotOf(activeBrowseWindow(), kind, m_app.profiles().count());
        if (auto *h =
                child ? qobject_cast<views::CZemHistoryChildFrame *>(child->widget()) : nullptr)
            addHistoryState(s, *h);
        return s;
    });
    m_commands = std::make_unique<CommandContext>(CommandContext{m_app, *this, *m_router, {}, {}});
    registerFolderCommands(*m_commands);
    registerFileCommands(*m_commands);
    registerViewCommands(*m_commands);
    registerServerCommands(*m_commands);
    registerHistoryCommands(*m_commands);
    registerOperationCommands(*m_commands);
    registerCompareCommands(*m_commands);

    const auto routed = [this](int id) {
        QAction *a = action(id) ? action(id) : makeAction(id);
        m_router->attach(a);
        return a;
    };
    QMenu *servers = new QMenu(module.text(kServerMenu), this);
    for (int id : {browsecmd::AddServer, browsecmd::LogOn, 0, browsecmd::RenameServer,
                   browsecmd::DeleteServer, 0, browsecmd::ServerProperties}) {
        if (id == 0)
            servers->addSeparator();
        else
            servers->addAction(routed(id));
    }
    QMenu *folders = new QMenu(module.text(views::browsestr::FolderMenu), this);
    for (int id : {browsecmd::NewFolder, browsecmd::RenameFolder, browsecmd::DeleteFolder,
                   browsecmd::SetWorkFolder, 0, browsecmd::GetFolder, browsecmd::CheckOutFolder,
                   browsecmd::UndoCheckOutFolder, browsecmd::CheckInFolder, 0,
                   browsecmd::FolderProperties}) {
        if (id == 0)
            folders->addSeparator();
        else
            folders->addAction(routed(id));
    }
    QMenu *files = new QMenu(module.text(views::browsestr::FilesMenu), this);
    for (int id : {browsecmd::GetFiles, browsecmd::CheckOutFiles, browsecmd::UndoCheckOutFiles,
                   browsecmd::CheckInFiles, browsecmd::CheckOutAndOpen, browsecmd::GetAndOpen, 0,
                   browsecmd::RenameFile, browsecmd::DeleteFiles, 0, browsecmd::SelectAll,
                   browsecmd::InvertSelection}) {
        if (id == 0)
            files->addSeparator();
        else
            files->addAction(routed(id));
    }
    routed(browsecmd::SelectAll)->setShortcut(QKeySequence::SelectAll);
    routed(browsecmd::SelectAll)->setShortcutContext(Qt::WindowShortcut);
    // The Delete and Rename keys reach the window's panes themselves; these carry them for
    // the menus and the toolbar.
    routed(browsecmd::DeleteKey);
    routed(browsecmd::RenameKey);
    QMenu *history = new QMenu(module.text(kHistoryMenu), this);
    for (int id : {browsecmd::History, browsecmd::FolderHistory, browsecmd::FileHistory, 0,
                   browsecmd::CompareFiles, browsecmd::Compare, browsecmd::CompareVersions,
                   browsecmd::CompareWorkingCopy, 0, browsecmd::GetVersion,
                   browsecmd::HistoryGetAndOpen, browsecmd::RollBack}) {
        if (id == 0)
            history->addSeparator();
        else
            history->addAction(routed(id));
    }
    // The pane-dependent operation commands (toolbar and context menus).
    for (int id :
         {browsecmd::Get, browsecmd::CheckOut, browsecmd::UndoCheckOut, browsecmd::CheckIn})
        routed(id);
    QList<QAction *> menus = menuBar()->actions();
    QAction *before = menus.size() > 1 ? menus[1] : nullptr; // after File
    menuBar()->insertMenu(before, servers);
    menuBar()->insertMenu(before, folders);
    menuBar()->insertMenu(before, files);
    menuBar()->insertMenu(before, history);
    for (QMenu *m : {servers, folders, files, history})
        connect(m, &QMenu::aboutToShow, this, &CMainFrame::updateCommandStates);

    // View styles of the file list, in the View menu.
    for (QAction *top : menuBar()->actions()) {
        if (top->menu() && top->text() == module.text(str::MenuView)) {
            top->menu()->addSeparator();
            // One group, so the current style shows a radio mark rather than a check box.
            auto *styles = new QActionGroup(top->menu());
            styles->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
            for (int id : {browsecmd::ViewLargeIcons, browsecmd::ViewSmallIcons,
                           browsecmd::ViewList, browsecmd::ViewDetails})
                styles->addAction(routed(id));
            for (int id : {browsecmd::ViewLargeIcons, browsecmd::ViewSmallIcons,
                           browsecmd::ViewList, browsecmd::ViewDetails, browsecmd::LineUp})
                top->menu()->addAction(routed(id));
            connect(top->menu(), &QMenu::aboutToShow, this, &CMainFrame::updateCommandStates);
        }
    }

    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, [this] {
        // Another window may have added, renamed or deleted a server meanwhile.
        if (views::BrowseWindow *w = activeBrowseWindow())
            w->syncServers(m_app.profiles().readAll());
        updateCommandStates();
        if (views::BrowseWindow *w = activeBrowseWindow())
            m_filesPane->setText(w->fileCountText());
    });
    m_app.templates().setFactory(ChildKind::Browse, [this] { return makeBrowseWindow(); });
}

QWidget *CMainFrame::makeBrowseWindow()
{
    config::ProfileStore &store = m_app.profiles();
    auto *w =
        new BrowseChild(*m_browseResources, m_app.settings(), [&store] { return store.readAll(); });
    installServerHooks(*m_commands, *w);
    installDropHandler(*m_commands, *w);
    connect(w, &views::BrowseWindow::selectionChanged, this, [this, w] {
        if (w == activeBrowseWindow())
            updateCommandStates();
    });
    // The child's title names the selected server and folder, also after a rename.
    const auto retitle = [this, w] {
        if (auto *child = qobject_cast<QMdiSubWindow *>(w->parentWidget()))
            child->setWindowTitle(browseWindowTitle(m_app.module(), w->selectedChain()));
    };
    connect(w, &views::BrowseWindow::selectionChanged, this, retitle);
    connect(&w->treeModel(), &QAbstractItemModel::dataChanged, this, retitle);
    connect(w, &views::BrowseWindow::workFolderPaneChanged, this, [this, w](const QString &t) {
        if (w == activeBrowseWindow())
            setWorkFolderPane(t);
    });
    connect(w, &views::BrowseWindow::commentPaneChanged, this, [this, w](const QString &t) {
        if (w == activeBrowseWindow())
            setCommentPane(t);
    });
    connect(w, &views::BrowseWindow::fileCountChanged, this, [this, w](const QString &t) {
        if (w != activeBrowseWindow())
            return;
        m_filesPane->setText(t);
        m_filesPane->setVisible(!t.isEmpty());
    });
    connect(w, &views::BrowseWindow::contextMenuRequested, this, &CMainFrame::showBrowseMenu);
    connect(w, &views::BrowseWindow::commandRequested, this,
            [this](int id) { m_router->dispatch(id); });
    connect(w, &views::BrowseWindow::profileChanged, this,
            [this](const protocol::ServerProfile &p) {
                // The service may have given the profile its user ID at logon: keep it.
                protocol::ServerProfile stored;
                if (platform::failed(m_app.profiles().readByName(p.name, stored)) ||
                    stored.userId == p.userId)
                    return;
                stored.userId = p.userId;
                // Without credentials: the stored ones stay as they are.
                (void)m_app.profiles().write(stored, false);
            });
    return w;
}

void CMainFrame::showBrowseMenu(int subMenu, const QPoint &globalPos)
{
    if (subMenu < 0 || subMenu > 3)
        return;
    updateCommandStates();
    QMenu menu(this);
    for (int id : kContextMenus[subMenu]) {
        if (id == 0) {
            if (!menu.isEmpty() && !menu.actions().last()->isSeparator())
                menu.addSeparator();
            continue;
        }
        if (QAction *a = action(id); a && m_router->has(id))
            menu.addAction(a);
    }
    if (!menu.isEmpty() && menu.actions().last()->isSeparator())
        menu.removeAction(menu.actions().last());
    if (!menu.isEmpty())
        menu.exec(globalPos);
}

} // namespace shell
