#pragma once

#include "common/field_font.h"
#include "common/fields.h"

namespace tf {

// One field's layout: millimetres from the top-left corner of the whole form (stub
// included), and its font with the text colour.
struct FieldFormat {
    double X = 0;
    double Y = 0;
    double W = 0;
    double H = 0;
    // Until a format is read a field has no font size, and the screen keeps the field's own.
    FieldFont font{.size = 0};
    bool Selected = false;  // selected in the layout editor; never stored
    friend bool operator==(const FieldFormat&, const FieldFormat&) = default;
};

using FieldFormats = FieldTable<FieldFormat>;

}  // namespace tf
