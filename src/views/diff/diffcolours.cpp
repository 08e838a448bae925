#include "diffcolours.h"

namespace views {

using compare::DiffRowKind;

bool isDarkPalette(const QPalette &palette)
{
    return palette.color(QPalette::Base).lightness() < 128;
}

// Three quarters of the way from a written colour to white: keeps the hue, and even the
// blue stays readable on the dark grey of a differing row.
static QColor lightened(const QColor &colour)
{
    return QColor((colour.red() + 255 * 3) / 4, (colour.green() + 255 * 3) / 4,
                  (colour.blue() + 255 * 3) / 4);
}

KindColours kindColours(DiffRowKind kind, const QPalette &palette)
{
    const bool dark = isDarkPalette(palette);
    if (kind == DiffRowKind::Same) {
        if (dark)
            return {palette.color(QPalette::Base), palette.color(QPalette::Text)};
        return {QColor(255, 255, 255), QColor(0, 0, 0)};
    }
    QColor text;
    switch (kind) {
    case DiffRowKind::Inserted:
        text = QColor(0, 128, 0);
        break;
    case DiffRowKind::Changed:
        text = QColor(255, 0, 0);
        break;
    default:
        text = QColor(0, 0, 255);
        break;
    }
    if (!dark)
        return {QColor(192, 192, 192), text};
    const QColor base = palette.color(QPalette::Base);
    // A grey a step lighter than the base, as the light palette's grey is a step darker.
    const QColor background((base.red() * 3 + 128) / 4 + 16, (base.green() * 3 + 128) / 4 + 16,
                            (base.blue() * 3 + 128) / 4 + 16);
    return {background, lightened(text)};
}

QColor changedTextBackground(const QPalette &palette)
{
    return isDarkPalette(palette) ? QColor(110, 100, 40) : QColor(255, 255, 160);
}

QColor legendColour(int part, const QPalette &palette)
{
    static const QColor written[3] = {QColor(0, 0, 255), QColor(255, 0, 0), QColor(0, 128, 128)};
    const QColor &colour = written[part < 0 || part > 2 ? 0 : part];
    return isDarkPalette(palette) ? lightened(colour) : colour;
}

} // namespace views
