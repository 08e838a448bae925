#include "shell/optionsdialog.h"

#include "shell/shellconstants.h"

#include <config/profilestore.h>
#include <config/settings.h>
#include <platform/registry.h>
#include <views/common/errortext.h>
#include <views/common/languagemodule.h>

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace shell {

OptionsDialog::OptionsDialog(const views::LanguageModule &module, config::Settings &settings,
                             config::ProfileStore &profiles, QWidget *parent)
    : views::FormDialog(module, form::Options, parent)
    , m_settings(settings)
    , m_profiles(profiles)
    , m_saveUserPass(bind<QCheckBox>(1080))
    , m_deleteLocalFile(bind<QCheckBox>(1081))
    , m_displayUnitSize(bind<QCheckBox>(1082))
    , m_saveWindowSize(bind<QCheckBox>(1083))
    , m_saveColumnSize(bind<QCheckBox>(1084))
    , m_saveColumnOrder(bind<QCheckBox>(1085))
    , m_getFolder(bind<QLineEdit>(1087))
    , m_logFolder(bind<QLineEdit>(1089))
{
    const config::SettingsValues &v = settings.values();
    m_saveUserPass->setChecked(v.saveUserPass != 0);
    m_deleteLocalFile->setChecked(v.deleteLocalFile != 0);
    m_displayUnitSize->setChecked(v.displayUnitSize != 0);
    m_saveWindowSize->setChecked(v.saveWindowSize != 0);
    m_saveColumnSize->setChecked(v.saveColumnSize != 0);
    m_saveColumnOrder->setChecked(v.saveColumnOrder != 0);
    m_getFolder->setText(QString::fromStdString(v.defaultGetFileFolder));
    m_logFolder->setText(QString::fromStdString(v.defaultLogFolder));
    const auto browse = [this](QLineEdit *field, int titleId) {
        const QString dir =
            QFileDialog::getExistingDirectory(this, this->module().text(titleId), field->text());
        if (!dir.isEmpty())
            field->setText(dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/'));
    };
    connect(bind<QPushButton>(1088), &QPushButton::clicked, this,
            [this, browse] { browse(m_getFolder, str::OptionsGetFolderTitle); });
    connect(bind<QPushButton>(1092), &QPushButton::clicked, this,
            [this, browse] { browse(m_logFolder, str::OptionsLogFolderTitle); });
}

void OptionsDialog::accept()
{
    config::SettingsValues v = m_settings.values();
    const bool wasSavingCredentials = v.saveUserPass != 0;
    v.saveUserPass = m_saveUserPass->isChecked() ? 1 : 0;
    v.deleteLocalFile = m_deleteLocalFile->isChecked() ? 1 : 0;
    v.displayUnitSize = m_displayUnitSize->isChecked() ? 1 : 0;
    v.saveWindowSize = m_saveWindowSize->isChecked() ? 1 : 0;
    v.saveColumnSize = m_saveColumnSize->isChecked() ? 1 : 0;
    v.saveColumnOrder = m_saveColumnOrder->isChecked() ? 1 : 0;
    v.defaultGetFileFolder = m_getFolder->text().toStdString();
    v.defaultLogFolder = m_logFolder->text().toStdString();
    const platform::ResultCode rc = m_settings.update(v);
    if (platform::failed(rc)) {
        QMessageBox::warning(
            this, windowTitle(),
            module().text(str::OptionsNotSaved).arg(views::errorText(module(), rc)));
        return;
    }
    // Credentials the user no longer wants kept must not stay on disk, also in profiles that
    // do not read as a whole.
    if (wasSavingCredentials && v.saveUserPass == 0) {
        std::vector<std::string> names;
        platform::ResultCode removed = m_profiles.names(names);
        for (std::size_t i = 0; i < names.size() && !platform::failed(removed); ++i)
            removed = m_profiles.removeCredentials(names[i]);
        if (platform::failed(removed))
            QMessageBox::warning(
                this, windowTitle(),
                module().text(str::OptionsNotSaved).arg(views::errorText(module(), removed)));
    }
    views::FormDialog::accept();
}

} // namespace shell
