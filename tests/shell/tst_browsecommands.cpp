// The browse window's folder and file commands from the main window, against the reference
// service with its demo data: new folder (below a private folder, refused, empty name),
// delete files with and without purge, delete folder, the Delete key, select and invert.

#include "shelltestsupport.h"

#include "servertestsupport.h"
#include "shell/commands/commandrouter.h"
#include "shell/commands/enablerules.h"

#include <config/profilestore.h>
#include <platform/machineidentity.h>
#include <platform/registry.h>
#include <protocol/serviceclient.h>
#include <views/browse/browseconstants.h>
#include <views/browse/browsewindow.h>
#include <views/browse/deletedialog.h>
#include <views/browse/newfolderdialog.h>
#include <views/common/languagemodule.h>
#include <views/dialogs/serverwizards.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QTreeView>

using namespace shell;

// Runs `answer` on the next message box that opens (not on a dialog that is already open).
static void answerNextBox(std::function<void(QMessageBox *)> answer)
{
    auto *timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, answer = std::move(answer)] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            answer(box);
        }
    });
    timer->start();
}

class TestBrowseCommands : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<servertest::TempDir> m_data;
    std::unique_ptr<servertest::ServerProcess> m_server;
    std::unique_ptr<shelltest::StartedApp> m_app;

    protocol::ServerProfile profile() const
    {
        protocol::ServerProfile p;
        p.name = "Demo";
        p.server = "127.0.0.1";
        p.url = "/Service.asmx";
        p.port = static_cast<std::uint16_t>(m_server->port());
        p.userId = platform::readMachineIdentity().userName;
        p.timeout = 10;
        return p;
    }
    protocol::ServiceClient client() const
    {
        protocol::ServiceClient c;
        c.fillFromProfile(profile());
        return c;
    }
    CMainFrame &frame() { return m_app->frame(); }
    views::BrowseWindow &w() { return *frame().activeBrowseWindow(); }
    QModelIndex select(const QString &path)
    {
        views::FolderTreeModel &tree = w().treeModel();
        QModelIndex node = tree.index(0, 0, tree.rootIndex());
        // A server selected before it is logged on opens the logon wizard first.
        if (!tree.profile(node)->connected)
            shelltest::answerNext<views::LogonWizard>([](views::LogonWizard *wizard) {
                wizard->button(QWizard::FinishButton)->click();
            });
        w().selectNode(node);
        w().runner().waitIdle();
        for (const QString &name : path.split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
            QModelIndex next;
            for (int r = 0; r < tree.rowCount(node); ++r) {
                if (tree.index(r, 0, node).data().toString() == name)
                    next = tree.index(r, 0, node);
            }
            if (!next.isValid())
                return {};
            node = next;
            w().selectNode(node);
            w().runner().waitIdle();
        }
        return node;
    }
    std::vector<std::string> serverFiles(const std::string &folder)
    {
        std::vector<protocol::FileItem> files;
        expectOk(client().getFileList(profile().userId, folder, files));
        std::vector<std::string> names;
        for (const auto &f : files)
            names.push_back(f.fileName);
        return names;
    }
    std::vector<std::string> deletedOnServer(const std::string &folder)
    {
        std::vector<protocol::DeletedItem> items;
        expectOk(client().getDeletedList(profile().userId, folder, items));
        std::vector<std::string> names;
        for (const auto &d : items)
            names.push_back(d.name);
        return names;
    }
    static void expectOk(const protocol::CallResult &r)
    {
        if (!r.succeeded())
            qWarning("call failed: %s", r.message().c_str());
    }
    const views::LanguageModule &module() { return m_app->app->module(); }

private slots:
    void init()
    {
        m_data = std::make_unique<servertest::TempDir>();
        m_server = std::make_unique<servertest::ServerProcess>();
        QVERIFY(m_server->start(m_data->path(), {"--seed-demo"}));
        const protocol::ServerProfile p = profile();
        m_app = std::make_unique<shelltest::StartedApp>([&p](const QString &file) {
            platform::Registry registry(file.toStdString());
            config::ProfileStore store(registry);
            QVERIFY(!platform::failed(store.write(p, false)));
        });
        QCOMPARE(m_app->startResult, 0);
        QVERIFY(frame().activeBrowseWindow());
    }
    void cleanup()
    {
        m_app.reset();
        m_server->stop();
        m_server.reset();
        m_data.reset();
    }

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
            dialog->findChild<QLineEdit *>(QStringLiteral("c1041"))->setText(QStringLiteral("Notes"));
            dialog->findChild<QLineEdit *>(QStringLiteral("c1042"))->setText(QStringLiteral("mine"));
            dialog->accept();
        });
        QVERIFY(frame().router().dispatch(browsecmd::NewFolder));
        QVERIFY(checked);
        QVERIFY(!enabled);
        QCOMPARE(w().treeModel().rowCount(priv), 1);
        const protocol::FolderItem *made = w().treeModel().folder(w().treeModel().index(0, 0, priv));
        QCOMPARE(made->name, std::string("Notes"));
        QVERIFY(made->isPrivate);
        QCOMPARE(w().messages().textAt(w().messages().rowCount() - 1),
                 module().text(views::browsestr::FolderCreated).arg(QStringLiteral("Notes")));
        std::vector<protocol::FolderItem> onServer;
        expectOk(client().getFolderList(profile().userId, "Private", onServer));
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

    void aRefusedOrEmptyNewFolderNameKeepsTheDialogOpen()
    {
        const QModelIndex projects = select(QStringLiteral("Projects"));
        const int before = w().treeModel().rowCount(projects);
        QStringList boxes;
        bool stillOpen = false;
        shelltest::answerNextModal([&](QWidget *modal) {
            auto *dialog = static_cast<views::NewFolderDialog *>(modal);
            // Empty name: message 2065, the dialog stays.
            answerNextBox([&, dialog](QMessageBox *box) {
                boxes << box->text();
                box->accept();
                // An existing name: the server's message, the dialog stays with the name.
                dialog->findChild<QLineEdit *>(QStringLiteral("c1041"))
                    ->setText(QStringLiteral("Tools"));
                answerNextBox([&, dialog](QMessageBox *second) {
                    boxes << second->text();
                    second->accept();
                    QTimer::singleShot(50, dialog, [&, dialog] {
                        stillOpen = dialog->isVisible() &&
                                    dialog->findChild<QLineEdit *>(QStringLiteral("c1041"))
                                            ->text() == QStringLiteral("Tools");
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
                 module().text(views::browsestr::FileDeleted)
                     .arg(QStringLiteral("Documents\\meeting-notes.txt")));
        QVERIFY(serverFiles("Documents").empty());
        std::vector<std::string> deleted = deletedOnServer("Documents");
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
        QVERIFY(serverFiles("Projects\\Tools").empty());
        QVERIFY(deletedOnServer("Projects\\Tools").empty());
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
        QCOMPARE(w().messages().textAt(0),
                 module().text(views::browsestr::FolderDeleted).arg(QStringLiteral("Projects\\Tools")));
        std::vector<protocol::FolderItem> left;
        expectOk(client().getFolderList(profile().userId, "Projects", left));
        QCOMPARE(left.size(), std::size_t(1));
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
