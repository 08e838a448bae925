// The options sheet over a real settings file: which pages are written, and what happens to
// the stored credentials of the servers the browse window shows.

#include "shelltestsupport.h"

#include <config/profilestore.h>
#include <config/registrykeys.h>
#include <config/settings.h>
#include <platform/registry.h>
#include <views/common/languagemodule.h>
#include <views/dialogs/optionsheet.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QTabWidget>

using namespace config;
using views::COptionSheet;

namespace {

protocol::ServerProfile profile(const std::string &name, const std::string &password)
{
    protocol::ServerProfile p;
    p.name = name;
    p.server = "127.0.0.1";
    p.url = "/Service.asmx";
    p.userId = "u-" + name;
    p.port = 8080;
    p.timeout = 60;
    p.userName = "user-" + name;
    p.password = password;
    p.proxyUserName = "proxy-" + name;
    p.proxyPassword = "proxy-" + password;
    return p;
}

// Two stored profiles with credentials, and SaveUserPass as given.
std::function<void(const QString &)> storeProfiles(std::uint32_t saveUserPass)
{
    return [saveUserPass](const QString &file) {
        platform::Registry registry(file.toStdString());
        ProfileStore store(registry);
        QCOMPARE(store.write(profile("Shown", "old"), true), 0);
        QCOMPARE(store.write(profile("Other", "kept"), true), 0);
        QCOMPARE(registry.writeDword(keys::kSettings, keys::kSaveUserPass, saveUserPass), 0);
    };
}

std::string stored(shell::CZemApp &app, const std::string &name, std::string_view value)
{
    std::string text = "(missing)";
    (void)app.registry().readString(std::string(keys::kServers) + "\\" + name, value, text);
    return text;
}

template<class T> T *control(COptionSheet &sheet, int page, int id)
{
    return sheet.pages()->widget(page)->findChild<T *>(QStringLiteral("c%1").arg(id));
}

void answerNextQuestion(QMessageBox::StandardButton answer, QString *text = nullptr)
{
    shelltest::answerNextModal([answer, text](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        if (text)
            *text = box->text();
        QAbstractButton *button = box->button(answer);
        QVERIFY(button);
        button->click();
    });
}

} // namespace

class TstOptionSheet : public QObject
{
    Q_OBJECT
private slots:
    void turningSavingOffRemovesTheCredentialsOfTheShownServersAfterAsking()
    {
        shelltest::StartedApp started(storeProfiles(1));
        shell::CZemApp &app = *started.app;
        COptionSheet sheet(app.module(), app.settings(), app.profiles(),
                           std::vector{profile("Shown", "old")}, {}, nullptr);
        QVERIFY(sheet.missingControls().isEmpty());
        control<QCheckBox>(sheet, 0, 1026)->setChecked(false);

        // Going back writes nothing.
        answerNextQuestion(QMessageBox::No);
        QVERIFY(!sheet.apply());
        QCOMPARE(app.settings().values().saveUserPass, 1u);
        QCOMPARE(stored(app, "Shown", keys::kPassword), "old");

        QString question;
        answerNextQuestion(QMessageBox::Yes, &question);
        QVERIFY(sheet.apply());
        QVERIFY(question.contains(QStringLiteral("Shown")));
        QCOMPARE(app.settings().values().saveUserPass, 0u);
        for (auto value :
             {keys::kUserName, keys::kPassword, keys::kProxyUserName, keys::kProxyPassword})
            QCOMPARE(stored(app, "Shown", value), "(missing)");
        // The rest of the profile, and a server the window does not show, stay as they were.
        QCOMPARE(stored(app, "Shown", keys::kServer), "127.0.0.1");
        QCOMPARE(stored(app, "Other", keys::kPassword), "kept");
    }

    void withoutABrowseWindowTheStoredCredentialsStay()
    {
        shelltest::StartedApp started(storeProfiles(1));
        shell::CZemApp &app = *started.app;
        COptionSheet sheet(app.module(), app.settings(), app.profiles(), std::nullopt, {}, nullptr);
        control<QCheckBox>(sheet, 0, 1026)->setChecked(false);
        QVERIFY(sheet.apply()); // no question: nothing is removed
        QCOMPARE(app.settings().values().saveUserPass, 0u);
        QCOMPARE(stored(app, "Shown", keys::kPassword), "old");
    }

    void turningSavingOnWritesWhatTheShownProfilesHold()
    {
        shelltest::StartedApp started(storeProfiles(0));
        shell::CZemApp &app = *started.app;
        protocol::ServerProfile inTree = profile("Shown", "typed at log-on");
        inTree.server = "changed.example"; // only the four credential values are written
        COptionSheet sheet(app.module(), app.settings(), app.profiles(), std::vector{inTree}, {},
                           nullptr);
        control<QCheckBox>(sheet, 0, 1026)->setChecked(true);
        QVERIFY(sheet.apply());
        QCOMPARE(stored(app, "Shown", keys::kPassword), "typed at log-on");
        QCOMPARE(stored(app, "Shown", keys::kProxyPassword), "proxy-typed at log-on");
        QCOMPARE(stored(app, "Shown", keys::kServer), "127.0.0.1");
        QCOMPARE(stored(app, "Other", keys::kPassword), "kept");
    }

    void aServerDeletedMeanwhileIsNotWrittenBack()
    {
        shelltest::StartedApp started(storeProfiles(0));
        shell::CZemApp &app = *started.app;
        COptionSheet sheet(app.module(), app.settings(), app.profiles(),
                           std::vector{profile("Gone", "x")}, {}, nullptr);
        control<QCheckBox>(sheet, 0, 1026)->setChecked(true);
        QString warning;
        answerNextQuestion(QMessageBox::Ok, &warning);
        QVERIFY(!sheet.apply());
        QVERIFY(warning.contains(QStringLiteral("Gone")));
        std::vector<std::string> names;
        QCOMPARE(app.profiles().names(names), 0);
        QCOMPARE(names, (std::vector<std::string>{"Shown", "Other"}));
    }

    void onlyPagesThatWereShownAreWritten()
    {
        shelltest::StartedApp started;
        shell::CZemApp &app = *started.app;
        const SettingsValues before = app.settings().values();
        COptionSheet sheet(app.module(), app.settings(), app.profiles(), std::nullopt, {}, nullptr);
        control<QCheckBox>(sheet, 1, 1070)->setChecked(before.displayUnitSize == 0);
        control<QLineEdit>(sheet, 2, 1010)->setText(QStringLiteral("/srv/gets"));
        control<QRadioButton>(sheet, 3, 1071)->setChecked(true);
        control<QCheckBox>(sheet, 3, 1073)->setChecked(true);
        QVERIFY(sheet.apply());
        QCOMPARE(app.settings().values().displayUnitSize, before.displayUnitSize);
        QCOMPARE(app.settings().values().defaultGetFileFolder, before.defaultGetFileFolder);
        QCOMPARE(app.settings().values().deleteLocalFile, before.deleteLocalFile);
        QCOMPARE(app.settings().values().undoUnchangedCheckIn, before.undoUnchangedCheckIn);

        for (int page : {1, 2, 3})
            sheet.pages()->setCurrentIndex(page);
        QVERIFY(sheet.apply());
        config::Settings reread(app.registry());
        QCOMPARE(reread.load(), 0);
        QCOMPARE(reread.values().displayUnitSize, before.displayUnitSize == 0 ? 1u : 0u);
        QCOMPARE(reread.values().defaultGetFileFolder, "/srv/gets");
        QCOMPARE(reread.values().deleteLocalFile, 1u);
        QCOMPARE(reread.values().undoUnchangedCheckIn, 1u);
    }

    // The "always" answer of the check-in's question shows on the local-files page, and
    // clearing it there brings the question back.
    void theUnchangedCheckInAnswerCanBeTakenBack()
    {
        shelltest::StartedApp started;
        shell::CZemApp &app = *started.app;
        SettingsValues v = app.settings().values();
        v.undoUnchangedCheckIn = 1;
        QCOMPARE(app.settings().write(v, {config::SettingField::UndoUnchangedCheckIn}), 0);
        COptionSheet sheet(app.module(), app.settings(), app.profiles(), std::nullopt, {}, nullptr);
        sheet.pages()->setCurrentIndex(3);
        auto *box = control<QCheckBox>(sheet, 3, 1073);
        QVERIFY(box->isChecked());
        box->setChecked(false);
        QVERIFY(sheet.apply());
        config::Settings reread(app.registry());
        QCOMPARE(reread.load(), 0);
        QCOMPARE(reread.values().undoUnchangedCheckIn, 0u);
    }

    void cancelWritesNothing()
    {
        shelltest::StartedApp started(storeProfiles(1));
        shell::CZemApp &app = *started.app;
        const QString file = started.dir.filePath(QStringLiteral("registry.reg"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray before = f.readAll();
        f.close();
        {
            COptionSheet sheet(app.module(), app.settings(), app.profiles(),
                               std::vector{profile("Shown", "old")}, {}, nullptr);
            control<QCheckBox>(sheet, 0, 1026)->setChecked(false);
            control<QCheckBox>(sheet, 0, 1069)->setChecked(false);
            sheet.pages()->setCurrentIndex(2);
            control<QLineEdit>(sheet, 2, 1015)->setText(QStringLiteral("/elsewhere"));
            sheet.reject();
        }
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }
};

QTEST_MAIN(TstOptionSheet)
#include "tst_optionsheet.moc"
