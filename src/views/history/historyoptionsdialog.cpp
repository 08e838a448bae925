#include "views/history/historyoptionsdialog.h"

#include "views/common/languagemodule.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

namespace views {

namespace {
constexpr int kFormId = 159;
constexpr int kFolderLabel = 181;
constexpr int kFileLabel = 182;
} // namespace

HistoryOptionsDialog::HistoryOptionsDialog(const LanguageModule &module, bool folderMode,
                                           const QString &path, QWidget *parent)
    : FormDialog(module, kFormId, parent)
    , m_folderMode(folderMode)
    , m_label(bind<QLabel>(1049))
    , m_path(bind<QLineEdit>(1008))
    , m_subFolders(bind<QCheckBox>(1036))
{
    m_label->setText(module.text(folderMode ? kFolderLabel : kFileLabel));
    m_path->setText(path);
    m_subFolders->setVisible(folderMode);
}

bool HistoryOptionsDialog::subFolders() const
{
    return m_folderMode && m_subFolders->isChecked();
}

} // namespace views
