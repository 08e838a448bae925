#pragma once

// The small option dialogs a command shows before it hands a job to the progress dialog:
// check in (also the add-files dialog of a drop), undo check-out, and the check-out options
// of a folder. The command fills the options, runs the dialog, and after OK copies the
// result into the job's request with the matching apply function.

#include "views/common/formdialog.h"

#include <engine/operations/operationrequest.h>

#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

namespace config {
struct SettingsValues;
} // namespace config

namespace views {

struct CheckInOptions
{
    bool severalFiles = false; // set by the command; the dialog leaves it alone
    bool folderMode = false;   // shows the subfolder box
    bool deleteLocal = false;  // result: delete the local copy afterwards
    bool keepLocal = true;     // result: the opposite of deleteLocal
    bool subfolders = false;
    QString comment;
    // The local file (one file) or folder (several) shown to the user; empty for the
    // add-files use, which then hides it and carries its own title.
    QString localPathText;
};

struct UndoCheckOutOptions
{
    bool folderMode = false;
    bool deleteLocal = false;
    bool keepLocal = true;
    bool subfolders = false;
};

struct CheckOutOptions
{
    bool folderMode = false;
    QString localFolderText; // shown to the user; the job keeps the command's own folder
    bool subfolders = false;
};

// Copy a dialog's result into the request of its job (CheckInFiles, CheckInFolder,
// AddDropped; UndoCheckOutFiles, UndoCheckOutFolder; CheckOutFolder). Only the folder kinds
// take the subfolder box.
void applyCheckIn(const CheckInOptions &options, engine::OperationRequest &request);
void applyUndoCheckOut(const UndoCheckOutOptions &options, engine::OperationRequest &request);
void applyCheckOut(const CheckOutOptions &options, engine::OperationRequest &request);

class CheckInDialog : public FormDialog
{
    Q_OBJECT
public:
    // The delete choice starts from the "DeleteLocalFile" setting.
    CheckInDialog(const LanguageModule &module, const config::SettingsValues &settings,
                  CheckInOptions options, QWidget *parent);
    // The options as the user left them; meaningful after OK.
    const CheckInOptions &options() const { return m_options; }
    void accept() override;

private:
    CheckInOptions m_options;
    QLabel *m_pathLabel;
    QLineEdit *m_path;
    QPlainTextEdit *m_comment;
    QCheckBox *m_subfolders;
    QRadioButton *m_delete;
    QRadioButton *m_keep;
};

class UndoCheckOutDialog : public FormDialog
{
    Q_OBJECT
public:
    UndoCheckOutDialog(const LanguageModule &module, const config::SettingsValues &settings,
                       UndoCheckOutOptions options, QWidget *parent);
    const UndoCheckOutOptions &options() const { return m_options; }
    void accept() override;

private:
    UndoCheckOutOptions m_options;
    QCheckBox *m_subfolders;
    QRadioButton *m_delete;
    QRadioButton *m_keep;
};

class CheckOutOptionsDialog : public FormDialog
{
    Q_OBJECT
public:
    CheckOutOptionsDialog(const LanguageModule &module, CheckOutOptions options, QWidget *parent);
    const CheckOutOptions &options() const { return m_options; }
    void accept() override;

private:
    CheckOutOptions m_options;
    QLineEdit *m_folder;
    QCheckBox *m_subfolders;
};

} // namespace views
