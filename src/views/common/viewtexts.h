#pragma once

// What the views take from the language module. The module's class lives in the shell, which
// sits above the views; the shell hands these in, so no view includes a shell header.

#include <QPixmap>
#include <QString>

#include <functional>

namespace views {

struct ViewTexts
{
    // The string of that number (the module's own fallback for a missing number).
    std::function<QString(int id)> text;
    // An image by its file name in the module, for example "toolbar130.png"; null if absent.
    std::function<QPixmap(const QString &fileName)> image;

    QString operator()(int id) const { return text ? text(id) : QStringLiteral("#%1").arg(id); }
};

} // namespace views
