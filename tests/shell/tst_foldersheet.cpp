// The folder properties sheet from the main window, against the reference service with its
// demo data: the folder page (name, comment, the private icon, the comment stored on apply
// and shown in the status pane, a refused apply keeping the sheet open) and the deleted-items
// page (recover and purge, one call per item, stopping at the first failure, a log line per
// success).

#include "shelltestsupport.h"

#include "demoservice.h"
#include "shell/commands/commandrouter.h"
#include "shell/commands/enablerules.h"

#include <views/browse/browsewindow.h>
#include <views/browse/foldersheet.h>
#include <views/common/languagemodule.h>

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeWidget>

using namespace shell;
using views::CFolderSheet;

namespace {

// What the next message box showed; it is closed with OK.
struct BoxSeen
{
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool shown = false;
};

void answerNextBox(BoxSeen &seen)
{
    shelltest::answerNext<QMessageBox>([&seen](QMessageBox *box) {
        seen.text = box->text();
        seen.icon = box->icon();
        seen.shown = true;
        box->accept();
    });
}

QImage pixels(const QPixmap &p)
{
    return p.toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class TestFolderSheet : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<shelltest::DemoService> m_demo;

    CMainFrame &frame() { return m_demo->frame(); }
    views::BrowseWindow &w() { return *frame().activeBrowseWindow(); }
    const views::LanguageModule &module() { return m_demo->module(); }
    protocol::ServiceClient client() const { return m_demo->client(); }
    std::string uid() const { return m_demo->userId(); }

    QModelIndex select(const QString &path) { return shelltest::selectPath(w(), path); }
    QStringList messages()
    {
        QStringList lines;
        for (int r = 0; r < w().messages().rowCount(); ++r)
            lines << w().messages().textAt(r);
        return lines;
    }
    std::string serverComment(const std::string &parent, const std::string &name)
    {
        std::vector<protocol::FolderItem> folders;
        if (!client().getFolderList(uid(), parent, folders).succeeded())
            return "(failed)";
        for (const protocol::FolderItem &f : folders)
            if (f.name == name)
                return f.comment;
        return "(none)";
    }
    // Opens the sheet on the selected folder and runs `inside` while it is open; the sheet is
    // cancelled afterwards when `inside` left it open.
    void withSheet(const std::function<void(CFolderSheet &)> &inside)
    {
        bool opened = false;
        shelltest::answerNext<CFolderSheet>([&](CFolderSheet *sheet) {
            opened = true;
            inside(*sheet);
            if (sheet->isVisible())
                sheet->reject();
        });
        QVERIFY(frame().router().dispatch(browsecmd::FolderProperties));
        QVERIFY(opened);
    }
    static void showDeletedPage(CFolderSheet &sheet)
    {
        sheet.tabs()->setCurrentWidget(sheet.deletedPage());
        QTRY_VERIFY(sheet.deletedPage()->loaded());
    }
    static void selectNames(views::CDeletedItemPage &page, const QStringList &names)
    {
        page.list()->clearSelection();
        for (int i = 0; i < page.list()->topLevelItemCount(); ++i) {
            QTreeWidgetItem *item = page.list()->topLevelItem(i);
            if (names.contains(item->text(0)))
                item->setSelected(true);
        }
    }

private slots:
    void init()
    {
        m_demo = std::make_unique<shelltest::DemoService>();
        QVERIFY(m_demo->start());
    }
    void cleanup() { m_demo.reset(); }

    void onlyAFolderNodeHasProperties()
    {
        select(QString());
        frame().router().update();
        QVERIFY(!frame().action(browsecmd::FolderProperties)->isEnabled());
        select(QStringLiteral("Documents"));
        frame().router().update();
        QVERIFY(frame().action(browsecmd::FolderProperties)->isEnabled());
    }

    void theFolderPageShowsTheFolder_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("comment");
        QTest::addColumn<int>("icon");
        QTest::newRow("shared folder") << "Documents"
                                       << "Plans and minutes" << 168;
        QTest::newRow("private folder") << "Private"
                                        << "Only you see this folder" << 166;
    }
    void theFolderPageShowsTheFolder()
    {
        QFETCH(QString, folder);
        QFETCH(QString, comment);
        QFETCH(int, icon);
        QVERIFY(select(folder).isValid());
        withSheet([&](CFolderSheet &sheet) {
            QCOMPARE(sheet.windowTitle(), module().text(165));
            QCOMPARE(sheet.tabs()->count(), 2);
            QCOMPARE(sheet.tabs()->tabText(0), module().text(179));
            QCOMPARE(sheet.tabs()->tabText(1), module().text(167));
            QVERIFY(sheet.folderPage()->missingControls().isEmpty());
            QVERIFY(sheet.deletedPage()->missingControls().isEmpty());
            QCOMPARE(sheet.folderPage()->nameField()->text(), folder);
            QCOMPARE(sheet.folderPage()->commentField()->text(), comment);
            QCOMPARE(sheet.folderPage()->iconId(), icon);
            QCOMPARE(pixels(sheet.folderPage()->iconLabel()->pixmap()),
                     pixels(module().image(QStringLiteral("%1.png").arg(icon))));
            // The deleted items are asked for only when their page is shown.
            QVERIFY(!sheet.deletedPage()->loaded());
        });
    }

    void applyStoresTheCommentAndShowsIt()
    {
        const QModelIndex node = select(QStringLiteral("Documents"));
        QVERIFY(node.isValid());
        withSheet([&](CFolderSheet &sheet) {
            QPushButton *apply = sheet.buttons()->button(QDialogButtonBox::Apply);
            QVERIFY(!apply->isEnabled());
            QTest::keyClicks(sheet.folderPage()->commentField(), QStringLiteral(", 2027"));
            QVERIFY(apply->isEnabled());
            apply->click();
            QVERIFY(sheet.isVisible()); // Apply keeps the sheet open
            QVERIFY(!apply->isEnabled());
            QCOMPARE(serverComment("", "Documents"), std::string("Plans and minutes, 2027"));
            // OK stores the text again, with another change.
            sheet.folderPage()->commentField()->setText(QStringLiteral("Minutes only"));
            sheet.buttons()->button(QDialogButtonBox::Ok)->click();
            QVERIFY(!sheet.isVisible());
        });
        QCOMPARE(serverComment("", "Documents"), std::string("Minutes only"));
        auto *pane = frame().statusBar()->findChild<QLabel *>(QStringLiteral("pane3"));
        QVERIFY(pane);
        QCOMPARE(pane->text(), QStringLiteral("Minutes only"));
        w().runner().waitIdle();
        const QModelIndex again = select(QStringLiteral("Documents"));
        QCOMPARE(w().treeModel().folder(again)->comment, std::string("Minutes only"));
    }

    void aRefusedApplyKeepsTheSheetOpen()
    {
        QVERIFY(select(QStringLiteral("Documents")).isValid());
        BoxSeen error;
        withSheet([&](CFolderSheet &sheet) {
            // Another client deletes the folder while the sheet is open.
            QVERIFY(client().deleteItem(uid(), "Documents", true).succeeded());
            sheet.folderPage()->commentField()->setText(QStringLiteral("Too late"));
            answerNextBox(error);
            sheet.buttons()->button(QDialogButtonBox::Ok)->click();
            QVERIFY(error.shown);
            QVERIFY(sheet.isVisible());
            QVERIFY(!sheet.applied());
        });
        QCOMPARE(error.icon, QMessageBox::Critical);
        QVERIFY(!error.text.isEmpty());
    }

    void recoverPutsTheItemBackInTheFolder()
    {
        QVERIFY(client().deleteItem(uid(), "Documents\\roadmap.md", false).succeeded());
        QVERIFY(select(QStringLiteral("Documents")).isValid());
        QVERIFY(w().fileModel().rowOf("roadmap.md") < 0);
        withSheet([&](CFolderSheet &sheet) {
            views::CDeletedItemPage &page = *sheet.deletedPage();
            showDeletedPage(sheet);
            QCOMPARE(page.names(), QStringList{QStringLiteral("roadmap.md")});
            QCOMPARE(page.list()->headerItem()->text(0), module().text(178));
            QVERIFY(!page.recoverButton()->isEnabled());
            QVERIFY(!page.purgeButton()->isEnabled());
            selectNames(page, {QStringLiteral("roadmap.md")});
            QVERIFY(page.recoverButton()->isEnabled() && page.purgeButton()->isEnabled());
            page.recoverButton()->click();
            QVERIFY(page.names().isEmpty());
            // Nothing selected now: the buttons stay on and a click does nothing.
            QVERIFY(page.recoverButton()->isEnabled());
            page.purgeButton()->click();
            sheet.reject();
        });
        const std::vector<std::string> files = m_demo->fileNames("Documents");
        QVERIFY(std::find(files.begin(), files.end(), "roadmap.md") != files.end());
        QVERIFY(m_demo->deletedNames("Documents").empty());
        QVERIFY(
            messages().contains(module().text(2019).arg(QStringLiteral("Documents\\roadmap.md"))));
        // The node was listed again: the recovered file is back in the list.
        QTRY_VERIFY(w().fileModel().rowOf("roadmap.md") >= 0);
    }

    void purgeStopsAtTheFirstFailure()
    {
        // Three deleted items: two files and a folder.
        QVERIFY(client().createFolder(uid(), "Projects\\Tools", "old", "", false).succeeded());
        for (const char *path :
             {"Projects\\Tools\\build.sh", "Projects\\Tools\\deploy.py", "Projects\\Tools\\old"})
            QVERIFY(client().deleteItem(uid(), path, false).succeeded());
        QVERIFY(select(QStringLiteral("Projects\\Tools")).isValid());
        QStringList listed;
        BoxSeen error;
        withSheet([&](CFolderSheet &sheet) {
            views::CDeletedItemPage &page = *sheet.deletedPage();
            showDeletedPage(sheet);
            listed = page.names();
            QCOMPARE(listed.size(), 3);
            selectNames(page, listed);
            // The second goes for good behind the page's back: its purge fails.
            QVERIFY(client()
                        .deleteItem(uid(), "Projects\\Tools\\" + listed[1].toStdString(), true)
                        .succeeded());
            answerNextBox(error);
            page.purgeButton()->click();
            QVERIFY(error.shown);
            QCOMPARE(page.names(), listed.mid(1));
        });
        QCOMPARE(error.icon, QMessageBox::Critical);
        const std::vector<std::string> left = m_demo->deletedNames("Projects\\Tools");
        QCOMPARE(left, std::vector<std::string>{listed[2].toStdString()});
        // One line, for the first item only (2016 for a folder, 2017 for a file).
        const QString first = QStringLiteral("Projects\\Tools\\") + listed[0];
        const int line = listed[0] == QStringLiteral("old") ? 2016 : 2017;
        QVERIFY(messages().contains(module().text(line).arg(first)));
        for (const QString &other : listed.mid(1)) {
            for (const QString &m : messages())
                QVERIFY(!m.contains(QStringLiteral("Projects\\Tools\\") + other));
        }
    }

    void aFolderWithoutDeletedItemsShowsAnEmptyList()
    {
        QVERIFY(select(QStringLiteral("Documents")).isValid());
        withSheet([&](CFolderSheet &sheet) {
            showDeletedPage(sheet);
            QVERIFY(sheet.deletedPage()->names().isEmpty());
            QVERIFY(!sheet.deletedPage()->recoverButton()->isEnabled());
            QVERIFY(!sheet.deletedPage()->purgeButton()->isEnabled());
        });
    }
};

QTEST_MAIN(TestFolderSheet)
#include "tst_foldersheet.moc"
