// Server profiles from the main window: the list dialog, the profile editor, export and
// import, and the options dialog's removal of stored credentials.

#include "shelltestsupport.h"

#include "shell/profileeditdialog.h"
#include "shell/profilelistdialog.h"

#include <config/profilestore.h>
#include <config/registrykeys.h>
#include <config/settings.h>
#include <platform/registry.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>

using namespace shell;
using namespace config;

namespace {

protocol::ServerProfile profile(const std::string &name, const std::string &server,
                                std::uint16_t port)
{
    protocol::ServerProfile p;
    p.name = name;
    p.server = server;
    p.url = "/Service.asmx";
    p.userId = "u-" + name;
    p.port = port;
    p.timeout = 60;
    return p;
}

void writeProfiles(const QString &file, const std::vector<protocol::ServerProfile> &profiles,
                   bool withCredentials = false)
{
    platform::Registry registry(file.toStdString());
    ProfileStore store(registry);
    for (const auto &p : profiles)
        QCOMPARE(store.write(p, withCredentials), 0);
}

void setField(QWidget *dialog, int id, const QString &text)
{
    auto *field = dialog->findChild<QLineEdit *>(QStringLiteral("c%1").arg(id));
    QVERIFY(field);
    field->setText(text);
}

// Closes the message box that opens next and hands back its text.
void recordNextMessage(QString &text)
{
    shelltest::answerNextModal([&text](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        text = box->text();
        box->done(QMessageBox::Ok);
    });
}

// Picks `path` in the file dialog that opens next, then runs `then` (to answer what follows).
void chooseFile(const QString &path, std::function<void()> then = {})
{
    shelltest::answerNextModal([path, then](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY2(dialog, modal->metaObject()->className());
        if (then)
            then();
        // selectFile() leaves the name field alone while it has the focus, as it may have
        // here; so the folder is set and the name typed, as a user would.
        const QFileInfo chosen(path);
        dialog->setDirectory(chosen.absolutePath());
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        name->setText(chosen.fileName());
        QVERIFY2(QTest::qWaitFor([&] { return dialog->selectedFiles().value(0) == path; }, 10000),
                 qPrintable(dialog->selectedFiles().join(QLatin1Char('|'))));
        static_cast<QDialog *>(dialog)->accept(); // QFileDialog::accept() is protected
    });
}

std::vector<std::string> storedNames(CZemApp &app)
{
    std::vector<std::string> names;
    for (const auto &p : app.profiles().readAll())
        names.push_back(p.name);
    return names;
}

} // namespace

class TestProfiles : public QObject
{
    Q_OBJECT
private slots:
    void listShowsTheProfilesThatRead();
    void deleteRemovesTheStoredProfile();
    void addWritesTheProfileWithoutCredentials();
    void editUnderANewNameMovesTheProfile();
    void editorRefuses_data();
    void editorRefuses();
    void exportThenImportRestoresTheProfiles();
    void importAnsweredNoChangesNothing();
    void importOfADamagedFileIsRefused();
};

void TestProfiles::listShowsTheProfilesThatRead()
{
    shelltest::StartedApp started([](const QString &file) {
        writeProfiles(file, {profile("Local", "127.0.0.1", 8080), profile("Office", "vcs", 443)});
        platform::Registry registry(file.toStdString());
        // A profile whose port is text does not read and is not listed.
        QCOMPARE(registry.writeString(std::string(keys::kServers) + "\\Broken", keys::kPort, "80"),
                 0);
    });
    CZemApp &app = *started.app;
    ProfileListDialog dialog(app.module(), app.profiles(), app.settings(),
                             started.frame().smallImages(), nullptr);
    QCOMPARE(dialog.names(), (QStringList{"Local", "Office"}));
    // The first row is selected, so the keyboard can act at once.
    auto *list = dialog.findChild<QTreeWidget *>(QStringLiteral("c1055"));
    QCOMPARE(list->currentItem()->text(0), QStringLiteral("Local"));
    QVERIFY(dialog.findChild<QPushButton *>(QStringLiteral("c1056"))->isEnabled());
}

void TestProfiles::deleteRemovesTheStoredProfile()
{
    shelltest::StartedApp started([](const QString &file) {
        writeProfiles(file, {profile("Office", "vcs", 443), profile("Local", "127.0.0.1", 8080)});
    });
    CZemApp &app = *started.app;
    ProfileListDialog dialog(app.module(), app.profiles(), app.settings(),
                             started.frame().smallImages(), nullptr);
    QStringList deleted;
    connect(&dialog, &ProfileListDialog::profileDeleted, this,
            [&](const QString &n) { deleted << n; });
    auto *list = dialog.findChild<QTreeWidget *>(QStringLiteral("c1055"));
    QCOMPARE(dialog.names(), (QStringList{"Local", "Office"})); // sorted
    list->setCurrentItem(list->topLevelItem(0));
    QVERIFY(dialog.findChild<QPushButton *>(QStringLiteral("c1056"))->isEnabled());

    // The question comes first, and No (the default) keeps the profile.
    QString question;
    shelltest::answerNextModal([&question](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        question = box->text();
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
        box->button(QMessageBox::No)->click();
    });
    dialog.deleteSelected();
    QVERIFY(question.contains(QStringLiteral("Local")));
    QCOMPARE(storedNames(app), (std::vector<std::string>{"Office", "Local"}));

    // The Delete key in the list asks the same; Yes deletes.
    dialog.show();
    list->setFocus();
    shelltest::answerNextModal([](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        box->button(QMessageBox::Yes)->click();
    });
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(dialog.names(), QStringList{"Office"});
    QCOMPARE(deleted, QStringList{"Local"});
    QCOMPARE(storedNames(app), std::vector<std::string>{"Office"});
}

void TestProfiles::addWritesTheProfileWithoutCredentials()
{
    shelltest::StartedApp started;
    CZemApp &app = *started.app;
    ProfileListDialog dialog(app.module(), app.profiles(), app.settings(),
                             started.frame().smallImages(), nullptr);
    shelltest::answerNextModal([](QWidget *editor) {
        setField(editor, 1012, QStringLiteral("Lab"));
        setField(editor, 1017, QStringLiteral("lab.example.com"));
        setField(editor, 1020, QStringLiteral("/Service.asmx"));
        setField(editor, 1021, QStringLiteral("8443"));
        setField(editor, 1023, QStringLiteral("30"));
        editor->findChild<QCheckBox *>(QStringLiteral("c1022"))->setChecked(true);
        qobject_cast<QDialog *>(editor)->accept();
    });
    dialog.addProfile();
    QCOMPARE(dialog.names(), QStringList{"Lab"});
    protocol::ServerProfile stored;
    QCOMPARE(app.profiles().readByName("lab", stored), 0);
    protocol::ServerProfile expected = profile("Lab", "lab.example.com", 8443);
    expected.userId.clear();
    expected.timeout = 30;
    expected.useSsl = 1;
    QCOMPARE(stored, expected);
    std::vector<std::string> values;
    QCOMPARE(app.registry().valueNames(std::string(keys::kServers) + "\\Lab", values), 0);
    QCOMPARE(values.size(), std::size_t(8)); // no credential values
}

void TestProfiles::editUnderANewNameMovesTheProfile()
{
    shelltest::StartedApp started(
        [](const QString &file) { writeProfiles(file, {profile("Local", "127.0.0.1", 8080)}); });
    CZemApp &app = *started.app;
    ProfileListDialog dialog(app.module(), app.profiles(), app.settings(),
                             started.frame().smallImages(), nullptr);
    dialog.findChild<QTreeWidget *>(QStringLiteral("c1055"))->topLevelItem(0)->setSelected(true);
    shelltest::answerNextModal([](QWidget *editor) {
        setField(editor, 1012, QStringLiteral("Home"));
        qobject_cast<QDialog *>(editor)->accept();
    });
    dialog.editSelected();
    QCOMPARE(storedNames(app), std::vector<std::string>{"Home"});
    protocol::ServerProfile stored;
    QCOMPARE(app.profiles().readByName("Home", stored), 0);
    QCOMPARE(stored.userId, std::string("u-Local")); // kept, though the editor does not show it
    QCOMPARE(stored.port, 8080);
}

void TestProfiles::editorRefuses_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("complete profile") << 1012 << "Other" << true;
    QTest::newRow("empty name") << 1012 << "" << false;
    QTest::newRow("name of another profile, other case") << 1012 << "TAKEN" << false;
    QTest::newRow("name with a backslash") << 1012 << "a\\b" << false;
    QTest::newRow("no server") << 1017 << " " << false;
    QTest::newRow("no service path") << 1020 << "" << false;
    QTest::newRow("port 0") << 1021 << "0" << false;
    QTest::newRow("port above 65535") << 1021 << "65536" << false;
    QTest::newRow("port not a number") << 1021 << "http" << false;
    QTest::newRow("time-out 0") << 1023 << "0" << false;
    QTest::newRow("proxy on without a proxy server") << 1024 << "" << false;
}

void TestProfiles::editorRefuses()
{
    QFETCH(int, field);
    QFETCH(QString, value);
    QFETCH(bool, accepted);
    shelltest::StartedApp started;
    protocol::ServerProfile start = profile("Other", "host", 80);
    start.useProxy = 1;
    start.proxyServer = "proxy:3128";
    ProfileEditDialog editor(
        started.app->module(), start, true, false,
        [](const QString &n) {
            return n.compare(QStringLiteral("taken"), Qt::CaseInsensitive) == 0;
        },
        nullptr);
    setField(&editor, field, value);
    QString warning;
    if (!accepted)
        recordNextMessage(warning);
    editor.accept();
    QCOMPARE(editor.result() == QDialog::Accepted, accepted);
    QCOMPARE(warning.isEmpty(), accepted);
}

void TestProfiles::exportThenImportRestoresTheProfiles()
{
    shelltest::StartedApp started([](const QString &file) {
        writeProfiles(file, {profile("Local", "127.0.0.1", 8080), profile("Office", "vcs", 443)});
    });
    CZemApp &app = *started.app;
    CMainFrame &frame = started.frame();
    const QString exported = started.dir.filePath(QStringLiteral("profiles.rvl"));
    chooseFile(exported);
    frame.exportProfiles();
    QVERIFY(QFileInfo(exported).isFile());
    QCOMPARE(QFile(exported).permissions() & (QFile::ReadOther | QFile::ReadGroup),
             QFile::Permissions());

    QCOMPARE(app.profiles().remove("Local"), 0);
    QCOMPARE(app.profiles().write(profile("Temp", "t", 1), false), 0);
    frame.newBrowseWindow();
    QString question, done;
    chooseFile(exported, [&] {
        shelltest::answerNextModal([&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            QVERIFY2(box, modal->metaObject()->className());
            question = box->text();
            recordNextMessage(done);
            box->button(QMessageBox::Yes)->click(); // the answer is the clicked button
        });
    });
    frame.importProfiles();
    QVERIFY2(question.contains(QStringLiteral("Local")) &&
                 question.contains(QStringLiteral("Office")),
             qPrintable(question));
    QVERIFY(!done.isEmpty());
    QCOMPARE(storedNames(app), (std::vector<std::string>{"Local", "Office"}));
    // The browse windows showed the old profiles: one fresh window replaces them.
    QCOMPARE(frame.mdiArea()->subWindowList().size(), 1);
}

void TestProfiles::importAnsweredNoChangesNothing()
{
    shelltest::StartedApp started(
        [](const QString &file) { writeProfiles(file, {profile("Local", "127.0.0.1", 8080)}); });
    CZemApp &app = *started.app;
    const QString exported = started.dir.filePath(QStringLiteral("one.rvl"));
    QCOMPARE(app.profiles().exportTo(exported.toStdString()), 0);
    QCOMPARE(app.profiles().write(profile("Second", "s", 2), false), 0);
    chooseFile(exported, [] {
        shelltest::answerNextModal([](QWidget *modal) {
            qobject_cast<QMessageBox *>(modal)->button(QMessageBox::No)->click();
        });
    });
    started.frame().importProfiles();
    QCOMPARE(storedNames(app), (std::vector<std::string>{"Local", "Second"}));
}

void TestProfiles::importOfADamagedFileIsRefused()
{
    shelltest::StartedApp started(
        [](const QString &file) { writeProfiles(file, {profile("Local", "127.0.0.1", 8080)}); });
    const QString damaged = started.dir.filePath(QStringLiteral("damaged.rvl"));
    QFile f(damaged);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(
        "Ravelind Registry 1\n[Software\\Quellvane\\Ravelind\\Servers\\X]\n\"Port\"=dword:zz\n");
    f.close();
    QString refusal;
    chooseFile(damaged, [&] { recordNextMessage(refusal); });
    started.frame().importProfiles();
    QVERIFY(!refusal.isEmpty());
    QCOMPARE(storedNames(*started.app), std::vector<std::string>{"Local"});
}

QTEST_MAIN(TestProfiles)
#include "tst_profiles.moc"
