#pragma once

// The delete dialog (form 157): a prompt and the choice to purge at once. Its OK runs the
// deletes through `perform`, which reports whether the dialog may close (it stays open after
// a failure, which `perform` has shown).

#include "views/common/formdialog.h"

#include <functional>

class QCheckBox;
class QLabel;

namespace views {

class DeleteDialog : public FormDialog
{
    Q_OBJECT
public:
    enum class Mode { Files = 0, Folder = 1 };
    using Perform = std::function<bool(bool purge)>;

    DeleteDialog(const LanguageModule &module, Mode mode, Perform perform, QWidget *parent);

    Mode mode() const { return m_mode; }
    bool purge() const;
    QString prompt() const;

    void accept() override;

private:
    Mode m_mode;
    Perform m_perform;
    QLabel *m_prompt;
    QCheckBox *m_purge;
};

} // namespace views
