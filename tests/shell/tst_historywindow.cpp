// History windows from the main window, against the reference service with its demo data:
// file and folder layouts and titles, the options dialog, sorting, roll back (confirmation,
// the rows dropped in every window of the path, the rule checked when the command runs, the
// service's refusal shown), select all and invert, and the column settings.

#include "shelltestsupport.h"

#include "demoservice.h"
#include "shell/childwindowtemplates.h"
#include "shell/commands/commandrouter.h"
#include "shell/commands/enablerules.h"

#include <config/profilestore.h>
#include <config/settings.h>
#include <platform/machineidentity.h>
#include <platform/registry.h>
#include <protocol/serviceclient.h>
#include <views/browse/browsewindow.h>
#include <views/common/languagemodule.h>
#include <views/dialogs/getdialog.h>
#include <views/dialogs/serverwizards.h>
#include <views/diff/comparedialog.h>
#include <views/diff/czemdiffchildframe.h>
#include <views/diff/diffrowmodel.h>
#include <views/history/czemhistorychildframe.h>
#include <views/history/historyoptionsdialog.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>

#include <atomic>
#include <fstream>
#include <future>

using namespace shell;
using views::CZemHistoryChildFrame;

namespace {

// What the next message box showed; it is answered with `button`.
struct BoxAnswer
{
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool shown = false;
};

void answerNextBox(BoxAnswer &seen, QMessageBox::StandardButton button)
{
    shelltest::answerNext<QMessageBox>([&seen, button](QMessageBox *box) {
        seen.text = box->text();
        seen.icon = box->icon();
        seen.shown = true;
        if (QAbstractButton *b = box->button(button))
            b->click();
        else
            box->reject();
    });
}

// The files the desktop was asked to open.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

std::string readAll(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

class TestHistoryWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<shelltest::DemoService> m_demo;

    protocol::ServerProfile profile() const { return m_demo->profile(); }
    protocol::ServiceClient client() const { return m_demo->client(); }
    CMainFrame &frame() { return m_demo->frame(); }
    const views::LanguageModule &module() { return m_demo->module(); }
    views::BrowseWindow *m_browse = nullptr;
    QTemporaryDir m_temp;
    QStringList fetchedFiles() const
    {
        return QDir(m_temp.path()).entryList({QStringLiteral("Zem*")}, QDir::Files);
    }
    views::CZemDiffChildFrame *activeDiff()
    {
        QMdiSubWindow *child = frame().mdiArea()->activeSubWindow();
        return child ? qobject_cast<views::CZemDiffChildFrame *>(child->widget()) : nullptr;
    }
    views::BrowseWindow &w() { return *m_browse; }

    QModelIndex select(const QString &path)
    {
        frame().mdiArea()->setActiveSubWindow(
            qobject_cast<QMdiSubWindow *>(m_browse->parentWidget()));
        return shelltest::selectPath(w(), path);
    }
    // Selects the file rows named, in the browse window's list.
    void selectFiles(const QStringList &names)
    {
        const std::vector<int> rows = shelltest::selectFiles(w(), names);
        QCOMPARE(rows.size(), std::size_t(names.size()));
        frame().router().update();
    }
    CZemHistoryChildFrame *activeHistory()
    {
        QMdiSubWindow *child = frame().mdiArea()->activeSubWindow();
        return child ? qobject_cast<CZemHistoryChildFrame *>(child->widget()) : nullptr;
    }
    QList<CZemHistoryChildFrame *> historyWindows()
    {
        QList<CZemHistoryChildFrame *> found;
        for (QMdiSubWindow *c :
             ChildWindowTemplates::children(ChildKind::History, *frame().mdiArea()))
            found << qobject_cast<CZemHistoryChildFrame *>(c->widget());
        return found;
    }
    CZemHistoryChildFrame *openFileHistory(const QString &folder, const QString &file)
    {
        select(folder);
        selectFiles({file});
        if (!frame().router().dispatch(browsecmd::FileHistory))
            return nullptr;
        return activeHistory();
    }
    static QStringList column(CZemHistoryChildFrame &h, int c)
    {
        QStringList texts;
        for (int r = 0; r < h.model().rowCount(); ++r)
            texts << h.model().index(r, c).data().toString();
        return texts;
    }
    static void selectHistoryRow(CZemHistoryChildFrame &h, int row)
    {
        h.list()->selectionModel()->setCurrentIndex(h.model().index(row, 0),
                                                    QItemSelectionModel::ClearAndSelect |
                                                        QItemSelectionModel::Rows);
    }
    std::vector<std::int32_t> serverVersions(const std::string &path)
    {
        std::vector<protocol::HistoryItem> items;
        const protocol::CallResult r =
            client().getHistoryList(profile().userId, path, false, items);
        if (!r.succeeded())
            qWarning("history failed: %s", r.message().c_str());
        std::vector<std::int32_t> versions;
        for (const auto &i : items)
            versions.push_back(i.version);
        return versions;
    }
    // The bytes of a version as the service hands them out.
    std::string versionBytes(const std::string &path, std::int32_t version)
    {
        const std::filesystem::path local = m_demo->data.path() / "expected.bin";
        std::ofstream(local, std::ios::binary | std::ios::trunc).flush(); // the call fills it
        const protocol::CallResult r = client().getFile(profile().userId, path, version, local);
        if (!r.succeeded())
            qWarning("get failed: %s", r.message().c_str());
        return readAll(local);
    }
    QStringList messages()
    {
        QStringList lines;
        for (int r = 0; r < w().messages().rowCount(); ++r)
            lines << w().messages().textAt(r);
        return lines;
    }
    QString zemLog()
    {
        QFile file(w().log().fileName());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    // Answers the next get dialog: records what it showed and sends the file to `target`
    // (an empty target cancels).
    struct GetSeen
    {
        QString title;
        QString destination;
    };
    void answerGet(GetSeen &seen, const std::filesystem::path &target)
    {
        shelltest::answerNext<views::GetDialog>([&seen, target](views::GetDialog *dialog) {
            seen.title = dialog->windowTitle();
            auto *destination = dialog->findChild<QLineEdit *>(QStringLiteral("c1040"));
            seen.destination = destination->text();
            if (target.empty()) {
                dialog->reject();
                return;
            }
            destination->setText(QString::fromStdString(target.string()));
            dialog->accept();
        });
    }
    // Two more versions of the file, checked in by this user.
    void addVersions(const std::string &path, int count)
    {
        protocol::ServiceClient c = client();
        const std::string uid = profile().userId;
        const std::filesystem::path local = m_demo->data.path() / "work.txt";
        for (int i = 0; i < count; ++i) {
            QVERIFY(c.checkOut(uid, path, local.string()).succeeded());
            std::ofstream(local, std::ios::binary) << "version text " << i << "\n";
            QVERIFY(c.checkin(uid, path, "extra " + std::to_string(i), local).succeeded());
        }
    }

private slots:
    void init()
    {
        m_demo = std::make_unique<shelltest::DemoService>();
        QVERIFY(m_demo->start());
        m_browse = frame().activeBrowseWindow();
        QVERIFY(m_browse);
    }
    void initTestCase()
    {
        // The fetched versions go here, where a test can see what is left.
        QVERIFY(m_temp.isValid());
        qputenv("TMPDIR", m_temp.path().toLocal8Bit());
    }
    void cleanup() { m_demo.reset(); }

    void fileHistoryShowsTheVersionsInServiceOrder()
    {
        CZemHistoryChildFrame *h =
            openFileHistory(QStringLiteral("Documents"), QStringLiteral("meeting-notes.txt"));
        QVERIFY(h);
        QCOMPARE(h->layout(), views::HistoryLayout::File);
        QCOMPARE(h->path(), std::string("Documents\\meeting-notes.txt"));
        QCOMPARE(h->parentWidget()->windowTitle(),
                 module().text(187).arg(QStringLiteral("Documents\\meeting-notes.txt")));
        QCOMPARE(h->model().columnCount(), 4);
        QStringList headers;
        for (int c = 0; c < 4; ++c)
            headers << h->model().headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        QCOMPARE(headers, (QStringList{module().text(186), module().text(188), module().text(189),
                                       module().text(190)}));
        QCOMPARE(column(*h, 0), (QStringList{"1", "2", "3"}));
        QCOMPARE(column(*h, 1), (QStringList{"mara", "jonas", "mara"}));
        QCOMPARE(column(*h, 3), (QStringList{"Kick-off", "Web site review", "Release plan"}));
        QCOMPARE(h->profile().port, profile().port);
    }

    void severalSelectedFilesOpenOneWindowEach()
    {
        select(QStringLiteral("Projects\\Website"));
        selectFiles({QStringLiteral("index.html"), QStringLiteral("style.css")});
        QVERIFY(frame().router().dispatch(browsecmd::FileHistory));
        QStringList paths;
        for (CZemHistoryChildFrame *h : historyWindows())
            paths << QString::fromStdString(h->path());
        paths.sort();
        QCOMPARE(paths,
                 (QStringList{"Projects\\Website\\index.html", "Projects\\Website\\style.css"}));
    }

    void folderHistoryAsksForSubfoldersAndNamesTheFiles_data()
    {
        QTest::addColumn<bool>("subFolders");
        QTest::addColumn<bool>("logoListed");
        QTest::newRow("folder only") << false << false;
        QTest::newRow("with subfolders") << true << true;
    }
    void folderHistoryAsksForSubfoldersAndNamesTheFiles()
    {
        QFETCH(bool, subFolders);
        QFETCH(bool, logoListed);
        select(QStringLiteral("Projects\\Website"));
        QString label;
        bool boxVisible = false;
        shelltest::answerNext<views::HistoryOptionsDialog>(
            [&](views::HistoryOptionsDialog *dialog) {
                label = dialog->label()->text();
                boxVisible = dialog->subFoldersBox()->isVisible();
                dialog->subFoldersBox()->setChecked(subFolders);
                dialog->accept();
            });
        QVERIFY(frame().router().dispatch(browsecmd::FolderHistory));
        QCOMPARE(label, module().text(181));
        QVERIFY(boxVisible);
        CZemHistoryChildFrame *h = activeHistory();
        QVERIFY(h);
        QCOMPARE(h->layout(), views::HistoryLayout::Folder);
        QCOMPARE(h->parentWidget()->windowTitle(),
                 module().text(192).arg(QStringLiteral("Projects\\Website")));
        QCOMPARE(h->model().columnCount(), 5);
        QCOMPARE(h->model().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
                 module().text(191));
        const QStringList names = column(*h, 0);
        // The service names each row's file by its whole server path.
        QCOMPARE(names.count(QStringLiteral("Projects\\Website\\index.html")), 3);
        QCOMPARE(names.contains(QStringLiteral("Projects\\Website\\assets\\logo.svg")), logoListed);

        // Cancel opens nothing.
        const int before = historyWindows().size();
        select(QStringLiteral("Projects\\Website"));
        shelltest::answerNext<views::HistoryOptionsDialog>(
            [](views::HistoryOptionsDialog *dialog) { dialog->reject(); });
        QVERIFY(frame().router().dispatch(browsecmd::History)); // tree pane: as Folder history
        QCOMPARE(historyWindows().size(), before);
    }

    void versionsSortAsNumbersHighestFirst()
    {
        addVersions("Documents\\meeting-notes.txt", 8); // versions 1 to 11
        CZemHistoryChildFrame *h =
            openFileHistory(QStringLiteral("Documents"), QStringLiteral("meeting-notes.txt"));
        QVERIFY(h);
        QCOMPARE(h->rowCount(), 11);
        h->list()->header()->sectionClicked(0);
        QCOMPARE(column(*h, 0).mid(0, 3), (QStringList{"11", "10", "9"}));
        QCOMPARE(h->model().headerImage(), 11);
        h->list()->header()->sectionClicked(0);
        QCOMPARE(column(*h, 0).mid(0, 3), (QStringList{"1", "2", "3"}));
        QCOMPARE(h->model().headerImage(), 12);
        // Texts by their bytes: "Kick-off" < "Release plan" < "Web site review" < "extra 0".
        h->list()->header()->sectionClicked(3);
        QCOMPARE(column(*h, 3).first(), QStringLiteral("extra 7"));
        h->list()->header()->sectionClicked(3);
        QCOMPARE(column(*h, 3).mid(0, 3),
                 (QStringList{"Kick-off", "Release plan", "Web site review"}));
    }

    void rollBackKeepsTheRowsUpToTheVersionInEveryWindowOfThePath()
    {
        const std::string path = "Documents\\meeting-notes.txt";
        addVersions(path, 2); // five versions
        CZemHistoryChildFrame *other =
            openFileHistory(QStringLiteral("Documents"), QStringLiteral("roadmap.md"));
        CZemHistoryChildFrame *first =
            openFileHistory(QStringLiteral("Documents"), QStringLiteral("meeting-notes.txt"));
        CZemHistoryChildFrame *second =
            openFileHistory(QStringLiteral("Documents"), QStringLiteral("meeting-notes.txt"));
        QVERIFY(other && first && second && first != second);
        QCOMPARE(second->rowCount(), 5);

        // No: nothing changes.
        selectHistoryRow(*second, 2);
        frame().router().update();
        QVERIFY(frame().action(browsecmd::RollBack)->isEnabled());
        BoxAnswer asked;
        answerNextBox(asked, QMessageBox::No);
        QVERIFY(frame().router().dispatch(browsecmd::RollBack));
        QVERIFY(asked.shown);
        QCOMPARE(asked.text, module().text(2009).arg(QString::fromStdString(path)).arg(3));
        QCOMPARE(asked.icon, QMessageBox::Warning);
        QCOMPARE(serverVersions(path).size(), std::size_t(5));
        QCOMPARE(first->rowCount(), 5);

        // Yes: the service drops versions 4 and 5, every window of the path drops their rows.
        answerNextBox(asked, QMessageBox::Yes);
        QVERIFY(frame().router().dispatch(browsecmd::RollBack));
        QCOMPARE(serverVersions(path), (std::vector<std::int32_t>{1, 2, 3}));
        QCOMPARE(column(*first, 0), (QStringList{"1", "2", "3"}));
        QCOMPARE(column(*second, 0), (QStringList{"1", "2", "3"}));
        QCOMPARE(other->rowCount(), 1);
        // The rolled-back row is now the last one.
        QVERIFY(!frame().action(browsecmd::RollBack)->isEnabled());
    }

    void rollBackNeverCallsTheServiceWhenItsRuleFails()
    {
        const std::string path = "Documents\\meeting-notes.txt";
        CZemHistoryChildFrame *h =
            openFileHistory(QStringLiteral("Documents"), QStringLiteral("meeting-notes.txt"));
        QVERIFY(h);
        BoxAnswer asked;
        struct Case
        {
            const char *name;
            std::function<void()> arrange;
        };
        const Case cases[] = {
            {"nothing selected",
             [&] {
                 h->list()->selectionModel()->clear();
             }},
            {"last row",
             [&] {
                 selectHistoryRow(*h, 2);
             }},
            {"two rows",
             [&] {
                 selectHistoryRow(*h, 0);
                 h->list()->selectionModel()->select(h->model().index(1, 0),
                                                     QItemSelectionModel::Select |
                                                         QItemSelectionModel::Rows);
             }},
            {"selected but not focused",
             [&] {
                 selectHistoryRow(*h, 0);
                 h->list()->selectionModel()->setCurrentIndex(h->model().index(1, 0),
                                                              QItemSelectionModel::NoUpdate);
             }},
        };
        for (const Case &c : cases) {
            c.arrange();
            // Dispatched without a fresh menu: the rule is read at the moment it runs.
            QVERIFY2(!frame().router().dispatch(browsecmd::RollBack), c.name);
            QVERIFY2(!frame().action(browsecmd::RollBack)->isEnabled(), c.name);
        }
        // The handler itself checks again, for a caller that skips the router.
        selectHistoryRow(*h, 2);
        QVERIFY(frame().action(browsecmd::RollBack));
        frame().action(browsecmd::RollBack)->setEnabled(true);
        frame().action(browsecmd::RollBack)->trigger();
        QCOMPARE(serverVersions(path).size(), std::size_t(3));

        // A one-row history and a folder history: disabled.
        CZemHistoryChildFrame *single =
            openFileHistory(QStringLiteral("Documents"), QStringLiteral("roadmap.md"));
        QVERIFY(single);
        selectHistoryRow(*single, 0);
        QVERIFY(!frame().router().dispatch(browsecmd::RollBack));
        select(QStringLiteral("Documents"));
        shelltest::answerNext<views::HistoryOptionsDialog>(
            [](views::HistoryOptionsDialog *dialog) { dialog->accept(); });
        QVERIFY(frame().router().dispatch(browsecmd::FolderHistory));
        CZemHistoryChildFrame *folder = activeHistory();
        QVERIFY(folder && folder->rowCount() > 1);
        selectHistoryRow(*folder, 0);
        QVERIFY(!frame().router().dispatch(browsecmd::RollBack));
        QVERIFY(!asked.shown);
    }

    void aRefusedRollBackIsShownAndKeepsTheRows()
    {
        // style.css is checked out by jonas: the service refuses.
        CZemHistoryChildFrame *h =
            openFileHistory(QStringLiteral("Projects\\Website"), QStringLiteral("style.css"));
        QVERIFY(h);
        QCOMPARE(h->rowCount(), 2);
        selectHistoryRow(*h, 0);
        BoxAnswer confirm;
        BoxAnswer error;
        shelltest::answerNext<QMessageBox>([&](QMessageBox *box) {
            confirm.shown = true;
            answerNextBox(error, QMessageBox::Ok);
            box->button(QMessageBox::Yes)->click();
        });
        QVERIFY(frame().router().dispatch(browsecmd::RollBack));
        QVERIFY(confirm.shown);
        QVERIFY(error.shown);
        QCOMPARE(error.icon, QMessageBox::Critical);
        QVERIFY(error.text.contains(QStringLiteral("jonas")) ||
                error.text.contains(QStringLiteral("checked out")));
        QCOMPARE(h->rowCount(), 2);
        QCOMPARE(serverVersions("Projects\\Website\\style.css").size(), std::size_t(2));
    }

    void getVersionWritesThatVersionsBytes_data()
    {
        QTest::addColumn<bool>("folderLayout");
        QTest::addColumn<QString>("file"); // the row's file
        QTest::addColumn<int>("version");  // the row's version
        QTest::newRow("file history, oldest") << false << "meeting-notes.txt" << 1;
        QTest::newRow("file history, middle") << false << "meeting-notes.txt" << 2;
        QTest::newRow("folder history") << true << "index.html" << 2;
    }
    void getVersionWritesThatVersionsBytes()
    {
        QFETCH(bool, folderLayout);
        QFETCH(QString, file);
        QFETCH(int, version);
        const QString folder =
            folderLayout ? QStringLiteral("Projects\\Website") : QStringLiteral("Documents");
        const std::string serverPath = (folder + QLatin1Char('\\') + file).toStdString();
        CZemHistoryChildFrame *h = nullptr;
        if (folderLayout) {
            select(folder);
            shelltest::answerNext<views::HistoryOptionsDialog>(
                [](views::HistoryOptionsDialog *dialog) { dialog->accept(); });
            QVERIFY(frame().router().dispatch(browsecmd::FolderHistory));
            h = activeHistory();
        } else {
            h = openFileHistory(folder, file);
        }
        QVERIFY(h);
        int row = -1;
        for (int r = 0; r < h->rowCount(); ++r)
            if (h->model().item(r).version == version && h->rowPath(r) == serverPath)
                row = r;
        QVERIFY(row >= 0);
        selectHistoryRow(*h, row);
        frame().router().update();
        QVERIFY(frame().action(browsecmd::GetVersion)->isEnabled());

        const std::filesystem::path target = m_demo->data.path() / "got" / "copy.txt";
        GetSeen seen;
        answerGet(seen, target);
        QVERIFY(frame().router().dispatch(browsecmd::GetVersion));
        QCOMPARE(seen.title, module().text(2036));
        const QString defaultFolder =
            QString::fromStdString(m_demo->app->app->settings().values().defaultGetFileFolder);
        QVERIFY2(seen.destination.endsWith(QLatin1Char('/') + file) &&
                     seen.destination.startsWith(defaultFolder),
                 qPrintable(seen.destination));
        QVERIFY(std::filesystem::is_regular_file(target));
        const std::string expected = versionBytes(serverPath, version);
        QVERIFY(!expected.empty());
        QCOMPARE(readAll(target), expected);
        // A version differs from the latest here, so the right one was asked for.
        QVERIFY(expected != versionBytes(serverPath, -1));
        // The job's line is in the browse window's pane and in zem.log.
        const QString local = QString::fromStdString(target.string());
        QVERIFY(messages().join(QLatin1Char('\n')).contains(local));
        QVERIFY(zemLog().contains(local));
        // Not kept writable: the fetched copy is read-only.
        QVERIFY((std::filesystem::status(target).permissions() &
                 std::filesystem::perms::owner_write) == std::filesystem::perms::none);

        // Cancelling the dialog writes nothing.
        const std::filesystem::path other = m_demo->data.path() / "got" / "other.txt";
        answerGet(seen, {});
        QVERIFY(frame().router().dispatch(browsecmd::GetVersion));
        QVERIFY(!std::filesystem::exists(other));
    }

    void getCommandsFollowTheirRowRules_data()
    {
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<bool>("getVersion");
        QTest::addColumn<bool>("getAndOpen");
        QTest::newRow("none") << QList<int>{} << false << true;
        QTest::newRow("one") << QList<int>{1} << true << true;
        QTest::newRow("two") << QList<int>{0, 2} << false << false;
    }
    void getCommandsFollowTheirRowRules()
    {
        QFETCH(QList<int>, rows);
        QFETCH(bool, getVersion);
        QFETCH(bool, getAndOpen);
        CZemHistoryChildFrame *h =
            openFileHistory(QStringLiteral("Documents"), QStringLiteral("meeting-notes.txt"));
        QVERIFY(h);
        h->list()->selectionModel()->clearSelection();
        for (int r : rows)
            h->list()->selectionModel()->select(
                h->model().index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        frame().router().update();
        QCOMPARE(frame().action(browsecmd::GetVersion)->isEnabled(), getVersion);
        QCOMPARE(frame().action(browsecmd::HistoryGetAndOpen)->isEnabled(), getAndOpen);
        // Run anyway (as a key might): without exactly one row no dialog opens.
        if (rows.size() != 1) {
            // A watcher of this test only, gone with it, so it answers no later dialog.
            bool asked = false;
            QTimer watch;
            watch.setInterval(20);
            connect(&watch, &QTimer::timeout, [&asked] {
                if (auto *d = qobject_cast<views::GetDialog *>(QApplication::activeModalWidget())) {
                    asked = true;
                    d->reject();
                }
            });
            watch.start();
            frame().router().dispatch(browsecmd::GetVersion);
            frame().router().dispatch(browsecmd::HistoryGetAndOpen);
            QVERIFY(!asked);
        }
    }

    void getAndOpenFetchesTheLatestAndOpensIt()
    {
        const std::filesystem::path work = m_demo->data.path() / "docs-work";
        QVERIFY(client()
                    .setWorkFolderPath(profile().userId, "Documents", work.string() + "\\")
                    .succeeded());
        CZemHistoryChildFrame *h =
            openFileHistory(QStringLiteral("Documents"), QStringLiteral("meeting-notes.txt"));
        QVERIFY(h);
        selectHistoryRow(*h, 0); // version 1: the command still gets the latest
        frame().router().update();
        QVERIFY(frame().action(browsecmd::HistoryGetAndOpen)->isEnabled());
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
        GetSeen seen;
        const std::filesystem::path target = work / "notes.txt";
        answerGet(seen, target);
        const bool dispatched = frame().router().dispatch(browsecmd::HistoryGetAndOpen);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QVERIFY(dispatched);
        // The working folder without its trailing separator, then the file's name.
        QCOMPARE(seen.destination, QString::fromStdString((work / "meeting-notes.txt").string()));
        QCOMPARE(readAll(target), versionBytes("Documents\\meeting-notes.txt", -1));
        QCOMPARE(catcher.urls.size(), 1);
        QCOMPARE(catcher.urls[0].toLocalFile(), QString::fromStdString(target.string()));

        // Cancelled: nothing is opened.
        catcher.urls.clear();
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
        answerGet(seen, {});
        QVERIFY(frame().router().dispatch(browsecmd::HistoryGetAndOpen));
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QVERIFY(catcher.urls.isEmpty());
    }

    void selectAllAndInvertActOnTheHistoryList()
    {
        CZemHistoryChildFrame *h =
            openFileHistory(QStringLiteral("Documents"), QStringLiteral("meeting-notes.txt"));
        QVERIFY(h);
        selectHistoryRow(*h, 1);
        QVERIFY(frame().router().dispatch(browsecmd::InvertSelection));
        QCOMPARE(h->list()->selectedRows(), (std::vector<int>{0, 2}));
        QVERIFY(frame().router().dispatch(browsecmd::SelectAll));
        QCOMPARE(h->list()->selectedRows(), (std::vector<int>{0, 1, 2}));
        // The browse window's list is left alone.
        QVERIFY(w().selectedRows().size() == 1);
    }

    void columnWidthsAreSavedIntoTheLayoutsOwnEntries()
    {
        config::Settings &settings = m_demo->app->app->settings();
        config::SettingsValues v = settings.values();
        v.saveColumnSize = 1;
        v.saveColumnOrder = 1;
        v.colHistory = {70, 200, 120, 200, 111, 112, 113, 114, 115};
        v.colHistoryOrder = {0, 1, 2, 3, 4, 3, 2, 1, 0};
        QVERIFY(!platform::failed(settings.write(
            v, {config::SettingField::SaveColumnSize, config::SettingField::SaveColumnOrder,
                config::SettingField::ColHistory, config::SettingField::ColHistoryOrder})));

        CZemHistoryChildFrame *h =
            openFileHistory(QStringLiteral("Documents"), QStringLiteral("meeting-notes.txt"));
        QVERIFY(h);
        h->list()->header()->resizeSection(0, 91);
        h->list()->header()->resizeSection(3, 250);
        h->list()->header()->moveSection(3, 0); // comment first
        // The date column at its default holds a whole date in this font.
        const int dateWidth = h->list()->header()->sectionSize(2);
        QVERIFY(dateWidth >= 120);
        QVERIFY(dateWidth >
                h->list()->fontMetrics().horizontalAdvance(QStringLiteral("2026/12/08 04:12:33")));
        frame().mdiArea()->activeSubWindow()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const config::SettingsValues after = settings.values();
        QCOMPARE(after.colHistory,
                 (std::array<std::int32_t, 9>{91, 200, dateWidth, 250, 111, 112, 113, 114, 115}));
        QCOMPARE(after.colHistoryOrder, (std::array<std::int32_t, 9>{3, 0, 1, 2, 4, 3, 2, 1, 0}));

        // The next file history opens with them; the folder layout with its own entries.
        h = openFileHistory(QStringLiteral("Documents"), QStringLiteral("meeting-notes.txt"));
        QVERIFY(h);
        QCOMPARE(h->list()->header()->sectionSize(0), 91);
        QCOMPARE(h->list()->header()->logicalIndex(0), 3);
        select(QStringLiteral("Documents"));
        shelltest::answerNext<views::HistoryOptionsDialog>(
            [](views::HistoryOptionsDialog *dialog) { dialog->accept(); });
        QVERIFY(frame().router().dispatch(browsecmd::FolderHistory));
        h = activeHistory();
        QVERIFY(h);
        QCOMPARE(h->list()->header()->sectionSize(2), 113);
        QCOMPARE(h->list()->header()->logicalIndex(0), 4);
    }

    void compareVersionsFetchesBothSidesAndTheWindowDeletesThem()
    {
        CZemHistoryChildFrame *h =
            openFileHistory(QStringLiteral("Documents"), QStringLiteral("meeting-notes.txt"));
        QVERIFY(h);
        selectHistoryRow(*h, 0);
        h->list()->selectionModel()->select(h->model().index(2, 0), QItemSelectionModel::Select |
                                                                        QItemSelectionModel::Rows);
        frame().router().update();
        QVERIFY(frame().action(browsecmd::CompareVersions)->isEnabled());
        QStringList entries;
        shelltest::answerNext<views::CompareDialog>([&](views::CompareDialog *d) {
            entries << d->firstEntry() << d->secondEntry();
            d->accept();
        });
        QVERIFY(frame().router().dispatch(browsecmd::CompareVersions));
        QCOMPARE(entries,
                 (QStringList{"Documents\\meeting-notes.txt:1", "Documents\\meeting-notes.txt:3"}));
        views::CZemDiffChildFrame *diff = activeDiff();
        QVERIFY(diff);
        QCOMPARE(diff->parentWidget()->windowTitle(),
                 module().text(183).arg(entries[0], entries[1]));
        const QStringList fetched = diff->request().temporaryFiles;
        QCOMPARE(fetched.size(), 2);
        for (const QString &f : fetched)
            QVERIFY(QFileInfo::exists(f));
        if (diff->isComparing()) {
            QSignalSpy done(diff, &views::CZemDiffChildFrame::comparisonFinished);
            QVERIFY(done.wait(10000));
        }
        const views::DiffRowModel *rows = diff->model();
        QVERIFY(rows);
        using compare::DiffRowKind;
        QCOMPARE(rows->rowCount(), std::size_t(3));
        QCOMPARE(rows->kind(0, 0), DiffRowKind::Same);
        QCOMPARE(rows->kind(0, 1), DiffRowKind::Inserted);
        QCOMPARE(rows->lineNumber(0, 1), 0); // the first file's filler row
        QCOMPARE(rows->text(1, 2), std::string_view("2026-11-30: release plan"));
        // Closing the window deletes what was fetched.
        frame().mdiArea()->activeSubWindow()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (const QString &f : fetched)
            QVERIFY(!QFileInfo::exists(f));
    }

    void compareWithTheWorkingCopyPutsTheLocalFileFirst()
    {
        select(QStringLiteral("Documents"));
        const std::string folder = (m_demo->data.path() / "work").string();
        QDir().mkpath(QString::fromStdString(folder));
        w().setSelectedWorkFolder(folder);
        {
            std::ofstream f(std::filesystem::path(folder) / "roadmap.md", std::ios::binary);
            f << "# Roadmap\n\n- Web site\n- Tools\n- Mobile\n";
        }
        selectFiles({QStringLiteral("roadmap.md")});
        QStringList entries;
        shelltest::answerNext<views::CompareDialog>([&](views::CompareDialog *d) {
            entries << d->firstEntry() << d->secondEntry();
            d->accept();
        });
        QVERIFY(frame().router().dispatch(browsecmd::CompareWorkingCopy));
        QCOMPARE(entries.value(1), QStringLiteral("Documents\\roadmap.md:-1"));
        QVERIFY(entries.value(0).endsWith(QStringLiteral("roadmap.md")));
        views::CZemDiffChildFrame *diff = activeDiff();
        QVERIFY(diff);
        QCOMPARE(diff->request().temporaryFiles.size(), 1); // only the server's side
        if (diff->isComparing()) {
            QSignalSpy done(diff, &views::CZemDiffChildFrame::comparisonFinished);
            QVERIFY(done.wait(10000));
        }
        const views::DiffRowModel *rows = diff->model();
        QCOMPARE(rows->rowCount(), std::size_t(5));
        QCOMPARE(rows->kind(0, 4), compare::DiffRowKind::Deleted); // "- Mobile" only locally
    }

    void compareDialogChecksBothEntriesBeforeFetching_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<int>("message");
        QTest::addColumn<bool>("focusFirst");
        const QString file = QStringLiteral("Documents\\meeting-notes.txt:2");
        const QString dir = QDir::tempPath();
        QTest::newRow("first empty") << QString() << file << 2003 << true;
        QTest::newRow("second empty") << file << QString() << 2004 << false;
        QTest::newRow("first a folder") << dir << file << 2006 << true;
        QTest::newRow("second a folder") << file << dir << 2008 << false;
        QTest::newRow("first without version")
            << QStringLiteral("nowhere.txt") << file << 2007 << true;
        QTest::newRow("first version not a number")
            << QStringLiteral("a.txt:two") << file << 2007 << true;
        QTest::newRow("first version 0") << QStringLiteral("a.txt:0") << file << 2007 << true;
        QTest::newRow("second unusable, first fine")
            << file << QStringLiteral("b.txt:") << 2005 << false;
        QTest::newRow("second version 0") << file << QStringLiteral("b.txt:0") << 2005 << false;
    }
    void compareDialogChecksBothEntriesBeforeFetching()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(int, message);
        QFETCH(bool, focusFirst);
        std::atomic<int> services{0};
        views::CompareDialog dialog(module(), profile(),
                                    [&services](const protocol::ServerProfile &p) {
                                        ++services;
                                        auto c = std::make_unique<protocol::ServiceClient>();
                                        c->fillFromProfile(p);
                                        return std::unique_ptr<protocol::Service>(std::move(c));
                                    });
        dialog.setEntries(first, second);
        dialog.show();
        BoxAnswer box;
        answerNextBox(box, QMessageBox::Ok);
        dialog.accept();
        QTRY_VERIFY(box.shown);
        QCOMPARE(box.text, module().text(message));
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(services.load(), 0);
        QCOMPARE(dialog.focusWidget() == dialog.firstField(), focusFirst);
    }

    void cancellingTheSecondFetchDeletesBothAndKeepsTheDialog()
    {
        // The second fetch's service waits until the test has pressed Cancel.
        std::promise<void> cancelled;
        std::shared_future<void> gate = cancelled.get_future().share();
        std::atomic<int> services{0};
        views::CompareDialog dialog(module(), profile(),
                                    [&services, gate](const protocol::ServerProfile &p) {
                                        if (++services == 2)
                                            gate.wait();
                                        auto c = std::make_unique<protocol::ServiceClient>();
                                        c->fillFromProfile(p);
                                        return std::unique_ptr<protocol::Service>(std::move(c));
                                    });
        dialog.setEntries(QStringLiteral("Documents\\meeting-notes.txt:1"),
                          QStringLiteral("Documents\\meeting-notes.txt:2"));
        const QStringList before = fetchedFiles();
        int fetches = 0;
        dialog.fetchStarted = [&](QWidget *progress) {
            if (++fetches == 2) {
                // The user's Cancel: the box's button.
                if (auto *button = progress->findChild<QPushButton *>())
                    button->click();
                cancelled.set_value();
            }
        };
        dialog.show();
        dialog.accept();
        QCOMPARE(fetches, 2);
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.temporaryFiles().isEmpty());
        QCOMPARE(fetchedFiles(), before);

        // A failing fetch (no such version) is shown; nothing stays behind either.
        dialog.fetchStarted = {};
        dialog.setEntries(QStringLiteral("Documents\\meeting-notes.txt:1"),
                          QStringLiteral("Documents\\meeting-notes.txt:9"));
        BoxAnswer box;
        answerNextBox(box, QMessageBox::Ok);
        dialog.accept();
        QVERIFY(box.shown);
        QCOMPARE(box.icon, QMessageBox::Critical);
        QVERIFY(dialog.isVisible());
        QCOMPARE(fetchedFiles(), before);
    }
};

QTEST_MAIN(TestHistoryWindow)
#include "tst_historywindow.moc"
