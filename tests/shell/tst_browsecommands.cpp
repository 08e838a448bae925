// The browse window's folder and file commands from the main window, against the reference
// service with its demo data: new folder (below a private folder, refused, empty name),
// delete files with and without purge, delete folder, the Delete key, select and invert.

#include "demoservice.h"
#include "shell/commands/commandrouter.h"
#include "shell/commands/enablerules.h"
#include "shell/shellconstants.h"

#include <config/profilestore.h>
#include <platform/machineidentity.h>
#include <platform/registry.h>
#include <protocol/serviceclient.h>
#include <views/browse/browseconstants.h>
#include <views/browse/browsewindow.h>
#include <views/browse/deletedialog.h>
#include <views/browse/newfolderdialog.h>
#include <views/common/languagemodule.h>
#include <views/dialogs/serverpages.h>
#include <views/dialogs/serverwizards.h>
#include <views/dialogs/workfolderdialog.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

using namespace shell;

class TestBrowseCommands : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<shelltest::DemoService> m_demo;

    protocol::ServerProfile profile() const { return m_demo->profile(); }
    protocol::ServiceClient client() const { return m_demo->client(); }
    CMainFrame &frame() { return m_demo->frame(); }
    views::BrowseWindow &w() { return *frame().activeBrowseWindow(); }
    QModelIndex select(const QString &path) { return shelltest::selectPath(w(), path); }
    const views::LanguageModule &module() { return m_demo->module(); }

private slots:
    void init()
    {
        m_demo = std::make_unique<shelltest::DemoService>();
        QVERIFY(m_demo->start());
    }
    void cleanup() { m_demo.reset(); }

    void newFolderBelowAPrivateFolderIsPrivateAndLocked()
    {
        const QModelIndex priv = select(QStringLiteral("Private"));
        QVERIFY(priv.isValid());
        QVERIFY(w().treeModel().folder(priv)->isPrivate);
        bool checked = false;
        bool enabled = true;
        shelltest::answerNextModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<views::NewFolderDialog *>(modal);
            QVERIFY(dialog);
            checked = dialog->findChild<QCheckBox *>(QStringLiteral("c1016"))->isChecked();
            enabled = dialog->findChild<QCheckBox *>(QStringLiteral("c1016"))->isEnabled();
            dialog->findChild<QLineEdit *>(QStringLiteral("c1041"))
                ->setText(QStringLiteral("Notes"));
            dialog->findChild<QLineEdit *>(QStringLiteral("c1042"))
                ->setText(QStringLiteral("mine"));
            dialog->accept();
        });
        QVERIFY(frame().router().dispatch(browsecmd::NewFolder));
        QVERIFY(checked);
        QVERIFY(!enabled);
        QCOMPARE(w().treeModel().rowCount(priv), 1);
        const protocol::FolderItem *made =
            w().treeModel().folder(w().treeModel().index(0, 0, priv));
        QCOMPARE(made->name, std::string("Notes"));
        QVERIFY(made->isPrivate);
        QCOMPARE(w().messages().textAt(w().messages().rowCount() - 1),
                 module().text(views::browsestr::FolderCreated).arg(QStringLiteral("Notes")));
        std::vector<protocol::FolderItem> onServer;
        QVERIFY(client().getFolderList(profile().userId, "Private", onServer).succeeded());
        QCOMPARE(onServer.size(), std::size_t(1));
        QVERIFY(onServer[0].isPrivate);

        // Below a public folder the box starts clear and can be changed.
        select(QStringLiteral("Documents"));
        shelltest::answerNextModal([&](QWidget *modal) {
            checked = modal->findChild<QCheckBox *>(QStringLiteral("c1016"))->isChecked();
            enabled = modal->findChild<QCheckBox *>(QStringLiteral("c1016"))->isEnabled();
            static_cast<QDialog *>(modal)->reject();
        });
        QVERIFY(frame().router().dispatch(browsecmd::NewFolder));
        QVERIFY(!checked);
        QVERIFY(enabled);
    }

    void newFolderBelowTheServerNodeGoesToTheTopLevel()
    {
        views::FolderTreeModel &tree = w().treeModel();
        const QModelIndex server = select(QString());
        QVERIFY(tree.rowCount(server) > 0);
        const int before = tree.rowCount(server);
        bool checked = true;
        bool enabled = false;
        shelltest::answerNextModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<views::NewFolderDialog *>(modal);
            QVERIFY(dialog);
            checked = dialog->isPrivate();
            enabled = dialog->findChild<QCheckBox *>(QStringLiteral("c1016"))->isEnabled();
            dialog->findChild<QLineEdit *>(QStringLiteral("c1041"))->setText(QStringLiteral("Top"));
            dialog->accept();
        });
        QVERIFY(frame().router().dispatch(browsecmd::NewFolder));
        QVERIFY(!checked);
        QVERIFY(enabled);
        QCOMPARE(tree.rowCount(server), before + 1);
        QCOMPARE(tree.index(before, 0, server).data().toString(), QStringLiteral("Top"));
        const std::vector<std::string> top = m_demo->folderNames("");
        QVERIFY(std::find(top.begin(), top.end(), "Top") != top.end());
    }

    void aRefusedOrEmptyNewFolderNameKeepsTheDialogOpen()
    {
        const QModelIndex projects = select(QStringLiteral("Projects"));
        const int before = w().treeModel().rowCount(projects);
        QStringList boxes;
        bool stillOpen = false;
        shelltest::answerNextModal([&](QWidget *modal) {
            auto *dialog = static_cast<views::NewFolderDialog *>(modal);
            // Empty name: message 2065, the dialog stays.
            shelltest::answerNext<QMessageBox>([&, dialog](QMessageBox *box) {
                boxes << box->text();
                box->accept();
                // An existing name: the server's message, the dialog stays with the name.
                dialog->findChild<QLineEdit *>(QStringLiteral("c1041"))
                    ->setText(QStringLiteral("Tools"));
                shelltest::answerNext<QMessageBox>([&, dialog](QMessageBox *second) {
                    boxes << second->text();
                    second->accept();
                    QTimer::singleShot(50, dialog, [&, dialog] {
                        stillOpen =
                            dialog->isVisible() &&
                            dialog->findChild<QLineEdit *>(QStringLiteral("c1041"))->text() ==
                                QStringLiteral("Tools");
                        dialog->reject();
                    });
                });
                QTimer::singleShot(0, dialog, [dialog] { dialog->accept(); });
            });
            QTimer::singleShot(0, dialog, [dialog] { dialog->accept(); });
        });
        QVERIFY(frame().router().dispatch(browsecmd::NewFolder));
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[0], module().text(views::browsestr::NewFolderNeedsName));
        QVERIFY(stillOpen);
        QCOMPARE(w().treeModel().rowCount(projects), before);
    }

    void deleteFilesWithAndWithoutPurge()
    {
        select(QStringLiteral("Documents"));
        QCOMPARE(w().fileModel().rowCount(), 2);
        w().selectAllFiles();
        bool purgeShownClear = false;
        shelltest::answerNextModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<views::DeleteDialog *>(modal);
            QVERIFY(dialog);
            purgeShownClear = !dialog->purge();
            QCOMPARE(dialog->prompt(), module().text(views::browsestr::DeleteFilesPrompt));
            dialog->accept();
        });
        QVERIFY(frame().router().dispatch(browsecmd::DeleteFiles));
        QVERIFY(purgeShownClear);
        QCOMPARE(w().fileModel().rowCount(), 0);
        QCOMPARE(w().messages().rowCount(), 2);
        QCOMPARE(w().messages().textAt(0),
                 module()
                     .text(views::browsestr::FileDeleted)
                     .arg(QStringLiteral("Documents\\meeting-notes.txt")));
        QVERIFY(m_demo->fileNames("Documents").empty());
        std::vector<std::string> deleted = m_demo->deletedNames("Documents");
        std::sort(deleted.begin(), deleted.end());
        QCOMPARE(deleted, (std::vector<std::string>{"meeting-notes.txt", "roadmap.md"}));

        // Purged: gone for good, not among the deleted items.
        select(QStringLiteral("Projects\\Tools"));
        w().selectAllFiles();
        shelltest::answerNextModal([](QWidget *modal) {
            modal->findChild<QCheckBox *>(QStringLiteral("c1044"))->setChecked(true);
            static_cast<QDialog *>(modal)->accept();
        });
        QVERIFY(frame().router().dispatch(browsecmd::DeleteFiles));
        QVERIFY(m_demo->fileNames("Projects\\Tools").empty());
        QVERIFY(m_demo->deletedNames("Projects\\Tools").empty());
    }

    void deleteFolderRemovesTheNodeAndSelectsItsParent()
    {
        const QModelIndex projects = select(QStringLiteral("Projects"));
        // Tools holds no checked-out file, so the service lets it go.
        const QPersistentModelIndex tools = select(QStringLiteral("Projects\\Tools"));
        QVERIFY(tools.isValid());
        shelltest::answerNextModal([](QWidget *modal) {
            QCOMPARE(static_cast<views::DeleteDialog *>(modal)->mode(),
                     views::DeleteDialog::Mode::Folder);
            static_cast<QDialog *>(modal)->accept();
        });
        // The Delete key of the tree: Delete folder for a folder node.
        w().treeView()->setFocus();
        QTest::keyClick(w().treeView(), Qt::Key_Delete);
        QVERIFY(!tools.isValid());
        QCOMPARE(w().selectedNode(), projects);
        QCOMPARE(
            w().messages().textAt(0),
            module().text(views::browsestr::FolderDeleted).arg(QStringLiteral("Projects\\Tools")));
        std::vector<protocol::FolderItem> left;
        QVERIFY(client().getFolderList(profile().userId, "Projects", left).succeeded());
        QCOMPARE(left.size(), std::size_t(1));
    }

    void deleteFilesStopsAtTheFirstFailureInListOrder()
    {
        select(QStringLiteral("Documents"));
        // Listed from Z to A: roadmap.md comes first, so the files go in that order.
        const auto firstShown = [this] {
            return w().fileProxy().index(0, views::FileListModel::Name).data().toString();
        };
        for (int click = 0; click < 2 && firstShown() != QLatin1String("roadmap.md"); ++click)
            w().fileProxy().clickColumn(views::FileListModel::Name);
        QCOMPARE(firstShown(), QStringLiteral("roadmap.md"));
        w().selectAllFiles();
        // Another client deleted the second file meanwhile: its delete fails.
        QVERIFY(client()
                    .deleteItem(m_demo->userId(), "Documents\\meeting-notes.txt", true)
                    .succeeded());
        QString failure;
        bool openAfterFailure = false;
        shelltest::answerNextModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<views::DeleteDialog *>(modal);
            QVERIFY(dialog);
            shelltest::answerNext<QMessageBox>([&, dialog](QMessageBox *box) {
                failure = box->text();
                QCOMPARE(box->icon(), QMessageBox::Critical);
                box->accept();
                QTimer::singleShot(50, dialog, [&, dialog] {
                    openAfterFailure = dialog->isVisible();
                    dialog->reject();
                });
            });
            dialog->accept();
        });
        QVERIFY(frame().router().dispatch(browsecmd::DeleteFiles));
        QVERIFY(!failure.isEmpty());
        QVERIFY(openAfterFailure);
        // The first file is deleted, logged and gone from the list; the failed one stays.
        QCOMPARE(w().messages().rowCount(), 1);
        QCOMPARE(w().messages().textAt(0), module()
                                               .text(views::browsestr::FileDeleted)
                                               .arg(QStringLiteral("Documents\\roadmap.md")));
        QCOMPARE(w().fileModel().rowCount(), 1);
        QCOMPARE(w().fileModel().file(0).fileName, std::string("meeting-notes.txt"));
        QCOMPARE(m_demo->deletedNames("Documents"), std::vector<std::string>{"roadmap.md"});
    }

    void aRefusedFolderDeleteKeepsTheDialogAndTheNode()
    {
        // Website holds a file that jonas has checked out: the service keeps the folder.
        const QPersistentModelIndex website = select(QStringLiteral("Projects\\Website"));
        QVERIFY(website.isValid());
        QString failure;
        bool openAfterFailure = false;
        shelltest::answerNextModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<views::DeleteDialog *>(modal);
            QVERIFY(dialog);
            QCOMPARE(dialog->prompt(), module().text(views::browsestr::DeleteFolderPrompt));
            shelltest::answerNext<QMessageBox>([&, dialog](QMessageBox *box) {
                failure = box->text();
                QCOMPARE(box->icon(), QMessageBox::Critical);
                box->accept();
                QTimer::singleShot(50, dialog, [&, dialog] {
                    openAfterFailure = dialog->isVisible();
                    dialog->reject();
                });
            });
            dialog->accept();
        });
        QVERIFY(frame().router().dispatch(browsecmd::DeleteFolder));
        QVERIFY(!failure.isEmpty());
        QVERIFY(openAfterFailure);
        QVERIFY(website.isValid());
        QCOMPARE(w().selectedNode(), QModelIndex(website));
        QCOMPARE(w().messages().rowCount(), 0);
        QCOMPARE(m_demo->folderNames("Projects"), (std::vector<std::string>{"Tools", "Website"}));
    }

    void setWorkingFolderStoresItAndShowsItInPane2()
    {
        const QModelIndex tools = select(QStringLiteral("Projects\\Tools"));
        QVERIFY(tools.isValid());
        QTemporaryDir local;
        const QString chosen = local.filePath(QStringLiteral("tools"));
        QString shownServerPath;
        for (const bool confirm : {false, true}) {
            shelltest::answerNext<views::WorkFolderDialog>([&](views::WorkFolderDialog *dialog) {
                shownServerPath = dialog->findChild<QLineEdit *>(QStringLiteral("c1041"))->text();
                dialog->workFolderField()->setText(chosen);
                if (!confirm) {
                    dialog->reject();
                    return;
                }
                // Missing: message 2001, answered Yes, makes it.
                shelltest::answerNext<QMessageBox>(
                    [](QMessageBox *box) { box->button(QMessageBox::Yes)->click(); });
                dialog->accept();
            });
            QVERIFY(frame().router().dispatch(browsecmd::SetWorkFolder));
            QCOMPARE(shownServerPath, QStringLiteral("Projects\\Tools"));
            const std::string expected = confirm ? chosen.toStdString() : std::string();
            QCOMPARE(w().treeModel().folder(tools)->workFolderPath, expected);
            QCOMPARE(frame().findChild<QLabel *>(QStringLiteral("pane2"))->text(),
                     QString::fromStdString(expected));
            std::vector<protocol::FolderItem> folders;
            QVERIFY(client().getFolderList(m_demo->userId(), "Projects", folders).succeeded());
            std::string kept = "(no Tools)";
            for (const protocol::FolderItem &f : folders) {
                if (f.name == "Tools")
                    kept = f.workFolderPath;
            }
            QCOMPARE(kept, expected);
        }
        QVERIFY(QDir(chosen).exists());
    }

    void addServerWithAHistoryWindowActiveAddsToTheWindowItCameFrom()
    {
        views::BrowseWindow &browse = w();
        select(QStringLiteral("Documents"));
        shelltest::selectFiles(browse, {QStringLiteral("roadmap.md")});
        QVERIFY(frame().router().dispatch(browsecmd::FileHistory));
        QVERIFY(!frame().activeBrowseWindow());
        QVERIFY(frame().action(browsecmd::AddServer)->isEnabled());
        const int port = profile().port;
        bool offered = false;
        shelltest::answerNext<views::AddServerWizard>([&](views::AddServerWizard *wizard) {
            offered = true;
            const std::pair<int, QString> fields[] = {{1012, QStringLiteral("Second")},
                                                      {1017, QStringLiteral("127.0.0.1")},
                                                      {1020, QStringLiteral("/Service.asmx")},
                                                      {1021, QString::number(port)},
                                                      {1023, QStringLiteral("20")}};
            for (const auto &[id, text] : fields)
                wizard->infoPage()
                    ->findChild<QLineEdit *>(QStringLiteral("c%1").arg(id))
                    ->setText(text);
            wizard->next();
            wizard->next();
            wizard->button(QWizard::FinishButton)->click();
        });
        QVERIFY(frame().router().dispatch(browsecmd::AddServer));
        QVERIFY(offered);
        views::FolderTreeModel &tree = browse.treeModel();
        QCOMPARE(tree.rowCount(tree.rootIndex()), 2);
        QCOMPARE(tree.index(1, 0, tree.rootIndex()).data().toString(), QStringLiteral("Second"));
        QCOMPARE(browse.messages().textAt(browse.messages().rowCount() - 1),
                 module().text(views::browsestr::ServerAdded).arg(QStringLiteral("Second")));
    }

    void anEmptyWorkingFolderNamedForACheckOutRunsNoJob()
    {
        // The files would land in whatever folder the program was started from.
        QTemporaryDir started;
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(started.path()));
        select(QStringLiteral("Documents"));
        shelltest::selectFiles(w(), {QStringLiteral("roadmap.md")});
        bool asked = false;
        shelltest::answerNext<views::WorkFolderDialog>([&](views::WorkFolderDialog *dialog) {
            asked = true;
            dialog->workFolderField()->clear();
            dialog->accept();
        });
        // A job that ran anyway closes its progress dialog by itself.
        QVERIFY(frame().router().dispatch(browsecmd::CheckOutFiles));
        QDir::setCurrent(before);
        QVERIFY(asked);
        QVERIFY(QDir(started.path()).isEmpty());
        std::vector<protocol::FileItem> files;
        QVERIFY(client().getFileList(m_demo->userId(), "Documents", files).succeeded());
        for (const protocol::FileItem &f : files)
            QVERIFY2(f.checkoutUser.empty(), f.fileName.c_str());
    }

    // Window two still shows what window one changed in the store: on activation it drops a
    // deleted server (without asking to log on to a neighbour), shows a renamed one under its
    // new name, replaces one whose port changed, and keeps the logon of one left alone.
    void anotherWindowsServerChangesReachThisWindow()
    {
        config::ProfileStore &store = m_demo->app->app->profiles();
        const protocol::ServerProfile demo = profile();
        protocol::ServerProfile second = demo;
        second.name = "Second";
        protocol::ServerProfile third = demo;
        third.name = "Third";
        QCOMPARE(store.add(second, false), 0);
        QCOMPARE(store.add(third, false), 0);
        frame().action(cmd::New)->trigger();
        QMdiSubWindow *two = frame().mdiArea()->activeSubWindow();
        auto *w2 = qobject_cast<views::BrowseWindow *>(two->widget());
        QVERIFY(w2);
        views::FolderTreeModel &tree = w2->treeModel();
        const auto names = [&tree] {
            QStringList n;
            for (int r = 0; r < tree.rowCount(tree.rootIndex()); ++r)
                n << tree.index(r, 0, tree.rootIndex()).data().toString();
            return n;
        };
        QCOMPARE(names(), (QStringList{QString::fromStdString(demo.name), "Second", "Third"}));
        // Logged on to the demo server and to Second, with Second selected.
        shelltest::selectPath(*w2, QString(), 0);
        shelltest::selectPath(*w2, QStringLiteral("Documents"), 1);
        QVERIFY(tree.profile(tree.index(1, 0, tree.rootIndex()))->connected);

        // Meanwhile, elsewhere: Second deleted and Third renamed; the demo server unchanged.
        QCOMPARE(store.remove("Second"), 0);
        protocol::ServerProfile renamed = third;
        renamed.name = "Renamed";
        QCOMPARE(store.rename("Third", renamed, false), 0);
        int modals = 0;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&modals] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                ++modals;
                modal->close();
            }
        });
        watch.start(20);
        frame().mdiArea()->activatePreviousSubWindow();
        frame().mdiArea()->setActiveSubWindow(two);
        QTest::qWait(100);
        watch.stop();
        QCOMPARE(modals, 0);
        QCOMPARE(names(), (QStringList{QString::fromStdString(demo.name), "Renamed"}));
        const QModelIndex kept = tree.index(0, 0, tree.rootIndex());
        QVERIFY(tree.profile(kept)->connected);
        QVERIFY(tree.rowCount(kept) > 0);
        QVERIFY(!tree.profile(tree.index(1, 0, tree.rootIndex()))->connected);

        // A changed connection: the node comes back fresh, not logged on.
        protocol::ServerProfile moved = demo;
        moved.port = static_cast<std::uint16_t>(demo.port + 1);
        QCOMPARE(store.write(moved, false), 0);
        frame().mdiArea()->activatePreviousSubWindow();
        frame().mdiArea()->setActiveSubWindow(two);
        QCOMPARE(names(), (QStringList{"Renamed", QString::fromStdString(demo.name)}));
        QCOMPARE(tree.profile(tree.index(1, 0, tree.rootIndex()))->port, moved.port);
        QVERIFY(!tree.profile(tree.index(1, 0, tree.rootIndex()))->connected);
    }

    void checkedOutRowsDisableDeleteAndRename()
    {
        select(QStringLiteral("Projects\\Website"));
        const int styleRow = w().fileModel().rowOf("style.css"); // checked out by jonas
        QVERIFY(styleRow >= 0);
        w().selectAllFiles();
        QVERIFY(!frame().action(browsecmd::DeleteFiles)->isEnabled());
        QVERIFY(!frame().router().dispatch(browsecmd::DeleteFiles));
        w().invertFileSelection();
        QVERIFY(w().selectedRows().empty());
        QVERIFY(frame().action(browsecmd::DeleteFiles)->isEnabled());
    }
};

QTEST_MAIN(TestBrowseCommands)
#include "tst_browsecommands.moc"
