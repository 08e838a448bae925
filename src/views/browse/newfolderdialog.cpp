#include "views/browse/newfolderdialog.h"

#include "views/browse/browseconstants.h"
#include "views/common/languagemodule.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>

namespace views {

NewFolderDialog::NewFolderDialog(const LanguageModule &module, Create create,
                                 ShowFailure showFailure, QWidget *parent)
    : FormDialog(module, 135, parent)
    , m_create(std::move(create))
    , m_showFailure(std::move(showFailure))
    , m_name(bind<QLineEdit>(1041))
    , m_comment(bind<QLineEdit>(1042))
    , m_private(bind<QCheckBox>(1016))
{
}

void NewFolderDialog::setPrivateLocked(bool locked)
{
    m_locked = locked;
    m_private->setEnabled(!locked);
}

void NewFolderDialog::setPrivate(bool isPrivate)
{
    m_private->setChecked(isPrivate);
}

QString NewFolderDialog::folderName() const
{
    return m_name->text();
}

QString NewFolderDialog::comment() const
{
    return m_comment->text();
}

bool NewFolderDialog::isPrivate() const
{
    return m_private->isChecked();
}

void NewFolderDialog::accept()
{
    if (folderName().isEmpty()) {
        QMessageBox::critical(this, windowTitle(), module().text(browsestr::NewFolderNeedsName));
        m_name->setFocus();
        return;
    }
    const protocol::CallResult r =
        m_create ? m_create(folderName(), comment(), isPrivate()) : protocol::CallResult{};
    if (!r.succeeded()) {
        if (m_showFailure)
            m_showFailure(r);
        m_name->setFocus();
        return;
    }
    FormDialog::accept();
}

} // namespace views
