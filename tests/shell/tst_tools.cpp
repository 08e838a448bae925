// Starting user-defined tools and customizing the list.

#include "shelltestsupport.h"

#include "shell/shellconstants.h"
#include "shell/toollauncher.h"
#include "shell/toolsdialog.h"

#include <views/common/languagemodule.h>

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

using namespace shell;
using namespace config;

namespace {

// A tool that writes its working folder, its argument count and its arguments, one a line,
// into `<its folder>/<output name>`.
QString makeRecorder(const QTemporaryDir &dir, const QString &outputName)
{
    const QString path =
        dir.filePath(QStringLiteral("record-") + outputName + QStringLiteral(".sh"));
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly))
        return {};
    const QString out = dir.filePath(outputName);
    script.write(QStringLiteral("#!/bin/sh\n{ pwd; echo $#; for a in \"$@\"; do printf '%s\\n' "
                                "\"$a\"; done; } > '%1.tmp'\n"
                                "mv '%1.tmp' '%1'\n")
                     .arg(out)
                     .toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

// The lines the recorder wrote; waits for the detached process to finish writing.
QStringList recorded(const QTemporaryDir &dir, const QString &outputName)
{
    QFile file(dir.filePath(outputName));
    if (!QTest::qWaitFor([&] { return file.exists(); }, 20000))
        return {};
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Presses a button of the modal widget's button box (argument dialog, message box).
void press(QWidget *modal, QDialogButtonBox::StandardButton which)
{
    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        box->done(which == QDialogButtonBox::Ok ? QMessageBox::Ok : QMessageBox::Cancel);
        return;
    }
    auto *buttons = modal->findChild<QDialogButtonBox *>(QStringLiteral("buttons"));
    QVERIFY(buttons);
    buttons->button(which)->click();
}

} // namespace

class TestTools : public QObject
{
    Q_OBJECT
private slots:
    void fixedArgumentOfTwoWordsIsOneArgument();
    void argumentReachesTheProgramUnchanged_data();
    void argumentReachesTheProgramUnchanged();
    void noArgumentStartsTheProgramAlone();
    void promptedArgumentIsOneArgument();
    void cancelledPromptStartsNothing();
    void workingFolderIsUsed();
    void failureShowsTheSystemText_data();
    void failureShowsTheSystemText();
    void customizationRefusesDuplicateNames();
    void customizationDropsUnnamedTools();
    void customizationCancelKeepsTheList();
    void customizationOkKeepsTheListInTheSettings();
};

void TestTools::fixedArgumentOfTwoWordsIsOneArgument()
{
    shelltest::StartedApp started;
    const QString recorder = makeRecorder(started.dir, QStringLiteral("out"));
    started.app->tools() = {{"Record", recorder.toStdString(), "two words", "", 0}};
    started.frame().launchTool(0);
    const QStringList lines = recorded(started.dir, QStringLiteral("out"));
    QCOMPARE(lines.mid(1), (QStringList{"1", "two words"}));
}

void TestTools::argumentReachesTheProgramUnchanged_data()
{
    QTest::addColumn<QString>("argument");
    QTest::newRow("quotes") << "say \"hi\" 'there'";
    QTest::newRow("shell characters") << "$(touch pwned); `touch pwned2` | > x";
    QTest::newRow("leading dash") << "--help me";
    QTest::newRow("non-ASCII") << QString::fromUtf8(
        "r\xc3\xa9sum\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac");
}

void TestTools::argumentReachesTheProgramUnchanged()
{
    QFETCH(QString, argument);
    QTemporaryDir dir;
    const QString recorder = makeRecorder(dir, QStringLiteral("out"));
    const ToolEntry tool{"Record", recorder.toStdString(), argument.toStdString(),
                         dir.path().toStdString(), 0};
    QCOMPARE(ToolLauncher::start(tool, {}).outcome, ToolStart::Outcome::Started);
    QCOMPARE(recorded(dir, QStringLiteral("out")).mid(1), (QStringList{"1", argument}));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("pwned"))));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("pwned2"))));
}

void TestTools::noArgumentStartsTheProgramAlone()
{
    QTemporaryDir dir;
    const QString recorder = makeRecorder(dir, QStringLiteral("out"));
    const ToolEntry tool{"Record", recorder.toStdString(), "", "", 0};
    QCOMPARE(ToolLauncher::start(tool, {}).outcome, ToolStart::Outcome::Started);
    QCOMPARE(recorded(dir, QStringLiteral("out")).mid(1), QStringList{"0"});
}

void TestTools::promptedArgumentIsOneArgument()
{
    shelltest::StartedApp started;
    const QString recorder = makeRecorder(started.dir, QStringLiteral("out"));
    // The fixed argument is not used when the tool asks.
    started.app->tools() = {{"Ask", recorder.toStdString(), "fixed", "", 1}};
    shelltest::answerNextModal([](QWidget *dialog) {
        dialog->findChild<QLineEdit *>(QStringLiteral("c1006"))
            ->setText(QStringLiteral("my file.txt"));
        press(dialog, QDialogButtonBox::Ok);
    });
    started.frame().launchTool(0);
    QCOMPARE(recorded(started.dir, QStringLiteral("out")).mid(1),
             (QStringList{"1", "my file.txt"}));
}

void TestTools::cancelledPromptStartsNothing()
{
    shelltest::StartedApp started;
    const QString asked = makeRecorder(started.dir, QStringLiteral("asked"));
    const QString after = makeRecorder(started.dir, QStringLiteral("after"));
    started.app->tools() = {{"Ask", asked.toStdString(), "", "", 1},
                            {"After", after.toStdString(), "", "", 0}};
    bool dialogShown = false;
    shelltest::answerNextModal([&](QWidget *dialog) {
        dialogShown = true;
        press(dialog, QDialogButtonBox::Cancel);
    });
    started.frame().launchTool(0);
    QVERIFY(dialogShown);
    // A tool started afterwards has run to its end; the cancelled one never wrote.
    started.frame().launchTool(1);
    QVERIFY(!recorded(started.dir, QStringLiteral("after")).isEmpty());
    QVERIFY(!QFileInfo::exists(started.dir.filePath(QStringLiteral("asked"))));
    // Without a dialog at all, a cancelled prompt is reported as such.
    const ToolEntry tool{"Ask", asked.toStdString(), "", "", 1};
    QCOMPARE(ToolLauncher::start(tool, [] { return std::nullopt; }).outcome,
             ToolStart::Outcome::Cancelled);
}

void TestTools::workingFolderIsUsed()
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("work dir"));
    const QString work = dir.filePath(QStringLiteral("work dir"));
    const QString recorder = makeRecorder(dir, QStringLiteral("out"));
    const ToolEntry tool{"Record", recorder.toStdString(), "", work.toStdString(), 0};
    QCOMPARE(ToolLauncher::start(tool, {}).outcome, ToolStart::Outcome::Started);
    const QStringList lines = recorded(dir, QStringLiteral("out"));
    QVERIFY(!lines.isEmpty());
    QCOMPARE(QFileInfo(lines.first()).canonicalFilePath(), QFileInfo(work).canonicalFilePath());
}

void TestTools::failureShowsTheSystemText_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("workDir");
    QTest::addColumn<QString>("reason");
    QTest::newRow("program does not exist") << "/nonexistent/ravelind-tool"
                                            << ""
                                            << "No such file or directory";
    QTest::newRow("program not on the path") << "ravelind-no-such-tool"
                                             << ""
                                             << "No such file or directory";
    QTest::newRow("file is not executable") << "<temp>/plain.txt"
                                            << ""
                                            << "Permission denied";
    QTest::newRow("working folder does not exist") << "/bin/true"
                                                   << "/nonexistent/dir"
                                                   << "No such file or directory";
}

void TestTools::failureShowsTheSystemText()
{
    QFETCH(QString, program);
    QFETCH(QString, workDir);
    QFETCH(QString, reason);
    shelltest::StartedApp started;
    if (program.startsWith(QStringLiteral("<temp>/"))) {
        program = started.dir.filePath(program.mid(7));
        QFile plain(program);
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.write("not a program\n");
        plain.close();
        plain.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    started.app->tools() = {{"Broken", program.toStdString(), "arg", workDir.toStdString(), 0}};
    QString shown;
    shelltest::answerNextModal([&](QWidget *modal) {
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            shown = box->text();
            QCOMPARE(box->icon(), QMessageBox::Critical);
        }
        press(modal, QDialogButtonBox::Ok);
    });
    started.frame().launchTool(0);
    QVERIFY2(shown.contains(QStringLiteral("\"Broken\"")), qPrintable(shown));
    QVERIFY2(shown.contains(reason), qPrintable(shown));
}

void TestTools::customizationRefusesDuplicateNames()
{
    shelltest::StartedApp started;
    ToolsDialog dialog(started.app->module(),
                       {{"Edit", "/bin/a", "", "", 0}, {"edit", "/bin/b", "", "", 0}}, nullptr);
    QString warning;
    shelltest::answerNextModal([&](QWidget *modal) {
        if (auto *box = qobject_cast<QMessageBox *>(modal))
            warning = box->text();
        press(modal, QDialogButtonBox::Ok);
    });
    dialog.accept();
    QVERIFY2(warning.contains(QStringLiteral("\"edit\"")), qPrintable(warning));
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

void TestTools::customizationDropsUnnamedTools()
{
    shelltest::StartedApp started;
    ToolsDialog dialog(started.app->module(), {{"Edit", "/bin/a", "", "", 0}}, nullptr);
    dialog.newTool();
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.tools(), (std::vector<ToolEntry>{{"Edit", "/bin/a", "", "", 0}}));
}

void TestTools::customizationCancelKeepsTheList()
{
    shelltest::StartedApp started;
    const std::vector<ToolEntry> before{{"A", "/bin/a", "", "", 0}, {"B", "/bin/b", "", "", 0}};
    started.app->tools() = before;
    shelltest::answerNextModal([](QWidget *modal) {
        auto *dialog = qobject_cast<ToolsDialog *>(modal);
        QVERIFY(dialog);
        dialog->deleteTool();
        dialog->newTool();
        dialog->findChild<QLineEdit *>(QStringLiteral("c1067"))->setText(QStringLiteral("C"));
        dialog->reject();
    });
    started.frame().customizeTools();
    QCOMPARE(started.app->tools(), before);
}

void TestTools::customizationOkKeepsTheListInTheSettings()
{
    shelltest::StartedApp started;
    started.app->tools() = {{"A", "/bin/a", "", "", 0}};
    shelltest::answerNextModal([](QWidget *modal) {
        auto *dialog = qobject_cast<ToolsDialog *>(modal);
        QVERIFY(dialog);
        dialog->newTool();
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("c1067"));
        name->setText(QStringLiteral("Viewer"));
        emit name->textEdited(name->text());
        auto *command = dialog->findChild<QLineEdit *>(QStringLiteral("c1006"));
        command->setText(QStringLiteral("/usr/bin/viewer"));
        emit command->textEdited(command->text());
        dialog->accept();
    });
    started.frame().customizeTools();
    const std::vector<ToolEntry> expected{{"A", "/bin/a", "", "", 0},
                                          {"Viewer", "/usr/bin/viewer", "", "", 0}};
    QCOMPARE(started.app->tools(), expected);
    QCOMPARE(started.app->toolStore().load(), expected);
    started.frame().rebuildToolsMenu();
    QCOMPARE(started.frame().toolsMenu()->actions().at(1)->text(), QStringLiteral("Viewer"));
}

QTEST_MAIN(TestTools)
#include "tst_tools.moc"
