// The comparison window: rows as the engine marks them, the drawn line form, difference and
// bookmark navigation, find, synchronised scrolling, and the temporary files at close.

#include <views/common/viewsconstants.h>
#include <views/compare/fileimage.h>
#include <views/compare/rowlist.h>
#include <views/compare/textcomparer.h>
#include <views/diff/czemdiffchildframe.h>
#include <views/diff/czemdiffview.h>
#include <views/diff/diffcolours.h>
#include <views/diff/diffrowmodel.h>
#include <views/diff/finddialog.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>

#include <functional>
#include <memory>

using compare::DiffRow;
using compare::DiffRowKind;
using views::CZemDiffChildFrame;
using views::CZemDiffView;
using views::DiffRowModel;

namespace {

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

views::ViewTexts numberTexts()
{
    views::ViewTexts texts;
    texts.text = [](int id) {
        return QStringLiteral("text %1").arg(id);
    };
    return texts;
}

// Texts of message boxes shown while `action` runs; each is answered with OK.
QStringList messagesDuring(const std::function<void()> &action)
{
    QStringList seen;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&seen] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            seen.append(box->text());
            box->accept();
        }
    });
    timer.start();
    action();
    return seen;
}

std::string rowsText(const std::vector<DiffRow> &rows)
{
    std::string out;
    for (const DiffRow &row : rows)
        out += std::to_string(int(row.kind)) + ":" + std::to_string(row.lineNumber) + ":" +
               row.text + (row.bold ? "*" : "") + "\n";
    return out;
}

} // namespace

class TestDiffView : public QObject
{
    Q_OBJECT
private slots:
    void rowsAreWhatTheEngineMarks_data();
    void rowsAreWhatTheEngineMarks();
    void blockOfTwoBecomingThreeShowsNewLinesFirst();
    void lineTextForm_data();
    void lineTextForm();
    void differingSpanOfChangedLines_data();
    void differingSpanOfChangedLines();
    void lightPaletteKeepsTheWrittenColours();
    void darkPaletteDerivesReadableColours();
    void nextDifferenceStepsEachRowAndStopsAtTheEnd();
    void previousDifferenceFromTheFirstRowShowsTheMessage();
    void differenceNavigationScrollsTheOtherPane();
    void scrollBarScrollingIsSharedButKeysAreNot();
    void bookmarksToggleNextPreviousAndClear();
    void findDownAndUpWithAndWithoutMatchCase_data();
    void findDownAndUpWithAndWithoutMatchCase();
    void temporaryFilesGoWhenTheWindowCloses();
    void windowClosedWhileComparingStopsAndDeletes();

private:
    // A started window on two texts, comparison finished.
    std::unique_ptr<CZemDiffChildFrame> openWindow(const QByteArray &first,
                                                   const QByteArray &second);
    QTemporaryDir m_dir;
};

std::unique_ptr<CZemDiffChildFrame> TestDiffView::openWindow(const QByteArray &first,
                                                             const QByteArray &second)
{
    auto frame = std::make_unique<CZemDiffChildFrame>(numberTexts());
    frame->resize(800, 400);
    frame->show();
    QSignalSpy finished(frame.get(), &CZemDiffChildFrame::comparisonFinished);
    views::DiffRequest request;
    request.leftPath = writeFile(m_dir, QStringLiteral("left.txt"), first);
    request.rightPath = writeFile(m_dir, QStringLiteral("right.txt"), second);
    request.title = QStringLiteral("left - right");
    frame->start(request);
    if (!finished.wait(10000))
        qFatal("the comparison did not finish");
    return frame;
}

void TestDiffView::rowsAreWhatTheEngineMarks_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::newRow("identical") << QByteArray("a\nb\n") << QByteArray("a\nb\n");
    QTest::newRow("first empty") << QByteArray() << QByteArray("a\nb\nc\n");
    QTest::newRow("second empty") << QByteArray("a\nb\n") << QByteArray();
    QTest::newRow("changed and inserted")
        << QByteArray("a\nb\nc\nd\ne\n") << QByteArray("a\nB\nc\nx\ny\nd\n");
    QTest::newRow("crlf against lf") << QByteArray("a\r\nb\r\n") << QByteArray("a\nb\n");
    QTest::newRow("last line without line feed") << QByteArray("a\nb") << QByteArray("a\nb\n");
    QTest::newRow("binary stays same") << QByteArray("a\0b\nc\n", 6) << QByteArray("x\ny\n");
    QTest::newRow("tabs and blank lines")
        << QByteArray("\n\n\tx\n\n") << QByteArray("\n\n\n\tx\n\n\ty\n");
}

void TestDiffView::rowsAreWhatTheEngineMarks()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    const std::string path0 = writeFile(m_dir, QStringLiteral("first"), first).toStdString();
    const std::string path1 = writeFile(m_dir, QStringLiteral("second"), second).toStdString();

    compare::VectorRowList left(compare::FileImage::load(path0).makeRows());
    compare::VectorRowList right(compare::FileImage::load(path1).makeRows());
    compare::TextComparer comparer;
    comparer.setRows(&left, &right);
    const compare::CompareStatus engineStatus = comparer.compare(path0, path1);

    const DiffRowModel::Result result = DiffRowModel::compareFiles(path0, path1);
    QVERIFY(result.model);
    QCOMPARE(int(result.status), int(engineStatus));
    std::vector<DiffRow> modelRows[2];
    for (int side : {DiffRowModel::kLeft, DiffRowModel::kRight})
        for (std::size_t row = 0; row < result.model->rowCount(); ++row)
            modelRows[side].push_back(result.model->diffRow(side, row));
    QCOMPARE(rowsText(modelRows[0]), rowsText(left.rows()));
    QCOMPARE(rowsText(modelRows[1]), rowsText(right.rows()));
}

void TestDiffView::blockOfTwoBecomingThreeShowsNewLinesFirst()
{
    const std::string path0 = writeFile(m_dir, QStringLiteral("two"), "a\nb\nc\nz\n").toStdString();
    const std::string path1 =
        writeFile(m_dir, QStringLiteral("three"), "a\nx\ny\nw\nz\n").toStdString();
    const DiffRowModel::Result result = DiffRowModel::compareFiles(path0, path1);
    QVERIFY(result.model);
    const DiffRowModel &m = *result.model;
    QCOMPARE(m.rowCount(), std::size_t(7));
    const DiffRowKind expected[7] = {
        DiffRowKind::Same,    DiffRowKind::Inserted, DiffRowKind::Inserted, DiffRowKind::Inserted,
        DiffRowKind::Deleted, DiffRowKind::Deleted,  DiffRowKind::Same};
    const int leftLines[7] = {1, 0, 0, 0, 2, 3, 4};
    const int rightLines[7] = {1, 2, 3, 4, 0, 0, 5};
    for (std::size_t row = 0; row < 7; ++row) {
        QCOMPARE(int(m.kind(0, row)), int(expected[row]));
        QCOMPARE(int(m.kind(1, row)), int(expected[row]));
        QCOMPARE(m.lineNumber(0, row), leftLines[row]);
        QCOMPARE(m.lineNumber(1, row), rightLines[row]);
    }
    QCOMPARE(std::string(m.text(0, 4)), std::string("b"));
    QCOMPARE(std::string(m.text(1, 3)), std::string("w"));
    QVERIFY(m.text(0, 1).empty());
    QCOMPARE(m.blocks().size(), std::size_t(2));
    QCOMPARE(m.blocks()[1].firstRow, std::size_t(4));
}

void TestDiffView::lineTextForm_data()
{
    QTest::addColumn<int>("lineNumber");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("tab") << 7 << QByteArray("a\tb") << QStringLiteral("00007 a\\t->b");
    QTest::newRow("six digits") << 123456 << QByteArray("x") << QStringLiteral("123456 x");
    QTest::newRow("filler") << 0 << QByteArray() << QStringLiteral("      ");
    QTest::newRow("two tabs") << 12 << QByteArray("\t\t") << QStringLiteral("00012 \\t->\\t->");
    QTest::newRow("utf-8") << 1 << QByteArray("\xc3\xa4") << QStringLiteral("00001 \u00e4");
}

void TestDiffView::lineTextForm()
{
    QFETCH(int, lineNumber);
    QFETCH(QByteArray, text);
    QFETCH(QString, shown);
    QCOMPARE(CZemDiffView::displayText(lineNumber, std::string_view(text.data(), text.size())),
             shown);
}

void TestDiffView::differingSpanOfChangedLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("other");
    QTest::addColumn<int>("begin");
    QTest::addColumn<int>("end");
    QTest::newRow("middle word") << QStringLiteral("the cat sat") << QStringLiteral("the dog sat")
                                 << 4 << 7;
    QTest::newRow("appended") << QStringLiteral("abcdef") << QStringLiteral("abc") << 3 << 6;
    QTest::newRow("removed here") << QStringLiteral("abc") << QStringLiteral("abcdef") << 3 << 3;
    QTest::newRow("equal") << QStringLiteral("same") << QStringLiteral("same") << 0 << 0;
    const QString longLine = QString(130, u'a') + QStringLiteral(" wordX tail");
    const QString longOther = QString(130, u'a') + QStringLiteral(" wordY tail");
    QTest::newRow("long line widens to the word") << longLine << longOther << 131 << 136;
}

void TestDiffView::differingSpanOfChangedLines()
{
    QFETCH(QString, text);
    QFETCH(QString, other);
    QFETCH(int, begin);
    QFETCH(int, end);
    const auto span = CZemDiffView::differingSpan(text, other);
    QCOMPARE(span.first, begin);
    QCOMPARE(span.second, end);
}

void TestDiffView::lightPaletteKeepsTheWrittenColours()
{
    QPalette light;
    light.setColor(QPalette::Base, Qt::white);
    light.setColor(QPalette::Text, Qt::black);
    struct Expect
    {
        DiffRowKind kind;
        QColor background;
        QColor text;
    };
    const Expect rows[] = {{DiffRowKind::Same, QColor(255, 255, 255), QColor(0, 0, 0)},
                           {DiffRowKind::Inserted, QColor(192, 192, 192), QColor(0, 128, 0)},
                           {DiffRowKind::Changed, QColor(192, 192, 192), QColor(255, 0, 0)},
                           {DiffRowKind::Deleted, QColor(192, 192, 192), QColor(0, 0, 255)}};
    for (const Expect &row : rows) {
        const views::KindColours colours = views::kindColours(row.kind, light);
        QCOMPARE(colours.background, row.background);
        QCOMPARE(colours.text, row.text);
    }
    QCOMPARE(views::legendColour(0, light), QColor(0, 0, 255));
    QCOMPARE(views::legendColour(1, light), QColor(255, 0, 0));
    QCOMPARE(views::legendColour(2, light), QColor(0, 128, 128));
}

// Readable: WCAG contrast of at least 4.5 between text and background.
static double contrast(const QColor &a, const QColor &b)
{
    auto luminance = [](const QColor &c) {
        auto channel = [](double v) {
            v /= 255.0;
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
    };
    const double la = luminance(a) + 0.05;
    const double lb = luminance(b) + 0.05;
    return la > lb ? la / lb : lb / la;
}

void TestDiffView::darkPaletteDerivesReadableColours()
{
    QPalette dark;
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    for (DiffRowKind kind :
         {DiffRowKind::Same, DiffRowKind::Inserted, DiffRowKind::Changed, DiffRowKind::Deleted}) {
        const views::KindColours colours = views::kindColours(kind, dark);
        QVERIFY2(contrast(colours.text, colours.background) >= 4.5,
                 qPrintable(QStringLiteral("kind %1").arg(int(kind))));
    }
}

void TestDiffView::nextDifferenceStepsEachRowAndStopsAtTheEnd()
{
    // Rows: 0 a, 1-3 changed block of three, 4 e, 5 deleted f, 6 g.
    auto frame = openWindow("a\nb\nc\nd\ne\nf\ng\n", "a\nB\nC\nD\ne\ng\n");
    CZemDiffView *left = frame->leftPane();
    QCOMPARE(left->rowCount(), std::size_t(7));
    const std::size_t stops[] = {1, 2, 3, 5};
    for (std::size_t stop : stops) {
        QVERIFY(messagesDuring([&] { frame->nextDifference(); }).isEmpty());
        QCOMPARE(left->currentRow(), std::ptrdiff_t(stop));
        QCOMPARE(left->differenceCursor(), stop);
        QCOMPARE(left->selectedCount(), std::size_t(0)); // focus only
    }
    QCOMPARE(messagesDuring([&] { frame->nextDifference(); }),
             QStringList{QStringLiteral("text 2012")});
    QCOMPARE(left->differenceCursor(), std::size_t(5));
    QVERIFY(messagesDuring([&] { frame->previousDifference(); }).isEmpty());
    QCOMPARE(left->differenceCursor(), std::size_t(3));
}

void TestDiffView::previousDifferenceFromTheFirstRowShowsTheMessage()
{
    auto frame = openWindow("a\nb\n", "x\nb\n");
    QCOMPARE(int(frame->model()->kind(0, 0)), int(DiffRowKind::Changed));
    QCOMPARE(messagesDuring([&] { frame->previousDifference(); }),
             QStringList{QStringLiteral("text 2012")});
    // Next difference starts below row 0, so the difference there is never reached.
    QCOMPARE(messagesDuring([&] { frame->nextDifference(); }),
             QStringList{QStringLiteral("text 2012")});
    frame->leftPane()->selectRow(0);
    QCOMPARE(frame->leftPane()->differenceCursor(), std::size_t(0));
}

void TestDiffView::differenceNavigationScrollsTheOtherPane()
{
    QByteArray first;
    QByteArray second;
    for (int i = 0; i < 500; ++i) {
        first += "line " + QByteArray::number(i) + "\n";
        second += (i == 400 ? QByteArray("changed") : "line " + QByteArray::number(i)) + "\n";
    }
    auto frame = openWindow(first, second);
    CZemDiffView *left = frame->leftPane();
    frame->nextDifference();
    QCOMPARE(left->currentRow(), std::ptrdiff_t(400));
    QVERIFY(left->topRow() > 0);
    QCOMPARE(frame->rightPane()->topRow(), left->topRow());
}

void TestDiffView::scrollBarScrollingIsSharedButKeysAreNot()
{
    QByteArray text;
    for (int i = 0; i < 300; ++i)
        text += "same " + QByteArray::number(i) + "\n";
    auto frame = openWindow(text, text);
    CZemDiffView *left = frame->leftPane();
    CZemDiffView *right = frame->rightPane();
    left->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QVERIFY(left->topRow() > 0);
    QCOMPARE(right->topRow(), left->topRow());

    const int rightTop = right->topRow();
    left->setFocus();
    left->selectRow(std::size_t(left->topRow()));
    for (int i = 0; i < left->visibleRowCount() + 5; ++i)
        QTest::keyClick(left, Qt::Key_Down);
    QVERIFY(left->topRow() > rightTop);
    QCOMPARE(right->topRow(), rightTop);
}

void TestDiffView::bookmarksToggleNextPreviousAndClear()
{
    auto frame = openWindow("r0\nr1\nr2\nr3\nr4\nr5\n", "r0\nr1\nr2\nr3\nr4\nr5\n");
    CZemDiffView *left = frame->leftPane();
    const DiffRowModel *model = frame->model();
    QAction *toggle = frame->action(views::cmd::ToggleBookmark);
    QAction *clear = frame->action(views::cmd::ClearBookmarks);
    QVERIFY(!toggle->isEnabled()); // no focused selected row yet
    QVERIFY(!clear->isEnabled());

    // Rows 1 and 2 bookmarked, then all three of 1..3 toggled: only 3 is left.
    left->selectRow(1);
    QTest::keyClick(left->viewport(), Qt::Key_Down, Qt::ShiftModifier);
    QVERIFY(toggle->isEnabled());
    frame->toggleBookmark();
    QVERIFY(model->bold(0, 1) && model->bold(0, 2));
    QVERIFY(clear->isEnabled());
    left->selectRow(1);
    QTest::keyClick(left, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(left, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(left->selectedCount(), std::size_t(3));
    frame->toggleBookmark();
    QVERIFY(!model->bold(0, 1) && !model->bold(0, 2) && model->bold(0, 3));
    QVERIFY(!model->bold(1, 3)); // the other pane's rows keep theirs

    left->selectRow(5);
    left->selectRow(0); // the bookmark cursor is at row 0
    frame->nextBookmark();
    QCOMPARE(left->currentRow(), std::ptrdiff_t(3));
    frame->nextBookmark(); // none below: the first row
    QCOMPARE(left->currentRow(), std::ptrdiff_t(0));
    QCOMPARE(left->bookmarkCursor(), std::size_t(0));
    frame->previousBookmark(); // none above row 0: the last row
    QCOMPARE(left->currentRow(), std::ptrdiff_t(5));
    frame->previousBookmark();
    QCOMPARE(left->currentRow(), std::ptrdiff_t(3));

    frame->clearBookmarks();
    QCOMPARE(model->boldCount(0), std::size_t(0));
    QVERIFY(!clear->isEnabled());
}

void TestDiffView::findDownAndUpWithAndWithoutMatchCase_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("down");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("found");
    // Rows: 0 "Alpha", 1 "beta", 2 "gamma word", 3 "a\tWORD", 4 "end".
    QTest::newRow("down, case ignored") << "WORD" << true << false << 0 << 2 << true;
    QTest::newRow("down, match case") << "WORD" << true << true << 0 << 3 << true;
    QTest::newRow("down, match case, none below") << "word" << true << true << 2 << 0 << false;
    QTest::newRow("up, case ignored") << "alpha" << false << false << 3 << 0 << true;
    QTest::newRow("up, match case, none above") << "alpha" << false << true << 3 << 4 << false;
    QTest::newRow("tab searched as it is") << "a\tW" << true << true << 0 << 3 << true;
    QTest::newRow("row of the cursor not searched") << "Alpha" << true << false << 0 << 0 << false;
}

void TestDiffView::findDownAndUpWithAndWithoutMatchCase()
{
    QFETCH(QString, text);
    QFETCH(bool, down);
    QFETCH(bool, matchCase);
    QFETCH(int, from);
    QFETCH(int, row);
    QFETCH(bool, found);
    const QByteArray lines("Alpha\nbeta\ngamma word\na\tWORD\nend\n");
    auto frame = openWindow(lines, lines);
    CZemDiffView *left = frame->leftPane();
    left->selectRow(std::size_t(from));
    QCOMPARE(left->find(text, down, matchCase), found);
    QCOMPARE(left->currentRow(), std::ptrdiff_t(row));
    QCOMPARE(left->findCursor(), std::size_t(row));

    // Through the dialog as the user does: it goes to the active pane.
    frame->find();
    QVERIFY(frame->findDialog());
    QVERIFY(frame->findDialog()->isVisible());
    frame->find(); // one dialog per window
    QCOMPARE(frame->findChildren<QDialog *>().size(), 1);
    frame->findDialog()->close();
    QTRY_VERIFY(!frame->findDialog());
}

void TestDiffView::temporaryFilesGoWhenTheWindowCloses()
{
    const QString left = writeFile(m_dir, QStringLiteral("Zem1.tmp"), "a\nb\n");
    const QString right = writeFile(m_dir, QStringLiteral("Zem2.tmp"), "a\nc\n");
    const QString kept = writeFile(m_dir, QStringLiteral("kept.txt"), "a\n");
    QMdiArea area;
    area.show();
    auto *frame = new CZemDiffChildFrame(numberTexts());
    QMdiSubWindow *child = area.addSubWindow(frame);
    child->setAttribute(Qt::WA_DeleteOnClose);
    child->show();
    QSignalSpy finished(frame, &CZemDiffChildFrame::comparisonFinished);
    views::DiffRequest request{
        left, right, QStringLiteral("l"), QStringLiteral("r"), QStringLiteral("t"), {left, right}};
    frame->start(request);
    QVERIFY(finished.wait(10000));
    QVERIFY(QFile::exists(left) && QFile::exists(right));
    child->close();
    QTRY_VERIFY(!QFile::exists(left));
    QVERIFY(!QFile::exists(right));
    QVERIFY(QFile::exists(kept));
}

void TestDiffView::windowClosedWhileComparingStopsAndDeletes()
{
    // Large enough that the comparison is still running when the window goes.
    QByteArray first;
    QByteArray second;
    for (int i = 0; i < 300000; ++i) {
        first += QByteArray::number(i * 7 % 1000) + "\n";
        second += QByteArray::number(i * 13 % 1000) + "\n";
    }
    const QString left = writeFile(m_dir, QStringLiteral("big1.tmp"), first);
    const QString right = writeFile(m_dir, QStringLiteral("big2.tmp"), second);
    auto frame = std::make_unique<CZemDiffChildFrame>(numberTexts());
    frame->show();
    frame->start({left, right, {}, {}, QStringLiteral("t"), {left, right}});
    QVERIFY(frame->isComparing());
    QVERIFY(!frame->action(views::cmd::NextDifference)->isEnabled());
    QElapsedTimer timer;
    timer.start();
    frame.reset();
    qInfo("closed after %lld ms", timer.elapsed());
    QVERIFY(!QFile::exists(left));
    QVERIFY(!QFile::exists(right));
}

QTEST_MAIN(TestDiffView)
#include "tst_diffview.moc"
