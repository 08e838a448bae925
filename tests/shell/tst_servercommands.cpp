// The server commands of the main window against the reference service: Add server through
// the wizard (logged on, and with no service on the port), rename of the server node after a
// label edit (also in letter case only), Log on, and Delete server.

#include "shelltestsupport.h"

#include "servertestsupport.h"

#include "shell/commands/commandcontext.h"
#include "shell/commands/commandrouter.h"
#include "shell/commands/enablerules.h"

#include <config/profilestore.h>
#include <protocol/serviceclient.h>
#include <views/browse/browseconstants.h>
#include <views/browse/browsewindow.h>
#include <views/browse/foldertreemodel.h>
#include <views/browse/messagemodel.h>
#include <views/common/languagemodule.h>
#include <views/dialogs/serverpages.h>
#include <views/dialogs/serverwizards.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>

using namespace shell;

namespace {

QList<QPointer<QTimer>> g_pendingAnswers;

// Runs `answer` on the next modal widget of type T.
template<class T> void answerNext(std::function<void(T *)> answer)
{
    auto *timer = new QTimer;
    g_pendingAnswers.append(timer);
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, answer = std::move(answer)] {
        if (auto *modal = qobject_cast<T *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            answer(modal);
        }
    });
    timer->start();
}

void setText(QWidget *page, int id, const QString &text)
{
    auto *field = page->findChild<QLineEdit *>(QStringLiteral("c%1").arg(id));
    QVERIFY(field);
    field->setText(text);
}

void fillAndFinish(views::AddServerWizard *wizard, const QString &name, int port)
{
    setText(wizard->infoPage(), 1012, name);
    setText(wizard->infoPage(), 1017, QStringLiteral("127.0.0.1"));
    setText(wizard->infoPage(), 1020, QStringLiteral("/Service.asmx"));
    setText(wizard->infoPage(), 1021, QString::number(port));
    setText(wizard->infoPage(), 1023, QStringLiteral("20"));
    wizard->next();
    wizard->next();
    wizard->button(QWizard::FinishButton)->click();
}

QString lastMessage(views::BrowseWindow &w)
{
    const int rows = w.messages().rowCount();
    return rows == 0 ? QString() : w.messages().index(rows - 1, 0).data().toString();
}

std::vector<std::string> storedNames(CZemApp &app)
{
    std::vector<std::string> names;
    [&] {
        QCOMPARE(app.profiles().names(names), 0);
    }();
    return names;
}

} // namespace

class TestServerCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void addRenameLogOnAndDelete();
    void addWithoutServiceKeepsTheProfileNotConnected();

private:
    servertest::TempDir m_data;
    servertest::ServerProcess m_service;
};

void TestServerCommands::initTestCase()
{
    QVERIFY(m_service.start(m_data.path(), {"--seed-demo"}));
}

void TestServerCommands::cleanup()
{
    for (const QPointer<QTimer> &timer : std::as_const(g_pendingAnswers))
        delete timer.data();
    g_pendingAnswers.clear();
}

void TestServerCommands::addRenameLogOnAndDelete()
{
    shelltest::StartedApp started;
    QCOMPARE(started.startResult, 0);
    CMainFrame &frame = started.frame();
    views::BrowseWindow *w = frame.activeBrowseWindow();
    QVERIFY(w);
    views::FolderTreeModel &tree = w->treeModel();
    const int port = m_service.port();

    // Export is offered only while a profile is stored.
    QVERIFY(!frame.action(browsecmd::ExportProfiles)->isEnabled());
    answerNext<views::AddServerWizard>([port](views::AddServerWizard *wizard) {
        fillAndFinish(wizard, QStringLiteral("Demo"), port);
    });
    QVERIFY(frame.router().dispatch(browsecmd::AddServer));
    QVERIFY(frame.action(browsecmd::ExportProfiles)->isEnabled());
    QCOMPARE(tree.rowCount(tree.rootIndex()), 1);
    const QPersistentModelIndex node = tree.index(0, 0, tree.rootIndex());
    QCOMPARE(tree.profile(node)->connected, 1u);
    QCOMPARE(w->selectedNode(), QModelIndex(node));
    // Each step's own message, not only one naming the server: the steps before this one
    // leave lines that name it too.
    const views::LanguageModule &module = started.app->module();
    const auto said = [&module](int id, const char *name) {
        return module.text(id).arg(QString::fromLatin1(name));
    };
    QCOMPARE(lastMessage(*w), said(views::browsestr::ServerAdded, "Demo"));
    QCOMPARE(storedNames(*started.app), std::vector<std::string>{"Demo"});

    // A label edit that changes only the letter case keeps the one stored profile.
    QVERIFY(w->serverRenameHandler);
    w->serverRenameHandler(*w, node, QStringLiteral("DEMO"));
    QCOMPARE(tree.profile(node)->name, std::string("DEMO"));
    QCOMPARE(node.data().toString(), QStringLiteral("DEMO"));
    QCOMPARE(storedNames(*started.app), std::vector<std::string>{"DEMO"});
    QCOMPARE(lastMessage(*w), said(views::browsestr::ServerRenamed, "DEMO"));

    // Log on again through the command: the wizard, the node's folders listed anew (one that
    // another client made meanwhile shows), then message 2025.
    const auto childNames = [&tree, &node] {
        QStringList names;
        for (int i = 0; i < tree.rowCount(node); ++i)
            names << tree.index(i, 0, node).data().toString();
        return names;
    };
    QTRY_VERIFY(!childNames().isEmpty());
    QVERIFY(!childNames().contains(QStringLiteral("Fresh")));
    protocol::ServiceClient other;
    other.fillFromProfile(*tree.profile(node));
    QVERIFY(other.createFolder(tree.profile(node)->userId, "", "Fresh", "", false).succeeded());
    answerNext<views::LogonWizard>(
        [](views::LogonWizard *wizard) { wizard->button(QWizard::FinishButton)->click(); });
    QVERIFY(frame.router().dispatch(browsecmd::LogOn));
    QCOMPARE(lastMessage(*w), said(views::browsestr::LoggedOn, "DEMO"));
    QCOMPARE(w->selectedNode(), QModelIndex(node));
    QTRY_VERIFY(childNames().contains(QStringLiteral("Fresh")));

    // Delete server: No keeps everything, Yes removes node and profile.
    answerNext<QMessageBox>([](QMessageBox *box) { box->button(QMessageBox::No)->click(); });
    QVERIFY(frame.router().dispatch(browsecmd::DeleteServer));
    QCOMPARE(tree.rowCount(tree.rootIndex()), 1);
    answerNext<QMessageBox>([](QMessageBox *box) { box->button(QMessageBox::Yes)->click(); });
    QVERIFY(frame.router().dispatch(browsecmd::DeleteServer));
    QCOMPARE(tree.rowCount(tree.rootIndex()), 0);
    QVERIFY(storedNames(*started.app).empty());
    QCOMPARE(lastMessage(*w), said(views::browsestr::ServerDeleted, "DEMO"));
    QVERIFY(!frame.action(browsecmd::ExportProfiles)->isEnabled());
}

void TestServerCommands::addWithoutServiceKeepsTheProfileNotConnected()
{
    shelltest::StartedApp started;
    QCOMPARE(started.startResult, 0);
    CMainFrame &frame = started.frame();
    views::BrowseWindow *w = frame.activeBrowseWindow();
    QVERIFY(w);
    QString failure;
    bool logonOffered = false;
    answerNext<views::AddServerWizard>([&](views::AddServerWizard *wizard) {
        answerNext<QMessageBox>([&](QMessageBox *box) {
            failure = box->text();
            // Selecting the new node offers the logon wizard for it; it is cancelled.
            answerNext<views::LogonWizard>([&](views::LogonWizard *logon) {
                logonOffered = true;
                logon->reject();
            });
            box->button(QMessageBox::Ok)->click();
        });
        // Nothing listens on port 1 of this machine.
        fillAndFinish(wizard, QStringLiteral("Down"), 1);
    });
    QVERIFY(frame.router().dispatch(browsecmd::AddServer));
    QTRY_VERIFY(logonOffered);
    QVERIFY(!failure.isEmpty());
    views::FolderTreeModel &tree = w->treeModel();
    QCOMPARE(tree.rowCount(tree.rootIndex()), 1);
    QCOMPARE(tree.profile(tree.index(0, 0, tree.rootIndex()))->connected, 0u);
    QCOMPARE(storedNames(*started.app), std::vector<std::string>{"Down"});
}

QTEST_MAIN(TestServerCommands)
#include "tst_servercommands.moc"
