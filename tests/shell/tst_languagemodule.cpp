// The language module: choosing it by code page, falling back to English, stopping when
// there is none, its string table, and every form with the controls the dialogs bind.

#include "shelltestsupport.h"

#include "shell/aboutdialog.h"
#include "shell/profileeditdialog.h"
#include "shell/profilelistdialog.h"
#include "shell/shellconstants.h"
#include "shell/tipsdialog.h"
#include "shell/toolargumentdialog.h"
#include "shell/toolsdialog.h"

#include <config/profilestore.h>
#include <config/settings.h>
#include <platform/registry.h>
#include <views/common/languagemodule.h>

#include <QDir>
#include <QFile>
#include <QProcess>

using namespace shell;
using namespace config;

class TestLanguageModule : public QObject
{
    Q_OBJECT
private slots:
    void codePageForLocale_data();
    void codePageForLocale();
    void findModule_data();
    void findModule();
    void stringTable_data();
    void stringTable();
    void missingLocaleModuleStartsInEnglish();
    void damagedLocaleModuleStartsInEnglish();
    void noModuleStopsWithTheMessage();
    void everyFormLoads();
    void everyDialogFindsItsControls();
};

void TestLanguageModule::codePageForLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("codePage");
    QTest::newRow("Japanese with encoding") << "ja_JP.UTF-8" << 932;
    QTest::newRow("Japanese, language only") << "ja" << 932;
    QTest::newRow("Simplified Chinese") << "zh_CN.UTF-8" << 936;
    QTest::newRow("Korean") << "ko_KR.UTF-8" << 949;
    QTest::newRow("Traditional Chinese, Taiwan") << "zh_TW.UTF-8" << 950;
    QTest::newRow("Traditional Chinese, Hong Kong") << "zh_HK" << 950;
    QTest::newRow("US English") << "en_US.UTF-8" << 437;
    QTest::newRow("German with modifier") << "de_DE@euro" << 437;
    QTest::newRow("C locale") << "C" << 437;
    QTest::newRow("POSIX locale") << "POSIX" << 437;
    QTest::newRow("nothing set") << "" << 437;
}

void TestLanguageModule::codePageForLocale()
{
    QFETCH(QString, locale);
    QFETCH(int, codePage);
    QCOMPARE(views::codePageForLocale(locale), codePage);
}

void TestLanguageModule::findModule_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<int>("wanted");
    QTest::addColumn<QString>("expected"); // empty: no module at all
    QTest::addColumn<bool>("fellBack");
    QTest::newRow("locale module beside the program")
        << QStringList{"bin/Zem932.rcc", "bin/Zem437.rcc"} << 932 << "bin/Zem932.rcc" << false;
    QTest::newRow("locale module missing falls back to English")
        << QStringList{"bin/Zem437.rcc"} << 932 << "bin/Zem437.rcc" << true;
    QTest::newRow("English module only in share")
        << QStringList{"share/ravelind/Zem437.rcc"} << 437 << "share/ravelind/Zem437.rcc" << false;
    QTest::newRow("beside the program wins over share")
        << QStringList{"bin/Zem437.rcc", "share/ravelind/Zem437.rcc"} << 437 << "bin/Zem437.rcc"
        << false;
    QTest::newRow("locale module in share wins over English beside the program")
        << QStringList{"bin/Zem437.rcc", "share/ravelind/Zem949.rcc"} << 949
        << "share/ravelind/Zem949.rcc" << false;
    QTest::newRow("fallback found in share")
        << QStringList{"share/ravelind/Zem437.rcc"} << 1252 << "share/ravelind/Zem437.rcc" << true;
    QTest::newRow("no module at all") << QStringList{} << 437 << "" << false;
    QTest::newRow("only another locale's module")
        << QStringList{"bin/Zem932.rcc"} << 437 << "" << false;
}

void TestLanguageModule::findModule()
{
    QFETCH(QStringList, files);
    QFETCH(int, wanted);
    QFETCH(QString, expected);
    QFETCH(bool, fellBack);
    QTemporaryDir dir;
    QDir root(dir.path());
    root.mkpath(QStringLiteral("bin"));
    for (const QString &file : files) {
        root.mkpath(QFileInfo(file).path());
        QFile f(root.filePath(file));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    const auto found =
        views::findModule(wanted, views::moduleSearchDirs(root.filePath(QStringLiteral("bin"))));
    if (expected.isEmpty()) {
        QVERIFY(!found);
        return;
    }
    QVERIFY(found);
    QCOMPARE(found->path, QFileInfo(root.filePath(expected)).absoluteFilePath());
    QCOMPARE(found->fellBack, fellBack);
}

void TestLanguageModule::stringTable_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain line") << QByteArray("128\tRavelind\n") << true << 128 << "Ravelind";
    QTest::newRow("escapes") << QByteArray("7\ta\\nb\\tc\\\\d\n") << true << 7 << "a\nb\tc\\d";
    QTest::newRow("comments, blank lines and CR LF")
        << QByteArray("# note\r\n\r\n5\tfive\r\n") << true << 5 << "five";
    QTest::newRow("UTF-8 text") << QByteArray("9\t\xc3\xa9t\xc3\xa9\n") << true << 9
                                << QString::fromUtf8("\xc3\xa9t\xc3\xa9");
    QTest::newRow("empty text") << QByteArray("4\t\n") << true << 4 << "";
    QTest::newRow("number given twice") << QByteArray("1\ta\n1\tb\n") << false << 0 << "";
    QTest::newRow("no tab") << QByteArray("1 a\n") << false << 0 << "";
    QTest::newRow("not a number") << QByteArray("x1\ta\n") << false << 0 << "";
    QTest::newRow("unknown escape") << QByteArray("1\ta\\q\n") << false << 0 << "";
    QTest::newRow("backslash at the end") << QByteArray("1\ta\\\n") << false << 0 << "";
}

void TestLanguageModule::stringTable()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, ok);
    QFETCH(int, id);
    QFETCH(QString, text);
    std::map<int, QString> table;
    QString error;
    QCOMPARE(views::parseStringTable(data, table, error), ok);
    if (ok) {
        QCOMPARE(table.size(), std::size_t(1));
        QCOMPARE(table.at(id), text);
    } else {
        QVERIFY(error.startsWith(QStringLiteral("line ")));
    }
}

void TestLanguageModule::missingLocaleModuleStartsInEnglish()
{
    // Korean: no module is made for it.
    qputenv("RAVELIND_CODEPAGE", "949");
    shelltest::StartedApp started;
    qputenv("RAVELIND_CODEPAGE", "437");
    QCOMPARE(started.startResult, 0);
    QCOMPARE(started.app->module().codePage(), 437);
    QVERIFY(started.app->module().location().fellBack);
    QCOMPARE(started.frame().windowTitle(), QStringLiteral("Ravelind"));
}

void TestLanguageModule::damagedLocaleModuleStartsInEnglish()
{
    QTemporaryDir dir;
    QVERIFY(QFile::copy(shelltest::moduleDir() + QStringLiteral("/Zem437.rcc"),
                        dir.filePath(QStringLiteral("Zem437.rcc"))));
    QFile damaged(dir.filePath(QStringLiteral("Zem949.rcc")));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write("not a resource file");
    damaged.close();
    qputenv("RAVELIND_CODEPAGE", "949");
    StartOptions options;
    options.moduleDirs = {dir.path()};
    options.registryFile = dir.filePath(QStringLiteral("registry.reg")).toStdString();
    options.splash = false;
    CZemApp app(options);
    const int result = app.start();
    qputenv("RAVELIND_CODEPAGE", "437");
    QCOMPARE(result, 0);
    QCOMPARE(app.module().codePage(), 437);
    QVERIFY(app.module().location().fellBack);
}

void TestLanguageModule::noModuleStopsWithTheMessage()
{
    // The real program, alone in a folder without any module beside or above it.
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("bin"));
    const QString exe = dir.filePath(QStringLiteral("bin/ravelind"));
    QVERIFY(QFile::copy(QStringLiteral(RAVELIND_EXE), exe));
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("RAVELIND_CONFIG_DIR"), dir.filePath(QStringLiteral("config")));
    program.setProcessEnvironment(env);
    program.start(exe, {QStringLiteral("--no-splash")});
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), kModuleMissingExitCode);
    const QByteArray errors = program.readAllStandardError();
    QVERIFY(errors.contains(kModuleMissingText));
    // It says where it looked: beside the program and in its share folder.
    QVERIFY2(errors.contains(QFile::encodeName(dir.filePath(QStringLiteral("bin/Zem437.rcc")))),
             errors.constData());
    QVERIFY2(errors.contains(QFile::encodeName(
                 QDir::cleanPath(dir.filePath(QStringLiteral("share/ravelind/Zem437.rcc"))))),
             errors.constData());
    // Nothing was written: the program stopped before it touched the settings.
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("config/registry.reg"))));
}

void TestLanguageModule::everyFormLoads()
{
    const auto location = views::findModule(437, {shelltest::moduleDir()});
    QVERIFY(location);
    QString error;
    const auto module = views::LanguageModule::open(*location, error);
    QVERIFY2(module, qPrintable(error));
    const QList<int> ids = module->formIds();
    QVERIFY(ids.contains(form::About) && ids.contains(form::Tools));
    for (int id : ids) {
        const auto widget = module->loadForm(id, nullptr, error);
        QVERIFY2(widget, qPrintable(error));
        QVERIFY2(!widget->windowTitle().isEmpty(), qPrintable(QString::number(id)));
    }
}

void TestLanguageModule::everyDialogFindsItsControls()
{
    shelltest::StartedApp started;
    QCOMPARE(started.startResult, 0);
    CZemApp &app = *started.app;
    const views::LanguageModule &module = app.module();
    std::vector<std::unique_ptr<views::FormDialog>> dialogs;
    dialogs.push_back(std::make_unique<AboutDialog>(module, app.identity(), nullptr));
    dialogs.push_back(std::make_unique<ToolArgumentDialog>(module, nullptr));
    dialogs.push_back(std::make_unique<ToolsDialog>(
        module, std::vector<ToolEntry>{ToolEntry{"a", "b", "", "", 0}}, nullptr));
    dialogs.push_back(std::make_unique<ProfileEditDialog>(module, protocol::ServerProfile{}, true,
                                                          true, nullptr, nullptr));
    dialogs.push_back(std::make_unique<ProfileListDialog>(module, app.profiles(), app.settings(),
                                                          started.frame().smallImages(), nullptr));
    dialogs.push_back(
        std::make_unique<TipsDialog>(module, app.settings(), app.tipsFile(), nullptr));
    for (const auto &dialog : dialogs) {
        const QByteArray which = QByteArray::number(dialog->formId());
        QVERIFY2(dialog->loadError().isEmpty(), which.constData());
        QVERIFY2(
            dialog->missingControls().isEmpty(),
            (which + ": " + dialog->missingControls().join(QLatin1Char(',')).toUtf8()).constData());
    }
}

QTEST_MAIN(TestLanguageModule)
#include "tst_languagemodule.moc"
