#pragma once

#include <QFont>

#include "common/prompt.h"

// What the field's font menu hands to the font dialog and takes back from it.

namespace tf {

// The field's font as the dialog's preset; a field without a font name offers "宋体".
// colour is the field's text colour, 0x00BBGGRR.
FieldFont FieldFontOf(const QFont& font, qint32 colour);

// Puts the dialog's choice into the font. A choice without a name or size keeps the font's.
void ApplyFieldFont(const FieldFont& choice, QFont& font);

}  // namespace tf
