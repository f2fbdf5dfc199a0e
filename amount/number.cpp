#include "amount/number.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>

namespace tf {

double LenientNumber(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text.at(i) == u' ' || text.at(i) == u'\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }

    std::string integer;
    std::string fraction;
    bool seenPoint = false;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c >= u'0' && c <= u'9') {
            (seenPoint ? fraction : integer).push_back(char(c.unicode()));
        } else if (c == u'.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
    }
    if (integer.empty() && fraction.empty()) return 0.0;

    // from_chars wants a digit before the point; it rounds correctly at any length.
    std::string number = integer.empty() ? std::string("0") : integer;
    if (!fraction.empty()) number += '.' + fraction;
    double value = 0.0;
    const std::from_chars_result read = std::from_chars(
        number.data(), number.data() + number.size(), value, std::chars_format::fixed);
    if (read.ec == std::errc::result_out_of_range) {
        // Too large for a double becomes infinity, too small a fraction becomes zero.
        const bool overflow = integer.find_first_not_of('0') != std::string::npos;
        value = overflow ? std::numeric_limits<double>::infinity() : 0.0;
    }
    if (value == 0.0) return 0.0;  // no "-0"
    return negative ? -value : value;
}

QString NumberText(double value) {
    // Infinity and NaN have no decimal form; the box shows what reading "inf" would give.
    if (value == 0.0 || !std::isfinite(value)) return QStringLiteral("0");
    // Shortest round-trip digits come from the scientific form ("d.ddde±x"), which are then
    // placed around the point. Fixed notation would not do: it writes a large whole value with
    // all its exact binary digits (1e23 as 99999999999999991611392).
    char buffer[64];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    if (ec != std::errc()) return QStringLiteral("0");
    const std::string_view scientific(buffer, size_t(end - buffer));
    const size_t e = scientific.find('e');
    const bool negative = scientific.front() == '-';
    std::string digits;
    for (const char c : scientific.substr(negative ? 1 : 0, e - (negative ? 1 : 0))) {
        if (c != '.') digits.push_back(c);
    }
    int exponent = 0;
    const std::string_view exponentText = scientific.substr(e + 1);
    std::from_chars(exponentText.data() + (exponentText.front() == '+' ? 1 : 0),
                    exponentText.data() + exponentText.size(), exponent);

    // Digits standing before the point; negative or zero for a fraction below one.
    const long before = long(exponent) + 1;
    const long count = long(digits.size());
    std::string text = negative ? "-" : "";
    if (before <= 0) {
        text += "0." + std::string(size_t(-before), '0') + digits;
    } else if (before >= count) {
        text += digits + std::string(size_t(before - count), '0');
    } else {
        text += digits.substr(0, size_t(before)) + '.' + digits.substr(size_t(before));
    }
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

}  // namespace tf
