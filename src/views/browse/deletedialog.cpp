#include "views/browse/deletedialog.h"

#include "views/browse/browseconstants.h"
#include "views/common/languagemodule.h"

#include <QCheckBox>
#include <QLabel>

namespace views {

DeleteDialog::DeleteDialog(const LanguageModule &module, Mode mode, Perform perform,
                           QWidget *parent)
    : FormDialog(module, 157, parent)
    , m_mode(mode)
    , m_perform(std::move(perform))
    , m_prompt(bind<QLabel>(1045))
    , m_purge(bind<QCheckBox>(1044))
{
    m_prompt->setText(module.text(mode == Mode::Folder ? browsestr::DeleteFolderPrompt
                                                       : browsestr::DeleteFilesPrompt));
    m_purge->setChecked(false);
}

bool DeleteDialog::purge() const
{
    return m_purge->isChecked();
}

QString DeleteDialog::prompt() const
{
    return m_prompt->text();
}

void DeleteDialog::accept()
{
    if (m_perform && !m_perform(purge()))
        return;
    FormDialog::accept();
}

} // namespace views
