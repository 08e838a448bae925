#pragma once

// The server properties sheet: the connection, proxy and credentials pages as tabs, with OK,
// Cancel and Apply. It saves the profile itself, renaming the stored profile in place when
// the name changed.

#include <protocol/records.h>

#include <QDialog>

namespace config {
class ProfileStore;
}

class QDialogButtonBox;
class QTabWidget;

namespace views {

class LanguageModule;
class ServerInfoPage;
class ServerLogonPage;
class ServerProxyPage;

class ServerSheet : public QDialog
{
    Q_OBJECT
public:
    // `caption`: the server node's text. The pages are filled from `profile`, the credentials
    // only with `saveUserPass`.
    ServerSheet(const LanguageModule &module, const protocol::ServerProfile &profile,
                const QString &caption, config::ProfileStore &store, bool saveUserPass,
                QWidget *parent = nullptr);

    ServerInfoPage *infoPage() const { return m_info; }
    ServerProxyPage *proxyPage() const { return m_proxy; }
    ServerLogonPage *logonPage() const { return m_logon; }
    QTabWidget *tabs() const { return m_tabs; }

    // The profile with every applied change; the one stored when saved() is true.
    const protocol::ServerProfile &profile() const { return m_profile; }
    // True once an OK or Apply stored the profile.
    bool saved() const { return m_saved; }

    // Applies every page and stores the result; false (after saying why) when the port or the
    // time-out is not a number, or when the store refused the profile, for example a name
    // another profile has.
    bool apply();
    void accept() override;

private:
    const LanguageModule &m_module;
    config::ProfileStore &m_store;
    bool m_saveUserPass;
    protocol::ServerProfile m_profile;
    std::string m_storedName;
    bool m_saved = false;
    QTabWidget *m_tabs;
    ServerInfoPage *m_info;
    ServerProxyPage *m_proxy;
    ServerLogonPage *m_logon;
    QDialogButtonBox *m_buttons;
};

} // namespace views
