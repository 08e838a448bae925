#pragma once

// The About box (form 100): version, and the owner and organisation this computer records.

#include <views/common/formdialog.h>

namespace platform {
struct MachineIdentity;
}

namespace shell {

class AboutDialog : public views::FormDialog
{
    Q_OBJECT
public:
    AboutDialog(const views::LanguageModule &module, const platform::MachineIdentity &identity,
                QWidget *parent);
};

} // namespace shell
