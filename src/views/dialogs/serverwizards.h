#pragma once

// The add-server wizard (connection, proxy, credentials) and the logon wizard (credentials
// only), both in the wizard style with header bitmap 149 and the caption "A".

#include <engine/servicecalls.h>
#include <platform/machineidentity.h>
#include <protocol/records.h>

#include <QWizard>

#include <functional>

namespace config {
class ProfileStore;
}

namespace views {

class CallRunner;
class LanguageModule;
class ServerInfoPage;
class ServerLogonPage;
class ServerProxyPage;

class AddServerWizard : public QWizard
{
    Q_OBJECT
public:
    // `nameTaken(name)`: a stored profile already has that name (in any letter case).
    // `withProxyRule`: the command flag; the credentials page then enables the proxy user name
    // and password only while the proxy page's switch is on.
    AddServerWizard(const LanguageModule &module, std::function<bool(const QString &)> nameTaken,
                    bool withProxyRule, QWidget *parent = nullptr);

    ServerInfoPage *infoPage() const { return m_info; }
    ServerProxyPage *proxyPage() const { return m_proxy; }
    ServerLogonPage *logonPage() const { return m_logon; }

    // The new profile from the pages (after Finish): the service user ID is the HTTP user name
    // when one was typed, else `machineUser` (this machine's logon user); the four credential
    // fields only `withCredentials` (SaveUserPass).
    protocol::ServerProfile profile(bool withCredentials, const std::string &machineUser) const;

    // Finish is refused, without a message, while the port or the time-out is not a number.
    bool validateCurrentPage() override;

private:
    bool acceptName(const QString &name);

    const LanguageModule &m_module;
    std::function<bool(const QString &)> m_nameTaken;
    ServerInfoPage *m_info;
    ServerProxyPage *m_proxy;
    ServerLogonPage *m_logon;
};

class LogonWizard : public QWizard
{
    Q_OBJECT
public:
    // Logs on with `profile` on Finish. `withProxyRule`: the command flag (see the add-server
    // wizard); the proxy credential fields are enabled only when the profile uses a proxy.
    // `saveUserPass`: credentials are stored with the profile.
    LogonWizard(const LanguageModule &module, protocol::ServerProfile profile,
                engine::ServiceCalls calls, platform::MachineIdentity identity,
                config::ProfileStore &store, bool saveUserPass, bool withProxyRule,
                QWidget *parent = nullptr);
    ~LogonWizard() override;

    ServerLogonPage *logonPage() const { return m_logon; }
    // The profile as the wizard left it: after Finish connected, with the credentials typed
    // and the user ID the service gave.
    const protocol::ServerProfile &profile() const { return m_profile; }

    // Finish: Logon (off the UI thread, wait cursor, no input meanwhile), then the profile is
    // saved (the credentials only after a successful logon, and with `saveUserPass`); the
    // wizard closes only when both succeeded, and shows why otherwise.
    bool validateCurrentPage() override;
    // Closing is refused while the call runs.
    void reject() override;

private:
    const LanguageModule &m_module;
    protocol::ServerProfile m_profile;
    engine::ServiceCalls m_calls;
    platform::MachineIdentity m_identity;
    config::ProfileStore &m_store;
    bool m_saveUserPass;
    ServerLogonPage *m_logon;
    CallRunner *m_runner;
};

// Wizard style, header bitmap and caption shared by both wizards.
void setUpServerWizard(QWizard &wizard, const LanguageModule &module);

} // namespace views
