#include "shell/profileeditdialog.h"

#include "shell/shellconstants.h"

#include <config/profilestore.h>
#include <views/common/languagemodule.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

namespace shell {

static QString fromStd(const std::string &s)
{
    return QString::fromStdString(s);
}

ProfileEditDialog::ProfileEditDialog(const views::LanguageModule &module,
                                     const protocol::ServerProfile &profile, bool isNew,
                                     bool withCredentials,
                                     std::function<bool(const QString &)> nameTaken,
                                     QWidget *parent)
    : views::FormDialog(module, form::ProfileEdit, parent)
    , m_profile(profile)
    , m_withCredentials(withCredentials)
    , m_nameTaken(std::move(nameTaken))
    , m_originalName(isNew ? QString() : fromStd(profile.name))
    , m_name(bind<QLineEdit>(1012))
    , m_server(bind<QLineEdit>(1017))
    , m_url(bind<QLineEdit>(1020))
    , m_port(bind<QLineEdit>(1021))
    , m_ssl(bind<QCheckBox>(1022))
    , m_timeout(bind<QLineEdit>(1023))
    , m_useProxy(bind<QCheckBox>(1027))
    , m_proxyServer(bind<QLineEdit>(1024))
    , m_userName(bind<QLineEdit>(1001))
    , m_password(bind<QLineEdit>(1004))
    , m_proxyUserName(bind<QLineEdit>(1007))
    , m_proxyPassword(bind<QLineEdit>(1013))
{
    setWindowTitle(isNew ? module.text(str::ProfileNewTitle)
                         : module.text(str::ProfileEditTitle).arg(fromStd(profile.name)));
    m_name->setText(fromStd(profile.name));
    m_server->setText(fromStd(profile.server));
    m_url->setText(fromStd(profile.url));
    m_port->setText(profile.port ? QString::number(profile.port) : QString());
    m_ssl->setChecked(profile.useSsl != 0);
    m_timeout->setText(QString::number(profile.timeout ? profile.timeout : 60));
    m_useProxy->setChecked(profile.useProxy != 0);
    m_proxyServer->setText(fromStd(profile.proxyServer));
    m_proxyServer->setEnabled(m_useProxy->isChecked());
    connect(m_useProxy, &QCheckBox::toggled, m_proxyServer, &QWidget::setEnabled);

    m_userName->setText(fromStd(profile.userName));
    m_password->setText(fromStd(profile.password));
    m_proxyUserName->setText(fromStd(profile.proxyUserName));
    m_proxyPassword->setText(fromStd(profile.proxyPassword));
    // Without SaveUserPass nothing typed here would be kept: say so instead of pretending.
    for (QLineEdit *field : {m_userName, m_password, m_proxyUserName, m_proxyPassword})
        field->setEnabled(withCredentials);
    bind<QLabel>(1091)->setVisible(!withCredentials);
    bind<QGroupBox>(1090);
}

bool ProfileEditDialog::refuse(int stringId, QWidget *field, const QString &arg)
{
    QString text = module().text(stringId);
    if (!arg.isNull())
        text = text.arg(arg);
    QMessageBox::warning(this, windowTitle(), text);
    field->setFocus();
    return false;
}

void ProfileEditDialog::accept()
{
    const QString name = m_name->text().trimmed();
    if (name.isEmpty()) {
        refuse(str::ProfileNeedsName, m_name);
        return;
    }
    if (const platform::ResultCode rc = config::checkProfileName(name.toStdString());
        platform::failed(rc)) {
        const bool tooLong = platform::win32Error(rc) == platform::err::InsufficientBuffer;
        refuse(tooLong ? str::ProfileNameTooLong : str::ProfileNameInvalid, m_name, name);
        return;
    }
    if (name.compare(m_originalName, Qt::CaseInsensitive) != 0 && m_nameTaken &&
        m_nameTaken(name)) {
        refuse(str::ProfileExists, m_name, name);
        return;
    }
    if (m_server->text().trimmed().isEmpty()) {
        refuse(str::ProfileNeedsServer, m_server);
        return;
    }
    if (m_url->text().trimmed().isEmpty()) {
        refuse(str::ProfileNeedsUrl, m_url);
        return;
    }
    bool ok = false;
    const uint port = m_port->text().trimmed().toUInt(&ok);
    if (!ok || port < 1 || port > 65535) {
        refuse(str::ProfileBadPort, m_port);
        return;
    }
    const uint timeout = m_timeout->text().trimmed().toUInt(&ok);
    if (!ok || timeout < 1 || timeout > 86400) {
        refuse(str::ProfileBadTimeout, m_timeout);
        return;
    }
    if (m_useProxy->isChecked() && m_proxyServer->text().trimmed().isEmpty()) {
        refuse(str::ProfileNeedsProxy, m_proxyServer);
        return;
    }
    m_profile.name = name.toStdString();
    m_profile.server = m_server->text().trimmed().toStdString();
    m_profile.url = m_url->text().trimmed().toStdString();
    m_profile.port = static_cast<std::uint16_t>(port);
    m_profile.useSsl = m_ssl->isChecked() ? 1 : 0;
    m_profile.timeout = timeout;
    m_profile.useProxy = m_useProxy->isChecked() ? 1 : 0;
    m_profile.proxyServer =
        m_profile.useProxy ? m_proxyServer->text().trimmed().toStdString() : std::string();
    if (m_withCredentials) {
        m_profile.userName = m_userName->text().toStdString();
        m_profile.password = m_password->text().toStdString();
        m_profile.proxyUserName = m_proxyUserName->text().toStdString();
        m_profile.proxyPassword = m_proxyPassword->text().toStdString();
    }
    views::FormDialog::accept();
}

} // namespace shell
