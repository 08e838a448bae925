// The option dialogs before a job: presets from the settings, what the add-files use hides,
// what OK hands to the job's request, and the get dialog's reading of its destination.

#include "views/dialogs/getdialog.h"
#include "views/dialogs/operationoptions.h"

#include "viewstestsupport.h"

#include <config/settings.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using engine::OperationKind;

class TestOptionDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void checkInPresets_data();
    void checkInPresets();
    void checkInFillsItsJob_data();
    void checkInFillsItsJob();
    void undoCheckOutPresetsAndJob_data();
    void undoCheckOutPresetsAndJob();
    void checkOutOptionsKeepTheCommandsFolder();
    void getDestinationRows_data();
    void getDestinationRows();
    void getDialogOk_data();
    void getDialogOk();
    void getDialogBrowse();

private:
    template<class T> static T *control(QWidget *dialog, int id)
    {
        return dialog->findChild<T *>(QStringLiteral("c%1").arg(id));
    }

    std::unique_ptr<views::LanguageModule> m_module;
};

void TestOptionDialogs::initTestCase()
{
    m_module = viewstest::openModule();
    QVERIFY2(m_module, "the built language module was not found");
}

void TestOptionDialogs::checkInPresets_data()
{
    QTest::addColumn<int>("deleteLocalFile");
    QTest::addColumn<bool>("folderMode");
    QTest::addColumn<QString>("localPath");
    QTest::addColumn<bool>("deleteChecked");
    QTest::addColumn<bool>("pathShown");
    QTest::addColumn<int>("title"); // 0: the form's own title

    const QString file = QStringLiteral("/work/site/index.html");
    QTest::newRow("one file, keep") << 0 << false << file << false << true << 0;
    QTest::newRow("one file, DeleteLocalFile set") << 1 << false << file << true << true << 0;
    QTest::newRow("folder mode") << 0 << true << QStringLiteral("/work/site") << false << true << 0;
    QTest::newRow("add files, keep") << 0 << false << QString() << false << false << 175;
    QTest::newRow("add files, DeleteLocalFile set")
        << 1 << false << QString() << true << false << 175;
}

void TestOptionDialogs::checkInPresets()
{
    QFETCH(int, deleteLocalFile);
    QFETCH(bool, folderMode);
    QFETCH(QString, localPath);
    QFETCH(bool, deleteChecked);
    QFETCH(bool, pathShown);
    QFETCH(int, title);

    config::SettingsValues settings;
    settings.deleteLocalFile = static_cast<std::uint32_t>(deleteLocalFile);
    views::CheckInOptions options;
    options.folderMode = folderMode;
    options.localPathText = localPath;
    views::CheckInDialog dialog(*m_module, settings, options, nullptr);
    QVERIFY(dialog.missingControls().isEmpty());
    dialog.show();

    QCOMPARE(control<QRadioButton>(&dialog, 1037)->isChecked(), deleteChecked);
    QCOMPARE(control<QRadioButton>(&dialog, 1039)->isChecked(), !deleteChecked);
    QCOMPARE(control<QCheckBox>(&dialog, 1036)->isVisible(), folderMode);
    QCOMPARE(control<QLineEdit>(&dialog, 1032)->isVisible(), pathShown);
    QCOMPARE(control<QLabel>(&dialog, 1054)->isVisible(), pathShown);
    if (pathShown)
        QCOMPARE(control<QLineEdit>(&dialog, 1032)->text(), localPath);
    if (title != 0)
        QCOMPARE(dialog.windowTitle(), m_module->text(title));
    else
        QVERIFY(dialog.windowTitle() != m_module->text(175));
}

void TestOptionDialogs::checkInFillsItsJob_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("chooseDelete");
    QTest::addColumn<bool>("tickSubfolders");
    QTest::addColumn<bool>("recursive");

    QTest::newRow("files, keep") << int(OperationKind::CheckInFiles) << false << false << false;
    QTest::newRow("files, delete") << int(OperationKind::CheckInFiles) << true << false << false;
    QTest::newRow("folder with subfolders")
        << int(OperationKind::CheckInFolder) << false << true << true;
    QTest::newRow("folder alone") << int(OperationKind::CheckInFolder) << true << false << false;
    // The add of a drop has no subfolder box; a stray flag must not reach its request.
    QTest::newRow("add files") << int(OperationKind::AddDropped) << true << true << false;
}

void TestOptionDialogs::checkInFillsItsJob()
{
    QFETCH(int, kind);
    QFETCH(bool, chooseDelete);
    QFETCH(bool, tickSubfolders);
    QFETCH(bool, recursive);

    views::CheckInOptions options;
    options.folderMode = kind == int(OperationKind::CheckInFolder);
    options.localPathText =
        kind == int(OperationKind::AddDropped) ? QString() : QStringLiteral("/w/a.txt");
    views::CheckInDialog dialog(*m_module, config::SettingsValues{}, options, nullptr);
    control<QPlainTextEdit>(&dialog, 1035)->setPlainText(QStringLiteral("Fixed the heading"));
    control<QRadioButton>(&dialog, chooseDelete ? 1037 : 1039)->setChecked(true);
    control<QCheckBox>(&dialog, 1036)->setChecked(tickSubfolders);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.options().deleteLocal, chooseDelete);
    QCOMPARE(dialog.options().keepLocal, !chooseDelete);

    engine::OperationRequest request;
    request.kind = static_cast<OperationKind>(kind);
    views::applyCheckIn(dialog.options(), request);
    QCOMPARE(request.deleteLocal, chooseDelete);
    QCOMPARE(request.recursive, recursive);
    QCOMPARE(request.comment, std::string("Fixed the heading"));
}

void TestOptionDialogs::undoCheckOutPresetsAndJob_data()
{
    QTest::addColumn<int>("deleteLocalFile");
    QTest::addColumn<bool>("folderMode");
    QTest::addColumn<bool>("tickSubfolders");

    QTest::newRow("files, keep preset") << 0 << false << false;
    QTest::newRow("files, delete preset") << 1 << false << false;
    QTest::newRow("folder, subfolders") << 0 << true << true;
    QTest::newRow("folder, delete preset") << 1 << true << false;
}

void TestOptionDialogs::undoCheckOutPresetsAndJob()
{
    QFETCH(int, deleteLocalFile);
    QFETCH(bool, folderMode);
    QFETCH(bool, tickSubfolders);

    config::SettingsValues settings;
    settings.deleteLocalFile = static_cast<std::uint32_t>(deleteLocalFile);
    views::UndoCheckOutOptions options;
    options.folderMode = folderMode;
    views::UndoCheckOutDialog dialog(*m_module, settings, options, nullptr);
    QVERIFY(dialog.missingControls().isEmpty());
    dialog.show();
    QCOMPARE(control<QRadioButton>(&dialog, 1037)->isChecked(), deleteLocalFile != 0);
    QCOMPARE(control<QCheckBox>(&dialog, 1036)->isVisible(), folderMode);
    control<QCheckBox>(&dialog, 1036)->setChecked(tickSubfolders);
    dialog.accept();

    engine::OperationRequest request;
    request.kind =
        folderMode ? OperationKind::UndoCheckOutFolder : OperationKind::UndoCheckOutFiles;
    views::applyUndoCheckOut(dialog.options(), request);
    QCOMPARE(request.deleteLocal, deleteLocalFile != 0);
    QCOMPARE(request.recursive, folderMode && tickSubfolders);
}

void TestOptionDialogs::checkOutOptionsKeepTheCommandsFolder()
{
    for (const bool folderMode : {false, true}) {
        views::CheckOutOptions options;
        options.folderMode = folderMode;
        options.localFolderText = QStringLiteral("/home/me/site");
        views::CheckOutOptionsDialog dialog(*m_module, options, nullptr);
        QVERIFY(dialog.missingControls().isEmpty());
        dialog.show();
        QCOMPARE(control<QCheckBox>(&dialog, 1036)->isVisible(), folderMode);
        QCOMPARE(control<QLineEdit>(&dialog, 1040)->text(), QStringLiteral("/home/me/site"));
        control<QLineEdit>(&dialog, 1040)->setText(QStringLiteral("/elsewhere"));
        control<QCheckBox>(&dialog, 1036)->setChecked(true);
        dialog.accept();

        engine::OperationRequest request;
        request.kind = OperationKind::CheckOutFolder;
        request.localFolder = "/home/me/site/";
        views::applyCheckOut(dialog.options(), request);
        QCOMPARE(request.recursive, true);
        // The edited text is only shown; the job writes where the command said.
        QCOMPARE(request.localFolder, std::filesystem::path("/home/me/site/"));
    }
}

void TestOptionDialogs::getDestinationRows_data()
{
    QTest::addColumn<QString>("destination");
    QTest::addColumn<bool>("folderOrSeveral");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("fileName");

    QTest::newRow("one file: folder, slash, name")
        << "/home/me/site/index.html" << false << "/home/me/site"
        << "/home/me/site/index.html";
    QTest::newRow("one file: another local name") << "/tmp/copy-of-index.html" << false << "/tmp"
                                                  << "/tmp/copy-of-index.html";
    QTest::newRow("one file in the root") << "/index.html" << false << "/"
                                          << "/index.html";
    QTest::newRow("one file without a folder") << "index.html" << false << ""
                                               << "index.html";
    QTest::newRow("folder with a trailing slash") << "/home/me/site/" << true << "/home/me/site"
                                                  << "";
    QTest::newRow("folder without one") << "/home/me/site" << true << "/home/me/site"
                                        << "";
    QTest::newRow("only one trailing slash goes") << "/home/me/site//" << true << "/home/me/site/"
                                                  << "";
    QTest::newRow("the root folder stays") << "/" << true << "/"
                                           << "";
}

void TestOptionDialogs::getDestinationRows()
{
    QFETCH(QString, destination);
    QFETCH(bool, folderOrSeveral);
    QFETCH(QString, folder);
    QFETCH(QString, fileName);

    const views::GetDestination parsed = views::parseGetDestination(destination, folderOrSeveral);
    QCOMPARE(parsed.localFolder, folder);
    QCOMPARE(parsed.fileName, fileName);
}

void TestOptionDialogs::getDialogOk_data()
{
    QTest::addColumn<bool>("severalFiles");
    QTest::addColumn<bool>("folderMode");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("fileName");

    QTest::newRow("one file") << false << false << "/srv/out/a.txt"
                              << "/srv/out"
                              << "/srv/out/a.txt";
    QTest::newRow("several files") << true << false << "/srv/out/"
                                   << "/srv/out"
                                   << "";
    QTest::newRow("folder") << false << true << "/srv/out"
                            << "/srv/out"
                            << "";
}

void TestOptionDialogs::getDialogOk()
{
    QFETCH(bool, severalFiles);
    QFETCH(bool, folderMode);
    QFETCH(QString, typed);
    QFETCH(QString, folder);
    QFETCH(QString, fileName);

    views::GetOptions options;
    options.title = m_module->text(2028);
    options.localFolder = QStringLiteral("/home/me");
    options.fileName = QStringLiteral("a.txt");
    options.severalFiles = severalFiles;
    options.folderMode = folderMode;
    options.destination = views::getDestinationText(options.localFolder, options.fileName,
                                                    !severalFiles && !folderMode);
    options.keepWritable = true;
    views::GetDialog dialog(*m_module, options, nullptr);
    QVERIFY(dialog.missingControls().isEmpty());
    dialog.show();
    QCOMPARE(dialog.windowTitle(), m_module->text(2028));
    QCOMPARE(control<QCheckBox>(&dialog, 1036)->isVisible(), folderMode);
    QCOMPARE(control<QCheckBox>(&dialog, 1038)->isChecked(), true);
    QCOMPARE(control<QLineEdit>(&dialog, 1040)->text(), severalFiles || folderMode
                                                            ? QStringLiteral("/home/me")
                                                            : QStringLiteral("/home/me/a.txt"));

    control<QLineEdit>(&dialog, 1040)->setText(typed);
    control<QCheckBox>(&dialog, 1038)->setChecked(false);
    control<QCheckBox>(&dialog, 1036)->setChecked(true);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.options().localFolder, folder);
    QCOMPARE(dialog.options().fileName, fileName);
    QCOMPARE(dialog.options().keepWritable, false);
    QCOMPARE(dialog.options().subfolders, true);
}

void TestOptionDialogs::getDialogBrowse()
{
    views::GetOptions options;
    options.localFolder = QStringLiteral("/home/me/site");
    options.fileName = QStringLiteral("index.html");
    options.destination = views::getDestinationText(options.localFolder, options.fileName, true);
    views::GetDialog dialog(*m_module, options, nullptr);
    QString askedTitle, askedStart;
    QString answer = QStringLiteral("/srv/copies");
    dialog.setFolderChooser([&](QWidget *, const QString &title, const QString &start) {
        askedTitle = title;
        askedStart = start;
        return answer;
    });
    control<QPushButton>(&dialog, 1034)->click();
    QCOMPARE(askedTitle, m_module->text(180));
    QCOMPARE(askedStart, QStringLiteral("/home/me/site"));
    QCOMPARE(control<QLineEdit>(&dialog, 1040)->text(), QStringLiteral("/srv/copies/index.html"));

    // A cancelled browser changes nothing.
    answer.clear();
    control<QPushButton>(&dialog, 1034)->click();
    QCOMPARE(askedStart, QStringLiteral("/srv/copies"));
    QCOMPARE(control<QLineEdit>(&dialog, 1040)->text(), QStringLiteral("/srv/copies/index.html"));

    dialog.accept();
    QCOMPARE(dialog.options().localFolder, QStringLiteral("/srv/copies"));
    QCOMPARE(dialog.options().fileName, QStringLiteral("/srv/copies/index.html"));
}

QTEST_MAIN(TestOptionDialogs)
#include "tst_optiondialogs.moc"
