#pragma once

// The three pages every server-profile dialog is built from: connection (form 108), proxy
// (form 111) and credentials (form 140). The same pages serve the add-server wizard, the
// logon wizard and the properties sheet; each reads a profile in and writes its fields back.

#include <protocol/records.h>

#include <QStringList>
#include <QWizardPage>

#include <functional>
#include <optional>
#include <utility>

class QCheckBox;
class QLineEdit;

namespace views {

class LanguageModule;

// The decimal number a port or time-out text holds: blanks around it, an optional sign, then
// digits only, within the 32-bit range. Nothing for any other text (also for an empty one).
std::optional<int> parseDecimal(const QString &text);
// parseDecimal, with 0 for a text that is not a number.
int decimalOrZero(const QString &text);
// A port from 1 to 65535 and a time-out from 1 to 86400 seconds. A port kept to its low 16
// bits would reach another service, and a time-out of 0 or less leaves calls unbounded.
bool isValidPort(int port);
bool isValidTimeout(int seconds);

// A page whose layout is a form of the language module (see FormDialog).
class ServerPage : public QWizardPage
{
    Q_OBJECT
public:
    ServerPage(const LanguageModule &module, int formId, int pageTitle, int headerTitle,
               int headerSubtitle, QWidget *parent);

    int formId() const { return m_formId; }
    const QString &loadError() const { return m_loadError; }
    const QStringList &missingControls() const { return m_missing; }
    // The page's own title (strings 144, 156, 162).
    const QString &pageTitle() const { return m_pageTitle; }

protected:
    template<class T> T *bind(int id);
    const LanguageModule &module() const { return m_module; }

private:
    const LanguageModule &m_module;
    int m_formId;
    QWidget *m_form = nullptr;
    QString m_loadError;
    QStringList m_missing;
    QString m_pageTitle;
};

class ServerInfoPage : public ServerPage
{
    Q_OBJECT
public:
    ServerInfoPage(const LanguageModule &module, QWidget *parent = nullptr);

    // Name, server, object path, port and time-out ("%d"), SSL.
    void fill(const protocol::ServerProfile &profile);
    // Writes the page into the profile; a port or time-out that is not a number gives 0.
    void applyTo(protocol::ServerProfile &profile) const;

    QString name() const;
    QString portText() const;
    QString timeoutText() const;

    // Asked when Next leaves the page; shows its own message and returns false to stay.
    std::function<bool(const QString &name)> acceptName;
    bool validatePage() override;

    // The first of the port and time-out fields that cannot be stored, with the message that
    // says why (nullptr when both can): a number out of range, or with `unparsable` also a
    // text that is no number.
    std::pair<QLineEdit *, int> refusedField(bool unparsable) const;
    // Shows refusedField's message, focuses the field and returns false; true when none.
    bool acceptNumbers(bool unparsable, QWidget *messageParent);

    QLineEdit *nameField() const { return m_name; }
    QLineEdit *portField() const { return m_port; }
    QLineEdit *timeoutField() const { return m_timeout; }

private:
    QLineEdit *m_name;
    QLineEdit *m_server;
    QLineEdit *m_url;
    QLineEdit *m_port;
    QCheckBox *m_ssl;
    QLineEdit *m_timeout;
};

class ServerProxyPage : public ServerPage
{
    Q_OBJECT
public:
    ServerProxyPage(const LanguageModule &module, QWidget *parent = nullptr);

    // The proxy switch and server; the server field is enabled only while the switch is on.
    void fill(const protocol::ServerProfile &profile);
    void applyTo(protocol::ServerProfile &profile) const;
    bool useProxy() const;

    void initializePage() override;

private:
    void updateEnabled();

    QCheckBox *m_useProxy;
    QLineEdit *m_proxyServer;
};

class ServerLogonPage : public ServerPage
{
    Q_OBJECT
public:
    ServerLogonPage(const LanguageModule &module, QWidget *parent = nullptr);

    // The four credential fields.
    void fill(const protocol::ServerProfile &profile);
    // Writes the four credential fields; with `onlyEdited`, only those the user changed.
    void applyTo(protocol::ServerProfile &profile, bool onlyEdited = false) const;

    QString userName() const;
    QString password() const;
    void setProxyCredentialsEnabled(bool enabled);

    // Set by the commands that open a wizard: when the page opens, the proxy user name and
    // password are enabled only if this says the proxy is used.
    std::function<bool()> proxyInUse;
    void initializePage() override;

private:
    QLineEdit *m_userName;
    QLineEdit *m_password;
    QLineEdit *m_proxyUserName;
    QLineEdit *m_proxyPassword;
};

} // namespace views
