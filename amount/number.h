#pragma once

#include <QString>

namespace tf {

// The lenient number reading of what the user types: the leading decimal number of a text
// (blanks before it and a sign allowed), 0 when there is none. "85mm" reads 85, "abc" 0.
double LenientNumber(const QString& text);

// A number written back as text the way a settings box shows it: shortest form that reads
// back as the same value, no exponent, "0.5" for one half, "85" for a whole number.
QString NumberText(double value);

}  // namespace tf
