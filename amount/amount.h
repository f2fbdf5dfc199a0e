#pragma once

#include <QString>

// Amount figures and their Chinese capital form. Pure text processing: no state, no I/O.

namespace tf::amount {

// The shortest decimal form of the leading number of a text ("R"): reads the longest leading
// run of digits with at most one point, writes it back without leading zeros, without
// trailing fractional zeros, ".5" for one half, "0" for zero. At most 15 significant digits,
// rounded at the fifteenth; always positional, never an exponent (1234567890123456789 gives
// "1234567890123460000", 0.000000001 gives ".000000001").
QString RewriteNumber(const QString& text);

// The normalised amount: sign, integer part without leading zeros, ".", two decimals,
// at most 8 integer digits. A sign the text begins with is removed as a whole first; "．" and
// "。" count as the decimal point. When highDigitsCut is given it tells whether integer digits
// beyond the eighth were dropped.
QString NormaliseAmount(const QString& text, const QString& sign, bool* highDigitsCut = nullptr);

// The capital amount of normalised figures. previousBoxText and currentBoxText are the
// currency box's text when it last got the focus and its text now; the figures may begin with
// either of them, with sign, "$" or "￥": the longest that matches is removed as the prefix.
QString CapitalAmount(const QString& figures, const QString& sign, const QString& previousBoxText,
                      const QString& currentBoxText);

// Every ASCII digit replaced by its capital numeral; other characters unchanged.
QString ToCapitalDigits(const QString& text);

}  // namespace tf::amount
