// Dialog units to pixels, as the system does for a dialog with its own font: the base units
// are the font's average letter width and its height, and a dialog unit is a quarter of the
// first horizontally and an eighth of the second vertically.
#pragma once

#include <QFont>
#include <QRect>

namespace qtui {

struct SBaseUnits {
    double cx;  // average width of the 52 letters
    double cy;  // the font's line height
};

// The base units of a font. The system rounds the average width to whole pixels, which
// suits the font it was designed with; the faces found here are a little wider for their
// height, so the exact average keeps every text inside the box drawn for it.
SBaseUnits BaseUnitsOf(const QFont& font);

// The font dialogs are drawn with: a sans face of the proportions of the dialogs' own
// "MS Shell Dlg" at the template's point size on this screen.
QFont DialogFont(int nPointSize);

// A rectangle in dialog units (x, y, width, height) in pixels.
QRect DialogUnitsToPixels(const SBaseUnits& units, int x, int y, int cx, int cy);

}  // namespace qtui
