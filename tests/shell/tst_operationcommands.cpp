// The operation commands from the main window, against the reference service with its demo
// data: get to another local name, check out / edit / check in with a comment, undo with
// delete, check-out-and-open, the folder forms of check out, undo and check in, the question
// a check-in of an unchanged copy asks (and its "always"), the drops (add, move files, move
// folder, another server), and the enable rules of the operation rows.

#include "demoservice.h"
#include "shell/commands/commandrouter.h"
#include "shell/commands/enablerules.h"

#include <config/profilestore.h>
#include <config/settings.h>
#include <engine/dragblock.h>
#include <engine/localfiles.h>
#include <platform/machineidentity.h>
#include <platform/registry.h>
#include <protocol/serviceclient.h>
#include <views/browse/browsewindow.h>
#include <views/common/errortext.h>
#include <views/common/languagemodule.h>
#include <views/dialogs/getdialog.h>
#include <views/dialogs/operationoptions.h>
#include <views/dialogs/serverwizards.h>

#include <QCheckBox>
#include <QDesktopServices>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QUrl>

#include <filesystem>
#include <fstream>

using namespace shell;
namespace fs = std::filesystem;

Q_DECLARE_METATYPE(shell::SelectionSnapshot)

namespace {

std::string readBytes(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const fs::path &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Strings of the unchanged-copy question: its text and its three answers.
constexpr int kUnchangedQuestion = 2075;
constexpr int kAnswerUndo = 2076;
constexpr int kAnswerCheckIn = 2077;
constexpr int kAnswerAlways = 2078;
constexpr int kUnchangedUndoneLine = 2073;

// Watches for the unchanged-copy question and clicks the answer whose text is `answer`,
// counting the questions in `asked`. The caller deletes the watch when the command is over,
// so that it never answers a box of a later test.
QTimer *answerUnchanged(const views::LanguageModule &module, int answer, int *asked)
{
    auto *timer = new QTimer;
    timer->setInterval(20);
    const QString question = module.text(kUnchangedQuestion).section(QLatin1Char('%'), 0, 0);
    const QString text = module.text(answer);
    QObject::connect(timer, &QTimer::timeout, [question, text, asked] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->text().startsWith(question))
            return;
        ++*asked;
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == text) {
                button->click();
                return;
            }
        }
        box->reject();
    });
    timer->start();
    return timer;
}

} // namespace

// Takes the URLs the desktop is asked to open, instead of starting programs.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class TestOperationCommands : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<shelltest::DemoService> m_demo;
    std::unique_ptr<servertest::TempDir> m_local;

    protocol::ServerProfile profile() const { return m_demo->profile(); }
    protocol::ServiceClient client() const { return m_demo->client(); }
    CMainFrame &frame() { return m_demo->frame(); }
    views::BrowseWindow &w() { return *frame().activeBrowseWindow(); }
    const views::LanguageModule &module() { return m_demo->module(); }

    QModelIndex select(const QString &path) { return shelltest::selectPath(w(), path); }
    std::vector<int> selectFiles(const QStringList &names)
    {
        return shelltest::selectFiles(w(), names);
    }
    void setWorkFolder(const std::string &serverPath, const fs::path &local)
    {
        QVERIFY(
            client().setWorkFolderPath(profile().userId, serverPath, local.string()).succeeded());
    }
    QStringList messages()
    {
        QStringList lines;
        for (int r = 0; r < w().messages().rowCount(); ++r)
            lines << w().messages().textAt(r);
        return lines;
    }
    bool anyMessageHas(const QString &part)
    {
        for (const QString &line : messages())
            if (line.contains(part))
                return true;
        return false;
    }
    std::vector<protocol::HistoryItem> history(const std::string &path)
    {
        std::vector<protocol::HistoryItem> items;
        if (!client().getHistoryList(profile().userId, path, false, items).succeeded())
            qWarning("no history of %s", path.c_str());
        return items;
    }
    bool historyHasComment(const std::string &path, const std::string &comment)
    {
        for (const protocol::HistoryItem &h : history(path))
            if (h.comment == comment)
                return true;
        return false;
    }
    // Answers the next check-in dialog: keep the local copy, with this comment.
    static void answerCheckIn(const QString &comment)
    {
        shelltest::answerNext<views::CheckInDialog>([comment](views::CheckInDialog *dialog) {
            dialog->findChild<QPlainTextEdit *>(QStringLiteral("c1035"))->setPlainText(comment);
            dialog->findChild<QRadioButton *>(QStringLiteral("c1039"))->setChecked(true);
            dialog->accept();
        });
    }
    QString zemLog()
    {
        QFile file(w().log().fileName());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll());
    }

private slots:
    void init()
    {
        m_local = std::make_unique<servertest::TempDir>();
        m_demo = std::make_unique<shelltest::DemoService>();
        QVERIFY(m_demo->start());
    }
    void cleanup()
    {
        m_demo.reset();
        m_local.reset();
    }

    void checkOutEditCheckInWithAComment()
    {
        const fs::path work = m_local->path() / "tools";
        setWorkFolder("Projects\\Tools", work);
        QVERIFY(select(QStringLiteral("Projects\\Tools")).isValid());
        const std::vector<int> rows = selectFiles({QStringLiteral("build.sh")});
        QCOMPARE(rows.size(), std::size_t(1));
        QVERIFY(frame().router().dispatch(browsecmd::CheckOutFiles));

        const fs::path local = work / "build.sh";
        QVERIFY(fs::is_regular_file(local));
        QVERIFY(!engine::isReadOnly(local));
        QCOMPARE(readBytes(local), std::string("#!/bin/sh\nset -e\nmake -j2\n"));
        // The row shows its holder without a reload, and the pane and zem.log the line.
        QVERIFY(!w().fileModel().file(rows[0]).checkoutUserId.empty());
        QVERIFY(!m_demo->file("Projects\\Tools", "build.sh").checkoutUserId.empty());
        QVERIFY(anyMessageHas(QString::fromStdString(local.string())));
        QVERIFY(zemLog().contains(QString::fromStdString(local.string())));
        // Check out is off and check in on for the checked-out row.
        QVERIFY(!isEnabled(browsecmd::CheckOutFiles, frame().router().snapshot()));
        QVERIFY(isEnabled(browsecmd::CheckInFiles, frame().router().snapshot()));

        writeBytes(local, "#!/bin/sh\nset -eu\nmake -j4\n");
        QString shownPath;
        bool subfoldersShown = true;
        shelltest::answerNext<views::CheckInDialog>([&](views::CheckInDialog *dialog) {
            shownPath = dialog->findChild<QLineEdit *>(QStringLiteral("c1032"))->text();
            subfoldersShown =
                dialog->findChild<QWidget *>(QStringLiteral("c1036"))->isVisibleTo(dialog);
            dialog->findChild<QPlainTextEdit *>(QStringLiteral("c1035"))
                ->setPlainText(QStringLiteral("Four jobs and unset variables"));
            dialog->findChild<QRadioButton *>(QStringLiteral("c1039"))->setChecked(true);
            dialog->accept();
        });
        QVERIFY(frame().router().dispatch(browsecmd::CheckInFiles));
        QCOMPARE(shownPath, QString::fromStdString(local.string()));
        QVERIFY(!subfoldersShown);
        QVERIFY(fs::is_regular_file(local));
        QVERIFY(engine::isReadOnly(local));
        QVERIFY(w().fileModel().file(rows[0]).checkoutUserId.empty());
        const protocol::FileItem after = m_demo->file("Projects\\Tools", "build.sh");
        QVERIFY(after.checkoutUserId.empty());
        std::vector<protocol::HistoryItem> history;
        QVERIFY(client()
                    .getHistoryList(profile().userId, "Projects\\Tools\\build.sh", false, history)
                    .succeeded());
        bool commented = false;
        for (const protocol::HistoryItem &h : history)
            commented = commented || h.comment == "Four jobs and unset variables";
        QVERIFY(commented);
        QVERIFY(isEnabled(browsecmd::CheckOutFiles, frame().router().snapshot()));
    }

    // Check out, undo check-out and check in of a folder through the router from the tree
    // pane, with the service's state and the local files after each.
    void folderFormsThroughTheRouter()
    {
        const fs::path work = m_local->path() / "tools-folder";
        setWorkFolder("Projects\\Tools", work);
        const QModelIndex node = select(QStringLiteral("Projects\\Tools"));
        QVERIFY(node.isValid());
        w().treeView()->setFocus();
        const fs::path build = work / "build.sh";
        const fs::path deploy = work / "deploy.py";

        QString shownFolder;
        shelltest::answerNext<views::CheckOutOptionsDialog>(
            [&](views::CheckOutOptionsDialog *dialog) {
                shownFolder = dialog->findChild<QLineEdit *>(QStringLiteral("c1040"))->text();
                dialog->accept();
            });
        QVERIFY(frame().router().dispatch(browsecmd::CheckOut));
        QCOMPARE(shownFolder, QString::fromStdString(work.string()));
        for (const char *name : {"build.sh", "deploy.py"})
            QVERIFY2(!m_demo->file("Projects\\Tools", name).checkoutUserId.empty(), name);
        QCOMPARE(readBytes(build), std::string("#!/bin/sh\nset -e\nmake -j2\n"));
        QVERIFY(!engine::isReadOnly(build));
        QVERIFY(!engine::isReadOnly(deploy));
        QVERIFY(anyMessageHas(QString::fromStdString(deploy.string())));
        // The node was reloaded: its rows show the holder.
        w().runner().waitIdle();
        QTRY_VERIFY(
            !w().fileModel().file(w().fileModel().rowOf("deploy.py")).checkoutUserId.empty());

        bool subfoldersShown = false;
        shelltest::answerNext<views::UndoCheckOutDialog>([&](views::UndoCheckOutDialog *dialog) {
            subfoldersShown =
                dialog->findChild<QWidget *>(QStringLiteral("c1036"))->isVisibleTo(dialog);
            dialog->findChild<QRadioButton *>(QStringLiteral("c1039"))->setChecked(true);
            dialog->accept();
        });
        QVERIFY(frame().router().dispatch(browsecmd::UndoCheckOutFolder));
        QVERIFY(subfoldersShown);
        for (const char *name : {"build.sh", "deploy.py"})
            QVERIFY2(m_demo->file("Projects\\Tools", name).checkoutUserId.empty(), name);
        QVERIFY(engine::isReadOnly(build));
        QVERIFY(engine::isReadOnly(deploy));
        w().runner().waitIdle();
        QTRY_VERIFY(
            w().fileModel().file(w().fileModel().rowOf("deploy.py")).checkoutUserId.empty());

        // Again, then one file edited: the folder's check-in stores it, and the untouched
        // one has its check-out undone when the question is answered so.
        shelltest::answerNext<views::CheckOutOptionsDialog>(
            [](views::CheckOutOptionsDialog *dialog) { dialog->accept(); });
        QVERIFY(frame().router().dispatch(browsecmd::CheckOutFolder));
        QVERIFY(!m_demo->file("Projects\\Tools", "deploy.py").checkoutUserId.empty());
        writeBytes(build, "#!/bin/sh\nset -eu\nmake -j8\n");
        const std::size_t deployVersions = history("Projects\\Tools\\deploy.py").size();
        answerCheckIn(QStringLiteral("Eight jobs"));
        int asked = 0;
        std::unique_ptr<QTimer> watch(answerUnchanged(module(), kAnswerUndo, &asked));
        QVERIFY(frame().router().dispatch(browsecmd::CheckIn));
        watch.reset();
        QCOMPARE(asked, 1);
        QVERIFY(historyHasComment("Projects\\Tools\\build.sh", "Eight jobs"));
        QCOMPARE(history("Projects\\Tools\\deploy.py").size(), deployVersions);
        for (const char *name : {"build.sh", "deploy.py"})
            QVERIFY2(m_demo->file("Projects\\Tools", name).checkoutUserId.empty(), name);
        QVERIFY(engine::isReadOnly(build));
        QVERIFY(engine::isReadOnly(deploy));
        QVERIFY(anyMessageHas(
            module().text(kUnchangedUndoneLine).arg(QString::fromStdString(deploy.string()))));
    }

    // A check-in of a file left as it was checked out asks once; each answer as it says, and
    // "always" stored so that the next such check-in undoes without asking.
    void checkInOfAnUnchangedCopy_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("newVersion");
        QTest::addColumn<bool>("remembered");
        QTest::newRow("undo check-out") << kAnswerUndo << false << false;
        QTest::newRow("check in") << kAnswerCheckIn << true << false;
        QTest::newRow("always undo") << kAnswerAlways << false << true;
    }
    void checkInOfAnUnchangedCopy()
    {
        QFETCH(int, answer);
        QFETCH(bool, newVersion);
        QFETCH(bool, remembered);
        const fs::path work = m_local->path() / "unchanged";
        setWorkFolder("Projects\\Tools", work);
        select(QStringLiteral("Projects\\Tools"));
        const std::vector<int> rows = selectFiles({QStringLiteral("build.sh")});
        QVERIFY(frame().router().dispatch(browsecmd::CheckOutFiles));
        const fs::path local = work / "build.sh";
        QVERIFY(!engine::isReadOnly(local));
        const std::size_t versions = history("Projects\\Tools\\build.sh").size();

        answerCheckIn(QStringLiteral("nothing changed"));
        int asked = 0;
        std::unique_ptr<QTimer> watch(answerUnchanged(module(), answer, &asked));
        QVERIFY(frame().router().dispatch(browsecmd::CheckInFiles));
        watch.reset();
        QCOMPARE(asked, 1);
        QCOMPARE(history("Projects\\Tools\\build.sh").size(), versions + (newVersion ? 1 : 0));
        QVERIFY(m_demo->file("Projects\\Tools", "build.sh").checkoutUserId.empty());
        QVERIFY(w().fileModel().file(rows[0]).checkoutUserId.empty());
        QVERIFY(fs::is_regular_file(local));
        QVERIFY(engine::isReadOnly(local));
        QCOMPARE(
            anyMessageHas(
                module().text(kUnchangedUndoneLine).arg(QString::fromStdString(local.string()))),
            !newVersion);

        // What the settings file holds, read as the next start reads it.
        platform::Registry registry(
            m_demo->app->dir.filePath(QStringLiteral("registry.reg")).toStdString());
        config::Settings stored(registry);
        QCOMPARE(stored.load(), platform::ResultCode(0));
        QCOMPARE(stored.values().undoUnchangedCheckIn, remembered ? 1u : 0u);
        if (!remembered)
            return;
        // Once more: no question, the check-out is undone.
        selectFiles({QStringLiteral("build.sh")});
        QVERIFY(frame().router().dispatch(browsecmd::CheckOutFiles));
        QVERIFY(!m_demo->file("Projects\\Tools", "build.sh").checkoutUserId.empty());
        answerCheckIn(QStringLiteral("still nothing"));
        asked = 0;
        watch.reset(answerUnchanged(module(), kAnswerCheckIn, &asked));
        QVERIFY(frame().router().dispatch(browsecmd::CheckInFiles));
        watch.reset();
        QCOMPARE(asked, 0);
        QVERIFY(m_demo->file("Projects\\Tools", "build.sh").checkoutUserId.empty());
        QCOMPARE(history("Projects\\Tools\\build.sh").size(), versions);
    }

    // The operation buttons of the main toolbar: their images, their enable rules by pane and
    // node, and a click that runs the command.
    void toolbarOperationButtons()
    {
        auto *bar = frame().findChild<QToolBar *>(QStringLiteral("toolbar128"));
        QVERIFY(bar);
        const QList<int> ids = {browsecmd::Get, browsecmd::CheckOut, browsecmd::CheckIn,
                                browsecmd::UndoCheckOut};
        for (int id : ids) {
            QAction *a = frame().action(id);
            QVERIFY2(a && bar->actions().contains(a), qPrintable(QString::number(id)));
            QVERIFY(!a->icon().isNull());
            QCOMPARE(a->toolTip(), module().textPart(id, 2));
        }
        // The tree pane with the server node: all four off; with a folder: all four on.
        select(QString());
        w().treeView()->setFocus();
        frame().router().update();
        for (int id : ids)
            QVERIFY2(!frame().action(id)->isEnabled(), qPrintable(QString::number(id)));
        select(QStringLiteral("Projects\\Website"));
        w().treeView()->setFocus();
        frame().router().update();
        for (int id : ids)
            QVERIFY2(frame().action(id)->isEnabled(), qPrintable(QString::number(id)));

        const fs::path target = m_local->path() / "from-toolbar";
        shelltest::answerNext<views::GetDialog>([&](views::GetDialog *dialog) {
            dialog->findChild<QLineEdit *>(QStringLiteral("c1040"))
                ->setText(QString::fromStdString(target.string()));
            dialog->accept();
        });
        frame().action(browsecmd::Get)->trigger();
        QVERIFY(fs::is_regular_file(target / "index.html"));
        QVERIFY(engine::isReadOnly(target / "index.html"));
    }

    void undoCheckOutWithDeleteLocal()
    {
        const fs::path work = m_local->path() / "undo";
        setWorkFolder("Projects\\Tools", work);
        select(QStringLiteral("Projects\\Tools"));
        const std::vector<int> rows =
            selectFiles({QStringLiteral("build.sh"), QStringLiteral("deploy.py")});
        QCOMPARE(rows.size(), std::size_t(2));
        QVERIFY(frame().router().dispatch(browsecmd::CheckOutFiles));
        QVERIFY(fs::is_regular_file(work / "build.sh"));
        QVERIFY(fs::is_regular_file(work / "deploy.py"));

        shelltest::answerNext<views::UndoCheckOutDialog>([](views::UndoCheckOutDialog *dialog) {
            dialog->findChild<QRadioButton *>(QStringLiteral("c1037"))->setChecked(true);
            dialog->accept();
        });
        QVERIFY(frame().router().dispatch(browsecmd::UndoCheckOutFiles));
        QVERIFY(!fs::exists(work / "build.sh"));
        QVERIFY(!fs::exists(work / "deploy.py"));
        for (int row : rows)
            QVERIFY(w().fileModel().file(row).checkoutUserId.empty());
        QVERIFY(m_demo->file("Projects\\Tools", "deploy.py").checkoutUserId.empty());
    }

    void getOneFileToAnotherLocalName()
    {
        select(QStringLiteral("Projects\\Website"));
        selectFiles({QStringLiteral("index.html")});
        const fs::path target = m_local->path() / "elsewhere" / "start.html";
        QString preset;
        shelltest::answerNext<views::GetDialog>([&](views::GetDialog *dialog) {
            auto *destination = dialog->findChild<QLineEdit *>(QStringLiteral("c1040"));
            preset = destination->text();
            destination->setText(QString::fromStdString(target.string()));
            dialog->accept();
        });
        QVERIFY(frame().router().dispatch(browsecmd::GetFiles));
        // Without a working folder the get proposes DefaultGetFileFolder and the file's name.
        QVERIFY(preset.endsWith(QStringLiteral("/index.html")));
        QVERIFY(fs::is_regular_file(target));
        QVERIFY(engine::isReadOnly(target));
        QVERIFY(readBytes(target).find("Welcome to Quellvane") != std::string::npos);
        QVERIFY(anyMessageHas(QString::fromStdString(target.string())));
    }

    void getFolderRecursiveIntoAnEmptyFolder()
    {
        select(QStringLiteral("Projects\\Website"));
        w().treeView()->setFocus();
        const fs::path target = m_local->path() / "site";
        shelltest::answerNext<views::GetDialog>([&](views::GetDialog *dialog) {
            dialog->findChild<QLineEdit *>(QStringLiteral("c1040"))
                ->setText(QString::fromStdString(target.string()));
            dialog->findChild<QCheckBox *>(QStringLiteral("c1036"))->setChecked(true);
            dialog->accept();
        });
        QVERIFY(frame().router().dispatch(browsecmd::GetFolder));
        QVERIFY(fs::is_regular_file(target / "index.html"));
        QVERIFY(fs::is_regular_file(target / "style.css"));
        QVERIFY(fs::is_regular_file(target / "assets" / "logo.svg"));
    }

    void checkOutAndOpenOpensEachFile()
    {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
        const fs::path work = m_local->path() / "open";
        setWorkFolder("Projects\\Tools", work);
        select(QStringLiteral("Projects\\Tools"));
        selectFiles({QStringLiteral("build.sh"), QStringLiteral("deploy.py")});
        QVERIFY(frame().router().dispatch(browsecmd::CheckOutAndOpen));
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(catcher.urls.size(), 2);
        QCOMPARE(catcher.urls[0].toLocalFile(),
                 QString::fromStdString((work / "build.sh").string()));
        QCOMPARE(catcher.urls[1].toLocalFile(),
                 QString::fromStdString((work / "deploy.py").string()));
        QVERIFY(!engine::isReadOnly(work / "deploy.py"));
    }

    void aCheckOutWithoutWorkingFolderAsksAndCancelChangesNothing()
    {
        select(QStringLiteral("Documents"));
        QVERIFY(w().fileModel().fileCount() > 0);
        const std::string name = w().fileModel().file(0).fileName;
        selectFiles({QString::fromStdString(name)});
        bool asked = false;
        shelltest::answerNextModal([&](QWidget *modal) {
            asked = true;
            static_cast<QDialog *>(modal)->reject();
        });
        QVERIFY(frame().router().dispatch(browsecmd::CheckOutFiles));
        QVERIFY(asked);
        QVERIFY(m_demo->file("Documents", name).checkoutUserId.empty());
        QVERIFY(w().fileModel().file(0).checkoutUserId.empty());
    }

    void dropOfALocalFolderAddsIt()
    {
        const fs::path dropped = m_local->path() / "notes";
        fs::create_directories(dropped / "inner");
        writeBytes(dropped / "a.txt", "first\n");
        writeBytes(dropped / "inner" / "b.txt", "second\n");
        const QModelIndex target = select(QStringLiteral("Documents"));
        QString title;
        bool pathShown = true;
        shelltest::answerNext<views::CheckInDialog>([&](views::CheckInDialog *dialog) {
            title = dialog->windowTitle();
            pathShown = dialog->findChild<QWidget *>(QStringLiteral("c1032"))->isVisibleTo(dialog);
            dialog->findChild<QPlainTextEdit *>(QStringLiteral("c1035"))
                ->setPlainText(QStringLiteral("dropped"));
            dialog->accept();
        });
        views::DropRequest request;
        request.kind = views::DropRequest::Kind::ShellFiles;
        request.target = target;
        request.targetPath = "Documents";
        request.urls = {QUrl::fromLocalFile(QString::fromStdString(dropped.string()))};
        QVERIFY(w().dropHandler);
        w().dropHandler(w(), request);
        QCOMPARE(title, module().text(175));
        QVERIFY(!pathShown);
        QVERIFY(!m_demo->file("Documents\\notes", "a.txt").fileName.empty());
        QVERIFY(!m_demo->file("Documents\\notes\\inner", "b.txt").fileName.empty());
        // The local copies stay, read-only (keep was preset).
        QVERIFY(fs::is_regular_file(dropped / "a.txt"));
    }

    void moveOfTwoFilesAndOfAFolder()
    {
        const QModelIndex documents = select(QStringLiteral("Documents"));
        const std::optional<std::string> list =
            engine::makeZemListBlock("127.0.0.1", "Projects\\Tools", {"build.sh", "deploy.py"});
        QVERIFY(list);
        views::DropRequest files;
        files.kind = views::DropRequest::Kind::ZemList;
        files.target = documents;
        files.targetPath = "Documents";
        files.block = QByteArray(list->data(), static_cast<qsizetype>(list->size()));
        w().dropHandler(w(), files);
        QVERIFY(!m_demo->file("Documents", "build.sh").fileName.empty());
        QVERIFY(!m_demo->file("Documents", "deploy.py").fileName.empty());
        QVERIFY(m_demo->file("Projects\\Tools", "build.sh").fileName.empty());

        // The Tools folder moves under Documents, in the tree too.
        const QModelIndex server = w().treeModel().index(0, 0, w().treeModel().rootIndex());
        const std::string tree = engine::makeZemTreeBlock("127.0.0.1", "Projects\\Tools");
        views::DropRequest folder;
        folder.kind = views::DropRequest::Kind::ZemTree;
        folder.target = w().treeModel().findPath(server, "Documents");
        folder.targetPath = "Documents";
        folder.block = QByteArray(tree.data(), static_cast<qsizetype>(tree.size()));
        w().dropHandler(w(), folder);
        const std::vector<std::string> underDocuments = m_demo->folderNames("Documents");
        QVERIFY(std::find(underDocuments.begin(), underDocuments.end(), "Tools") !=
                underDocuments.end());
        const std::vector<std::string> underProjects = m_demo->folderNames("Projects");
        QVERIFY(std::find(underProjects.begin(), underProjects.end(), "Tools") ==
                underProjects.end());
        // The target lists its folders again when the refresh after the first drop is over.
        w().runner().waitIdle();
        QTRY_VERIFY(w().treeModel().findPath(server, "Documents\\Tools").isValid());
        QVERIFY(!w().treeModel().findPath(server, "Projects\\Tools").isValid());
    }

    // The selected folder moves away: its new parent is selected and listed, and no other
    // folder is listed on the way (the view would first move the selection to a neighbour).
    void movingTheSelectedFolderListsOnlyItsNewParent()
    {
        const QModelIndex server = w().treeModel().index(0, 0, w().treeModel().rootIndex());
        select(QStringLiteral("Documents"));
        const QModelIndex neighbour = w().treeModel().findPath(server, "Private");
        QVERIFY(w().treeModel().canFetchMore(neighbour));
        const std::string tree = engine::makeZemTreeBlock("127.0.0.1", "Documents");
        views::DropRequest folder;
        folder.kind = views::DropRequest::Kind::ZemTree;
        folder.target = w().treeModel().findPath(server, "Projects");
        folder.targetPath = "Projects";
        folder.block = QByteArray(tree.data(), static_cast<qsizetype>(tree.size()));
        w().dropHandler(w(), folder);
        w().runner().waitIdle();
        QTRY_VERIFY(w().treeModel().findPath(server, "Projects\\Documents").isValid());
        QCOMPARE(w().selectedNode(), w().treeModel().findPath(server, "Projects"));
        QVERIFY(w().treeModel().canFetchMore(w().treeModel().findPath(server, "Private")));
    }

    void aDropFromAnotherServerIsRefused()
    {
        const QModelIndex documents = select(QStringLiteral("Documents"));
        const std::optional<std::string> list =
            engine::makeZemListBlock("other.example", "Projects\\Tools", {"build.sh"});
        views::DropRequest files;
        files.kind = views::DropRequest::Kind::ZemList;
        files.target = documents;
        files.targetPath = "Documents";
        files.block = QByteArray(list->data(), static_cast<qsizetype>(list->size()));
        QString shown;
        shelltest::answerNext<QMessageBox>([&](QMessageBox *box) {
            shown = box->text();
            box->accept();
        });
        w().dropHandler(w(), files);
        QCOMPARE(shown, module().text(2014));
        QVERIFY(!m_demo->file("Projects\\Tools", "build.sh").fileName.empty());
        QVERIFY(m_demo->file("Documents", "build.sh").fileName.empty());
    }

    void enableRules_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<SelectionSnapshot>("snapshot");
        QTest::addColumn<bool>("enabled");
        using C = SelectionSnapshot::Child;
        using P = SelectionSnapshot::Pane;
        using N = SelectionSnapshot::Node;
        const auto snap = [](C child, P pane, N node, bool server, bool checkedOut) {
            SelectionSnapshot s;
            s.child = child;
            s.pane = pane;
            s.node = node;
            s.serverFound = server;
            s.anyRowCheckedOut = checkedOut;
            return s;
        };
        const SelectionSnapshot none = snap(C::None, P::Tree, N::None, false, false);
        const SelectionSnapshot treeServer = snap(C::Browse, P::Tree, N::Server, true, false);
        const SelectionSnapshot treeFolder = snap(C::Browse, P::Tree, N::Folder, true, false);
        const SelectionSnapshot listFree = snap(C::Browse, P::List, N::Folder, true, false);
        const SelectionSnapshot listHeld = snap(C::Browse, P::List, N::Folder, true, true);
        QTest::newRow("get files: no browse window") << browsecmd::GetFiles << none << false;
        QTest::newRow("get files: browse window") << browsecmd::GetFiles << treeServer << true;
        QTest::newRow("get folder: always") << browsecmd::GetFolder << none << true;
        QTest::newRow("check out files: free rows") << browsecmd::CheckOutFiles << listFree << true;
        QTest::newRow("check out files: held row") << browsecmd::CheckOutFiles << listHeld << false;
        QTest::newRow("check out and open: held row")
            << browsecmd::CheckOutAndOpen << listHeld << false;
        QTest::newRow("check in files: free rows") << browsecmd::CheckInFiles << listFree << false;
        QTest::newRow("check in files: held row") << browsecmd::CheckInFiles << listHeld << true;
        QTest::newRow("undo files: held row") << browsecmd::UndoCheckOutFiles << listHeld << true;
        QTest::newRow("get: no browse window") << browsecmd::Get << none << false;
        QTest::newRow("get: tree, server node") << browsecmd::Get << treeServer << false;
        QTest::newRow("get: tree, folder node") << browsecmd::Get << treeFolder << true;
        QTest::newRow("get: list") << browsecmd::Get << listHeld << true;
        QTest::newRow("check out: tree, server node") << browsecmd::CheckOut << treeServer << false;
        QTest::newRow("check out: list, held row") << browsecmd::CheckOut << listHeld << false;
        QTest::newRow("check in: tree, folder node") << browsecmd::CheckIn << treeFolder << true;
        QTest::newRow("check in: list, free rows") << browsecmd::CheckIn << listFree << false;
        QTest::newRow("undo: list, held row") << browsecmd::UndoCheckOut << listHeld << true;
        QTest::newRow("undo: no browse window") << browsecmd::UndoCheckOut << none << false;
    }
    void enableRules()
    {
        QFETCH(int, id);
        QFETCH(SelectionSnapshot, snapshot);
        QFETCH(bool, enabled);
        QCOMPARE(isEnabled(id, snapshot), enabled);
    }
};

QTEST_MAIN(TestOperationCommands)
#include "tst_operationcommands.moc"
