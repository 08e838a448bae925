#include "shell/aboutdialog.h"

#include <platform/machineidentity.h>
#include <views/common/languagemodule.h>

#include <QLabel>

namespace shell {

AboutDialog::AboutDialog(const views::LanguageModule &module,
                         const platform::MachineIdentity &identity, QWidget *parent)
    : views::FormDialog(module, 100, parent)
{
    bind<QLabel>(1002)->setPixmap(module.image(QStringLiteral("icon128-48.png")));
    QLabel *version = bind<QLabel>(1001);
    version->setText(version->text().arg(QStringLiteral(RAVELIND_VERSION),
                                         QStringLiteral(QT_VERSION_STR),
                                         QString::fromLatin1(qVersion())));
    bind<QLabel>(1004); // the licence, as the module words it
    // A value the system does not record leaves the control as the form has it.
    if (!identity.owner.empty())
        bind<QLabel>(1003)->setText(QString::fromStdString(identity.owner));
    else
        bind<QLabel>(1003);
    if (!identity.organization.empty())
        bind<QLabel>(1000)->setText(QString::fromStdString(identity.organization));
    else
        bind<QLabel>(1000);
    setFixedSize(sizeHint());
}

} // namespace shell
