#pragma once

#include <QtGlobal>

namespace tf {

// The nearest whole number, halves to the even neighbour (1.5 → 2, 2.5 → 2, −2.5 → −2), as
// the forms' arithmetic rounds. NaN and infinities come back as they are.
double RoundHalfEven(double value);

// The same rounding as a 32-bit integer: saturated at the type's limits, NaN as 0.
qint32 RoundHalfEvenInt32(double value);

}  // namespace tf
