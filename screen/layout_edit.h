#pragma once

#include <QtGlobal>

#include "common/field_format.h"
#include "common/fields.h"
#include "common/rounding.h"
#include "screen/arrange.h"

// The rules of editing the layout on screen, on the twips table of the fields. Kept free of
// widgets so that they can be checked exactly; the main window applies them and re-places
// its widgets.

namespace tf {

// Background of a selected field, 0x00BBGGRR (red 149, green 149, blue 177).
constexpr qint32 kSelectionColour = 11638165;

// Steps of the arrow keys: 10 twips for moving and resizing, 1 point for the font size.
constexpr double kMoveStep = 10;
constexpr double kFontStep = 1;
// Smallest width and height a field can be shrunk to, twips.
constexpr double kMinFieldExtent = 50;
// Smallest font size the arrow keys leave, points.
constexpr double kMinFontSize = 1;

// Which fields are selected, from the Selected flags of the layout.
using Selection = FieldTable<bool>;
Selection SelectionOf(const FieldFormats& formats);

// True when the field touches or overlaps the rectangle (edges count); the corners may come
// in any order.
bool FieldTouchesRect(const TwipsRect& field, qint32 x1, qint32 y1, qint32 x2, qint32 y2);

// The size of the picture the fields stand in, twips.
struct PicExtent {
    double width = 0;
    double height = 0;
};

// The operations below act on every selected field when `field` is negative, else only on
// that field, and only when it is selected.

// Moves fields and their captions by (dx, dy), keeping each field inside the picture.
void MoveSelected(FieldPlacement& placement, const Selection& selected, PicExtent pic, double dx,
                  double dy, int field = -1);

// Changes width and height by (dw, dh): at least 50 twips, at most up to the picture's right
// and bottom edges. A caption right of its field follows the field's right edge.
void ResizeSelected(FieldPlacement& placement, const Selection& selected, PicExtent pic, double dw,
                    double dh, int field = -1);

// Adds the step to the font size of the fields; a size never falls below 1 point.
void ChangeSelectedFontSize(FieldTable<double>& fontSizes, const Selection& selected, double step,
                            int field = -1);

}  // namespace tf
