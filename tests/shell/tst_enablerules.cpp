// The enable rules of the browse window's commands as a table: one row per situation, the
// commands enabled there.

#include "shell/commands/enablerules.h"

#include <QTest>

using namespace shell;
using S = SelectionSnapshot;

Q_DECLARE_METATYPE(shell::SelectionSnapshot)

namespace {

S browse(S::Node node, bool connected = true, S::Pane pane = S::Pane::Tree)
{
    S s;
    s.child = S::Child::Browse;
    s.node = node;
    s.pane = pane;
    s.serverFound = node == S::Node::Server || node == S::Node::Folder;
    s.serverConnected = s.serverFound && connected;
    s.profileCount = 1;
    return s;
}

S withRows(S s, std::size_t rows, bool checkedOut)
{
    s.selectedRows = rows;
    s.anyRowCheckedOut = checkedOut;
    s.focusedRowSelected = rows > 0;
    return s;
}

const std::vector<int> kCommands = {
    browsecmd::AddServer,      browsecmd::LogOn,           browsecmd::ServerProperties,
    browsecmd::RenameServer,   browsecmd::DeleteServer,    browsecmd::ExportProfiles,
    browsecmd::ImportProfiles, browsecmd::NewFolder,       browsecmd::DeleteFolder,
    browsecmd::RenameFolder,   browsecmd::SetWorkFolder,   browsecmd::DeleteFiles,
    browsecmd::RenameFile,     browsecmd::DeleteKey,       browsecmd::RenameKey,
    browsecmd::SelectAll,      browsecmd::InvertSelection, browsecmd::LineUp,
    browsecmd::ViewDetails,
};

} // namespace

class TestEnableRules : public QObject
{
    Q_OBJECT

private slots:
    void enabledCommands_data()
    {
        QTest::addColumn<S>("snapshot");
        QTest::addColumn<QList<int>>("enabled");
        using namespace browsecmd;
        const QList<int> always = {ImportProfiles, SelectAll, InvertSelection};

        S none;
        QTest::newRow("no window") << none << (always + QList<int>{NewFolder});
        S noProfiles = browse(S::Node::Root);
        noProfiles.profileCount = 0;
        QTest::newRow("root, no profiles")
            << noProfiles << (always + QList<int>{AddServer, NewFolder, ViewDetails});
        QTest::newRow("root") << browse(S::Node::Root)
                              << (always +
                                  QList<int>{AddServer, ExportProfiles, NewFolder, ViewDetails});
        QTest::newRow("server logged on")
            << browse(S::Node::Server)
            << (always + QList<int>{AddServer, LogOn, ServerProperties, RenameServer, DeleteServer,
                                    ExportProfiles, NewFolder, DeleteFiles, RenameFile, DeleteKey,
                                    RenameKey, ViewDetails});
        QTest::newRow("server not logged on: no new folder")
            << browse(S::Node::Server, false)
            << (always + QList<int>{AddServer, LogOn, ServerProperties, RenameServer, DeleteServer,
                                    ExportProfiles, DeleteFiles, RenameFile, DeleteKey, RenameKey,
                                    ViewDetails});
        const QList<int> folder = {AddServer,    ExportProfiles, NewFolder,  DeleteFolder,
                                   RenameFolder, SetWorkFolder,  ViewDetails};
        QTest::newRow("folder, tree pane")
            << browse(S::Node::Folder)
            << (always + folder + QList<int>{DeleteFiles, RenameFile, DeleteKey, RenameKey});
        QTest::newRow("folder, list pane, rows not checked out")
            << withRows(browse(S::Node::Folder, true, S::Pane::List), 2, false)
            << (always + folder + QList<int>{DeleteFiles, RenameFile, DeleteKey, RenameKey});
        QTest::newRow("folder, list pane, a row checked out")
            << withRows(browse(S::Node::Folder, true, S::Pane::List), 2, true) << (always + folder);
        QTest::newRow("folder, tree pane, a row checked out: keys act on the folder")
            << withRows(browse(S::Node::Folder), 1, true)
            << (always + folder + QList<int>{DeleteKey, RenameKey});
        S history;
        history.child = S::Child::History;
        history.profileCount = 1;
        QTest::newRow("history window")
            << history << (always + QList<int>{AddServer, ExportProfiles, NewFolder});
        S icons = browse(S::Node::Root);
        icons.viewStyle = 1;
        QTest::newRow("small icons: line up")
            << icons
            << (always + QList<int>{AddServer, ExportProfiles, NewFolder, LineUp, ViewDetails});
    }
    void enabledCommands()
    {
        QFETCH(S, snapshot);
        QFETCH(QList<int>, enabled);
        QList<int> actual;
        for (int id : kCommands) {
            if (isEnabled(id, snapshot))
                actual << id;
        }
        std::sort(actual.begin(), actual.end());
        std::sort(enabled.begin(), enabled.end());
        QCOMPARE(actual, enabled);
    }

    void historyCommands_data()
    {
        QTest::addColumn<S>("snapshot");
        QTest::addColumn<QList<int>>("enabled");
        using namespace browsecmd;
        const auto history = [](bool fileMode, std::size_t rows, std::size_t selected, bool focused,
                                bool last) {
            S s;
            s.child = S::Child::History;
            s.historyFileMode = fileMode;
            s.historyRows = rows;
            s.historySelected = selected;
            s.historyFocusedSelected = focused;
            s.historyLastRowSelected = last;
            return s;
        };
        QTest::newRow("no window") << S() << QList<int>{FileHistory};
        QTest::newRow("folder node, tree pane")
            << browse(S::Node::Folder) << QList<int>{History, FolderHistory, FileHistory};
        QTest::newRow("server node, tree pane")
            << browse(S::Node::Server) << QList<int>{FileHistory};
        QTest::newRow("server node, list pane")
            << browse(S::Node::Server, true, S::Pane::List) << QList<int>{History, FileHistory};
        QTest::newRow("file history, one row of five")
            << history(true, 5, 1, true, false) << QList<int>{FileHistory, RollBack};
        QTest::newRow("file history, the last row")
            << history(true, 5, 1, true, true) << QList<int>{FileHistory};
        QTest::newRow("file history, two rows")
            << history(true, 5, 2, true, false) << QList<int>{FileHistory};
        QTest::newRow("file history, nothing selected")
            << history(true, 5, 0, false, false) << QList<int>{FileHistory};
        QTest::newRow("file history, selected row not focused")
            << history(true, 5, 1, false, false) << QList<int>{FileHistory};
        QTest::newRow("file history of one version")
            << history(true, 1, 1, true, true) << QList<int>{FileHistory};
        QTest::newRow("folder history")
            << history(false, 5, 1, true, false) << QList<int>{FileHistory};
    }
    void historyCommands()
    {
        QFETCH(S, snapshot);
        QFETCH(QList<int>, enabled);
        using namespace browsecmd;
        QList<int> actual;
        for (int id : {History, FolderHistory, FileHistory, RollBack}) {
            if (isEnabled(id, snapshot))
                actual << id;
        }
        std::sort(actual.begin(), actual.end());
        std::sort(enabled.begin(), enabled.end());
        QCOMPARE(actual, enabled);
    }

    void keyTargets_data()
    {
        QTest::addColumn<S>("snapshot");
        QTest::addColumn<int>("deleteTarget");
        QTest::addColumn<int>("renameTarget");
        using namespace browsecmd;
        QTest::newRow("server node") << browse(S::Node::Server) << DeleteServer << RenameServer;
        QTest::newRow("folder node") << browse(S::Node::Folder) << DeleteFolder << RenameFolder;
        QTest::newRow("root node") << browse(S::Node::Root) << 0 << 0;
        QTest::newRow("list pane")
            << withRows(browse(S::Node::Folder, true, S::Pane::List), 1, false) << DeleteFiles
            << RenameFile;
        S editing = browse(S::Node::Folder);
        editing.editing = true;
        QTest::newRow("while a label is edited") << editing << 0 << 0;
        QTest::newRow("no window") << S() << 0 << 0;
    }
    void keyTargets()
    {
        QFETCH(S, snapshot);
        QFETCH(int, deleteTarget);
        QFETCH(int, renameTarget);
        QCOMPARE(deleteKeyTarget(snapshot), deleteTarget);
        QCOMPARE(renameKeyTarget(snapshot), renameTarget);
    }

    void viewStyleMarks()
    {
        for (int style = 0; style < 4; ++style) {
            S s = browse(S::Node::Root);
            s.viewStyle = style;
            QCOMPARE(*isChecked(browsecmd::ViewLargeIcons, s), style == 0);
            QCOMPARE(*isChecked(browsecmd::ViewSmallIcons, s), style == 1);
            QCOMPARE(*isChecked(browsecmd::ViewList, s), style == 2);
            QCOMPARE(*isChecked(browsecmd::ViewDetails, s), style == 3);
        }
        QVERIFY(!isChecked(browsecmd::NewFolder, S()));
    }
};

QTEST_MAIN(TestEnableRules)
#include "tst_enablerules.moc"
