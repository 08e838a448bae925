// The tips dialog over a real settings file and tips file: what it shows and what it stores.

#include "shelltestsupport.h"

#include "shell/tipsdialog.h"

#include <views/common/languagemodule.h>

#include <config/settings.h>

#include <QCheckBox>
#include <QFile>
#include <QPushButton>

#include <utime.h>

using namespace shelltest;

class TstTips : public QObject
{
    Q_OBJECT

    static void writeTips(const QString &path, const QByteArray &text, time_t mtime)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
        f.close();
        const utimbuf times{mtime, mtime};
        ::utime(QFile::encodeName(path).constData(), &times);
    }

private slots:
    void showsTipsInTurnAndRemembersWhereItStopped()
    {
        StartedApp started;
        QCOMPARE(started.startResult, 0);
        const QString tips = started.dir.filePath(QStringLiteral("tips437.txt"));
        writeTips(tips, "; comment\nFirst\n Second line skipped\nSecond\n", 1000);
        {
            shell::TipsDialog dialog(started.app->module(), started.app->settings(),
                                     tips.toStdString(), nullptr);
            QCOMPARE(dialog.tipText(), QStringLiteral("First"));
            dialog.findChild<QPushButton *>(QStringLiteral("c1009"))->click();
            QCOMPARE(dialog.tipText(), QStringLiteral("Second"));
            dialog.reject(); // Cancel still keeps the position
        }
        QCOMPARE(started.app->settings().values().startUp, 0u);
        {
            shell::TipsDialog dialog(started.app->module(), started.app->settings(),
                                     tips.toStdString(), nullptr);
            QCOMPARE(dialog.tipText(), QStringLiteral("First")); // wrapped after the last
        }
        // A replaced file starts again at its first tip.
        writeTips(tips, "Fresh one\nFresh two\n", 2000000);
        shell::TipsDialog dialog(started.app->module(), started.app->settings(), tips.toStdString(),
                                 nullptr);
        QCOMPARE(dialog.tipText(), QStringLiteral("Fresh one"));
    }

    void clearingTheBoxStoresStartUpOnlyOnOk()
    {
        StartedApp started;
        const QString tips = started.dir.filePath(QStringLiteral("tips437.txt"));
        writeTips(tips, "Only\n", 1000);
        {
            shell::TipsDialog dialog(started.app->module(), started.app->settings(),
                                     tips.toStdString(), nullptr);
            auto *box = dialog.findChild<QCheckBox *>(QStringLiteral("c1005"));
            QVERIFY(box->isChecked());
            box->setChecked(false);
            dialog.reject();
        }
        QCOMPARE(started.app->settings().values().startUp, 0u);
        {
            shell::TipsDialog dialog(started.app->module(), started.app->settings(),
                                     tips.toStdString(), nullptr);
            dialog.findChild<QCheckBox *>(QStringLiteral("c1005"))->setChecked(false);
            dialog.accept();
        }
        QCOMPARE(started.app->settings().values().startUp, 1u);
        // Read back from the file, as the next start would.
        config::Settings reread(started.app->registry());
        QCOMPARE(reread.load(), 0);
        QCOMPARE(reread.values().startUp, 1u);
        QVERIFY(!reread.values().timeStamp.empty());
    }

    void aMissingOrEmptyFileSaysSoAndDisablesNextTip()
    {
        StartedApp started;
        const QString missing = started.dir.filePath(QStringLiteral("nothing.txt"));
        {
            shell::TipsDialog dialog(started.app->module(), started.app->settings(),
                                     missing.toStdString(), nullptr);
            QCOMPARE(dialog.tipText(), started.app->module().text(109));
            QVERIFY(!dialog.findChild<QPushButton *>(QStringLiteral("c1009"))->isEnabled());
        }
        QCOMPARE(started.app->settings().values().filePos, 0u);

        const QString empty = started.dir.filePath(QStringLiteral("tips437.txt"));
        writeTips(empty, "; nothing but comments\n\n", 1000);
        shell::TipsDialog dialog(started.app->module(), started.app->settings(),
                                 empty.toStdString(), nullptr);
        QCOMPARE(dialog.tipText(), started.app->module().text(3095));
        QVERIFY(!dialog.findChild<QPushButton *>(QStringLiteral("c1009"))->isEnabled());
    }

    void theShippedTipsFileIsFoundBesideTheModule()
    {
        StartedApp started;
        const std::filesystem::path file = started.app->tipsFile();
        QVERIFY(std::filesystem::exists(file));
        shell::TipsDialog dialog(started.app->module(), started.app->settings(), file, nullptr);
        QVERIFY(!dialog.tipText().isEmpty());
        QVERIFY(dialog.tipText() != started.app->module().text(109));
        QVERIFY(dialog.missingControls().isEmpty());
    }
};

QTEST_MAIN(TstTips)
#include "tst_tips.moc"
