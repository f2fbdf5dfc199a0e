// How both readers turn a stored value into a cell's text: numbers, dates and number formats.

#include <QDate>
#include <charconv>
#include <cmath>

#include "history/workbook/workbook_impl.h"

namespace tf::workbook::detail {

Cell NumberCell(double value) {
    if (!std::isfinite(value)) return {QStringLiteral("#NUM!"), false};
    if (value == 0) return {QStringLiteral("0"), false};
    // The shortest digits that read back to the same double, as d.ddde±x.
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const std::string_view sci(buffer, static_cast<size_t>(result.ptr - buffer));
    const size_t e = sci.find('e');
    const bool negative = sci.front() == '-';
    std::string digits;
    for (char c : sci.substr(0, e))
        if (c >= '0' && c <= '9') digits += c;
    int exponent = 0;
    std::from_chars(sci.data() + e + (sci[e + 1] == '+' ? 2 : 1), sci.data() + sci.size(),
                    exponent);

    std::string plain = negative ? "-" : "";
    qsizetype significant = 0;
    if (exponent >= 0) {
        const size_t whole = static_cast<size_t>(exponent) + 1;
        if (digits.size() <= whole) {
            plain += digits + std::string(whole - digits.size(), '0');
        } else {
            plain += digits.substr(0, whole) + '.' + digits.substr(whole);
        }
        significant = static_cast<qsizetype>(std::max(digits.size(), whole));
    } else {
        plain += "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
        significant = static_cast<qsizetype>(digits.size());
    }
    return {QString::fromLatin1(plain.data(), static_cast<qsizetype>(plain.size())),
            significant > 15};
}

std::optional<QString> DateText(double value, bool system1904) {
    if (!std::isfinite(value) || value < 0 || value >= 2958466) return std::nullopt;
    qint64 days = static_cast<qint64>(std::floor(value));
    qint64 seconds = std::llround((value - static_cast<double>(days)) * 86400);
    if (seconds >= 86400) {
        ++days;
        seconds -= 86400;
    }
    const QString time = QStringLiteral("%1:%2:%3")
                             .arg(seconds / 3600, 2, 10, QChar(u'0'))
                             .arg(seconds / 60 % 60, 2, 10, QChar(u'0'))
                             .arg(seconds % 60, 2, 10, QChar(u'0'));
    if (days == 0) return time;
    QString date;
    if (system1904) {
        date = QDate(1904, 1, 1).addDays(days).toString(u"yyyy-MM-dd");
    } else if (days == 60) {
        date = QStringLiteral("1900-02-29");  // the day the 1900 system counts but never was
    } else {
        date = QDate(1899, 12, days < 60 ? 31 : 30).addDays(days).toString(u"yyyy-MM-dd");
    }
    if (date.size() != 10) return std::nullopt;
    return seconds == 0 ? date : date + u' ' + time;
}

Cell FormattedNumber(double value, bool dateFormat, bool system1904) {
    if (dateFormat)
        if (std::optional<QString> date = DateText(value, system1904)) return {*date, false};
    return NumberCell(value);
}

bool IsBuiltInDateFormat(int id) {
    return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
           (id >= 50 && id <= 58);
}

bool IsDateFormatCode(QStringView code) {
    QString kept;
    enum { Plain, Quoted, Escaped, Bracket } state = Plain;
    for (const QChar c : code) {
        switch (state) {
            case Plain:
                if (c == u'"') {
                    state = Quoted;
                } else if (c == u'\\' || c == u'_' || c == u'*') {
                    state = Escaped;  // the next character is shown or spaced, not a code
                } else if (c == u'[') {
                    state = Bracket;  // colour, condition, locale or elapsed-time marker
                } else {
                    kept += c;
                }
                break;
            case Quoted:
                if (c == u'"') state = Plain;
                break;
            case Escaped:
                state = Plain;
                break;
            case Bracket:
                if (c == u']') state = Plain;
                break;
        }
    }
    if (kept.compare(u"General", Qt::CaseInsensitive) == 0) return false;
    int dates = 0, numbers = 0;
    for (const QChar c : kept) {
        const char16_t lower = c.toLower().unicode();
        if (lower == u'y' || lower == u'm' || lower == u'd' || lower == u'h' || lower == u's')
            ++dates;
        else if (c == u'0' || c == u'#' || c == u'?')
            ++numbers;
    }
    return dates > numbers;
}

QString ErrorText(int code) {
    switch (code) {
        case 0x00:
            return QStringLiteral("#NULL!");
        case 0x07:
            return QStringLiteral("#DIV/0!");
        case 0x0F:
            return QStringLiteral("#VALUE!");
        case 0x17:
            return QStringLiteral("#REF!");
        case 0x1D:
            return QStringLiteral("#NAME?");
        case 0x24:
            return QStringLiteral("#NUM!");
        case 0x2A:
            return QStringLiteral("#N/A");
        default:
            return QStringLiteral("#N/A");
    }
}

void TextTable::Add(QStringView text) {
    chars_.append(text);
    ends_.push_back(chars_.size());
}

QString TextTable::At(qsizetype i) const {
    const qsizetype begin = i == 0 ? 0 : ends_[static_cast<size_t>(i - 1)];
    return chars_.mid(begin, ends_[static_cast<size_t>(i)] - begin);
}

}  // namespace tf::workbook::detail
