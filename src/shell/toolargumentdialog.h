#pragma once

// Asks for the argument of a tool that prompts for it (form 178).

#include <views/common/formdialog.h>

class QLineEdit;

namespace shell {

class ToolArgumentDialog : public views::FormDialog
{
    Q_OBJECT
public:
    ToolArgumentDialog(const views::LanguageModule &module, QWidget *parent);

    QString argument() const;

private:
    void browse();

    QLineEdit *m_argument;
};

} // namespace shell
