#pragma once

// What the browse window takes from the language module and the application: texts by
// number, the shared small images, the text of a result code, and the machine identity.
// The shell fills it; no view includes a shell header.

#include <platform/machineidentity.h>
#include <platform/resultcode.h>

#include <QList>
#include <QPixmap>
#include <QString>

#include <functional>

namespace views {

class LanguageModule;

struct BrowseResources
{
    // The module the dialogs load their forms from; may be null in tests of the models.
    const LanguageModule *module = nullptr;
    std::function<QString(int id)> text;
    // The 16 x 16 images of bitmap 133, in their order (see browseconstants.h).
    QList<QPixmap> images;
    std::function<QString(platform::ResultCode)> errorText;
    platform::MachineIdentity identity;

    QString tr(int id) const { return text ? text(id) : QStringLiteral("#%1").arg(id); }
    QPixmap image(int index) const { return images.value(index); }
};

} // namespace views
