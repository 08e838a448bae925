#include "views/dialogs/serverpages.h"

#include "views/common/formdialog.h"
#include "views/common/languagemodule.h"
#include "views/dialogs/dialogconstants.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

#include <limits>

namespace views {

std::optional<int> parseDecimal(const QString &text)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))) {
        negative = t[i] == QLatin1Char('-');
        ++i;
    }
    if (i == t.size())
        return std::nullopt;
    long long value = 0;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
        if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
        return std::nullopt;
    return static_cast<int>(value);
}

int decimalOrZero(const QString &text)
{
    return parseDecimal(text).value_or(0);
}

bool isValidPort(int port)
{
    return port >= 1 && port <= 65535;
}

bool isValidTimeout(int seconds)
{
    return seconds >= 1 && seconds <= 86400;
}

static QString fromStd(const std::string &s)
{
    return QString::fromStdString(s);
}

// --- ServerPage --------------------------------------------------------------------------

ServerPage::ServerPage(const LanguageModule &module, int formId, int pageTitle, int headerTitle,
                       int headerSubtitle, QWidget *parent)
    : QWizardPage(parent)
    , m_module(module)
    , m_formId(formId)
    , m_pageTitle(module.text(pageTitle))
{
    setTitle(module.text(headerTitle));
    setSubTitle(module.text(headerSubtitle));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    std::unique_ptr<QWidget> form = module.loadForm(formId, this, m_loadError);
    if (form) {
        m_form = form.release();
        layout->addWidget(m_form);
    }
}

template<class T> T *ServerPage::bind(int id)
{
    return bindControl<T>(m_form, this, m_missing, id);
}

// --- ServerInfoPage ----------------------------------------------------------------------

ServerInfoPage::ServerInfoPage(const LanguageModule &module, QWidget *parent)
    : ServerPage(module, dlgform::InfoPage, dlgstr::InfoPageTitle, dlgstr::InfoHeaderTitle,
                 dlgstr::InfoHeaderSubtitle, parent)
    , m_name(bind<QLineEdit>(1012))
    , m_server(bind<QLineEdit>(1017))
    , m_url(bind<QLineEdit>(1020))
    , m_port(bind<QLineEdit>(1021))
    , m_ssl(bind<QCheckBox>(1022))
    , m_timeout(bind<QLineEdit>(1023))
{
}

void ServerInfoPage::fill(const protocol::ServerProfile &profile)
{
    m_name->setText(fromStd(profile.name));
    m_server->setText(fromStd(profile.server));
    m_url->setText(fromStd(profile.url));
    m_port->setText(QString::number(profile.port));
    m_ssl->setChecked(profile.useSsl != 0);
    // The stored time-out is unsigned; "%d" shows what the program has always shown.
    m_timeout->setText(QString::number(static_cast<int>(profile.timeout)));
}

void ServerInfoPage::applyTo(protocol::ServerProfile &profile) const
{
    profile.name = m_name->text().toStdString();
    profile.server = m_server->text().toStdString();
    profile.url = m_url->text().toStdString();
    profile.port = static_cast<std::uint16_t>(decimalOrZero(m_port->text()) & 0xFFFF);
    profile.timeout = static_cast<std::uint32_t>(decimalOrZero(m_timeout->text()));
    profile.useSsl = m_ssl->isChecked() ? 1 : 0;
}

QString ServerInfoPage::name() const
{
    return m_name->text();
}

QString ServerInfoPage::portText() const
{
    return m_port->text();
}

QString ServerInfoPage::timeoutText() const
{
    return m_timeout->text();
}

std::pair<QLineEdit *, int> ServerInfoPage::refusedField(bool unparsable) const
{
    const struct
    {
        QLineEdit *field;
        bool (*valid)(int);
        int message;
    } checks[] = {{m_port, isValidPort, dlgstr::ProfileBadPort},
                  {m_timeout, isValidTimeout, dlgstr::ProfileBadTimeout}};
    for (const auto &check : checks) {
        const std::optional<int> value = parseDecimal(check.field->text());
        if (value ? !check.valid(*value) : unparsable)
            return {check.field, check.message};
    }
    return {nullptr, 0};
}

bool ServerInfoPage::acceptNumbers(bool unparsable, QWidget *messageParent)
{
    const auto [field, message] = refusedField(unparsable);
    if (!field)
        return true;
    QMessageBox::warning(messageParent, messageParent->windowTitle(), module().text(message));
    field->setFocus();
    field->selectAll();
    return false;
}

bool ServerInfoPage::validatePage()
{
    if (acceptName && !acceptName(name())) {
        m_name->setFocus();
        m_name->selectAll();
        return false;
    }
    // A text that is no number is refused only at Finish, without a message, as the wizard
    // always did; a number that cannot work is refused here, saying why.
    return acceptNumbers(false, wizard() ? static_cast<QWidget *>(wizard()) : this);
}

// --- ServerProxyPage ---------------------------------------------------------------------

ServerProxyPage::ServerProxyPage(const LanguageModule &module, QWidget *parent)
    : ServerPage(module, dlgform::ProxyPage, dlgstr::ProxyPageTitle, dlgstr::ProxyHeaderTitle,
                 dlgstr::ProxyHeaderSubtitle, parent)
    , m_useProxy(bind<QCheckBox>(1027))
    , m_proxyServer(bind<QLineEdit>(1024))
{
    connect(m_useProxy, &QCheckBox::toggled, this, &ServerProxyPage::updateEnabled);
    updateEnabled();
}

void ServerProxyPage::fill(const protocol::ServerProfile &profile)
{
    m_useProxy->setChecked(profile.useProxy != 0);
    m_proxyServer->setText(fromStd(profile.proxyServer));
    updateEnabled();
}

void ServerProxyPage::applyTo(protocol::ServerProfile &profile) const
{
    profile.useProxy = m_useProxy->isChecked() ? 1 : 0;
    profile.proxyServer = m_proxyServer->text().toStdString();
}

bool ServerProxyPage::useProxy() const
{
    return m_useProxy->isChecked();
}

void ServerProxyPage::initializePage()
{
    updateEnabled();
}

void ServerProxyPage::updateEnabled()
{
    m_proxyServer->setEnabled(m_useProxy->isChecked());
}

// --- ServerLogonPage ---------------------------------------------------------------------

ServerLogonPage::ServerLogonPage(const LanguageModule &module, QWidget *parent)
    : ServerPage(module, dlgform::LogonPage, dlgstr::LogonPageTitle, dlgstr::LogonHeaderTitle,
                 dlgstr::LogonHeaderSubtitle, parent)
    , m_userName(bind<QLineEdit>(1001))
    , m_password(bind<QLineEdit>(1004))
    , m_proxyUserName(bind<QLineEdit>(1007))
    , m_proxyPassword(bind<QLineEdit>(1013))
{
}

void ServerLogonPage::fill(const protocol::ServerProfile &profile)
{
    m_userName->setText(fromStd(profile.userName));
    m_password->setText(fromStd(profile.password));
    m_proxyUserName->setText(fromStd(profile.proxyUserName));
    m_proxyPassword->setText(fromStd(profile.proxyPassword));
    for (QLineEdit *field : {m_userName, m_password, m_proxyUserName, m_proxyPassword})
        field->setModified(false);
}

void ServerLogonPage::applyTo(protocol::ServerProfile &profile, bool onlyEdited) const
{
    const auto take = [onlyEdited](const QLineEdit *field, std::string &value) {
        if (!onlyEdited || field->isModified())
            value = field->text().toStdString();
    };
    take(m_userName, profile.userName);
    take(m_password, profile.password);
    take(m_proxyUserName, profile.proxyUserName);
    take(m_proxyPassword, profile.proxyPassword);
}

QString ServerLogonPage::userName() const
{
    return m_userName->text();
}

QString ServerLogonPage::password() const
{
    return m_password->text();
}

void ServerLogonPage::setProxyCredentialsEnabled(bool enabled)
{
    m_proxyUserName->setEnabled(enabled);
    m_proxyPassword->setEnabled(enabled);
}

void ServerLogonPage::initializePage()
{
    if (proxyInUse)
        setProxyCredentialsEnabled(proxyInUse());
}

} // namespace views
