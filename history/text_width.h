#pragma once

#include <QFont>

#include "history/grid_ops.h"

namespace tf::history {

// The width of texts in a font, in twips: the sum of each character's advance, each
// character measured once. Grid cells are short single lines, where this matches the
// laid-out width closely and keeps fitting 100,000 rows fast.
TextWidth FontTextWidth(const QFont& font, double twipsPerPixel);

}  // namespace tf::history
