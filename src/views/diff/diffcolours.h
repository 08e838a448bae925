#pragma once

// The colours of a comparison pane's rows. On a light palette they are the written ones
// exactly; on a dark palette they are derived so that the text stays readable.

#include <views/compare/diffrow.h>

#include <QColor>
#include <QPalette>

namespace views {

struct KindColours
{
    QColor background;
    QColor text;
};

bool isDarkPalette(const QPalette &palette);
KindColours kindColours(compare::DiffRowKind kind, const QPalette &palette);
// Behind the characters that differ inside a changed row.
QColor changedTextBackground(const QPalette &palette);
// The three status-bar legend parts: 0 deleted, 1 changed, 2 inserted.
QColor legendColour(int part, const QPalette &palette);

} // namespace views
