// The main window: what it shows after start-up, the Tools menu, its placement in the
// settings, and the selection notions without a browse window.

#include "shelltestsupport.h"

#include "shell/helpviewer.h"
#include "shell/lockindicators.h"
#include "shell/shellconstants.h"

#include <config/registrykeys.h>
#include <config/settings.h>
#include <platform/registry.h>
#include <views/common/languagemodule.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTextBrowser>
#include <QToolBar>

using namespace shell;
using namespace config;

static std::vector<ToolEntry> makeTools(int n)
{
    std::vector<ToolEntry> tools;
    for (int i = 0; i < n; ++i)
        tools.push_back({"Tool " + std::to_string(i + 1), "/bin/true", "", "", 0});
    return tools;
}

static QList<QAction *> toolActions(QMenu *menu)
{
    QList<QAction *> found;
    for (QAction *a : menu->actions()) {
        const int id = a->data().toInt();
        if (id >= kFirstToolCommand && id < kFirstToolCommand + 1000)
            found.append(a);
    }
    return found;
}

class TestMainFrame : public QObject
{
    Q_OBJECT
private slots:
    void comesUpWithPanesMenusAndABrowseWindow();
    void toolsMenuRebuiltTwiceInsertsOnce();
    void toolsBeyondSixteenAreDisabled();
    void toolsMenuFollowsTheListAfterChanges();
    void toolsLoadedFromTheSettingsAtStartUp();
    void placementRestored_data();
    void placementRestored();
    void closingMaximizedWritesStateThreeAndNoRectangle();
    void closingNormalWritesTheRectangle();
    void newOpensAnotherBrowseWindow();
    void cascadeAndWindowKeysKeepChildrenUsable();
    void hiddenBarsStayHiddenAtTheNextStart();
    void nothingSelectedWithoutABrowseWindow();
    void toolsListWrittenBackAtExit();
    void damagedSettingsFileIsSetAsideAndDefaultsApply();
    void unreadableSettingsStopStartUp();
    void userGuideFoundBesideTheModule();
    void userGuideFollowsTheModule_data();
    void guidePicturesAndLinksAreBesideTheGuide_data();
    void guidePicturesAndLinksAreBesideTheGuide();
    void userGuideFollowsTheModule();
    void helpOpensTheGuideInTheBrowserElseInItsOwnViewer_data();
    void helpOpensTheGuideInTheBrowserElseInItsOwnViewer();
};

void TestMainFrame::comesUpWithPanesMenusAndABrowseWindow()
{
    shelltest::StartedApp started;
    QCOMPARE(started.startResult, 0);
    CMainFrame &frame = started.frame();
    QVERIFY(frame.isVisible());
    QStringList titles;
    for (QAction *menu : frame.menuBar()->actions())
        titles.append(menu->text().remove(QLatin1Char('&')));
    QCOMPARE(titles, (QStringList{"File", "Server", "Folder", "Files", "History", "View", "Tools",
                                  "Window", "Help"}));
    // Pane 1 shows the user name of the machine identity; panes 2 and 3 wait for a folder.
    QVERIFY(!started.app->identity().userName.empty());
    QCOMPARE(frame.userPaneText(), QString::fromStdString(started.app->identity().userName));
    QVERIFY(frame.findChild<QLabel *>(QStringLiteral("pane2")));
    QVERIFY(frame.findChild<QLabel *>(QStringLiteral("pane3")));
    // The lock-key panes: where the platform tells no lamp (offscreen) they are not shown, rather
    // than shown as if every lock were off.
    for (const QString &name :
         {QStringLiteral("lock0"), QStringLiteral("lock1"), QStringLiteral("lock2")}) {
        const QLabel *lock = frame.findChild<QLabel *>(name);
        QVERIFY2(lock, qPrintable(name));
        QCOMPARE(lock->isVisibleTo(&frame), shell::readLockState().has_value());
    }
    QCOMPARE(frame.mdiArea()->subWindowList().size(), 1);
    QVERIFY(frame.findChild<QToolBar *>(QStringLiteral("toolbar128")));
    QCOMPARE(frame.smallImages().size(), 15);
    for (int id : {cmd::New, cmd::About, cmd::HelpContents, cmd::Options, cmd::ServerProfiles,
                   cmd::Tools, cmd::ExportProfiles, cmd::ImportProfiles}) {
        QVERIFY2(frame.action(id), qPrintable(QString::number(id)));
        QVERIFY(!frame.action(id)->text().startsWith(QLatin1Char('#')));
    }
}

void TestMainFrame::toolsMenuRebuiltTwiceInsertsOnce()
{
    shelltest::StartedApp started;
    CMainFrame &frame = started.frame();
    started.app->tools() = makeTools(3);
    const int fixed = int(frame.toolsMenu()->actions().size());
    emit frame.toolsMenu()->aboutToShow();
    emit frame.toolsMenu()->aboutToShow();
    QCOMPARE(toolActions(frame.toolsMenu()).size(), 3);
    QCOMPARE(frame.toolsMenu()->actions().size(), fixed + 3);
    QCOMPARE(toolActions(frame.toolsMenu()).first()->text(), QStringLiteral("Tool 1"));
}

void TestMainFrame::toolsBeyondSixteenAreDisabled()
{
    shelltest::StartedApp started;
    CMainFrame &frame = started.frame();
    started.app->tools() = makeTools(17);
    frame.rebuildToolsMenu();
    const QList<QAction *> tools = toolActions(frame.toolsMenu());
    QCOMPARE(tools.size(), 17);
    for (int i = 0; i < 16; ++i) {
        QVERIFY2(tools[i]->isEnabled(), qPrintable(tools[i]->text()));
        QCOMPARE(tools[i]->data().toInt(), 1000 + i);
    }
    QVERIFY(!tools[16]->isEnabled());
}

void TestMainFrame::toolsMenuFollowsTheListAfterChanges()
{
    // A menu that kept old entries would start a different tool than the one it names.
    shelltest::StartedApp started;
    CMainFrame &frame = started.frame();
    started.app->tools() = makeTools(3);
    frame.rebuildToolsMenu();
    started.app->tools().erase(started.app->tools().begin());
    frame.rebuildToolsMenu();
    const QList<QAction *> tools = toolActions(frame.toolsMenu());
    QCOMPARE(tools.size(), 2);
    QCOMPARE(tools[0]->text(), QStringLiteral("Tool 2"));
    QCOMPARE(tools[0]->data().toInt(), 1000);
    started.app->tools().clear();
    frame.rebuildToolsMenu();
    QCOMPARE(toolActions(frame.toolsMenu()).size(), 0);
}

void TestMainFrame::toolsLoadedFromTheSettingsAtStartUp()
{
    shelltest::StartedApp started([](const QString &file) {
        platform::Registry registry(file.toStdString());
        ToolStore store(registry);
        QCOMPARE(store.write({"Editor", "/usr/bin/editor", "x", "", 1}), 0);
    });
    QCOMPARE(started.app->tools().size(), std::size_t(1));
    QCOMPARE(started.app->tools()[0].name, std::string("Editor"));
    QCOMPARE(started.app->tools()[0].input, 1u);
}

void TestMainFrame::placementRestored_data()
{
    QTest::addColumn<uint>("saveWindowSize");
    QTest::addColumn<uint>("mainWindow");
    QTest::addColumn<bool>("rectangleUsed");
    QTest::addColumn<bool>("maximized");
    QTest::newRow("sizes kept, normal: stored rectangle") << 1u << 1u << true << false;
    QTest::newRow("sizes not kept: default placement") << 0u << 1u << false << false;
    QTest::newRow("sizes kept, maximized: rectangle ignored") << 1u << 3u << false << true;
    QTest::newRow("maximized but sizes not kept: normal") << 0u << 3u << false << false;
    QTest::newRow("unknown state 5 reads as normal") << 1u << 5u << true << false;
}

void TestMainFrame::placementRestored()
{
    QFETCH(uint, saveWindowSize);
    QFETCH(uint, mainWindow);
    QFETCH(bool, rectangleUsed);
    QFETCH(bool, maximized);
    const QRect stored(40, 50, 640, 480);
    shelltest::StartedApp started([&](const QString &file) {
        platform::Registry registry(file.toStdString());
        const std::string_view key = keys::kSettings;
        QCOMPARE(registry.writeDword(key, keys::kSaveWindowSize, saveWindowSize), 0);
        QCOMPARE(registry.writeDword(key, keys::kMainWindow, mainWindow), 0);
        QCOMPARE(registry.writeDword(key, keys::kMainLeft, 40), 0);
        QCOMPARE(registry.writeDword(key, keys::kMainTop, 50), 0);
        QCOMPARE(registry.writeDword(key, keys::kMainRight, 680), 0);
        QCOMPARE(registry.writeDword(key, keys::kMainBottom, 530), 0);
    });
    QCOMPARE(started.startResult, 0);
    CMainFrame &frame = started.frame();
    QCOMPARE(frame.isMaximized(), maximized);
    if (!maximized)
        QCOMPARE(frame.geometry() == stored, rectangleUsed);
}

void TestMainFrame::closingMaximizedWritesStateThreeAndNoRectangle()
{
    shelltest::StartedApp started;
    const QString file = started.dir.filePath(QStringLiteral("registry.reg"));
    started.frame().showMaximized();
    QVERIFY(started.frame().close());
    platform::Registry registry(file.toStdString());
    std::uint32_t value = 0;
    QCOMPARE(registry.readDword(keys::kSettings, keys::kMainWindow, value), 0);
    QCOMPARE(value, 3u);
    for (auto name : {keys::kMainLeft, keys::kMainTop, keys::kMainRight, keys::kMainBottom}) {
        QCOMPARE(registry.readDword(keys::kSettings, name, value), 0);
        QCOMPARE(value, 0u);
    }
    QCOMPARE(registry.readDword(keys::kSettings, keys::kSaveWindowSize, value), 0);
    QCOMPARE(value, 0u);
}

void TestMainFrame::closingNormalWritesTheRectangle()
{
    shelltest::StartedApp started;
    const QString file = started.dir.filePath(QStringLiteral("registry.reg"));
    CMainFrame &frame = started.frame();
    frame.setGeometry(30, 40, 700, 500);
    QVERIFY(frame.close());
    platform::Registry registry(file.toStdString());
    std::uint32_t state = 0, left = 0, top = 0, right = 0, bottom = 0;
    QCOMPARE(registry.readDword(keys::kSettings, keys::kMainWindow, state), 0);
    QCOMPARE(registry.readDword(keys::kSettings, keys::kMainLeft, left), 0);
    QCOMPARE(registry.readDword(keys::kSettings, keys::kMainTop, top), 0);
    QCOMPARE(registry.readDword(keys::kSettings, keys::kMainRight, right), 0);
    QCOMPARE(registry.readDword(keys::kSettings, keys::kMainBottom, bottom), 0);
    QCOMPARE(state, 1u);
    QCOMPARE(QRect(QPoint(int(left), int(top)), QPoint(int(right) - 1, int(bottom) - 1)),
             frame.geometry());
}

void TestMainFrame::newOpensAnotherBrowseWindow()
{
    shelltest::StartedApp started;
    CMainFrame &frame = started.frame();
    frame.action(cmd::New)->trigger();
    QCOMPARE(frame.mdiArea()->subWindowList().size(), 2);
    QCOMPARE(frame.mdiArea()->subWindowList().last()->windowTitle(), QStringLiteral("Ravelind"));
}

void TestMainFrame::cascadeAndWindowKeysKeepChildrenUsable()
{
    shelltest::StartedApp started;
    CMainFrame &frame = started.frame();
    frame.resize(1000, 760);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    frame.action(cmd::New)->trigger();
    frame.action(cmd::New)->trigger();
    QMdiArea *area = frame.mdiArea();
    QCOMPARE(area->subWindowList().size(), 3);

    frame.action(cmd::WindowCascade)->trigger();
    const QSize room = area->viewport()->size();
    QPoint previous(-1, -1);
    for (QMdiSubWindow *child : area->subWindowList()) {
        // Three quarters of the area each, not a title bar alone.
        QVERIFY2(child->width() >= room.width() / 2 && child->height() >= room.height() / 2,
                 qPrintable(QStringLiteral("%1x%2").arg(child->width()).arg(child->height())));
        QVERIFY(area->viewport()->rect().contains(child->geometry()));
        QVERIFY(child->pos().x() > previous.x() && child->pos().y() > previous.y());
        previous = child->pos();
    }

    // Next and previous go round the children; close takes the active one only.
    area->setActiveSubWindow(area->subWindowList().first());
    frame.action(cmd::WindowNext)->trigger();
    QCOMPARE(area->activeSubWindow(), area->subWindowList().at(1));
    frame.action(cmd::WindowPrevious)->trigger();
    QCOMPARE(area->activeSubWindow(), area->subWindowList().first());
    frame.action(cmd::WindowClose)->trigger();
    QCOMPARE(area->subWindowList().size(), 2);

    // The keys, pressed where the user's focus is: inside the active child. Each press
    // does its one step; a key that two actions claim would do nothing at all.
    frame.action(cmd::New)->trigger();
    frame.action(cmd::New)->trigger();
    QCOMPARE(area->subWindowList().size(), 4);
    const auto press = [&](int key, Qt::KeyboardModifiers modifiers) {
        QMdiSubWindow *active = area->activeSubWindow();
        QVERIFY(active);
        active->widget()->setFocus();
        QWidget *focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : active->widget(), Qt::Key(key), modifiers);
    };
    area->setActiveSubWindow(area->subWindowList().first());
    press(Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(area->activeSubWindow(), area->subWindowList().at(1));
    press(Qt::Key_F6, Qt::ControlModifier);
    QCOMPARE(area->activeSubWindow(), area->subWindowList().at(2));
    press(Qt::Key_W, Qt::ControlModifier);
    QCOMPARE(area->subWindowList().size(), 3);
    press(Qt::Key_F4, Qt::ControlModifier);
    QCOMPARE(area->subWindowList().size(), 2);
}

void TestMainFrame::hiddenBarsStayHiddenAtTheNextStart()
{
    QTemporaryDir keep;
    const QString kept = keep.filePath(QStringLiteral("registry.reg"));
    {
        shelltest::StartedApp started;
        CMainFrame &frame = started.frame();
        QVERIFY(frame.action(cmd::ViewToolbar)->isChecked());
        QVERIFY(frame.action(cmd::ViewStatusBar)->isChecked());
        frame.action(cmd::ViewStatusBar)->trigger();
        QVERIFY(!frame.action(cmd::ViewStatusBar)->isChecked());
        // The next start reads the same settings file.
        QVERIFY(QFile::copy(started.dir.filePath(QStringLiteral("registry.reg")), kept));
    }
    shelltest::StartedApp again([&kept](const QString &target) { QFile::copy(kept, target); });
    QVERIFY(!again.frame().action(cmd::ViewStatusBar)->isChecked());
    QVERIFY(again.frame().statusBar()->isHidden());
    QVERIFY(again.frame().action(cmd::ViewToolbar)->isChecked());
}

void TestMainFrame::nothingSelectedWithoutABrowseWindow()
{
    shelltest::StartedApp started;
    CMainFrame &frame = started.frame();
    // The start-up browse window answers, with nothing selected...
    QVERIFY(frame.activeBrowse());
    QCOMPARE(frame.serverOfSelection(), nullptr);
    QVERIFY(!frame.noneCheckedOut());
    // ...and without any browse window nothing is selected.
    frame.mdiArea()->closeAllSubWindows();
    QTRY_VERIFY(frame.mdiArea()->subWindowList().isEmpty());
    QCOMPARE(frame.activeBrowse(), nullptr);
    QCOMPARE(frame.serverOfSelection(), nullptr);
    QVERIFY(!frame.selectedServerPath());
    QVERIFY(!frame.ownWorkingFolder());
    QVERIFY(!frame.inheritedWorkingFolder());
    QVERIFY(!frame.noneCheckedOut());
    QVERIFY(!frame.anyCheckedOut());
}

void TestMainFrame::toolsListWrittenBackAtExit()
{
    shelltest::StartedApp started([](const QString &file) {
        platform::Registry registry(file.toStdString());
        ToolStore store(registry);
        QCOMPARE(store.write({"Old", "/bin/old", "", "", 0}), 0);
    });
    const std::vector<ToolEntry> tools{{"B", "/bin/b", "x y", "/tmp", 1},
                                       {"A", "/bin/a", "", "", 0}};
    started.app->tools() = tools;
    started.app->exit();
    platform::Registry registry(started.dir.filePath(QStringLiteral("registry.reg")).toStdString());
    QCOMPARE(ToolStore(registry).load(), tools);
}

void TestMainFrame::damagedSettingsFileIsSetAsideAndDefaultsApply()
{
    shelltest::StartedApp started([](const QString &file) {
        QFile damaged(file);
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("this is not a settings file\n");
    });
    QCOMPARE(started.startResult, 0);
    QCOMPARE(started.app->settings().values().saveWindowSize, 0u);
    const QStringList kept =
        QDir(started.dir.path()).entryList({QStringLiteral("registry.reg.bad-*")});
    QCOMPARE(kept.size(), 1);
}

void TestMainFrame::unreadableSettingsStopStartUp()
{
    // A folder where the settings file should be cannot be read as one.
    shelltest::StartedApp started([](const QString &file) { QVERIFY(QDir().mkpath(file)); });
    QCOMPARE(started.startResult, 1);
    QCOMPARE(started.app->mainFrame(), nullptr);
}

void TestMainFrame::userGuideFoundBesideTheModule()
{
    shelltest::StartedApp started;
    const QString guide = started.app->helpFile();
    QVERIFY(!guide.isEmpty());
    QFile file(guide);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("<title>Ravelind User Guide</title>"));
}

void TestMainFrame::guidePicturesAndLinksAreBesideTheGuide_data()
{
    QTest::addColumn<QString>("guide");
    QTest::newRow("English") << "docs/index.html";
    QTest::newRow("Japanese") << "docs/ja/index.html";
}

// Each picture and page a guide names is copied beside it by the build (the same list is
// installed), and every link inside the page has its anchor.
void TestMainFrame::guidePicturesAndLinksAreBesideTheGuide()
{
    QFETCH(QString, guide);
    const QFileInfo page(QDir(shelltest::moduleDir()).filePath(guide));
    QFile file(page.filePath());
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(page.filePath()));
    const QString html = QString::fromUtf8(file.readAll());
    static const QRegularExpression reference(QStringLiteral("(?:src|href)=\"([^\"#:]+)"));
    int pictures = 0;
    for (const QRegularExpressionMatch &m : reference.globalMatch(html)) {
        QVERIFY2(page.dir().exists(m.captured(1)), qPrintable(m.captured(1)));
        pictures += m.captured(1).endsWith(QLatin1String(".png"));
    }
    QVERIFY(pictures >= 5);
    static const QRegularExpression anchor(QStringLiteral("href=\"#([^\"]+)\""));
    for (const QRegularExpressionMatch &m : anchor.globalMatch(html)) {
        QVERIFY2(html.contains(QStringLiteral("id=\"%1\"").arg(m.captured(1))),
                 qPrintable(m.captured(1)));
    }
}

void TestMainFrame::userGuideFollowsTheModule_data()
{
    QTest::addColumn<QByteArray>("codePage");
    QTest::addColumn<bool>("japaneseGuideInstalled");
    QTest::addColumn<QString>("guide");
    QTest::addColumn<QString>("language");
    QTest::newRow("English module") << QByteArray("437") << true << "docs/index.html"
                                    << "en";
    QTest::newRow("Japanese module") << QByteArray("932") << true << "docs/ja/index.html"
                                     << "ja";
    QTest::newRow("Japanese module, only the English guide installed")
        << QByteArray("932") << false << "docs/index.html"
        << "en";
}

// The module and both guides as the build lays them out, copied to a folder of the test's
// own so that the Japanese guide can be left out.
void TestMainFrame::userGuideFollowsTheModule()
{
    QFETCH(QByteArray, codePage);
    QFETCH(bool, japaneseGuideInstalled);
    QFETCH(QString, guide);
    QFETCH(QString, language);
    QTemporaryDir dir;
    const QDir built(shelltest::moduleDir());
    QStringList files = {QStringLiteral("Zem437.rcc"), QStringLiteral("Zem932.rcc"),
                         QStringLiteral("docs/index.html")};
    if (japaneseGuideInstalled)
        files.append(QStringLiteral("docs/ja/index.html"));
    for (const QString &file : std::as_const(files)) {
        QVERIFY(QDir(dir.path()).mkpath(QFileInfo(dir.filePath(file)).path()));
        QVERIFY2(QFile::copy(built.filePath(file), dir.filePath(file)), qPrintable(file));
    }
    shell::StartOptions options;
    options.moduleDirs = {dir.path()};
    options.registryFile = dir.filePath(QStringLiteral("registry.reg")).toStdString();
    options.splash = false;
    qputenv("RAVELIND_CODEPAGE", codePage);
    CZemApp app(std::move(options));
    const int started = app.start();
    qputenv("RAVELIND_CODEPAGE", "437");
    QCOMPARE(started, 0);
    QCOMPARE(app.helpFile(), dir.filePath(guide));
    QFile file(app.helpFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("<html lang=\"" + language.toLatin1() + "\">"));

    // Help opens that guide.
    QList<QUrl> asked;
    app.mainFrame()->openExternally = [&](const QUrl &url) {
        asked.append(url);
        return true;
    };
    app.mainFrame()->action(cmd::HelpContents)->trigger();
    QCOMPARE(asked, QList<QUrl>{QUrl::fromLocalFile(dir.filePath(guide))});
}

void TestMainFrame::helpOpensTheGuideInTheBrowserElseInItsOwnViewer_data()
{
    QTest::addColumn<bool>("desktopOpens");
    QTest::newRow("the desktop opens it") << true;
    QTest::newRow("no browser on the desktop") << false;
}

void TestMainFrame::helpOpensTheGuideInTheBrowserElseInItsOwnViewer()
{
    QFETCH(bool, desktopOpens);
    shelltest::StartedApp started;
    CMainFrame &frame = started.frame();
    QList<QUrl> asked;
    frame.openExternally = [&](const QUrl &url) {
        asked.append(url);
        return desktopOpens;
    };
    frame.action(cmd::HelpContents)->trigger();
    QCOMPARE(asked, QList<QUrl>{QUrl::fromLocalFile(started.app->helpFile())});
    auto *viewer = frame.findChild<HelpViewer *>();
    QCOMPARE(viewer != nullptr, !desktopOpens);
    if (!viewer)
        return;
    QVERIFY(viewer->isVisible());
    QCOMPARE(viewer->windowTitle(), QStringLiteral("Ravelind User Guide"));
    QVERIFY(viewer->browser()->toPlainText().contains(QStringLiteral("Server profiles")));
    // A link inside the guide stays in the viewer; one to a web site goes to the desktop.
    emit viewer->browser()->anchorClicked(QUrl(QStringLiteral("#options")));
    QCOMPARE(viewer->browser()->source().fileName(), QStringLiteral("index.html"));
    QCOMPARE(viewer->browser()->source().fragment(), QStringLiteral("options"));
    QCOMPARE(asked.size(), 1);
    emit viewer->browser()->anchorClicked(QUrl(QStringLiteral("https://quellvane.example/")));
    QCOMPARE(asked.size(), 2);
    QCOMPARE(asked.last(), QUrl(QStringLiteral("https://quellvane.example/")));
    QCOMPARE(viewer->browser()->source().fileName(), QStringLiteral("index.html"));
}

QTEST_MAIN(TestMainFrame)
#include "tst_mainframe.moc"
