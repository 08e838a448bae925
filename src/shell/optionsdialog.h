#pragma once

// A plain dialog over the settings of the options (form 191), until the options sheet of the
// browse window takes its place. OK writes the changed values to the settings store; turning
// "save user names and passwords" off removes the credentials of every stored profile.

#include <views/common/formdialog.h>

namespace config {
class ProfileStore;
class Settings;
} // namespace config

class QCheckBox;
class QLineEdit;

namespace shell {

class OptionsDialog : public views::FormDialog
{
    Q_OBJECT
public:
    OptionsDialog(const views::LanguageModule &module, config::Settings &settings,
                  config::ProfileStore &profiles, QWidget *parent);

    void accept() override;

private:
    config::Settings &m_settings;
    config::ProfileStore &m_profiles;
    QCheckBox *m_saveUserPass;
    QCheckBox *m_deleteLocalFile;
    QCheckBox *m_displayUnitSize;
    QCheckBox *m_saveWindowSize;
    QCheckBox *m_saveColumnSize;
    QCheckBox *m_saveColumnOrder;
    QLineEdit *m_getFolder;
    QLineEdit *m_logFolder;
};

} // namespace shell
