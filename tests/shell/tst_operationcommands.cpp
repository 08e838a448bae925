// The operation commands from the main window, against the reference service with its demo
// data: get to another local name, check out / edit / check in with a comment, undo with
// delete, check-out-and-open, the drops (add, move files, move folder, another server), and
// the enable rules of the operation rows.

#include "demoservice.h"
#include "shell/commands/commandrouter.h"
#include "shell/commands/enablerules.h"

#include <config/profilestore.h>
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
