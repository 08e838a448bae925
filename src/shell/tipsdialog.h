#pragma once

// The tip of the day (form 103): one tip a time from the module's tips file, the "show at
// start-up" switch, and a Next Tip button. Where it stopped in the file and whether it is
// wanted at start-up are kept in the settings.

#include <config/settings.h>
#include <config/tipreader.h>
#include <views/common/formdialog.h>

#include <QStringList>

#include <filesystem>

class QCheckBox;
class QLabel;
class QPushButton;

namespace shell {

// The tips file for `codePage` ("tips<code page>.txt"): the first of `dirs` that has it, else
// the name in the first folder (which then does not exist).
std::filesystem::path findTipsFile(int codePage, const QStringList &dirs);

class TipsDialog : public views::FormDialog
{
    Q_OBJECT
public:
    // Reads the settings, opens `tipsFile` and shows its next tip. A position that cannot be
    // set is reported in a message box over `parent` before the dialog shows.
    TipsDialog(const views::LanguageModule &module, config::Settings &settings,
               const std::filesystem::path &tipsFile, QWidget *parent);
    // Stores where the next tip is looked for, whether the dialog was accepted or not.
    ~TipsDialog() override;

    void accept() override;
    // The tip shown, as the dialog shows it.
    QString tipText() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void nextTip();
    void storeOrWarn(const config::SettingsValues &values,
                     std::initializer_list<config::SettingField> fields);

    config::Settings &m_settings;
    config::TipReader m_reader;
    QCheckBox *m_showAtStartUp;
    QLabel *m_tip;
    QPushButton *m_next;
    QWidget *m_heading;
};

} // namespace shell
