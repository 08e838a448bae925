#pragma once

// The reference service with its demo data, and the program started with stored profiles
// for it: what the shell's tests of real commands stand on.

#include "browsetestsupport.h"
#include "shelltestsupport.h"

#include <config/profilestore.h>
#include <platform/registry.h>
#include <protocol/serviceclient.h>
#include <views/browse/browsewindow.h>
#include <views/dialogs/serverwizards.h>

#include <QAbstractButton>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QTreeView>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace shelltest {

// The service of the views' tests, with the program started on top of it.
class DemoService : public browsetest::DemoService
{
public:
    // Declared after the service, so that the program goes first.
    std::unique_ptr<StartedApp> app;

    bool startService() const { return started; }

    // Starts the program on a settings file that holds these profiles (with their
    // credentials when savePassword) and whatever `more` writes; true when it started
    // with a browse window.
    bool startProgram(const std::vector<protocol::ServerProfile> &profiles,
                      bool savePassword = false,
                      const std::function<void(platform::Registry &)> &more = {})
    {
        bool stored = true;
        app = std::make_unique<StartedApp>([&](const QString &file) {
            platform::Registry registry(file.toStdString());
            config::ProfileStore store(registry);
            for (const protocol::ServerProfile &p : profiles)
                stored = stored && !platform::failed(store.write(p, savePassword));
            if (more)
                more(registry);
        });
        return stored && app->startResult == 0 && app->frame().activeBrowseWindow();
    }

    // The service and the program with the one profile "Demo".
    bool start() { return started && startProgram({profile()}); }

    std::string userId() const { return profile().userId; }

    std::vector<std::string> fileNames(const std::string &folder) const
    {
        std::vector<protocol::FileItem> files;
        check(client().getFileList(userId(), folder, files));
        std::vector<std::string> names;
        for (const auto &f : files)
            names.push_back(f.fileName);
        return names;
    }
    std::vector<std::string> folderNames(const std::string &folder) const
    {
        std::vector<protocol::FolderItem> folders;
        check(client().getFolderList(userId(), folder, folders));
        std::vector<std::string> names;
        for (const auto &f : folders)
            names.push_back(f.name);
        return names;
    }
    std::vector<std::string> deletedNames(const std::string &folder) const
    {
        std::vector<protocol::DeletedItem> items;
        check(client().getDeletedList(userId(), folder, items));
        std::vector<std::string> names;
        for (const auto &d : items)
            names.push_back(d.name);
        return names;
    }
    // The file's record on the service; an empty record when there is none.
    protocol::FileItem file(const std::string &folder, const std::string &name) const
    {
        std::vector<protocol::FileItem> files;
        if (!client().getFileList(userId(), folder, files).succeeded())
            return {};
        for (const protocol::FileItem &f : files)
            if (f.fileName == name)
                return f;
        return {};
    }

    shell::CMainFrame &frame() { return app->frame(); }
    const views::LanguageModule &module() { return app->app->module(); }

private:
    static void check(const protocol::CallResult &r)
    {
        if (!r.succeeded())
            qWarning("call failed: %s", r.message().c_str());
    }
};

// Selects the folder `path` ("" for the server itself) below server node `server` of the
// window's tree, one level at a time as a user would, logging on through the wizard when
// the server is not yet connected. An invalid index when a name is not found.
inline QModelIndex selectPath(views::BrowseWindow &w, const QString &path, int server = 0)
{
    views::FolderTreeModel &tree = w.treeModel();
    QModelIndex node = tree.index(server, 0, tree.rootIndex());
    if (!tree.profile(node)->connected)
        answerNext<views::LogonWizard>(
            [](views::LogonWizard *wizard) { wizard->button(QWizard::FinishButton)->click(); });
    w.selectNode(node);
    w.runner().waitIdle();
    for (const QString &name : path.split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
        QModelIndex next;
        for (int r = 0; r < tree.rowCount(node); ++r) {
            if (tree.index(r, 0, node).data().toString() == name)
                next = tree.index(r, 0, node);
        }
        if (!next.isValid())
            return {};
        node = next;
        w.selectNode(node);
        w.runner().waitIdle();
    }
    return node;
}

// Selects just the file-list rows of these names (names not listed are passed over) and
// returns their source rows.
inline std::vector<int> selectFiles(views::BrowseWindow &w, const QStringList &names)
{
    QItemSelectionModel *selection = w.detailsView()->selectionModel();
    selection->clearSelection();
    std::vector<int> rows;
    for (const QString &name : names) {
        const int row = w.fileModel().rowOf(name.toStdString());
        if (row < 0)
            continue;
        rows.push_back(row);
        selection->setCurrentIndex(w.fileProxy().mapFromSource(w.fileModel().index(row, 0)),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    return rows;
}

} // namespace shelltest
