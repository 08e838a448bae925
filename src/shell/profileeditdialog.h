#pragma once

// Adds or edits one server profile (form 190): connection, proxy and, when the settings keep
// them, the credentials. Checks what it can before OK closes: a name, a host, a port and a
// time-out in range, a proxy server when the proxy is on, a name no other profile has.

#include <protocol/records.h>
#include <views/common/formdialog.h>

#include <functional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;

namespace shell {

class ProfileEditDialog : public views::FormDialog
{
    Q_OBJECT
public:
    // `nameTaken(name)` tells whether another stored profile has that name (letter case
    // ignored). `withCredentials`: SaveUserPass is on, so user names and passwords are kept.
    ProfileEditDialog(const views::LanguageModule &module, const protocol::ServerProfile &profile,
                      bool isNew, bool withCredentials,
                      std::function<bool(const QString &)> nameTaken, QWidget *parent);

    // The edited profile; valid after exec() returned Accepted.
    const protocol::ServerProfile &profile() const { return m_profile; }

    void accept() override;

private:
    bool refuse(int stringId, QWidget *field, const QString &arg = {});

    protocol::ServerProfile m_profile;
    bool m_withCredentials;
    std::function<bool(const QString &)> m_nameTaken;
    QString m_originalName;
    QLineEdit *m_name;
    QLineEdit *m_server;
    QLineEdit *m_url;
    QLineEdit *m_port;
    QCheckBox *m_ssl;
    QLineEdit *m_timeout;
    QCheckBox *m_useProxy;
    QLineEdit *m_proxyServer;
    QLineEdit *m_userName;
    QLineEdit *m_password;
    QLineEdit *m_proxyUserName;
    QLineEdit *m_proxyPassword;
};

} // namespace shell
