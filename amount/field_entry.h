#pragma once

#include "common/fields.h"

// The rules run when the clerk leaves a voucher field, on a set of texts instead of the
// main window's boxes: the amount normalised with its capitals written, every voucher item
// but the capitals copied to its stub item.

namespace tf::amount {

// Runs the rules for leaving field i; sign is the currency box's text. When highDigitsCut
// is given it tells whether the amount lost integer digits beyond the eighth.
void LeaveField(FieldTexts& texts, int i, const QString& sign, bool* highDigitsCut = nullptr);

}  // namespace tf::amount
