#include "amount/amount.h"

#include <algorithm>
#include <string>

namespace tf::amount {

namespace {

// Number rewriting works on the decimal text itself, never on a double, so no exponent form
// can come out of it at any magnitude:
// - At most 15 significant digits are kept; the sixteenth decides the rounding (half up, on
//   the decimal digits). Integer digits past the fifteenth become zeros, so an integer part
//   of 16 digits or more keeps its length: 1234567890123456789 is written 1234567890123460000.
//   NormaliseAmount then keeps the rightmost 8 integer digits of that, which are mostly zeros.
// - A fraction below one fen is written in plain positional form (.000000001) and the
//   normaliser's truncation to two decimals turns it into .00.
// - The rounding comes before that truncation: 0.999999999999999999 has more than 15
//   significant digits, rewrites to 1 and normalises to 1.00, while 0.999999999999999
//   (exactly 15) is kept and normalises to 0.99.
constexpr int kSignificantDigits = 15;

bool IsAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Full-width digits and point, and the ideographic full stop, as a Chinese input method types
// them, read as ASCII.
QChar AsciiEquivalent(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'\uFF10' && u <= u'\uFF19') return QChar(char16_t(u'0' + (u - u'\uFF10')));
    if (u == u'\uFF0E' || u == u'\u3002') return QChar(u'.');
    return c;
}

// The length of the currency sign an amount text begins with: the longest of the known signs
// it starts with; else a run of letters or symbols ending in a point ("Rs.") when a number
// with its own point follows, as in figures written with a sign that is no longer in the box.
// 0 when the text begins with no sign.
qsizetype SignLength(const QString& text, std::initializer_list<QString> known) {
    qsizetype best = 0;
    for (const QString& sign : known)
        if (!sign.isEmpty() && sign.size() > best && text.startsWith(sign)) best = sign.size();
    if (best > 0) return best;
    qsizetype k = 0;
    while (k < text.size()) {
        const QChar a = AsciiEquivalent(text.at(k));
        if (IsAsciiDigit(a) || a == u'.' || a.isSpace()) break;
        ++k;
    }
    if (k == 0 || k + 1 >= text.size() || AsciiEquivalent(text.at(k)) != u'.') return 0;
    const QString rest = text.mid(k + 1);
    const bool numberFollows =
        IsAsciiDigit(AsciiEquivalent(rest.at(0))) &&
        std::any_of(rest.begin(), rest.end(), [](QChar c) { return AsciiEquivalent(c) == u'.'; });
    return numberFollows ? k + 1 : 0;
}

// The number part of a normalised amount always has its point, two decimals and an integer
// part of at most eight digits.
constexpr qsizetype kMaxFigureLength = 11;

const QString& CapitalDigit(int digit) {
    static const QString digits[10] = {
        QStringLiteral("零"), QStringLiteral("壹"), QStringLiteral("贰"), QStringLiteral("叁"),
        QStringLiteral("肆"), QStringLiteral("伍"), QStringLiteral("陆"), QStringLiteral("柒"),
        QStringLiteral("捌"), QStringLiteral("玖"),
    };
    return digits[digit];
}

// Unit of a digit by its position from the right of the amount in fen. There is no 亿: ten
// positions are the most an amount can fill.
constexpr int kUnitCount = 10;
const QString& AmountUnit(int position) {
    static const QString units[kUnitCount] = {
        QStringLiteral("分"), QStringLiteral("角"), QStringLiteral("元"), QStringLiteral("拾"),
        QStringLiteral("佰"), QStringLiteral("仟"), QStringLiteral("万"), QStringLiteral("拾"),
        QStringLiteral("佰"), QStringLiteral("仟"),
    };
    return units[position];
}

}  // namespace

QString RewriteNumber(const QString& text) {
    // All digits in reading order; the first pointPos of them stand before the point.
    std::string digits;
    size_t pointPos = 0;
    bool seenPoint = false;
    for (const QChar c : text) {
        if (IsAsciiDigit(c)) {
            digits.push_back(char(c.unicode()));
        } else if (c == u'.' && !seenPoint) {
            seenPoint = true;
            pointPos = digits.size();
        } else {
            break;
        }
    }
    if (!seenPoint) pointPos = digits.size();

    const size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) return QStringLiteral("0");

    if (digits.size() - first > kSignificantDigits) {
        const size_t cut = first + kSignificantDigits;
        const bool roundUp = digits[cut] >= '5';
        digits.resize(cut);
        if (roundUp) {
            size_t i = cut;
            while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
            if (i > 0) {
                ++digits[i - 1];
            } else {
                digits.insert(digits.begin(), '1');
                ++pointPos;
            }
        }
        // Integer places past the kept digits are still places.
        if (digits.size() < pointPos) digits.append(pointPos - digits.size(), '0');
    }

    std::string integer = digits.substr(0, pointPos);
    std::string fraction = digits.substr(pointPos);
    integer.erase(0, integer.find_first_not_of('0'));
    const size_t lastFractionDigit = fraction.find_last_not_of('0');
    fraction.erase(lastFractionDigit == std::string::npos ? 0 : lastFractionDigit + 1);

    QString result = QString::fromLatin1(integer.data(), qsizetype(integer.size()));
    if (!fraction.empty()) {
        result += u'.';
        result += QString::fromLatin1(fraction.data(), qsizetype(fraction.size()));
    }
    return result.isEmpty() ? QStringLiteral("0") : result;
}

QString NormaliseAmount(const QString& text, const QString& sign, bool* highDigitsCut) {
    // A sign in front goes as the prefix it is, so a point inside it ("Rs.") is not read as
    // the decimal point; any other character that is no digit or point is dropped.
    const QString trimmed = text.trimmed();
    const QString amount =
        trimmed.mid(SignLength(trimmed, {sign, QStringLiteral("￥"), QStringLiteral("$")}));
    QString filtered;
    filtered.reserve(amount.size());
    for (const QChar c : amount) {
        const QChar a = AsciiEquivalent(c);
        if (IsAsciiDigit(a) || a == u'.') filtered += a;
    }

    // The point and decimal rules look at the number only, so a sign that holds a "." itself
    // cannot be mistaken for the decimal point.
    QString number = RewriteNumber(filtered);
    const qsizetype point = number.indexOf(u'.');
    if (point < 0) {
        number += QStringLiteral(".00");
    } else {
        const qsizetype decimals = number.size() - point - 1;
        if (decimals == 0) {
            number += QStringLiteral("00");
        } else if (decimals == 1) {
            number += u'0';
        } else if (decimals > 2) {
            number.truncate(point + 3);  // cut, never rounded
        }
    }
    if (number.startsWith(u'.')) number.prepend(u'0');

    // The highest integer digits go. Zeros that the cut brings to the front are dropped as
    // well, so the figures keep their normal form (100000000 gives 0.00, not 00000000.00).
    const bool cut = number.size() > kMaxFigureLength;
    if (cut) {
        number = number.right(kMaxFigureLength);
        while (number.size() > 4 && number.startsWith(u'0')) number.remove(0, 1);
    }
    if (highDigitsCut) *highDigitsCut = cut;

    return QString(sign + number).trimmed();
}

QString CapitalAmount(const QString& figures, const QString& sign, const QString& previousBoxText,
                      const QString& currentBoxText) {
    // The sign is removed as the prefix it is, whichever of the signs the figures were written
    // with; what follows is the amount, and without its point it is the amount in fen.
    const QString rest = figures.trimmed().mid(SignLength(
        figures.trimmed(),
        {sign, currentBoxText, previousBoxText, QStringLiteral("￥"), QStringLiteral("$")}));
    QString fen;
    for (const QChar c : rest)
        if (IsAsciiDigit(c)) fen += c;

    const QString capital = ToCapitalDigits(RewriteNumber(fen)).trimmed();
    // Digits above the tenth position have no unit; the normaliser never lets them through.
    const int n = int(std::min<qsizetype>(capital.size(), kUnitCount));

    QString parts[kUnitCount];
    for (int i = 0; i < n; ++i) parts[i] = capital.at(capital.size() - 1 - i) + AmountUnit(i);

    // A zero drops its unit and swallows the zeros right below it, down to the 元 place; 角
    // and 分 only lose their unit.
    const QString zero = CapitalDigit(0);
    for (int i = n - 1; i >= 0; --i) {
        if (!parts[i].startsWith(zero)) continue;
        parts[i] = zero;
        for (int j = i - 1; j >= 2 && parts[j].startsWith(zero); --j) parts[j].clear();
    }

    // 万 and 元 are written even when their own digit is zero.
    if (n > 6) {
        if (parts[6].isEmpty()) parts[6] = QStringLiteral("万");
        if (parts[6].startsWith(zero)) parts[6] = QStringLiteral("万零");
    }
    if (n > 2 && (parts[2].isEmpty() || parts[2].startsWith(zero))) parts[2] = QStringLiteral("元");

    QString result;
    for (int i = kUnitCount - 1; i >= 0; --i) result += parts[i];

    result.replace(QStringLiteral("零万"), QStringLiteral("万零"));
    result.replace(QStringLiteral("零零"), zero);
    result.replace(QStringLiteral("零元"), QStringLiteral("元"));
    if (result.endsWith(zero)) result.chop(1);
    if (!result.endsWith(u'分')) result += u'整';
    if (result == QStringLiteral("元整") || result == QStringLiteral("整")) {
        result = QStringLiteral("零元整");
    }
    if (sign == QStringLiteral("$")) result.replace(u'分', QStringLiteral("美分"));
    return result;
}

QString ToCapitalDigits(const QString& text) {
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        if (IsAsciiDigit(c)) {
            result += CapitalDigit(c.unicode() - u'0');
        } else {
            result += c;
        }
    }
    return result;
}

}  // namespace tf::amount
