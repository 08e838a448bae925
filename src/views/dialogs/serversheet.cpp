#include "views/dialogs/serversheet.h"

#include "views/common/errortext.h"
#include "views/common/languagemodule.h"
#include "views/dialogs/dialogconstants.h"
#include "views/dialogs/serverpages.h"

#include <config/profilestore.h>

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace views {

ServerSheet::ServerSheet(const LanguageModule &module, const protocol::ServerProfile &profile,
                         const QString &caption, config::ProfileStore &store, bool saveUserPass,
                         QWidget *parent)
    : QDialog(parent)
    , m_module(module)
    , m_store(store)
    , m_saveUserPass(saveUserPass)
    , m_profile(profile)
    , m_storedName(profile.name)
    , m_tabs(new QTabWidget(this))
    , m_info(new ServerInfoPage(module))
    , m_proxy(new ServerProxyPage(module))
    , m_logon(new ServerLogonPage(module))
    , m_buttons(new QDialogButtonBox(
          QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this))
{
    setWindowTitle(caption);
    m_tabs->addTab(m_info, module.text(dlgstr::InfoTab));
    m_tabs->addTab(m_proxy, module.text(dlgstr::ProxyTab));
    m_tabs->addTab(m_logon, module.text(dlgstr::LogonTab));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
            &ServerSheet::apply);

    m_info->fill(profile);
    m_proxy->fill(profile);
    protocol::ServerProfile credentials;
    if (saveUserPass)
        credentials = profile;
    m_logon->fill(credentials);
}

bool ServerSheet::apply()
{
    // A port or time-out that is not a number would be stored as 0 over the profile's working
    // value, and one out of range would reach another port or never time out: the user
    // corrects it first.
    if (m_info->refusedField(true).first) {
        m_tabs->setCurrentWidget(m_info);
        return m_info->acceptNumbers(true, this);
    }
    protocol::ServerProfile changed = m_profile;
    m_info->applyTo(changed);
    m_proxy->applyTo(changed);
    // Without SaveUserPass the fields opened empty: applying them as they are would wipe the
    // credentials typed at logon for this run. Only what the user typed here counts then.
    m_logon->applyTo(changed, !m_saveUserPass);
    const platform::ResultCode rc = m_store.rename(m_storedName, changed, m_saveUserPass);
    if (platform::failed(rc)) {
        const bool clash = platform::win32Error(rc) == platform::err::AlreadyExists;
        QString text = clash ? m_module.text(dlgstr::ProfileExists)
                                   .arg(QString::fromStdString(m_store.storedName(changed.name)))
                             : m_module.text(dlgstr::ProfileNotSaved).arg(errorText(m_module, rc));
        QMessageBox::warning(this, windowTitle(), text);
        if (clash) {
            m_tabs->setCurrentWidget(m_info);
            m_info->nameField()->setFocus();
        }
        return false;
    }
    m_profile = std::move(changed);
    m_storedName = m_profile.name;
    m_saved = true;
    return true;
}

void ServerSheet::accept()
{
    if (apply())
        QDialog::accept();
}

} // namespace views
