#include "views/dialogs/serverwizards.h"

#include "views/browse/callrunner.h"
#include "views/common/errortext.h"
#include "views/common/languagemodule.h"
#include "views/dialogs/dialogconstants.h"
#include "views/dialogs/serverpages.h"

#include <config/profilestore.h>

#include <QAbstractButton>
#include <QMessageBox>

namespace views {

void setUpServerWizard(QWizard &wizard, const LanguageModule &module)
{
    // The modern style is the one with a header (title, subtitle and bitmap) on every
    // platform; the classic one, Linux's default, drops the subtitle.
    wizard.setWizardStyle(QWizard::ModernStyle);
    wizard.setPixmap(QWizard::LogoPixmap, module.bitmap(dlgbmp::Header));
    wizard.setWindowTitle(QString::fromLatin1(kWizardCaption));
    wizard.setOption(QWizard::NoBackButtonOnStartPage, true);
}

// --- AddServerWizard ---------------------------------------------------------------------

AddServerWizard::AddServerWizard(const LanguageModule &module,
                                 std::function<bool(const QString &)> nameTaken, bool withProxyRule,
                                 QWidget *parent)
    : QWizard(parent)
    , m_module(module)
    , m_nameTaken(std::move(nameTaken))
    , m_info(new ServerInfoPage(module, this))
    , m_proxy(new ServerProxyPage(module, this))
    , m_logon(new ServerLogonPage(module, this))
{
    setUpServerWizard(*this, module);
    addPage(m_info);
    addPage(m_proxy);
    addPage(m_logon);
    m_info->acceptName = [this](const QString &name) {
        return acceptName(name);
    };
    if (withProxyRule)
        m_logon->proxyInUse = [this] {
            return m_proxy->useProxy();
        };
}

bool AddServerWizard::acceptName(const QString &name)
{
    // A name the store cannot hold would leave a node in the tree that is never saved; a name
    // another profile has would overwrite that profile.
    int refusal = 0;
    if (name.isEmpty()) {
        refusal = dlgstr::ProfileNeedsName;
    } else if (const platform::ResultCode rc = config::checkProfileName(name.toStdString());
               platform::failed(rc)) {
        refusal = platform::win32Error(rc) == platform::err::InsufficientBuffer
                      ? dlgstr::ProfileNameTooLong
                      : dlgstr::ProfileNameInvalid;
    } else if (m_nameTaken && m_nameTaken(name)) {
        refusal = dlgstr::ProfileExists;
    }
    if (refusal == 0)
        return true;
    QString text = m_module.text(refusal);
    if (refusal != dlgstr::ProfileNeedsName)
        text = text.arg(name);
    QMessageBox::warning(this, windowTitle(), text);
    return false;
}

protocol::ServerProfile AddServerWizard::profile(bool withCredentials,
                                                 const std::string &machineUser) const
{
    protocol::ServerProfile p;
    m_info->applyTo(p);
    m_proxy->applyTo(p);
    protocol::ServerProfile typed;
    m_logon->applyTo(typed);
    p.userId = typed.userName.empty() ? machineUser : typed.userName;
    if (withCredentials) {
        p.userName = typed.userName;
        p.password = typed.password;
        p.proxyUserName = typed.proxyUserName;
        p.proxyPassword = typed.proxyPassword;
    }
    p.connected = 0;
    return p;
}

bool AddServerWizard::validateCurrentPage()
{
    if (currentPage() == m_logon &&
        (!parseDecimal(m_info->portText()) || !parseDecimal(m_info->timeoutText())))
        return false;
    return QWizard::validateCurrentPage();
}

// --- LogonWizard -------------------------------------------------------------------------

LogonWizard::LogonWizard(const LanguageModule &module, protocol::ServerProfile profile,
                         engine::ServiceCalls calls, platform::MachineIdentity identity,
                         config::ProfileStore &store, bool saveUserPass, bool withProxyRule,
                         QWidget *parent)
    : QWizard(parent)
    , m_module(module)
    , m_profile(std::move(profile))
    , m_calls(std::move(calls))
    , m_identity(std::move(identity))
    , m_store(store)
    , m_saveUserPass(saveUserPass)
    , m_logon(new ServerLogonPage(module, this))
    , m_runner(new CallRunner(this))
{
    setUpServerWizard(*this, module);
    addPage(m_logon);
    const bool proxy = m_profile.useProxy != 0;
    protocol::ServerProfile shown = m_profile;
    if (!proxy) {
        shown.proxyUserName.clear();
        shown.proxyPassword.clear();
    }
    m_logon->fill(shown);
    m_logon->setProxyCredentialsEnabled(proxy);
    if (withProxyRule)
        m_logon->proxyInUse = [proxy] {
            return proxy;
        };
}

LogonWizard::~LogonWizard() = default;

bool LogonWizard::validateCurrentPage()
{
    if (m_runner->busy())
        return false;
    protocol::ServerProfile attempt = m_profile;
    attempt.userName = m_logon->userName().toStdString();
    attempt.password = m_logon->password().toStdString();
    const engine::ServiceCalls calls = m_calls;
    const platform::MachineIdentity identity = m_identity;
    const engine::LogonOutcome outcome = m_runner->wait<engine::LogonOutcome>(
        [calls, attempt, identity] { return calls.logon(attempt, identity); });

    const bool loggedOn = outcome.result.succeeded();
    if (!loggedOn)
        QMessageBox::critical(this, windowTitle(), callFailureText(m_module, outcome.result));
    else
        m_profile.connected = 1;
    m_profile.userId = outcome.userId;
    // Without a proxy the proxy fields were shown empty and disabled: the profile keeps its own.
    const std::string proxyUserName = m_profile.proxyUserName;
    const std::string proxyPassword = m_profile.proxyPassword;
    m_logon->applyTo(m_profile);
    if (m_profile.useProxy == 0) {
        m_profile.proxyUserName = proxyUserName;
        m_profile.proxyPassword = proxyPassword;
    }
    // Credentials the service has just refused do not replace the stored ones (which may be
    // the right ones, mistyped here): they live in the profile for this run only.
    if (const platform::ResultCode rc = m_store.write(m_profile, m_saveUserPass && loggedOn);
        platform::failed(rc)) {
        // Said, not only refused: otherwise the user cannot tell why Finish does nothing.
        QMessageBox::warning(this, windowTitle(),
                             m_module.text(dlgstr::ProfileNotSaved).arg(errorText(m_module, rc)));
        return false;
    }
    return loggedOn;
}

void LogonWizard::reject()
{
    if (!m_runner->busy())
        QWizard::reject();
}

} // namespace views
