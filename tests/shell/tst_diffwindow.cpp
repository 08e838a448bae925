// The comparison window as the shell opens it: through the diff template, with the language
// module's texts and toolbar, and its temporary files gone when the program ends with the
// window still open.

#include "shelltestsupport.h"

#include "shell/childwindowtemplates.h"
#include "shell/cmainframe.h"
#include <views/common/languagemodule.h>

#include <views/common/viewsconstants.h>
#include <views/diff/czemdiffchildframe.h>
#include <views/diff/czemdiffview.h>

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QSignalSpy>
#include <QStatusBar>

using namespace shell;

static QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

class TestDiffWindow : public QObject
{
    Q_OBJECT
private slots:
    void opensThroughTheDiffTemplateWithTheModulesTexts();
    void temporaryFilesGoWhenTheProgramEndsWithTheWindowOpen();
    void theF8KeyStepsAndSaysWhenNoDifferenceIsLeft();
};

void TestDiffWindow::opensThroughTheDiffTemplateWithTheModulesTexts()
{
    shelltest::StartedApp started;
    QCOMPARE(started.startResult, 0);
    QTemporaryDir dir;
    views::DiffRequest request;
    request.leftPath = writeFile(dir, QStringLiteral("a.txt"), "one\ntwo\n");
    request.rightPath = writeFile(dir, QStringLiteral("b.txt"), "one\n2\n");
    request.leftLabel = QStringLiteral("$/guide.txt:1");
    request.rightLabel = QStringLiteral("$/guide.txt:3");
    request.title = QStringLiteral("guide.txt");
    views::CZemDiffChildFrame *frame = started.frame().openDiffWindow(request);
    QVERIFY(frame);
    QSignalSpy finished(frame, &views::CZemDiffChildFrame::comparisonFinished);
    QVERIFY(finished.wait(10000));
    const QList<QMdiSubWindow *> diffs =
        ChildWindowTemplates::children(ChildKind::Diff, *started.frame().mdiArea());
    QCOMPARE(diffs.size(), 1);
    QCOMPARE(diffs[0]->windowTitle(), QStringLiteral("guide.txt"));
    QCOMPARE(frame->leftPane()->label(), request.leftLabel);
    QCOMPARE(frame->rightPane()->rowCount(), std::size_t(2));

    // Legend and commands from the module, not numbers; every toolbar button has its image.
    QStringList legend;
    for (QLabel *label : frame->statusBar()->findChildren<QLabel *>())
        legend.append(label->text());
    const views::LanguageModule &module = started.app->module();
    for (int id :
         {views::str::LegendDeleted, views::str::LegendChanged, views::str::LegendInserted}) {
        QVERIFY(module.hasText(id));
        QVERIFY(legend.contains(module.text(id)));
    }
    for (int id : views::kDiffToolbarCommands) {
        QVERIFY2(module.hasText(id), qPrintable(QString::number(id)));
        QVERIFY(!frame->action(id)->icon().isNull());
    }
    QVERIFY(module.hasText(views::str::NoMoreDifferences));
}

void TestDiffWindow::temporaryFilesGoWhenTheProgramEndsWithTheWindowOpen()
{
    auto started = std::make_unique<shelltest::StartedApp>();
    QCOMPARE(started->startResult, 0);
    QTemporaryDir dir;
    const QString left = writeFile(dir, QStringLiteral("Zem1.tmp"), "a\n");
    const QString right = writeFile(dir, QStringLiteral("Zem2.tmp"), "b\n");
    views::DiffRequest request{left, right, {}, {}, QStringLiteral("t"), {left, right}};
    views::CZemDiffChildFrame *frame = started->frame().openDiffWindow(request);
    QVERIFY(frame);
    QSignalSpy finished(frame, &views::CZemDiffChildFrame::comparisonFinished);
    QVERIFY(finished.wait(10000));
    started->app->exit();
    started.reset();
    QVERIFY(!QFile::exists(left));
    QVERIFY(!QFile::exists(right));
}

// The key as the window system delivers it to the main window (the shortcut map decides who
// gets it), rather than a call of the command.
static void pressKey(QWidget &window, Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    QTest::keyClick(window.windowHandle(), key, modifiers);
    QCoreApplication::processEvents();
}

void TestDiffWindow::theF8KeyStepsAndSaysWhenNoDifferenceIsLeft()
{
    shelltest::StartedApp started;
    QCOMPARE(started.startResult, 0);
    CMainFrame &main = started.frame();
    main.show();
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    QTemporaryDir dir;
    views::DiffRequest request;
    // Rows 1 and 3 differ.
    request.leftPath = writeFile(dir, QStringLiteral("a.txt"), "a\nb\nc\nd\n");
    request.rightPath = writeFile(dir, QStringLiteral("b.txt"), "a\nB\nc\nD\n");
    request.title = QStringLiteral("a.txt - b.txt");
    views::CZemDiffChildFrame *frame = main.openDiffWindow(request);
    QVERIFY(frame);
    QSignalSpy finished(frame, &views::CZemDiffChildFrame::comparisonFinished);
    QVERIFY(finished.wait(10000));
    QCoreApplication::processEvents();

    // Every box the keys bring up is counted and closed with Return, as a user would.
    QStringList boxes;
    QTimer watch;
    watch.setInterval(10);
    connect(&watch, &QTimer::timeout, [&boxes] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            boxes << box->text();
            QTest::keyClick(box->windowHandle(), Qt::Key_Return);
        }
    });
    watch.start();
    const QString none = started.app->module().text(views::str::NoMoreDifferences);
    views::CZemDiffView *left = frame->leftPane();
    QTRY_VERIFY(left->hasFocus() || frame->rightPane()->hasFocus());
    pressKey(main, Qt::Key_F8);
    QCOMPARE(left->differenceCursor(), std::size_t(1));
    pressKey(main, Qt::Key_F8);
    QCOMPARE(left->differenceCursor(), std::size_t(3));
    QVERIFY(boxes.isEmpty());
    // Past the last difference, and once more after the box was closed.
    for (int press = 1; press <= 2; ++press) {
        pressKey(main, Qt::Key_F8);
        QTRY_COMPARE(boxes.size(), press);
        QCOMPARE(boxes.last(), none);
        QCOMPARE(left->differenceCursor(), std::size_t(3));
    }
    // Back up with Shift+F8, then past the first one.
    pressKey(main, Qt::Key_F8, Qt::ShiftModifier);
    QCOMPARE(left->differenceCursor(), std::size_t(1));
    pressKey(main, Qt::Key_F8, Qt::ShiftModifier);
    QTRY_COMPARE(boxes.size(), 3);
}

QTEST_MAIN(TestDiffWindow)
#include "tst_diffwindow.moc"
