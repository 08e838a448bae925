// The server-profile dialogs against the reference service (with and without HTTP
// authentication): the add-server and logon wizards, the properties sheet, rename and delete
// of a server, and the work-folder dialog.

#include "servertestsupport.h"

#include "views/common/languagemodule.h"
#include "views/dialogs/serverflows.h"
#include "views/dialogs/serverpages.h"
#include "views/dialogs/serversheet.h"
#include "views/dialogs/serverwizards.h"
#include "views/dialogs/workfolderdialog.h"

#include <config/profilestore.h>
#include <config/registrykeys.h>
#include <platform/registry.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>

using namespace views;
using protocol::ServerProfile;

namespace {

constexpr char kUser[] = "ann";
constexpr char kPassword[] = "secret";
// Nothing listens there: connecting is refused at once.
constexpr int kClosedPort = 1;

// Runs `answer` on the next modal widget of type T that opens, from the event loop the
// modal widget (or a wait for a service call) runs.
// The answers not given yet; a test that fails early must not leave one to answer the next
// test's dialog.
QList<QPointer<QTimer>> g_pendingAnswers;

template<class T> void answerNext(std::function<void(T *)> answer)
{
    auto *timer = new QTimer;
    g_pendingAnswers.append(timer);
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, answer = std::move(answer)] {
        if (auto *modal = qobject_cast<T *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            answer(modal);
        }
    });
    timer->start();
}

// Closes the next message box with `button` and keeps its text.
void answerMessage(QString *text, QMessageBox::StandardButton button = QMessageBox::Ok)
{
    answerNext<QMessageBox>([text, button](QMessageBox *box) {
        if (text)
            *text = box->text();
        // Clicked, not done(): the static message box functions answer the clicked button.
        if (QAbstractButton *b = box->button(button))
            b->click();
        else
            box->done(button);
    });
}

void setText(QWidget *page, int id, const QString &text)
{
    auto *field = page->findChild<QLineEdit *>(QStringLiteral("c%1").arg(id));
    QVERIFY(field);
    field->setText(text);
    field->setModified(true);
}

QLineEdit *field(QWidget *page, int id)
{
    return page->findChild<QLineEdit *>(QStringLiteral("c%1").arg(id));
}

QCheckBox *box(QWidget *page, int id)
{
    return page->findChild<QCheckBox *>(QStringLiteral("c%1").arg(id));
}

// Types a whole new profile into the add-server wizard and goes to its last page.
void fillAddWizard(AddServerWizard &wizard, const QString &name, int port, const QString &user,
                   const QString &password)
{
    setText(wizard.infoPage(), 1012, name);
    setText(wizard.infoPage(), 1017, QStringLiteral("127.0.0.1"));
    setText(wizard.infoPage(), 1020, QStringLiteral("/Service.asmx"));
    setText(wizard.infoPage(), 1021, QString::number(port));
    setText(wizard.infoPage(), 1023, QStringLiteral("20"));
    wizard.next();
    wizard.next();
    setText(wizard.logonPage(), 1001, user);
    setText(wizard.logonPage(), 1004, password);
}

ServerProfile localProfile(const std::string &name, int port)
{
    ServerProfile p;
    p.name = name;
    p.server = "127.0.0.1";
    p.url = "/Service.asmx";
    p.port = static_cast<std::uint16_t>(port);
    p.timeout = 20;
    p.userId = "tester";
    return p;
}

} // namespace

class TestServerDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void everyPageFindsItsControls();
    void decimalTexts_data();
    void decimalTexts();
    void finishRefusedOnBadNumbers_data();
    void finishRefusedOnBadNumbers();
    void nextRefusesANumberThatCannotWork_data();
    void nextRefusesANumberThatCannotWork();
    void addWizardRefusesAnotherProfilesName();
    void wizardButtonsPerPage();
    void proxyFieldsFollowTheProxy();
    void newProfileUserIdAndCredentials_data();
    void newProfileUserIdAndCredentials();
    void addServerLogsOnAndSaves_data();
    void addServerLogsOnAndSaves();
    void logonWizard_data();
    void logonWizard();
    void logonResultReplacesTheUserId();
    void logonWizardStaysOpenWhenTheProfileCannotBeSaved();
    void aRefusedLogonKeepsTheStoredCredentials();
    void sheetRename_data();
    void sheetRename();
    void sheetWithoutSaveUserPassKeepsTheRunsCredentials();
    void sheetRefusesANumberFieldThatIsNoNumber_data();
    void sheetRefusesANumberFieldThatIsNoNumber();
    void labelRename_data();
    void labelRename();
    void deleteServer_data();
    void deleteServer();
    void workFolderDialog_data();
    void workFolderDialog();
    void workFolderDialogFailuresAndClearing_data();
    void workFolderDialogFailuresAndClearing();
    void workFolderDialogWantsAFullPath();
    void workFolderBrowseStartsAtTheTypedFolder();

private:
    ServerFlowContext context(bool saveUserPass);
    // The stored values of a profile key, by name.
    QStringList storedValueNames(const std::string &profile);
    std::vector<std::string> storedNames();

    std::unique_ptr<LanguageModule> m_module;
    servertest::TempDir m_openData;
    servertest::TempDir m_authData;
    servertest::ServerProcess m_open; // no HTTP authentication, demo data
    servertest::ServerProcess m_auth; // --user ann:secret
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<platform::Registry> m_registry;
    std::unique_ptr<config::ProfileStore> m_store;
    platform::MachineIdentity m_identity;
};

void TestServerDialogs::initTestCase()
{
    const auto location = findModule(437, {QStringLiteral(RAVELIND_MODULE_DIR)});
    QVERIFY(location);
    QString error;
    m_module = LanguageModule::open(*location, error);
    QVERIFY2(m_module, qPrintable(error));
    QVERIFY(m_open.start(m_openData.path(), {"--seed-demo"}));
    QVERIFY(m_auth.start(m_authData.path(),
                         {"--seed-demo", "--user", std::string(kUser) + ":" + kPassword}));
    m_identity = platform::readMachineIdentity();
    m_identity.userName = "tester";
}

void TestServerDialogs::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_registry = std::make_unique<platform::Registry>(
        m_dir->filePath(QStringLiteral("registry.reg")).toStdString());
    m_store = std::make_unique<config::ProfileStore>(*m_registry);
}

void TestServerDialogs::cleanup()
{
    for (const QPointer<QTimer> &timer : std::as_const(g_pendingAnswers))
        delete timer.data();
    g_pendingAnswers.clear();
    m_store.reset();
    m_registry.reset();
    m_dir.reset();
}

ServerFlowContext TestServerDialogs::context(bool saveUserPass)
{
    return ServerFlowContext{*m_module, *m_store, saveUserPass, m_identity, engine::ServiceCalls()};
}

QStringList TestServerDialogs::storedValueNames(const std::string &profile)
{
    std::vector<std::string> names;
    if (m_registry->valueNames(std::string(config::keys::kServers) + "\\" + profile, names) != 0)
        return {};
    QStringList result;
    for (const std::string &n : names)
        result.append(QString::fromStdString(n));
    return result;
}

std::vector<std::string> TestServerDialogs::storedNames()
{
    std::vector<std::string> names;
    [&] {
        QCOMPARE(m_store->names(names), 0);
    }();
    return names;
}

void TestServerDialogs::everyPageFindsItsControls()
{
    const ServerInfoPage info(*m_module);
    const ServerProxyPage proxy(*m_module);
    const ServerLogonPage logon(*m_module);
    for (const ServerPage *page :
         {static_cast<const ServerPage *>(&info), static_cast<const ServerPage *>(&proxy),
          static_cast<const ServerPage *>(&logon)}) {
        const QByteArray which = QByteArray::number(page->formId());
        QVERIFY2(page->loadError().isEmpty(), which.constData());
        QVERIFY2(
            page->missingControls().isEmpty(),
            (which + ": " + page->missingControls().join(QLatin1Char(',')).toUtf8()).constData());
        QVERIFY(!page->title().isEmpty() && !page->subTitle().isEmpty());
    }
    const WorkFolderDialog dialog(*m_module, {}, {}, std::nullopt, engine::ServiceCalls());
    QVERIFY(dialog.loadError().isEmpty());
    QVERIFY2(dialog.missingControls().isEmpty(),
             qPrintable(dialog.missingControls().join(QLatin1Char(','))));
}

// --- Pure rules ----------------------------------------------------------------------------

void TestServerDialogs::decimalTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("parses");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "8080" << true << 8080;
    QTest::newRow("blanks around") << " 60 " << true << 60;
    QTest::newRow("leading plus") << "+80" << true << 80;
    QTest::newRow("leading minus") << "-5" << true << -5;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("sign alone") << "-" << false << 0;
    QTest::newRow("letters after digits") << "80x" << false << 0;
    QTest::newRow("blank inside") << "8 0" << false << 0;
    QTest::newRow("letters") << "port" << false << 0;
    QTest::newRow("largest") << "2147483647" << true << 2147483647;
    QTest::newRow("too large") << "2147483648" << false << 0;
    QTest::newRow("smallest") << "-2147483648" << true << int(-2147483647 - 1);
    QTest::newRow("far too large") << "99999999999999999999" << false << 0;
}

void TestServerDialogs::decimalTexts()
{
    QFETCH(QString, text);
    QFETCH(bool, parses);
    QFETCH(int, value);
    const std::optional<int> parsed = parseDecimal(text);
    QCOMPARE(parsed.has_value(), parses);
    QCOMPARE(decimalOrZero(text), value);
}

// --- Add-server wizard ---------------------------------------------------------------------

void TestServerDialogs::finishRefusedOnBadNumbers_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("timeout");
    QTest::addColumn<bool>("finishes");
    QTest::newRow("both numbers") << "8080"
                                  << "60" << true;
    QTest::newRow("port not a number") << "80a"
                                       << "60" << false;
    QTest::newRow("port empty") << ""
                                << "60" << false;
    QTest::newRow("time-out not a number") << "8080"
                                           << "one minute" << false;
    QTest::newRow("time-out empty") << "8080"
                                    << "" << false;
}

void TestServerDialogs::finishRefusedOnBadNumbers()
{
    QFETCH(QString, port);
    QFETCH(QString, timeout);
    QFETCH(bool, finishes);
    AddServerWizard wizard(*m_module, {}, true);
    wizard.show();
    fillAddWizard(wizard, QStringLiteral("New"), 80, {}, {});
    setText(wizard.infoPage(), 1021, port);
    setText(wizard.infoPage(), 1023, timeout);
    QCOMPARE(wizard.currentPage(), wizard.logonPage());
    // Refused without a message: a message box would block this click.
    wizard.button(QWizard::FinishButton)->click();
    QCOMPARE(wizard.isVisible(), !finishes);
    QCOMPARE(wizard.result() == QDialog::Accepted, finishes);
    if (finishes)
        QCOMPARE(wizard.profile(false, "me").port, std::uint16_t(8080));
}

void TestServerDialogs::nextRefusesANumberThatCannotWork_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("timeout");
    QTest::addColumn<int>("refusal"); // 0: Next goes on
    QTest::newRow("port above 16 bits") << "70000"
                                        << "60" << 3043;
    QTest::newRow("port 0") << "0"
                            << "60" << 3043;
    QTest::newRow("negative time-out") << "8080"
                                       << "-5" << 3044;
    QTest::newRow("time-out 0") << "8080"
                                << "0" << 3044;
    QTest::newRow("a day") << "65535"
                           << "86400" << 0;
    // Not numbers at all: refused only by Finish, without a message.
    QTest::newRow("no number") << "80a"
                               << "60" << 0;
}

void TestServerDialogs::nextRefusesANumberThatCannotWork()
{
    QFETCH(QString, port);
    QFETCH(QString, timeout);
    QFETCH(int, refusal);
    AddServerWizard wizard(*m_module, {}, true);
    wizard.show();
    setText(wizard.infoPage(), 1012, QStringLiteral("New"));
    setText(wizard.infoPage(), 1017, QStringLiteral("127.0.0.1"));
    setText(wizard.infoPage(), 1020, QStringLiteral("/Service.asmx"));
    setText(wizard.infoPage(), 1021, port);
    setText(wizard.infoPage(), 1023, timeout);
    QString message;
    if (refusal != 0)
        answerMessage(&message);
    wizard.next();
    if (refusal == 0) {
        QCOMPARE(wizard.currentPage(), static_cast<QWizardPage *>(wizard.proxyPage()));
        return;
    }
    QCOMPARE(message, m_module->text(refusal));
    QCOMPARE(wizard.currentPage(), static_cast<QWizardPage *>(wizard.infoPage()));
}

void TestServerDialogs::addWizardRefusesAnotherProfilesName()
{
    QCOMPARE(m_store->write(localProfile("Local", 80), false), 0);
    config::ProfileStore &store = *m_store;
    AddServerWizard wizard(
        *m_module,
        [&store](const QString &n) { return !store.storedName(n.toStdString()).empty(); }, true);
    wizard.show();
    setText(wizard.infoPage(), 1012, QStringLiteral("LOCAL"));
    QString message;
    answerMessage(&message);
    wizard.next();
    QVERIFY2(message.contains(QStringLiteral("\"Local\"")) ||
                 message.contains(QStringLiteral("\"LOCAL\"")),
             qPrintable(message));
    QCOMPARE(wizard.currentPage(), wizard.infoPage());
    setText(wizard.infoPage(), 1012, QStringLiteral("Remote"));
    wizard.next();
    QCOMPARE(wizard.currentPage(), wizard.proxyPage());
}

void TestServerDialogs::wizardButtonsPerPage()
{
    // Next alone on the connection page, Back and Next on the proxy page, Back and Finish on
    // the credentials page; the logon wizard has Finish alone.
    const auto shown = [](QWizard &wizard) {
        QStringList names;
        const std::pair<QWizard::WizardButton, const char *> buttons[] = {
            {QWizard::BackButton, "Back"},
            {QWizard::NextButton, "Next"},
            {QWizard::FinishButton, "Finish"}};
        for (const auto &[which, name] : buttons) {
            if (wizard.button(which)->isVisible() && wizard.button(which)->isEnabled())
                names << QString::fromLatin1(name);
        }
        return names.join(QLatin1Char(' '));
    };
    AddServerWizard add(*m_module, {}, true);
    add.show();
    QCOMPARE(shown(add), QStringLiteral("Next"));
    setText(add.infoPage(), 1012, QStringLiteral("New"));
    add.next();
    QCOMPARE(add.currentPage(), add.proxyPage());
    QCOMPARE(shown(add), QStringLiteral("Back Next"));
    add.next();
    QCOMPARE(add.currentPage(), add.logonPage());
    QCOMPARE(shown(add), QStringLiteral("Back Finish"));

    LogonWizard logon(*m_module, localProfile("P", 80), engine::ServiceCalls(), m_identity,
                      *m_store, false, true);
    logon.show();
    QCOMPARE(shown(logon), QStringLiteral("Finish"));

    // Both carry the caption "A" and the header bitmap; each page its own header texts.
    for (QWizard *wizard : {static_cast<QWizard *>(&add), static_cast<QWizard *>(&logon)}) {
        QCOMPARE(wizard->windowTitle(), QStringLiteral("A"));
        QVERIFY(!wizard->pixmap(QWizard::LogoPixmap).isNull());
    }
    const std::pair<QWizardPage *, std::array<int, 2>> headers[] = {
        {add.infoPage(), {146, 148}}, {add.proxyPage(), {158, 160}}, {add.logonPage(), {163, 164}}};
    for (const auto &[page, ids] : headers) {
        QCOMPARE(page->title(), m_module->text(ids[0]));
        QCOMPARE(page->subTitle(), m_module->text(ids[1]));
    }
}

void TestServerDialogs::proxyFieldsFollowTheProxy()
{
    AddServerWizard wizard(*m_module, {}, true);
    wizard.show();
    fillAddWizard(wizard, QStringLiteral("New"), 80, {}, {});
    QVERIFY(!field(wizard.logonPage(), 1007)->isEnabled());
    QVERIFY(!field(wizard.logonPage(), 1013)->isEnabled());
    QVERIFY(field(wizard.logonPage(), 1001)->isEnabled());
    wizard.back();
    QVERIFY(!field(wizard.proxyPage(), 1024)->isEnabled());
    box(wizard.proxyPage(), 1027)->click();
    QVERIFY(field(wizard.proxyPage(), 1024)->isEnabled());
    wizard.next();
    QVERIFY(field(wizard.logonPage(), 1007)->isEnabled());
    QVERIFY(field(wizard.logonPage(), 1013)->isEnabled());
    wizard.back();
    box(wizard.proxyPage(), 1027)->click();
    QVERIFY(!field(wizard.proxyPage(), 1024)->isEnabled());

    // The logon wizard: the profile's own proxy switch decides.
    for (const bool proxy : {false, true}) {
        ServerProfile p = localProfile("P", 80);
        p.useProxy = proxy ? 1 : 0;
        p.proxyServer = "proxy:3128";
        p.proxyUserName = "pu";
        LogonWizard logon(*m_module, p, engine::ServiceCalls(), m_identity, *m_store, true, true);
        logon.show();
        QCOMPARE(field(logon.logonPage(), 1007)->isEnabled(), proxy);
        QCOMPARE(field(logon.logonPage(), 1013)->isEnabled(), proxy);
        QCOMPARE(field(logon.logonPage(), 1007)->text(), proxy ? QStringLiteral("pu") : QString());
        QVERIFY(field(logon.logonPage(), 1004)->isEnabled());
    }
}

void TestServerDialogs::newProfileUserIdAndCredentials_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<bool>("saveUserPass");
    QTest::addColumn<QString>("userId");
    QTest::addColumn<QString>("storedPassword");
    QTest::newRow("user typed, credentials saved") << "jane" << true << "jane"
                                                   << "pw";
    QTest::newRow("user typed, not saved") << "jane" << false << "jane"
                                           << "";
    QTest::newRow("no user: this machine's user") << "" << true << "tester"
                                                  << "pw";
}

void TestServerDialogs::newProfileUserIdAndCredentials()
{
    QFETCH(QString, user);
    QFETCH(bool, saveUserPass);
    QFETCH(QString, userId);
    QFETCH(QString, storedPassword);
    AddServerWizard wizard(*m_module, {}, true);
    wizard.show();
    fillAddWizard(wizard, QStringLiteral("New"), 80, user, QStringLiteral("pw"));
    wizard.button(QWizard::FinishButton)->click();
    QCOMPARE(wizard.result(), int(QDialog::Accepted));
    const ServerProfile p = wizard.profile(saveUserPass, "tester");
    QCOMPARE(QString::fromStdString(p.userId), userId);
    QCOMPARE(QString::fromStdString(p.password), storedPassword);
    QCOMPARE(QString::fromStdString(p.userName), saveUserPass ? user : QString());
    QCOMPARE(p.timeout, 20u);
    QCOMPARE(p.connected, 0u);
}

// --- Add and log on against the service ----------------------------------------------------

void TestServerDialogs::addServerLogsOnAndSaves_data()
{
    QTest::addColumn<bool>("authService");
    QTest::addColumn<bool>("closedPort");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("saveUserPass");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QString>("userId");
    QTest::newRow("open service") << false << false << ""
                                  << "" << false << true << "tester";
    QTest::newRow("HTTP authentication, credentials saved")
        << true << false << kUser << kPassword << true << true << kUser;
    // Without SaveUserPass the new profile holds no credentials, so this logon goes without.
    QTest::newRow("HTTP authentication, credentials not saved")
        << true << false << kUser << kPassword << false << false << kUser;
    QTest::newRow("wrong password") << true << false << kUser << "wrong" << true << false << kUser;
    QTest::newRow("no service on the port") << false << true << ""
                                            << "" << false << false << "tester";
}

void TestServerDialogs::addServerLogsOnAndSaves()
{
    QFETCH(bool, authService);
    QFETCH(bool, closedPort);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, saveUserPass);
    QFETCH(bool, connected);
    QFETCH(QString, userId);
    const int port = closedPort ? kClosedPort : authService ? m_auth.port() : m_open.port();
    QString failure;
    bool answered = false;
    answerNext<AddServerWizard>([&](AddServerWizard *wizard) {
        fillAddWizard(*wizard, QStringLiteral("Added"), port, user, password);
        answered = true;
        if (!connected)
            answerMessage(&failure);
        wizard->button(QWizard::FinishButton)->click();
    });
    const std::optional<AddedServer> added = addServer(context(saveUserPass), nullptr);
    QVERIFY(answered);
    QVERIFY(added);
    QCOMPARE(added->profile.connected, connected ? 1u : 0u);
    QCOMPARE(QString::fromStdString(added->profile.userId), userId);
    QCOMPARE(added->saved, 0);
    QCOMPARE(failure.isEmpty(), connected);

    // Added and saved in every case; credentials only with SaveUserPass.
    ServerProfile stored;
    QCOMPARE(m_store->readByName("Added", stored), 0);
    QCOMPARE(QString::fromStdString(stored.userId), userId);
    QCOMPARE(stored.port, std::uint16_t(port));
    QCOMPARE(storedValueNames("Added").contains(QStringLiteral("Password")), saveUserPass);
    if (saveUserPass)
        QCOMPARE(QString::fromStdString(stored.password), password);
}

void TestServerDialogs::logonWizard_data()
{
    QTest::addColumn<bool>("saveUserPass");
    QTest::addColumn<QString>("firstPassword");
    QTest::newRow("right password, credentials saved") << true << kPassword;
    QTest::newRow("right password, not saved") << false << kPassword;
    QTest::newRow("wrong password first") << true << "wrong";
}

void TestServerDialogs::logonWizard()
{
    QFETCH(bool, saveUserPass);
    QFETCH(QString, firstPassword);
    ServerProfile profile = localProfile("Auth", m_auth.port());
    profile.userId = kUser;
    QCOMPARE(m_store->write(profile, false), 0);

    LogonWizard wizard(*m_module, profile, engine::ServiceCalls(), m_identity, *m_store,
                       saveUserPass, true);
    wizard.show();
    QVERIFY(field(wizard.logonPage(), 1001)->text().isEmpty());
    setText(wizard.logonPage(), 1001, QString::fromLatin1(kUser));
    setText(wizard.logonPage(), 1004, firstPassword);
    const bool wrongFirst = firstPassword != QLatin1String(kPassword);
    QString failure;
    if (wrongFirst) {
        answerMessage(&failure);
        wizard.button(QWizard::FinishButton)->click();
        // Stays open with the reason, not connected; the user corrects the password.
        QVERIFY(wizard.isVisible());
        QVERIFY2(!failure.isEmpty(), "no message");
        QCOMPARE(wizard.profile().connected, 0u);
        setText(wizard.logonPage(), 1004, QString::fromLatin1(kPassword));
    }
    wizard.button(QWizard::FinishButton)->click();
    QVERIFY(!wizard.isVisible());
    QCOMPARE(wizard.result(), int(QDialog::Accepted));
    QCOMPARE(wizard.profile().connected, 1u);
    // The credentials live in the profile for the run either way...
    QCOMPARE(QString::fromStdString(wizard.profile().password), QString::fromLatin1(kPassword));
    // ...and reach the store only with SaveUserPass.
    QCOMPARE(storedValueNames("Auth").contains(QStringLiteral("Password")), saveUserPass);
    ServerProfile stored;
    QCOMPARE(m_store->readByName("Auth", stored), 0);
    QCOMPARE(QString::fromStdString(stored.password),
             saveUserPass ? QString::fromLatin1(kPassword) : QString());
}

void TestServerDialogs::logonResultReplacesTheUserId()
{
    // A profile without a user ID (written by hand, say): the service names the user.
    ServerProfile profile = localProfile("Auth", m_auth.port());
    profile.userId.clear();
    QCOMPARE(m_store->write(profile, false), 0);
    const ServerFlowContext ctx = context(false);
    answerNext<LogonWizard>([](LogonWizard *wizard) {
        setText(wizard->logonPage(), 1001, QString::fromLatin1(kUser));
        setText(wizard->logonPage(), 1004, QString::fromLatin1(kPassword));
        wizard->button(QWizard::FinishButton)->click();
    });
    const LogonFlow flow = logOn(ctx, profile, true, nullptr);
    QVERIFY(flow.finished);
    QCOMPARE(flow.profile.userId, std::string(kUser));
    ServerProfile stored;
    QCOMPARE(m_store->readByName("Auth", stored), 0);
    QCOMPARE(stored.userId, std::string(kUser));
}

void TestServerDialogs::logonWizardStaysOpenWhenTheProfileCannotBeSaved()
{
    // A name the store cannot hold: the logon succeeds, the save fails, Finish is refused.
    ServerProfile profile = localProfile("back\\slash", m_open.port());
    LogonWizard wizard(*m_module, profile, engine::ServiceCalls(), m_identity, *m_store, false,
                       true);
    wizard.show();
    QString message;
    answerMessage(&message);
    wizard.button(QWizard::FinishButton)->click();
    QVERIFY(wizard.isVisible());
    QVERIFY(wizard.result() != QDialog::Accepted);
    QCOMPARE(wizard.profile().connected, 1u);
    QVERIFY(storedNames().empty());
    wizard.reject();
}

void TestServerDialogs::aRefusedLogonKeepsTheStoredCredentials()
{
    ServerProfile profile = localProfile("Auth", m_auth.port());
    profile.userId = kUser;
    profile.userName = kUser;
    profile.password = kPassword;
    QCOMPARE(m_store->write(profile, true), 0);
    LogonWizard wizard(*m_module, profile, engine::ServiceCalls(), m_identity, *m_store, true,
                       true);
    wizard.show();
    QCOMPARE(field(wizard.logonPage(), 1001)->text(), QString::fromLatin1(kUser));
    QCOMPARE(field(wizard.logonPage(), 1004)->text(), QString::fromLatin1(kPassword));
    setText(wizard.logonPage(), 1004, QStringLiteral("mistyped"));
    QString failure;
    answerMessage(&failure);
    wizard.button(QWizard::FinishButton)->click();
    QVERIFY(!failure.isEmpty());
    QVERIFY(wizard.isVisible());
    // The typed password is the profile's for this run; the stored one is still the right one.
    QCOMPARE(wizard.profile().password, std::string("mistyped"));
    ServerProfile stored;
    QCOMPARE(m_store->readByName("Auth", stored), 0);
    QCOMPARE(stored.password, std::string(kPassword));
    wizard.reject();
}

// --- Properties sheet and rename -----------------------------------------------------------

void TestServerDialogs::sheetRename_data()
{
    QTest::addColumn<QString>("newName");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<QStringList>("stored");
    QTest::newRow("other name") << "Remote" << true << QStringList{"Remote", "Other"};
    QTest::newRow("letter case only") << "LOCAL" << true << QStringList{"LOCAL", "Other"};
    QTest::newRow("another profile's name") << "other" << false << QStringList{"Local", "Other"};
}

void TestServerDialogs::sheetRename()
{
    QFETCH(QString, newName);
    QFETCH(bool, closes);
    QFETCH(QStringList, stored);
    ServerProfile local = localProfile("Local", 80);
    local.password = "kept";
    QCOMPARE(m_store->write(local, true), 0);
    QCOMPARE(m_store->write(localProfile("Other", 81), true), 0);

    ServerSheet sheet(*m_module, local, QStringLiteral("Local"), *m_store, true);
    sheet.show();
    QCOMPARE(sheet.windowTitle(), QStringLiteral("Local"));
    QCOMPARE(sheet.tabs()->count(), 3);
    QCOMPARE(sheet.tabs()->tabText(0), m_module->text(179));
    QCOMPARE(sheet.tabs()->tabText(1), m_module->text(201));
    QCOMPARE(sheet.tabs()->tabText(2), m_module->text(202));
    QCOMPARE(field(sheet.infoPage(), 1021)->text(), QStringLiteral("80"));
    QCOMPARE(field(sheet.infoPage(), 1023)->text(), QStringLiteral("20"));
    QCOMPARE(field(sheet.logonPage(), 1004)->text(), QStringLiteral("kept"));
    setText(sheet.infoPage(), 1012, newName);
    setText(sheet.infoPage(), 1021, QStringLiteral("8080"));
    QString message;
    if (!closes)
        answerMessage(&message);
    sheet.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(sheet.isVisible(), !closes);
    QCOMPARE(sheet.saved(), closes);
    if (!closes)
        QVERIFY2(message.contains(QStringLiteral("\"Other\"")), qPrintable(message));

    QStringList names;
    for (const std::string &n : storedNames())
        names.append(QString::fromStdString(n));
    QCOMPARE(names, stored);
    ServerProfile read;
    QCOMPARE(m_store->readByName(stored.first().toStdString(), read), 0);
    QCOMPARE(read.port, std::uint16_t(closes ? 8080 : 80));
    QCOMPARE(read.password, std::string("kept"));
    ServerProfile other;
    QCOMPARE(m_store->readByName("Other", other), 0);
    QCOMPARE(other.port, std::uint16_t(81));
}

void TestServerDialogs::sheetWithoutSaveUserPassKeepsTheRunsCredentials()
{
    ServerProfile local = localProfile("Local", 80);
    local.userName = "typed at logon";
    local.password = "pw";
    QCOMPARE(m_store->write(local, false), 0);
    ServerSheet sheet(*m_module, local, QStringLiteral("Local"), *m_store, false);
    sheet.show();
    QVERIFY(field(sheet.logonPage(), 1001)->text().isEmpty());
    QVERIFY(field(sheet.logonPage(), 1004)->text().isEmpty());
    setText(sheet.infoPage(), 1017, QStringLiteral("elsewhere"));
    sheet.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Apply)->click();
    QVERIFY(sheet.saved());
    QCOMPARE(sheet.profile().server, std::string("elsewhere"));
    QCOMPARE(sheet.profile().password, std::string("pw"));
    QVERIFY(!storedValueNames("Local").contains(QStringLiteral("Password")));
    sheet.reject();
}

void TestServerDialogs::sheetRefusesANumberFieldThatIsNoNumber_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("refusal"); // 0: accepted
    QTest::newRow("port with a letter") << 1021 << "80a" << 3043;
    QTest::newRow("port empty") << 1021 << "" << 3043;
    QTest::newRow("time-out not a number") << 1023 << "one minute" << 3044;
    QTest::newRow("time-out empty") << 1023 << "" << 3044;
    // Numbers that cannot work: another port once kept to 16 bits, calls that never time out.
    QTest::newRow("port above 16 bits") << 1021 << "70000" << 3043;
    QTest::newRow("negative time-out") << 1023 << "-5" << 3044;
    QTest::newRow("time-out 0") << 1023 << "0" << 3044;
    QTest::newRow("port a number") << 1021 << "8080" << 0;
}

void TestServerDialogs::sheetRefusesANumberFieldThatIsNoNumber()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(int, refusal);
    const ServerProfile local = localProfile("Local", 80);
    QCOMPARE(m_store->write(local, false), 0);
    ServerSheet sheet(*m_module, local, QStringLiteral("Local"), *m_store, false);
    sheet.show();
    sheet.tabs()->setCurrentWidget(sheet.proxyPage());
    setText(sheet.infoPage(), field, text);
    QString message;
    if (refusal != 0)
        answerMessage(&message);
    sheet.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    ServerProfile stored;
    QCOMPARE(m_store->readByName("Local", stored), 0);
    if (refusal == 0) {
        QVERIFY(!sheet.isVisible());
        QCOMPARE(stored.port, std::uint16_t(8080));
        return;
    }
    // Refused and said; the stored profile keeps its working port and time-out.
    QCOMPARE(message, m_module->text(refusal));
    QVERIFY(sheet.isVisible());
    QVERIFY(!sheet.saved());
    QCOMPARE(sheet.tabs()->currentWidget(), static_cast<QWidget *>(sheet.infoPage()));
    QCOMPARE(stored.port, std::uint16_t(80));
    QCOMPARE(stored.timeout, 20u);
    sheet.reject();
}

void TestServerDialogs::labelRename_data()
{
    QTest::addColumn<QString>("newName");
    QTest::addColumn<bool>("renamed");
    QTest::addColumn<QStringList>("stored");
    QTest::newRow("other name") << "Remote" << true << QStringList{"Remote", "Other"};
    QTest::newRow("letter case only") << "local" << true << QStringList{"local", "Other"};
    QTest::newRow("another profile's name") << "OTHER" << false << QStringList{"Local", "Other"};
    QTest::newRow("empty") << "" << false << QStringList{"Local", "Other"};
}

void TestServerDialogs::labelRename()
{
    QFETCH(QString, newName);
    QFETCH(bool, renamed);
    QFETCH(QStringList, stored);
    const ServerProfile local = localProfile("Local", 80);
    QCOMPARE(m_store->write(local, false), 0);
    QCOMPARE(m_store->write(localProfile("Other", 81), false), 0);
    QString message;
    const bool clash = !renamed && !newName.isEmpty();
    if (clash)
        answerMessage(&message);
    const auto result = renameServer(context(false), local, newName, nullptr);
    QCOMPARE(result.has_value(), renamed);
    if (renamed)
        QCOMPARE(QString::fromStdString(result->name), newName);
    if (clash)
        QVERIFY2(message.contains(QStringLiteral("\"Other\"")), qPrintable(message));
    QStringList names;
    for (const std::string &n : storedNames())
        names.append(QString::fromStdString(n));
    QCOMPARE(names, stored);
}

// --- Delete server -------------------------------------------------------------------------

void TestServerDialogs::deleteServer_data()
{
    QTest::addColumn<bool>("answerYes");
    QTest::addColumn<bool>("closedPort");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("confirmed") << true << false << true << true;
    QTest::newRow("answered No") << false << false << true << false;
    QTest::newRow("service unreachable") << true << true << true << false;
    // The service let the user go, the local delete fails: said, and the node stays.
    QTest::newRow("stored profile already gone") << true << false << false << false;
}

void TestServerDialogs::deleteServer()
{
    QFETCH(bool, answerYes);
    QFETCH(bool, closedPort);
    QFETCH(bool, stored);
    QFETCH(bool, deleted);
    ServerProfile profile = localProfile("Gone", m_open.port());
    profile.userId = "gone-user";
    QVERIFY(engine::ServiceCalls().logon(profile, m_identity).result.succeeded());
    if (closedPort)
        profile.port = kClosedPort;
    if (stored)
        QCOMPARE(m_store->write(profile, false), 0);
    QString question;
    QString failure;
    QMessageBox::Icon failureIcon = QMessageBox::NoIcon;
    const bool fails = answerYes && (closedPort || !stored);
    answerNext<QMessageBox>([&](QMessageBox *box) {
        question = box->text();
        QCOMPARE(box->icon(), QMessageBox::Warning);
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
        if (fails)
            answerNext<QMessageBox>([&](QMessageBox *second) {
                failure = second->text();
                failureIcon = second->icon();
                second->button(QMessageBox::Ok)->click();
            });
        box->button(answerYes ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    QCOMPARE(views::deleteServer(context(false), profile, nullptr), deleted);
    QVERIFY(question.contains(QStringLiteral("Gone")));
    QCOMPARE(failure.isEmpty(), !fails);
    if (fails) // the service's failure is an error, the local one after it a warning
        QCOMPARE(failureIcon, closedPort ? QMessageBox::Critical : QMessageBox::Warning);
    ServerProfile read;
    QCOMPARE(m_store->readByName("Gone", read) == 0, stored && !deleted);
}

// --- Work-folder dialog --------------------------------------------------------------------

void TestServerDialogs::workFolderDialog_data()
{
    QTest::addColumn<bool>("createIt");
    QTest::addColumn<bool>("withServer");
    QTest::newRow("missing folder, Yes") << true << true;
    QTest::newRow("missing folder, No") << false << true;
    QTest::newRow("no node selected") << true << false;
}

void TestServerDialogs::workFolderDialog()
{
    QFETCH(bool, createIt);
    QFETCH(bool, withServer);
    ServerProfile profile = localProfile("Demo", m_open.port());
    const engine::ServiceCalls calls;
    QVERIFY(calls.logon(profile, m_identity).result.succeeded());
    const QString local = m_dir->filePath(QStringLiteral("work/deep/Projects"));

    WorkFolderDialog dialog(*m_module, QStringLiteral("Projects"), QString(),
                            withServer ? std::optional(profile) : std::nullopt, calls);
    QString storedText = QStringLiteral("(not called)");
    dialog.stored = [&storedText](const QString &text) {
        storedText = text;
    };
    dialog.show();
    QCOMPARE(dialog.findChild<QLineEdit *>(QStringLiteral("c1041"))->text(),
             QStringLiteral("Projects"));
    dialog.workFolderField()->setText(local);
    QString question;
    answerMessage(&question, createIt ? QMessageBox::Yes : QMessageBox::No);
    dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    QVERIFY(question.contains(local));
    QCOMPARE(QDir(local).exists(), createIt);
    QCOMPARE(dialog.isVisible(), !createIt);
    QCOMPARE(storedText, createIt && withServer ? local : QStringLiteral("(not called)"));

    // What the service keeps for the folder.
    std::vector<protocol::FolderItem> folders;
    QVERIFY(engine::ServiceCalls().listNode(profile, "", true, false).folderResult.succeeded());
    const engine::NodeListing listing = calls.listNode(profile, "", true, false);
    QString recorded;
    for (const protocol::FolderItem &f : listing.folders) {
        if (f.name == "Projects")
            recorded = QString::fromStdString(f.workFolderPath);
    }
    QCOMPARE(recorded, createIt && withServer ? local : QString());
    if (createIt && withServer) // leave the service as the other rows expect it
        QVERIFY(calls.setWorkFolder(profile, "Projects", "").succeeded());
}

// A relative path would land wherever the program was started: refused, nothing made and
// nothing sent. "~" is the home folder.
void TestServerDialogs::workFolderDialogWantsAFullPath()
{
    const ServerProfile profile = localProfile("Demo", m_open.port());
    const engine::ServiceCalls calls;
    QVERIFY(calls.logon(profile, m_identity).result.succeeded());
    QVERIFY(calls.setWorkFolder(profile, "Projects", "/kept").succeeded());
    const auto recorded = [&] {
        for (const protocol::FolderItem &f : calls.listNode(profile, "", true, false).folders) {
            if (f.name == "Projects")
                return QString::fromStdString(f.workFolderPath);
        }
        return QString();
    };
    WorkFolderDialog dialog(*m_module, QStringLiteral("Projects"), QStringLiteral("/kept"), profile,
                            calls);
    QString storedText;
    dialog.stored = [&storedText](const QString &text) {
        storedText = text;
    };
    dialog.show();
    const QString relative =
        QStringLiteral("ravelind-relative-%1/work").arg(QCoreApplication::applicationPid());
    dialog.workFolderField()->setText(relative);
    QString refusal;
    answerMessage(&refusal);
    dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(refusal, m_module->text(3059).arg(relative));
    QVERIFY(dialog.isVisible());
    QVERIFY(!QDir(relative).exists());
    QVERIFY(storedText.isEmpty());
    QCOMPARE(recorded(), QStringLiteral("/kept"));

    dialog.workFolderField()->setText(QStringLiteral("~"));
    dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(storedText, QDir::homePath());
    QCOMPARE(recorded(), QDir::homePath());
    QVERIFY(calls.setWorkFolder(profile, "Projects", "").succeeded());
}

void TestServerDialogs::workFolderDialogFailuresAndClearing_data()
{
    QTest::addColumn<QString>("serverFolder");
    QTest::addColumn<QString>("localPath"); // "<file>/..." is below a plain file
    QTest::addColumn<bool>("closes");
    QTest::addColumn<QString>("recorded"); // what the service keeps for Projects afterwards
    // The service refuses a folder it does not have: shown, the dialog stays.
    QTest::newRow("service refuses") << "NoSuchFolder"
                                     << "work" << false << "/kept";
    // The folder cannot be made below a plain file: shown, nothing reaches the service.
    QTest::newRow("cannot be made") << "Projects"
                                    << "<file>/work" << false << "/kept";
    // An empty path is sent as it is: the folder no longer has a working folder.
    QTest::newRow("empty path clears") << "Projects"
                                       << "" << true << "";
}

void TestServerDialogs::workFolderDialogFailuresAndClearing()
{
    QFETCH(QString, serverFolder);
    QFETCH(QString, localPath);
    QFETCH(bool, closes);
    QFETCH(QString, recorded);
    const ServerProfile profile = localProfile("Demo", m_open.port());
    const engine::ServiceCalls calls;
    QVERIFY(calls.logon(profile, m_identity).result.succeeded());
    QVERIFY(calls.setWorkFolder(profile, "Projects", "/kept").succeeded());
    QFile plain(m_dir->filePath(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QString local = localPath;
    local.replace(QStringLiteral("<file>"), plain.fileName());
    if (local == QLatin1String("work")) {
        local = m_dir->filePath(QStringLiteral("work"));
        QVERIFY(QDir().mkpath(local));
    }

    WorkFolderDialog dialog(*m_module, serverFolder, QStringLiteral("/kept"), profile, calls);
    QString storedText = QStringLiteral("(not called)");
    dialog.stored = [&storedText](const QString &text) {
        storedText = text;
    };
    dialog.show();
    dialog.workFolderField()->setText(local);
    const bool asks = !local.isEmpty() && !QFileInfo(local).isDir();
    QString failure;
    QMessageBox::Icon failureIcon = QMessageBox::NoIcon;
    const auto answerFailure = [&] {
        answerNext<QMessageBox>([&](QMessageBox *box) {
            failure = box->text();
            failureIcon = box->icon();
            box->button(QMessageBox::Ok)->click();
        });
    };
    if (asks)
        answerNext<QMessageBox>([&](QMessageBox *question) {
            if (!closes)
                answerFailure();
            question->button(QMessageBox::Yes)->click();
        });
    else if (!closes)
        answerFailure();
    dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(dialog.isVisible(), !closes);
    QCOMPARE(failure.isEmpty(), closes);
    if (!closes)
        QCOMPARE(failureIcon, QMessageBox::Critical);
    QCOMPARE(storedText, closes ? local : QStringLiteral("(not called)"));

    QString kept = QStringLiteral("(no such folder)");
    for (const protocol::FolderItem &f : calls.listNode(profile, "", true, false).folders) {
        if (f.name == "Projects")
            kept = QString::fromStdString(f.workFolderPath);
    }
    QCOMPARE(kept, recorded);
    QVERIFY(calls.setWorkFolder(profile, "Projects", "").succeeded());
    if (dialog.isVisible())
        dialog.reject();
}

void TestServerDialogs::workFolderBrowseStartsAtTheTypedFolder()
{
    const QString start = m_dir->filePath(QStringLiteral("start"));
    const QString chosen = m_dir->filePath(QStringLiteral("start/chosen"));
    QVERIFY(QDir().mkpath(chosen));
    WorkFolderDialog dialog(*m_module, QStringLiteral("Projects"), start, std::nullopt,
                            engine::ServiceCalls());
    dialog.show();
    QString title;
    QString shownFolder;
    answerNext<QFileDialog>([&](QFileDialog *browser) {
        title = browser->windowTitle();
        shownFolder = browser->directory().absolutePath();
        browser->setDirectory(chosen);
        static_cast<QDialog *>(browser)->accept();
    });
    dialog.findChild<QPushButton *>(QStringLiteral("c1015"))->click();
    QCOMPARE(title, m_module->text(180));
    QCOMPARE(shownFolder, start);
    QCOMPARE(QDir(dialog.workFolder()).absolutePath(), chosen);
}

QTEST_MAIN(TestServerDialogs)
#include "tst_serverdialogs.moc"
