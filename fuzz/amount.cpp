// Fuzz target: any text, with one of a few currency signs, normalised as an amount and written
// in capitals. Checks what must hold for every text: the normalised form is stable, has the
// shape sign + at most 8 integer digits + "." + 2 decimals, and its capitals use only capital
// numerals and units and read back as the same amount.

#include "amount/amount.h"

#include <QRegularExpression>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace {

const char16_t* const kSigns[] = {u"", u"￥", u"$", u"HK$", u"US$", u"RMB￥", u"Rs.", u"€"};
constexpr size_t kSignCount = sizeof kSigns / sizeof kSigns[0];

void Fail(const char* what, const QString& text, const QString& sign, const QString& result) {
    std::fprintf(stderr, "amount: %s\n text: %s\n sign: %s\n result: %s\n", what, qPrintable(text),
                 qPrintable(sign), qPrintable(result));
    abort();
}

// Reads capitals back as an amount in fen, independently of how they were written: digits
// times the unit that follows them, 万 multiplying what came before it, 零 and 整 carrying no
// value. -1 for a character that is neither numeral nor unit, or a numeral without its unit.
qint64 ReadCapitals(const QString& capitals) {
    static const QString numerals = QStringLiteral("零壹贰叁肆伍陆柒捌玖");
    qint64 wan = 0, section = 0, fen = 0;
    int digit = -1;
    for (const QChar c : capitals) {
        const qsizetype n = numerals.indexOf(c);
        if (n > 0) {
            if (digit >= 0) return -1;  // two numerals in a row
            digit = int(n);
            continue;
        }
        if (n == 0 || c == u'整' || c == u'美') continue;
        auto take = [&] {
            const int d = digit;
            digit = -1;
            return d;
        };
        if (c == u'拾' || c == u'佰' || c == u'仟') {
            const int d = take();
            if (d < 0) return -1;
            section += qint64(d) * (c == u'拾' ? 10 : c == u'佰' ? 100 : 1000);
        } else if (c == u'万') {
            const int d = take();
            wan = (section + std::max(d, 0)) * 10000;
            section = 0;
        } else if (c == u'元') {
            const int d = take();
            fen += (wan + section + std::max(d, 0)) * 100;
            wan = section = 0;
        } else if (c == u'角' || c == u'分') {
            const int d = take();
            if (d < 0) return -1;
            fen += qint64(d) * (c == u'角' ? 10 : 1);
        } else {
            return -1;
        }
    }
    return digit >= 0 ? -1 : fen + (wan + section) * 100;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const QString sign = QString::fromUtf16(kSigns[data[0] % kSignCount]);
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    const QString figures = tf::amount::NormaliseAmount(text, sign);
    static const QRegularExpression shape(QStringLiteral("^(0|[1-9][0-9]{0,7})\\.[0-9]{2}$"));
    if (!figures.startsWith(sign) || !shape.match(figures.mid(sign.size())).hasMatch())
        Fail("not in normal form", text, sign, figures);
    if (tf::amount::NormaliseAmount(figures, sign) != figures)
        Fail("normalising again changes it", text, sign, figures);

    const QString capitals = tf::amount::CapitalAmount(figures, sign, sign, sign);
    QString digits = figures.mid(sign.size());
    digits.remove(u'.');
    if (ReadCapitals(capitals) != digits.toLongLong())
        Fail("capitals do not read back as the amount", text, sign, capitals);
    return 0;
}
