#include "views/common/formdialog.h"

#include "views/common/languagemodule.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>

namespace views {

FormDialog::FormDialog(const LanguageModule &module, int formId, QWidget *parent)
    : QDialog(parent)
    , m_module(module)
    , m_formId(formId)
{
    auto *layout = new QVBoxLayout(this);
    std::unique_ptr<QWidget> form = module.loadForm(formId, this, m_loadError);
    if (!form)
        return;
    m_form = form.release();
    layout->addWidget(m_form);
    setWindowTitle(m_form->windowTitle());
    if (auto *buttons = m_form->findChild<QDialogButtonBox *>(QStringLiteral("buttons"))) {
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    } else {
        m_missing.append(QStringLiteral("buttons (QDialogButtonBox)"));
    }
}

} // namespace views
