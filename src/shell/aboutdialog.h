#pragma once

// The About box (form 100): version, and the owner and organisation this computer records.

#include "shell/formdialog.h"

namespace platform {
struct MachineIdentity;
}

namespace shell {

class AboutDialog : public FormDialog
{
    Q_OBJECT
public:
    AboutDialog(const LanguageModule &module, const platform::MachineIdentity &identity,
                QWidget *parent);
};

} // namespace shell
