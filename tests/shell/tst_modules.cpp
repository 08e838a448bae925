// Every language module against the English one it is translated from: the same string
// numbers, the same arguments as often, the same parts of command strings, the same
// forms with the same controls, the same images, real tips; and the Japanese module starts
// the program in Japanese. A string or form added to the English module and not yet to a
// translation fails here, naming it.

#include "shelltestsupport.h"

#include "shell/aboutdialog.h"
#include "shell/profileeditdialog.h"
#include "shell/profilelistdialog.h"
#include "shell/shellconstants.h"
#include "shell/tipsdialog.h"
#include "shell/toolargumentdialog.h"
#include "shell/toolsdialog.h"

#include <views/common/languagemodule.h>
#include <views/dialogs/optionsheet.h>

#include <QDialogButtonBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QWizard>
#include <QXmlStreamReader>

#include <map>
#include <set>

using namespace shell;

namespace {

// The translations; 437 is the English module they are made from.
const QList<int> kTranslations = {932};

QString sourceDir(int codePage)
{
    return QStringLiteral(RAVELIND_RESOURCES_DIR "/%1").arg(codePage);
}

std::map<int, QString> strings(int codePage)
{
    std::map<int, QString> table;
    QFile file(sourceDir(codePage) + QStringLiteral("/strings.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return table;
    QString error;
    if (!views::parseStringTable(file.readAll(), table, error))
        qWarning("strings of %d: %s", codePage, qPrintable(error));
    return table;
}

// The place markers of a text, sorted: "%1 %2" for "%1 of %2 files" and for "version %2 of
// %1". Markers are filled by their number (QString::arg, engine::formatText), so a translation
// may place them in its own word order, but must keep every one, as often as the English.
QString arguments(const QString &text)
{
    static const QRegularExpression marker(QStringLiteral("%(\\d+)"));
    QList<int> found;
    for (const QRegularExpressionMatch &m : marker.globalMatch(text))
        found.append(m.captured(1).toInt());
    std::sort(found.begin(), found.end());
    QStringList names;
    for (int n : found)
        names.append(QStringLiteral("%%1").arg(n));
    return names.join(QLatin1Char(' '));
}

// The files of a module folder below `sub`, relative to it.
QStringList files(int codePage, const QString &sub)
{
    const QDir dir(sourceDir(codePage) + QLatin1Char('/') + sub);
    QStringList names;
    QDirIterator it(dir.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        names.append(dir.relativeFilePath(it.next()));
    names.sort();
    return names;
}

struct FormShape
{
    QStringList objects;   // "class name" of every widget, layout, action and spacer
    QStringList arguments; // the place markers of each text (sorted), texts in document order
};

FormShape shapeOf(const QString &path)
{
    FormShape shape;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return shape;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QString element = xml.name().toString();
        if (element == QLatin1String("widget") || element == QLatin1String("layout") ||
            element == QLatin1String("action") || element == QLatin1String("spacer")) {
            const QString cls = xml.attributes().value(QLatin1String("class")).toString();
            shape.objects.append(
                QStringLiteral("%1 %2 %3")
                    .arg(element, cls, xml.attributes().value(QLatin1String("name")).toString()));
        } else if (element == QLatin1String("string")) {
            const QString args = arguments(xml.readElementText());
            if (!args.isEmpty())
                shape.arguments.append(args);
        }
    }
    return shape;
}

} // namespace

class TestModules : public QObject
{
    Q_OBJECT
private slots:
    void sameStringNumbersAndArguments_data()
    {
        QTest::addColumn<int>("codePage");
        for (int cp : kTranslations)
            QTest::newRow(qPrintable(QString::number(cp))) << cp;
    }
    void sameStringNumbersAndArguments()
    {
        QFETCH(int, codePage);
        const std::map<int, QString> english = strings(437);
        const std::map<int, QString> translated = strings(codePage);
        QVERIFY(english.size() > 100);
        QStringList missing, extra, differing;
        for (const auto &[id, text] : english) {
            const auto it = translated.find(id);
            if (it == translated.end()) {
                missing.append(QString::number(id));
                continue;
            }
            if (arguments(text) != arguments(it->second))
                differing.append(QStringLiteral("%1 (%2 | %3)")
                                     .arg(id)
                                     .arg(arguments(text), arguments(it->second)));
            // Command strings: menu text, status-bar prompt, tooltip.
            if (text.count(QLatin1Char('\n')) != it->second.count(QLatin1Char('\n')) &&
                id >= 1000 && text.count(QLatin1Char('\n')) == 2)
                differing.append(QStringLiteral("%1 (parts)").arg(id));
        }
        for (const auto &entry : translated) {
            if (!english.count(entry.first))
                extra.append(QString::number(entry.first));
        }
        QVERIFY2(missing.isEmpty(),
                 qPrintable(QStringLiteral("not translated: ") + missing.join(QLatin1Char(' '))));
        QVERIFY2(extra.isEmpty(), qPrintable(QStringLiteral("not in the English module: ") +
                                             extra.join(QLatin1Char(' '))));
        QVERIFY2(differing.isEmpty(), qPrintable(QStringLiteral("other arguments: ") +
                                                 differing.join(QStringLiteral(", "))));
        // Translated, not copied: the texts that are sentences differ from the English ones.
        int same = 0;
        for (const auto &[id, text] : english)
            same += text.contains(QLatin1Char(' ')) && translated.at(id) == text ? 1 : 0;
        QVERIFY2(same < 5, qPrintable(QString::number(same)));
    }

    void sameFormsControlsAndImages_data() { sameStringNumbersAndArguments_data(); }
    void sameFormsControlsAndImages()
    {
        QFETCH(int, codePage);
        QCOMPARE(files(codePage, QStringLiteral("forms")), files(437, QStringLiteral("forms")));
        QCOMPARE(files(codePage, QStringLiteral("images")), files(437, QStringLiteral("images")));
        for (const QString &form : files(437, QStringLiteral("forms"))) {
            const FormShape english = shapeOf(sourceDir(437) + QStringLiteral("/forms/") + form);
            const FormShape translated =
                shapeOf(sourceDir(codePage) + QStringLiteral("/forms/") + form);
            QVERIFY2(!english.objects.isEmpty(), qPrintable(form));
            QVERIFY2(translated.objects == english.objects, qPrintable(form));
            QVERIFY2(translated.arguments == english.arguments, qPrintable(form));
        }
    }

    void tipsFileHoldsTips_data() { sameStringNumbersAndArguments_data(); }
    void tipsFileHoldsTips()
    {
        QFETCH(int, codePage);
        QFile file(sourceDir(codePage) + QStringLiteral("/tips%1.txt").arg(codePage));
        QVERIFY(file.open(QIODevice::ReadOnly));
        int tips = 0;
        while (!file.atEnd()) {
            const QByteArray line = file.readLine();
            if (!line.isEmpty() && !QByteArray(" \t\n;").contains(line.at(0))) {
                ++tips;
                QVERIFY(line.size() < 1000); // one piece of the reader
            }
        }
        QVERIFY(tips >= 10);
    }

    void japaneseModuleStartsTheProgramInJapanese()
    {
        qputenv("RAVELIND_CODEPAGE", "932");
        shelltest::StartedApp started;
        qputenv("RAVELIND_CODEPAGE", "437");
        QCOMPARE(started.startResult, 0);
        CZemApp &app = *started.app;
        const views::LanguageModule &module = app.module();
        QCOMPARE(module.codePage(), 932);
        QVERIFY(!module.location().fellBack);
        QCOMPARE(started.frame().menuBar()->actions().first()->text(),
                 QStringLiteral("ファイル(&F)"));
        QVERIFY(app.tipsFile().filename() == "tips932.txt");

        // Every form loads and every dialog finds the controls it binds.
        for (int id : module.formIds()) {
            QString error;
            const auto widget = module.loadForm(id, nullptr, error);
            QVERIFY2(widget, qPrintable(error));
            QVERIFY2(!widget->windowTitle().isEmpty(), qPrintable(QString::number(id)));
        }
        std::vector<std::unique_ptr<views::FormDialog>> dialogs;
        dialogs.push_back(std::make_unique<AboutDialog>(module, app.identity(), nullptr));
        dialogs.push_back(std::make_unique<ToolArgumentDialog>(module, nullptr));
        dialogs.push_back(
            std::make_unique<ToolsDialog>(module, std::vector<config::ToolEntry>{}, nullptr));
        dialogs.push_back(std::make_unique<ProfileEditDialog>(module, protocol::ServerProfile{},
                                                              true, true, nullptr, nullptr));
        dialogs.push_back(std::make_unique<ProfileListDialog>(
            module, app.profiles(), app.settings(), started.frame().smallImages(), nullptr));
        auto tips = std::make_unique<TipsDialog>(module, app.settings(), app.tipsFile(), nullptr);
        // The first Japanese tip, not the sentence of a missing file.
        const QList<QLabel *> labels = tips->findChildren<QLabel *>(QStringLiteral("c1018"));
        QVERIFY(!labels.isEmpty());
        QVERIFY2(labels.first()->text().contains(QStringLiteral("チェックアウト")),
                 qPrintable(labels.first()->text()));
        dialogs.push_back(std::move(tips));
        for (const auto &dialog : dialogs) {
            const QByteArray which = QByteArray::number(dialog->formId());
            QVERIFY2(dialog->loadError().isEmpty(), which.constData());
            QVERIFY2(dialog->missingControls().isEmpty(), which.constData());
        }
        views::COptionSheet sheet(module, app.settings(), app.profiles(), std::nullopt, {},
                                  nullptr);
        QVERIFY(sheet.missingControls().isEmpty());
        QCOMPARE(sheet.windowTitle(), QStringLiteral("オプション"));
    }

    // scripts/deps installs Qt's translations, so their absence is a fault of the machine
    // here, not a case to pass over.
    void qtStandardButtonsFollowTheModule()
    {
        const auto texts = [] {
            QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                                 QDialogButtonBox::Yes | QDialogButtonBox::No);
            QMessageBox message(QMessageBox::Question, QString(), QString(),
                                QMessageBox::Yes | QMessageBox::No);
            QWizard wizard;
            return QStringList{
                box.button(QDialogButtonBox::Cancel)->text(),
                box.button(QDialogButtonBox::Yes)->text(), message.button(QMessageBox::No)->text(),
                wizard.buttonText(QWizard::NextButton), wizard.buttonText(QWizard::FinishButton)};
        };
        {
            qputenv("RAVELIND_CODEPAGE", "932");
            shelltest::StartedApp started;
            qputenv("RAVELIND_CODEPAGE", "437");
            QCOMPARE(started.startResult, 0);
            QVERIFY2(started.app->qtTranslationFile().endsWith(QStringLiteral("qtbase_ja.qm")),
                     "Qt's Japanese translation (qt6-translations-l10n) is not installed");
            QCOMPARE(texts(),
                     (QStringList{QStringLiteral("キャンセル"), QStringLiteral("はい(&Y)"),
                                  QStringLiteral("いいえ(&N)"), QStringLiteral("次へ(&N) >"),
                                  QStringLiteral("完了(&F)")}));
        }
        // The English module loads no translation, and the Japanese one is gone with its
        // application.
        shelltest::StartedApp english;
        QCOMPARE(english.startResult, 0);
        QVERIFY(english.app->qtTranslationFile().isEmpty());
        QCOMPARE(texts(), (QStringList{QStringLiteral("Cancel"), QStringLiteral("&Yes"),
                                       QStringLiteral("&No"), QStringLiteral("&Next >"),
                                       QStringLiteral("&Finish")}));
    }
};

QTEST_MAIN(TestModules)
#include "tst_modules.moc"
