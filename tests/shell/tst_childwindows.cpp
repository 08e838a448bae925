// The browse window as a child of the main window, against the reference service with its
// demo data: its title names the selected server and folder, each window its own, and the
// Options command works on the servers that window shows.

#include "demoservice.h"
#include "shell/commands/commandrouter.h"
#include "shell/commands/enablerules.h"

#include <config/profilestore.h>
#include <config/registrykeys.h>
#include <config/settings.h>
#include <platform/machineidentity.h>
#include <platform/registry.h>
#include <views/browse/browsewindow.h>
#include <views/common/languagemodule.h>
#include <views/dialogs/optionsheet.h>
#include <views/dialogs/serversheet.h>
#include <views/dialogs/serverwizards.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QTabWidget>

using namespace shell;

class TestChildWindows : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<shelltest::DemoService> m_demo;

    protocol::ServerProfile profile(const std::string &name) const
    {
        protocol::ServerProfile p = m_demo->profile(name);
        p.userName = "user-" + name;
        p.password = "secret-" + name;
        return p;
    }
    CMainFrame &frame() { return m_demo->frame(); }
    views::BrowseWindow &w() { return *frame().activeBrowseWindow(); }
    QString title() { return frame().mdiArea()->activeSubWindow()->windowTitle(); }
    std::string stored(const std::string &name, std::string_view value)
    {
        std::string text = "(missing)";
        (void)m_demo->app->app->registry().readString(
            std::string(config::keys::kServers) + "\\" + name, value, text);
        return text;
    }
    // Selects the node at `path` ("" the server itself) below server node `server`.
    QModelIndex select(int server, const QString &path)
    {
        return shelltest::selectPath(w(), path, server);
    }

private slots:
    void init()
    {
        m_demo = std::make_unique<shelltest::DemoService>();
        QVERIFY(m_demo->startService());
        QVERIFY(m_demo->startProgram(
            {profile("Demo"), profile("Second")}, true, [](platform::Registry &registry) {
                (void)registry.writeDword(config::keys::kSettings, config::keys::kSaveUserPass, 1);
            }));
    }
    void cleanup() { m_demo.reset(); }

    void browseTitleNamesTheSelectedServerAndFolder_data()
    {
        QTest::addColumn<int>("server");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("server node") << 0 << ""
                                     << "Demo";
        QTest::newRow("top folder") << 0 << "Projects"
                                    << "Demo - Projects";
        QTest::newRow("folder two levels down") << 0 << "Projects\\Website\\assets"
                                                << "Demo - Projects\\Website\\assets";
        QTest::newRow("the other server") << 1 << "Documents"
                                          << "Second - Documents";
    }
    void browseTitleNamesTheSelectedServerAndFolder()
    {
        QFETCH(int, server);
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QVERIFY(select(server, path).isValid());
        QCOMPARE(title(), expected);
        // Back at the root nothing is selected: the program's title.
        w().selectNode(w().treeModel().rootIndex());
        QCOMPARE(title(), m_demo->app->app->module().text(128));
    }

    void twoBrowseWindowsEachNameTheirOwnSelection()
    {
        QVERIFY(select(0, QStringLiteral("Documents")).isValid());
        QMdiSubWindow *first = frame().mdiArea()->activeSubWindow();
        QMdiSubWindow *second = frame().newBrowseWindow();
        QVERIFY(second);
        frame().mdiArea()->setActiveSubWindow(second);
        QVERIFY(select(1, QStringLiteral("Projects")).isValid());
        QCOMPARE(first->windowTitle(), QStringLiteral("Demo - Documents"));
        QCOMPARE(second->windowTitle(), QStringLiteral("Second - Projects"));
    }

    void browseTitleFollowsARenameOfItsServer_data()
    {
        QTest::addColumn<bool>("inProperties");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("label edit, server selected") << false << ""
                                                     << "Renamed";
        QTest::newRow("label edit, folder below selected") << false << "Projects\\Website"
                                                           << "Renamed - Projects\\Website";
        QTest::newRow("server properties, server selected") << true << ""
                                                            << "Renamed";
        QTest::newRow("server properties, folder below selected") << true << "Projects"
                                                                  << "Renamed - Projects";
    }
    // The label edit renames the server while a folder below it may be selected; the
    // properties open on the selected server, and the folder is selected afterwards.
    void browseTitleFollowsARenameOfItsServer()
    {
        QFETCH(bool, inProperties);
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QVERIFY(select(0, inProperties ? QString() : path).isValid());
        const QPersistentModelIndex server =
            w().treeModel().index(0, 0, w().treeModel().rootIndex());
        if (inProperties) {
            shelltest::answerNext<views::ServerSheet>([](views::ServerSheet *sheet) {
                auto *name = sheet->findChild<QLineEdit *>(QStringLiteral("c1012"));
                QVERIFY(name);
                name->setText(QStringLiteral("Renamed"));
                sheet->accept();
            });
            QVERIFY(frame().router().dispatch(browsecmd::ServerProperties));
        } else {
            QVERIFY(w().serverRenameHandler);
            w().serverRenameHandler(w(), server, QStringLiteral("Renamed"));
        }
        QCOMPARE(server.data().toString(), QStringLiteral("Renamed"));
        if (inProperties && !path.isEmpty())
            QVERIFY(select(0, path).isValid());
        QCOMPARE(title(), expected);
        QCOMPARE(stored("Renamed", config::keys::kServer), "127.0.0.1");
    }

    void aChildOpenedOverAMaximizedWindowIsMaximizedWithItsFrame()
    {
        QVERIFY(select(0, QStringLiteral("Documents")).isValid());
        QMdiSubWindow *browse = frame().mdiArea()->activeSubWindow();
        browse->showMaximized();
        shelltest::selectFiles(w(), {QStringLiteral("meeting-notes.txt")});
        QVERIFY(frame().router().dispatch(browsecmd::FileHistory));
        QMdiSubWindow *history = frame().mdiArea()->activeSubWindow();
        QVERIFY(history != browse);
        QVERIFY(history->isMaximized());
        // Maximized means the whole area, not a maximized state over a small size.
        QCOMPARE(history->geometry(), frame().mdiArea()->viewport()->rect());
    }

    void optionsRemoveTheCredentialsOfTheServersTheBrowseWindowShows()
    {
        QString question;
        shelltest::answerNext<views::COptionSheet>([&question](views::COptionSheet *sheet) {
            sheet->pages()
                ->widget(0)
                ->findChild<QCheckBox *>(QStringLiteral("c1026"))
                ->setChecked(false);
            shelltest::answerNext<QMessageBox>([&question](QMessageBox *box) {
                question = box->text();
                box->button(QMessageBox::Yes)->click();
            });
            sheet->accept();
        });
        frame().options();
        QVERIFY(question.contains(QStringLiteral("Demo")));
        QVERIFY(question.contains(QStringLiteral("Second")));
        for (const char *name : {"Demo", "Second"}) {
            QCOMPARE(stored(name, config::keys::kPassword), "(missing)");
            QCOMPARE(stored(name, config::keys::kServer), "127.0.0.1");
        }
    }

    void optionsWithoutABrowseWindowLeaveTheCredentials()
    {
        frame().mdiArea()->closeAllSubWindows();
        QVERIFY(frame().mdiArea()->subWindowList().isEmpty());
        bool asked = false;
        shelltest::answerNext<views::COptionSheet>([&asked](views::COptionSheet *sheet) {
            sheet->pages()
                ->widget(0)
                ->findChild<QCheckBox *>(QStringLiteral("c1026"))
                ->setChecked(false);
            // A question would be wrong here; if one comes, it is noted and answered.
            QTimer::singleShot(500, sheet, [&asked] {
                if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                    asked = true;
                    box->button(QMessageBox::Yes)->click();
                }
            });
            sheet->accept();
        });
        frame().options();
        QCOMPARE(m_demo->app->app->settings().values().saveUserPass, 0u);
        QCOMPARE(stored("Demo", config::keys::kPassword), "secret-Demo");
        QCOMPARE(stored("Second", config::keys::kPassword), "secret-Second");
        QVERIFY(!asked);
    }
};

QTEST_MAIN(TestChildWindows)
#include "tst_childwindows.moc"
