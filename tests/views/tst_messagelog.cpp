// The message pane and the message log file zem.log: line format, appending after what the
// file holds, clearing, and a log folder that cannot be written.

#include "browsetestsupport.h"

#include <views/browse/browseconstants.h>
#include <views/browse/messagelog.h>

#include <QFile>
#include <QListView>
#include <QMessageBox>

#include <sys/stat.h>

using namespace browsetest;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestMessageLog : public QObject
{
    Q_OBJECT

private slots:
    void lineFormat_data()
    {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("padded fields")
            << QDateTime(QDate(2005, 2, 3), QTime(9, 5, 7)) << QStringLiteral("Done")
            << QByteArray("2005/02/03 09:05:07\tDone\r\n");
        QTest::newRow("two-digit fields")
            << QDateTime(QDate(2026, 12, 31), QTime(23, 59, 58)) << QStringLiteral("x")
            << QByteArray("2026/12/31 23:59:58\tx\r\n");
        QTest::newRow("year as many digits as it has")
            << QDateTime(QDate(999, 1, 1), QTime(0, 0, 0)) << QString()
            << QByteArray("999/01/01 00:00:00\t\r\n");
        QTest::newRow("text in UTF-8, percent signs kept")
            << QDateTime(QDate(2005, 2, 3), QTime(9, 5, 7)) << QStringLiteral("Ä 100% %s")
            << QByteArray("2005/02/03 09:05:07\t\xc3\x84 100% %s\r\n");
    }
    void lineFormat()
    {
        QFETCH(QDateTime, when);
        QFETCH(QString, text);
        QFETCH(QByteArray, line);
        QCOMPARE(views::MessageLog::formatLine(when, text), line);
    }

    void windowsAppendAfterEarlierLinesAndAfterClearing()
    {
        TestSettings settings;
        const QString folder = QString::fromStdString(settings.dir.path().string());
        const QString file = folder + QStringLiteral("/zem.log");
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("earlier line\r\n");
        }
        const views::BrowseResources res = resources();
        int tick = 0;
        const auto clock = [&tick] {
            return QDateTime(QDate(2005, 2, 3), QTime(9, 5, 7 + tick++));
        };
        views::BrowseWindow one(res, settings.settings, {}, engine::ServiceCalls(), clock);
        views::BrowseWindow two(res, settings.settings, {}, engine::ServiceCalls(), clock);
        one.appendMessage(views::browseimg::Success, QStringLiteral("first"));
        two.appendMessage(views::browseimg::Failure, QStringLiteral("second"));
        one.clearMessages();
        QCOMPARE(one.messages().rowCount(), 0);
        one.appendMessage(views::browseimg::Success, QStringLiteral("third"));
        QCOMPARE(readAll(file), QByteArray("earlier line\r\n"
                                           "2005/02/03 09:05:07\tfirst\r\n"
                                           "2005/02/03 09:05:08\tsecond\r\n"
                                           "2005/02/03 09:05:09\tthird\r\n"));
        QCOMPARE(one.messages().rowCount(), 1);
        QCOMPARE(one.messages().imageAt(0), views::browseimg::Success);
        QCOMPARE(two.messages().imageAt(0), views::browseimg::Failure);
        // A log entry of the operation engine: message number and arguments.
        two.appendLogEntry(true, views::browsestr::FileDeleted, {QStringLiteral("Docs\\a.txt")});
        QCOMPARE(two.messages().textAt(1),
                 module().text(views::browsestr::FileDeleted).arg(QStringLiteral("Docs\\a.txt")));
        QCOMPARE(two.messages().imageAt(1), views::browseimg::Success);
    }

    void anUnwritableLogFolderIsSaidOnceAndTheWindowWorks_data()
    {
        QTest::addColumn<bool>("missing");
        QTest::newRow("missing folder") << true;
        QTest::newRow("no permission") << false;
    }
    void anUnwritableLogFolderIsSaidOnceAndTheWindowWorks()
    {
        QFETCH(bool, missing);
        if (!missing && ::geteuid() == 0)
            QSKIP("root writes into folders without write permission");
        servertest::TempDir base;
        std::string folder = (base.path() / "log").string();
        if (!missing) {
            std::filesystem::create_directory(folder);
            ::chmod(folder.c_str(), 0500);
        }
        TestSettings settings(folder);
        const views::BrowseResources res = resources();
        QStringList boxes;
        answerNextModal([&boxes](QWidget *box) {
            boxes << static_cast<QMessageBox *>(box)->text();
            static_cast<QMessageBox *>(box)->accept();
        });
        views::BrowseWindow window(res, settings.settings, {});
        window.show();
        QTRY_COMPARE(boxes.size(), 1);
        QVERIFY(boxes[0].startsWith(
            module().text(views::browsestr::LogUnopenable).section(QLatin1Char('%'), 0, 0)));
        window.appendMessage(views::browseimg::Success, QStringLiteral("shown, not logged"));
        QCOMPARE(window.messages().rowCount(), 1);
        QVERIFY(!window.log().isOpen());
        QVERIFY(!QFile::exists(QString::fromStdString(folder) + QStringLiteral("/zem.log")));
        QTest::qWait(100);
        QCOMPARE(boxes.size(), 1);
        ::chmod(folder.c_str(), 0700);
    }
};

QTEST_MAIN(TestMessageLog)
#include "tst_messagelog.moc"
