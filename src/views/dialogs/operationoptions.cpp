#include "views/dialogs/operationoptions.h"

#include "views/common/languagemodule.h"

#include <config/settings.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>

namespace views {

namespace {

constexpr int kCheckInForm = 145;
constexpr int kCheckOutForm = 150;
constexpr int kUndoForm = 152;

constexpr int kLocalPath = 1032;
constexpr int kLocalPathLabel = 1054;
constexpr int kComment = 1035;
constexpr int kSubfolders = 1036;
constexpr int kDeleteLocal = 1037;
constexpr int kKeepLocal = 1039;
constexpr int kLocalFolder = 1040;

constexpr int kAddFilesTitle = 175;

void presetDelete(const config::SettingsValues &settings, QRadioButton *deleteLocal,
                  QRadioButton *keepLocal)
{
    if (settings.deleteLocalFile != 0)
        deleteLocal->setChecked(true);
    else
        keepLocal->setChecked(true);
}

} // namespace

void applyCheckIn(const CheckInOptions &options, engine::OperationRequest &request)
{
    request.deleteLocal = options.deleteLocal;
    request.comment = options.comment.toStdString();
    if (request.kind == engine::OperationKind::CheckInFolder)
        request.recursive = options.subfolders;
}

void applyUndoCheckOut(const UndoCheckOutOptions &options, engine::OperationRequest &request)
{
    request.deleteLocal = options.deleteLocal;
    if (request.kind == engine::OperationKind::UndoCheckOutFolder)
        request.recursive = options.subfolders;
}

void applyCheckOut(const CheckOutOptions &options, engine::OperationRequest &request)
{
    // The edited folder text is only shown: the job writes into the command's own folder.
    if (request.kind == engine::OperationKind::CheckOutFolder)
        request.recursive = options.subfolders;
}

CheckInDialog::CheckInDialog(const LanguageModule &module, const config::SettingsValues &settings,
                             CheckInOptions options, QWidget *parent)
    : FormDialog(module, kCheckInForm, parent)
    , m_options(std::move(options))
    , m_pathLabel(bind<QLabel>(kLocalPathLabel))
    , m_path(bind<QLineEdit>(kLocalPath))
    , m_comment(bind<QPlainTextEdit>(kComment))
    , m_subfolders(bind<QCheckBox>(kSubfolders))
    , m_delete(bind<QRadioButton>(kDeleteLocal))
    , m_keep(bind<QRadioButton>(kKeepLocal))
{
    m_path->setText(m_options.localPathText);
    m_comment->setPlainText(m_options.comment);
    m_subfolders->setChecked(m_options.subfolders);
    m_subfolders->setVisible(m_options.folderMode);
    presetDelete(settings, m_delete, m_keep);
    const bool showPath = !m_options.localPathText.isEmpty();
    m_pathLabel->setVisible(showPath);
    m_path->setVisible(showPath);
    if (!showPath)
        setWindowTitle(module.text(kAddFilesTitle));
    m_comment->setFocus();
}

void CheckInDialog::accept()
{
    m_options.deleteLocal = m_delete->isChecked();
    m_options.keepLocal = !m_options.deleteLocal;
    m_options.subfolders = m_subfolders->isChecked();
    m_options.comment = m_comment->toPlainText();
    FormDialog::accept();
}

UndoCheckOutDialog::UndoCheckOutDialog(const LanguageModule &module,
                                       const config::SettingsValues &settings,
                                       UndoCheckOutOptions options, QWidget *parent)
    : FormDialog(module, kUndoForm, parent)
    , m_options(options)
    , m_subfolders(bind<QCheckBox>(kSubfolders))
    , m_delete(bind<QRadioButton>(kDeleteLocal))
    , m_keep(bind<QRadioButton>(kKeepLocal))
{
    m_subfolders->setChecked(m_options.subfolders);
    m_subfolders->setVisible(m_options.folderMode);
    presetDelete(settings, m_delete, m_keep);
}

void UndoCheckOutDialog::accept()
{
    m_options.deleteLocal = m_delete->isChecked();
    m_options.keepLocal = !m_options.deleteLocal;
    m_options.subfolders = m_subfolders->isChecked();
    FormDialog::accept();
}

CheckOutOptionsDialog::CheckOutOptionsDialog(const LanguageModule &module, CheckOutOptions options,
                                             QWidget *parent)
    : FormDialog(module, kCheckOutForm, parent)
    , m_options(std::move(options))
    , m_folder(bind<QLineEdit>(kLocalFolder))
    , m_subfolders(bind<QCheckBox>(kSubfolders))
{
    m_folder->setText(m_options.localFolderText);
    m_subfolders->setChecked(m_options.subfolders);
    m_subfolders->setVisible(m_options.folderMode);
}

void CheckOutOptionsDialog::accept()
{
    m_options.localFolderText = m_folder->text();
    m_options.subfolders = m_subfolders->isChecked();
    FormDialog::accept();
}

} // namespace views
