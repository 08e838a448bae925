#include "shell/toolargumentdialog.h"

#include "shell/shellconstants.h"

#include <views/common/languagemodule.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>

namespace shell {

ToolArgumentDialog::ToolArgumentDialog(const views::LanguageModule &module, QWidget *parent)
    : views::FormDialog(module, form::ToolArgument, parent)
    , m_argument(bind<QLineEdit>(1006))
{
    connect(bind<QPushButton>(1068), &QPushButton::clicked, this, &ToolArgumentDialog::browse);
    m_argument->setFocus();
}

QString ToolArgumentDialog::argument() const
{
    return m_argument->text();
}

void ToolArgumentDialog::browse()
{
    const QString path =
        QFileDialog::getOpenFileName(this, module().text(str::ToolArgumentTitle),
                                     m_argument->text(), module().text(str::ToolProgramFilter));
    if (!path.isEmpty())
        m_argument->setText(path);
}

} // namespace shell
